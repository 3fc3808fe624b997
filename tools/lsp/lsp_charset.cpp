// Charset conversion through iconv of the C library, and the position
// arithmetic of UTF-8 and UTF-16.
#include "lsp_charset.h"

#include <iconv.h>

#include <cerrno>

#include "charset/iconv_charset.h"

namespace {

constexpr char kUtf8[] = "UTF-8";
constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

bool IsShiftJisLead(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// The byte length of the UTF-8 sequence that starts with `b` (1 for a
// malformed byte).
size_t SequenceLength(unsigned char b) {
  if (b >= 0xF0 && b <= 0xF4) return 4;
  if (b >= 0xE0) return b <= 0xEF ? 3 : 1;
  if (b >= 0xC2) return 2;
  return 1;
}

// The length of the well-formed UTF-8 character at `i`, or 1 for a malformed one.
size_t CharacterAt(const std::string& text, size_t i) {
  const size_t length = SequenceLength(static_cast<unsigned char>(text[i]));
  if (i + length > text.size()) return 1;
  for (size_t k = 1; k < length; ++k) {
    if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 1;
  }
  return length;
}

// Converts `text`; at a sequence that does not convert, `skip` tells how
// many bytes to step over and `bad` is written instead. False when that
// happened.
template <typename TSkip>
bool Convert(TConverter& converter, const std::string& text, std::string& out, TSkip skip,
             const char* bad) {
  return ConvertStepping(converter, text, out, [&](size_t at) {
    out += bad;
    return skip(at);
  });
}

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Calls `convert` for each stretch of lines (ends included) that one
// charset holds, in order.
template <typename TConvert>
void ForEachRun(const std::string& text, const TCharsetRuns& runs, TConvert convert) {
  size_t start = 0;
  int line = 0;
  size_t run = 0;
  while (start < text.size() || (start == 0 && text.empty())) {
    while (run + 1 < runs.size() && runs[run + 1].first <= line) ++run;
    const int next_line = run + 1 < runs.size() ? runs[run + 1].first : -1;
    size_t end = start;
    while (end < text.size() && (next_line < 0 || line < next_line)) {
      const size_t stop = text.find_first_of("\r\n", end);
      if (stop == std::string::npos) {
        end = text.size();
        break;
      }
      end = stop + (text[stop] == '\r' && stop + 1 < text.size() && text[stop + 1] == '\n' ? 2 : 1);
      ++line;
    }
    convert(text.substr(start, end - start), runs.empty() ? std::string(kUtf8) : runs[run].second);
    if (end == start) break;
    start = end;
  }
}

}  // namespace

std::string EncodeRuns(const std::string& text, const TCharsetRuns& runs) {
  std::string out;
  ForEachRun(text, runs, [&](const std::string& part, const std::string& charset) {
    std::string bytes;
    EncodeText(part, charset, bytes);
    out += bytes;
  });
  return out;
}

std::string DecodeRuns(const std::string& bytes, const TCharsetRuns& runs) {
  std::string out;
  ForEachRun(bytes, runs, [&](const std::string& part, const std::string& charset) {
    out += DecodeText(part, charset);
  });
  return out;
}

std::string DecodeText(const std::string& bytes, const std::string& charset) {
  const std::string name = IconvCharsetName(charset);
  TConverter converter(kUtf8, name);
  if (!converter.Ok()) return bytes;
  const bool shift_jis = name == "CP932";
  std::string out;
  Convert(
      converter, bytes, out,
      [&](size_t at) -> size_t {
        return shift_jis && IsShiftJisLead(static_cast<unsigned char>(bytes[at])) ? 2 : 1;
      },
      kReplacement);
  return out;
}

bool EncodeText(const std::string& text, const std::string& charset, std::string& out) {
  out.clear();
  TConverter converter(IconvCharsetName(charset), kUtf8);
  if (!converter.Ok()) {
    out = text;
    return false;
  }
  return Convert(
      converter, text, out, [&](size_t at) { return CharacterAt(text, at); }, "?");
}

std::string DeclaredCharset(const std::string& text) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    const std::string line = Trim(text.substr(start, end - start));
    const size_t comma = line.find(',');
    if (comma != std::string::npos && Trim(line.substr(0, comma)) == "Option") {
      const std::string rest = Trim(line.substr(comma + 1));
      if (rest.compare(0, 8, "Charset:") == 0 && !Trim(rest.substr(8)).empty()) {
        return Trim(rest.substr(8));
      }
    }
    start = end + 1;
  }
  return "";
}

namespace {

// The UTF-16 units of the first `characters` characters of `utf8` (all of
// them when it has fewer).
size_t Utf16Units(const std::string& utf8, size_t characters) {
  size_t units = 0;
  for (size_t i = 0; i < utf8.size() && characters > 0; --characters) {
    const size_t length = CharacterAt(utf8, i);
    units += length == 4 ? 2 : 1;
    i += length;
  }
  return units;
}

}  // namespace

size_t Utf16Length(const std::string& utf8) { return Utf16Units(utf8, utf8.size()); }

int Utf16OfColumn(const std::string& line, int column) {
  return column <= 1 ? 0 : static_cast<int>(Utf16Units(line, static_cast<size_t>(column) - 1));
}

size_t ByteOfUtf16(const std::string& line, int utf16) {
  int units = 0;
  size_t i = 0;
  while (i < line.size()) {
    const size_t length = CharacterAt(line, i);
    const int width = length == 4 ? 2 : 1;
    if (units + width > utf16) break;
    units += width;
    i += length;
  }
  return i;
}

int Utf16OfByte(const std::string& line, size_t byte) {
  int units = 0;
  for (size_t i = 0; i < line.size() && i < byte;) {
    const size_t length = CharacterAt(line, i);
    units += length == 4 ? 2 : 1;
    i += length;
  }
  return units;
}
