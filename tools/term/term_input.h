// Line input of the terminal host: line editing with history (libedit)
// when standard input is a terminal, plain line reading otherwise.
#pragma once

#include <string>

struct TLineInput {
  bool interactive = false;  // standard input is a terminal
};

// Decides the mode from standard input.
TLineInput OpenLineInput();

// Reads one line (without its line end; a CR before the LF is dropped).
// On a terminal `prompt` is shown and non-empty lines enter the history.
// False at the end of input.
bool ReadInputLine(const TLineInput& input, const std::string& prompt, std::string& line);

// True when line editing is compiled in.
bool LineEditingAvailable();
