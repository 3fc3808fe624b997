// The short path of a condition: for each condition text, what it contains
// is remembered, and a condition made only of plain text and reference or
// clock names (no formula, no word tag, no other %-name) is answered by
// putting the values in directly, its evaluation remembered while the text
// and what the evaluator reads stay the same.
#pragma once

#include <string>

// Answers CheckCondition (nsdic_expand.h) for a non-empty condition at the
// top level of expansion, with the word cache already emptied, when the
// short path applies: then `holds` is set and the answer is true. False
// when only the step-by-step expansion and evaluation can answer.
bool QuickCondition(const std::string& condition, bool& holds);

// A loop over conditions in which the talk context (references, incoming
// sentence) is not written: while one is open, the short path compares the
// context with what it remembers once, when the outermost round opens.
class TConditionRound {
 public:
  TConditionRound();
  ~TConditionRound();
  TConditionRound(const TConditionRound&) = delete;
  TConditionRound& operator=(const TConditionRound&) = delete;
};

// The start state: nothing remembered.
void ResetConditionPlans();
