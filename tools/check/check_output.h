// How diagnostics are written: the compilers' "file:line:column: level:
// message [code]" lines, the summary line, and the JSON array for editors.
#pragma once

#include <string>
#include <vector>

#include "check.h"

// `directory` joined with a file name of the ghost folder, as a path to show.
std::string ShownPath(const std::string& directory, const std::string& file);

// "dir/dic.txt:12:3: warning: message [T003]".
std::string DiagnosticLine(const std::string& directory, const TCheckDiagnostic& d);

// "dir/: 1 error, 2 warnings" in the locale's language.
std::string SummaryLine(const std::string& directory, const std::vector<TCheckDiagnostic>& all);

// One JSON object per diagnostic with the fields file, line, column,
// endLine, endColumn, level, code, message, in an array.
std::string DiagnosticsJson(const std::string& directory, const std::vector<TCheckDiagnostic>& all);

// The table of codes for --help: code, level, what it is about.
std::string CodeTable();
