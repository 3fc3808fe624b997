// The checker's diagnostics hook: copies every report and record the core
// makes while it loads a ghost, each placed in the joined text (a report of
// "the entry being parsed" at the start of that entry).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "ghost_hook.h"

struct TCollectedReport {
  THookCode code;
  THookLevel level;
  int position = 0;      // in the joined text; 0 for a list-file report
  int list_offset = 0;
  std::string text[2];
  long size = 0;
};

struct TCollectedRecord {
  THookKind kind;
  int record = 0;
  int position = 0;      // the entry's first byte (Dictionary: its text's)
  int end = 0;           // the byte after the entry (Dictionary: after its text)
  int list_offset = 0;
  std::string name;
  std::string text;
  int detail = 0;
};

struct TCollector {
  std::vector<TCollectedReport> reports;
  std::vector<TCollectedRecord> records;       // every kind but EntryBegin and EntryEnd
  std::map<int, int> entry_ends;               // entry start -> the byte after it
  std::map<int, std::string> entry_keys;       // entry start -> its key
  int entry = 0;                               // start of the entry being parsed
  TDiagnosticsHook hook{};
};

// Points the collector's hook at the collector; install it with
// SetDiagnosticsHook(&collector.hook).
void PrepareCollector(TCollector& collector);

// The byte after the entry that starts at `start` (`start` when unknown).
int EntryEnd(const TCollector& collector, int start);
