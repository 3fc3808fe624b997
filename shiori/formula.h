// The formula language: the evaluator, variables and system values, the
// built-in functions and the value file; and the context of the talk being
// composed, which the response engine sets and formulas read.
#pragma once

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

// Variables emptied, talk context cleared, stack emptied. Run at library attach.
void ResetFormula();
