// The dictionary list file and sealed (".xdi") dictionaries. A sealed line is
// the line's bytes plus one random filler byte read as a little-endian number,
// written in base 95 with printable digits and an LF; all digit lines are then
// packed seven bits to the byte, most significant bit first.
#include "decox.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fileutl.h"
#include "ghost_hook.h"
#include "random.h"

const std::string kSealHeader =
    "#"
    "\x82\xBD" "\x82\xDE" "\x82\xCB" "\x82\x60" "\x82\x68" "\x8E\xAB" "\x8F\x91"
    " with WITHKEYWORDFORDICTIONARYSEALING";

namespace {

constexpr unsigned kBase = 95;
constexpr unsigned char kDigitZero = 32;
const std::string kCrLf = "\r\n";
const std::string kSealedExtension = ".xdi";

// A non-negative number as little-endian 32-bit words, no zero word on top.
// Four base-95 digits are handled per step, as 95^4 fits one word.
using TWords = std::vector<uint32_t>;
constexpr uint32_t kPowersOf95[] = {1, 95, 9025, 857375, 81450625};
constexpr int kDigitsPerWord = 4;

void DropZeroTop(TWords& number) {
  while (!number.empty() && number.back() == 0) number.pop_back();
}

TWords WordsFromBytes(const std::string& bytes) {
  TWords number((bytes.size() + 3) / 4, 0);
  for (size_t i = 0; i < bytes.size(); ++i)
    number[i / 4] |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * (i % 4));
  DropZeroTop(number);
  return number;
}

// The little-endian bytes of the number, without zero bytes on top.
std::string BytesFromWords(const TWords& number) {
  std::string bytes;
  for (const uint32_t word : number)
    for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((word >> shift) & 0xFF);
  while (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
  return bytes;
}

// Divides the number in place, most significant word first; gives the
// remainder.
uint32_t DivideWords(TWords& number, uint32_t divisor) {
  uint64_t remainder = 0;
  for (size_t i = number.size(); i-- > 0;) {
    const uint64_t current = (remainder << 32) | number[i];
    number[i] = static_cast<uint32_t>(current / divisor);
    remainder = current % divisor;
  }
  DropZeroTop(number);
  return static_cast<uint32_t>(remainder);
}

// number := number * factor + addend.
void MultiplyAdd(TWords& number, uint32_t factor, uint32_t addend) {
  uint64_t carry = addend;
  for (uint32_t& word : number) {
    const uint64_t current = static_cast<uint64_t>(word) * factor + carry;
    word = static_cast<uint32_t>(current);
    carry = current >> 32;
  }
  if (carry != 0) number.push_back(static_cast<uint32_t>(carry));
}

// The value of one digit character. Characters below the space never come
// out of sealing; they count as the digit 0.
uint32_t DigitValue(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= kDigitZero ? byte - kDigitZero : 0;
}

// One segment of digit characters (least significant first) back to its
// line: the number's bytes below the most significant non-zero byte, which
// is the filler. Digits are taken from the most significant end, a group of
// up to four at a time.
std::string DecodeDigitLine(const std::string& digits) {
  TWords number;
  for (size_t end = digits.size(); end > 0;) {
    const size_t count = (end - 1) % kDigitsPerWord + 1;
    uint32_t group = 0;
    for (size_t i = end; i-- > end - count;) group = group * kBase + DigitValue(digits[i]);
    MultiplyAdd(number, kPowersOf95[count], group);
    end -= count;
  }
  std::string bytes = BytesFromWords(number);
  if (!bytes.empty()) bytes.pop_back();
  return bytes;
}

// Calls `visit` with every CR LF separated line of `text`; a last line
// without CR LF counts, nothing follows a final CR LF.
template <typename Visit>
void ForEachCrLfLine(const std::string& text, Visit visit) {
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find(kCrLf, start);
    if (end == std::string::npos) {
      visit(text.substr(start));
      return;
    }
    visit(text.substr(start, end - start));
    start = end + kCrLf.size();
  }
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

std::string DigitLine(const std::string& line, unsigned char filler) {
  TWords number = WordsFromBytes(line + static_cast<char>(filler));
  std::string digits;
  // A byte takes log(256) / log(95), about 1.22, digits.
  digits.reserve((line.size() + 1) * 61 / 50 + 4);
  while (!number.empty()) {
    uint32_t group = DivideWords(number, kPowersOf95[kDigitsPerWord]);
    // Four digits, except for the top group, which ends at its last
    // non-zero digit.
    for (int k = 0; k < kDigitsPerWord && (group != 0 || !number.empty()); ++k) {
      digits += static_cast<char>(group % kBase + kDigitZero);
      group /= kBase;
    }
  }
  digits += '\n';
  return digits;
}

std::string PackSevenBit(const std::string& chars) {
  std::string packed;
  packed.reserve((chars.size() * 7 + 7) / 8);
  unsigned pending = 0;  // bits not yet written, right-aligned
  int count = 0;         // how many of them
  for (const char c : chars) {
    pending = (pending << 7) | (static_cast<unsigned char>(c) & 0x7F);
    count += 7;
    if (count >= 8) {
      count -= 8;
      packed += static_cast<char>((pending >> count) & 0xFF);
      pending &= (1u << count) - 1;
    }
  }
  if (count > 0) packed += static_cast<char>((pending << (8 - count)) & 0xFF);
  return packed;
}

std::string UnpackSevenBit(const std::string& data) {
  std::string chars;
  chars.reserve(data.size() * 8 / 7);
  for (size_t bit = 0;; bit += 7) {
    const size_t j = bit / 8;
    const unsigned shift = bit % 8;
    if (j + 1 >= data.size()) break;
    const unsigned first = static_cast<unsigned char>(data[j]);
    const unsigned second = static_cast<unsigned char>(data[j + 1]);
    const unsigned eight = ((first << shift) | (second >> (8 - shift))) & 0xFF;
    chars += static_cast<char>(eight >> 1);
  }
  return chars;
}

std::string Seal(const std::string& text) {
  std::string digits;
  ForEachCrLfLine(text, [&digits](const std::string& line) {
    const auto filler = static_cast<unsigned char>(Random(kBase) + kDigitZero);
    digits += DigitLine(line, filler);
  });
  return PackSevenBit(digits);
}

std::string Unseal(const std::string& data) {
  const std::string chars = UnpackSevenBit(data);
  std::string text;
  size_t start = 0;
  while (start < chars.size()) {
    size_t end = chars.find('\n', start);
    if (end == std::string::npos) end = chars.size();
    text += DecodeDigitLine(chars.substr(start, end - start));
    text += kCrLf;
    start = end + 1;
  }
  return text;
}

std::string SealedName(const std::string& name) {
  const size_t dot = name.find('.');
  if (dot == std::string::npos || dot == 0) return name + kSealedExtension;
  return name.substr(0, dot) + kSealedExtension;
}

namespace {

// One line of the list file: the dictionary name and its one-byte flag, and
// where the line begins in the list (1-based).
struct TListEntry {
  std::string name;
  std::string flag;
  int offset = 0;
};

// The line starting at `pos`, which moves past its CR LF (or to the end
// when the line has none).
std::string TakeListLine(const std::string& list, size_t& pos) {
  const size_t end = list.find(kCrLf, pos);
  const size_t stop = end == std::string::npos ? list.size() : end;
  std::string line = list.substr(pos, stop - pos);
  pos = end == std::string::npos ? list.size() : end + kCrLf.size();
  return line;
}

// Splits "name,flag..." at its first comma; only one flag byte is kept.
TListEntry ParseListLine(const std::string& line, int offset) {
  const size_t comma = line.find(',');
  if (comma == std::string::npos) return {line, std::string(), offset};
  return {line.substr(0, comma), line.substr(comma + 1, 1), offset};
}

// The dictionary's text, just appended to `joined`, and the file it came from.
void RecordDictionary(const TListEntry& entry, bool by_sealed_name, const std::string& joined,
                      const std::string& content) {
  const std::string name = by_sealed_name ? SealedName(entry.name) : entry.name;
  const int end = static_cast<int>(joined.size()) + 1;
  HookRecord({THookKind::Dictionary, 0, end - static_cast<int>(content.size()), end,
              entry.offset, name, entry.name, 0});
}

void ReportEntry(THookCode code, THookLevel level, const TListEntry& entry,
                 std::string_view name) {
  HookReport({code, level, 0, entry.offset, {name, entry.flag}, 0});
}

// The text of one listed dictionary: the plain file, else its sealed form,
// unsealed; a plain file flagged "e" that carries the header is sealed beside
// it on the way. `by_sealed_name` tells whether the text came from the
// entry's sealed name instead of its own.
std::string ReadDictionary(const std::string& directory, const TListEntry& entry,
                           bool& by_sealed_name) {
  std::string content = ReadWholeFile(directory + entry.name);
  const std::string sealed_path = directory + SealedName(entry.name);
  by_sealed_name = content.empty();
  if (!entry.flag.empty() && entry.flag != "e") {
    ReportEntry(THookCode::FlagIgnored, THookLevel::Warning, entry, entry.name);
  }
  if (content.empty()) {
    content = ReadWholeFile(sealed_path);
    if (content.empty()) {
      ReportEntry(THookCode::DictionaryEmpty, THookLevel::Error, entry, entry.name);
      return content;
    }
    content = Unseal(content);
  } else if (EndsWith(entry.name, kSealedExtension)) {
    content = Unseal(content);
  } else if (entry.flag == "e" && content.find(kSealHeader) != std::string::npos) {
    WriteWholeFile(Seal(content), sealed_path);
  } else if (entry.flag == "e") {
    ReportEntry(THookCode::SealWithoutHeader, THookLevel::Warning, entry, entry.name);
  }
  if (content.empty()) {
    ReportEntry(THookCode::SealedEmpty, THookLevel::Error, entry,
                by_sealed_name ? std::string_view(sealed_path).substr(directory.size())
                               : std::string_view(entry.name));
  }
  return content;
}

}  // namespace

std::string LoadDictionaries(const std::string& directory, const std::string& list_name) {
  const std::string list = ReadWholeFile(directory + list_name);
  std::string joined;
  size_t pos = 0;
  while (pos < list.size()) {
    const int offset = static_cast<int>(pos) + 1;
    const std::string line = TakeListLine(list, pos);
    if (line.empty() || line[0] == '#') continue;
    const TListEntry entry = ParseListLine(line, offset);
    bool by_sealed_name = false;
    const std::string content = ReadDictionary(directory, entry, by_sealed_name);
    if (content.empty()) continue;
    joined += kCrLf;
    joined += content;
    if (DiagnosticsHook != nullptr) RecordDictionary(entry, by_sealed_name, joined, content);
  }
  return joined;
}
