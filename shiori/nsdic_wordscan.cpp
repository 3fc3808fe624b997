// The stored word texts: one table of bit pairs by the hash of every prefix
// of every word (the first bit: some word begins so) and of every whole text
// (the second bit: some word may be so); a clear bit proves there is none.
// The record of each text's first registration is found through an
// open-addressing table of the whole texts' hashes; the record's text is
// compared with the one looked up, so a hash collision never gives a wrong
// word.
#include "nsdic_wordscan.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "formula_search.h"
#include "ghost_assert.h"
#include "nsdic.h"
#include "nsdic_index.h"

namespace {

constexpr int kPairBits = 20;  // 2^20 pairs, 256 KiB; a full store sets about a tenth
constexpr uint64_t kPairMask = (uint64_t{1} << kPairBits) - 1;
constexpr uint64_t kHashStart = 0xcbf29ce484222325ull;
constexpr unsigned kPrefixBit = 1, kWholeBit = 2;

uint64_t HashStep(uint64_t hash, unsigned char byte) { return (hash ^ byte) * 0x100000001b3ull; }
// The step leaves a text's last byte in the low and the top bits only: the
// pair and the slot are taken from the hash mixed once more.
uint64_t Mixed(uint64_t hash) { return hash * 0x9e3779b97f4a7c15ull; }
uint64_t PairOf(uint64_t hash) { return Mixed(hash) >> (64 - kPairBits); }

uint64_t HashOf(std::string_view text) {
  uint64_t hash = kHashStart;
  for (const char c : text) hash = HashStep(hash, static_cast<unsigned char>(c));
  return hash;
}

struct TScanEntry {
  uint32_t check = 0;   // the hash's low half
  int32_t record = 0;   // 0: an empty slot
};

std::vector<uint64_t> g_pairs;    // 32 pairs a word, once a text is added
std::vector<TScanEntry> g_words;  // power-of-two size, at most half full
std::size_t g_word_count = 0;
std::array<bool, 256> g_lead{};   // IsModeLeadByte, for the mode in g_lead_mode
int g_lead_mode = -1;             // -1: not filled

void SetPair(uint64_t hash, unsigned bits) {
  const uint64_t pair = PairOf(hash);
  g_pairs[pair >> 5] |= static_cast<uint64_t>(bits) << ((pair & 31) * 2);
}

std::size_t FirstSlot(uint64_t hash) { return (Mixed(hash) >> 8) & (g_words.size() - 1); }

void Insert(uint64_t hash, int32_t record) {
  std::size_t slot = FirstSlot(hash);
  while (g_words[slot].record != 0) slot = (slot + 1) & (g_words.size() - 1);
  g_words[slot] = TScanEntry{static_cast<uint32_t>(hash), record};
}

// Doubles the table; each entry goes to the slot its text's hash names.
void Grow() {
  std::vector<TScanEntry> old;
  old.swap(g_words);
  g_words.assign(old.empty() ? 1024 : old.size() * 2, TScanEntry());
  for (const TScanEntry& e : old) {
    if (e.record != 0) Insert(HashOf(WordTable[e.record].Text), e.record);
  }
}

// The record of the stored text `text` (of hash `hash`), or 0.
int Find(uint64_t hash, std::string_view text) {
  if (g_words.empty()) return 0;
  const uint32_t check = static_cast<uint32_t>(hash);
  for (std::size_t slot = FirstSlot(hash);; slot = (slot + 1) & (g_words.size() - 1)) {
    const TScanEntry& e = g_words[slot];
    if (e.record == 0) return 0;
    if (e.check == check && WordTable[e.record].Text == text) return e.record;
  }
}

const std::array<bool, 256>& LeadBytes() {
  const int mode = ShiftJisMode() ? 1 : 0;
  if (g_lead_mode != mode) {
    for (int b = 0; b < 256; ++b) g_lead[b] = IsModeLeadByte(static_cast<unsigned char>(b));
    g_lead_mode = mode;
  }
  return g_lead;
}

// Appends the answer line of the stored text `text`, if there is one.
[[gnu::noinline]] void AppendIfStored(uint64_t hash, const unsigned char* text, int size,
                                      std::string& result) {
  const int record = Find(hash, std::string_view(reinterpret_cast<const char*>(text), size));
  if (record == 0) return;
  result += WordTable[record].Text;
  result += ',';
  result += WordTable[record].Category;
  result += "\r\n";
}

// The candidates at `bytes` by the rule of WordsInText: i bytes for i = 2,
// 3, ... while i < room (the candidate ends before the text's last byte),
// one more when its last byte is a lead byte.
void ScanFrom(const unsigned char* bytes, int room, const bool* lead, const uint64_t* pairs,
              std::string& result) {
  const int longest = WordLookups.longest;
  uint64_t hash = kHashStart;
  int hashed = 0;
  for (int i = 2; i < room; ++i) {
    i += lead[bytes[i - 1]];
    if (i > longest) return;
    do {
      hash = HashStep(hash, bytes[hashed]);
    } while (++hashed < i);
    const uint64_t pair = PairOf(hash);
    const unsigned bits = (pairs[pair >> 5] >> ((pair & 31) * 2)) & 3;
    if ((bits & kPrefixBit) == 0) return;  // no stored word begins so
    if ((bits & kWholeBit) != 0) AppendIfStored(hash, bytes, i, result);
  }
}

}  // namespace

bool AddScanWord(const std::string& text, int record) {
  GHOST_ASSERT(record > 0 && WordTable[record].Text == text);
  const uint64_t whole = HashOf(text);
  if (Find(whole, text) != 0) return false;
  if (g_pairs.empty()) g_pairs.assign((kPairMask + 1) / 32, 0);
  uint64_t hash = kHashStart;
  for (const char c : text) {
    hash = HashStep(hash, static_cast<unsigned char>(c));
    SetPair(hash, kPrefixBit);
  }
  SetPair(hash, kWholeBit);
  if (2 * (g_word_count + 1) > g_words.size()) Grow();
  Insert(whole, record);
  ++g_word_count;
  return true;
}

int ScanWordRecord(std::string_view text) { return Find(HashOf(text), text); }

std::string WordsInTextByHash(const std::string& text) {
  std::string result;
  if (g_word_count == 0) return result;
  const bool* lead = LeadBytes().data();
  const uint64_t* pairs = g_pairs.data();
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const int length = static_cast<int>(text.size());
  for (int p = 0; p + 1 < length; ++p) {
    if (bytes[p] != '\\') ScanFrom(bytes + p, length - p, lead, pairs, result);
    p += lead[bytes[p]];
  }
  return result;
}

void ResetWordScan() {
  std::vector<uint64_t>().swap(g_pairs);
  std::vector<TScanEntry>().swap(g_words);
  g_word_count = 0;
  g_lead_mode = -1;
}
