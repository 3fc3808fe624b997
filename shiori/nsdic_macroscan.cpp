// The prefixes of the macro definitions of one parser run in one byte trie:
// from every position of a text the trie is walked as far as the text
// agrees, and each node reached names the definitions whose prefix ends
// there. The smallest index found is the definition the step-by-step rule
// (every definition in order, each tested against the whole text) would
// apply next. Where the processor compares sixteen bytes at once and the
// prefixes have few distinct first two bytes, the text is looked at a block
// at a time against them, and the trie is walked only from the positions
// that agree with some prefix; otherwise the positions come from one memchr
// stream per first byte, or with many first bytes from every byte in turn.
// The pass over a whole dictionary text uses the same heads: it stops at
// the first position whose bytes agree with one, and is resumed from there.
#include "nsdic_macroscan.h"

#include <algorithm>
#include <array>
#include <bit>
#include <bitset>
#include <climits>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define GHOST_MACRO_SCAN_SSE2 1
#include <emmintrin.h>
#endif
// With GCC or Clang on x86-64 the head pass also has a form for processors
// with AVX2 (32 bytes a compare), chosen when the processor reports it.
#if defined(GHOST_MACRO_SCAN_SSE2) && defined(__x86_64__) && \
    (defined(__GNUC__) || defined(__clang__))
#define GHOST_MACRO_SCAN_AVX2 1
#include <immintrin.h>
#endif

#include "ghost_assert.h"

std::uint64_t g_macro_head_generation = 1;

namespace {

struct TPrefixNode {
  std::vector<std::pair<unsigned char, int>> children;  // byte, node
  std::vector<int> ends;  // definitions whose prefix ends here, ascending
};

// Node 0 is the root (the empty prefix); its children are also in
// g_root_children, so that most positions cost one table read.
std::vector<TPrefixNode> g_nodes(1);
std::array<int, 256> g_root_children{};
std::vector<unsigned char> g_first_bytes;  // the bytes that start a prefix
// For each of g_first_bytes, the bytes that follow it in some prefix (every
// byte when the first byte is a whole prefix): a start whose next byte is
// not among them is passed over without walking the trie.
std::vector<std::bitset<256>> g_second_bytes;
// For every byte, 1 + its place in g_first_bytes, or 0 when no prefix
// starts with it.
std::array<unsigned char, 256> g_first_slot{};
// Up to this many first bytes (when the block compare is not used), the
// positions a prefix may start at are found with memchr, one stream each,
// instead of looking at every byte.
constexpr std::size_t kSearchedFirstBytes = 8;

#ifdef GHOST_MACRO_SCAN_SSE2
// The bytes are looked at in blocks of this many, one mask bit each.
constexpr std::size_t kBlock = 16;
// The distinct heads of the prefixes: a first byte and either the byte
// after it or any byte (when the first byte is a whole prefix). Up to
// kLaneCapacity heads the block compare is used; past it, byte by byte.
constexpr int kLaneCapacity = 8;
struct TLanes {
  __m128i first[kLaneCapacity];   // the first byte in every byte
  __m128i second[kLaneCapacity];  // the second byte in every byte
  __m128i any[kLaneCapacity];     // all ones when any second byte will do
  unsigned char first_byte[kLaneCapacity];
  unsigned char second_byte[kLaneCapacity];
  bool any_second[kLaneCapacity];
  int count = 0;  // heads seen, kLaneCapacity + 1 once there are too many
  bool any_lanes = false;  // whether some lane takes any second byte
};
TLanes g_lanes;
#endif

// The first position at or after a start where some non-empty prefix may
// begin (its head agrees), or the text's size: false hits are allowed,
// misses are not.
using THeadScan = std::size_t (*)(const unsigned char*, std::size_t, std::size_t);
std::size_t NoHead(const unsigned char*, std::size_t size, std::size_t) { return size; }
std::size_t HeadAnywhere(const unsigned char*, std::size_t, std::size_t start) { return start; }
THeadScan g_head_scan = NoHead;

// The smallest definition index found so far and where its prefix stands
// first. Positions are looked at in increasing order (for each first byte
// at least), and the index only goes down: `at` is where it last went down,
// the leftmost occurrence of that definition's prefix.
struct TBest {
  int index;
  std::size_t at;
};
// A scan of the bytes from `start` on (no non-empty prefix begins before
// it) for the definitions from index `from` on.
using TScan = void (*)(const unsigned char*, std::size_t, std::size_t, int, TBest&);
void BestWithoutLanes(const unsigned char* bytes, std::size_t size, std::size_t start, int from,
                      TBest& best);
// The scan for the prefixes added so far, chosen when they change rather
// than for every text; without prefixes, the plain one.
TScan g_scan = BestWithoutLanes;
void ChooseScan();

int Child(int node, unsigned char byte) {
  if (node == 0) return g_root_children[byte];
  for (const auto& [b, child] : g_nodes[node].children) {
    if (b == byte) return child;
  }
  return 0;
}

int AddChild(int node, unsigned char byte) {
  const int child = static_cast<int>(g_nodes.size());
  g_nodes.emplace_back();
  g_nodes[node].children.emplace_back(byte, child);
  if (node == 0) {
    g_root_children[byte] = child;
    g_first_bytes.push_back(byte);
    g_second_bytes.emplace_back();
    g_first_slot[byte] = static_cast<unsigned char>(g_first_bytes.size());
  }
  return child;
}

// The best of `best` and the first of `ends` at or after `from`.
int Better(const std::vector<int>& ends, int from, int best) {
  const auto it = std::lower_bound(ends.begin(), ends.end(), from);
  return it != ends.end() && *it < best ? *it : best;
}

// Notes the head of a non-empty prefix in the lanes, unless a lane already
// covers it.
void AddLane(const std::string& prefix) {
#ifdef GHOST_MACRO_SCAN_SSE2
  TLanes& l = g_lanes;
  const unsigned char first = static_cast<unsigned char>(prefix[0]);
  const bool any = prefix.size() == 1;
  const unsigned char second = any ? 0 : static_cast<unsigned char>(prefix[1]);
  for (int j = 0; j < std::min(l.count, kLaneCapacity); ++j) {
    if (l.first_byte[j] == first && (l.any_second[j] || (!any && l.second_byte[j] == second))) {
      return;
    }
  }
  if (l.count < kLaneCapacity) {
    l.first[l.count] = _mm_set1_epi8(static_cast<char>(first));
    l.second[l.count] = _mm_set1_epi8(static_cast<char>(second));
    l.any[l.count] = any ? _mm_set1_epi8(-1) : _mm_setzero_si128();
    l.first_byte[l.count] = first;
    l.second_byte[l.count] = second;
    l.any_second[l.count] = any;
    l.any_lanes = l.any_lanes || any;
  }
  l.count = std::min(l.count + 1, kLaneCapacity + 1);
#else
  static_cast<void>(prefix);
#endif
}

}  // namespace

void AddMacroPrefix(const std::string& prefix, int index) {
  int node = 0;
  for (const char c : prefix) {
    const unsigned char byte = static_cast<unsigned char>(c);
    const int next = Child(node, byte);
    node = next != 0 ? next : AddChild(node, byte);
  }
  if (!prefix.empty()) {
    const int slot = g_first_slot[static_cast<unsigned char>(prefix[0])];
    GHOST_ASSERT(slot > 0 && g_first_bytes[slot - 1] == static_cast<unsigned char>(prefix[0]));
    std::bitset<256>& second = g_second_bytes[slot - 1];
    if (prefix.size() == 1) {
      second.set();
    } else {
      second.set(static_cast<unsigned char>(prefix[1]));
    }
    AddLane(prefix);
  }
  std::vector<int>& ends = g_nodes[node].ends;
  GHOST_ASSERT(ends.empty() || ends.back() < index);
  ends.push_back(index);
  ChooseScan();
}

namespace {

// The best of `best` and the definitions whose prefix stands at `p`.
int BestAt(const unsigned char* bytes, std::size_t size, std::size_t p, int from, int best) {
  int node = g_root_children[bytes[p]];
  for (std::size_t q = p + 1; node != 0; ++q) {
    if (!g_nodes[node].ends.empty()) best = Better(g_nodes[node].ends, from, best);
    if (q == size) break;
    node = Child(node, bytes[q]);
  }
  return best;
}

// `best` and the definitions whose prefix stands at `p`.
void BestAt(const unsigned char* bytes, std::size_t size, std::size_t p, int from, TBest& best) {
  const int index = BestAt(bytes, size, p, from, best.index);
  if (index < best.index) best = TBest{index, p};
}

// A prefix may start at `p`: its byte starts one, and the next byte (when
// there is one: a prefix of one byte may end at the text's last byte)
// follows that first byte in some prefix.
bool MayStartAt(const unsigned char* bytes, std::size_t size, std::size_t p) {
  const int slot = g_first_slot[bytes[p]];
  return slot != 0 && (p + 1 == size || g_second_bytes[slot - 1].test(bytes[p + 1]));
}

// Every position in turn, for any number of first bytes.
void BestByBytes(const unsigned char* bytes, std::size_t size, std::size_t start, int from,
                 TBest& best) {
  for (std::size_t p = start; p < size && best.index > from; ++p) {
    if (MayStartAt(bytes, size, p)) BestAt(bytes, size, p, from, best);
  }
}

// Every start position of a prefix, in turn, by one memchr stream for each
// first byte.
void BestBySearch(const unsigned char* bytes, std::size_t size, std::size_t start, int from,
                  TBest& best) {
  for (std::size_t j = 0; j < g_first_bytes.size() && best.index > from; ++j) {
    const unsigned char first = g_first_bytes[j];
    const std::bitset<256>& second = g_second_bytes[j];
    const unsigned char* at =
        static_cast<const unsigned char*>(std::memchr(bytes + start, first, size - start));
    while (at != nullptr && best.index > from) {
      const std::size_t p = static_cast<std::size_t>(at - bytes);
      // A prefix of one byte may end at the text's last byte; longer ones
      // need the next byte to agree.
      if (p + 1 == size || second.test(bytes[p + 1])) BestAt(bytes, size, p, from, best);
      at = static_cast<const unsigned char*>(std::memchr(at + 1, first, size - p - 1));
    }
  }
}

// The scan for the prefixes without the block compare: memchr streams for
// few first bytes, else every byte in turn.
void BestWithoutLanes(const unsigned char* bytes, std::size_t size, std::size_t start, int from,
                      TBest& best) {
  if (g_first_bytes.size() <= kSearchedFirstBytes) {
    BestBySearch(bytes, size, start, from, best);
  } else {
    BestByBytes(bytes, size, start, from, best);
  }
}

#ifdef GHOST_MACRO_SCAN_SSE2
// Bit i set when the bytes at at[i] and at[i + 1] agree with one of the
// first N lanes' heads; reads kBlock + 1 bytes. Without Any, no lane takes
// any second byte.
template <int N, bool Any>
std::uint32_t HeadMask(const unsigned char* at) {
  const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 1));
  __m128i hits = _mm_setzero_si128();
  for (int j = 0; j < N; ++j) {
    __m128i second = _mm_cmpeq_epi8(next, g_lanes.second[j]);
    if constexpr (Any) second = _mm_or_si128(second, g_lanes.any[j]);
    hits = _mm_or_si128(hits, _mm_and_si128(_mm_cmpeq_epi8(here, g_lanes.first[j]), second));
  }
  return static_cast<std::uint32_t>(_mm_movemask_epi8(hits));
}

// The best of `best` and the definitions whose prefix starts at one of the
// positions base + i of the set bits i of `mask`.
void BestOfMask(const unsigned char* bytes, std::size_t size, std::size_t base,
                std::uint32_t mask, int from, TBest& best) {
  for (; mask != 0 && best.index > from; mask &= mask - 1) {
    const std::size_t p = base + static_cast<std::size_t>(std::countr_zero(mask));
    GHOST_ASSERT(p < size && g_first_slot[bytes[p]] != 0);
    BestAt(bytes, size, p, from, best);
  }
}

// Hands f(base, mask) the head masks of the bytes [start, size), each bit i
// of a mask standing for the position base + i, block by block while f
// answers true. The text's bytes are followed by its terminating NUL, so a
// block may read one byte past the text: at the last position only one-byte
// prefixes can start, and their lanes take any second byte. The last block,
// shorter than kBlock, is the text's final kBlock bytes less those already
// seen, or a zero-filled copy of a short rest less the filling.
template <int N, bool Any, class F>
void EachHeadMask(const unsigned char* bytes, std::size_t size, std::size_t start, F&& f) {
  std::size_t base = start;
  // Two blocks a step, one mask of 32 bits.
  for (; base + 2 * kBlock <= size; base += 2 * kBlock) {
    const std::uint32_t mask =
        HeadMask<N, Any>(bytes + base) | HeadMask<N, Any>(bytes + base + kBlock) << kBlock;
    if (mask != 0 && !f(base, mask)) return;
  }
  if (base + kBlock <= size) {
    const std::uint32_t mask = HeadMask<N, Any>(bytes + base);
    if (mask != 0 && !f(base, mask)) return;
    base += kBlock;
  }
  if (base == size) return;
  std::uint32_t mask;
  if (size >= kBlock) {
    mask = HeadMask<N, Any>(bytes + size - kBlock) >> (kBlock - (size - base));
  } else {
    unsigned char block[kBlock + 1] = {};
    std::memcpy(block, bytes + base, size - base);
    mask = HeadMask<N, Any>(block) & ((std::uint32_t{1} << (size - base)) - 1);
  }
  if (mask != 0) f(base, mask);
}

// BestByBytes a block at a time for N lanes.
template <int N, bool Any>
void BestByLanes(const unsigned char* bytes, std::size_t size, std::size_t start, int from,
                 TBest& best) {
  if (best.index <= from) return;
  EachHeadMask<N, Any>(bytes, size, start, [&](std::size_t base, std::uint32_t mask) {
    BestOfMask(bytes, size, base, mask, from, best);
    return best.index > from;
  });
}

// The first position at or after `start` whose head agrees with one of the
// N lanes, or `size`.
template <int N, bool Any>
std::size_t FirstHeadByLanes(const unsigned char* bytes, std::size_t size, std::size_t start) {
  std::size_t head = size;
  EachHeadMask<N, Any>(bytes, size, start, [&](std::size_t base, std::uint32_t mask) {
    head = base + static_cast<std::size_t>(std::countr_zero(mask));
    return false;
  });
  return head;
}

// By the number of lanes, without and with lanes that take any second byte.
constexpr TScan kScans[2][kLaneCapacity + 1] = {
    {BestWithoutLanes, BestByLanes<1, false>, BestByLanes<2, false>, BestByLanes<3, false>,
     BestByLanes<4, false>, BestByLanes<5, false>, BestByLanes<6, false>, BestByLanes<7, false>,
     BestByLanes<8, false>},
    {BestWithoutLanes, BestByLanes<1, true>, BestByLanes<2, true>, BestByLanes<3, true>,
     BestByLanes<4, true>, BestByLanes<5, true>, BestByLanes<6, true>, BestByLanes<7, true>,
     BestByLanes<8, true>}};
#ifdef GHOST_MACRO_SCAN_AVX2
constexpr std::size_t kWideBlock = 32;

// FirstHeadByLanes 32 bytes at a time, the bytes left after the last whole
// wide block by FirstHeadByLanes. A block reads one byte past itself, at
// most the text's terminating NUL.
template <int N, bool Any>
[[gnu::target("avx2")]] std::size_t FirstHeadByWideLanes(const unsigned char* bytes,
                                                         std::size_t size, std::size_t start) {
  __m256i first[N], second[N], any[N];
  for (int j = 0; j < N; ++j) {
    first[j] = _mm256_broadcastsi128_si256(g_lanes.first[j]);
    second[j] = _mm256_broadcastsi128_si256(g_lanes.second[j]);
    any[j] = _mm256_broadcastsi128_si256(g_lanes.any[j]);
  }
  std::size_t base = start;
  for (; base + kWideBlock <= size; base += kWideBlock) {
    const __m256i here = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + base));
    const __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + base + 1));
    __m256i hits = _mm256_setzero_si256();
    for (int j = 0; j < N; ++j) {
      __m256i follows = _mm256_cmpeq_epi8(next, second[j]);
      if constexpr (Any) follows = _mm256_or_si256(follows, any[j]);
      hits = _mm256_or_si256(hits, _mm256_and_si256(_mm256_cmpeq_epi8(here, first[j]), follows));
    }
    const auto mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(hits));
    if (mask != 0) return base + static_cast<std::size_t>(std::countr_zero(mask));
  }
  return FirstHeadByLanes<N, Any>(bytes, size, base);
}

constexpr THeadScan kWideHeadScans[2][kLaneCapacity + 1] = {
    {NoHead, FirstHeadByWideLanes<1, false>, FirstHeadByWideLanes<2, false>,
     FirstHeadByWideLanes<3, false>, FirstHeadByWideLanes<4, false>,
     FirstHeadByWideLanes<5, false>, FirstHeadByWideLanes<6, false>,
     FirstHeadByWideLanes<7, false>, FirstHeadByWideLanes<8, false>},
    {NoHead, FirstHeadByWideLanes<1, true>, FirstHeadByWideLanes<2, true>,
     FirstHeadByWideLanes<3, true>, FirstHeadByWideLanes<4, true>, FirstHeadByWideLanes<5, true>,
     FirstHeadByWideLanes<6, true>, FirstHeadByWideLanes<7, true>,
     FirstHeadByWideLanes<8, true>}};
#endif

constexpr THeadScan kHeadScans[2][kLaneCapacity + 1] = {
    {NoHead, FirstHeadByLanes<1, false>, FirstHeadByLanes<2, false>, FirstHeadByLanes<3, false>,
     FirstHeadByLanes<4, false>, FirstHeadByLanes<5, false>, FirstHeadByLanes<6, false>,
     FirstHeadByLanes<7, false>, FirstHeadByLanes<8, false>},
    {NoHead, FirstHeadByLanes<1, true>, FirstHeadByLanes<2, true>, FirstHeadByLanes<3, true>,
     FirstHeadByLanes<4, true>, FirstHeadByLanes<5, true>, FirstHeadByLanes<6, true>,
     FirstHeadByLanes<7, true>, FirstHeadByLanes<8, true>}};

// Whether the processor runs AVX2 code (the system saving its registers).
#ifdef GHOST_MACRO_SCAN_AVX2
bool HasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}
#endif

// The head passes by the number of lanes, on this processor.
THeadScan HeadScanOf(bool any_lanes, int lanes) {
#ifdef GHOST_MACRO_SCAN_AVX2
  static const bool wide = HasAvx2();
  if (wide) return kWideHeadScans[any_lanes][lanes];
#endif
  return kHeadScans[any_lanes][lanes];
}
#endif

// An empty prefix occurs at every position, and without the block compare
// (or with too many lanes) every position may be a head too: every line is
// then scanned in full, as by FirstMacroOccurring.
void ChooseScan() {
  const bool empty_prefix = !g_nodes[0].ends.empty();
  THeadScan head_scan = g_first_bytes.empty() && !empty_prefix ? NoHead : HeadAnywhere;
#ifdef GHOST_MACRO_SCAN_SSE2
  const bool lanes = g_lanes.count <= kLaneCapacity;
  g_scan = lanes ? kScans[g_lanes.any_lanes][g_lanes.count] : BestWithoutLanes;
  if (lanes && !empty_prefix) head_scan = HeadScanOf(g_lanes.any_lanes, g_lanes.count);
#else
  g_scan = BestWithoutLanes;
#endif
  if (head_scan != g_head_scan) ++g_macro_head_generation;
  g_head_scan = head_scan;
}

}  // namespace

int FirstMacroOccurring(const std::string& text, int from, std::size_t start, std::size_t& at) {
  GHOST_ASSERT(start <= text.size());
  // The empty prefix stands at 0.
  TBest best{Better(g_nodes[0].ends, from, INT_MAX), 0};
  g_scan(reinterpret_cast<const unsigned char*>(text.data()), text.size(), start, from, best);
  at = best.at;
  return best.index == INT_MAX ? -1 : best.index;
}

void ResetMacroScan() {
  g_nodes.assign(1, TPrefixNode());
  g_nodes.shrink_to_fit();
  g_root_children.fill(0);
  g_first_bytes.clear();
  g_second_bytes.clear();
  g_first_slot.fill(0);
#ifdef GHOST_MACRO_SCAN_SSE2
  g_lanes.count = 0;
  g_lanes.any_lanes = false;
#endif
  ++g_macro_head_generation;
  ChooseScan();
}

void RestartMacroHeadPass(TMacroHeadCursor& cursor, const std::string& text, std::size_t start) {
  GHOST_ASSERT(start <= text.size());
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t next = g_head_scan(bytes, text.size(), start);
  cursor = TMacroHeadCursor{start, next, g_macro_head_generation};
}
