// dlopen, the export calls and the block rules of a Linux host.
#include "ghost_host.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

void* OpenHandle(const std::string& path, std::string& error) {
  if (path.empty()) {
    error = "no library path given";
    return nullptr;
  }
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = dlerror();
    error = "cannot load " + path + ": " + (why != nullptr ? why : "unknown error");
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

// Takes over a block the module handed out: its `length` bytes, and whether
// a NUL follows them (only looked at when `check_nul`: a translation block
// ends right after its length).
TResponseBlock TakeBlock(char* block, long length, bool check_nul) {
  TResponseBlock response;
  response.length = length;
  response.returned = block != nullptr;
  if (block == nullptr) return response;
  if (length > 0) response.text.assign(block, static_cast<size_t>(length));
  if (check_nul && length >= 0) response.nul_ended = block[length] == '\0';
  std::free(block);
  return response;
}

}  // namespace

char* NewHostBlock(const std::string& bytes) {
  char* block = static_cast<char*>(std::malloc(bytes.empty() ? 1 : bytes.size()));
  if (block == nullptr) throw std::bad_alloc();
  if (bytes.empty()) block[0] = '\0';
  else std::memcpy(block, bytes.data(), bytes.size());
  return block;
}

bool OpenShiori(const std::string& path, TShioriLibrary& library, std::string& error) {
  library = TShioriLibrary();
  void* handle = OpenHandle(path, error);
  if (handle == nullptr) return false;
  if (FindExport(handle, path, "load", library.load, error) &&
      FindExport(handle, path, "request", library.request, error) &&
      FindExport(handle, path, "unload", library.unload, error)) {
    library.loadu = reinterpret_cast<int (*)(char*, long)>(dlsym(handle, "loadu"));
    library.handle = handle;
    return true;
  }
  dlclose(handle);
  library = TShioriLibrary();
  return false;
}

bool OpenMakoto(const std::string& path, TMakotoLibrary& library, std::string& error) {
  library = TMakotoLibrary();
  void* handle = OpenHandle(path, error);
  if (handle == nullptr) return false;
  if (FindExport(handle, path, "load", library.load, error) &&
      FindExport(handle, path, "execute", library.execute, error) &&
      FindExport(handle, path, "unload", library.unload, error)) {
    library.request = reinterpret_cast<char* (*)(char*, long*)>(dlsym(handle, "request"));
    library.handle = handle;
    return true;
  }
  dlclose(handle);
  library = TMakotoLibrary();
  return false;
}

void CloseShiori(TShioriLibrary& library) {
  if (library.handle != nullptr) dlclose(library.handle);
  library = TShioriLibrary();
}

void CloseMakoto(TMakotoLibrary& library) {
  if (library.handle != nullptr) dlclose(library.handle);
  library = TMakotoLibrary();
}

int TShioriLibrary::Load(const std::string& directory) const {
  return load(NewHostBlock(directory), static_cast<long>(directory.size()));
}

int TShioriLibrary::LoadUtf8(const std::string& directory) const {
  return loadu(NewHostBlock(directory), static_cast<long>(directory.size()));
}

int TShioriLibrary::LoadAsHostsDo(const std::string& directory) const {
  if (loadu != nullptr && LoadUtf8(directory) != 0) return 1;
  return Load(directory);
}

TResponseBlock TShioriLibrary::Request(const std::string& bytes) const {
  return Request(bytes, static_cast<long>(bytes.size()));
}

TResponseBlock TShioriLibrary::Request(const std::string& bytes, long length) const {
  char* block = request(NewHostBlock(bytes), &length);
  return TakeBlock(block, length, true);
}

int TShioriLibrary::Unload() const { return unload(); }

int TMakotoLibrary::Load(const std::string& directory) const {
  char* block = NewHostBlock(directory);
  const int result = load(block, static_cast<long>(directory.size()));
  std::free(block);  // the translation module's load leaves it to the host
  return result;
}

TResponseBlock TMakotoLibrary::Execute(const std::string& script) const {
  long length = static_cast<long>(script.size());
  char* block = execute(NewHostBlock(script), &length);
  return TakeBlock(block, length, false);
}

TResponseBlock TMakotoLibrary::Request(const std::string& bytes) const {
  long length = static_cast<long>(bytes.size());
  char* block = request(NewHostBlock(bytes), &length);
  return TakeBlock(block, length, true);
}

int TMakotoLibrary::Unload() const { return unload(); }

std::string RequestProblem(const TResponseBlock& response) {
  if (!response.returned) return "no response block";
  if (response.length < 0) return "negative response length " + std::to_string(response.length);
  if (!response.nul_ended) {
    return "no NUL after the " + std::to_string(response.length) + " bytes of the response block";
  }
  return std::string();
}
