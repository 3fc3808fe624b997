// The prefixes of the macro definitions of one parser run in one byte trie,
// so that a line is scanned once for all of them instead of once for each;
// and one forward pass over a whole dictionary text for where they may begin,
// so that most lines are not scanned at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Adds the prefix of definition `index`; indexes come in increasing order.
void AddMacroPrefix(const std::string& prefix, int index);
// The smallest definition index >= `from` whose prefix occurs in `text`
// (an empty prefix occurs in every text), or -1 when there is none; `at`
// is then text.find(that prefix). The caller knows that no non-empty
// prefix begins in the text's first `start` bytes.
int FirstMacroOccurring(const std::string& text, int from, std::size_t start, std::size_t& at);

// The start state: no prefix.
void ResetMacroScan();

// Where the prefixes may begin in one long text (a whole dictionary), found
// by one forward pass that each question resumes: the pass stops at the
// first head (a prefix's first two bytes, or the first one alone) at or
// after `from`, and starts again only past it or when the prefixes' heads
// change. One cursor for one text.
struct TMacroHeadCursor {
  std::size_t from = 0;  // where the pass last started
  std::size_t next = 0;  // the first head at or after `from`, or the text's size
  std::uint64_t generation = 0;  // the heads it was found for; 0: none yet
};
// Changes whenever the heads do and at the start state: a cursor found under
// another number is stale.
extern std::uint64_t g_macro_head_generation;
// Starts the pass again at `start` for the present heads.
void RestartMacroHeadPass(TMacroHeadCursor& cursor, const std::string& text, std::size_t start);

// The first position at or after `start` of `text` where a prefix may begin
// (false hits allowed), or the text's size: no prefix begins at any
// position from `start` up to it. Starts are asked in increasing order for the pass
// to go through each byte once. Inline: it is asked for every entry line,
// and mostly answers from the cursor.
inline std::size_t FirstMacroHead(TMacroHeadCursor& cursor, const std::string& text,
                                  std::size_t start) {
  if (cursor.generation != g_macro_head_generation || start < cursor.from ||
      cursor.next < start) {
    RestartMacroHeadPass(cursor, text, start);
  }
  // No head stands in [from, next), and from <= start <= next.
  return cursor.next;
}
