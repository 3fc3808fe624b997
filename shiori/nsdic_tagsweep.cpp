// Tag replacement through an index of the working text's "%" bytes.
#include "nsdic_tagsweep.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "ghost_assert.h"

namespace {

constexpr char kNumberedMarker = '\x02';

bool IsTagDigit(char c) { return c >= '2' && c <= '9'; }

// Appends to `out` the offsets of the "%" bytes of `bytes`, each plus `base`.
void CollectPercents(const std::string& bytes, std::size_t base,
                     std::vector<std::size_t>& out) {
  const char* data = bytes.data();
  const std::size_t size = bytes.size();
  const void* hit = std::memchr(data, '%', size);
  while (hit != nullptr) {
    const std::size_t offset = static_cast<const char*>(hit) - data;
    out.push_back(base + offset);
    hit = std::memchr(data + offset + 1, '%', size - offset - 1);
  }
}

bool HoldsMarker(const std::string& bytes) {
  return std::memchr(bytes.data(), kNumberedMarker, bytes.size()) != nullptr;
}

// Every 0x02 byte of `text` made "%"; the index is rebuilt.
void SettleMarkers(std::string& text, TPercentIndex& index) {
  std::replace(text.begin(), text.end(), kNumberedMarker, '%');
  IndexPercents(text, index);
}

// Thread-free scratch lists, their storage kept between calls.
std::vector<std::size_t> g_hits;
std::vector<std::size_t> g_word_percents;
std::vector<std::size_t> g_next;

// Whether `bytes` begins with `tag`, whose first byte is known to match;
// the byte after the "%" first, where tags differ most.
bool SameBytes(const char* bytes, std::string_view tag) {
  const char* want = tag.data();
  const std::size_t size = tag.size();
  if (size > 1 && bytes[1] != want[1]) return false;
  for (std::size_t i = size - 1; i > 1; --i) {
    if (bytes[i] != want[i]) return false;
  }
  return true;
}

// Where the plain occurrences stand (into g_hits); the first occurrence of
// any kind into `first_hit`.
void FindOccurrences(const std::string& text, const TPercentIndex& index,
                     const std::string& tag, bool keep_numbered, std::size_t& first_hit) {
  const char* data = text.data();
  const std::size_t size = text.size();
  std::size_t from = 0;
  g_hits.clear();
  for (const std::size_t p : index.at) {
    if (p < from || size - p < tag.size()) continue;
    if (!SameBytes(data + p, tag)) continue;
    if (first_hit == std::string::npos) first_hit = p;
    const std::size_t after = p + tag.size();
    if (keep_numbered && after < size && IsTagDigit(data[after])) {
      from = p + 1;  // kept as it stands
    } else {
      g_hits.push_back(p);
      from = after;
    }
  }
}

// The index after the plain occurrences were replaced by a word holding "%"
// bytes: positions shift, the tags' own "%" bytes go, the words' come in.
void ShiftIndex(TPercentIndex& index, std::size_t tag_size, std::size_t word_size) {
  GHOST_ASSERT(!g_word_percents.empty());
  g_next.clear();
  std::size_t h = 0;
  std::size_t grown = 0;  // word_size - tag_size per replaced hit, modulo
  for (const std::size_t p : index.at) {
    while (h < g_hits.size() && g_hits[h] + tag_size <= p) {
      ++h;
      grown += word_size - tag_size;
    }
    if (h < g_hits.size() && p >= g_hits[h]) {
      if (p == g_hits[h]) {
        for (const std::size_t w : g_word_percents) g_next.push_back(p + grown + w);
      }
      continue;  // inside the replaced tag
    }
    g_next.push_back(p + grown);
  }
  index.at.assign(g_next.begin(), g_next.end());
}

// FindOccurrences and the shift of the index in one walk, for a word without "%"
// bytes: the index is rewritten while the occurrences are found, each entry
// moved by what the occurrences before it added.
// The bytes and sizes are held in locals: the lists' stores would otherwise
// make every access reload them.
void FindAndShift(const std::string& text, TPercentIndex& index, std::string_view tag,
                  std::size_t word_size, bool keep_numbered, std::size_t& first_hit) {
  const char* data = text.data();
  const std::size_t size = text.size();
  const std::size_t tag_size = tag.size();
  std::size_t* at = index.at.data();
  const std::size_t count = index.at.size();
  std::size_t from = 0;
  std::size_t kept = 0;
  std::size_t grown = 0;  // word_size - tag_size per occurrence, modulo
  g_hits.clear();
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t p = at[i];
    if (p < from) continue;  // inside a replaced occurrence: its "%" goes
    if (size - p >= tag_size && SameBytes(data + p, tag)) {
      if (first_hit == std::string::npos) first_hit = p;
      const std::size_t after = p + tag_size;
      if (!keep_numbered || after >= size || !IsTagDigit(data[after])) {
        g_hits.push_back(p);
        from = after;
        grown += word_size - tag_size;
        continue;
      }
      from = p + 1;  // kept as it stands
    }
    GHOST_ASSERT(kept <= i);
    at[kept++] = p + grown;
  }
  index.at.resize(kept);
}

// Looks at a word's bytes once (a word is short): its "%" bytes into
// g_word_percents; answers whether it holds a 0x02 byte.
bool ScanWord(std::string_view word) {
  const char* bytes = word.data();
  const std::size_t size = word.size();
  bool marker = false;
  g_word_percents.clear();
  for (std::size_t i = 0; i < size; ++i) {
    if (bytes[i] == '%') g_word_percents.push_back(i);
    marker |= bytes[i] == kNumberedMarker;
  }
  return marker;
}

void Rebuild(std::string& text, std::string& scratch, const std::string& tag,
             std::string_view word) {
  if (g_hits.size() == 1) {
    text.replace(g_hits[0], tag.size(), word);
    return;
  }
  scratch.clear();
  std::size_t from = 0;
  for (const std::size_t hit : g_hits) {
    scratch.append(text, from, hit - from);
    scratch += word;
    from = hit + tag.size();
  }
  scratch.append(text, from, std::string::npos);
  text.swap(scratch);
}

}  // namespace

void IndexPercents(const std::string& text, TPercentIndex& index) {
  index.at.clear();
  CollectPercents(text, 0, index.at);
  index.marker = HoldsMarker(text);
  index.known = true;
}

void DropPercentAt(TPercentIndex& index, std::size_t position) {
  if (!index.known) return;
  const auto it = std::lower_bound(index.at.begin(), index.at.end(), position);
  if (it != index.at.end() && *it == position) index.at.erase(it);
}

std::size_t NextPercentByte(const TPercentIndex& index, std::size_t from) {
  GHOST_ASSERT(index.known);
  const auto it = std::lower_bound(index.at.begin(), index.at.end(), from);
  return it == index.at.end() ? std::string::npos : *it;
}

bool ReplaceTag(std::string& text, TPercentIndex& index, std::string& scratch,
                const std::string& tag, std::string_view word, bool keep_numbered,
                std::size_t limit, std::size_t& first_hit) {
  GHOST_ASSERT(!tag.empty() && tag[0] == '%');
  first_hit = std::string::npos;
  if (!index.known) IndexPercents(text, index);
  const bool word_marker = ScanWord(word);
  const bool plain_word = g_word_percents.empty();
  if (plain_word) {
    FindAndShift(text, index, tag, word.size(), keep_numbered, first_hit);
  } else {
    FindOccurrences(text, index, tag, keep_numbered, first_hit);
  }
  // The result only grows while it is built, so its final size decides.
  const std::size_t size = text.size() - g_hits.size() * tag.size() + g_hits.size() * word.size();
  if (size > limit) {
    if (plain_word) ForgetPercents(index);  // it already describes the result
    return false;
  }
  if (!g_hits.empty()) {
    if (word_marker) index.marker = true;
    if (!plain_word) ShiftIndex(index, tag.size(), word.size());
    Rebuild(text, scratch, tag, word);
  }
  if (keep_numbered && index.marker) SettleMarkers(text, index);
  GHOST_ASSERT(text.size() == size);
  return true;
}
