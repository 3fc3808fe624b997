// The terminal host's checks: the load-time summary and the "check" command.
#include "term_check.h"

#include <clocale>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "check/check.h"
#include "check/check_output.h"
#include "check/check_tables.h"
#include "makoto.h"

namespace {

constexpr size_t kShownAtLoad = 3;

// Messages in the locale's language, once per process.
void BindOnce() {
  static bool bound = false;
  if (bound) return;
  bound = true;
  std::setlocale(LC_MESSAGES, "");
  BindCheckMessages(ProgramLocaleDirectory());
}

// Line ends the parser does not split at the author's lines: the cause of
// most other findings of the file, so the load shows them whatever comes first.
bool IsLineEndCode(const std::string& code) {
  return code == "L008" || code == "L009" || code == "L010";
}

// The line-end findings, then the first few others of `level`.
std::vector<TCheckDiagnostic> Shown(const std::vector<TCheckDiagnostic>& all, TCheckLevel level) {
  std::vector<TCheckDiagnostic> out;
  for (const TCheckDiagnostic& d : all) {
    if (IsLineEndCode(d.code)) out.push_back(d);
  }
  size_t others = 0;
  for (const TCheckDiagnostic& d : all) {
    if (d.level == level && !IsLineEndCode(d.code) && others++ < kShownAtLoad) out.push_back(d);
  }
  return out;
}

}  // namespace

void ShowLoadChecks(const std::string& directory, std::ostream& out) {
  BindOnce();
  const TCheckResult result = CheckGhost(directory);
  const TCheckCounts counts = CountLevels(result.diagnostics);
  if (counts.errors == 0 && counts.warnings == 0) return;
  out << "shiori-term: check: " << SummaryLine(directory, result.diagnostics)
      << " (\"check\" shows them all)\n";
  const TCheckLevel shown = counts.errors > 0 ? TCheckLevel::Error : TCheckLevel::Warning;
  for (const TCheckDiagnostic& d : Shown(result.diagnostics, shown)) {
    out << "  " << DiagnosticLine(directory, d) << "\n";
  }
}

void ShowAllChecks(const std::string& directory, std::ostream& out) {
  BindOnce();
  const TCheckResult result = CheckGhost(directory);
  for (const TCheckDiagnostic& d : result.diagnostics) out << DiagnosticLine(directory, d) << "\n";
  out << "shiori-term: check: " << SummaryLine(directory, result.diagnostics) << "\n";
}

std::string TablesRead(const std::string& directory) {
  std::string text;
  for (const char* name : makoto::kTableFileNames) {
    if (!text.empty()) text += ", ";
    text += name;
    std::ifstream in(directory + name, std::ios::binary);
    std::error_code code;
    if (!in || std::filesystem::is_directory(directory + name, code)) {
      text += " not found";
      continue;
    }
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const int entries = TableEntryCount(bytes);
    text += " " + std::to_string(entries) + (entries == 1 ? " entry" : " entries");
  }
  return text;
}
