// Variables and system values: the context of the talk being composed,
// Assign (word macros, built-in calls, storing and removing), the expansion
// of one %-name at a position, the week names and the clock reading with
// its test override.
#pragma once

#include <string>
#include <vector>

#include "UTypes.h"

// The talk being composed (process-wide): set by the response engine, read
// by the system values and the evaluator's bare-word rule.
extern TalkContext CurrentTalk;

// name := value, with word macros and built-in calls; stores or removes.
std::string Assign(const std::string& name, const std::string& value);

// The %-name standing at `position` replaced by its value, or the text unchanged.
std::string ExpandPercentName(int position, const std::string& text);
// The "%randN" and "%rand[N]" forms at `position`.
std::string ExpandRand(int position, const std::string& text);
// The %-names of the system values, in the order ExpandPercentName tries
// them ("%responsecount" .. "%age"; the %rand forms, tried last, are not
// among them). For tools that check templates.
std::vector<std::string> SystemValueNames();

extern const char* const kWeekNames[7];  // "sun" .. "sat"

// Local date and time as the %-names read them.
struct TClockReading {
  int year, month, day, hour, minute, second, week_day;  // week_day 0 = Sunday
};
// The reading the clock %-names put in now (the override when one is set).
TClockReading ClockReading();
// Test hook: a fixed reading instead of the clock (nullptr restores the clock).
void SetClockOverride(const TClockReading* reading);

// The start state: talk context empty, the clock read again.
void ResetFormulaVars();
