// dlopen and the export calls of the terminal host.
#include "term_host.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// A host block holding `text` and a NUL.
char* NewHostBlock(const std::string& text) {
  char* block = static_cast<char*>(std::malloc(text.size() + 1));
  if (block == nullptr) throw std::bad_alloc();
  std::memcpy(block, text.c_str(), text.size() + 1);
  return block;
}

// The text of a block the library handed out, which is freed here.
std::string TakeBlock(char* block, long length) {
  if (block == nullptr) return std::string();
  std::string text;
  if (length > 0) text.assign(block, static_cast<size_t>(length));
  std::free(block);
  return text;
}

void* OpenHandle(const std::string& path, std::string& error) {
  if (path.empty()) {
    error = "no library path known";
    return nullptr;
  }
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* message = dlerror();
    error = message != nullptr ? message : "cannot open " + path;
  }
  return handle;
}

// Looks up one export of an open library; false with a message when missing.
template <typename TFunction>
bool FindExport(void* handle, const std::string& path, const char* name, TFunction& function,
                std::string& error) {
  function = reinterpret_cast<TFunction>(dlsym(handle, name));
  if (function != nullptr) return true;
  error = path + " does not export " + name;
  return false;
}

}  // namespace

bool OpenShiori(const std::string& path, TShioriLibrary& library, std::string& error) {
  void* handle = OpenHandle(path, error);
  if (handle == nullptr) return false;
  if (FindExport(handle, path, "load", library.load, error) &&
      FindExport(handle, path, "request", library.request, error) &&
      FindExport(handle, path, "unload", library.unload, error)) {
    library.handle = handle;
    return true;
  }
  dlclose(handle);
  return false;
}

bool OpenMakoto(const std::string& path, TMakotoLibrary& library, std::string& error) {
  void* handle = OpenHandle(path, error);
  if (handle == nullptr) return false;
  if (FindExport(handle, path, "load", library.load, error) &&
      FindExport(handle, path, "execute", library.execute, error) &&
      FindExport(handle, path, "unload", library.unload, error)) {
    library.handle = handle;
    return true;
  }
  dlclose(handle);
  return false;
}

void CloseLibrary(void* handle) {
  if (handle != nullptr) dlclose(handle);
}

void LoadShiori(const TShioriLibrary& library, const std::string& directory) {
  library.load(NewHostBlock(directory), static_cast<long>(directory.size()));
}

std::string SendRequest(const TShioriLibrary& library, const std::string& request) {
  long length = static_cast<long>(request.size());
  char* response = library.request(NewHostBlock(request), &length);
  return TakeBlock(response, length);
}

void UnloadShiori(const TShioriLibrary& library) { library.unload(); }

void LoadMakoto(const TMakotoLibrary& library, const std::string& directory) {
  char* block = NewHostBlock(directory);
  library.load(block, static_cast<long>(directory.size()));
  std::free(block);
}

std::string TranslateTalk(const TMakotoLibrary& library, const std::string& script) {
  long length = static_cast<long>(script.size());
  char* result = library.execute(NewHostBlock(script), &length);
  return TakeBlock(result, length);
}

void UnloadMakoto(const TMakotoLibrary& library) { library.unload(); }
