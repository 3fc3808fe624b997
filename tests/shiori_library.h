// Test helpers for the built libshiori.so: host blocks, the three exports
// opened with dlopen, and checks made inside a child process (which cannot
// report through GoogleTest) that print what failed and count it for the
// child's exit status.
#pragma once

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifndef SHIORI_LIBRARY_PATH
#error "SHIORI_LIBRARY_PATH must name the built libshiori.so"
#endif

// A block as the host allocates it; the module takes ownership.
inline char* HostBlock(const std::string& bytes) {
  char* block = static_cast<char*>(std::malloc(bytes.size() + 1));
  std::memcpy(block, bytes.data(), bytes.size());
  block[bytes.size()] = '\0';
  return block;
}

struct TResponse {
  std::string text;     // the `length` bytes of the block
  long length = -1;     // as written back by request
  bool nul_ended = false;
  bool returned = false;
};

struct TShioriLibrary {
  void* handle = nullptr;
  int (*load)(char*, long) = nullptr;
  char* (*request)(char*, long*) = nullptr;
  int (*unload)() = nullptr;

  bool Open() {
    handle = dlopen(SHIORI_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return false;
    load = reinterpret_cast<int (*)(char*, long)>(dlsym(handle, "load"));
    request = reinterpret_cast<char* (*)(char*, long*)>(dlsym(handle, "request"));
    unload = reinterpret_cast<int (*)()>(dlsym(handle, "unload"));
    return load && request && unload;
  }

  int Load(const std::string& directory) {
    return load(HostBlock(directory), static_cast<long>(directory.size()));
  }

  // Sends `bytes` announcing `length` bytes (the whole text by default).
  TResponse Request(const std::string& bytes, long length) {
    TResponse response;
    response.length = length;
    char* block = request(HostBlock(bytes), &response.length);
    response.returned = block != nullptr;
    if (block == nullptr || response.length < 0) return response;
    response.text.assign(block, static_cast<size_t>(response.length));
    response.nul_ended = block[response.length] == '\0';
    std::free(block);
    return response;
  }
  TResponse Request(const std::string& bytes) {
    return Request(bytes, static_cast<long>(bytes.size()));
  }
};

// Checks made in the child process; the parent sees the exit status and,
// on failure, these messages.
struct TChildChecks {
  int failures = 0;

  void Equal(const std::string& actual, const std::string& expected, int line) {
    if (actual == expected) return;
    std::fprintf(stderr, "line %d: got [%s] expected [%s]\n", line, Escaped(actual).c_str(),
                 Escaped(expected).c_str());
    ++failures;
  }
  void True(bool condition, const char* what, int line) {
    if (condition) return;
    std::fprintf(stderr, "line %d: not true: %s\n", line, what);
    ++failures;
  }
  static std::string Escaped(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, c < 0x20 || c > 0x7E ? "\\x%02X" : "%c", c);
      out += buffer;
    }
    return out;
  }
};

#define CHILD_EQ(actual, expected) checks.Equal((actual), (expected), __LINE__)
#define CHILD_TRUE(condition) checks.True((condition), #condition, __LINE__)

// Runs in the child: a process that has never loaded the library before.
// `scenario` is called with the opened library and the checks. Exits
// normally so that leak checkers of sanitised builds run.
template <typename TScenario>
[[noreturn]] void RunInFreshModule(const TScenario& scenario) {
  TShioriLibrary library;
  if (!library.Open()) {
    std::fprintf(stderr, "cannot open %s: %s\n", SHIORI_LIBRARY_PATH, dlerror());
    std::exit(2);
  }
  TChildChecks checks;
  scenario(library, checks);
  std::fflush(stderr);
  std::exit(checks.failures == 0 ? 0 : 1);
}
