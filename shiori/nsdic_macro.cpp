// Dictionary macros and the NSDeclare extensions of the dictionary format:
// the macro table of one parser run and its rewriting of later lines,
// indented continuation lines, tag word lists and joined "sites" strings.
#include "nsdic_macro.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "UTypes.h"
#include "formula_search.h"
#include "ghost_assert.h"
#include "ghost_hook.h"
#include "ghost_limits.h"
#include "nsdic_macroscan.h"
#include "nsdic_words.h"
#include "strutl.h"

namespace {

// The definitions of the run, and the working strings of RewriteCaptures,
// kept from call to call so that their room is reused (ClearMacros releases
// it). One object: one teardown at unload, however many strings it holds.
struct TMacroState {
  TReplaceList table[kMacroCapacity];
  std::string matched, rep, rep_scratch;
};
TMacroState g_macros;
int g_macro_count = 0;

constexpr std::string::size_type kNpos = std::string::npos;
constexpr char kIdKey[] = "\\id";
constexpr int kTagCategories = 4;  // a tag key names up to four categories

// The prefix bytes of every definition, kept apart from the strings so that
// the test below, run for every definition on every line, touches no string
// member at all.
struct TPrefixKey {
  const char* data = nullptr;
  std::size_t size = 0;
};
TPrefixKey g_prefix_keys[kMacroCapacity];

// Whether `key` occurs in the `size` bytes at `text`.
bool Occurs(const char* text, std::size_t size, const TPrefixKey& key) {
  if (key.size == 0) return true;
  const char* const end = text + size;
  const char first = key.data[0];
  for (const char* p = text; static_cast<std::size_t>(end - p) >= key.size; ++p) {
    p = static_cast<const char*>(std::memchr(p, first, end - p - key.size + 1));
    if (p == nullptr) return false;
    if (std::memcmp(p, key.data, key.size) == 0) return true;
  }
  return false;
}

// A rewrite that grows the text is made in place, back to front, when it
// has at most this many matches; with more, into a new string.
constexpr std::size_t kKeptHits = 8;

// The matches ReplaceAll rewrites (left to right, each search going on
// behind the previous match): their number, the first kKeptHits positions
// and the last one.
struct THits {
  std::size_t count = 0;
  std::size_t last = kNpos;
  std::size_t at[kKeptHits] = {};
};

// From the first match, at `first`.
THits FindHits(const std::string& text, const std::string& old_text, std::size_t first) {
  THits hits;
  for (std::size_t hit = first; hit != kNpos;
       hit = text.find(old_text, hit + old_text.size())) {
    if (hits.count < kKeptHits) hits.at[hits.count] = hit;
    ++hits.count;
    hits.last = hit;
  }
  return hits;
}

// ReplaceAll in place for a replacement no longer than the text it
// replaces, the first match at `hit`: the bytes are moved forward, never
// past those still to be searched.
void ReplaceShrinking(std::string& text, const std::string& old_text, const std::string& new_text,
                      std::string::size_type hit) {
  GHOST_ASSERT(new_text.size() <= old_text.size());
  char* const bytes = text.data();
  std::size_t to = hit;
  std::size_t from = hit;
  while (hit != kNpos) {
    std::memmove(bytes + to, bytes + from, hit - from);
    to += hit - from;
    std::memcpy(bytes + to, new_text.data(), new_text.size());
    to += new_text.size();
    from = hit + old_text.size();
    hit = text.find(old_text, from);
  }
  std::memmove(bytes + to, bytes + from, text.size() - from);
  text.resize(to + text.size() - from);
}

// ReplaceAll in place for a longer replacement at all of `hits` (kept
// whole): the text is lengthened, then each stretch after a match moved to
// its place, from the last one back.
void ReplaceGrowing(std::string& text, const THits& hits, std::size_t old_size,
                    const std::string& new_text) {
  GHOST_ASSERT(hits.count > 0 && hits.count <= kKeptHits && new_text.size() > old_size);
  const std::size_t size = text.size();
  const std::size_t growth = new_text.size() - old_size;
  text.resize(size + hits.count * growth);
  char* const bytes = text.data();
  for (std::size_t i = hits.count; i-- > 0;) {
    const std::size_t from = hits.at[i] + old_size;
    const std::size_t end = i + 1 < hits.count ? hits.at[i + 1] : size;
    const std::size_t to = hits.at[i] + i * growth;
    std::memmove(bytes + to + new_text.size(), bytes + from, end - from);
    std::memcpy(bytes + to, new_text.data(), new_text.size());
  }
}

// ReplaceAll in place, unless the result would grow past kMacroRewriteCap
// before its last match is rewritten: then the text stays as it is and the
// answer is false. The text is never longer than kTextLimit here, so a
// rewrite that does not lengthen it always fits. `hit` is the first match,
// text.find(old_text), which the caller has at hand.
bool ReplaceBounded(std::string& text, const std::string& old_text, const std::string& new_text,
                    std::size_t hit) {
  GHOST_ASSERT(text.size() <= kTextLimit && kTextLimit <= kMacroRewriteCap);
  GHOST_ASSERT(hit == text.find(old_text));
  if (old_text.empty()) return true;
  if (new_text.size() <= old_text.size()) {
    if (hit != kNpos) ReplaceShrinking(text, old_text, new_text, hit);
    return true;
  }
  const THits hits = FindHits(text, old_text, hit);
  if (hits.count == 0) return true;
  const std::size_t growth = new_text.size() - old_text.size();
  // The text up to and including the last replacement.
  if (hits.last + (hits.count - 1) * growth + new_text.size() > kMacroRewriteCap) return false;
  if (hits.count <= kKeptHits) {
    ReplaceGrowing(text, hits, old_text.size(), new_text);
  } else {
    std::string out;
    ReplaceAllInto(out, text, old_text, new_text);
    text.swap(out);
  }
  return true;
}

// One match of a placeholder definition whose prefix stands at `a`: the
// exact text matched and its replacement. False when the middle or closing
// text does not follow.
bool MatchCaptures(const std::string& x, int a, const TReplaceList& d, std::string& matched,
                   std::string& rep) {
  const int start = a + static_cast<int>(d.Prefix.size());
  int from = start;
  int middle = 0;
  if (!d.Middle.empty()) {
    middle = PosFrom(start, x, d.Middle);
    if (middle == 0) return false;
    from = middle + static_cast<int>(d.Middle.size());
  }
  const int s = PosFrom(from, x, d.Suffix);
  if (s == 0) return false;
  const std::string_view text = x;
  matched.assign(text.substr(a - 1, s + d.Suffix.size() - a));
  ReplaceAllInto(rep, d.Body, "%0", text.substr(start - 1, (middle ? middle : s) - start));
  if (middle != 0) {
    ReplaceAllInto(g_macros.rep_scratch, rep, "%1", text.substr(from - 1, s - from));
    rep.swap(g_macros.rep_scratch);
  }
  return true;
}

// A one- or two-placeholder definition applied to x: each match found from
// the prefix onward is rewritten everywhere it occurs, then the search goes
// on near the end of the replacement. Bounded in rounds, in size and in the
// bytes rewritten. The prefix stands first at `at`.
void RewriteCaptures(std::string& x, const TReplaceList& d, std::size_t at) {
  GHOST_ASSERT(static_cast<int>(at) + 1 == PosFrom(1, x, d.Prefix));
  int a = static_cast<int>(at) + 1;
  std::size_t swept = 0;
  for (int round = 0; a > 0 && round < kMacroIterationLimit; ++round) {
    swept += x.size();
    if (swept > kMacroSweepLimit) return;
    std::string& rep = g_macros.rep;
    if (!MatchCaptures(x, a, d, g_macros.matched, rep)) return;
    if (!ReplaceBounded(x, g_macros.matched, rep, x.find(g_macros.matched)) ||
        x.size() > kTextLimit) {
      return;
    }
    a = PosFrom(std::max(1, a + static_cast<int>(rep.size()) - 1), x, d.Prefix);
  }
}

// Definition d applied to x, where its prefix stands first at `at`.
void ApplyMacro(std::string& x, const TReplaceList& d, std::size_t at) {
  if (d.Suffix.empty()) {
    ReplaceBounded(x, d.Prefix, d.Body, at);
  } else {
    RewriteCaptures(x, d, at);
  }
}

// Splits `pattern` at the placeholders "%0" and "%1" into the definition's
// prefix, middle and suffix.
void SplitPattern(const std::string& pattern, TReplaceList& d) {
  int p = 0;
  if (!TryFindFirst("%0", pattern, p)) {
    d.Prefix = pattern;
    return;
  }
  d.Prefix = pattern.substr(0, p - 1);
  const std::string r = pattern.substr(p + 1);
  int q = 0;
  if (!TryFindFirst("%1", r, q)) {
    d.Suffix = r;
    return;
  }
  d.Middle = r.substr(0, q - 1);
  d.Suffix = r.substr(q + 1);
  if (d.Suffix.empty()) std::swap(d.Middle, d.Suffix);
}

bool IsTagHead(const std::string& head) {
  static const char* const kHeads[] = {"\\ms[", "\\mz[", "\\ml[", "\\mc[", "\\mh[",
                                       "\\mt[", "\\me[", "\\mp[", "\\d[",  "\\k["};
  return std::find(std::begin(kHeads), std::end(kHeads), head) != std::end(kHeads);
}

// A bracket left open in the key goes on in the rest up to "]": takes that
// inner text out of `rest` together with the "]" and the comma after it.
// Without a "]" the rest stays whole and the inner text is empty.
std::string TakeBracketTail(std::string& rest) {
  const std::string::size_type q = rest.find(']');
  if (q == kNpos) return std::string();
  const std::string inner = rest.substr(0, q);
  rest = TrimBlanks(rest.substr(q + 1));
  if (!rest.empty() && rest[0] == ',') rest.erase(0, 1);
  return inner;
}

// The bracket's inner items as up to two tag categories; the second keeps
// every item after the first, commas included.
void InnerCategories(std::string inner, std::string& a, std::string& b) {
  a = TakeField(inner);
  if (!a.empty()) a = "\\[" + a + "]";
  if (!inner.empty()) b = "\\[" + inner + "]";
}

// The categories of a tag key (up to four); false when the key is no tag key.
bool TagCategories(const std::string& key, std::string& rest, std::string cats[kTagCategories]) {
  const std::string::size_type p = key.find('[');
  if (p == kNpos) return false;
  const std::string head = key.substr(0, p + 1);
  if (head != "\\[" && !IsTagHead(head)) return false;
  const bool open = key.find(']') == kNpos;
  if (DiagnosticsHook != nullptr && open && rest.find(']') == kNpos) {
    HookReport({THookCode::TagBracketOpen, THookLevel::Warning, 0, 0, {key, {}}, 0});
  }
  if (head == "\\[") {
    cats[0] = open ? key + "]" : key;
    if (open) InnerCategories(TakeBracketTail(rest), cats[1], cats[2]);
    return true;
  }
  cats[0] = key.substr(0, p);
  cats[1] = "\\" + key.substr(p) + (open ? "]" : "");
  if (open) InnerCategories(TakeBracketTail(rest), cats[2], cats[3]);
  return true;
}

// Tells the hook about a definition made or ignored.
void ReportMacro(THookCode code, THookLevel level, long size) {
  HookReport({code, level, 0, 0, {}, size});
}

int Placeholders(const TReplaceList& d) {
  if (d.Suffix.empty()) return 0;
  return d.Middle.empty() ? 1 : 2;
}

}  // namespace

void ClearMacros() {
  for (int i = 0; i < g_macro_count; ++i) {
    g_macros.table[i] = TReplaceList();
    g_prefix_keys[i] = TPrefixKey();
  }
  g_macro_count = 0;
  ResetMacroScan();
  for (std::string* working : {&g_macros.matched, &g_macros.rep, &g_macros.rep_scratch}) {
    std::string().swap(*working);
  }
}

void DefineMacro(const std::string& pattern, const std::string& body) {
  GHOST_ASSERT(g_macro_count >= 0 && g_macro_count <= kMacroCapacity);
  if (pattern.empty() || body.empty()) {
    return ReportMacro(THookCode::MacroIgnored, THookLevel::Warning, 0);
  }
  if (g_macro_count >= kMacroCapacity) {
    return ReportMacro(THookCode::MacroLimit, THookLevel::Error, kMacroCapacity);
  }
  TReplaceList& d = g_macros.table[g_macro_count];
  d = TReplaceList();
  SplitPattern(pattern, d);
  d.Body = ReplaceAll(body, "\\,", ",");
  g_prefix_keys[g_macro_count] = TPrefixKey{d.Prefix.data(), d.Prefix.size()};
  AddMacroPrefix(d.Prefix, g_macro_count);
  ++g_macro_count;
  HookRecord({THookKind::Macro, g_macro_count, 0, 0, 0, pattern, d.Body, Placeholders(d)});
}

// One scan of the text for all prefixes finds the next definition that the
// loop of ExpandMacrosStepwise would apply; the ones in between would not.
void ExpandMacrosInPlace(std::string& text, std::size_t quiet) {
  int i = -1;
  std::size_t at = 0;
  while (text.size() <= kTextLimit && (i = FirstMacroOccurring(text, i + 1, quiet, at)) >= 0) {
    GHOST_ASSERT(i < g_macro_count);
    ApplyMacro(text, g_macros.table[i], at);
    quiet = 0;  // the rewrite may have put a prefix anywhere
  }
}

std::string ExpandMacros(std::string text) {
  ExpandMacrosInPlace(text);
  return text;
}

std::string ExpandMacrosStepwise(const std::string& text) {
  std::string x = text;
  const char* data = x.data();
  std::size_t size = x.size();
  for (int i = 0; i < g_macro_count && size <= kTextLimit; ++i) {
    // Each prefix key points at its own definition's prefix.
    GHOST_ASSERT(g_prefix_keys[i].data == g_macros.table[i].Prefix.data());
    // Most definitions do not occur in most lines: test before rebuilding.
    if (!Occurs(data, size, g_prefix_keys[i])) continue;
    ApplyMacro(x, g_macros.table[i], x.find(g_macros.table[i].Prefix));
    data = x.data();
    size = x.size();
  }
  return x;
}

std::string AppendIndented(int& cursor, const std::string& text) {
  std::string joined;
  while (cursor > 0 && cursor <= static_cast<int>(text.size()) &&
         (text[cursor - 1] == '\t' || text[cursor - 1] == ' ')) {
    const int start = cursor;
    const std::string_view line = ReadLineView(cursor, text);
    if (DiagnosticsHook != nullptr && (MatchAt(1, line, "#") || MatchAt(1, line, "//"))) {
      HookReport({THookCode::IndentedComment, THookLevel::Warning, start, 0, {}, 0});
    }
    joined.append(line);
  }
  return joined;
}

// Most keys hold no "[" and are refused before anything is copied; the
// words are taken by views, which registration copies.
bool TagWordList(std::string_view key, std::string_view rest) {
  if (key.find('[') == kNpos) return false;
  std::string words(rest);
  std::string cats[kTagCategories];
  if (!TagCategories(std::string(key), words, cats)) return false;
  std::string_view left = words;
  std::string unescaped;
  for (std::string_view field = TakeFieldView(left, unescaped); !field.empty();
       field = TakeFieldView(left, unescaped)) {
    for (const std::string& c : cats) {
      if (c.empty()) continue;
      const int record = RegisterWord(c, field);
      if (record != 0) HookRecord({THookKind::Word, record, 0, 0, 0, c, field, 0});
    }
  }
  return true;
}

std::string JoinSites(const std::string& id, const std::string& first, int& cursor,
                      const std::string& text) {
  if (id.find("sites") == kNpos) return first;
  std::string value;
  std::string item = first;
  while (true) {
    value += ReplaceAll(item, " ", "\\[1]") + "\\[2]";
    const int mark = cursor;
    std::string line = ReadLine(cursor, text);
    if (CompareHead(kIdKey, line, static_cast<int>(sizeof(kIdKey) - 1)) != 0) {
      cursor = mark;
      break;
    }
    SplitAt(line, ",", TSplitMode::First);
    if (TakeField(line) != id) {
      cursor = mark;
      break;
    }
    item = line;
  }
  return value;
}
