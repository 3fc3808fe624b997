// The assertion switch of the translation module, like the conversation
// module's own: GHOST_MAKOTO_ASSERT(condition) checks an invariant the code
// states in checked builds only (GHOST_CHECKED defined and non-zero: Debug
// and sanitizer builds), and compiles to nothing, the condition unevaluated,
// in every other build.
#pragma once

#if defined(GHOST_CHECKED) && (GHOST_CHECKED + 0)

#include <cstdio>
#include <cstdlib>

namespace makoto {
[[noreturn]] inline void AssertFailed(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
  std::abort();
}
}  // namespace makoto

#define GHOST_MAKOTO_ASSERT(condition) \
  ((condition) ? static_cast<void>(0) : ::makoto::AssertFailed(#condition, __FILE__, __LINE__))

#else

// sizeof only makes the condition compile; nothing of it runs.
#define GHOST_MAKOTO_ASSERT(condition) static_cast<void>(sizeof(!(condition)))

#endif
