// The trace of one answer: the recorder behind the core's trace hook, and
// the indented tree `why` and `--trace` show.
#include "term/term_trace.h"

#include <algorithm>

#include "UTypes.h"
#include "charset/iconv_charset.h"
#include "term/term_render.h"

namespace {

TTraceNode NodeOf(const TTraceEvent& event) {
  TTraceNode node;
  node.kind = event.kind;
  node.record = event.record;
  node.number = event.number;
  node.detail = event.detail;
  node.name = std::string(event.name);
  node.text = std::string(event.text);
  node.value = std::string(event.value);
  if (event.list != nullptr) node.hits.assign(event.list, event.list + event.number);
  if (event.fallbacks != nullptr) {
    node.fallbacks.assign(event.fallbacks, event.fallbacks + event.detail);
  }
  return node;
}

void Receive(void* context, const TTraceEvent& event) {
  TTraceRecorder& recorder = *static_cast<TTraceRecorder*>(context);
  TTraceNode& parent = recorder.open.empty() ? recorder.root : *recorder.open.back();
  if (event.phase == TTracePhase::End) {
    if (recorder.open.empty() || recorder.open.back()->kind != event.kind) return;
    TTraceNode& node = *recorder.open.back();
    node.closed = true;
    node.end_number = event.number;
    node.end_text = std::string(event.text);
    node.end_value = std::string(event.value);
    recorder.open.pop_back();
    return;
  }
  parent.children.push_back(NodeOf(event));
  if (event.phase == TTracePhase::Begin) recorder.open.push_back(&parent.children.back());
}

// ---- Rendering ---------------------------------------------------------------

struct TRender {
  const TTraceLabels& labels;
  std::string out;
};

std::string Shown(const TRender& render, const std::string& bytes) {
  return VisibleControls(ToUtf8(bytes, render.labels.charset));
}

std::string Quote(const TRender& render, const std::string& bytes) {
  return "\"" + Shown(render, bytes) + "\"";
}

std::string Place(const std::string& origin, const char* what, int record) {
  if (!origin.empty()) return origin;
  return std::string(what) + " " + std::to_string(record);
}

std::string SentencePlace(const TRender& render, int s) {
  return Place(render.labels.sentence ? render.labels.sentence(s) : "", "sentence", s);
}

std::string EventPlace(const TRender& render, int e) {
  return Place(render.labels.event ? render.labels.event(e) : "", "response", e);
}

std::string StringPlace(const TRender& render, int slot) {
  return Place(render.labels.string ? render.labels.string(slot) : "", "string entry", slot);
}

std::string StatusPlace(const TRender& render, int slot) {
  return Place(render.labels.status ? render.labels.status(slot) : "", "status entry", slot);
}

// One line, or several separated by "\n", each indented to `depth`.
void Line(TRender& render, int depth, const std::string& text) {
  const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
  std::size_t start = 0;
  for (std::size_t end = text.find('\n'); end != std::string::npos;
       start = end + 1, end = text.find('\n', start)) {
    render.out += indent + text.substr(start, end - start) + "\n";
  }
  render.out += indent + text.substr(start) + "\n";
}

std::string PlaceList(const TRender& render, const std::vector<int>& sentences) {
  if (sentences.empty()) return "none";
  std::string out;
  for (const int s : sentences) out += (out.empty() ? "" : ", ") + SentencePlace(render, s);
  return out;
}

const char* TagSource(int number) {
  switch (static_cast<TTraceTagSource>(number)) {
    case TTraceTagSource::Link:
      return "linked from the previous word";
    case TTraceTagSource::Cache:
      return "from the word cache";
    case TTraceTagSource::Prefix:
      return "a word of a category beginning \\m";
    case TTraceTagSource::Category:
      break;
  }
  return "a random word of the category";
}

// The place of a candidate: an event response's own, a reply's or a
// hello's that of its sentence.
std::string CandidatePlace(const TRender& render, const TTraceNode& n) {
  if (static_cast<TTraceTable>(n.detail) == TTraceTable::Event) {
    return EventPlace(render, n.record);
  }
  return SentencePlace(render, n.number);
}

const char* SentenceKindName(long kind) {
  switch (static_cast<TSentenceKind>(kind)) {
    case TSentenceKind::WordTalk:
      return "(\\ft)";
    case TSentenceKind::Reply:
      return "(\\re)";
    case TSentenceKind::Hello:
      return "(\\hl)";
    case TSentenceKind::Event:
      return "(event)";
    case TSentenceKind::FreeTalk:
      break;
  }
  return "(\\e)";
}

// The word entries an answer of GET Word came from, as "file:line, ...",
// each after its category when the request named none exactly.
std::string WordSources(const TRender& render, const std::string& word,
                        const std::string& category, bool prefix) {
  const std::vector<TWordEntry> entries =
      render.labels.word ? render.labels.word(word, category, prefix) : std::vector<TWordEntry>{};
  std::string out;
  for (const TWordEntry& entry : entries) {
    std::string places;
    for (const std::string& place : entry.places) places += (places.empty() ? "" : ", ") + place;
    if (places.empty()) places = "place unknown";
    out += (out.empty() ? "" : "; ") +
           (prefix ? Shown(render, entry.category) + " at " + places : places);
  }
  return out.empty() ? "an entry not found" : out;
}

// What a GET Word answer was, and where each word came from.
std::string WordAnswer(const TRender& render, const TTraceNode& n) {
  const std::string& answer = n.end_value;
  switch (static_cast<TTraceWordForm>(n.number)) {
    case TTraceWordForm::Category:
      if (answer.empty()) return "-> none: the category has no word";
      return "-> " + Quote(render, answer) + " from " + WordSources(render, answer, n.name, false);
    case TTraceWordForm::Prefix:
      if (answer.empty()) return "-> none: no word of such a category was resting";
      return "-> " + Quote(render, answer) + " from " + WordSources(render, answer, "\\m", true);
    case TTraceWordForm::Dms:
      return "-> " + Quote(render, answer);
    case TTraceWordForm::None:
      return "-> nothing asked (400 Bad Request)";
    case TTraceWordForm::InSentence:
      break;
  }
  std::string out;
  for (std::size_t start = 0; start < answer.size();) {
    const std::size_t end = std::min(answer.find("\r\n", start), answer.size());
    const std::string line = answer.substr(start, end - start);
    const std::size_t comma = line.rfind(',');
    const std::string word = line.substr(0, comma);
    const std::string category = comma == std::string::npos ? "" : line.substr(comma + 1);
    out += "found " + Quote(render, word) + " of " + Shown(render, category) + " from " +
           WordSources(render, word, category, false) + "\n";
    start = end + 2;
  }
  if (out.empty()) out = "found nothing\n";
  return out + "(a word is looked for only where a byte of the sentence follows it: "
               "a word that ends the sentence is not found)";
}

const char* Verdict(int number) {
  if (number == 1) return "hit";
  if (number == 2) return "fallback (nohit)";
  return "left out";
}

// The first line of a response, without its version.
std::string StatusOf(const std::string& response) {
  const std::string line = response.substr(0, response.find("\r\n"));
  const std::size_t blank = line.find(' ');
  return blank == std::string::npos ? line : line.substr(blank + 1);
}

void RenderNodes(TRender& render, const std::vector<TTraceNode>& nodes, int depth,
                 bool free_talk = false);

// The line of a node (or a point) itself.
std::string Head(const TRender& render, const TTraceNode& n) {
  switch (n.kind) {
    case TTraceKind::Request:
      return "request " + Quote(render, n.text) +
             (n.name.empty() ? " (no handler)" : " -> handler \"" + n.name + "\"");
    case TTraceKind::Event:
      return "event " + Shown(render, n.name) + " (sender " + Quote(render, n.text) +
             (n.number > 0 ? ", redirection " + std::to_string(n.number) : "") + ")";
    case TTraceKind::Candidate:
      return "candidate " + CandidatePlace(render, n) +
             (n.text.empty() ? " (no condition)" : " if " + Shown(render, n.text));
    case TTraceKind::Condition:
      return "condition " + Shown(render, n.text);
    case TTraceKind::Lists:
      return "hits: " + PlaceList(render, n.hits) + "; fallbacks: " +
             PlaceList(render, n.fallbacks);
    case TTraceKind::Sentence:
      return "sentence " + SentencePlace(render, n.record) + ": " + Shown(render, n.text);
    case TTraceKind::CoolDown:
      return "cool-down of " + SentencePlace(render, n.record) + " set to " +
             std::to_string(n.detail);
    case TTraceKind::FreeTalk:
      return "free talk (drawn under the cool-downs)";
    case TTraceKind::Redirect:
      return "@: the talk of " + Shown(render, n.name) + " instead";
    case TTraceKind::Reply:
      return "reply to " + Quote(render, n.text) + " (sender " + Quote(render, n.name) + ")";
    case TTraceKind::Hello:
      return "hello to " + Quote(render, n.name) + " (sender " + Quote(render, n.text) + ")";
    case TTraceKind::String:
      if (n.record == 0) return "string " + Quote(render, n.name) + ": no entry with this id";
      return "string " + Quote(render, n.name) + " from " + StringPlace(render, n.record - 1) +
             (n.number > 1 ? " (one of " + std::to_string(n.number) + " with this id)" : "") +
             ": " + Shown(render, n.text);
    case TTraceKind::Status:
      if (n.record == 0) return "status: the line of the counts (no \"+\" entry): " + Shown(render, n.text);
      return "status from " + StatusPlace(render, n.record) +
             (n.number > 1 ? " (one of " + std::to_string(n.number) + " \"+\" entries)" : "") +
             ": " + Shown(render, n.text);
    case TTraceKind::Word:
      switch (static_cast<TTraceWordForm>(n.number)) {
        case TTraceWordForm::Category:
          return "word of the category " + Shown(render, n.name);
        case TTraceWordForm::Prefix:
          return "word of a category beginning \\m (cool-downs decide)";
        case TTraceWordForm::Dms:
          return "word \\dms: %dms filled in";
        case TTraceWordForm::InSentence:
          return "words of the dictionary in " + Quote(render, n.text);
        case TTraceWordForm::None:
          break;
      }
      return "word: no \"Type\" and no \"Sentence\"";
    case TTraceKind::Tag:
      return "tag " + Shown(render, n.name) + " -> " + Quote(render, n.text) + " (" +
             TagSource(n.number) + ")";
    case TTraceKind::Name:
      return "name " + Shown(render, n.name) + " -> " + Quote(render, n.value);
    case TTraceKind::Formula:
      return "formula " + Shown(render, n.text);
    case TTraceKind::Assigned:
      return "variable " + Shown(render, n.name) + " := " + Quote(render, n.value);
    case TTraceKind::Removed:
      return "variable " + Shown(render, n.name) + " removed";
    case TTraceKind::ValueRead:
      return "values.dat read " + Shown(render, n.name) + " -> " + Quote(render, n.value);
    case TTraceKind::ValueWritten:
      return "values.dat written " + Shown(render, n.name) + " = " + Quote(render, n.value);
    case TTraceKind::Draw:
    case TTraceKind::Passed:
      break;  // DrawLine and PassedLine write runs of draws
  }
  return std::string();
}

// The closing line of a node, after its children; empty for none.
std::string Tail(const TRender& render, const TTraceNode& n) {
  if (!n.closed) return n.kind == TTraceKind::Request ? "(unfinished)" : std::string();
  switch (n.kind) {
    case TTraceKind::Request:
      return "response: " + StatusOf(n.end_value);
    case TTraceKind::Event:
      return "talk: " + (n.end_value.empty() ? std::string("(none)") : Quote(render, n.end_value));
    case TTraceKind::Candidate:
      return std::string("-> ") + Verdict(n.end_number);
    case TTraceKind::Condition:
    case TTraceKind::Formula:
      return "= " + Quote(render, n.end_value) + " (expanded: " + Shown(render, n.end_text) + ")";
    case TTraceKind::Sentence:
    case TTraceKind::FreeTalk:
    case TTraceKind::Reply:
      return "talk: " + (n.end_value.empty() ? std::string("(none)") : Quote(render, n.end_value));
    case TTraceKind::Hello:
      return (n.end_text != n.name ? "addressed to " + Quote(render, n.end_text) + " (\\helloto)\n"
                                   : std::string()) +
             "talk: " + (n.end_value.empty() ? std::string("(none)") : Quote(render, n.end_value));
    case TTraceKind::String:
    case TTraceKind::Status:
      return "text: " + (n.end_value.empty() ? std::string("(none)") : Quote(render, n.end_value));
    case TTraceKind::Word:
      return WordAnswer(render, n);
    default:
      return std::string();
  }
}

// The draws from `first` on that drew the same sentence, one after the
// other; the index after the last of them.
std::size_t DrawRun(const std::vector<TTraceNode>& nodes, std::size_t first) {
  std::size_t end = first + 1;
  while (end < nodes.size() && nodes[end].kind == TTraceKind::Draw &&
         nodes[end].record == nodes[first].record) {
    ++end;
  }
  return end;
}

std::string DrawNumbers(const TTraceNode& a, const TTraceNode& b, bool one) {
  if (one) return "draw " + std::to_string(a.number);
  return "draws " + std::to_string(a.number) + "-" + std::to_string(b.number);
}

// One line for a run of draws of one sentence; the countdown takes the
// sentence of the last draw. A reply's or a hello's one draw is not counted
// down.
std::string DrawLine(const TRender& render, const std::vector<TTraceNode>& nodes,
                     std::size_t first, std::size_t end, bool last) {
  const TTraceNode& a = nodes[first];
  const TTraceNode& b = nodes[end - 1];
  if (a.number == 0) {
    return "drawn once, cool-downs not used: " + SentencePlace(render, a.record) + " -> taken";
  }
  std::string line = DrawNumbers(a, b, end - first == 1);
  line += ": " + SentencePlace(render, a.record) + ", cool-down now " + std::to_string(a.detail);
  if (end - first > 1) line += " .. " + std::to_string(b.detail);
  return line + (last ? " -> taken" : " -> passed over, still resting");
}

// The tries of a free talk from `first` on that met no free talk.
std::size_t PassedRun(const std::vector<TTraceNode>& nodes, std::size_t first) {
  std::size_t end = first + 1;
  while (end < nodes.size() && nodes[end].kind == TTraceKind::Passed) ++end;
  return end;
}

std::string PassedLine(const TRender& render, const std::vector<TTraceNode>& nodes,
                       std::size_t first, std::size_t end) {
  std::string which;
  for (std::size_t i = first; i < end; ++i) {
    which += (which.empty() ? "" : ", ") + SentencePlace(render, nodes[i].record) + " " +
             SentenceKindName(nodes[i].detail);
  }
  return DrawNumbers(nodes[first], nodes[end - 1], end - first == 1) + ": " + which +
         " -> passed over, no free talk";
}

// The draws of a free talk took one only when its cool-down was set after
// the last draw; every other countdown takes the sentence of its last draw.
void RenderNodes(TRender& render, const std::vector<TTraceNode>& nodes, int depth,
                 bool free_talk) {
  std::size_t last_draw = nodes.size();
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    if (nodes[i].kind == TTraceKind::Draw) last_draw = i;
  }
  if (free_talk && last_draw < nodes.size() &&
      (last_draw + 1 == nodes.size() || nodes[last_draw + 1].kind != TTraceKind::CoolDown)) {
    last_draw = nodes.size();
  }
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const TTraceNode& n = nodes[i];
    if (n.kind == TTraceKind::Draw) {
      const std::size_t end = DrawRun(nodes, i);
      Line(render, depth, DrawLine(render, nodes, i, end, end - 1 == last_draw));
      i = end - 1;
      continue;
    }
    if (n.kind == TTraceKind::Passed) {
      const std::size_t end = PassedRun(nodes, i);
      Line(render, depth, PassedLine(render, nodes, i, end));
      i = end - 1;
      continue;
    }
    Line(render, depth, Head(render, n));
    RenderNodes(render, n.children, depth + 1, n.kind == TTraceKind::FreeTalk);
    const std::string tail = Tail(render, n);
    if (!tail.empty()) Line(render, depth + 1, tail);
  }
}

}  // namespace

void PrepareRecorder(TTraceRecorder& recorder) {
  recorder.hook = TTraceHook{Receive, &recorder};
}

void ClearTrace(TTraceRecorder& recorder) {
  recorder.root = TTraceNode{};
  recorder.open.clear();
}

std::string RenderTrace(const TTraceNode& root, const TTraceLabels& labels) {
  TRender render{labels, std::string()};
  if (root.children.empty()) return "(nothing traced)\n";
  RenderNodes(render, root.children, 0);
  return render.out;
}

bool TopEventTalk(const TTraceNode& root, const std::string& name, std::string& talk) {
  for (const TTraceNode& node : root.children) {
    if (node.kind == TTraceKind::Event && node.name == name && node.closed) {
      talk = node.end_value;
      return true;
    }
  }
  return false;
}
