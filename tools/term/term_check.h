// The dictionary checks in the terminal host: the summary shown at load and
// the "check" command. They read the ghost through the checker (the core
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
