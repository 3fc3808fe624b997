// The failing malloc (failing_malloc.h): the C library's allocation entry
// points, replaced for the whole program, forwarding to glibc's __libc_*
// functions; the numbering, the failures and the table of tracked blocks.
// Nothing here allocates: the table is a fixed open-addressing array.
#include "failing_malloc.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);
void* __libc_memalign(size_t alignment, size_t size);
}

namespace {

struct TState {
  bool counting = false;
  bool tracking = false;
  bool rest = false;        // fail every counted call after fail_at too
  uint64_t counted = 0;     // counted calls so far
  uint64_t all = 0;         // every allocation call, counted or not
  uint64_t fail_at = 0;
  uint64_t failures = 0;
};
TState g_state;

// Tracked blocks: linear probing over a power-of-two table, deletion by
// moving later entries of the run back, so no tombstones are needed.
struct TBlock {
  const void* address;
  size_t size;
  uint64_t call;
};
constexpr size_t kTableBits = 19;
constexpr size_t kTableSize = size_t{1} << kTableBits;
TBlock g_table[kTableSize];
size_t g_live = 0;

size_t HomeOf(const void* address) {
  const auto key = reinterpret_cast<uintptr_t>(address) >> 4;
  return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> (64 - kTableBits));
}

[[noreturn]] void Die(const char* message) {
  const ssize_t ignored = write(2, message, std::strlen(message));
  (void)ignored;
  std::abort();
}

void Remember(const void* address, size_t size, uint64_t call) {
  if (g_live + 1 >= kTableSize / 2) Die("failing_malloc: too many tracked blocks\n");
  size_t slot = HomeOf(address);
  while (g_table[slot].address != nullptr) slot = (slot + 1) & (kTableSize - 1);
  g_table[slot] = TBlock{address, size, call};
  ++g_live;
}

// Forgets a block if it is tracked; answers whether it was.
bool Forget(const void* address) {
  if (address == nullptr || g_live == 0) return false;
  size_t slot = HomeOf(address);
  while (g_table[slot].address != address) {
    if (g_table[slot].address == nullptr) return false;
    slot = (slot + 1) & (kTableSize - 1);
  }
  g_table[slot] = TBlock{};
  --g_live;
  // Entries after the hole that could have stood in it move back.
  for (size_t next = (slot + 1) & (kTableSize - 1); g_table[next].address != nullptr;
       next = (next + 1) & (kTableSize - 1)) {
    const size_t home = HomeOf(g_table[next].address);
    const bool reachable = ((next - home) & (kTableSize - 1)) >= ((next - slot) & (kTableSize - 1));
    if (reachable) {
      g_table[slot] = g_table[next];
      g_table[next] = TBlock{};
      slot = next;
    }
  }
  return true;
}

// Numbers one allocation call; true when it must fail.
bool FailThisCall() {
  ++g_state.all;
  if (!g_state.counting) return false;
  const uint64_t number = ++g_state.counted;
  const bool fail = g_state.fail_at != 0 &&
                    (number == g_state.fail_at || (g_state.rest && number > g_state.fail_at));
  if (fail) ++g_state.failures;
  return fail;
}

void* Handed(void* block, size_t size) {
  if (block != nullptr && g_state.tracking) Remember(block, size, g_state.all);
  return block;
}

}  // namespace

namespace failing_malloc {

void Count(bool on) { g_state.counting = on; }
uint64_t Calls() { return g_state.counted; }
void FailAt(uint64_t number, bool rest) {
  g_state.fail_at = number;
  g_state.rest = rest;
}
uint64_t Failures() { return g_state.failures; }
void Track(bool on) { g_state.tracking = on; }
size_t LiveBlocks() { return g_live; }

void ForEachLiveBlock(void (*visit)(const void*, size_t, uint64_t)) {
  for (const TBlock& block : g_table)
    if (block.address != nullptr) visit(block.address, block.size, block.call);
}

}  // namespace failing_malloc

extern "C" {

void* malloc(size_t size) {
  if (FailThisCall()) {
    errno = ENOMEM;
    return nullptr;
  }
  return Handed(__libc_malloc(size), size);
}

void* calloc(size_t count, size_t size) {
  if (FailThisCall()) {
    errno = ENOMEM;
    return nullptr;
  }
  return Handed(__libc_calloc(count, size), count * size);
}

// A failed realloc leaves the old block as it was.
void* realloc(void* block, size_t size) {
  if (FailThisCall()) {
    errno = ENOMEM;
    return nullptr;
  }
  const bool was_tracked = Forget(block);
  void* moved = __libc_realloc(block, size);
  if (moved == nullptr) {
    if (was_tracked) Remember(block, size, g_state.all);
    return nullptr;
  }
  if (was_tracked || g_state.tracking) Remember(moved, size, g_state.all);
  return moved;
}

void free(void* block) {
  Forget(block);
  __libc_free(block);
}

void* memalign(size_t alignment, size_t size) {
  if (FailThisCall()) {
    errno = ENOMEM;
    return nullptr;
  }
  return Handed(__libc_memalign(alignment, size), size);
}

void* aligned_alloc(size_t alignment, size_t size) { return memalign(alignment, size); }

int posix_memalign(void** out, size_t alignment, size_t size) {
  if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) return EINVAL;
  void* block = memalign(alignment, size);
  if (block == nullptr) return ENOMEM;
  *out = block;
  return 0;
}

void* valloc(size_t size) { return memalign(static_cast<size_t>(sysconf(_SC_PAGESIZE)), size); }

void* pvalloc(size_t size) {
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  return memalign(page, (size + page - 1) / page * page);
}

}  // extern "C"
