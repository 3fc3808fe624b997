// Writing diagnostics: compiler-style lines, the summary and JSON.
#include "check_output.h"

#include <nlohmann/json.hpp>

std::string ShownPath(const std::string& directory, const std::string& file) {
  if (directory.empty()) return file;
  const char last = directory.back();
  return last == '/' ? directory + file : directory + "/" + file;
}

std::string DiagnosticLine(const std::string& directory, const TCheckDiagnostic& d) {
  return ShownPath(directory, d.file) + ":" + std::to_string(d.line) + ":" +
         std::to_string(d.column) + ": " + LevelName(d.level) + ": " + d.message + " [" + d.code +
         "]";
}

std::string SummaryLine(const std::string& directory, const std::vector<TCheckDiagnostic>& all) {
  const TCheckCounts counts = CountLevels(all);
  return directory + ": " + CountsText(counts.errors, counts.warnings, counts.notes);
}

std::string DiagnosticsJson(const std::string& directory, const std::vector<TCheckDiagnostic>& all) {
  nlohmann::ordered_json array = nlohmann::ordered_json::array();
  for (const TCheckDiagnostic& d : all) {
    array.push_back({{"file", ShownPath(directory, d.file)},
                     {"line", d.line},
                     {"column", d.column},
                     {"endLine", d.end_line},
                     {"endColumn", d.end_column},
                     {"level", LevelName(d.level)},
                     {"code", d.code},
                     {"message", d.message}});
  }
  // Bytes that are no UTF-8 (none should reach here) are replaced, not thrown.
  return array.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::string CodeTable() {
  std::string table;
  for (const TCheckCode& code : CheckCodes()) {
    std::string level = LevelName(code.level);
    level.resize(8, ' ');
    table += std::string("  ") + code.code + "  " + level + Translate(code.summary) + "\n";
  }
  return table;
}
