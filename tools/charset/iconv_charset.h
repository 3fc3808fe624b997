// Charset conversion for the tools, through iconv of the C library: the
// ghost's texts are bytes in its dictionaries' charset; the terminal shows
// and types UTF-8, the checker and the language server write UTF-8. Only
// the tools convert; the library always gets and gives its own bytes.
#pragma once

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <string>

// The iconv name for a charset name as the library writes it. "Shift_JIS"
// (and its usual aliases) maps to CP932, whose byte 0x5C is a backslash
// (strict Shift_JIS would show every tag's backslash as a yen sign).
std::string IconvCharsetName(const std::string& charset);

// `text` from `charset` into UTF-8 for display. A byte that does not convert
// is shown as <XX> (two hex digits) and conversion goes on after it; when
// iconv does not know the charset, `text` comes back unchanged.
std::string ToUtf8(const std::string& text, const std::string& charset);

// Typed UTF-8 `text` into `charset`. False (and `out` empty) when the
// charset is unknown or a character has no form in it.
bool FromUtf8(const std::string& text, const std::string& charset, std::string& out);

// True when iconv can convert between `charset` and UTF-8.
bool KnownCharset(const std::string& charset);

// The 0-based offset of the first byte of `text` that does not convert from
// `charset` (an invalid byte, or a sequence cut short by the end of the
// text); npos when every byte converts or the charset is unknown.
size_t InvalidByteOffset(const std::string& text, const std::string& charset);

// Owns one iconv descriptor.
struct TConverter {
  iconv_t cd;
  TConverter(const std::string& to, const std::string& from)
      : cd(iconv_open(to.c_str(), from.c_str())) {}
  ~TConverter() {
    if (Ok()) iconv_close(cd);
  }
  TConverter(const TConverter&) = delete;
  TConverter& operator=(const TConverter&) = delete;
  bool Ok() const { return cd != reinterpret_cast<iconv_t>(-1); }
};

// Runs `text` through `converter`, appending to `out`. At a sequence that
// does not convert, `at_bad` gets its offset in `text` (it may append a
// replacement to `out`) and answers how many bytes to step over; 0 stops
// the conversion there. False when `at_bad` was called.
template <typename TAtBad>
bool ConvertStepping(TConverter& converter, const std::string& text, std::string& out,
                     TAtBad at_bad) {
  bool clean = true;
  char* in = const_cast<char*>(text.data());
  size_t in_left = text.size();
  char buffer[4096];
  while (in_left > 0) {
    char* to = buffer;
    size_t to_left = sizeof buffer;
    const size_t done = iconv(converter.cd, &in, &in_left, &to, &to_left);
    const int error = errno;
    out.append(buffer, static_cast<size_t>(to - buffer));
    if (done != static_cast<size_t>(-1) || error == E2BIG) continue;
    clean = false;  // EILSEQ or EINVAL
    const size_t step = std::min(in_left, at_bad(static_cast<size_t>(in - text.data())));
    if (step == 0) break;
    in += step;
    in_left -= step;
    iconv(converter.cd, nullptr, nullptr, nullptr, nullptr);
  }
  return clean;
}
