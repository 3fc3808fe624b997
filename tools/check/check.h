// The dictionary checker: reads a ghost through the module's own loader and
// parser (the core linked into the tool, never the libraries), with a
// diagnostics hook installed and nothing written to the ghost folder, then
// checks what the module would make of it. The API of shiori-check,
// shiori-term's checks and the language server.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "check_codes.h"
#include "check_origins.h"

// One finding, placed in a file of the ghost folder.
struct TCheckDiagnostic {
  std::string file;      // relative to the ghost folder ("tamune.ini", "dic.txt", "dic.xdi")
  int line = 0;          // 1-based; lines as an editor counts them
  int column = 0;        // 1-based, in characters of the file's charset
  int end_line = 0;      // the end of the text the finding is about (after its last
  int end_column = 0;    // character), or the start when it is about a whole line
  TCheckLevel level = TCheckLevel::Note;
  std::string code;      // stable: "L002", "T003", ...
  std::string message;   // in the locale's language, dictionary texts in UTF-8
};

// Something the parser registered, and where.
struct TCheckDefinition {
  std::string kind;      // "word", "link", "free-talk", "word-talk", "reply", "hello",
                         // "event", "string", "status", "macro"
  std::string name;      // category, event, identifier, word, pattern (UTF-8)
  std::string text;      // the word, the condition, the body (UTF-8)
  int record = 0;        // its number in its table
  TOrigin origin;        // the entry line
};

struct TCheckResult {
  std::vector<TCheckDiagnostic> diagnostics;  // in file order, then by line and column
  std::vector<TCheckDefinition> definitions;  // in the order of the dictionaries
  TOriginMap origins;                         // joined text and list lines to files
};

// Files to read from memory instead of the disk (an editor's unsaved
// buffers), by their names relative to the ghost folder.
using TCheckBuffers = std::map<std::string, std::string>;

// Checks the ghost in `directory` (a trailing separator is added when it is
// missing). Resets the linked core before and after: it is left in its
// start state.
TCheckResult CheckGhost(const std::string& directory, const TCheckBuffers& buffers = {});

// The counts of each level.
struct TCheckCounts {
  int errors = 0;
  int warnings = 0;
  int notes = 0;
};
TCheckCounts CountLevels(const std::vector<TCheckDiagnostic>& diagnostics);
