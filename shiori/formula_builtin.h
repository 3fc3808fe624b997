// The built-in functions that formulas call by assignment, the two timestamp
// formats, and the value file "values.dat" in the module directory, which
// "_save" rewrites and "_load" reads on every call.
#pragma once

#include <string>
#include <vector>

// Built-in function `name` (no backslash) over its argument text; a name that
// is no built-in gives the arguments back unchanged.
std::string CallBuiltin(const std::string& name, const std::string& arguments);
// The names CallBuiltin knows ("timestamp" and the "_" ones), for tools
// that name what an author meant.
std::vector<std::string> BuiltinFunctionNames();
// "timestamp" (Shift_JIS units) or "_timestamp" (quoted, slashed) formatting.
std::string FormatTimestamp(const std::string& arguments, bool slashed);
