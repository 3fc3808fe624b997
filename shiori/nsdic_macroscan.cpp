// The prefixes of the macro definitions of one parser run in one byte trie:
// from every position of a text the trie is walked as far as the text
// agrees, and each node reached names the definitions whose prefix ends
// there. The smallest index found is the definition the step-by-step rule
// (every definition in order, each tested against the whole text) would
// apply next.
#include "nsdic_macroscan.h"

#include <algorithm>
#include <array>
#include <climits>
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
  if (node == 0) g_root_children[byte] = child;
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
  std::vector<int>& ends = g_nodes[node].ends;
  GHOST_ASSERT(ends.empty() || ends.back() < index);
  ends.push_back(index);
}

int FirstMacroOccurring(const std::string& text, int from) {
  int best = Better(g_nodes[0].ends, from, INT_MAX);
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  for (std::size_t p = 0; p < size && best > from; ++p) {
    int node = g_root_children[bytes[p]];
    for (std::size_t q = p + 1; node != 0; ++q) {
      if (!g_nodes[node].ends.empty()) best = Better(g_nodes[node].ends, from, best);
      if (q == size) break;
      node = Child(node, bytes[q]);
    }
  }
  return best == INT_MAX ? -1 : best;
}

void ResetMacroScan() {
  g_nodes.assign(1, TPrefixNode());
  g_nodes.shrink_to_fit();
  g_root_children.fill(0);
}
