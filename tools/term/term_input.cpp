// Line input of the terminal host.
#include "term_input.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#ifdef GHOST_TERM_LIBEDIT
#include <editline/readline.h>
#endif

namespace {

void DropCarriageReturn(std::string& line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
}

bool ReadPlainLine(std::string& line) {
  if (!std::getline(std::cin, line)) return false;
  DropCarriageReturn(line);
  return true;
}

}  // namespace

TLineInput OpenLineInput() {
  TLineInput input;
  input.interactive = isatty(STDIN_FILENO) != 0;
  return input;
}

bool LineEditingAvailable() {
#ifdef GHOST_TERM_LIBEDIT
  return true;
#else
  return false;
#endif
}

bool ReadInputLine(const TLineInput& input, const std::string& prompt, std::string& line) {
  if (!input.interactive) return ReadPlainLine(line);
#ifdef GHOST_TERM_LIBEDIT
  char* typed = readline(prompt.c_str());
  if (typed == nullptr) return false;
  line = typed;
  std::free(typed);
  DropCarriageReturn(line);
  if (!line.empty()) add_history(line.c_str());
  return true;
#else
  std::cout << prompt << std::flush;
  return ReadPlainLine(line);
#endif
}
