// The prefixes of the macro definitions of one parser run in one byte trie:
// from every position of a text the trie is walked as far as the text
// agrees, and each node reached names the definitions whose prefix ends
// there. The smallest index found is the definition the step-by-step rule
// (every definition in order, each tested against the whole text) would
// apply next.
#include "nsdic_macroscan.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <climits>
#include <cstring>
#include <utility>
#include <vector>

#include "ghost_assert.h"

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
// Up to this many first bytes, the positions a prefix may start at are
// found with memchr, one stream each, instead of looking at every byte.
constexpr std::size_t kSearchedFirstBytes = 8;

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
  }
  return child;
}

// The best of `best` and the first of `ends` at or after `from`.
int Better(const std::vector<int>& ends, int from, int best) {
  const auto it = std::lower_bound(ends.begin(), ends.end(), from);
  return it != ends.end() && *it < best ? *it : best;
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
    const auto first = std::find(g_first_bytes.begin(), g_first_bytes.end(),
                                 static_cast<unsigned char>(prefix[0]));
    GHOST_ASSERT(first != g_first_bytes.end());
    std::bitset<256>& second = g_second_bytes[first - g_first_bytes.begin()];
    if (prefix.size() == 1) {
      second.set();
    } else {
      second.set(static_cast<unsigned char>(prefix[1]));
    }
  }
  std::vector<int>& ends = g_nodes[node].ends;
  GHOST_ASSERT(ends.empty() || ends.back() < index);
  ends.push_back(index);
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

// Every start position of a prefix, in turn, by one memchr stream for each
// first byte.
int BestBySearch(const unsigned char* bytes, std::size_t size, int from, int best) {
  for (std::size_t j = 0; j < g_first_bytes.size() && best > from; ++j) {
    const unsigned char first = g_first_bytes[j];
    const std::bitset<256>& second = g_second_bytes[j];
    const unsigned char* at = static_cast<const unsigned char*>(std::memchr(bytes, first, size));
    while (at != nullptr && best > from) {
      const std::size_t p = static_cast<std::size_t>(at - bytes);
      // A prefix of one byte may end at the text's last byte; longer ones
      // need the next byte to agree.
      if (p + 1 == size || second.test(bytes[p + 1])) best = BestAt(bytes, size, p, from, best);
      at = static_cast<const unsigned char*>(std::memchr(at + 1, first, size - p - 1));
    }
  }
  return best;
}

}  // namespace

int FirstMacroOccurring(const std::string& text, int from) {
  int best = Better(g_nodes[0].ends, from, INT_MAX);
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  if (g_first_bytes.size() <= kSearchedFirstBytes) {
    best = BestBySearch(bytes, size, from, best);
  } else {
    for (std::size_t p = 0; p < size && best > from; ++p) best = BestAt(bytes, size, p, from, best);
  }
  return best == INT_MAX ? -1 : best;
}

void ResetMacroScan() {
  g_nodes.assign(1, TPrefixNode());
  g_nodes.shrink_to_fit();
  g_root_children.fill(0);
  g_first_bytes.clear();
  g_second_bytes.clear();
}
