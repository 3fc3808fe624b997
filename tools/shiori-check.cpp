// shiori-check: reads a ghost through the conversation core's own loader
// and parser and reports what the module would ignore, drop or refuse, and
// the templates and events that cannot work, as compilers report errors.
#include <sys/stat.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <iostream>
#include <string>

#include "check/check.h"
#include "check/check_output.h"

namespace {

constexpr int kExitClean = 0;
constexpr int kExitFindings = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "Usage: shiori-check [OPTIONS] GHOSTDIR\n"
    "\n"
    "Reads the ghost in GHOSTDIR exactly as the module's load does (tamune.ini,\n"
    "the dictionaries it lists, sealed ones unsealed), and the translation\n"
    "tables makoto0.nft and makoto1.nft as the translation module does, without\n"
    "writing anything there and without running any event, and reports each\n"
    "problem as\n"
    "\n"
    "  FILE:LINE:COLUMN: LEVEL: MESSAGE [CODE]\n"
    "\n"
    "FILE is the dictionary (a sealed one by its .xdi name), tamune.ini for\n"
    "what the list says, or the table file; LINE and COLUMN count as an editor\n"
    "does (columns in characters). LEVEL is error (the module drops or refuses\n"
    "something), warning (it does something the author probably did not mean)\n"
    "or note.\n"
    "A summary line follows. Texts from the dictionaries are shown in UTF-8.\n"
    "\n"
    "Options:\n"
    "  --format text|json  text (the default), or a JSON array with one object\n"
    "                      per problem: file, line, column, endLine, endColumn,\n"
    "                      level, code, message\n"
    "  --notes             show the notes too (what is worth knowing but most\n"
    "                      often meant: a charset switch, NSDeclare left on,\n"
    "                      an event silent when none of its conditions holds)\n"
    "  --werror            warnings count as errors for the exit status\n"
    "  -h, --help          this help\n"
    "\n"
    "Exit status: 0 no errors, 1 errors (or warnings with --werror),\n"
    "2 bad usage or no such directory.\n"
    "Messages follow the locale (LANG=ja_JP.UTF-8 gives Japanese).\n"
    "The manual's page docs/debugging.md explains the codes and what to do.\n"
    "\n"
    "Codes:\n";

struct TOptions {
  std::string directory;
  bool json = false;
  bool werror = false;
  bool notes = false;
  bool help = false;
};

int UsageError(const std::string& message) {
  std::fprintf(stderr, "shiori-check: %s\nTry 'shiori-check --help'.\n", message.c_str());
  return kExitUsage;
}

// False with `error` set on bad usage.
bool ParseArguments(int argc, char** argv, TOptions& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "--werror") {
      options.werror = true;
    } else if (arg == "--notes") {
      options.notes = true;
    } else if (arg == "--format" || arg.rfind("--format=", 0) == 0) {
      std::string value = arg.size() > 8 ? arg.substr(9) : std::string();
      if (arg == "--format") value = i + 1 < argc ? argv[++i] : "";
      if (value != "text" && value != "json") return error = "--format takes text or json", false;
      options.json = value == "json";
    } else if (!arg.empty() && arg[0] == '-') {
      return error = "unknown option " + arg, false;
    } else if (options.directory.empty()) {
      options.directory = arg;
    } else {
      return error = "only one GHOSTDIR", false;
    }
  }
  if (!options.help && options.directory.empty()) return error = "no GHOSTDIR given", false;
  return true;
}

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The compiled catalogs: beside the program in the build tree, else in the
// share/locale of its installation prefix.
void BindMessages() {
  const std::string beside = ProgramLocaleDirectory();
  const std::string program_directory = beside.substr(0, beside.rfind('/'));
  BindCheckMessages(IsDirectory(beside) ? beside : program_directory + "/../share/locale");
}

// Notes are opt-in: a correct ghost meets some on every run.
void DropNotes(std::vector<TCheckDiagnostic>& diagnostics) {
  diagnostics.erase(std::remove_if(diagnostics.begin(), diagnostics.end(),
                                   [](const TCheckDiagnostic& d) {
                                     return d.level == TCheckLevel::Note;
                                   }),
                    diagnostics.end());
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  BindMessages();
  TOptions options;
  std::string error;
  if (!ParseArguments(argc, argv, options, error)) return UsageError(error);
  if (options.help) {
    std::cout << kUsage << CodeTable();
    return kExitClean;
  }
  if (!IsDirectory(options.directory)) return UsageError("no such directory: " + options.directory);
  TCheckResult result = CheckGhost(options.directory);
  if (!options.notes) DropNotes(result.diagnostics);
  if (options.json) {
    std::cout << DiagnosticsJson(options.directory, result.diagnostics) << "\n";
  } else {
    for (const TCheckDiagnostic& d : result.diagnostics) {
      std::cout << DiagnosticLine(options.directory, d) << "\n";
    }
    std::cout << "shiori-check: " << SummaryLine(options.directory, result.diagnostics) << "\n";
  }
  const TCheckCounts counts = CountLevels(result.diagnostics);
  const bool failed = counts.errors > 0 || (options.werror && counts.warnings > 0);
  return failed ? kExitFindings : kExitClean;
}
