// The charset setting and the character-aware searches and splitters that
// every other unit uses where a text may hold double-byte characters or
// double-quoted stretches; plus the ordered name/value list.
#pragma once

#include <cstdint>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

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
// first case). `text` becomes a view of the trimmed rest.
std::string_view TakeFieldView(std::string_view& text, std::string& unescaped);

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
