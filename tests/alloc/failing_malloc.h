// A malloc that fails on request, for the allocation-failure tests. Linked
// into a test program, failing_malloc.cpp replaces the C library's malloc,
// calloc, realloc, free and their aligned variants (glibc lets a program do
// so; C++ operator new calls malloc and throws std::bad_alloc when it gets
// null) and forwards every call to glibc's own functions. On top of that:
//
// - While counting is on, every allocation call is numbered, 1, 2, 3, ...;
//   the call whose number is set by FailAt gets null, and in the "rest"
//   mode so does every counted call after it, until counting stops.
// - While tracking is on, every block handed out is remembered (its size and
//   its number among all calls) until it is freed, wherever that happens:
//   what is still remembered at the end has leaked.
//
// Not for sanitizer builds (the sanitizers own malloc) nor under valgrind.
#pragma once

#include <cstddef>
#include <cstdint>

namespace failing_malloc {

// Counting on or off. Turning it off also ends a "rest" failure.
void Count(bool on);
// Allocation calls counted since the start of the process.
uint64_t Calls();
// The call numbered `number` fails (0: none); with `rest`, every counted call
// after it fails too.
void FailAt(uint64_t number, bool rest);
// How many counted calls have been made to fail.
uint64_t Failures();

// Tracking on or off, and the blocks it remembered that are still live.
void Track(bool on);
std::size_t LiveBlocks();
// Calls `visit` with each live remembered block: its address, size and the
// number of the call that made it (among all calls, counted or not).
void ForEachLiveBlock(void (*visit)(const void* block, std::size_t size, uint64_t call));

}  // namespace failing_malloc
