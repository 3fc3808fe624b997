// The dictionary checks in the terminal host: the summary shown at load,
// the "check" command and the count of the translation tables' entries. They read the ghost through the checker (the core
// linked into the terminal, apart from the loaded library), write nothing
// and leave the library alone.
#pragma once

#include <iostream>
#include <string>

// At load: nothing when the ghost checks clean, else a summary line and the
// first few errors (or warnings when there is no error).
void ShowLoadChecks(const std::string& directory, std::ostream& out);

// Every diagnostic and the summary line.
void ShowAllChecks(const std::string& directory, std::ostream& out);

// What the translation module reads from the table files in `directory`:
// "makoto0.nft 3 entries, makoto1.nft not found".
std::string TablesRead(const std::string& directory);
