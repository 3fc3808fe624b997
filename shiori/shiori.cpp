// The library boundary: the host's memory blocks, the start and release of
// every unit in order, the module directory, and the work behind the three
// exports (load, request, unload). The exports themselves, with their
// exception barrier, live in shiori_exports.cpp.
#include "shiori.h"

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
#include "formula_search.h"
#include "formula_values.h"
#include "nsdic.h"
#include "nsdic_parse.h"
#include "nsdic_talk.h"
#include "parse.h"

namespace {

// The directory load received, with its trailing separator.
std::string ModuleDirectoryText;
bool Attached = false;

constexpr char kListFileName[] = "tamune.ini";
constexpr char kSelfSender[] = "Self";

using TUnitReset = void (*)();

// Each unit's start state, bottom up: attach runs them in this order, detach
// in reverse. ResetStore also seeds the random generator from the clock.
constexpr TUnitReset kUnitResets[] = {
    ResetFileUtl, ResetCharset, ResetVariables, ResetFormula, ResetStore, ResetParse,
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

// ---- Attach and detach ----------------------------------------------------------

void ModuleAttach() {
  if (Attached) return;
  for (TUnitReset reset : kUnitResets) reset();
  ModuleDirectoryText.clear();
  Attached = true;
}

// The units' resets empty their tables and strings, which is their release.
void ModuleDetach() {
  if (!Attached) return;
  ModuleDirectoryText.clear();
  ModuleDirectoryText.shrink_to_fit();
  for (int i = static_cast<int>(std::size(kUnitResets)) - 1; i >= 0; --i) kUnitResets[i]();
  Attached = false;
}

const std::string& ModuleDirectory() { return ModuleDirectoryText; }

// ---- The work of the exports ------------------------------------------------------

// Keeps the directory (a separator added when the host left it off, as hosts
// that pass the dirname of the module do) and makes it the base directory of
// the file layer, even when empty; with a directory, reads "tamune.ini" and the dictionaries it
// lists into the store; then fires "OnLoad". Nothing is emptied first: a
// second load adds to the tables.
void ShioriLoad(const std::string& host_directory) {
  const std::string directory = WithTrailingSeparator(host_directory);
  ModuleDirectoryText = directory;
  SetBaseDirectory(directory);
  if (!directory.empty()) {
    const std::string joined = LoadDictionaries(directory, kListFileName);
    if (!joined.empty()) ParseDictionary(joined);
  }
  FireSelfEvent("OnLoad");
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
