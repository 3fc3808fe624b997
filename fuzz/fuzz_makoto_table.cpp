// Fuzz target: the translation tables as a round trip. The input's lines
// (split at LF) are plain table lines; each one the module can use (no NUL,
// short enough for a table line, a comma after a non-empty source) is
// enciphered as its line number, the others are left as empty lines, as the
// table tool writes a table file. Loading that file must give exactly the
// usable lines' entries, in order.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "makoto.h"

namespace {

struct TPlainEntry {
  std::string source;
  std::string replacement;
};

bool Usable(std::string_view line, TPlainEntry& entry) {
  if (line.find('\0') != std::string_view::npos || line.size() > makoto::kMaxPlainLine)
    return false;
  return makoto::SplitTableEntry(line, entry.source, entry.replacement);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<TPlainEntry> expected;
  std::string file;
  uint32_t number = 0;
  for (std::size_t start = 0; start < input.size();) {
    std::size_t end = input.find('\n', start);
    if (end == std::string_view::npos) end = input.size();
    const std::string_view line = input.substr(start, end - start);
    start = end + 1;
    ++number;
    TPlainEntry entry;
    if (Usable(line, entry)) {
      file += makoto::EncodeLine(line, number);
      expected.push_back(std::move(entry));
    }
    file += "\r\n";
  }
  makoto::LoadTableFromBytes(0, file);
  const std::vector<makoto::TableEntry>& loaded = makoto::TableEntries(0);
  if (loaded.size() != expected.size()) __builtin_trap();
  for (std::size_t i = 0; i < loaded.size(); ++i) {
    if (loaded[i].Source != expected[i].source ||
        loaded[i].Replacement != expected[i].replacement)
      __builtin_trap();
  }
  makoto::ResetModule();
  return 0;
}
