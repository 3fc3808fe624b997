// Fuzz target: the dictionary checker on a ghost of one listed dictionary
// (the input, flagged for sealing), read from memory; every diagnostic is
// placed in a file with a known code and written as a line and as JSON.
#include <cstddef>
#include <cstdint>
#include <string>

#include "check.h"
#include "check_output.h"
#include "fuzz_scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string directory = fuzz::ScratchDirectory() + "check-ghost/";
  const TCheckResult result =
      CheckGhost(directory, {{"tamune.ini", "a.txt,e\r\n"}, {"a.txt", text}});
  for (const TCheckDiagnostic& d : result.diagnostics) {
    CheckCodeEntry(d.code);  // aborts on a code the table does not name
    if (d.file.empty() || d.line < 1 || d.column < 1 || d.end_line < d.line) __builtin_trap();
    DiagnosticLine(directory, d);
  }
  DiagnosticsJson(directory, result.diagnostics);
  return 0;
}
