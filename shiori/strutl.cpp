// Byte-string utilities: plain searches, replacement, trimming and line
// reading over 1-based positions.
#include "strutl.h"

#include <cstdint>
#include <cstring>

int FindCharFrom(int start, const std::string& text, unsigned char byte) {
  const int len = static_cast<int>(text.size());
  if (start < 1 || start > len) return 0;
  const void* hit = std::memchr(text.data() + start - 1, byte, len - start + 1);
  if (!hit) return 0;
  return static_cast<int>(static_cast<const char*>(hit) - text.data()) + 1;
}

bool MatchAt(int pos, std::string_view text, std::string_view pattern) {
  const long long m = static_cast<long long>(pattern.size());
  if (pos < 1) return false;
  if (pos + m - 1 > static_cast<long long>(text.size())) return false;
  return text.compare(pos - 1, pattern.size(), pattern) == 0;
}

int CompareHead(const std::string& a, const std::string& b, int n) {
  if (n > static_cast<int>(a.size())) n = static_cast<int>(a.size());
  if (n > static_cast<int>(b.size())) n = static_cast<int>(b.size());
  for (int i = 0; i < n; ++i) {
    const unsigned char x = static_cast<unsigned char>(a[i]);
    const unsigned char y = static_cast<unsigned char>(b[i]);
    if (x != y) return static_cast<int>(x) - static_cast<int>(y);
  }
  return 0;
}

int PosFrom(int start, const std::string& text, const std::string& pattern) {
  const long long len = static_cast<long long>(text.size());
  const long long m = static_cast<long long>(pattern.size());
  if (start < 1) start = 1;
  if (m == 0) return start <= len + 1 ? start : 0;
  if (len - (m - 1) < start) return 0;
  const std::string::size_type hit = text.find(pattern, start - 1);
  return hit == std::string::npos ? 0 : static_cast<int>(hit) + 1;
}

std::string ReplaceAll(const std::string& text, const std::string& old_text,
                       const std::string& new_text) {
  if (old_text.empty()) return text;
  std::string out;
  out.reserve(text.size());
  ReplaceAllInto(out, text, old_text, new_text);
  return out;
}

bool ReplaceAllWithin(const std::string& text, const std::string& old_text,
                      const std::string& new_text, std::size_t limit,
                      std::string& out) {
  std::size_t count = 0;
  if (!old_text.empty()) {
    for (std::size_t at = text.find(old_text); at != std::string::npos;
         at = text.find(old_text, at + old_text.size())) {
      ++count;
    }
  }
  uint64_t size = text.size();
  if (new_text.size() >= old_text.size()) {
    size += count * static_cast<uint64_t>(new_text.size() - old_text.size());
  } else {
    size -= count * static_cast<uint64_t>(old_text.size() - new_text.size());
  }
  if (size > limit) return false;
  out = count == 0 ? text : ReplaceAll(text, old_text, new_text);
  return true;
}

// A text without outer blanks, handed over whole, is handed back uncopied.
std::string TrimBlanks(std::string text) {
  const std::string_view kept = TrimView(text);
  if (kept.size() == text.size()) return text;
  return std::string(kept);
}

std::string ReadLine(int& cursor, const std::string& text) {
  return std::string(ReadLineView(cursor, text));
}

std::string IntToStr(long long value) { return std::to_string(value); }
