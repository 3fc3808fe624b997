// Library loading and block exchange for the benchmark programs.
#include "host.h"

#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

long missing_nul = 0;

// A block holding the text without a NUL, as a host hands it over.
char* HostBlock(const std::string& text) {
  char* block = static_cast<char*>(std::malloc(text.empty() ? 1 : text.size()));
  if (!block) std::abort();
  if (!text.empty()) std::memcpy(block, text.data(), text.size());
  return block;
}

template <typename Fn>
bool Bind(void* handle, const char* name, Fn& fn, std::string& error) {
  fn = reinterpret_cast<Fn>(dlsym(handle, name));
  if (!fn) error = std::string("no export ") + name;
  return fn != nullptr;
}

void* Open(const std::string& path, std::string& error) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    error = "cannot load " + path + ": " + (why ? why : "unknown error");
  }
  return handle;
}

}  // namespace

bool OpenShiori(const std::string& path, ShioriLibrary& lib, std::string& error) {
  lib.handle = Open(path, error);
  return lib.handle && Bind(lib.handle, "load", lib.load, error) &&
         Bind(lib.handle, "request", lib.request, error) &&
         Bind(lib.handle, "unload", lib.unload, error);
}

bool OpenMakoto(const std::string& path, MakotoLibrary& lib, std::string& error) {
  lib.handle = Open(path, error);
  return lib.handle && Bind(lib.handle, "load", lib.load, error) &&
         Bind(lib.handle, "execute", lib.execute, error) &&
         Bind(lib.handle, "unload", lib.unload, error);
}

int LoadShiori(const ShioriLibrary& lib, const std::string& directory) {
  return lib.load(HostBlock(directory), static_cast<long>(directory.size()));
}

std::string Request(const ShioriLibrary& lib, const std::string& text) {
  long length = static_cast<long>(text.size());
  char* answer = lib.request(HostBlock(text), &length);
  if (!answer) return std::string();
  if (length < 0) length = 0;
  if (answer[length] != '\0') ++missing_nul;
  std::string out(answer, static_cast<size_t>(length));
  std::free(answer);
  return out;
}

long MissingNulCount() { return missing_nul; }

int LoadMakoto(const MakotoLibrary& lib, const std::string& directory) {
  char* block = HostBlock(directory);
  const int result = lib.load(block, static_cast<long>(directory.size()));
  std::free(block);
  return result;
}

std::string Execute(const MakotoLibrary& lib, const std::string& script) {
  long length = static_cast<long>(script.size());
  char* answer = lib.execute(HostBlock(script), &length);
  if (!answer) return std::string();
  std::string out(answer, static_cast<size_t>(length < 0 ? 0 : length));
  std::free(answer);
  return out;
}

std::string MakeRequest(const std::string& line,
                        const std::vector<std::pair<std::string, std::string>>& headers) {
  std::string text = line + "\r\n";
  for (const auto& [name, value] : headers) text += name + ": " + value + "\r\n";
  return text + "\r\n";
}

std::string StatusLine(const std::string& response) {
  return response.substr(0, response.find("\r\n"));
}

double NowSeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

long ResidentBytes() {
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  long size = 0, resident = 0;
  const int got = std::fscanf(f, "%ld %ld", &size, &resident);
  std::fclose(f);
  return got == 2 ? resident * sysconf(_SC_PAGESIZE) : 0;
}

bool ReadFile(const std::string& path, std::string& out) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  out.clear();
  char chunk[65536];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) out.append(chunk, got);
  const bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}
