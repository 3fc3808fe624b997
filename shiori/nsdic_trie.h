// A byte trie laid out as a double array: the child of node n by byte b is
// slot base(n) + b when that slot's check names n, so a step is one addition
// and one comparison. Each node may hold a record (0: none). Built in one
// pass that sorts the texts byte by byte as it goes, or grown one text at a
// time, where a child whose slot is taken moves its parent's children to a
// new base.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

struct TTrieSlot {
  int32_t base = 0;   // 0: no child yet
  int32_t check = 0;  // the parent node; 0: a free slot; -1: reserved
};

// Invariant: `slots` is at least 512 slots longer than the last slot taken,
// and every base is at most the slot of its lowest child, so base(n) + b is
// always a slot and a walk needs no bounds check, nor does a search for a
// base up to the last slot taken; a node without children has base 0, and no
// slot's check names it.
struct TByteTrie {
  std::vector<TTrieSlot> slots;  // empty until the first text
  std::vector<int32_t> records;  // by slot
  int32_t first_free = 2;        // where searches start: below it, few slots are free
  int32_t last_used = 1;         // no slot above it is taken
};

constexpr int32_t kTrieRoot = 1;

// Empties the trie and gives back its memory.
void ClearTrie(TByteTrie& trie);

// A text and its record; `next` is the build's own link, which threads the
// texts that share a prefix into a list (its value on entry is not read).
struct TTrieText {
  const unsigned char* bytes;
  TTrieText* next;
  uint32_t size;
  int32_t record;
};

// Builds the trie afresh from `texts`, given in ascending record order; a
// text given more than once keeps its first record. Sets the links of
// `texts`. Answers the number of distinct texts.
int BuildTrie(TByteTrie& trie, std::span<TTrieText> texts);

// Adds one text with its record unless the text is there already; answers
// whether it was added.
bool InsertIntoTrie(TByteTrie& trie, std::string_view text, int32_t record);

// The node the text leads to, or 0.
int32_t TrieNodeOf(const TByteTrie& trie, std::string_view text);
