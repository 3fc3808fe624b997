// Formula values: quoting and integer reading; the store of formula
// variables and the reading of a variable's %-form into a text.
#include "formula_values.h"

#include "formula_search.h"
#include "ghost_assert.h"
#include "ghost_trace.h"
#include "strutl.h"

// ---- Values ------------------------------------------------------------------

bool IsQuoted(const std::string& text) {
  return text.size() >= 2 && text.front() == '"' && text.back() == '"';
}

std::string Unquote(const std::string& text) {
  if (text.empty() || text.front() != '"' || text.back() != '"') return text;
  if (text.size() <= 2) return "";
  return text.substr(1, text.size() - 2);
}

namespace {

struct TIntReading {
  int32_t value = 0;
  bool whole = false;  // every byte was read and at least one digit
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Length of the hexadecimal introducer at `i` ("$", "x", "X", "0x", "0X"), or 0.
std::size_t HexPrefixAt(const std::string& s, std::size_t i) {
  if (i >= s.size()) return 0;
  if (s[i] == '$' || s[i] == 'x' || s[i] == 'X') return 1;
  if (s[i] == '0' && i + 1 < s.size() && (s[i + 1] == 'x' || s[i + 1] == 'X')) return 2;
  return 0;
}

// Hex digits from `i` as an unsigned 32-bit number; stops before overflow.
uint32_t ReadHexDigits(const std::string& s, std::size_t& i, int& digits) {
  uint32_t magnitude = 0;
  for (; i < s.size(); ++i, ++digits) {
    const int d = HexDigit(s[i]);
    if (d < 0 || magnitude > 0x0FFFFFFFu) break;
    magnitude = magnitude * 16 + static_cast<uint32_t>(d);
  }
  return magnitude;
}

// Decimal digits from `i`, not beyond `limit`; stops before overflow.
uint32_t ReadDecimalDigits(const std::string& s, std::size_t& i, int& digits, uint32_t limit) {
  uint32_t magnitude = 0;
  for (; i < s.size(); ++i, ++digits) {
    if (s[i] < '0' || s[i] > '9') break;
    const uint64_t next = uint64_t{magnitude} * 10 + static_cast<uint32_t>(s[i] - '0');
    if (next > limit) break;
    magnitude = static_cast<uint32_t>(next);
  }
  return magnitude;
}

// The longest leading integer: leading spaces, a sign, then decimal or
// hexadecimal digits. After "-" the decimal limit is 2147483648 so that the
// smallest integer can be written; hexadecimal is unsigned 32-bit read as signed.
TIntReading ReadInt(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = (s[i++] == '-');
  int digits = 0;
  uint32_t magnitude = 0;
  if (const std::size_t prefix = HexPrefixAt(s, i)) {
    i += prefix;
    magnitude = ReadHexDigits(s, i, digits);
  } else {
    magnitude = ReadDecimalDigits(s, i, digits, negative ? 2147483648u : 2147483647u);
  }
  TIntReading reading;
  reading.value = static_cast<int32_t>(negative ? 0u - magnitude : magnitude);
  reading.whole = digits > 0 && i == s.size();
  return reading;
}

}  // namespace

int32_t ToInt(const std::string& text) { return ReadInt(Unquote(text)).value; }

bool IsWholeInteger(const std::string& text) { return ReadInt(text).whole; }

// ---- VariableStore -------------------------------------------------------------

namespace {

TNameList& Store() {
  static TNameList store;
  return store;
}

}  // namespace

int VariableCount() { return NameListCount(Store()); }

void PutVariable(const std::string& name, const std::string& value) {
  // The store holds only backslash names of two bytes or more (Assign
  // refuses the others); ExpandUserVariable relies on it.
  if (name.size() < 2 || name[0] != '\\') return;
  NameListPut(name, value, Store());
  GHOST_ASSERT(VariableCount() <= kVariableCapacity);
  if (TraceHook != nullptr) TracePoint(TTraceKind::Assigned, 0, 0, name, {}, value);
}

void RemoveVariable(const std::string& name) {
  if (TraceHook != nullptr && FindVariable(name) != nullptr) {
    TracePoint(TTraceKind::Removed, 0, 0, name);
  }
  NameListRemove(name, Store());
}

const std::string* FindVariable(const std::string& name) { return NameListFind(name, Store()); }

std::vector<std::pair<std::string, std::string>> ListVariables() {
  return NameListPairs(Store());
}

void ResetVariables() { NameListClear(Store()); }

// ---- Reading variables into a text -----------------------------------------------

namespace {

void TraceName(const std::string& name, const std::string& value) {
  TracePoint(TTraceKind::Name, 0, 0, name, {}, Unquote(value));
}

}  // namespace

bool ReplaceNameAt(int position, std::string& text, const std::string& name,
                   const std::string& value) {
  if (position < 1 || position > static_cast<int>(text.size()) + 1) return false;
  if (MatchAt(position, text, name)) {
    text.replace(static_cast<std::size_t>(position - 1), name.size(), Unquote(value));
    if (TraceHook != nullptr) TraceName(name, value);
  }
  return position <= static_cast<int>(text.size()) && text[position - 1] == '%';
}

namespace {

bool PercentAt(int position, const std::string& text) {
  return position >= 1 && position <= static_cast<int>(text.size()) && text[position - 1] == '%';
}

// Replaces, among the names of one length, those whose %-form stands at the
// position, in store order: after a replacement only names standing later
// (smaller stamp) are candidates, as in a walk over the pairs. Answers
// whether a "%" still stands at the position.
bool ExpandLengthGroup(int position, std::string& text, int length) {
  uint64_t passed = UINT64_MAX;
  while (position - 1 + length <= static_cast<int>(text.size())) {
    std::string name(1, '\\');
    name.append(text, position, length - 1);
    uint64_t stamp = 0;
    const std::string* value = NameListFindStamped(name, Store(), stamp);
    if (!value || stamp >= passed) return true;
    passed = stamp;
    std::string pattern = name;
    pattern[0] = '%';
    if (!ReplaceNameAt(position, text, pattern, *value)) return false;
  }
  return true;
}

}  // namespace

// Gives the result of walking every pair in store order (longest name
// first), replacing the pair's %-form at the position and stopping once no
// "%" stands there; but it looks up only the one name per length that the
// text can spell, instead of visiting every pair.
std::string ExpandUserVariable(int position, const std::string& text) {
  std::string result = text;
  if (!PercentAt(position, result)) return result;
  for (const int length : NameListLengths(Store())) {
    if (!ExpandLengthGroup(position, result, length)) break;
  }
  return result;
}
