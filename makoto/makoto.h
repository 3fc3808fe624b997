// The translation module's core: the two replacement tables, the table pass
// over a script, both passes together, and the module's reset. Built on the
// table file lines (makoto_cipher.h) and the "&" forms (makoto_forms.h).
// Everything lives in namespace makoto so that the core never clashes with
// another library linked into the same program.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "makoto_cipher.h"
#include "makoto_forms.h"

namespace makoto {

// One entry of a replacement table (a record of the table file format).
struct TableEntry {
  std::string Source;
  std::string Replacement;
};

constexpr const char* kTableFileNames[2] = {"makoto0.nft", "makoto1.nft"};

// Empties both tables.
void ResetTables();

// The start state of the module: both tables empty. (The generator is the C
// library's, which the host may share; `load` seeds it.) Run by `load`,
// `unload`, tests and fuzz targets.
void ResetModule();

// Fills table 0 from directory + "makoto0.nft" and table 1 from
// directory + "makoto1.nft"; a missing or unreadable file gives an empty
// table. Returns the number of entries loaded into both.
int LoadTables(const std::string& directory);

// Fills one table from a table file's bytes; returns its entry count.
int LoadTableFromBytes(int table, std::string_view file_bytes);

// The entries of table 0 or 1, in file order.
const std::vector<TableEntry>& TableEntries(int table);

// First pass: replaces source texts by replacement texts, table 0 before
// any "\u" and after each "\h", table 1 after "\u". At each position the
// earliest entry in file order whose source stands there wins; replacement
// text is never scanned again.
std::string ReplaceFromTables(const std::string& script);

// Both passes: the script handed back to the host.
std::string TranslateScript(const std::string& script);

}  // namespace makoto
