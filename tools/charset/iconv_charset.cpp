// Charset conversion for the tools, through iconv of the C library.
#include "iconv_charset.h"

#include <iconv.h>

#include <cctype>
#include <cerrno>
#include <cstdio>

namespace {

constexpr char kUtf8[] = "UTF-8";

std::string Lower(const std::string& text) {
  std::string lower = text;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

std::string HexByte(unsigned char b) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "<%02X>", b);
  return buffer;
}

}  // namespace

std::string IconvCharsetName(const std::string& charset) {
  const std::string lower = Lower(charset);
  if (lower == "shift_jis" || lower == "shift-jis" || lower == "sjis" || lower == "x-sjis" ||
      lower == "windows-31j" || lower == "ms_kanji") {
    return "CP932";
  }
  return charset;
}

std::string ToUtf8(const std::string& text, const std::string& charset) {
  TConverter converter(kUtf8, IconvCharsetName(charset));
  if (!converter.Ok()) return text;
  std::string out;
  ConvertStepping(converter, text, out, [&](size_t at) -> size_t {
    out += HexByte(static_cast<unsigned char>(text[at]));
    return 1;
  });
  return out;
}

bool FromUtf8(const std::string& text, const std::string& charset, std::string& out) {
  out.clear();
  TConverter converter(IconvCharsetName(charset), kUtf8);
  if (!converter.Ok()) return false;
  if (ConvertStepping(converter, text, out, [](size_t) -> size_t { return 0; })) return true;
  out.clear();
  return false;
}

bool KnownCharset(const std::string& charset) {
  TConverter converter(kUtf8, IconvCharsetName(charset));
  return converter.Ok();
}

size_t InvalidByteOffset(const std::string& text, const std::string& charset) {
  TConverter converter(kUtf8, IconvCharsetName(charset));
  if (!converter.Ok()) return std::string::npos;
  size_t invalid = std::string::npos;
  std::string out;
  ConvertStepping(converter, text, out, [&](size_t at) -> size_t {
    invalid = at;
    return 0;
  });
  return invalid;
}
