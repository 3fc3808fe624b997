// Variables and system values: the talk context, Assign (word macros,
// built-in calls, storing and removing), the expansion of one %-name at a
// position (user variables, then the system names in their fixed order, then
// the %rand forms), the week names and the clock reading with its test
// override.
#include "formula_vars.h"

#include <ctime>
#include <iterator>
#include <string>

#include "formula_builtin.h"
#include "formula_search.h"
#include "formula_values.h"
#include "ghost_limits.h"
#include "ghost_trace.h"
#include "nsdic.h"
#include "nsdic_words.h"
#include "random.h"
#include "strutl.h"

TalkContext CurrentTalk;

const char* const kWeekNames[7] = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};

namespace {

constexpr char kRandName[] = "%rand";
constexpr int kRandLength = sizeof(kRandName) - 1;
// "%randN" and "%rand[": the name and the byte that tells the form.
constexpr int kRandFormLength = kRandLength + 1;

bool g_clock_fixed = false;
TClockReading g_clock_override{};

// The local time of `now`.
TClockReading LocalReading(std::time_t now) {
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
          local.tm_min,         local.tm_sec,     local.tm_wday};
}

TClockReading ReadClock() {
  if (g_clock_fixed) return g_clock_override;
  return LocalReading(std::time(nullptr));
}

// The last second ClockReading converted, and its reading: the conversion
// of one second always gives the same reading (the zone is read once).
std::time_t g_converted_second = -1;
TClockReading g_converted_reading{};

// ---- Assign -----------------------------------------------------------------------

// Every "." outside double quotes becomes a space. One scan with the state of
// FindFirstUnquoted (quotes flip, the trail byte of a double-byte character
// is skipped), so a long argument costs linear time.
std::string DotsToSpaces(const std::string& value) {
  std::string out = value;
  bool quoted = false;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(out[i]);
    if (!quoted && b == '.') {
      out[i] = ' ';
    } else if (b == '"') {
      quoted = !quoted;
    } else if (IsModeLeadByte(b)) {
      ++i;
    }
  }
  return out;
}

// A random word of the category, with "%arg0%" standing for the value.
std::string RunWordMacro(const std::string& category, const std::string& value) {
  std::string result;
  if (!ReplaceAllWithin(RandomWordOfCategory(category), "%arg0%", value,
                        kTextLimit, result)) {
    return "#err";
  }
  return result;
}

// The built-in named by the variable; a function that hands its argument
// back unchanged (every plain variable) gives the value as written.
std::string CallByAssignment(const std::string& name, const std::string& value) {
  const std::string arguments = DotsToSpaces(value);
  std::string result = CallBuiltin(name.substr(1), arguments);
  return result == arguments ? value : result;
}

// ---- System names -----------------------------------------------------------------

struct TSystemName {
  const char* name;
  std::string (*value)(const TClockReading&);
  bool uses_clock = false;
};

// The clock, read the first time a name that needs it stands at the position.
struct TLazyClock {
  TClockReading reading{};
  bool read = false;
  const TClockReading& Get() {
    if (!read) {
      reading = ReadClock();
      read = true;
    }
    return reading;
  }
};

std::string Ref(int i) { return CurrentTalk.References[i]; }
std::string WeekName(int day) {
  constexpr int kDays = static_cast<int>(std::size(kWeekNames));
  return kWeekNames[(day % kDays + kDays) % kDays];
}

// Tried in this order; earlier names win where one is a prefix of another.
const TSystemName kSystemNames[] = {
    {"%responsecount", [](const TClockReading&) { return CountByLetter('r'); }},
    {"%bunsyocount", [](const TClockReading&) { return CountByLetter('b'); }},
    {"%chaincount", [](const TClockReading&) { return CountByLetter('c'); }},
    {"%hellocount", [](const TClockReading&) { return CountByLetter('h'); }},
    {"%eventcount", [](const TClockReading&) { return CountByLetter('e'); }},
    {"%wordcount", [](const TClockReading&) { return CountByLetter('w'); }},
    {"%tagscount", [](const TClockReading&) { return CountByLetter('t'); }},
    {"%sender", [](const TClockReading&) { return CurrentTalk.Sender; }},
    {"%event", [](const TClockReading&) { return CurrentTalk.EventName; }},
    {"%ref0", [](const TClockReading&) { return Ref(0); }},
    {"%ref1", [](const TClockReading&) { return Ref(1); }},
    {"%ref2", [](const TClockReading&) { return Ref(2); }},
    {"%ref3", [](const TClockReading&) { return Ref(3); }},
    {"%ref4", [](const TClockReading&) { return Ref(4); }},
    {"%ref5", [](const TClockReading&) { return Ref(5); }},
    {"%ref6", [](const TClockReading&) { return Ref(6); }},
    {"%ref7", [](const TClockReading&) { return Ref(7); }},
    {"%year", [](const TClockReading& c) { return IntToStr(c.year); }, true},
    {"%month", [](const TClockReading& c) { return IntToStr(c.month); }, true},
    {"%week", [](const TClockReading& c) { return WeekName(c.week_day); }, true},
    {"%day", [](const TClockReading& c) { return IntToStr(c.day); }, true},
    {"%hour", [](const TClockReading& c) { return IntToStr(c.hour); }, true},
    {"%minute", [](const TClockReading& c) { return IntToStr(c.minute); }, true},
    {"%second", [](const TClockReading& c) { return IntToStr(c.second); }, true},
    {"%sentence", [](const TClockReading&) { return CurrentTalk.IncomingSentence; }},
    {"%age", [](const TClockReading&) { return CurrentTalk.Age; }},
};

bool PercentAt(int position, const std::string& text) {
  return position >= 1 && position <= static_cast<int>(text.size()) &&
         text[position - 1] == '%';
}

// Replaces system names at `position` until no "%" stands there any more;
// the %rand forms come last.
void ExpandSystemName(int position, std::string& text) {
  static const TClockReading kNoClock{};
  TLazyClock clock;
  for (const TSystemName& entry : kSystemNames) {
    // A name that does not stand at the position leaves the "%" in place.
    if (!MatchAt(position, text, entry.name)) continue;
    const TClockReading& reading = entry.uses_clock ? clock.Get() : kNoClock;
    if (!ReplaceNameAt(position, text, entry.name, entry.value(reading))) return;
  }
  text = ExpandRand(position, text);
}

// ---- %rand ------------------------------------------------------------------------

bool IsTagDigit(char b) { return b >= '2' && b <= '9'; }

// The name at `position` plus its tag digit, if one follows it.
std::string TaggedName(const std::string& text, int position, std::size_t length) {
  std::string name = text.substr(position - 1, length);
  const std::size_t after = position - 1 + length;
  if (after < text.size() && IsTagDigit(text[after])) name += text[after];
  return name;
}

// Every occurrence of `name` replaced by `value`. An untagged name skips the
// occurrences that carry a tag digit, so "%rand3" never cuts into "%rand32",
// which gets a number of its own.
std::string ReplaceRandName(const std::string& text, const std::string& name,
                            const std::string& value, bool tagged) {
  if (TraceHook != nullptr) TracePoint(TTraceKind::Name, 0, 0, name, {}, value);
  if (tagged) return ReplaceAll(text, name, value);
  std::string out;
  std::size_t from = 0;
  for (std::size_t at = text.find(name); at != std::string::npos;
       at = text.find(name, at + name.size())) {
    const std::size_t after = at + name.size();
    if (after < text.size() && IsTagDigit(text[after])) continue;
    out.append(text, from, at - from);
    out += value;
    from = after;
  }
  out.append(text, from, std::string::npos);
  return out;
}

// "%randN": an N-digit number without a leading zero; "%randNd" with a tag
// digit d from 2 to 9 has a number of its own. Every occurrence of the name
// gets the same number.
std::string ExpandRandDigits(int position, const std::string& text, int digits) {
  std::string value(1, static_cast<char>('1' + Random(9)));
  for (int i = 1; i < digits; ++i) value += static_cast<char>('0' + Random(10));
  const std::string name = TaggedName(text, position, kRandFormLength);
  return ReplaceRandName(text, name, value,
                         name.size() > static_cast<std::size_t>(kRandFormLength));
}

// "%rand[N]": a number from 0 to N - 1 ("0" for N of 0 or less).
std::string ExpandRandBound(int position, const std::string& text) {
  const int bound_start = position + kRandFormLength;
  const int close = PosFrom(bound_start, text, "]");
  if (close == 0) {
    std::string out = text;
    out.erase(position - 1, 1);
    return out;
  }
  const std::string bound = text.substr(bound_start - 1, close - bound_start);
  if (!IsWholeInteger(bound)) return text;
  const std::string value = IntToStr(Random(ToInt(bound)));
  const std::size_t length = close - position + 1;
  const std::string name = TaggedName(text, position, length);
  return ReplaceRandName(text, name, value, name.size() > length);
}

}  // namespace

TClockReading ClockReading() {
  if (g_clock_fixed) return g_clock_override;
  const std::time_t now = std::time(nullptr);
  if (now != g_converted_second) {
    g_converted_reading = LocalReading(now);
    g_converted_second = now;
  }
  return g_converted_reading;
}

void SetClockOverride(const TClockReading* reading) {
  g_clock_fixed = reading != nullptr;
  g_clock_override = reading ? *reading : TClockReading{};
}

void ResetFormulaVars() {
  CurrentTalk = TalkContext{};
  g_converted_second = -1;
  SetClockOverride(nullptr);
}

std::string Assign(const std::string& name, const std::string& value) {
  if (name.size() < 2) return "#err";
  if (name[0] != '\\') return std::string();
  if (VariableCount() >= kVariableCapacity) return std::string();
  const std::string result = CategoryMember(name, 0) > 0 ? RunWordMacro(name, value)
                                                         : CallByAssignment(name, value);
  if (result.empty()) {
    RemoveVariable(name);
  } else {
    PutVariable(name, result);
  }
  return result;
}

std::string ExpandPercentName(int position, const std::string& text) {
  if (position < 1) return text;
  std::string out = ExpandUserVariable(position, text);
  if (position < static_cast<int>(out.size()) && PercentAt(position, out)) {
    ExpandSystemName(position, out);
  }
  return out;
}

std::vector<std::string> SystemValueNames() {
  std::vector<std::string> names;
  for (const TSystemName& entry : kSystemNames) names.emplace_back(entry.name);
  return names;
}

std::string ExpandRand(int position, const std::string& text) {
  if (position < 1 || position >= static_cast<int>(text.size()) - kRandLength) return text;
  if (!MatchAt(position, text, kRandName)) return text;
  const char kind = text[position - 1 + kRandLength];
  if (kind >= '1' && kind <= '9') return ExpandRandDigits(position, text, kind - '0');
  if (kind == '[') return ExpandRandBound(position, text);
  return text;
}
