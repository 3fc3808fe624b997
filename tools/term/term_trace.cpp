// The trace of one answer: the recorder behind the core's trace hook, and
// the indented tree `why` and `--trace` show.
#include "term/term_trace.h"

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

void Line(TRender& render, int depth, const std::string& text) {
  render.out += std::string(static_cast<std::size_t>(depth) * 2, ' ') + text + "\n";
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

void RenderNodes(TRender& render, const std::vector<TTraceNode>& nodes, int depth);

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
      return "candidate " + EventPlace(render, n.record) +
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
      break;  // DrawLine writes runs of draws
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
      return "talk: " + (n.end_value.empty() ? std::string("(none)") : Quote(render, n.end_value));
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

// One line for a run of draws of one sentence; the countdown takes the
// sentence of the last draw.
std::string DrawLine(const TRender& render, const std::vector<TTraceNode>& nodes,
                     std::size_t first, std::size_t end, bool last) {
  const TTraceNode& a = nodes[first];
  const TTraceNode& b = nodes[end - 1];
  std::string line = end - first == 1 ? "draw " + std::to_string(a.number)
                                      : "draws " + std::to_string(a.number) + "-" +
                                            std::to_string(b.number);
  line += ": " + SentencePlace(render, a.record) + ", cool-down now " + std::to_string(a.detail);
  if (end - first > 1) line += " .. " + std::to_string(b.detail);
  return line + (last ? " -> taken" : "");
}

void RenderNodes(TRender& render, const std::vector<TTraceNode>& nodes, int depth) {
  std::size_t last_draw = nodes.size();
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    if (nodes[i].kind == TTraceKind::Draw) last_draw = i;
  }
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const TTraceNode& n = nodes[i];
    if (n.kind == TTraceKind::Draw) {
      const std::size_t end = DrawRun(nodes, i);
      Line(render, depth, DrawLine(render, nodes, i, end, end - 1 == last_draw));
      i = end - 1;
      continue;
    }
    Line(render, depth, Head(render, n));
    RenderNodes(render, n.children, depth + 1);
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
