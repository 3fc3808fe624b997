// The dictionary parser: line classes, entry kinds, directives, macros and
// the NSDeclare extensions (indented continuation, tag word lists, sites).
#pragma once

#include <cstddef>
#include <string>

// Parses a joined dictionary text into the store; gives the number of word
// fields met in plain word-list entries. Builds the status line last.
int ParseDictionary(const std::string& text);

// ---- Macros (the table lives for one ParseDictionary run) --------------------
constexpr int kMacroCapacity = 256;
// One placeholder definition stops rewriting one text after this many rounds
// (a replacement may match again at the same place for ever) ...
constexpr int kMacroIterationLimit = 100000;
// ... or once the text has grown past this many bytes; no further definition
// is then applied to it.
constexpr std::size_t kMacroTextLimit = 1u << 20;
// A single rewrite that would make the text longer than this is not made.
constexpr std::size_t kMacroRewriteCap = 16u << 20;
// The rounds of one definition over one text stop once they have rewritten
// this many bytes in all: each round rewrites the whole text, so the round
// and size limits alone would still allow about 10^11 byte operations.
constexpr std::size_t kMacroSweepLimit = 32u << 20;

void ClearMacros();
void DefineMacro(const std::string& pattern, const std::string& body);
std::string ExpandMacros(const std::string& text);

// ---- NSDeclare extensions --------------------------------------------------------
// The indented lines following the cursor, trimmed and joined.
std::string AppendIndented(int& cursor, const std::string& text);
// Registers a tag key's words; answers whether the key was a tag key.
bool TagWordList(const std::string& key, const std::string& rest);
// Joins the "\id" lines of one "sites" identifier into one value.
std::string JoinSites(const std::string& id, const std::string& first, int& cursor,
                      const std::string& text);
