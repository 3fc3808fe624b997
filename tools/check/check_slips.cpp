// The slips an author makes in a first dictionary that the module takes
// without a word: a tab or a full-width comma where the "," belongs, a key
// typed in the wrong case, a blank inside an event name, an entry left
// without its talk, and "\," typed in talk that keeps it as it stands.
// Each finding names the slip itself, and the symptoms the parser reported
// for the same line (an unknown key, an empty word list) are dropped.
#include <algorithm>
#include <cctype>
#include <set>

#include "check_run.h"
#include "nsdic.h"

namespace {

constexpr size_t kNone = std::string::npos;
constexpr char kFullWidthCommaUtf8[] = "\xEF\xBC\x8C";
constexpr char kFullWidthCommaShiftJis[] = "\x81\x43";

// The keys the parser compares whole, byte for byte.
const char* const kExactKeys[] = {"\\ft", "\\re", "\\hl", "\\ch", "\\e", "\\ev", "\\id", "Option"};

// The parser's reports that only show the symptom of a slip in the key.
const char* const kSymptoms[] = {"P001", "P004", "P005", "P006"};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool IsUtf8(const std::string& charset) {
  const std::string name = Lower(charset);
  return name == "utf-8" || name == "utf8";
}

bool IsShiftJis(const std::string& charset) {
  const std::string name = Lower(charset);
  return name == "shift_jis" || name == "shift-jis" || name == "sjis" || name == "windows-31j";
}

bool IsShiftJisLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// The offset of `needle` in `text` at a character start under `charset`
// (a Shift_JIS trail byte never starts one), from `from`; kNone when absent.
size_t FindCharacters(const std::string& text, const std::string& needle,
                      const std::string& charset, size_t from = 0) {
  const bool sjis = IsShiftJis(charset);
  for (size_t i = from; i < text.size(); ++i) {
    if (text.compare(i, needle.size(), needle) == 0) return i;
    if (sjis && IsShiftJisLead(static_cast<unsigned char>(text[i]))) ++i;
  }
  return kNone;
}

// The first line of the entry at `start`, as it stands in the file.
std::string EntryLine(const TCheckRun& run, int start) {
  const std::string& joined = run.origins.joined;
  const size_t from = static_cast<size_t>(start) - 1;
  if (from >= joined.size()) return std::string();
  const size_t end = joined.find('\r', from);
  return joined.substr(from, (end == kNone ? joined.size() : end) - from);
}

size_t FirstNonBlank(const std::string& line) {
  const size_t first = line.find_first_not_of(" \t");
  return first == kNone ? line.size() : first;
}

void Add(TCheckRun& run, const char* code, const char* message,
         std::vector<std::string> arguments, int position, int length) {
  TFinding finding{code, message, std::move(arguments)};
  finding.position = position;
  finding.length = length;
  run.findings.push_back(std::move(finding));
}

// A tab or a full-width comma inside the key, where the author meant ",".
bool SeparatorSlip(TCheckRun& run, int start, const std::string& key) {
  const std::string charset = CharsetAt(run.origins, start);
  const std::string wide = IsUtf8(charset) ? kFullWidthCommaUtf8
                           : IsShiftJis(charset) ? kFullWidthCommaShiftJis : std::string();
  const bool tab = key.find('\t') != kNone;
  if (!tab && (wide.empty() || FindCharacters(key, wide, charset) == kNone)) return false;
  const std::string line = EntryLine(run, start);
  const size_t first = FirstNonBlank(line);
  const size_t at = FindCharacters(line, tab ? std::string("\t") : wide, charset, first);
  if (at == kNone) return false;
  const std::string before = line.substr(first, at - first);
  const int position = start + static_cast<int>(at);
  if (tab) {
    Add(run, "P017",
        "a tab stands between \"{1}\" and its text: only \",\" separates the fields, so the "
        "whole line is read as one key",
        {before}, position, 1);
  } else {
    Add(run, "P017",
        "a full-width comma stands between \"{1}\" and its text: only \",\" separates the "
        "fields, so the whole line is read as one key",
        {before}, position, static_cast<int>(wide.size()));
  }
  return true;
}

// A key that is one of the exact keys in another case ("\E" for "\e").
bool CaseSlip(TCheckRun& run, int start, const std::string& key) {
  for (const char* exact : kExactKeys) {
    if (key == exact || Lower(key) != Lower(exact)) continue;
    const std::string line = EntryLine(run, start);
    Add(run, "P019",
        "the key \"{1}\" is not \"{2}\": keys match only in their exact case, so this line is "
        "no {2} entry",
        {key, exact}, start + static_cast<int>(FirstNonBlank(line)),
        static_cast<int>(key.size()));
    return true;
  }
  return false;
}

// Drops the parser's symptom findings of the entries in `slipped`.
void DropSymptoms(TCheckRun& run, const std::set<int>& slipped) {
  const auto symptom = [&slipped](const TFinding& f) {
    if (slipped.count(f.position) == 0) return false;
    return std::any_of(std::begin(kSymptoms), std::end(kSymptoms),
                       [&f](const char* code) { return std::string(code) == f.code; });
  };
  run.findings.erase(std::remove_if(run.findings.begin(), run.findings.end(), symptom),
                     run.findings.end());
}

// The sentence of a record of talk, or 0.
int SentenceOf(const TCollectedRecord& r) {
  switch (r.kind) {
    case THookKind::FreeTalk:
    case THookKind::WordTalk:
      return r.record;
    case THookKind::Event:
      return EventTable[r.record].Sentence;
    case THookKind::Reply:
      return ReplyTable[r.record].Sentence;
    case THookKind::Hello:
      return HelloTable[r.record].Sentence;
    default:
      return 0;
  }
}

const char* KeepsBackslashComma(THookKind kind) {
  switch (kind) {
    case THookKind::Reply: return "\\re";
    case THookKind::Hello: return "\\hl";
    case THookKind::WordTalk: return "\\ft";
    default: return nullptr;
  }
}

// A blank inside an event name ("@ OnBoot"): no event is named so.
void EventNameSlip(TCheckRun& run, const TCollectedRecord& r) {
  const size_t blank = r.name.find(' ');
  if (blank == kNone) return;
  const std::string line = EntryLine(run, r.position);
  const size_t name = line.find(r.name);
  const size_t at = name == kNone ? FirstNonBlank(line) : name + blank;
  Add(run, "P018",
      "the event name \"{1}\" holds a blank: events are named without blanks, so this "
      "response is never chosen",
      {r.name}, r.position + static_cast<int>(at), 1);
}

// The talk of one record: none at all, or "\," where it stays as typed.
void TalkSlips(TCheckRun& run, const TCollectedRecord& r) {
  const int s = SentenceOf(r);
  if (s < 1 || s > SentenceCount) return;
  const std::string text(SentenceTable[s].Text);
  // A "\ft" without its talk has P002 when a field is missing, and may
  // stand for its word alone.
  const bool talk = r.kind != THookKind::WordTalk && !(r.kind == THookKind::Event && r.name.empty());
  if (text.empty() && talk) {
    Add(run, "E003",
        "this entry has no talk: its text is empty and no body line follows, so it says "
        "nothing when it is chosen",
        {}, r.position, 0);
    return;
  }
  const char* key = KeepsBackslashComma(r.kind);
  const size_t at = key == nullptr ? kNone
                                   : FindCharacters(text, "\\,", CharsetAt(run.origins, r.position));
  if (at == kNone) return;
  TFinding finding{"T010",
                   "\"\\,\" stays as typed in {1} talk: the talk shows the backslash; a plain "
                   "\",\" needs none here",
                   {key}};
  LocateInEntry(run, r.position, text, at, 2, finding.position, finding.length);
  run.findings.push_back(std::move(finding));
}

}  // namespace

void SlipFindings(TCheckRun& run) {
  std::set<int> slipped;  // entries whose key holds a slip
  for (const auto& [start, key] : run.collector.entry_keys) {
    if (SeparatorSlip(run, start, key) || CaseSlip(run, start, key)) slipped.insert(start);
  }
  DropSymptoms(run, slipped);
  for (const TCollectedRecord& r : run.collector.records) {
    if (slipped.count(r.position) != 0) continue;
    if (r.kind == THookKind::Event) EventNameSlip(run, r);
    TalkSlips(run, r);
  }
}
