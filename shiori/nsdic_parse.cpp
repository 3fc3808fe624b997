// The dictionary parser: walks the joined dictionary text line by line, skips
// comments, gathers multi-line bodies, applies the "Option" directives and
// turns every entry line into records of the dictionary store.
#include "nsdic_parse.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>
#include <utility>

#include "formula_search.h"
#include "ghost_assert.h"
#include "ghost_hook.h"
#include "nsdic.h"
#include "nsdic_links.h"
#include "nsdic_macro.h"
#include "nsdic_macroscan.h"
#include "nsdic_words.h"
#include "strutl.h"

namespace {

constexpr char kCharsetOption[] = "Charset:";

// The state of one parser run: the text, the cursor into it and the number of
// plain word-list fields met so far; the entry line being handled, kept in
// one buffer reused from line to line, the unescaped key and one more field
// when they need one, and a sentence's text when it is not a stretch of the
// line (a gathered body, an unescaped text). Handlers look at these through
// views; the store copies what it keeps. The heads cursor tells the entry
// lines that no macro can touch, most of them, from one pass over the text.
struct TParseRun {
  const std::string& text;
  int cursor = 1;
  int count = 0;
  std::string line;
  std::string key;
  std::string field;
  std::string body;
  TMacroHeadCursor heads;
};

// Skips the rest of a block comment whose opening line was just read: every
// line up to and including the first one that begins with "*/". False when
// the text ends first.
bool SkipBlockComment(int& cursor, const std::string& text) {
  while (cursor > 0) {
    if (MatchAt(1, ReadLineView(cursor, text), "*/")) return true;
  }
  return false;
}

// What the hook is told about a report of the entry being parsed. Reports
// and records are built only when a hook is installed.
void ReportHere(THookCode code, THookLevel level, std::string_view text = std::string_view(),
                long size = 0) {
  if (DiagnosticsHook == nullptr) return;
  HookReport({code, level, 0, 0, {text, std::string_view()}, size});
}

void RecordHere(THookKind kind, int record, std::string_view name,
                std::string_view text = std::string_view()) {
  if (DiagnosticsHook == nullptr) return;
  HookRecord({kind, record, 0, 0, 0, name, text, 0});
}

// CompareHead(key, line, length of key) == 0: the line and the key agree over
// the key's length, or over the whole line when it is shorter (a line that
// is a start of the key counts too). Keys are a few bytes: compared in line.
template <std::size_t N>
bool HeadIs(std::string_view line, const char (&key)[N]) {
  const std::size_t n = std::min(N - 1, line.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (line[i] != key[i]) return false;
  }
  return true;
}

// Empty lines, "#" and "," lines and "//" lines (a lone "/" too) are skipped.
bool IsSkippedLine(std::string_view line) {
  if (line.empty() || line[0] == '#' || line[0] == ',') return true;
  return HeadIs(line, "//");
}

// A line that ends a gathered body: empty, a comment or a new entry.
bool EndsBody(std::string_view line) {
  if (line.empty()) return true;
  switch (line[0]) {
    case '#': case '@': case '/': case '*': return true;
    case '\\': break;
    default: return false;
  }
  return HeadIs(line, "\\e") || HeadIs(line, "\\re") || HeadIs(line, "\\hl") ||
         HeadIs(line, "\\id");
}

// The following lines joined without separator, up to the first line that
// ends the body (left for the main loop), with the macros applied.
std::string GatherBody(TParseRun& run) {
  std::string body;
  while (run.cursor > 0) {
    const int mark = run.cursor;
    const std::string_view line = ReadLineView(run.cursor, run.text);
    if (EndsBody(line)) {
      run.cursor = mark;
      break;
    }
    body.append(line);
  }
  ExpandMacrosInPlace(body);
  return body;
}

// The next field of `rest`, copied.
std::string TakeFieldCopy(std::string_view& rest) {
  std::string unescaped;
  return std::string(TakeFieldView(rest, unescaped));
}

// The position of the first "\," at or after `from`, or npos. Texts are full
// of backslashes and hold few commas: the search goes by the commas.
std::size_t FindEscapedComma(std::string_view text, std::size_t from) {
  if (from + 1 >= text.size()) return std::string_view::npos;
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  for (const char* at = begin + from + 1;;) {
    const void* comma = std::memchr(at, ',', static_cast<std::size_t>(end - at));
    if (comma == nullptr) return std::string_view::npos;
    at = static_cast<const char*>(comma);
    if (at[-1] == '\\') return static_cast<std::size_t>(at - 1 - begin);
    if (++at == end) return std::string_view::npos;
  }
}

// Every "\," becomes ",", in place and a stretch at a time: the text only
// shrinks, and most texts hold no escaped comma and are handed back untouched.
std::string UnescapeCommas(std::string text) {
  std::size_t hit = FindEscapedComma(text, 0);
  if (hit == std::string::npos) return text;
  char* const bytes = &text[0];
  std::size_t out = hit;  // the end of the unescaped text so far
  std::size_t in = hit;   // the first byte not yet moved
  while (hit != std::string::npos) {
    std::memmove(bytes + out, bytes + in, hit - in);
    out += hit - in;
    in = hit + 1;  // the backslash is dropped, its comma kept
    hit = FindEscapedComma(text, in + 1);
  }
  const std::size_t tail = text.size() - in;
  std::memmove(bytes + out, bytes + in, tail);
  text.resize(out + tail);
  return text;
}

// The text a sentence keeps of an entry's rest, or of its gathered body when
// the rest is empty: every "\," made "," and the blanks around dropped (the
// two steps commute: only backslashes go). A view into the line, or into the
// run's body buffer when the text had to be built.
std::string_view SentenceText(TParseRun& run, std::string_view rest) {
  if (rest.empty()) {
    run.body = UnescapeCommas(GatherBody(run));
    return TrimView(run.body);
  }
  const std::string_view kept = TrimView(rest);
  if (FindEscapedComma(kept, 0) == std::string_view::npos) return kept;
  run.body.assign(kept);
  run.body = UnescapeCommas(std::move(run.body));
  return run.body;
}

void HandleOption(std::string_view rest) {
  if (rest == "NSDeclare True") {
    NSDeclare = true;
  } else if (rest == "NSDeclare False") {
    NSDeclare = false;
  } else if (rest == "AIStateComplex") {
    AIStateComplex = true;
  } else if (MatchAt(1, rest, kCharsetOption)) {
    const std::string name(TrimView(rest.substr(sizeof(kCharsetOption) - 1)));
    if (!name.empty()) SetCharset(name);
    ReportHere(name.empty() ? THookCode::UnknownOption : THookCode::CharsetSwitch,
               name.empty() ? THookLevel::Warning : THookLevel::Note, name.empty() ? rest : name);
    return;
  } else {
    ReportHere(THookCode::UnknownOption, THookLevel::Warning, rest);
    return;
  }
  ReportHere(THookCode::OptionSwitch, THookLevel::Note, rest);
}

// "\ft": the word is registered even when SentenceTable is full; its sentence
// is added and attached only while there is room.
void HandleWordTalk(std::string_view rest) {
  std::string word_unescaped, category_unescaped;
  const std::string_view word = TakeFieldView(rest, word_unescaped);
  const std::string_view category = TakeFieldView(rest, category_unescaped);
  if (word.empty() || category.empty()) ReportHere(THookCode::WordTalkFields, THookLevel::Warning);
  const int w = RegisterWord(category, word);
  const int s = AddSentence(TrimView(rest), TSentenceKind::WordTalk, 0);
  if (w != 0 && s != 0) WordTable[w].Sentence = s;
  if (w != 0) RecordHere(THookKind::Word, w, category, word);
  if (s != 0) RecordHere(THookKind::WordTalk, s, word);
}

// "\re" and "\hl": dropped whole (counts unchanged) when either the
// reply/hello table or the SentenceTable (AddSentence refuses) is full.
void HandleConditionTalk(TParseRun& run, std::string_view line, bool hello) {
  const std::string_view condition = TakeFieldView(line, run.field);
  std::string_view text = line;
  if (line.empty()) {
    run.body = GatherBody(run);
    text = run.body;
  }
  const bool room = hello ? HelloCount < kHelloCapacity : ReplyCount < kReplyCapacity;
  if (!room) {
    ReportHere(THookCode::TableFull, THookLevel::Error, hello ? "HelloTable" : "ReplyTable",
               hello ? kHelloCapacity : kReplyCapacity);
    return;
  }
  const TSentenceKind kind = hello ? TSentenceKind::Hello : TSentenceKind::Reply;
  const int weight = hello ? 0 : Weight(text);  // of the text before it is trimmed
  const int s = AddSentence(TrimView(text), kind, weight);
  if (s == 0) return;
  if (hello) {
    RecordHere(THookKind::Hello, AddHello(s, condition), std::string_view(), condition);
  } else {
    RecordHere(THookKind::Reply, AddReply(s, condition), std::string_view(), condition);
  }
}

// "\ch": two words and a link from the first to the second; stops at the
// first missing field or failed registration.
void HandleLink(std::string_view rest) {
  // Each field a view, into the line or into its own buffer when unescaped.
  std::string unescaped[4];
  const std::string_view c1 = TakeFieldView(rest, unescaped[0]);
  if (rest.empty()) return ReportHere(THookCode::LinkFields, THookLevel::Warning);
  const std::string_view w1text = TakeFieldView(rest, unescaped[1]);
  const int w1 = RegisterWord(c1, w1text);
  if (w1 != 0) RecordHere(THookKind::Word, w1, c1, w1text);
  if (rest.empty()) return ReportHere(THookCode::LinkFields, THookLevel::Warning);
  if (w1 == 0) return;
  const std::string_view c2 = TakeFieldView(rest, unescaped[2]);
  if (rest.empty()) return ReportHere(THookCode::LinkFields, THookLevel::Warning);
  const std::string_view w2text = TakeFieldView(rest, unescaped[3]);
  const int w2 = RegisterWord(c2, w2text);
  if (w2 == 0) return;
  RecordHere(THookKind::Word, w2, c2, w2text);
  const int link = RegisterLink(w1text, w1, w2);
  if (link != 0) RecordHere(THookKind::Link, link, w1text, w2text);
}

void HandleFreeTalk(TParseRun& run, std::string_view rest) {
  const int s = AddSentence(SentenceText(run, rest), TSentenceKind::FreeTalk, 0);
  if (s != 0) RecordHere(THookKind::FreeTalk, s, std::string_view());
}

// "@name&condition" or "\ev". The name and the condition are views into the
// line (or the run's field buffer), which the body's lines leave alone.
void HandleEvent(TParseRun& run, std::string_view key, std::string_view rest) {
  const std::string_view head = key == "\\ev" ? TakeFieldView(rest, run.field) : key.substr(1);
  std::string_view name = head, condition;
  const std::string_view::size_type amp = head.find('&');
  if (amp != std::string_view::npos) {
    condition = TrimView(head.substr(amp + 1));
    name = TrimView(head.substr(0, amp));
  }
  if (name.empty()) ReportHere(THookCode::EventWithoutName, THookLevel::Warning);
  const int e = RegisterConditional(name, condition, SentenceText(run, rest));
  if (e != 0) RecordHere(THookKind::Event, e, name, condition);
}

// "*identifier" or "\id": one StringTable record, at most kStringLimit.
void HandleString(TParseRun& run, std::string_view key, std::string_view line) {
  const bool id_key = key == "\\id";
  const std::string name = id_key ? TakeFieldCopy(line) : std::string(key.substr(1));
  std::string rest;
  if (line.empty()) {
    rest = GatherBody(run);
  } else if (NSDeclare && id_key) {
    rest = JoinSites(name, std::string(line), run.cursor, run.text);
  } else {
    rest.assign(line);
  }
  rest = UnescapeCommas(std::move(rest));
  GHOST_ASSERT(StringCount >= 0 && StringCount <= kStringLimit);
  if (name.empty() || rest.empty()) {
    return ReportHere(THookCode::StringFields, THookLevel::Warning, name);
  }
  if (StringCount >= kStringLimit) {
    return ReportHere(THookCode::StringLimit, THookLevel::Warning, name, kStringLimit);
  }
  rest = ReplaceAll(ReplaceAll(rest, "\\[1]", "\x01"), "\\[2]", "\x02");
  StringTable[StringCount].Name = name;
  StringTable[StringCount].Text = rest;
  RecordHere(THookKind::String, StringCount, name);
  ++StringCount;
}

// A plain word list: every field up to the first empty one is a word of the
// category named by the key. Both are handed over as views: registration
// copies what it keeps.
void HandleWordList(TParseRun& run, std::string_view key, std::string_view rest) {
  const int before = run.count;
  std::string unescaped;
  for (std::string_view field = TakeFieldView(rest, unescaped); !field.empty();
       field = TakeFieldView(rest, unescaped)) {
    const int record = RegisterWord(key, field);
    if (record != 0) RecordHere(THookKind::Word, record, key, field);
    ++run.count;
  }
  if (run.count == before) ReportHere(THookCode::WordListEmpty, THookLevel::Warning, key);
}

void HandleStatus(std::string_view key, std::string_view rest) {
  GHOST_ASSERT(StatusCount >= 0 && StatusCount <= kStatusLimit);
  if (StatusCount >= kStatusLimit) {
    return ReportHere(THookCode::StatusLimit, THookLevel::Warning, std::string_view(),
                      kStatusLimit);
  }
  ++StatusCount;
  std::string& status = StatusList[StatusCount];
  status.assign(key.substr(1));
  status += ',';
  status += rest;
  RecordHere(THookKind::Status, StatusCount, std::string_view());
}

// Selects the entry kind by its key, in the fixed order of tests.
void HandleEntry(TParseRun& run, std::string_view key, std::string_view rest) {
  const char first = key[0];
  if (key == "Option") {
    HandleOption(rest);
  } else if (first == '$') {
    DefineMacro(std::string(key.substr(1)), std::string(rest));
  } else if (key == "\\ft") {
    HandleWordTalk(rest);
  } else if (key == "\\re" || key == "\\hl") {
    HandleConditionTalk(run, rest, key == "\\hl");
  } else if (key == "\\ch") {
    HandleLink(rest);
  } else if (key == "\\e") {
    HandleFreeTalk(run, rest);
  } else if (NSDeclare && TagWordList(key, rest)) {
    // a tag key: its words are registered
  } else if (first == '@' || key == "\\ev") {
    HandleEvent(run, key, rest);
  } else if (first == '*' || key == "\\id") {
    HandleString(run, key, rest);
  } else if (first == '\\') {
    HandleWordList(run, key, rest);
  } else if (first == '+') {
    HandleStatus(key, rest);
  } else {
    ReportHere(THookCode::UnknownEntry, THookLevel::Warning, key);
  }
}

// The byte after the lines read so far.
int CursorEnd(const TParseRun& run) {
  return run.cursor > 0 ? run.cursor : static_cast<int>(run.text.size()) + 1;
}

// How many of the first bytes of `text`, a line of the run's text, no macro
// prefix begins in: up to the first head there, possibly all of them (then
// no macro touches the line).
std::size_t MacroFreeBytes(TParseRun& run, std::string_view text) {
  GHOST_ASSERT(text.data() >= run.text.data() &&
               text.data() + text.size() <= run.text.data() + run.text.size());
  const std::size_t start = static_cast<std::size_t>(text.data() - run.text.data());
  return std::min(FirstMacroHead(run.heads, run.text, start) - start, text.size());
}

// One line that passed the block-comment test; it begins at `start`. It is
// taken apart by views: into the text, or into the run's line buffer when
// lines were appended to it or macros may rewrite it.
void HandleLine(TParseRun& run, std::string_view text, int start) {
  if (IsSkippedLine(text)) return;
  const bool hooked = DiagnosticsHook != nullptr;
  if (hooked) {
    HookRecord({THookKind::EntryBegin, 0, start, 0, 0, std::string_view(), std::string_view(), 0});
  }
  const std::string appended = NSDeclare ? AppendIndented(run.cursor, run.text) : std::string();
  // A line read whole from the text that no macro can touch (most of them)
  // is taken apart where it stands; any other in the run's line buffer. A
  // definition is never expanded; appended lines may hold a prefix anywhere.
  const bool definition = text[0] == '$';
  const std::size_t quiet = definition || !appended.empty() ? 0 : MacroFreeBytes(run, text);
  std::string_view rest = text;
  if (!appended.empty() || (!definition && quiet < text.size())) {
    std::string& line = run.line;
    line.assign(text);
    line += appended;
    if (!definition) ExpandMacrosInPlace(line, quiet);
    rest = line;
  }
  const std::string_view key = TakeFieldView(rest, run.key);
  if (!key.empty()) {
    HandleEntry(run, key, rest);
  } else {
    ReportHere(THookCode::UnknownEntry, THookLevel::Warning, key);
  }
  if (hooked) {
    HookRecord({THookKind::EntryEnd, 0, start, CursorEnd(run), 0, key, std::string_view(), 0});
  }
}

}  // namespace

int ParseDictionary(const std::string& text) {
  ClearMacros();
  TParseRun run{text, 1, 0, {}, {}, {}, {}, {}};
  while (run.cursor > 0) {
    int start = run.cursor;
    std::string_view line = ReadLineView(run.cursor, text);
    if (line.starts_with("/*")) {
      if (DiagnosticsHook != nullptr && line.find("*/", 2) != std::string::npos) {
        HookReport({THookCode::BlockCommentSameLine, THookLevel::Warning, start, 0, {}, 0});
      }
      // The line after the closing line is not tested for "/*" again.
      if (!SkipBlockComment(run.cursor, text)) {
        HookReport({THookCode::BlockCommentOpen, THookLevel::Error, start, 0, {}, 0});
      }
      if (run.cursor == 0) break;
      start = run.cursor;
      line = ReadLineView(run.cursor, text);
    }
    HandleLine(run, line, start);
  }
  ClearMacros();
  BuildStatusLine();
  return run.count;
}
