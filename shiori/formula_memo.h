// Evaluations remembered: a formula without an assignment reads only its
// text, the references and the incoming sentence of the talk and changes
// nothing, so its value is remembered with them and given again while they
// are the same.
#pragma once

#include <string>

// Evaluate (formula.h), from the remembered value when the formula holds no
// ":=" and was evaluated before with the same references and sentence.
std::string EvaluateRemembered(const std::string& formula);

// The start state: nothing remembered.
void ResetFormulaMemo();
