// The formula language: the evaluator, variables and system values, the
// built-in functions and the value file; and the context of the talk being
// composed, which the response engine sets and formulas read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "UTypes.h"

// The talk being composed (process-wide). Set by the response engine.
extern TalkContext CurrentTalk;

// Evaluates one formula (its %-names already expanded) to a value text.
std::string Evaluate(const std::string& formula);

// name := value, with word macros and built-in calls; stores or removes.
std::string Assign(const std::string& name, const std::string& value);

// The %-name standing at `position` replaced by its value, or the text unchanged.
std::string ExpandPercentName(int position, const std::string& text);
// The "%randN" and "%rand[N]" forms at `position`.
std::string ExpandRand(int position, const std::string& text);

// Built-in function `name` (no backslash) over its argument text.
std::string CallBuiltin(const std::string& name, const std::string& arguments);
// "timestamp" (Shift_JIS units) or "_timestamp" (quoted, slashed) formatting.
std::string FormatTimestamp(const std::string& arguments, bool slashed);

extern const char* const WeekNames[7];

// Local date and time as the %-names read them.
struct TClockReading {
  int Year, Month, Day, Hour, Minute, Second, WeekDay;  // WeekDay 0 = Sunday
};
// Test hook: a fixed reading instead of the clock (nullptr restores the clock).
void SetClockOverride(const TClockReading* reading);

// The largest text one evaluation works on (1 MiB). An evaluation whose work
// text would outgrow it ends with "#err"; a built-in or word macro whose
// result would outgrow it gives "#err" instead of that result.
constexpr std::size_t kFormulaTextLimit = 1048576;
// At most this many passes per Evaluate; beyond that the result is "#err".
constexpr int kFormulaPassLimit = 100000;
// Bytes all passes of one Evaluate may scan before the result is "#err".
constexpr uint64_t kFormulaWorkLimit = 64ull << 20;
// Entries of the evaluator's stack of pending work.
constexpr int kPendingCapacity = 512;

// ReplaceAll (every occurrence of `old_text` by `new_text`) into `out`, only
// when the result fits in `limit` bytes; false, with `out` untouched, when not.
bool ReplaceAllWithin(const std::string& text, const std::string& old_text,
                      const std::string& new_text, std::size_t limit,
                      std::string& out);

// Variables emptied, talk context cleared, stack emptied. Run at library attach.
void ResetFormula();
