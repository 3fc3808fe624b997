// The translation module's tables ("makoto0.nft", "makoto1.nft") read line
// by line as the module reads them, for the checker's findings about them
// and for the terminal host, which says how many entries each gave.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One line of a table file as the module reads it, with its place in the
// file as an editor shows it.
struct TTableFileLine {
  int line = 0;          // the editor's line (lines end at LF)
  int column = 1;        // where the module's line starts (after 999 characters of a long one)
  uint32_t number = 0;   // the module's line number, which keys its deciphering
  std::string text;      // the enciphered text the module deciphers
  bool skipped = false;  // at most one character: the module skips it
  bool entry = false;    // it deciphers to an entry the module keeps
  std::string plain;     // the deciphered text (when not skipped)
  std::string source;    // the entry's texts (when `entry`)
  std::string replacement;
};

// The lines of a table file's bytes, in file order.
std::vector<TTableFileLine> ReadTableFile(std::string_view bytes);

// The number of entries the module keeps from a table file's bytes.
int TableEntryCount(std::string_view bytes);
