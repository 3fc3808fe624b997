// The exports of the conversation module: load, loadu, request and unload.
// Each attaches the module on first use (the units' static objects are all
// constructed by then, whatever their order) and stops every exception
// before it can reach the host.
#include "shiori_exports.h"

#include "fileutl.h"
#include "shiori.h"

namespace {

constexpr char kLastResortResponse[] = "SHIORI/2.5 400 Bad Request\r\n\r\n";

int LoadModule(void* block, long length) noexcept {
  try {
    const std::string directory = FromHostBuffer(block, length);
    ModuleAttach();
    ShioriLoad(directory);
  } catch (...) {
  }
  return 1;
}

// As LoadModule for a UTF-8 directory; 0, before anything is read, when the
// bytes are no UTF-8 (they could name no folder).
int LoadModuleUtf8(void* block, long length) noexcept {
  try {
    const std::string directory = FromHostBuffer(block, length);
    if (!IsValidUtf8(directory)) return 0;
    ModuleAttach();
    ShioriLoad(directory, TPathCharset::Utf8);
  } catch (...) {
  }
  return 1;
}

// Answered when building the real response failed; null with length 0 when
// even this small block cannot be had.
void* LastResortResponse(long* length) noexcept {
  try {
    return ToHostBuffer(kLastResortResponse, length);
  } catch (...) {
    if (length != nullptr) *length = 0;
    return nullptr;
  }
}

void* AnswerRequest(void* block, long* length) noexcept {
  try {
    const std::string text = FromHostBuffer(block, length != nullptr ? *length : 0);
    ModuleAttach();
    return ToHostBuffer(ShioriRequest(text), length);
  } catch (...) {
    return LastResortResponse(length);
  }
}

int UnloadModule() noexcept {
  try {
    ModuleAttach();
    ShioriUnload();
  } catch (...) {
  }
  return 1;
}

}  // namespace

#ifdef _WIN32

GHOST_EXPORT BOOL GHOST_CALL load(HGLOBAL h, long len) { return LoadModule(h, len); }

GHOST_EXPORT BOOL GHOST_CALL loadu(HGLOBAL h, long len) { return LoadModuleUtf8(h, len); }

GHOST_EXPORT HGLOBAL GHOST_CALL request(HGLOBAL h, long* len) {
  return static_cast<HGLOBAL>(AnswerRequest(h, len));
}

GHOST_EXPORT BOOL GHOST_CALL unload(void) { return UnloadModule(); }

// The units release their tables when the library leaves the process; the
// C runtime destroys static objects only after this returns.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_DETACH) {
    try {
      ModuleDetach();
    } catch (...) {
    }
  }
  return TRUE;
}

#else

// On POSIX the units' static objects release their memory when the library
// is unloaded; no detach hook runs, since its order against those static
// destructors would be unspecified.
GHOST_EXPORT int GHOST_CALL load(char* h, long len) { return LoadModule(h, len); }

GHOST_EXPORT int GHOST_CALL loadu(char* h, long len) { return LoadModuleUtf8(h, len); }

GHOST_EXPORT char* GHOST_CALL request(char* h, long* len) {
  return static_cast<char*>(AnswerRequest(h, len));
}

GHOST_EXPORT int GHOST_CALL unload(void) { return UnloadModule(); }

#endif
