// Names in dictionary text: which tag, %-name, event, macro, string or
// built-in stands at a place, where it is defined and where it is used.
// Uses are found the way the module reads them: a "%" takes the longest
// category, then the longest variable, then a system name.
#pragma once

#include <string>
#include <vector>

#include "lsp_ghost.h"

enum class TSymbolKind {
  None,
  Category,
  Event,
  FreeTalk,
  Macro,
  String,
  Variable,
  SystemName,
  Builtin
};

struct TSymbol {
  TSymbolKind kind = TSymbolKind::None;
  std::string name;  // category and variable with their backslash, event and
                     // string without their "@" / "*", macro pattern, system
                     // name with its "%", built-in without its backslash
  TPlace place;      // the text the symbol was found in
};

// The symbol whose text covers byte `byte` of line `line` of `file`.
TSymbol SymbolAt(const TGhost& ghost, const TGhostFile& file, int line, size_t byte);

// The %-name that starts at byte `at` of a line (which holds "%" there):
// its symbol and length in bytes, or kind None.
TSymbol PercentNameAt(const TGhost& ghost, const std::string& line, size_t at);

// Where the symbol is defined: word lists, event responses, free talks,
// the macro's definition, string entries, assignments.
std::vector<TPlace> DefinitionsOf(const TGhost& ghost, const TSymbol& symbol);
// Every place that names it, definitions included when asked.
std::vector<TPlace> ReferencesOf(const TGhost& ghost, const TSymbol& symbol, bool with_definitions);
