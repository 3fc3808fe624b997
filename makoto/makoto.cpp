// The two replacement tables: loading them from the table files, the index
// that finds the earliest matching entry at a position, and the table pass
// over a script with its "\h" / "\u" switching.
#include "makoto.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <limits>
#include <new>

#include "makoto_assert.h"

namespace makoto {
namespace {

constexpr uint32_t kNoEntry = std::numeric_limits<uint32_t>::max();

// Sources are indexed by a byte trie of at most kTrieDepth levels, so that
// its size stays a small multiple of the entry count whatever the sources'
// lengths. `entry` is the earliest entry whose source ends at the node;
// sources longer than kTrieDepth are listed in file order at the deepest
// node of their first bytes (`longer`) and compared in full there.
// `earliest_below` is the earliest entry at the node or deeper, which lets a
// walk stop once nothing better can follow.
constexpr std::size_t kTrieDepth = 4;

struct TTrieNode {
  uint32_t entry = kNoEntry;
  uint32_t earliest_below = kNoEntry;
  std::vector<std::pair<unsigned char, uint32_t>> children;  // sorted by byte
  std::vector<uint32_t> longer;
};

constexpr std::array<uint32_t, 256> NoChildren() {
  std::array<uint32_t, 256> none{};
  none.fill(kNoEntry);
  return none;
}

struct TTable {
  std::vector<TableEntry> entries;
  // Node 0 is the root; a cleared table has none (ClearTable).
  std::vector<TTrieNode> nodes{TTrieNode{}};
  std::array<uint32_t, 256> root_child = NoChildren();  // the root's children by byte
};

std::array<TTable, 2> g_tables;

// Children are kept sorted by byte; a plain binary search finds one.
uint32_t FindChild(const TTrieNode& node, unsigned char byte) {
  const auto* children = node.children.data();
  std::size_t lo = 0;
  std::size_t hi = node.children.size();
  while (lo < hi) {
    const std::size_t mid = (lo + hi) / 2;
    const unsigned char at = children[mid].first;
    if (at == byte) return children[mid].second;
    if (at < byte) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return kNoEntry;
}

uint32_t ChildOrNew(TTable& table, uint32_t node, unsigned char byte) {
  const uint32_t found = FindChild(table.nodes[node], byte);
  if (found != kNoEntry) return found;
  const auto fresh = static_cast<uint32_t>(table.nodes.size());
  table.nodes.emplace_back();
  auto& children = table.nodes[node].children;
  auto at = std::find_if(children.begin(), children.end(),
                         [byte](const auto& child) { return child.first > byte; });
  children.insert(at, {byte, fresh});
  GHOST_MAKOTO_ASSERT(std::is_sorted(children.begin(), children.end()));
  if (node == 0) table.root_child[byte] = fresh;
  return fresh;
}

// Entries are added in file order, so the first entry to reach a node is
// the earliest one there.
void AddEntry(TTable& table, std::string source, std::string replacement) {
  // An empty source would match everywhere without moving the scan on.
  GHOST_MAKOTO_ASSERT(!source.empty());
  const auto index = static_cast<uint32_t>(table.entries.size());
  const std::size_t depth = std::min(source.size(), kTrieDepth);
  uint32_t node = 0;
  for (std::size_t i = 0; i < depth; ++i) {
    node = ChildOrNew(table, node, static_cast<unsigned char>(source[i]));
    auto& reached = table.nodes[node];
    reached.earliest_below = std::min(reached.earliest_below, index);
  }
  auto& last = table.nodes[node];
  if (source.size() > kTrieDepth) {
    last.longer.push_back(index);
  } else {
    last.entry = std::min(last.entry, index);
  }
  table.entries.push_back({std::move(source), std::move(replacement)});
}

// The first of a deepest node's longer sources that stands at `pos`, when
// it comes before `best`; otherwise `best`.
uint32_t EarliestLonger(const TTable& table, const TTrieNode& node, const std::string& text,
                        std::size_t pos, uint32_t best) {
  for (uint32_t index : node.longer) {
    if (index >= best) break;
    const std::string& source = table.entries[index].Source;
    if (text.compare(pos, source.size(), source) == 0) return index;
  }
  return best;
}

// The earliest entry whose source stands in `text` at `pos`, or kNoEntry.
uint32_t EarliestMatch(const TTable& table, const std::string& text, std::size_t pos) {
  const TTrieNode* nodes = table.nodes.data();
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  uint32_t node = table.root_child[bytes[pos]];
  uint32_t best = kNoEntry;
  for (std::size_t depth = 1; node != kNoEntry; ++depth) {
    GHOST_MAKOTO_ASSERT(node < table.nodes.size());
    const TTrieNode& reached = nodes[node];
    GHOST_MAKOTO_ASSERT(reached.earliest_below <= reached.entry);
    if (reached.earliest_below >= best) break;
    if (reached.entry < best) best = reached.entry;
    if (depth == kTrieDepth) return EarliestLonger(table, reached, text, pos, best);
    if (pos + depth >= size) break;
    node = FindChild(reached, bytes[pos + depth]);
  }
  return best;
}

// False when the file cannot be opened or read. Running out of memory
// throws std::bad_alloc instead, so that a table it could not hold is not
// taken for an empty one.
bool ReadWholeFile(const std::string& path, std::string& bytes) {
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in && errno == ENOMEM) throw std::bad_alloc();
  if (!in) return false;
  in.exceptions(std::ios::badbit);  // rethrows what the stream buffer threw
  try {
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::ios_base::failure&) {
    return false;
  }
  return true;
}

// The table to use after the tag at `pos`: 0 for "\h", 1 for "\u", -1 when
// no tag stands there.
int TagTableAt(const std::string& text, std::size_t pos) {
  if (text[pos] != '\\' || pos + 1 >= text.size()) return -1;
  if (text[pos + 1] == 'h') return 0;
  if (text[pos + 1] == 'u') return 1;
  return -1;
}

// Empties a table and releases its storage, allocating nothing, so that an
// unload leaves no block of the module's behind. The cleared table holds no
// node, not even the root: with no child of the root, a search never reads
// one, and tables are only built aside (LoadTableFromBytes) and moved in.
void ClearTable(TTable& table) noexcept {
  std::vector<TableEntry>().swap(table.entries);
  std::vector<TTrieNode>().swap(table.nodes);
  table.root_child = NoChildren();
}

}  // namespace

void ResetTables() {
  for (auto& table : g_tables) ClearTable(table);
}

void ResetModule() { ResetTables(); }

// The table is built aside and takes the place of the old one only when
// complete, so a failure on the way leaves no half-built index.
int LoadTableFromBytes(int table, std::string_view file_bytes) {
  TTable& target = g_tables.at(static_cast<std::size_t>(table));
  TTable built;
  const std::vector<TableLine> lines = SplitTableLines(file_bytes);
  std::string source;
  std::string replacement;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].Skipped) continue;
    std::string plain = lines[i].Text;
    DecodeLine(plain, static_cast<uint32_t>(i + 1));
    if (SplitTableEntry(plain, source, replacement)) {
      AddEntry(built, std::move(source), std::move(replacement));
    }
  }
  target = std::move(built);
  return static_cast<int>(target.entries.size());
}

int LoadTables(const std::string& directory) {
  int total = 0;
  for (int table = 0; table < 2; ++table) {
    std::string bytes;
    if (!ReadWholeFile(directory + kTableFileNames[table], bytes)) bytes.clear();
    total += LoadTableFromBytes(table, bytes);
  }
  return total;
}

const std::vector<TableEntry>& TableEntries(int table) {
  return g_tables.at(static_cast<std::size_t>(table)).entries;
}

std::string ReplaceFromTables(const std::string& script) {
  std::string out;
  out.reserve(std::max<std::size_t>(2 * script.size() + 40, 1024));
  int current = 0;
  std::size_t copied = 0;  // start of the text not yet copied to `out`
  std::size_t pos = 0;
  while (pos < script.size()) {
    const int tagged = TagTableAt(script, pos);
    if (tagged >= 0) {
      current = tagged;
      pos += 2;
      continue;
    }
    const TTable& table = g_tables[static_cast<std::size_t>(current)];
    const uint32_t match = EarliestMatch(table, script, pos);
    if (match == kNoEntry) {
      ++pos;
      continue;
    }
    const TableEntry& entry = table.entries[match];
    out.append(script, copied, pos - copied);
    out += entry.Replacement;
    pos += entry.Source.size();
    copied = pos;
  }
  out.append(script, copied, std::string::npos);
  return out;
}

std::string TranslateScript(const std::string& script) {
  return ExpandAmpersandForms(ReplaceFromTables(script));
}

}  // namespace makoto
