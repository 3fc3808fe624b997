// The findings of what the store holds after the load: every template and
// condition checked statically, the redirections between events ("@name",
// "\a") and their cycles, events that may say nothing, constant conditions
// that never hold, and bytes that are not valid in the charset in effect.
#include <algorithm>
#include <map>
#include <set>

#include "check_run.h"
#include "check_templates.h"
#include "formula_search.h"
#include "nsdic.h"
#include "nsdic_expand.h"
#include "nsdic_links.h"
#include "nsdic_words.h"
#include "charset/iconv_charset.h"

namespace {

constexpr char kExternalRequestEvent[] = "OnExternalRequest";

// One template or condition of the store, with the entry it came from.
struct TStoredText {
  std::string text;
  TTemplateKind kind;
  int entry = 0;       // the entry's position in the joined text
  std::string event;   // the event it answers, for event talk
  bool redirects = false;  // "@name" and (for events) "\a" are followed
};

std::vector<TStoredText> StoredTexts(const TCollector& collector) {
  std::vector<TStoredText> texts;
  const auto add = [&texts](std::string_view text, TTemplateKind kind, int entry,
                            const std::string& event, bool redirects) {
    if (!text.empty()) {
      texts.push_back(TStoredText{std::string(text), kind, entry, event, redirects});
    }
  };
  for (const TCollectedRecord& r : collector.records) {
    const int s = r.record;
    switch (r.kind) {
      case THookKind::FreeTalk:
      case THookKind::WordTalk:
        add(SentenceTable[s].Text, TTemplateKind::Talk, r.position, "", false);
        break;
      case THookKind::Reply:
      case THookKind::Hello: {
        const TJoken& j = r.kind == THookKind::Reply ? ReplyTable[s] : HelloTable[s];
        add(j.Condition, TTemplateKind::Condition, r.position, "", false);
        add(SentenceTable[j.Sentence].Text,
            r.kind == THookKind::Hello ? TTemplateKind::Hello : TTemplateKind::Talk, r.position, "",
            true);
        break;
      }
      case THookKind::Event:
        if (EventTable[s].Condition != "nohit") {
          add(EventTable[s].Condition, TTemplateKind::Condition, r.position, "", false);
        }
        add(SentenceTable[EventTable[s].Sentence].Text, TTemplateKind::Talk, r.position,
            EventTable[s].Name, true);
        break;
      case THookKind::String:
        add(StringTable[s].Text, TTemplateKind::Talk, r.position, "", false);
        break;
      case THookKind::Status: {
        const std::string& line = StatusList[s];
        add(line.substr(std::min(line.size(), line.find(',') + 1)), TTemplateKind::Talk,
            r.position, "", false);
        break;
      }
      default:
        break;
    }
  }
  return texts;
}

// The variables the module itself sets, and those of every formula; the
// words "_registword" registers are put in the store, as a talk would.
TKnownNames KnownNames(const TCollector& collector, const std::vector<TStoredText>& texts) {
  TKnownNames names;
  std::set<std::string> categories;
  for (const TCollectedRecord& r : collector.records) {
    if (r.kind == THookKind::Word && r.name.size() > 1) categories.insert(r.name.substr(1));
  }
  names.categories.assign(categories.begin(), categories.end());
  for (const char* name : {"ghostcount", "word", "lastnum", "lasthint"}) {
    AddKnownName(names, name, false);
  }
  for (const char* prefix : {"ghosts[", "surf[", "hint"}) AddKnownName(names, prefix, true);
  std::vector<TRegistration> registrations;
  for (const TStoredText& t : texts) {
    CollectAssignments(t.text, t.kind == TTemplateKind::Condition, names, registrations);
  }
  for (const TRegistration& r : registrations) RegisterWord(r.category, r.word);
  FinishKnownNames(names);
  return names;
}

void AddAt(TCheckRun& run, int entry, const std::string& stored, const TTemplateFinding& f) {
  TFinding finding{f.code, f.message, f.arguments};
  LocateInEntry(run, entry, stored, f.offset, f.length, finding.position, finding.length);
  run.findings.push_back(std::move(finding));
}

void TemplateFindings(TCheckRun& run, const std::vector<TStoredText>& texts,
                      const TKnownNames& names) {
  for (const TStoredText& t : texts) {
    std::vector<TTemplateFinding> found;
    CheckTemplate(t.text, t.kind, names, found);
    for (const TTemplateFinding& f : found) AddAt(run, t.entry, t.text, f);
  }
}

bool HasFreeTalk() {
  for (int s = 1; s <= SentenceCount; ++s) {
    if (SentenceTable[s].Kind == TSentenceKind::FreeTalk) return true;
  }
  return false;
}

// The redirection of a talk that is literally "@name" (no "%" to expand).
using TEdges = std::map<std::string, std::vector<std::pair<std::string, const TStoredText*>>>;

void Redirections(TCheckRun& run, const std::vector<TStoredText>& texts, TEdges& edges) {
  const bool free_talk = HasFreeTalk();
  for (const TStoredText& t : texts) {
    if (!t.redirects || t.text.find('%') != std::string::npos) continue;
    if (t.text == "\\a" && !t.event.empty() && !free_talk) {
      AddAt(run, t.entry, t.text,
            {"T006", "\\a gives a free talk, but the dictionaries have none: the talk is empty",
             {}, 0, 2});
    }
    if (t.text[0] != '@') continue;
    const std::string target = t.text.substr(1);
    if (!t.event.empty() && target == t.event) {
      AddAt(run, t.entry, t.text,
            {"T008", "@{1} redirects to its own event: the talk \"@{1}\" is shown as it is",
             {target}, 0, t.text.size()});
    } else if (ConditionalMember(target, 0) == 0) {
      AddAt(run, t.entry, t.text,
            {"T005", "@{1} redirects to an event that has no response: the talk is empty",
             {target}, 0, t.text.size()});
    } else if (!t.event.empty()) {
      edges[t.event].emplace_back(target, &t);
    }
  }
}

// Depth-first search for cycles; each cycle is reported once, at the
// redirection that closes it.
void FindCycles(TCheckRun& run, const TEdges& edges, const std::string& node,
                std::vector<std::string>& path, std::set<std::string>& done) {
  path.push_back(node);
  const auto out = edges.find(node);
  if (out != edges.end()) {
    for (const auto& [target, text] : out->second) {
      const auto on_path = std::find(path.begin(), path.end(), target);
      if (on_path != path.end()) {
        std::string circle;
        for (auto it = on_path; it != path.end(); ++it) circle += "@" + *it + " -> ";
        AddAt(run, text->entry, text->text,
              {"T007", "redirections go round in a circle ({1}@{2}): the talk is empty",
               {circle, target}, 0, text->text.size()});
      } else if (done.count(target) == 0) {
        FindCycles(run, edges, target, path, done);
      }
    }
  }
  done.insert(node);
  path.pop_back();
}

// Events whose every response has a condition, none "nohit"; conditions
// that are constant and false.
void EventFindings(TCheckRun& run, const std::vector<TStoredText>& texts) {
  std::map<std::string, std::pair<bool, int>> events;  // name -> (may be silent, first entry)
  for (const TCollectedRecord& r : run.collector.records) {
    if (r.kind != THookKind::Event) continue;
    const auto [it, fresh] = events.emplace(r.name, std::make_pair(true, r.position));
    const std::string& condition = EventTable[r.record].Condition;
    if (condition.empty() || condition == "nohit") it->second.first = false;
  }
  for (const auto& [name, state] : events) {
    // An external request the event says nothing to is served as asked.
    if (!state.first || name.empty() || name == kExternalRequestEvent) continue;
    TFinding finding{"E001",
                     "every response of {1} has a condition and none is \"nohit\": when none "
                     "holds, it says nothing", {name}};
    finding.position = state.second;
    run.findings.push_back(std::move(finding));
  }
  for (const TStoredText& t : texts) {
    if (t.kind != TTemplateKind::Condition || !IsConstantFormula(t.text)) continue;
    if (CheckCondition(t.text)) continue;
    AddAt(run, t.entry, t.text,
          {"E002", "the condition \"{1}\" is a constant that never holds: the response is never "
                   "given", {t.text}, 0, t.text.size()});
  }
}

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

// The charset a file's bytes are in when they do not convert from the one
// in effect at its start but wholly from UTF-8 or Shift_JIS; empty else.
std::string LooksLike(const std::string& text, const std::string& charset) {
  if (InvalidByteOffset(text, charset) == std::string::npos) return std::string();
  for (const char* other : {"UTF-8", "Shift_JIS"}) {
    if (IconvCharsetName(other) != IconvCharsetName(charset) &&
        InvalidByteOffset(text, other) == std::string::npos) {
      return other;
    }
  }
  return std::string();
}

// Files in another charset than the one the module reads them in: one
// finding at the start of each, whose columns then count its own bytes.
void OwnCharsets(TCheckRun& run) {
  std::vector<std::pair<TSegment*, std::string>> found;
  for (TSegment& segment : run.origins.segments) {
    const std::string text =
        run.origins.joined.substr(segment.start - 1, segment.end - segment.start);
    const std::string charset = CharsetAt(run.origins, segment.start);
    const std::string own = LooksLike(text, charset);
    if (own.empty()) continue;
    found.emplace_back(&segment, own);
    const bool mark = text.compare(0, 3, kByteOrderMark) == 0;
    TFinding finding{"T012",
                     own != "UTF-8" ? "this file looks like {2}, not {1}: the module reads it as "
                                      "{1}, so its texts come out garbled; save it in {1}"
                     : mark ? "this file looks like UTF-8 (with a byte-order mark), not {1}: the "
                              "module reads it as {1}, so its texts come out garbled and the "
                              "mark spoils its first line; save it in {1}"
                            : "this file looks like UTF-8, not {1}: the module reads it as {1}, "
                              "so its texts come out garbled; save it in {1}, or make its first "
                              "line \"Option,Charset: UTF-8\"",
                     {charset, own}};
    finding.position = segment.start;
    run.findings.push_back(std::move(finding));
  }
  for (auto& [segment, own] : found) segment->own_charset = own;
}

// Bytes that do not convert from the charset in effect, at most one a line.
void ByteFindings(TCheckRun& run) {
  OwnCharsets(run);
  const TOriginMap& map = run.origins;
  for (const TSegment& segment : map.segments) {
    if (!segment.own_charset.empty()) continue;
    int p = segment.start;
    while (p < segment.end) {
      int stop = segment.end;
      for (const TCharsetSwitch& change : map.charsets) {
        if (change.position > p && change.position < stop) stop = change.position;
      }
      // A switch at `p` is an ASCII line that already reads in its charset.
      const std::string charset = CharsetAt(map, p + 1);
      const std::string piece = map.joined.substr(p - 1, stop - p);
      const size_t bad = InvalidByteOffset(piece, charset);
      if (bad == std::string::npos) {
        p = stop;
        continue;
      }
      TFinding finding{"T009", "the byte 0x{1} is not valid in {2}", {}};
      static const char kHex[] = "0123456789ABCDEF";
      const unsigned char b = static_cast<unsigned char>(piece[bad]);
      finding.arguments = {std::string{kHex[b >> 4], kHex[b & 15]}, charset};
      finding.position = p + static_cast<int>(bad);
      finding.length = 1;
      run.findings.push_back(std::move(finding));
      const size_t line_end = piece.find('\r', bad + 1);
      p = line_end == std::string::npos ? stop : p + static_cast<int>(line_end);
    }
  }
}

// The k-th occurrence (0-based) of `needle` in `hay` from `from`, npos when
// fewer.
size_t Occurrence(const std::string& hay, const std::string& needle, int k, size_t from) {
  size_t at = hay.find(needle, from);
  for (; k > 0 && at != std::string::npos; --k) at = hay.find(needle, at + 1);
  return at;
}

}  // namespace

void LocateInEntry(const TCheckRun& run, int start, const std::string& stored,
                   std::size_t offset, std::size_t length, int& position, int& found_length) {
  position = start;
  found_length = 0;
  const std::string& joined = run.origins.joined;
  if (start < 1 || static_cast<size_t>(start) > joined.size() || offset > stored.size()) return;
  const int end = std::min<int>(EntryEnd(run.collector, start), static_cast<int>(joined.size()) + 1);
  const std::string entry = joined.substr(start - 1, std::max(0, end - start));
  const std::string needle = stored.substr(offset, std::max<std::size_t>(length, 1));
  if (needle.empty()) return;
  int k = 0;
  for (size_t at = stored.find(needle); at != std::string::npos && at < offset;
       at = stored.find(needle, at + 1)) {
    ++k;
  }
  // The stored text follows the key: search after the first comma of the
  // entry's first line, if it has one.
  const size_t comma = entry.find(',');
  const size_t from = comma < entry.find('\r') ? comma + 1 : 0;
  size_t at = Occurrence(entry, needle, k, from);
  if (at == std::string::npos) at = Occurrence(entry, needle, k, 0);
  if (at == std::string::npos) at = entry.find(needle);
  if (at == std::string::npos) return;
  position = start + static_cast<int>(at);
  found_length = static_cast<int>(length);
}

void CheckStore(TCheckRun& run) {
  const std::vector<TStoredText> texts = StoredTexts(run.collector);
  const TKnownNames names = KnownNames(run.collector, texts);
  TemplateFindings(run, texts, names);
  TEdges edges;
  Redirections(run, texts, edges);
  std::set<std::string> done;
  for (const auto& [node, out] : edges) {
    std::vector<std::string> path;
    if (done.count(node) == 0) FindCycles(run, edges, node, path, done);
  }
  EventFindings(run, texts);
  ByteFindings(run);
  SlipFindings(run);
}
