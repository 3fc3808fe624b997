// The playground page's entry points into the conversation core linked into
// its WebAssembly module: load a ghost from the in-memory file system
// afresh, answer a request, explain the last answer as the terminal host's
// `why` does, and check the dictionaries. A tool build: none of this is in
// the libraries.
//
// The page converts charsets itself: this module's C library knows no
// Shift_JIS, so the why text and the diagnostics keep the dictionaries'
// bytes as they are (the rest of both is ASCII).
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
    return Give(RenderTrace(p.watch.trace.root, WatchLabels(p.watch, p.charset)));
  } catch (...) {
    return Give(std::string());
  }
}

// The checker's diagnostics of the ghost in `directory`, one line each as
// the compilers write them ("dic.txt:12:3: warning: message [T003]"), the
// file named relative to the ghost folder. The check resets the core: the
// ghost is loaded again afterwards (pg_load).
const char* pg_check(const char* directory) {
  TPlayground& p = Playground();
  try {
    const std::string dir = directory != nullptr ? directory : "";
    if (p.loaded) p.core.Unload();
    p.loaded = false;
    const TCheckResult result = CheckGhost(dir);
    std::string lines;
    for (const TCheckDiagnostic& d : result.diagnostics) lines += DiagnosticLine("", d) + "\n";
    return Give(lines);
  } catch (...) {
    return Give("");
  }
}

// The length of the last text given.
int pg_text_length() { return static_cast<int>(Playground().out.size()); }

}  // extern "C"
