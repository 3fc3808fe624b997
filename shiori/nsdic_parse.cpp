// The dictionary parser: walks the joined dictionary text line by line, skips
// comments, gathers multi-line bodies, applies the "Option" directives and
// turns every entry line into records of the dictionary store.
#include "nsdic_parse.h"

#include <algorithm>
#include <cstddef>

#include "formula_search.h"
#include "ghost_assert.h"
#include "nsdic.h"
#include "nsdic_links.h"
#include "nsdic_macro.h"
#include "nsdic_words.h"
#include "strutl.h"

namespace {

constexpr char kCharsetOption[] = "Charset:";

// The state of one parser run: the text, the cursor into it and the number of
// plain word-list fields met so far.
struct TParseRun {
  const std::string& text;
  int cursor = 1;
  int count = 0;
};

// Skips the rest of a block comment whose opening line was just read: every
// line up to and including the first one that begins with "*/".
void SkipBlockComment(int& cursor, const std::string& text) {
  while (cursor > 0) {
    if (MatchAt(1, ReadLine(cursor, text), "*/")) return;
  }
}

// CompareHead(key, line, length of key) == 0: the line and the key agree over
// the key's length, or over the whole line when it is shorter (a line that
// is a start of the key counts too).
template <std::size_t N>
bool HeadIs(const std::string& line, const char (&key)[N]) {
  const std::size_t n = std::min(N - 1, line.size());
  return line.compare(0, n, key, n) == 0;
}

// Empty lines, "#" and "," lines and "//" lines (a lone "/" too) are skipped.
bool IsSkippedLine(const std::string& line) {
  if (line.empty() || line[0] == '#' || line[0] == ',') return true;
  return HeadIs(line, "//");
}

// A line that ends a gathered body: empty, a comment or a new entry.
bool EndsBody(const std::string& line) {
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
    const std::string line = ReadLine(run.cursor, run.text);
    if (EndsBody(line)) {
      run.cursor = mark;
      break;
    }
    body += line;
  }
  return ExpandMacros(body);
}

std::string OrBody(TParseRun& run, const std::string& rest) {
  return rest.empty() ? GatherBody(run) : rest;
}

std::string UnescapeCommas(const std::string& text) { return ReplaceAll(text, "\\,", ","); }

void HandleOption(const std::string& rest) {
  if (rest == "NSDeclare True") {
    NSDeclare = true;
  } else if (rest == "NSDeclare False") {
    NSDeclare = false;
  } else if (rest == "AIStateComplex") {
    AIStateComplex = true;
  } else if (MatchAt(1, rest, kCharsetOption)) {
    const std::string name = TrimBlanks(rest.substr(sizeof(kCharsetOption) - 1));
    if (!name.empty()) SetCharset(name);
  }
}

// "\ft": the word is registered even when SentenceTable is full; its sentence
// is added and attached only while there is room.
void HandleWordTalk(std::string rest) {
  const std::string word = TakeField(rest);
  const std::string category = TakeField(rest);
  const int w = RegisterWord(category, word);
  const int s = AddSentence(TrimBlanks(rest), TSentenceKind::WordTalk, 0);
  if (w != 0 && s != 0) WordTable[w].Sentence = s;
}

// "\re" and "\hl": dropped whole (counts unchanged) when either the
// reply/hello table or the SentenceTable (AddSentence refuses) is full.
void HandleConditionTalk(TParseRun& run, std::string rest, bool hello) {
  const std::string condition = TakeField(rest);
  rest = OrBody(run, rest);
  const bool room = hello ? HelloCount < kHelloCapacity : ReplyCount < kReplyCapacity;
  if (!room) return;
  const TSentenceKind kind = hello ? TSentenceKind::Hello : TSentenceKind::Reply;
  const int s = AddSentence(TrimBlanks(rest), kind, hello ? 0 : Weight(rest));
  if (s == 0) return;
  if (hello) {
    AddHello(s, condition);
  } else {
    AddReply(s, condition);
  }
}

// "\ch": two words and a link from the first to the second; stops at the
// first missing field or failed registration.
void HandleLink(std::string rest) {
  const std::string c1 = TakeField(rest);
  if (rest.empty()) return;
  const std::string w1text = TakeField(rest);
  const int w1 = RegisterWord(c1, w1text);
  if (rest.empty() || w1 == 0) return;
  const std::string c2 = TakeField(rest);
  if (rest.empty()) return;
  const int w2 = RegisterWord(c2, TakeField(rest));
  if (w2 != 0) RegisterLink(w1text, w1, w2);
}

void HandleFreeTalk(TParseRun& run, const std::string& rest) {
  AddSentence(TrimBlanks(UnescapeCommas(OrBody(run, rest))), TSentenceKind::FreeTalk, 0);
}

// "@name&condition" or "\ev".
void HandleEvent(TParseRun& run, const std::string& key, std::string rest) {
  std::string name = key == "\\ev" ? TakeField(rest) : key.substr(1);
  std::string condition;
  const std::string::size_type amp = name.find('&');
  if (amp != std::string::npos) {
    condition = TrimBlanks(name.substr(amp + 1));
    name = TrimBlanks(name.substr(0, amp));
  }
  rest = UnescapeCommas(OrBody(run, rest));
  RegisterConditional(name, condition, TrimBlanks(rest));
}

// "*identifier" or "\id": one StringTable record, at most kStringLimit.
void HandleString(TParseRun& run, const std::string& key, std::string rest) {
  const bool id_key = key == "\\id";
  const std::string name = id_key ? TakeField(rest) : key.substr(1);
  if (rest.empty()) {
    rest = GatherBody(run);
  } else if (NSDeclare && id_key) {
    rest = JoinSites(name, rest, run.cursor, run.text);
  }
  rest = UnescapeCommas(rest);
  GHOST_ASSERT(StringCount >= 0 && StringCount <= kStringLimit);
  if (name.empty() || rest.empty() || StringCount >= kStringLimit) return;
  rest = ReplaceAll(ReplaceAll(rest, "\\[1]", "\x01"), "\\[2]", "\x02");
  StringTable[StringCount].Name = name;
  StringTable[StringCount].Text = rest;
  ++StringCount;
}

// A plain word list: every field up to the first empty one is a word of the
// category named by the key.
void HandleWordList(TParseRun& run, const std::string& key, const std::string& rest) {
  std::size_t pos = 0;
  for (std::string w = TakeFieldFrom(rest, pos); !w.empty(); w = TakeFieldFrom(rest, pos)) {
    RegisterWord(key, w);
    ++run.count;
  }
}

void HandleStatus(const std::string& key, const std::string& rest) {
  GHOST_ASSERT(StatusCount >= 0 && StatusCount <= kStatusLimit);
  if (StatusCount >= kStatusLimit) return;
  ++StatusCount;
  StatusList[StatusCount] = key.substr(1) + "," + rest;
}

// Selects the entry kind by its key, in the fixed order of tests.
void HandleEntry(TParseRun& run, const std::string& key, const std::string& rest) {
  const char first = key[0];
  if (key == "Option") {
    HandleOption(rest);
  } else if (first == '$') {
    DefineMacro(key.substr(1), rest);
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
  }
}

// One line that passed the block-comment test.
void HandleLine(TParseRun& run, std::string line) {
  if (IsSkippedLine(line)) return;
  if (NSDeclare) line += AppendIndented(run.cursor, run.text);
  if (line[0] != '$') line = ExpandMacros(line);
  const std::string key = TakeField(line);
  if (!key.empty()) HandleEntry(run, key, line);
}

}  // namespace

int ParseDictionary(const std::string& text) {
  ClearMacros();
  TParseRun run{text};
  while (run.cursor > 0) {
    std::string line = ReadLine(run.cursor, text);
    if (MatchAt(1, line, "/*")) {
      // The line after the closing line is not tested for "/*" again.
      SkipBlockComment(run.cursor, text);
      if (run.cursor == 0) break;
      line = ReadLine(run.cursor, text);
    }
    HandleLine(run, line);
  }
  ClearMacros();
  BuildStatusLine();
  return run.count;
}
