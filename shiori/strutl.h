// Byte-string utilities shared by every unit of the conversation module.
// Texts are std::string holding raw bytes; positions are 1-based and 0 means
// "not found". Nothing here knows about double-byte characters or quotes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

// Copies `n` bytes; the few bytes most words have by two overlapping loads
// and stores (three single bytes below four), which cost less than a call.
inline void CopyBytes(char* to, const char* from, std::size_t n) {
  if (n < 4) {
    if (n == 0) return;
    to[0] = from[0];
    to[n / 2] = from[n / 2];
    to[n - 1] = from[n - 1];
  } else if (n < 8) {
    uint32_t head, tail;
    std::memcpy(&head, from, 4);
    std::memcpy(&tail, from + n - 4, 4);
    std::memcpy(to, &head, 4);
    std::memcpy(to + n - 4, &tail, 4);
  } else if (n <= 16) {
    uint64_t head, tail;
    std::memcpy(&head, from, 8);
    std::memcpy(&tail, from + n - 8, 8);
    std::memcpy(to, &head, 8);
    std::memcpy(to + n - 8, &tail, 8);
  } else {
    std::memcpy(to, from, n);
  }
}

// Position of the first `byte` at or after `start`, or 0.
int FindCharFrom(int start, const std::string& text, unsigned char byte);

// True when `pattern` stands in `text` at position `pos`.
bool MatchAt(int pos, std::string_view text, std::string_view pattern);

// Compares the first n bytes of a and b, n cut to the shorter length first.
// 0 when they agree, else the first differing byte of a minus that of b.
int CompareHead(const std::string& a, const std::string& b, int n);

// Position of the first occurrence of `pattern` at or after `start`, or 0.
int PosFrom(int start, const std::string& text, const std::string& pattern);

// Every occurrence of `old_text` replaced by `new_text`; inserted text is
// never searched again.
std::string ReplaceAll(const std::string& text, const std::string& old_text,
                       const std::string& new_text);
// The same into `out` (its content replaced, its room reused), which must
// not be where `text` lies; an empty `old_text` copies the text. Built in
// one left-to-right sweep: the search resumes right behind each
// replacement, so what was inserted is never looked at again. Inline: the
// macro rewriting fills its reused buffers by it.
inline void ReplaceAllInto(std::string& out, std::string_view text, std::string_view old_text,
                           std::string_view new_text) {
  out.clear();
  if (old_text.empty()) {
    out.append(text);
    return;
  }
  std::size_t from = 0;
  for (std::size_t hit = text.find(old_text); hit != std::string_view::npos;
       hit = text.find(old_text, from)) {
    out.append(text, from, hit - from);
    out.append(new_text);
    from = hit + old_text.size();
  }
  out.append(text, from);
}

// ReplaceAll into `out`, only when the result fits in `limit` bytes; false,
// with `out` untouched, when not.
bool ReplaceAllWithin(const std::string& text, const std::string& old_text,
                      const std::string& new_text, std::size_t limit,
                      std::string& out);

// The blanks that trimming drops: space and tab.
inline bool IsBlank(char b) { return b == ' ' || b == '\t'; }

// The text without leading and trailing spaces and tabs.
std::string TrimBlanks(std::string text);
// The same, as a view into `text`; inline, as every field and line is
// trimmed by it.
inline std::string_view TrimView(std::string_view text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

// Reads the next CR-terminated line from `cursor` (in/out, 1-based; 0 when
// no more lines), trimmed with TrimBlanks.
std::string ReadLine(int& cursor, const std::string& text);
// The same line as a view into `text`: valid while `text` is unchanged.
// Inline, as the parser reads every line by it.
inline std::string_view ReadLineView(int& cursor, const std::string& text) {
  if (cursor <= 0) return std::string_view();
  const int len = static_cast<int>(text.size());
  if (cursor > len) {
    cursor = 0;
    return std::string_view();
  }
  // The line's bytes [from, to): up to the next CR, or to the end.
  const char* const base = text.data();
  const std::size_t from = static_cast<std::size_t>(cursor) - 1;
  const void* const cr = std::memchr(base + from, 0x0D, text.size() - from);
  const std::size_t to =
      cr != nullptr ? static_cast<std::size_t>(static_cast<const char*>(cr) - base) : text.size();
  // The byte after the CR is skipped unseen.
  cursor = cr != nullptr ? static_cast<int>(to) + 3 : len + 1;
  if (cursor > len) cursor = 0;
  return TrimView(std::string_view(base + from, to - from));
}

// Decimal text of a signed 32-bit integer.
std::string IntToStr(long long value);
