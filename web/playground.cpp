// The playground page's entry points into the conversation core linked into
// its WebAssembly module: load a ghost from the in-memory file system
// afresh, answer a request, explain the last answer as the terminal host's
// `why` does, check the dictionaries, and convert texts between a ghost's
// charset and UTF-8. A tool build: none of this is in the libraries.
//
// Every function that gives text keeps it in one buffer until the next call
// (pg_text_length gives its length: the texts may hold NUL bytes).
#include <cstdint>
#include <cstring>
#include <string>

#include "check/check.h"
#include "check/check_output.h"
#include "ghost_host.h"
#include "ghost_limits.h"
#include "shiori.h"
#include "term/term_charset.h"
#include "term/term_core.h"
#include "term/term_render.h"
#include "term/term_trace.h"

namespace {

constexpr char kDefaultCharset[] = "Shift_JIS";

struct TPlayground {
  TCoreWatch watch;
  TShioriLibrary core;
  bool loaded = false;
  std::string charset = kDefaultCharset;  // of the last answer (the ghost's texts)
  std::string out;                        // the last text handed to the page
};

TPlayground* g_playground = nullptr;

TPlayground& Playground() {
  if (g_playground == nullptr) g_playground = new TPlayground();
  return *g_playground;
}

const char* Give(const std::string& text) {
  TPlayground& p = Playground();
  p.out = text;
  return p.out.c_str();
}

std::string Text(const char* bytes, int length) {
  if (bytes == nullptr || length <= 0) return std::string();
  return std::string(bytes, static_cast<std::size_t>(length));
}

}  // namespace

extern "C" {

// Loads the ghost in `directory` (ending with "/") into a module reset to
// its start state, with the generator seeded with `seed`, the clock read
// live and the trace and record hooks installed. Gives the OnLoad talk
// (in the ghost's charset; empty when it has none).
const char* pg_load(const char* directory, uint32_t seed) {
  TPlayground& p = Playground();
  try {
    if (p.loaded) p.core.Unload();
    ResetModule();
    p.watch = TCoreWatch{};
    p.charset = kDefaultCharset;
    PrepareCore(seed, TSessionClock{}, p.watch);
    UseLinkedCore(p.core, p.watch);
    ClearTrace(p.watch.trace);
    p.core.Load(directory != nullptr ? directory : "");
    p.loaded = true;
    std::string talk;
    TopEventTalk(p.watch.trace.root, "OnLoad", talk);
    return Give(talk);
  } catch (...) {
    return Give(std::string());
  }
}

// One request of `length` bytes; gives the whole response (empty before a
// load). The trace is gathered anew for it.
const char* pg_request(const char* bytes, int length) {
  TPlayground& p = Playground();
  if (!p.loaded) return Give(std::string());
  try {
    ClearTrace(p.watch.trace);
    const TResponseBlock response = p.core.Request(Text(bytes, length));
    const std::string charset = ResponseHeader(ParseResponse(response.text), "Charset");
    if (!charset.empty()) p.charset = charset;
    return Give(response.text);
  } catch (...) {
    return Give(std::string());
  }
}

// The largest request the page sends: the largest text the module builds.
int pg_request_limit() { return static_cast<int>(kTextLimit); }

// How the last answer came about, as the terminal's `why` shows it (UTF-8).
const char* pg_why() {
  TPlayground& p = Playground();
  if (!p.loaded) return Give(std::string());
  try {
    TTraceLabels labels;
    const TCoreWatch& watch = p.watch;
    labels.sentence = [&watch](int s) { return SentenceOrigin(watch, s); };
    labels.event = [&watch](int e) { return EventOrigin(watch, e); };
    labels.charset = p.charset;
    return Give(RenderTrace(watch.trace.root, labels));
  } catch (...) {
    return Give(std::string());
  }
}

// The checker's diagnostics of the ghost in `directory`: a JSON array when
// `json` is nonzero, else the compilers' lines and the summary line. The
// check resets the core: the ghost is loaded again afterwards (pg_load).
const char* pg_check(const char* directory, int json) {
  TPlayground& p = Playground();
  try {
    const std::string dir = directory != nullptr ? directory : "";
    if (p.loaded) p.core.Unload();
    p.loaded = false;
    const TCheckResult result = CheckGhost(dir);
    if (json != 0) return Give(DiagnosticsJson("", result.diagnostics));
    std::string lines;
    for (const TCheckDiagnostic& d : result.diagnostics) lines += DiagnosticLine("", d) + "\n";
    return Give(lines + SummaryLine(dir, result.diagnostics) + "\n");
  } catch (...) {
    return Give(json != 0 ? "[]" : "");
  }
}

// `length` bytes in `charset` as UTF-8; a byte that does not convert shows
// as <XX>.
const char* pg_to_utf8(const char* bytes, int length, const char* charset) {
  try {
    return Give(ToUtf8(Text(bytes, length), charset != nullptr ? charset : kDefaultCharset));
  } catch (...) {
    return Give(std::string());
  }
}

// UTF-8 `text` in `charset`; null when a character has no form in it.
const char* pg_from_utf8(const char* text, int length, const char* charset) {
  try {
    std::string out;
    if (!FromUtf8(Text(text, length), charset != nullptr ? charset : kDefaultCharset, out)) {
      return nullptr;
    }
    return Give(out);
  } catch (...) {
    return nullptr;
  }
}

// The 1-based offset of the first byte of `bytes` that is not valid in
// `charset`, or 0 when all are.
int pg_invalid_byte(const char* bytes, int length, const char* charset) {
  try {
    const std::size_t at =
        InvalidByteOffset(Text(bytes, length), charset != nullptr ? charset : kDefaultCharset);
    return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
  } catch (...) {
    return 0;
  }
}

// The length of the last text given.
int pg_text_length() { return static_cast<int>(Playground().out.size()); }

}  // extern "C"
