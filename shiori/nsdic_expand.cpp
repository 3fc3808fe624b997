// Sentence expansion: turns a dictionary template into talk text by replacing
// word tags (through the word cache, so a tag keeps its word for the whole
// talk), "%m?", inline "%(...)" formulas and every other %-name; plus the
// entry points built on it (talk, word talk, free talk, "\dms", conditions).
//
// Guards against runaway dictionaries (ghost_limits.h): formulas nest at most
// kMaxFormulaDepth levels, the working text never grows past kTextLimit, and
// all passes under one top-level expansion share one budget.
#include "nsdic_expand.h"

#include <climits>
#include <cstring>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "formula.h"
#include "formula_memo.h"
#include "formula_search.h"
#include "formula_values.h"
#include "formula_vars.h"
#include "ghost_assert.h"
#include "ghost_limits.h"
#include "ghost_trace.h"
#include "nsdic.h"
#include "nsdic_cache.h"
#include "nsdic_condition.h"
#include "nsdic_links.h"
#include "nsdic_tagsweep.h"
#include "nsdic_words.h"
#include "random.h"
#include "strutl.h"

namespace {

constexpr char kFormulaOpen[] = "%(";
constexpr std::size_t kFormulaOpenLength = sizeof(kFormulaOpen) - 1;
constexpr char kLeftMarker = '\x03';     // a "%" passed over for now
constexpr char kNumberedMarker = '\x02'; // a numbered tag kept during a sweep

// Depth of the ExpandTemplate running now (-1: none) and the passes left
// to the current top-level expansion.
int g_depth = -1;
long g_budget = 0;
long long g_sweep_left = 0;
// The storage of each level's "%" index, kept between expansions.
std::vector<std::size_t> g_percent_storage[kMaxFormulaDepth + 1];

// Enters one ExpandTemplate level; the outermost level refills the budget.
struct TDepthScope {
  explicit TDepthScope(int depth) : saved(g_depth) {
    GHOST_ASSERT(depth == g_depth + 1 && depth <= kMaxFormulaDepth);
    if (depth == 0) {
      g_budget = kPassBudget;
      g_sweep_left = kSweepBudget;
    }
    g_depth = depth;
  }
  ~TDepthScope() { g_depth = saved; }
  TDepthScope(const TDepthScope&) = delete;
  TDepthScope& operator=(const TDepthScope&) = delete;
  int saved;
};

// The working text may shrink or stay as it is, but never grow past the cap.
bool FitsCap(std::size_t next_size, std::size_t current_size) {
  return next_size <= kTextLimit || next_size <= current_size;
}

// The byte at 1-based `position`, or 0 past the end.
char ByteAt(const std::string& text, std::size_t position) {
  return position >= 1 && position <= text.size() ? text[position - 1] : '\0';
}

bool IsTagDigit(char c) { return c >= '2' && c <= '9'; }

// Replaces `tag` by `word` in one left-to-right sweep; inserted words are
// never searched again. With `keep_numbered`, an occurrence followed by a
// digit "2".."9" is kept (marked with 0x02 during the sweep) and finally
// every 0x02 byte becomes the tag's first byte. Fails, leaving `out`
// undefined, when the result would grow past `limit` bytes. `first_hit`, when
// given, receives where the first occurrence stood (npos: none).
bool SweepReplace(const std::string& text, const std::string& tag,
                  const std::string& word, bool keep_numbered,
                  std::size_t limit, std::string& out, std::size_t* first_hit = nullptr) {
  out.clear();
  if (first_hit != nullptr) *first_hit = std::string::npos;
  if (tag.empty()) {
    out = text;
    return true;
  }
  std::size_t from = 0;
  std::size_t hit = text.find(tag);
  if (first_hit != nullptr) *first_hit = hit;
  while (hit != std::string::npos) {
    out.append(text, from, hit - from);
    const std::size_t after = hit + tag.size();
    if (keep_numbered && after < text.size() && IsTagDigit(text[after])) {
      out += kNumberedMarker;
      from = hit + 1;
    } else {
      out += word;
      from = after;
    }
    if (out.size() > limit) return false;
    hit = text.find(tag, from);
  }
  out.append(text, from, std::string::npos);
  if (out.size() > limit) return false;
  if (keep_numbered) {
    for (std::size_t at = out.find(kNumberedMarker); at != std::string::npos;
         at = out.find(kNumberedMarker, at + 1))
      out[at] = tag[0];
  }
  return true;
}

// Position (0-based) of the ")" closing the "(" at `open`, or npos.
// Brackets are counted wherever they stand, quotes included.
std::size_t MatchingBracket(const std::string& text, std::size_t open) {
  const char* bytes = text.data();
  const std::size_t size = text.size();
  long depth = 1;
  for (std::size_t i = open + 1; i < size; ++i) {
    if (bytes[i] == '(') {
      ++depth;
    } else if (bytes[i] == ')' && --depth == 0) {
      return i;
    }
  }
  return std::string::npos;
}

// 1-based position of the first "%" that starts a character, searching from
// the 0-based `from`, which must start a character; 0 when there is none.
// The one-byte case of FindFirst, resumable where the text is known.
int FirstPercent(const std::string& text, std::size_t from) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  // IsLeadByte: 0xE0-0xFF always, 0x80-0x9F in Shift_JIS mode.
  const unsigned char low_lead = ShiftJisMode() ? 0x80 : 0xE0;
  for (std::size_t i = from; i < size; ++i) {
    if (bytes[i] == '%') return static_cast<int>(i) + 1;
    if (bytes[i] >= low_lead && (bytes[i] >= 0xE0 || bytes[i] <= 0x9F)) ++i;
  }
  return 0;
}

// The value of a formula's inside, told to the trace hook.
std::string TracedFormula(const std::string& inner) {
  TraceBegin(TTraceKind::Formula, 0, 0, {}, inner);
  const std::string expanded = ExpandTemplate(inner);
  std::string value = Unquote(Evaluate(expanded));
  TraceEnd(TTraceKind::Formula, 0, expanded, value);
  return value;
}

// The "%(" form at 1-based `a` replaced by its value. Fails when the result
// would grow past the cap.
bool FormulaAt(int a, const std::string& text, std::string& out) {
  const std::size_t percent = static_cast<std::size_t>(a) - 1;
  const std::size_t close = MatchingBracket(text, percent + 1);
  if (close == std::string::npos) {
    out = text;
    out.erase(percent, kFormulaOpenLength);
    return true;
  }
  const std::size_t inner_start = percent + kFormulaOpenLength;
  const std::string inner = text.substr(inner_start, close - inner_start);
  const std::string value = TraceHook != nullptr
                                ? TracedFormula(inner)
                                : Unquote(EvaluateRemembered(ExpandTemplate(inner)));
  const std::size_t size = text.size() - (close + 1 - percent) + value.size();
  if (!FitsCap(size, text.size())) return false;
  out.clear();
  out.reserve(size);
  out.append(text, 0, percent);
  out += value;
  out.append(text, close + 1, std::string::npos);
  return true;
}

// The state of one ExpandTemplate call.
struct TTemplateRun {
  std::string text;
  std::string scratch;   // the next text of a sweep, its storage kept between sweeps
  TPercentIndex percents;  // the "%" bytes of `text`, when known
  // The bytes before the "%" at `a` are as they were when the pass began
  // (then they hold no "%" that starts a character).
  bool prefix_kept = true;
  // The word put in last, which steers linked words: the word record it was
  // drawn as, or 0 and its text in `previous_text` (records only ever join
  // the table, so a record's text is read again rather than copied).
  int previous_record = 0;
  std::string previous_text;
  int a = 0;             // 1-based position of the "%" being handled
  bool cut = false;      // a step would have grown the text past the cap
  // The text may hold a 0x03 byte; false only when it surely holds none, so
  // the markers are looked for only after a step that may have brought one.
  bool left_markers = true;
};

std::string_view Previous(const TTemplateRun& run) {
  return run.previous_record != 0 ? WordTable[run.previous_record].Text : run.previous_text;
}

void SetPrevious(TTemplateRun& run, std::string_view word) {
  run.previous_record = 0;
  run.previous_text = word;
}

bool HoldsLeftMarker(std::string_view bytes) {
  return std::memchr(bytes.data(), kLeftMarker, bytes.size()) != nullptr;
}

// Ends the whole top-level expansion: this level and every enclosing one.
void CutExpansion(TTemplateRun& run) {
  run.cut = true;
  g_budget = 0;
}

bool SetText(TTemplateRun& run, std::string next) {
  if (!FitsCap(next.size(), run.text.size())) {
    CutExpansion(run);
    return false;
  }
  run.text = std::move(next);
  run.prefix_kept = false;
  run.left_markers = true;
  ForgetPercents(run.percents);
  return true;
}

// Whether the "%" byte at `percent` starts a character when characters start
// at `from` (<= percent) and no "%" byte stands between. A character starts
// right after any byte that cannot lead one (it ends a character, alone or as
// a second byte), so only the run of bytes before the "%" that could lead one
// is read: they pair off, and the "%" starts a character when they all do.
bool StartsCharacter(const std::string& text, std::size_t from, std::size_t percent) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t i = percent;
  while (i > from && IsLeadByte(bytes[i - 1])) --i;
  return (percent - i) % 2 == 0;
}

// FirstPercent from `from` through the index of the "%" bytes, which is
// made when not known: a "%" byte that is the second byte of a character is
// passed over, and a character starts right after it.
int FirstPercentByIndex(TTemplateRun& run, std::size_t from) {
  if (!run.percents.known) IndexPercents(run.text, run.percents);
  for (;;) {
    const std::size_t next = NextPercentByte(run.percents, from);
    if (next == std::string::npos) {
      GHOST_ASSERT(FirstPercent(run.text, from) == 0);
      return 0;
    }
    if (StartsCharacter(run.text, from, next)) {
      GHOST_ASSERT(FirstPercent(run.text, from) == static_cast<int>(next) + 1);
      return static_cast<int>(next) + 1;
    }
    from = next + 1;
  }
}

// FirstPercent of the whole working text, resumed at the "%" the pass began
// at when nothing before it changed.
int FirstPercentOfRun(TTemplateRun& run) {
  const std::size_t from = run.prefix_kept ? static_cast<std::size_t>(run.a) - 1 : 0;
  return FirstPercentByIndex(run, from);
}

// Replaces `tag` by `word` in the working text, all occurrences (numbered
// tags) or only the plain ones.
bool ReplaceInRun(TTemplateRun& run, const std::string& tag,
                  std::string_view word, bool keep_numbered) {
  const std::size_t limit =
      run.text.size() > kTextLimit ? run.text.size() : kTextLimit;
  std::size_t first_hit = 0;
  if (!ReplaceTag(run.text, run.percents, run.scratch, tag, word, keep_numbered, limit,
                  first_hit)) {
    CutExpansion(run);
    return false;
  }
  if (first_hit < static_cast<std::size_t>(run.a) - 1) run.prefix_kept = false;
  if (!run.left_markers && HoldsLeftMarker(word)) run.left_markers = true;
  return true;
}

// Puts a freshly chosen word for the tag standing at `a` (numbered when a
// digit "2".."9" follows it) and remembers it in the word cache. A category
// tag's record holds `tag` and `record` is the word's (else -1): the cache
// then keeps neither text but where it stands.
void PutTagWord(TTemplateRun& run, const std::string& tag, std::string_view word,
                int record = -1) {
  const char digit = ByteAt(run.text, run.a + tag.size());
  if (!IsTagDigit(digit)) {
    if (!ReplaceInRun(run, tag, word, true)) return;
    if (record >= 0) {
      CacheRecordWord(tag, record);
    } else {
      CacheWord(tag, word, 0);
    }
    return;
  }
  std::string numbered = tag;
  numbered += digit;
  if (ReplaceInRun(run, numbered, word, false)) {
    CacheWord(numbered, word, static_cast<unsigned char>(digit));
  }
}

// A cached tag at `a`; answers whether one was applied.
bool ApplyCachedWord(TTemplateRun& run) {
  const TCachedWord found = CachedWordAt(run.text, static_cast<std::size_t>(run.a) - 1);
  if (found.key == nullptr) return false;
  // The entry stays put: replacing text touches neither the cache nor the words.
  if (TraceHook != nullptr) {
    TracePoint(TTraceKind::Tag, 0, static_cast<int>(TTraceTagSource::Cache), *found.key,
               found.value);
  }
  ReplaceInRun(run, *found.key, found.value, found.digit == 0);
  SetPrevious(run, found.value);
  return true;
}

// The word a category tag took, and whether a link from the previous word
// gave it (the linked-word chooser draws from the links when there are any).
void TraceCategoryTag(std::string_view previous, const std::string& name,
                      std::string_view word) {
  const bool linked = !previous.empty() && LinkedMember(previous, name, 0) > 0;
  const TTraceTagSource source = linked ? TTraceTagSource::Link : TTraceTagSource::Category;
  TracePoint(TTraceKind::Tag, 0, static_cast<int>(source), "%" + name.substr(1), word, previous);
}

// A category tag at `a`; answers whether one was applied.
bool ApplyCategoryTag(TTemplateRun& run) {
  const TCategoryTag* tag = CategoryTagRecordAt(run.text, run.a);
  if (tag == nullptr || tag->name.empty()) return false;
  // A link from the previous word first; an empty word is drawn again from
  // the category alone. Records stay put while the talk runs.
  int record = 0;
  const std::string_view previous = Previous(run);
  if (!previous.empty()) record = RandomLinkedRecord(run.previous_record, previous, *tag);
  if (WordTable[record].Text.empty()) record = RandomRecordOfTag(*tag);
  const std::string_view word = WordTable[record].Text;
  if (TraceHook != nullptr) TraceCategoryTag(previous, tag->name, word);
  if (record != 0) {
    run.previous_record = record;
  } else {
    SetPrevious(run, word);
  }
  PutTagWord(run, tag->tag, word, record);
  return true;
}

// Turns every 0x03 byte back into "%"; answers whether there was one.
bool RestoreLeftMarkers(std::string& text) {
  std::size_t at = text.find(kLeftMarker);
  if (at == std::string::npos) return false;
  for (; at != std::string::npos; at = text.find(kLeftMarker, at + 1)) text[at] = '%';
  return true;
}

// RestoreLeftMarkers of the working text, when it may hold a marker.
bool RestoreRunMarkers(TTemplateRun& run) {
  if (!run.left_markers) return false;
  run.left_markers = false;
  return RestoreLeftMarkers(run.text);
}

// Moves on after a pass: either the "%" was settled, or nothing accepted it
// and it becomes "%m?" or is passed over.
void SettlePosition(TTemplateRun& run, bool done) {
  const int b = FirstPercentOfRun(run);
  if (b != run.a || done) {
    if (RestoreRunMarkers(run)) {
      ForgetPercents(run.percents);
      run.a = FirstPercentByIndex(run, 0);
    } else {
      run.a = b;
    }
  } else if (MatchAt(run.a + 1, run.text, "m?")) {
    const std::string word = RandomWordByPrefix("\\m");
    if (TraceHook != nullptr) {
      TracePoint(TTraceKind::Tag, 0, static_cast<int>(TTraceTagSource::Prefix), "%m?", word);
    }
    SetPrevious(run, word);
    PutTagWord(run, "%m?", word);
    run.a = FirstPercentOfRun(run);
  } else {
    // Nothing before this "%" changed: the search resumes right behind it.
    run.text[run.a - 1] = kLeftMarker;
    run.left_markers = true;
    DropPercentAt(run.percents, static_cast<std::size_t>(run.a) - 1);
    const std::size_t from = static_cast<std::size_t>(run.a);
    run.a = FirstPercentByIndex(run, from);
  }
}

void RunPass(TTemplateRun& run) {
  bool done = false;
  run.prefix_kept = true;
  if (ByteAt(run.text, run.a + 1) == '(') {
    std::string next;
    if (!FormulaAt(run.a, run.text, next)) {
      CutExpansion(run);
      return;
    }
    run.text = std::move(next);  // the bytes before the formula stay
    run.left_markers = true;
    ForgetPercents(run.percents);
    done = run.text.empty() || run.text[0] != '%';
  } else if (WordCacheCount > 0) {
    done = ApplyCachedWord(run);
  }
  if (!run.cut && !done) done = ApplyCategoryTag(run);
  if (!run.cut && !done) SetText(run, ExpandPercentName(run.a, run.text));
  if (!run.cut) SettlePosition(run, done);
}

}  // namespace

std::string ExpandTemplate(std::string_view template_text) {
  const int depth = g_depth + 1;
  if (depth > kMaxFormulaDepth) return std::string(template_text);
  TDepthScope scope(depth);
  TTemplateRun run;
  run.percents.at.swap(g_percent_storage[depth]);
  run.text = template_text;
  run.left_markers = HoldsLeftMarker(run.text);
  run.a = FirstPercentByIndex(run, 0);
  int passes = kPassesPerTemplate;
  while (run.a > 0 && passes > 0 && g_budget > 0 && g_sweep_left > 0 && !run.cut) {
    --passes;
    --g_budget;
    g_sweep_left -= static_cast<long long>(run.text.size()) + 1;
    RunPass(run);
  }
  RestoreRunMarkers(run);
  run.percents.at.swap(g_percent_storage[depth]);
  return std::move(run.text);
}

std::string ExpandFormulaAt(int position, const std::string& text) {
  if (!MatchAt(position, text, kFormulaOpen)) return text;
  std::string out;
  if (!FormulaAt(position, text, out)) return text;
  return out;
}

std::string ReplaceUnnumbered(const std::string& text, const std::string& tag,
                              const std::string& word) {
  std::string out;
  SweepReplace(text, tag, word, true, std::string::npos, out);
  return out;
}

std::string ReplaceByte(const std::string& text, char from, char to) {
  std::string out = text;
  for (char& c : out) {
    if (c == from) c = to;
  }
  return out;
}

std::string ExpandTalk(std::string_view template_text) {
  ClearWordCache();
  return ExpandTemplate(template_text);
}

namespace {

// CheckCondition of a non-empty condition, told to the trace hook.
bool TracedCondition(const std::string& condition) {
  TraceBegin(TTraceKind::Condition, 0, 0, {}, condition);
  const std::string expanded = ExpandTalk(condition);
  const std::string value = Evaluate(expanded);
  TraceEnd(TTraceKind::Condition, 0, expanded, value);
  return value == "1";
}

}  // namespace

std::string ExpandSentence(int s) {
  if (TraceHook == nullptr) return ExpandTalk(SentenceTable[s].Text);
  TraceBegin(TTraceKind::Sentence, s, 0, {}, SentenceTable[s].Text);
  std::string talk = ExpandTalk(SentenceTable[s].Text);
  TraceEnd(TTraceKind::Sentence, 0, {}, talk);
  return talk;
}

std::string ExpandDms() { return ExpandTemplate("%dms"); }

std::string TalkOfWord(const std::string& word) {
  const int e = FindWord(word);
  if (e == 0) return std::string();
  const int s = WordTable[e].Sentence;
  if (s < 1 || s > SentenceCount) return std::string();
  return ExpandSentence(s);
}

namespace {

// A free talk drawn under the cool-down rule: every draw of a free talk
// that has not rested enough lowers its CoolDown; the first one at 0 or
// below is taken. The trace hook hears of every draw.
std::string DrawFreeTalk() {
  const int n = SentenceCount;
  if (n <= 0) return std::string();
  const long draws = static_cast<long>(n) * kRandomTalkDrawsPerSentence;
  for (long tries = draws; tries > 0; --tries) {
    TSentences& s = SentenceTable[Random(n) + 1];
    const int record = static_cast<int>(&s - SentenceTable);
    const int draw = static_cast<int>(draws - tries + 1);
    if (s.Kind != TSentenceKind::FreeTalk) {
      if (TraceHook != nullptr) {
        TracePoint(TTraceKind::Passed, record, draw, {}, {}, {}, static_cast<long>(s.Kind));
      }
      continue;
    }
    if (s.CoolDown <= 0) {
      if (TraceHook != nullptr) TracePoint(TTraceKind::Draw, record, draw, {}, {}, {}, s.CoolDown);
      s.CoolDown += Weight(s.Text);
      if (TraceHook != nullptr) TracePoint(TTraceKind::CoolDown, record, 0, {}, {}, {}, s.CoolDown);
      return ExpandSentence(record);
    }
    --s.CoolDown;
    if (TraceHook != nullptr) TracePoint(TTraceKind::Draw, record, draw, {}, {}, {}, s.CoolDown);
  }
  return std::string();
}

}  // namespace

std::string RandomTalk() {
  if (TraceHook == nullptr) return DrawFreeTalk();
  TraceBegin(TTraceKind::FreeTalk, 0, 0, {});
  std::string talk = DrawFreeTalk();
  TraceEnd(TTraceKind::FreeTalk, 0, {}, talk);
  return talk;
}

bool CheckCondition(const std::string& condition) {
  if (condition.empty()) return true;
  // A trace sees every step, so the remembered and short paths stay off then.
  if (TraceHook != nullptr) return TracedCondition(condition);
  bool holds = false;
  if (g_depth < 0) {
    ClearWordCache();
    if (QuickCondition(condition, holds)) return holds;
  }
  return CheckConditionStepwise(condition);
}

bool CheckConditionStepwise(const std::string& condition) {
  if (condition.empty()) return true;
  return Evaluate(ExpandTalk(condition)) == "1";
}

void ResetExpansion() {
  g_depth = -1;
  g_budget = 0;
  g_sweep_left = 0;
  for (std::vector<std::size_t>& storage : g_percent_storage) std::vector<std::size_t>().swap(storage);
}
