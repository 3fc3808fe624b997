// The expression evaluator of the formula language.
#pragma once

#include <string>

// Evaluates one formula (its %-names already expanded) to a value text.
// Never re-entered: its stack of pending work is shared.
std::string Evaluate(const std::string& formula);

// The start state: the stack of pending work empty.
void ResetFormula();
