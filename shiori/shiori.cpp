// The library boundary: the host's memory blocks, the start and release of
// every unit in order, the module directory, and the work behind the
// exports (load, loadu, request, unload). The exports themselves, with their
// exception barrier, live in shiori_exports.cpp.
#include "shiori.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>

#ifdef _WIN32
#include <windows.h>
#endif

#include "decox.h"
#include "fileutl.h"
#include "formula.h"
#include "formula_memo.h"
#include "formula_search.h"
#include "formula_values.h"
#include "formula_vars.h"
#include "ghost_hook.h"
#include "ghost_trace.h"
#include "nsdic.h"
#include "nsdic_cache.h"
#include "nsdic_condition.h"
#include "nsdic_expand.h"
#include "nsdic_index.h"
#include "nsdic_macro.h"
#include "nsdic_macroscan.h"
#include "nsdic_parse.h"
#include "nsdic_talk.h"
#include "nsdic_words.h"
#include "nsdic_wordscan.h"
#include "parse_handlers.h"
#include "random.h"

namespace {

// The directory load received, with its trailing separator.
std::string g_module_directory;
bool g_attached = false;

constexpr char kSelfSender[] = "Self";

using TUnitReset = void (*)();

// Each unit's reset, bottom up by the layers. A reset touches only its own
// unit's state, so none undoes another; ResetModule runs them in this order,
// ModuleDetach in reverse. The units not listed keep no state between calls
// (strutl, decox, nsdic_links, nsdic_scan, formula_builtin, nsdic_parse,
// nsdic_ghost, whose names live in the store, parse, parse_handlers).
constexpr TUnitReset kUnitResets[] = {
    ResetDiagnosticsHook, // no diagnostics hook
    ResetTraceHook,    // no trace hook
    ResetFileUtl,      // base directory empty, no file override
    ResetRandom,       // seeded from the clock
    ResetCharset,      // "Shift_JIS", the Shift_JIS flag on
    ResetVariables,    // no formula variables
    ResetStore,        // every table and count empty, default status line
    ResetIndexes,      // the hash indexes and what they remember
    ResetWordScan,     // no word text for the search in texts
    ResetWordCache,    // no cached tag
    ResetCategoryTags, // no category tag
    ResetFormulaVars,  // talk context empty, clock not overridden
    ResetFormula,      // evaluator stack empty
    ResetFormulaMemo,  // no evaluation remembered
    ResetMacroScan,    // no macro prefix
    ClearMacros,       // no macro definition
    ResetConditionPlans, // no condition remembered
    ResetExpansion,    // no expansion running
    ResetEventTalk,    // no event talk running
};

// Frees a host block when the copy is done, also when copying throws.
struct THostBlockRelease {
  void* block;
  ~THostBlockRelease() {
    if (block != nullptr) HostFree(block);
  }
};

}  // namespace

// ---- Host blocks --------------------------------------------------------------

#ifdef _WIN32
void* HostAlloc(unsigned long size) { return GlobalAlloc(GMEM_FIXED, size); }
void HostFree(void* block) { GlobalFree(static_cast<HGLOBAL>(block)); }
#else
void* HostAlloc(unsigned long size) { return std::malloc(size); }
void HostFree(void* block) { std::free(block); }
#endif

std::string FromHostBuffer(void* block, long length) {
  THostBlockRelease release{block};
  if (block == nullptr || length <= 0) return std::string();
  const char* bytes = static_cast<const char*>(block);
  const void* nul = std::memchr(bytes, 0, static_cast<size_t>(length));
  const size_t size = nul ? static_cast<const char*>(nul) - bytes : static_cast<size_t>(length);
  return std::string(bytes, size);
}

void* ToHostBuffer(const std::string& text, long* length) {
  void* block = HostAlloc(static_cast<unsigned long>(text.size() + 1));
  if (block == nullptr) throw std::bad_alloc();
  std::memcpy(block, text.c_str(), text.size() + 1);
  if (length != nullptr) *length = static_cast<long>(text.size());
  return block;
}

// ---- Memory ---------------------------------------------------------------------

// Loading reads and splits the whole dictionary text and throws most of the
// copies away; the C library keeps the freed pages unless told otherwise.
namespace {
void ReleaseFreedMemory() {
#ifdef __GLIBC__
  malloc_trim(0);
#endif
}
}  // namespace

// ---- Attach and detach ----------------------------------------------------------

void ResetModule() {
  for (TUnitReset reset : kUnitResets) reset();
  g_module_directory.clear();
}

void ModuleAttach() {
  if (g_attached) return;
  ResetModule();
  g_attached = true;
}

// The units' resets empty their tables and strings, which is their release.
void ModuleDetach() {
  if (!g_attached) return;
  g_module_directory.clear();
  g_module_directory.shrink_to_fit();
  for (int i = static_cast<int>(std::size(kUnitResets)) - 1; i >= 0; --i) kUnitResets[i]();
  g_attached = false;
}

const std::string& ModuleDirectory() { return g_module_directory; }

// ---- The work of the exports ------------------------------------------------------

std::string LoadGhost(const std::string& host_directory, TPathCharset charset) {
  const std::string directory = WithTrailingSeparator(host_directory, charset);
  g_module_directory = directory;
  SetBaseDirectory(directory, charset);
  if (directory.empty()) return std::string();
  std::string joined = LoadDictionaries(directory, kListFileName);
  if (!joined.empty()) ParseDictionary(joined);
  return joined;
}

// The ghost read into the store, then "OnLoad".
void ShioriLoad(const std::string& host_directory, TPathCharset charset) {
  LoadGhost(host_directory, charset);
  SettleWordScan();  // once the dictionary text is freed: a lower peak
  FireSelfEvent("OnLoad");
  ReleaseFreedMemory();
}

std::string ShioriRequest(const std::string& request) { return HandleRequest(request); }

// Fires "OnUnload"; the tables stay until the library is released.
void ShioriUnload() { FireSelfEvent("OnUnload"); }

// Fires an event of the module itself (sender "Self", no references) for the
// side effects of its talk (formulas run, cool-downs changed); the talk
// itself is discarded.
void FireSelfEvent(const std::string& event_name) {
  EventTalk(event_name, kSelfSender, TReferences{});
}
