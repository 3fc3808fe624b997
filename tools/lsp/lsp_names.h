// What the server says about the names the module defines itself: the
// built-in functions of formulas and the system %-names, each with a
// one-line description for hover and completion.
#pragma once

#include <string>
#include <vector>

struct TBuiltinName {
  const char* name;       // as written after the backslash: "_length", "timestamp"
  const char* arguments;  // separated by spaces (or "." ), as the function reads them
  const char* summary;    // what it gives
};

struct TSystemName {
  const char* name;     // with its "%": "%hour"
  const char* meaning;  // the value it stands for
};

// Every built-in function, in the order the module tries them.
const std::vector<TBuiltinName>& BuiltinNames();
// Every system %-name, in the order the module tries them ("%ref0" to
// "%ref7" each; "%rand" stands for its forms).
const std::vector<TSystemName>& SystemNames();

// The entry of `name` ("_length" or "timestamp"), or nullptr.
const TBuiltinName* FindBuiltin(const std::string& name);
// The system name that `text` (beginning with "%") starts with, by the
// module's order and prefix rule, or nullptr.
const TSystemName* SystemNameAt(const std::string& text);
