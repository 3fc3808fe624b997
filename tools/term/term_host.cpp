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

// Opens `path` and looks up the three exports named in `names`.
bool OpenWithExports(const std::string& path, const char* const names[3], void* handle_out[4],
                     std::string& error) {
  if (path.empty()) {
    error = "no library path known";
    return false;
  }
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* message = dlerror();
    error = message != nullptr ? message : "cannot open " + path;
    return false;
  }
  handle_out[0] = handle;
  for (int i = 0; i < 3; ++i) {
    handle_out[i + 1] = dlsym(handle, names[i]);
    if (handle_out[i + 1] == nullptr) {
      error = path + " does not export " + names[i];
      dlclose(handle);
      return false;
    }
  }
  return true;
}

}  // namespace

bool OpenShiori(const std::string& path, TShioriLibrary& library, std::string& error) {
  static const char* const kNames[3] = {"load", "request", "unload"};
  void* found[4] = {};
  if (!OpenWithExports(path, kNames, found, error)) return false;
  library.handle = found[0];
  library.load = reinterpret_cast<int (*)(char*, long)>(found[1]);
  library.request = reinterpret_cast<char* (*)(char*, long*)>(found[2]);
  library.unload = reinterpret_cast<int (*)()>(found[3]);
  return true;
}

bool OpenMakoto(const std::string& path, TMakotoLibrary& library, std::string& error) {
  static const char* const kNames[3] = {"load", "execute", "unload"};
  void* found[4] = {};
  if (!OpenWithExports(path, kNames, found, error)) return false;
  library.handle = found[0];
  library.load = reinterpret_cast<int (*)(char*, long)>(found[1]);
  library.execute = reinterpret_cast<char* (*)(char*, long*)>(found[2]);
  library.unload = reinterpret_cast<int (*)()>(found[3]);
  return true;
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
