// Charset conversion for the terminal host, through iconv of the C library.
#include "term_charset.h"

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

// Converts `text`; a byte that does not convert is skipped and, when
// `bad` is given, replaced by what it returns. False when anything failed.
bool Convert(TConverter& converter, const std::string& text, std::string& out,
             std::string (*bad)(unsigned char)) {
  bool clean = true;
  char* in = const_cast<char*>(text.data());
  size_t in_left = text.size();
  char buffer[1024];
  while (in_left > 0) {
    char* to = buffer;
    size_t to_left = sizeof buffer;
    const size_t done = iconv(converter.cd, &in, &in_left, &to, &to_left);
    const int error = errno;
    out.append(buffer, static_cast<size_t>(to - buffer));
    if (done != static_cast<size_t>(-1) || error == E2BIG) continue;
    clean = false;  // EILSEQ or EINVAL: step over one byte
    if (bad != nullptr) out += bad(static_cast<unsigned char>(*in));
    ++in;
    --in_left;
    iconv(converter.cd, nullptr, nullptr, nullptr, nullptr);
  }
  return clean;
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
  Convert(converter, text, out, HexByte);
  return out;
}

bool FromUtf8(const std::string& text, const std::string& charset, std::string& out) {
  out.clear();
  TConverter converter(IconvCharsetName(charset), kUtf8);
  if (!converter.Ok()) return false;
  if (Convert(converter, text, out, nullptr)) return true;
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
  char* in = const_cast<char*>(text.data());
  size_t in_left = text.size();
  char buffer[1024];
  while (in_left > 0) {
    char* to = buffer;
    size_t to_left = sizeof buffer;
    const size_t done = iconv(converter.cd, &in, &in_left, &to, &to_left);
    if (done == static_cast<size_t>(-1) && errno != E2BIG) {
      return static_cast<size_t>(in - text.data());
    }
  }
  return std::string::npos;
}
