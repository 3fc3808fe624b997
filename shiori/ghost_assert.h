// The assertion switch of the conversation module. GHOST_ASSERT(condition)
// checks an invariant the code states, in checked builds only: those that
// define GHOST_CHECKED as a non-zero number (Debug and sanitizer builds). In
// every other build (Release, RelWithDebInfo, the DLLs) it compiles to
// nothing and the condition is never evaluated, so those builds behave and
// cost exactly as if it were not there. kGhostChecked lets code that exists
// only to be checked (a guard's flag) vanish the same way.
#pragma once

#if defined(GHOST_CHECKED) && (GHOST_CHECKED + 0)

#include <cstdio>
#include <cstdlib>

inline constexpr bool kGhostChecked = true;

[[noreturn]] inline void GhostAssertFailed(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
  std::abort();
}

#define GHOST_ASSERT(condition) \
  ((condition) ? static_cast<void>(0) : GhostAssertFailed(#condition, __FILE__, __LINE__))

#else

inline constexpr bool kGhostChecked = false;

// sizeof only makes the condition compile; nothing of it runs.
#define GHOST_ASSERT(condition) static_cast<void>(sizeof(!(condition)))

#endif
