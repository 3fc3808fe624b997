// The charset setting, the character-aware searches and splitters built on
// it, and the ordered name/value list (longest name first, latest first
// among names of equal length).
#include "formula_search.h"

#include <algorithm>

#include <functional>
#include <map>
#include <unordered_map>

#include "strutl.h"

// ---- Charset setting -------------------------------------------------------

namespace {

std::string& CharsetSlot() {
  static std::string name = "Shift_JIS";
  return name;
}

bool g_shift_jis = true;

constexpr bool IsHighLeadRange(int b) { return b >= 0xE0; }
constexpr bool IsLowLeadRange(int b) { return b >= 0x80 && b <= 0x9F; }

}  // namespace

namespace {

// How far the field splitter steps from a byte that starts a character: 1
// over a one-byte character, 2 over a lead byte and its trail, 0 at a comma
// or a backslash, which it looks at itself. Most bytes are passed over by
// one table read.
struct TFieldSteps {
  unsigned char of[256];
};

// The steps as IsLeadByte sees lead bytes with the Shift_JIS flag on or off.
constexpr TFieldSteps MakeFieldSteps(bool shift_jis) {
  TFieldSteps steps{};
  for (int b = 0; b < 256; ++b) {
    const bool lead = IsHighLeadRange(b) || (shift_jis && IsLowLeadRange(b));
    steps.of[b] = lead ? 2 : (b == '\\' || b == ',') ? 0 : 1;
  }
  return steps;
}

constexpr TFieldSteps kShiftJisFieldSteps = MakeFieldSteps(true);
constexpr TFieldSteps kOtherFieldSteps = MakeFieldSteps(false);

}  // namespace

const unsigned char* field_split::g_steps = kShiftJisFieldSteps.of;

void SetCharset(const std::string& name) {
  CharsetSlot() = name;
  g_shift_jis = (name == "Shift_JIS");
  field_split::g_steps = (g_shift_jis ? kShiftJisFieldSteps : kOtherFieldSteps).of;
}

const std::string& CharsetName() { return CharsetSlot(); }

bool ShiftJisMode() { return g_shift_jis; }

void ResetCharset() { SetCharset("Shift_JIS"); }

bool IsLeadByte(unsigned char b) {
  return IsHighLeadRange(b) || (g_shift_jis && IsLowLeadRange(b));
}

bool IsModeLeadByte(unsigned char b) {
  return g_shift_jis && (IsHighLeadRange(b) || IsLowLeadRange(b));
}

// ---- Searches --------------------------------------------------------------

namespace {

// True when `pattern` stands in `text` at the 0-based index `i`.
bool StandsAt(std::size_t i, const std::string& text, const std::string& pattern) {
  return text.size() - i >= pattern.size() && text.compare(i, pattern.size(), pattern) == 0;
}

// The quote-aware scan: compares only outside double quotes, before the
// byte at the position flips the quote state; gives the first or last hit.
int ScanUnquoted(const std::string& pattern, const std::string& text, bool keep_last) {
  // A pattern whose bytes appear nowhere in the text cannot stand anywhere.
  if (!pattern.empty() && text.find(pattern) == std::string::npos) return 0;
  int found = 0;
  bool inside = false;
  std::size_t i = 0;
  while (i < text.size()) {
    if (!inside && StandsAt(i, text, pattern)) {
      found = static_cast<int>(i) + 1;
      if (!keep_last) return found;
    }
    const unsigned char b = static_cast<unsigned char>(text[i]);
    if (b == '"') {
      inside = !inside;
      i += 1;
    } else {
      i += IsModeLeadByte(b) ? 2 : 1;
    }
  }
  return found;
}

}  // namespace

int FindFirst(const std::string& pattern, const std::string& text) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (StandsAt(i, text, pattern)) return static_cast<int>(i) + 1;
    i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
  }
  return 0;
}

bool TryFindFirst(const std::string& pattern, const std::string& text, int& position) {
  position = FindFirst(pattern, text);
  return position != 0;
}

int FindFirstUnquoted(const std::string& pattern, const std::string& text) {
  return ScanUnquoted(pattern, text, false);
}

int FindLastUnquoted(const std::string& pattern, const std::string& text) {
  return ScanUnquoted(pattern, text, true);
}

bool TryFindLastUnquoted(const std::string& pattern, const std::string& text, int& position) {
  position = FindLastUnquoted(pattern, text);
  return position != 0;
}

// ---- Splitters -------------------------------------------------------------

namespace {

int FindSeparator(const std::string& separator, const std::string& text, TSplitMode mode) {
  switch (mode) {
    case TSplitMode::First: return FindFirst(separator, text);
    case TSplitMode::LastUnquoted: return FindLastUnquoted(separator, text);
    case TSplitMode::FirstUnquoted: return FindFirstUnquoted(separator, text);
    case TSplitMode::Plain: break;
  }
  return PosFrom(1, text, separator);
}

// TrimBlanks of the bytes [from, to) of `text`, copied once.
std::string TrimmedRange(const std::string& text, std::size_t from, std::size_t to) {
  while (from < to && IsBlank(text[from])) ++from;
  while (to > from && IsBlank(text[to - 1])) --to;
  return text.substr(from, to - from);
}

// TrimBlanks in place; a text without outer blanks is left untouched.
void TrimInPlace(std::string& text) {
  if (!text.empty() && (IsBlank(text.front()) || IsBlank(text.back())))
    text = TrimmedRange(text, 0, text.size());
}

}  // namespace

std::string SplitAt(std::string& text, const std::string& separator, TSplitMode mode) {
  if (text.empty() || separator.empty()) return "";
  TrimInPlace(text);
  const int p = FindSeparator(separator, text, mode);
  if (p == 0) {
    std::string whole;
    whole.swap(text);
    return whole;
  }
  std::string before = TrimmedRange(text, 0, static_cast<std::size_t>(p - 1));
  const std::size_t rest_start = static_cast<std::size_t>(p - 1) + separator.size();
  text = rest_start < text.size() ? TrimmedRange(text, rest_start, text.size()) : std::string();
  return before;
}

std::string SplitAtLast(std::string& text, const std::string& separator) {
  return SplitAt(text, separator, TSplitMode::LastUnquoted);
}

std::string TakeCommaField(std::string& text) {
  const std::size_t comma = text.find(',');
  if (comma == std::string::npos) {
    std::string whole;
    whole.swap(text);
    return whole;
  }
  std::string before = text.substr(0, comma);
  text.erase(0, comma + 1);
  return before;
}

std::string PadTwo(const std::string& text) {
  return text.size() == 1 ? "0" + text : text;
}

std::string TakeField(std::string& text) {
  std::size_t from = 0, to = text.size();
  while (from < to && IsBlank(text[from])) ++from;
  while (to > from && IsBlank(text[to - 1])) --to;
  // The separator: the first "," outside a double-byte character, each "\,"
  // before it an escaped comma.
  std::string field;
  std::size_t start = from, i = from;
  while (i < to) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(b)) {
      i += 2;
    } else if (b == '\\' && i + 1 < to && text[i + 1] == ',') {
      field.append(text, start, i - start);  // the "\" is dropped
      start = i + 1;
      i += 2;
    } else if (b == ',') {
      break;
    } else {
      i += 1;
    }
  }
  if (i >= to) {  // no separator: the whole trimmed text, unescaped
    field.append(text, start, to - start);
    text.clear();
    return field;
  }
  field.append(text, start, i - start);
  TrimInPlace(field);
  std::size_t rest = i + 1;
  while (rest < to && IsBlank(text[rest])) ++rest;
  text.erase(to);
  text.erase(0, rest);
  return field;
}

// The splitter's rare path, out of line: the usual one needs no room for a
// copy.
void field_split::Unescape(const char* from, const char* end, std::string& out) {
  const unsigned char* const step = g_steps;
  out.clear();
  const char* start = from;
  const char* i = from;
  while (i < end) {
    const unsigned char s = step[static_cast<unsigned char>(*i)];
    if (s != 0) {
      i += s;
    } else if (*i == '\\' && i + 1 < end && i[1] == ',') {
      out.append(start, i);
      start = i + 1;
      i += 2;
    } else {
      i += 1;
    }
  }
  out.append(start, end);
}

// ---- Ordered name/value list -------------------------------------------------
// Each name carries a stamp that grows with every insertion. List order is
// length descending, then stamp descending, which is exactly "longest first,
// latest first among equals"; an update keeps the stamp and so the place.

struct TNameListImpl {
  struct TEntry {
    std::string value;
    uint64_t stamp;
  };
  using TStampIndex = std::map<uint64_t, const std::string*, std::greater<uint64_t>>;
  std::unordered_map<std::string, TEntry> by_name;
  std::map<std::size_t, TStampIndex, std::greater<std::size_t>> by_length;
  uint64_t next_stamp = 1;
};

namespace {
// Counts the additions and removals of names in every list; never reset.
uint64_t g_name_generation = 0;
}  // namespace

TNameList::TNameList() : impl(new TNameListImpl) {}

TNameList::~TNameList() { delete impl; }

void NameListPut(const std::string& name, const std::string& value, TNameList& list) {
  if (name.empty()) return;
  TNameListImpl& l = *list.impl;
  auto found = l.by_name.find(name);
  if (found != l.by_name.end()) {
    found->second.value = value;
    return;
  }
  ++g_name_generation;
  const uint64_t stamp = l.next_stamp++;
  auto placed = l.by_name.emplace(name, TNameListImpl::TEntry{value, stamp}).first;
  // Both maps hold the name or neither: a name without its place in the
  // length order could be found but not removed.
  try {
    l.by_length[name.size()].emplace(stamp, &placed->first);
  } catch (...) {
    auto group = l.by_length.find(name.size());
    if (group != l.by_length.end() && group->second.empty()) l.by_length.erase(group);
    l.by_name.erase(placed);
    throw;
  }
}

void NameListRemove(const std::string& name, TNameList& list) {
  TNameListImpl& l = *list.impl;
  auto found = l.by_name.find(name);
  if (found == l.by_name.end()) return;
  ++g_name_generation;
  auto group = l.by_length.find(name.size());
  group->second.erase(found->second.stamp);
  if (group->second.empty()) l.by_length.erase(group);
  l.by_name.erase(found);
}

const std::string* NameListFind(const std::string& name, const TNameList& list) {
  uint64_t stamp = 0;
  return NameListFindStamped(name, list, stamp);
}

const std::string* NameListFindStamped(const std::string& name, const TNameList& list,
                                       uint64_t& stamp) {
  auto found = list.impl->by_name.find(name);
  if (found == list.impl->by_name.end()) return nullptr;
  stamp = found->second.stamp;
  return &found->second.value;
}

int NameListCount(const TNameList& list) {
  return static_cast<int>(list.impl->by_name.size());
}

uint64_t NameListGeneration() { return g_name_generation; }

void NameListClear(TNameList& list) {
  ++g_name_generation;
  list.impl->by_length.clear();
  list.impl->by_name.clear();
}

std::vector<std::pair<std::string, std::string>> NameListPairs(const TNameList& list) {
  std::vector<std::pair<std::string, std::string>> pairs;
  pairs.reserve(list.impl->by_name.size());
  for (const auto& group : list.impl->by_length) {
    for (const auto& slot : group.second) {
      pairs.emplace_back(*slot.second, list.impl->by_name.at(*slot.second).value);
    }
  }
  return pairs;
}

std::vector<int> NameListLengths(const TNameList& list) {
  std::vector<int> lengths;
  lengths.reserve(list.impl->by_length.size());
  for (const auto& group : list.impl->by_length) lengths.push_back(static_cast<int>(group.first));
  return lengths;
}
