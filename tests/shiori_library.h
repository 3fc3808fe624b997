// Test harness for the built libshiori.so, over the host layer
// (host/ghost_host.h): checks made inside a child process (which cannot
// report through GoogleTest) that print what failed and count it for the
// child's exit status, and the child that opens the library afresh.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "ghost_host.h"

#ifndef GHOST_SHIORI_LIBRARY
#error "GHOST_SHIORI_LIBRARY must name the built libshiori.so"
#endif

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

// The library the children open: the built one, or the copy that
// GHOST_TEST_SHIORI_LIBRARY names (a copy of the build elsewhere runs its own).
inline const char* ShioriLibraryPath() {
  const char* copy = std::getenv("GHOST_TEST_SHIORI_LIBRARY");
  return copy != nullptr && *copy != '\0' ? copy : GHOST_SHIORI_LIBRARY;
}

struct TNothingMore {
  void operator()() const {}
};

// Runs in the child: a process that has never loaded the library before.
// `after_open` runs once the library is open (a child that gives up its
// user does it there), then `scenario` is called with the library and the
// checks. Exits normally so that leak checkers of sanitised builds run.
template <typename TScenario, typename TAfterOpen = TNothingMore>
[[noreturn]] void RunInFreshModule(const TScenario& scenario,
                                   const TAfterOpen& after_open = TAfterOpen()) {
  TShioriLibrary library;
  std::string error;
  if (!OpenShiori(ShioriLibraryPath(), library, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    std::exit(2);
  }
  after_open();
  TChildChecks checks;
  scenario(library, checks);
  std::fflush(stderr);
  std::exit(checks.failures == 0 ? 0 : 1);
}
