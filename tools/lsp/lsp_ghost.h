// One ghost as the server knows it: the checker's result over the editor's
// unsaved buffers, the text of each of its files in UTF-8, and what the
// parser registered, indexed by name for hover, navigation and completion.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "check/check.h"
#include "lsp_charset.h"
#include "lsp_documents.h"

// A stretch of one line of a ghost file, in UTF-8 bytes of that line.
struct TPlace {
  std::string file;  // relative to the ghost folder
  int line = 0;      // 0-based
  size_t begin = 0;  // byte offsets in the line's UTF-8 text
  size_t end = 0;
};

struct TGhostFile {
  std::string name;  // relative to the ghost folder
  std::string path;  // absolute
  std::string uri;
  TCharsetRuns charsets;           // of its lines, as the parser switched them
  std::vector<std::string> lines;  // UTF-8; empty for a sealed dictionary
};

struct TCategoryInfo {
  std::vector<std::string> words;  // distinct, in registration order
  std::vector<TPlace> places;      // the entries that register them (one per line)
};

struct TEventResponse {
  std::string condition;
  std::string text;  // the response as written (its first line)
  TPlace place;
};

struct TMacroInfo {
  std::string pattern;
  std::string prefix;  // the pattern before its first "%0"
  std::string body;
  TPlace place;
};

struct TGhost {
  std::string folder;  // with its trailing "/"
  TCheckResult result;
  std::vector<TGhostFile> files;                    // the list file first, then the dictionaries
  std::map<std::string, TCategoryInfo> categories;  // names with their backslash
  std::vector<std::string> categories_longest_first;
  std::map<std::string, std::vector<TEventResponse>> events;
  std::vector<TPlace> free_talks;
  std::map<std::string, std::vector<TPlace>> strings;
  std::vector<TPlace> statuses;
  std::vector<TMacroInfo> macros;
  std::map<std::string, std::vector<TPlace>> variables;  // "\name": where it is assigned
  std::vector<std::string> variables_longest_first;      // "\name"
};

// Checks the ghost in `folder` over the open documents inside it and
// indexes the result. The buffers are encoded in the charsets their lines
// had in `previous` (may be null) and checked again, at most twice, while
// the check shows other charsets for them (a directive changed).
TGhost LoadGhost(const std::string& folder, const TDocuments& documents, const TGhost* previous);

// The file of the ghost with this relative name or absolute path, or nullptr.
const TGhostFile* GhostFile(const TGhost& ghost, const std::string& name_or_path);

// The byte offset in a UTF-8 line of the 1-based character `column`.
size_t ByteOfColumn(const std::string& line, int column);

// The response text of an entry line: what follows its key, or the next
// line when the key stands alone (a body).
std::string EntryRest(const TGhostFile& file, int line);
