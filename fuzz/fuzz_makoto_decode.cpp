// Fuzz target: the translation module's table file reading. The first four
// input bytes are a line number, the rest is one enciphered line for
// DecodeLine and, as a whole, a table file for the loader. Enciphering the
// deciphered plain text again must give it back.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "makoto.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  uint32_t line_number = 0;
  std::memcpy(&line_number, data, 4);
  const std::string rest(reinterpret_cast<const char*>(data) + 4, size - 4);

  std::string line = rest;
  makoto::DecodeLine(line, line_number);
  const std::string plain = line.substr(0, line.find('\0'));
  if (plain.size() <= makoto::kMaxPlainLine) {
    std::string again = makoto::EncodeLine(plain, line_number);
    makoto::DecodeLine(again, line_number);
    if (again.substr(0, again.find('\0')) != plain) __builtin_trap();
  }

  makoto::LoadTableFromBytes(0, rest);
  for (const makoto::TableEntry& entry : makoto::TableEntries(0))
    if (entry.Source.empty()) __builtin_trap();
  makoto::ResetModule();
  return 0;
}
