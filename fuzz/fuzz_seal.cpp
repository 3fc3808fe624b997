// Fuzz target: sealing as a property. Any text seals and unseals to itself
// with CR LF line ends: its lines come back in order, each followed by CR
// LF, whatever the filler bytes (the first input byte chooses their seed).
// The sealed stream holds only digit characters (0x20 to 0x7E) and LFs.
#include <cstddef>
#include <cstdint>
#include <string>

#include "decox.h"
#include "random.h"

namespace {

// The lines of `text`, each ended by CR LF: a last line without one gains
// it, an empty text has no lines.
std::string ExpectedLines(const std::string& text) {
  if (text.empty() || text.ends_with("\r\n")) return text;
  return text + "\r\n";
}

bool DigitsOnly(const std::string& chars) {
  for (const char c : chars)
    if (c != '\n' && (c < 0x20 || c > 0x7E)) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  SetRandomSeed(static_cast<uint32_t>(data[0]) * 2654435761u + 1u);
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string sealed = Seal(text);
  if (!DigitsOnly(UnpackSevenBit(sealed))) __builtin_trap();
  if (Unseal(sealed) != ExpectedLines(text)) __builtin_trap();
  return 0;
}
