// Fuzz target: the translation module's `execute` export over one script,
// with both tables loaded through `load` from table files written at start:
// overlapping sources, a backslash source, double-byte text and entries
// that build "&" forms. The generator gets a fixed seed for each input.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz_scratch.h"
#include "makoto.h"

extern "C" int load(char* h, long len);
extern "C" char* execute(char* h, long* len);

namespace {

const std::vector<std::string> kTable0 = {
    "Hello,Hi",         "Hi there,never",     "\\s[,\\s[1",        "&,&r(1,3)",
    "cat,&s(tabby,calico,)", "ab,",           "\x82\xa0,\x82\xa2", "xyz,&t(z,4)",
    ",empty source",    "no comma here",      "\\,backslash"};
const std::vector<std::string> kTable1 = {"Wow,Oh my", "\\h,not a switch", "a,A", "wow,&t(w"};

// Repetition forms may ask for gigabytes, which the module builds as asked;
// inputs whose forms ask for more than this are left out.
constexpr int64_t kRepeatBudget = 16 << 20;

void WriteTable(const std::string& path, const std::vector<std::string>& plain) {
  std::string bytes;
  for (size_t i = 0; i < plain.size(); ++i)
    bytes += makoto::EncodeLine(plain[i], static_cast<uint32_t>(i + 1)) + "\r\n";
  std::ofstream(path, std::ios::binary) << bytes;
}

// The most bytes the "&t(" forms of `text` could produce (every draw at its
// largest), read the way "%d" reads the count.
int64_t LargestRepetition(const std::string& text) {
  int64_t total = 0;
  for (size_t at = text.find("&t("); at != std::string::npos; at = text.find("&t(", at + 1)) {
    const size_t close = text.find(')', at + 3);
    const size_t comma = text.find(',', at + 3);
    if (close == std::string::npos || comma == std::string::npos || comma > close) continue;
    const long long count = std::min<long long>(
        std::strtoll(text.c_str() + comma + 1, nullptr, 10), INT32_MAX);
    if (count > 0) total += static_cast<int64_t>(comma - at - 3 + 1) * count;
    if (total > kRepeatBudget) break;
  }
  return total;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::string dir = fuzz::ScratchDirectory();
  WriteTable(dir + "makoto0.nft", kTable0);
  WriteTable(dir + "makoto1.nft", kTable1);
  load(const_cast<char*>(dir.data()), static_cast<long>(dir.size()));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string script(reinterpret_cast<const char*>(data), size);
  if (LargestRepetition(makoto::ReplaceFromTables(script)) > kRepeatBudget) return 0;
  makoto::SeedRandom(12345u);

  char* block = static_cast<char*>(std::malloc(size > 0 ? size : 1));
  if (size > 0) std::memcpy(block, data, size);
  long length = static_cast<long>(size);
  char* answer = execute(block, &length);
  if (answer == nullptr || length < 0) __builtin_trap();
  // Without "&" and table sources the script passes unchanged.
  if (script.find_first_of("&HWacx\\\x82") == std::string::npos &&
      (static_cast<size_t>(length) != size || std::memcmp(answer, data, size) != 0))
    __builtin_trap();
  std::free(answer);
  return 0;
}
