// The random forms of the second pass ("&r(", "&s(", "&t(") and the C
// library generator they draw from.
#include "makoto_forms.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <stdexcept>
#include <vector>

#include "makoto_limits.h"

namespace makoto {
namespace {

constexpr int64_t kIntMin = INT32_MIN;
constexpr int64_t kIntMax = INT32_MAX;

bool IsFormatSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads a decimal integer at `pos` the way "%d" does (leading white space,
// an optional sign, at least one digit); `pos` moves past it. Values beyond
// the 32-bit range are clamped to it.
bool ReadInt(std::string_view text, std::size_t& pos, int32_t& value) {
  std::size_t at = pos;
  while (at < text.size() && IsFormatSpace(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  if (at >= text.size() || !IsDigit(text[at])) return false;
  int64_t magnitude = 0;
  for (; at < text.size() && IsDigit(text[at]); ++at) {
    magnitude = std::min<int64_t>(magnitude * 10 + (text[at] - '0'), kIntMax + 1);
  }
  value = static_cast<int32_t>(std::clamp(negative ? -magnitude : magnitude, kIntMin, kIntMax));
  pos = at;
  return true;
}

// "&r(lo,hi)": lo + r * (hi - lo) / 32767, a number from lo to hi. Numbers
// that cannot be read count as 0. Worked in 64 bits so that wide ranges
// stay within lo..hi.
void AppendRandomNumber(std::string& out, std::string_view inner, int r) {
  int32_t lo = 0;
  int32_t hi = 0;
  std::size_t pos = 0;
  if (ReadInt(inner, pos, lo) && pos < inner.size() && inner[pos] == ',') {
    ++pos;
    if (!ReadInt(inner, pos, hi)) hi = 0;
  }
  const int64_t value = lo + int64_t{r} * (int64_t{hi} - lo) / kRandomMax;
  char digits[24];
  const int written = std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(value));
  out.append(digits, written > 0 ? static_cast<std::size_t>(written) : 0);
}

// "&s(a,b,...)": one of at most 200 comma-separated items, the last taking
// the rest of the text, commas included.
void AppendRandomChoice(std::string& out, std::string_view inner, int r) {
  std::vector<std::string_view> items;
  std::size_t start = 0;
  while (items.size() + 1 < kMaxChoiceItems) {
    const std::size_t comma = inner.find(',', start);
    if (comma == std::string_view::npos) break;
    items.push_back(inner.substr(start, comma - start));
    start = comma + 1;
  }
  items.push_back(inner.substr(start));
  const auto count = static_cast<int64_t>(items.size());
  const int64_t index = std::min(int64_t{r} * count / kRandomMax, count - 1);
  out += items[static_cast<std::size_t>(index)];
}

// "&t(text,n)": the text repeated r * n / 32767 times; nothing when there
// is no comma, no readable count or the number comes to 0 or less.
void AppendRandomRepeat(std::string& out, std::string_view inner, int r) {
  const std::size_t comma = inner.find(',');
  if (comma == std::string_view::npos) return;
  int32_t count = 0;
  std::size_t pos = comma + 1;
  if (!ReadInt(inner, pos, count)) return;
  const int64_t times = int64_t{r} * count / kRandomMax;
  const std::string_view text = inner.substr(0, comma);
  if (times <= 0 || text.empty()) return;
  if (static_cast<uint64_t>(times) > (out.max_size() - out.size()) / text.size()) {
    throw std::length_error("repetition longer than a string can hold");
  }
  out.reserve(out.size() + text.size() * static_cast<std::size_t>(times));
  for (int64_t i = 0; i < times; ++i) out += text;
}

// 'r', 's' or 't' when a form opens at `pos` ("&" followed by "r(" ...).
char FormKindAt(const std::string& text, std::size_t pos) {
  if (pos + 2 >= text.size() || text[pos + 2] != '(') return 0;
  const char kind = text[pos + 1];
  return (kind == 'r' || kind == 's' || kind == 't') ? kind : 0;
}

}  // namespace

void SeedRandom(unsigned seed) { std::srand(seed); }

int DrawRandom() {
  // Scales to 0..32767 whatever the C library's RAND_MAX; the identity
  // where RAND_MAX is 32767.
  const int64_t drawn = std::rand();
  return static_cast<int>(drawn * (kRandomMax + 1) / (int64_t{RAND_MAX} + 1));
}

void SeedRandomFromTime() {
  SeedRandom(static_cast<unsigned>(std::time(nullptr)));
  DrawRandom();
}

void AppendForm(std::string& out, char kind, std::string_view inner, int r) {
  if (kind == 'r') AppendRandomNumber(out, inner, r);
  if (kind == 's') AppendRandomChoice(out, inner, r);
  if (kind == 't') AppendRandomRepeat(out, inner, r);
}

std::string ExpandAmpersandForms(const std::string& text) {
  std::string out;
  out.reserve(std::max<std::size_t>(2 * text.size() + 40, 2048));
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t amp = text.find('&', pos);
    if (amp == std::string::npos) break;
    out.append(text, pos, amp - pos);
    const char kind = FormKindAt(text, amp);
    const std::size_t close = kind ? text.find(')', amp + 3) : std::string::npos;
    if (close == std::string::npos) {
      out += '&';
      pos = amp + 1;
      continue;
    }
    AppendForm(out, kind, std::string_view(text).substr(amp + 3, close - amp - 3), DrawRandom());
    pos = close + 1;
  }
  if (pos < text.size()) out.append(text, pos, std::string::npos);
  return out;
}

}  // namespace makoto
