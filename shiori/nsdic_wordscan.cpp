// The stored word texts for WordsInText: one table of bit pairs by the hash
// of every prefix of every word (the first bit: some word begins so) and of
// every whole text (the second bit: some word may be so); a clear bit proves
// there is none. Each text's answer line "text,category" (of its first
// registration) is kept in one buffer, found through an open-addressing
// table of the whole texts' hashes; the text there is compared with the
// candidate, so a hash collision never gives a wrong word.
#include "nsdic_wordscan.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
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

struct TScanEntry {
  uint64_t hash = 0;
  uint32_t offset = 0;     // of the answer line in g_lines
  uint16_t text_size = 0;
  uint16_t line_size = 0;  // 0: an empty slot
};

std::vector<uint64_t> g_pairs;    // 32 pairs a word, once a text is added
std::vector<TScanEntry> g_words;  // power-of-two size, at most half full
std::size_t g_word_count = 0;
std::string g_lines;              // "text,category\r\n" of every text added
bool g_too_long = false;          // a text whose line the entries cannot hold
std::array<bool, 256> g_lead{};   // IsModeLeadByte, for the mode in g_lead_mode
int g_lead_mode = -1;             // -1: not filled


void SetPair(uint64_t hash, unsigned bits) {
  const uint64_t pair = PairOf(hash);
  g_pairs[pair >> 5] |= static_cast<uint64_t>(bits) << ((pair & 31) * 2);
}

std::size_t FirstSlot(uint64_t hash) { return (Mixed(hash) >> 8) & (g_words.size() - 1); }

void Insert(const TScanEntry& entry) {
  std::size_t slot = FirstSlot(entry.hash);
  while (g_words[slot].line_size != 0) slot = (slot + 1) & (g_words.size() - 1);
  g_words[slot] = entry;
}

void Grow() {
  std::vector<TScanEntry> old;
  old.swap(g_words);
  g_words.assign(old.empty() ? 1024 : old.size() * 2, TScanEntry());
  for (const TScanEntry& e : old) {
    if (e.line_size != 0) Insert(e);
  }
}

// The entry of the stored text `text` (of hash `hash`), or null.
const TScanEntry* Find(uint64_t hash, const unsigned char* text, int size) {
  for (std::size_t slot = FirstSlot(hash);; slot = (slot + 1) & (g_words.size() - 1)) {
    const TScanEntry& e = g_words[slot];
    if (e.line_size == 0) return nullptr;
    if (e.hash == hash && e.text_size == size &&
        std::memcmp(g_lines.data() + e.offset, text, size) == 0) {
      return &e;
    }
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
  if (const TScanEntry* e = Find(hash, text, size)) result.append(g_lines, e->offset, e->line_size);
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

void AddScanWord(const std::string& text, int record) {
  GHOST_ASSERT(record > 0 && WordTable[record].Text == text);
  const std::string line = text + "," + WordTable[record].Category + "\r\n";
  constexpr std::size_t kMost = std::numeric_limits<uint16_t>::max();
  if (line.size() > kMost || g_lines.size() + line.size() > UINT32_MAX) {
    g_too_long = true;
    return;
  }
  if (g_pairs.empty()) g_pairs.assign((kPairMask + 1) / 32, 0);
  uint64_t hash = kHashStart;
  for (const char c : text) {
    hash = HashStep(hash, static_cast<unsigned char>(c));
    SetPair(hash, kPrefixBit);
  }
  SetPair(hash, kWholeBit);
  if (2 * (g_word_count + 1) > g_words.size()) Grow();
  Insert(TScanEntry{hash, static_cast<uint32_t>(g_lines.size()),
                    static_cast<uint16_t>(text.size()), static_cast<uint16_t>(line.size())});
  g_lines += line;
  ++g_word_count;
}

bool WordsInTextByHash(const std::string& text, std::string& result) {
  result.clear();
  if (g_too_long) return false;
  if (g_word_count == 0) return true;
  const bool* lead = LeadBytes().data();
  const uint64_t* pairs = g_pairs.data();
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const int length = static_cast<int>(text.size());
  for (int p = 0; p + 1 < length; ++p) {
    if (bytes[p] != '\\') ScanFrom(bytes + p, length - p, lead, pairs, result);
    p += lead[bytes[p]];
  }
  return true;
}

void ResetWordScan() {
  std::vector<uint64_t>().swap(g_pairs);
  std::vector<TScanEntry>().swap(g_words);
  std::string().swap(g_lines);
  g_word_count = 0;
  g_too_long = false;
  g_lead_mode = -1;
}
