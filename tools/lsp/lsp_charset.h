// The server's text conversions: dictionary bytes in their charset to and
// from the editor's Unicode text (UTF-8 in the messages), and positions
// between UTF-16 code units (what the protocol counts), UTF-8 bytes and
// characters (what the checker counts: one per code point).
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// Dictionary bytes in `charset` as UTF-8. Shift_JIS is read as CP932, so
// 0x5C stays a backslash. A byte sequence that does not convert becomes
// one U+FFFD per character it would have been (a lead byte and its trail
// byte, or a single byte), so that characters keep their count.
std::string DecodeText(const std::string& bytes, const std::string& charset);

// UTF-8 `text` in `charset`. A character that has no form there becomes
// "?"; false when that happened or the charset is unknown (then `out` is
// the UTF-8 text itself).
bool EncodeText(const std::string& text, const std::string& charset, std::string& out);

// The charsets of a file's lines: each pair is the 0-based line from which
// a charset holds (the first from line 0). A dictionary may switch its
// charset with a directive; the lines after it are in the new one.
using TCharsetRuns = std::vector<std::pair<int, std::string>>;

// UTF-8 text to bytes and back, each line in the charset its run gives.
std::string EncodeRuns(const std::string& text, const TCharsetRuns& runs);
std::string DecodeRuns(const std::string& bytes, const TCharsetRuns& runs);

// The charset a dictionary text names on an "Option,Charset:" line, or
// empty when it names none.
std::string DeclaredCharset(const std::string& text);

// Code points and UTF-16 units of UTF-8 text; a malformed byte counts as
// one code point of one unit.
size_t Utf16Length(const std::string& utf8);
// The UTF-16 offset of the 1-based character `column` of a line (the
// line's length in units when the column lies beyond it).
int Utf16OfColumn(const std::string& line, int column);
// The byte offset in a UTF-8 line of a UTF-16 offset (clamped to the line;
// an offset inside a surrogate pair gives the start of its character).
size_t ByteOfUtf16(const std::string& line, int utf16);
// The UTF-16 offset of a byte offset of a UTF-8 line.
int Utf16OfByte(const std::string& line, size_t byte);
