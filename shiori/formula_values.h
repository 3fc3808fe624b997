// Formula values (quoting, integers) and the store of formula variables.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ghost_limits.h"

bool IsQuoted(const std::string& text);
// Removes one pair of enclosing double quotes (a lone '"' or '""' gives "").
std::string Unquote(const std::string& text);
// The longest leading integer (after Unquote): decimal, "$", "x"/"X",
// "0x"/"0X" hexadecimal, optional sign; stops before overflow.
int32_t ToInt(const std::string& text);
// True when the whole text (quotes not removed) reads as an integer.
bool IsWholeInteger(const std::string& text);

// If `name` stands in `text` at `position`, replace it by Unquote(value).
// Answers whether a "%" stands at `position` afterwards.
bool ReplaceNameAt(int position, std::string& text, const std::string& name,
                   const std::string& value);
// Replaces the %-form of a stored variable at `position` by its value.
std::string ExpandUserVariable(int position, const std::string& text);

// ---- VariableStore -----------------------------------------------------------
int VariableCount();
// Inserts or replaces; the caller (Assign) enforces kVariableCapacity. Names
// shorter than 2 bytes or not beginning with a backslash are ignored.
void PutVariable(const std::string& name, const std::string& value);
void RemoveVariable(const std::string& name);
// Value of the variable, or nullptr.
const std::string* FindVariable(const std::string& name);
// Every pair in store order (longest name first). For tools and tests.
std::vector<std::pair<std::string, std::string>> ListVariables();
// The start state: the store empty.
void ResetVariables();
