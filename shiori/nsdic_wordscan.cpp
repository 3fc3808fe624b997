// The stored word texts as a byte trie (nsdic_trie) whose nodes hold the
// record of each text's first registration. The records registered since
// the trie was last brought up to date are entered at the next lookup or
// search: all at once into an empty trie, one by one into a trie that has
// words. The search of words inside a text walks the trie from each start
// position and leaves it as soon as no stored word begins with the bytes
// walked.
#include "nsdic_wordscan.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "formula_search.h"
#include "strutl.h"
#include "ghost_assert.h"
#include "nsdic.h"
#include "nsdic_trie.h"

namespace {

TByteTrie g_trie;
// The trie holds the texts of WordTable records 1..g_entered; records are
// only ever added after the last (the store empties together with the
// trie), so those past it are the ones still to enter.
int32_t g_entered = 0;
std::size_t g_word_count = 0;    // texts in the trie
std::array<bool, 256> g_lead{};  // IsModeLeadByte, for the mode in g_lead_mode
int g_lead_mode = -1;            // -1: not filled
std::vector<int32_t> g_found;    // records found by a search, reused between searches

// Builds the trie of the records registered since the last build, into an
// empty trie.
int BuildFromPending() {
  const int32_t first = g_entered + 1, last = WordCount;
  const std::size_t count = static_cast<std::size_t>(last - g_entered);
  const std::unique_ptr<TTrieText[]> texts(new TTrieText[count]);  // each set below
  TTrieText* to = texts.get();
  for (int32_t record = first; record <= last; ++record, ++to) {
    const std::string_view text = WordTable[record].Text;
    GHOST_ASSERT(text.size() <= UINT32_MAX);
    to->bytes = reinterpret_cast<const unsigned char*>(text.data());
    to->size = static_cast<uint32_t>(text.size());
    to->record = record;
  }
  return BuildTrie(g_trie, std::span<TTrieText>(texts.get(), count));
}

const std::array<bool, 256>& LeadBytes() {
  const int mode = ShiftJisMode() ? 1 : 0;
  if (g_lead_mode != mode) {
    for (int b = 0; b < 256; ++b) g_lead[b] = IsModeLeadByte(static_cast<unsigned char>(b));
    g_lead_mode = mode;
  }
  return g_lead;
}

// Copies the text to `out`; answers the end of the copy.
char* Put(char* out, std::string_view text) {
  CopyBytes(out, text.data(), text.size());
  return out + text.size();
}

// The answer: a line "text,category" CR LF for each record found.
std::string AnswerLines(const int32_t* found, const int32_t* end) {
  std::size_t size = 0;
  for (const int32_t* r = found; r != end; ++r)
    size += WordTable[*r].Text.size() + WordTable[*r].Category.size() + 3;
  std::string answer(size, '\0');
  char* out = answer.data();
  for (const int32_t* r = found; r != end; ++r) {
    out = Put(out, WordTable[*r].Text);
    *out++ = ',';
    out = Put(out, WordTable[*r].Category);
    *out++ = '\r';
    *out++ = '\n';
  }
  return answer;
}

// The records of the candidates at `bytes` (up to `last`, the text's last
// byte) by the rule of WordsInText: i bytes for i = 2, 3, ... while the
// candidate ends before the text's last byte, one more when its last byte is
// a lead byte. So after the first byte each candidate ends one character
// further on, a character that starts before the text's last byte. Written
// at `found`, which has room for one record a byte; answers the end.
int32_t* ScanFrom(const unsigned char* bytes, const unsigned char* last, const bool* lead,
                  const TTrieSlot* slots, const int32_t* records, int32_t* found) {
  int32_t node = slots[kTrieRoot].base + bytes[0];
  if (slots[node].check != kTrieRoot) return found;
  for (const unsigned char* c = bytes + 1; c < last;) {
    int32_t next = slots[node].base + *c;
    if (slots[next].check != node) break;  // no stored word begins so
    node = next;
    if (lead[*c]) {
      next = slots[node].base + c[1];
      if (slots[next].check != node) break;
      node = next;
      ++c;
    }
    ++c;
    *found = records[node];
    found += records[node] != 0;
  }
  return found;
}

}  // namespace

void SettleWordScan() {
  GHOST_ASSERT(g_entered <= WordCount);
  if (g_entered >= WordCount) return;  // none to enter
  if (g_word_count == 0) {
    g_word_count = static_cast<std::size_t>(BuildFromPending());
  } else {
    for (int32_t record = g_entered + 1; record <= WordCount; ++record)
      g_word_count += InsertIntoTrie(g_trie, WordTable[record].Text, record) ? 1 : 0;
  }
  g_entered = WordCount;
}

int ScanWordRecord(std::string_view text) {
  SettleWordScan();
  const int32_t node = TrieNodeOf(g_trie, text);
  return node == 0 ? 0 : g_trie.records[node];
}

std::string WordsInTextByTrie(const std::string& text) {
  SettleWordScan();
  if (g_word_count == 0 || text.size() < 2) return std::string();
  const bool* lead = LeadBytes().data();
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* last = bytes + text.size() - 1;
  // A start position finds at most one record a byte after it.
  if (g_found.size() < text.size()) g_found.resize(text.size());
  int32_t* found = g_found.data();
  const TTrieSlot* slots = g_trie.slots.data();
  const int32_t* records = g_trie.records.data();
  for (const unsigned char* p = bytes; p < last; ++p) {
    if (*p != '\\') found = ScanFrom(p, last, lead, slots, records, found);
    p += lead[*p];
  }
  return AnswerLines(g_found.data(), found);
}

void ResetWordScan() {
  ClearTrie(g_trie);
  g_entered = 0;
  std::vector<int32_t>().swap(g_found);
  g_word_count = 0;
  g_lead_mode = -1;
}
