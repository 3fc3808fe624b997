// The dictionary list file and sealed (".xdi") dictionaries. A sealed line is
// the line's bytes plus one random filler byte read as a little-endian number,
// written in base 95 with printable digits and an LF; all digit lines are then
// packed seven bits to the byte, most significant bit first.
#include "decox.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fileutl.h"
#include "ghost_assert.h"
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
// A hint past this (a list naming huge files) reserves nothing more up front.
constexpr size_t kJoinedReserveCap = size_t{64} << 20;

uint64_t ByteSwap(uint64_t value) {
  value = ((value & 0x00FF00FF00FF00FF) << 8) | ((value >> 8) & 0x00FF00FF00FF00FF);
  value = ((value & 0x0000FFFF0000FFFF) << 16) | ((value >> 16) & 0x0000FFFF0000FFFF);
  return (value << 32) | (value >> 32);
}

// The eight bytes at `p` as a little-endian number.
uint64_t LoadLittleEndian(const char* p) {
  uint64_t value = 0;
  std::memcpy(&value, p, sizeof value);
  if constexpr (std::endian::native == std::endian::big) value = ByteSwap(value);
  return value;
}

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

// The value of one digit character. Characters below the space never come
// out of sealing; they count as the digit 0.
uint32_t DigitValue(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= kDigitZero ? byte - kDigitZero : 0;
}

// Unsealing reads a line's number in 64-bit limbs, little-endian, nine
// digits at a time, as 95^9 < 2^63.
using TLimbs = std::vector<uint64_t>;
constexpr int kDigitsPerLimb = 9;
constexpr uint64_t kLimbPowersOf95[] = {1,          95,          9025,         857375,
                                        81450625,   7737809375,  735091890625, 69833729609375,
                                        6634204312890625, 630249409724609375};

// a * b + c as two 64-bit halves, from 32-bit products: gives the high
// half, `low` the low one.
uint64_t MultiplyAddHalves(uint64_t a, uint64_t b, uint64_t c, uint64_t& low) {
  const uint64_t mask = 0xFFFFFFFF;
  const uint64_t p0 = (a & mask) * (b & mask), p1 = (a & mask) * (b >> 32);
  const uint64_t p2 = (a >> 32) * (b & mask), p3 = (a >> 32) * (b >> 32);
  const uint64_t middle = (p0 >> 32) + (p1 & mask) + (p2 & mask);
  const uint64_t sum = ((p0 & mask) | (middle << 32)) + c;
  low = sum;
  return p3 + (p1 >> 32) + (p2 >> 32) + (middle >> 32) + (sum < c ? 1 : 0);
}

#ifdef __SIZEOF_INT128__
__extension__ typedef unsigned __int128 TWide;

bool SameAsHalves(uint64_t a, uint64_t b, uint64_t c, TWide wide) {
  uint64_t low = 0;
  const uint64_t high = MultiplyAddHalves(a, b, c, low);
  return high == static_cast<uint64_t>(wide >> 64) && low == static_cast<uint64_t>(wide);
}
#endif

// MultiplyAddHalves, in one step where the compiler has 128-bit numbers.
uint64_t MultiplyAddWide(uint64_t a, uint64_t b, uint64_t c, uint64_t& low) {
#ifdef __SIZEOF_INT128__
  const TWide wide = static_cast<TWide>(a) * b + c;
  GHOST_ASSERT(SameAsHalves(a, b, c, wide));
  low = static_cast<uint64_t>(wide);
  return static_cast<uint64_t>(wide >> 64);
#else
  return MultiplyAddHalves(a, b, c, low);
#endif
}

// limbs := limbs * factor + addend.
void MultiplyAddLimbs(TLimbs& limbs, uint64_t factor, uint64_t addend) {
  uint64_t carry = addend;
  uint64_t* const limb = limbs.data();
  const size_t size = limbs.size();
  for (size_t i = 0; i < size; ++i) carry = MultiplyAddWide(limb[i], factor, carry, limb[i]);
  if (carry != 0) limbs.push_back(carry);
}

// The value of the `count` (at most nine) digits at `digits`, least
// significant first.
uint64_t DigitGroup(const char* digits, size_t count) {
  uint64_t group = 0;
  for (size_t i = count; i-- > 0;) group = group * kBase + DigitValue(digits[i]);
  return group;
}

// DigitGroup of nine digit characters (all below 128, as unpacked ones
// are): the last eight are taken at once, each byte's digit value found
// together (0 below the space), then joined in pairs, fours and eights.
uint64_t NineDigits(const char* digits) {
  const uint64_t chars = LoadLittleEndian(digits + 1);
  const uint64_t at_least_space =
      ((chars + 0x6060606060606060) & 0x8080808080808080) >> 7;  // 1 in each such byte
  const uint64_t keep = at_least_space * 0xFF;
  const uint64_t values = (chars & keep) - (0x2020202020202020 & keep);
  const uint64_t pairs =
      (values & 0x00FF00FF00FF00FF) + ((values >> 8) & 0x00FF00FF00FF00FF) * kBase;
  const uint64_t fours = (pairs & 0x0000FFFF0000FFFF) +
                         ((pairs >> 16) & 0x0000FFFF0000FFFF) * kLimbPowersOf95[2];
  const uint64_t eight = (fours & 0xFFFFFFFF) + (fours >> 32) * kLimbPowersOf95[4];
  const uint64_t group = DigitValue(digits[0]) + eight * kBase;
  GHOST_ASSERT(group == DigitGroup(digits, kDigitsPerLimb));
  return group;
}

// The number written by `size` digit characters (least significant first)
// into `limbs`, taken from the most significant end: first the digits above
// the last whole group of nine, then nine at a time. No zero limb on top.
void ReadDigits(const char* digits, size_t size, TLimbs& limbs) {
  limbs.clear();
  // Nine digits are less than 60 bits: a limb per nine digits is room enough.
  limbs.reserve(size / kDigitsPerLimb + 2);
  size_t end = size;
  const size_t head = size % kDigitsPerLimb;
  if (head != 0) {
    end -= head;
    MultiplyAddLimbs(limbs, kLimbPowersOf95[head], DigitGroup(digits + end, head));
  }
  for (; end > 0; end -= kDigitsPerLimb) {
    MultiplyAddLimbs(limbs, kLimbPowersOf95[kDigitsPerLimb],
                     NineDigits(digits + end - kDigitsPerLimb));
  }
  while (!limbs.empty() && limbs.back() == 0) limbs.pop_back();
}

// One segment of digit characters (least significant first) back to its
// line, appended to `out`: the number's bytes below the most significant
// non-zero byte, which is the filler. `limbs` is the caller's working
// buffer, reused from line to line.
void AppendDigitLine(const char* digits, size_t size, TLimbs& limbs, std::string& out) {
  ReadDigits(digits, size, limbs);
  if (limbs.empty()) return;
  // The bytes of every limb but the top one, then those of the top limb
  // below its highest non-zero byte.
  const uint64_t top = limbs.back();
  int top_bytes = 0;
  while (top_bytes < 8 && (top >> (8 * top_bytes)) > 0xFF) ++top_bytes;
  const size_t at = out.size();
  out.resize(at + (limbs.size() - 1) * 8 + static_cast<size_t>(top_bytes));
  char* p = &out[at];
  for (size_t w = 0; w + 1 < limbs.size(); ++w) {
    for (int shift = 0; shift < 64; shift += 8) *p++ = static_cast<char>(limbs[w] >> shift);
  }
  for (int k = 0; k < top_bytes; ++k) *p++ = static_cast<char>(top >> (8 * k));
}

// The eight bytes at `p` as a big-endian number, and back.
uint64_t LoadBigEndian(const unsigned char* p) {
  uint64_t value = 0;
  std::memcpy(&value, p, sizeof value);
  if constexpr (std::endian::native == std::endian::little) value = ByteSwap(value);
  return value;
}

void StoreBigEndian(char* p, uint64_t value) {
  if constexpr (std::endian::native == std::endian::little) value = ByteSwap(value);
  std::memcpy(p, &value, sizeof value);
}

// The eight 7-bit fields of a 56-bit number, most significant first, each
// moved into a byte of its own: halves, quarters, then bytes spread apart.
uint64_t SpreadSevenBit(uint64_t bits) {
  bits = ((bits & 0x00FFFFFFF0000000) << 4) | (bits & 0x000000000FFFFFFF);
  bits = ((bits & 0x0FFFC0000FFFC000) << 2) | (bits & 0x00003FFF00003FFF);
  return ((bits & 0x3F803F803F803F80) << 1) | (bits & 0x007F007F007F007F);
}

// The 7-bit characters of a packed stream into `chars` (what it held is
// replaced). Eight characters fill seven bytes exactly: while all eight of
// a group are taken, the byte after the group exists too, so the group is
// read as one 8-byte number and its characters written as another.
void UnpackInto(std::string_view data, std::string& chars) {
  // Character k starts in byte 7k div 8 and is taken while the byte after it
  // exists: k < 8 (N - 1) / 7, rounded up.
  chars.clear();
  if (data.size() < 2) return;
  const size_t count = ((data.size() - 1) * 8 + 6) / 7;
  chars.resize(count);
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
  char* out = chars.data();
  size_t k = 0;
  for (size_t j = 0; k + 8 <= count; k += 8, j += 7) {
    GHOST_ASSERT(j + 7 < data.size());
    StoreBigEndian(out + k, SpreadSevenBit(LoadBigEndian(bytes + j) >> 8));
  }
  for (size_t bit = k * 7; k < count; ++k, bit += 7) {
    const size_t j = bit / 8;
    GHOST_ASSERT(j + 1 < data.size());
    const unsigned pair = (static_cast<unsigned>(bytes[j]) << 8) | bytes[j + 1];
    out[k] = static_cast<char>((pair >> (9 - bit % 8)) & 0x7F);
  }
}

// The digit lines of `chars` back to text, each line followed by CR LF,
// appended to `out`.
void AppendUnsealed(std::string_view chars, std::string& out) {
  // Eight bits of text come from about 1.22 digits, and the filler byte and
  // the LF give way to CR LF: the text is about 0.82 of the characters.
  out.reserve(out.size() + chars.size() * 5 / 6 + 16);
  TLimbs limbs;
  const char* const begin = chars.data();
  const char* const end = begin + chars.size();
  for (const char* start = begin; start < end;) {
    const char* lf = static_cast<const char*>(std::memchr(start, '\n', end - start));
    if (lf == nullptr) lf = end;
    AppendDigitLine(start, static_cast<size_t>(lf - start), limbs, out);
    out += kCrLf;
    start = lf + 1;
  }
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
  UnpackInto(data, chars);
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
  std::string text;
  AppendUnsealed(UnpackSevenBit(data), text);
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

// The dictionary's text, the last `size` bytes of `joined`, and the file it
// came from.
void RecordDictionary(const TListEntry& entry, bool by_sealed_name, const std::string& joined,
                      size_t size) {
  const std::string name = by_sealed_name ? SealedName(entry.name) : entry.name;
  const int end = static_cast<int>(joined.size()) + 1;
  HookRecord({THookKind::Dictionary, 0, end - static_cast<int>(size), end, entry.offset, name,
              entry.name, 0});
}

void ReportEntry(THookCode code, THookLevel level, const TListEntry& entry,
                 std::string_view name) {
  HookReport({code, level, 0, entry.offset, {name, entry.flag}, 0});
}

// Appends CR LF and the text of one listed dictionary to `joined`: the plain
// file, else its sealed form, unsealed; a plain file flagged "e" that carries
// the header is sealed beside it on the way. The plain text is read straight
// into `joined`. Gives the size of the text; with no text, `joined` stays as
// it was. `by_sealed_name` tells whether the text came from the entry's
// sealed name instead of its own.
size_t AppendDictionary(const std::string& directory, const TListEntry& entry,
                        std::string& joined, bool& by_sealed_name) {
  const size_t mark = joined.size();
  joined += kCrLf;
  const size_t start = joined.size();
  const bool plain = AppendWholeFile(directory + entry.name, joined);
  const std::string sealed_path = directory + SealedName(entry.name);
  by_sealed_name = !plain;
  if (!entry.flag.empty() && entry.flag != "e") {
    ReportEntry(THookCode::FlagIgnored, THookLevel::Warning, entry, entry.name);
  }
  if (!plain) {
    const std::string sealed = ReadWholeFile(sealed_path);
    if (sealed.empty()) {
      ReportEntry(THookCode::DictionaryEmpty, THookLevel::Error, entry, entry.name);
      joined.resize(mark);
      return 0;
    }
    AppendUnsealed(UnpackSevenBit(sealed), joined);
  } else if (EndsWith(entry.name, kSealedExtension)) {
    // The stream read into `joined` is unpacked out of it, then its place
    // takes the text.
    std::string chars;
    UnpackInto(std::string_view(joined).substr(start), chars);
    joined.resize(start);
    AppendUnsealed(chars, joined);
  } else if (entry.flag == "e") {
    if (std::string_view(joined).substr(start).find(kSealHeader) != std::string_view::npos) {
      WriteWholeFile(Seal(joined.substr(start)), sealed_path);
    } else {
      ReportEntry(THookCode::SealWithoutHeader, THookLevel::Warning, entry, entry.name);
    }
  }
  if (joined.size() == start) {
    ReportEntry(THookCode::SealedEmpty, THookLevel::Error, entry,
                by_sealed_name ? std::string_view(sealed_path).substr(directory.size())
                               : std::string_view(entry.name));
    joined.resize(mark);
    return 0;
  }
  return joined.size() - start;
}

// About the size of the joined text: room for it is made once, so that no
// dictionary read into it moves the ones before. A sealed file is counted
// at its own size, near that of its text.
size_t JoinedSizeHint(const std::string& directory, const std::vector<TListEntry>& entries) {
  size_t total = 0;
  for (const TListEntry& entry : entries) {
    long size = FileSize(directory + entry.name);
    if (size == 0) size = FileSize(directory + SealedName(entry.name));
    total += static_cast<size_t>(size) + kCrLf.size();
  }
  return std::min(total, kJoinedReserveCap);
}

}  // namespace

std::string LoadDictionaries(const std::string& directory, const std::string& list_name) {
  const std::string list = ReadWholeFile(directory + list_name);
  std::vector<TListEntry> entries;
  for (size_t pos = 0; pos < list.size();) {
    const int offset = static_cast<int>(pos) + 1;
    const std::string line = TakeListLine(list, pos);
    if (!line.empty() && line[0] != '#') entries.push_back(ParseListLine(line, offset));
  }
  std::string joined;
  joined.reserve(JoinedSizeHint(directory, entries));
  for (const TListEntry& entry : entries) {
    bool by_sealed_name = false;
    const size_t size = AppendDictionary(directory, entry, joined, by_sealed_name);
    if (size != 0 && DiagnosticsHook != nullptr) {
      RecordDictionary(entry, by_sealed_name, joined, size);
    }
  }
  return joined;
}
