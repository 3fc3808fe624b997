// The charset setting and the character-aware searches and splitters that
// every other unit uses where a text may hold double-byte characters or
// double-quoted stretches; plus the ordered name/value list.
#pragma once

#include <cstdint>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "ghost_assert.h"
#include "strutl.h"

// ---- Charset setting -------------------------------------------------------

// Sets the charset name; the Shift_JIS flag is on exactly for "Shift_JIS".
void SetCharset(const std::string& name);
const std::string& CharsetName();
// The Shift_JIS flag (`ShiftJisMode`).
bool ShiftJisMode();
// The start state: "Shift_JIS" with the flag on.
void ResetCharset();

// Lead byte as FindFirst and TakeField see it: 0xE0-0xFF always, 0x80-0x9F
// while ShiftJisMode is on.
bool IsLeadByte(unsigned char b);
// Lead byte as the quote-aware searches and WordsInText see it: 0x80-0x9F
// and 0xE0-0xFF, only while ShiftJisMode is on.
bool IsModeLeadByte(unsigned char b);

// ---- Searches (1-based positions, 0 = not found) ---------------------------

int FindFirst(const std::string& pattern, const std::string& text);
bool TryFindFirst(const std::string& pattern, const std::string& text, int& position);
int FindFirstUnquoted(const std::string& pattern, const std::string& text);
int FindLastUnquoted(const std::string& pattern, const std::string& text);
bool TryFindLastUnquoted(const std::string& pattern, const std::string& text, int& position);

// ---- Splitters -------------------------------------------------------------

// The search SplitAt finds its separator with.
enum class TSplitMode {
  First,          // FindFirst: the first that starts a character
  LastUnquoted,   // FindLastUnquoted
  FirstUnquoted,  // FindFirstUnquoted
  Plain,          // PosFrom: the first byte-wise
};

// Gives the trimmed part before the separator; `text` keeps the trimmed rest.
std::string SplitAt(std::string& text, const std::string& separator, TSplitMode mode);
std::string SplitAtLast(std::string& text, const std::string& separator);
// Part before the first ","; `text` keeps the part after it. No trimming.
std::string TakeCommaField(std::string& text);
// "0" + text when the text is exactly one byte long.
std::string PadTwo(const std::string& text);
// The dictionary field splitter: first comma-separated field, trimmed, with
// "\," before the separator unescaped; `text` keeps the trimmed rest.
std::string TakeField(std::string& text);
// The field TakeField takes, as a view: into `text` when the field holds no
// escaped comma, else into `unescaped` (overwritten; left as it was in the
// first case). `text` becomes a view of the trimmed rest. Inline (below): the
// parser splits every key and word by it.
std::string_view TakeFieldView(std::string_view& text, std::string& unescaped);

// ---- The field splitter, inline ----------------------------------------------

namespace field_split {
// How far the splitter steps from a byte that starts a character, for the
// charset in force: 1 over a one-byte character, 2 over a lead byte (as
// IsLeadByte sees it) and its trail, 0 at a comma or a backslash, which it
// looks at itself. Set with the charset.
extern const unsigned char* g_steps;
// The bytes [from, end), a field holding an escaped comma, into `out` with
// the backslash of every escaped comma dropped.
void Unescape(const char* from, const char* end, std::string& out);

// The end of the field that begins at `from`: the first "," before `to`
// that starts a character and is not escaped by a "\" that starts one;
// `to` when there is none. `escaped` is set when an escaped comma was
// passed over.
inline const char* FieldEnd(const char* from, const char* to, bool& escaped) {
  const unsigned char* const step = g_steps;
  const char* i = from;
  for (;;) {
    unsigned char s = 0;
    while (i < to && (s = step[static_cast<unsigned char>(*i)]) != 0) i += s;
    if (i >= to) return to;  // a lead byte at the end steps past it
    if (*i == ',') return i;
    if (i + 1 < to && i[1] == ',') {
      escaped = true;
      i += 2;
    } else {
      i += 1;
    }
  }
}
}  // namespace field_split

inline std::string_view TakeFieldView(std::string_view& text, std::string& unescaped) {
  const char* from = text.data();
  const char* to = from + text.size();
  while (from < to && IsBlank(*from)) ++from;
  while (to > from && IsBlank(to[-1])) --to;
  bool escaped = false;
  const char* const end = field_split::FieldEnd(from, to, escaped);
  GHOST_ASSERT(from <= end && end <= to);
  // [from, to) is trimmed: the rest can only begin with blanks, the field
  // only end with them (unescaping moves no blank to an end).
  const char* field_end = end;
  if (end < to) {
    const char* rest = end + 1;
    while (rest < to && IsBlank(*rest)) ++rest;
    text = std::string_view(rest, static_cast<std::size_t>(to - rest));
    while (field_end > from && IsBlank(field_end[-1])) --field_end;
  } else {
    text = std::string_view();
  }
  if (!escaped) return std::string_view(from, static_cast<std::size_t>(field_end - from));
  field_split::Unescape(from, end, unescaped);
  std::string_view field = unescaped;
  if (end < to) {
    while (!field.empty() && IsBlank(field.back())) field.remove_suffix(1);
  }
  return field;
}

// ---- Ordered name/value list -------------------------------------------------
// Names unique; ordered by byte length, longest first; among equal lengths the
// one inserted last stands first. The representation is private to
// formula_search.cpp: use only the functions below.
struct TNameListImpl;
struct TNameList {
  TNameList();
  ~TNameList();
  TNameList(const TNameList&) = delete;
  TNameList& operator=(const TNameList&) = delete;
  TNameListImpl* impl;
};

void NameListPut(const std::string& name, const std::string& value, TNameList& list);
void NameListRemove(const std::string& name, TNameList& list);
// Value of `name`, or nullptr when absent.
const std::string* NameListFind(const std::string& name, const TNameList& list);
int NameListCount(const TNameList& list);
void NameListClear(TNameList& list);
// Changes whenever a name is added to or removed from any list (values
// changing leave it): what a name lookup answers stays as it was while it
// is unchanged.
uint64_t NameListGeneration();
// Every pair, in list order.
std::vector<std::pair<std::string, std::string>> NameListPairs(const TNameList& list);

// Distinct name lengths present, longest first.
std::vector<int> NameListLengths(const TNameList& list);
// Value of `name`, or nullptr when absent; `stamp` tells its place among the
// names of its length: a larger stamp stands earlier in list order.
const std::string* NameListFindStamped(const std::string& name, const TNameList& list,
                                       uint64_t& stamp);
