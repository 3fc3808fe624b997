// The state of one check, shared by the checker's units: the ghost folder,
// what the hook collected, the origin map and the findings made so far,
// each placed in the joined text or on a list line.
#pragma once

#include <string>
#include <vector>

#include "check.h"
#include "check_hook.h"

// A finding before it is placed in a file: a code, a message id and its
// arguments (dictionary bytes, shown in UTF-8 later), and its place.
struct TFinding {
  const char* code;
  const char* message;
  std::vector<std::string> arguments;
  int position = 0;     // in the joined text (1-based); 0: on a list line
  int length = 0;       // bytes of the joined text it is about
  int list_offset = 0;  // the list line; 0: none
  int list_line = 0;    // a line of the list file named directly (L001, L008)
  // A finding in a file outside the joined text (a translation table):
  std::string file = {};     // its name; empty: none
  int file_line = 0;         // its place there
  int file_column = 0;
  std::string charset = {};  // the charset of its arguments
};

struct TCheckRun {
  std::string directory;  // with its trailing separator
  const TCheckBuffers* buffers = nullptr;
  TCollector collector;
  TOriginMap origins;
  std::vector<TFinding> findings;
};

// True when the ghost folder has the file (an editor buffer counts).
bool GhostFileExists(const TCheckRun& run, const std::string& name);

// The findings of the list file and of what the loader and the parser
// reported.
void CheckReports(TCheckRun& run);
// The findings of what the store holds: templates, conditions, events,
// redirections and the bytes of every entry.
void CheckStore(TCheckRun& run);

// The findings of an author's usual slips: a separator that is no comma, a
// key in the wrong case, a blank in an event name, an entry without talk,
// "\," kept as typed.
void SlipFindings(TCheckRun& run);

// The findings of the translation tables in the ghost folder.
void TableFindings(TCheckRun& run);

// The position and length of `stored.substr(offset, length)` inside the
// entry that starts at `start` (the same occurrence when the text occurs
// more than once), or the entry's start with length 0 when the entry's
// lines do not hold it (a macro or an escape changed it).
void LocateInEntry(const TCheckRun& run, int start, const std::string& stored,
                   std::size_t offset, std::size_t length, int& position, int& found_length);
