// The module's linear congruential generator: seed := seed * 134775813 + 1
// (mod 2^32); a draw is the high 32 bits of the 64-bit product seed * n.
#include "random.h"

#include <chrono>
#include <ctime>

namespace {
uint32_t g_seed = 0;
}

int32_t Random(int32_t n) {
  g_seed = g_seed * 134775813u + 1u;
  if (n <= 0) return 0;
  const uint64_t product = static_cast<uint64_t>(g_seed) * static_cast<uint64_t>(n);
  return static_cast<int32_t>(product >> 32);
}

void SeedRandomFromClock() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t secs = system_clock::to_time_t(now);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &secs);
#else
  localtime_r(&secs, &local);
#endif
  const auto millis =
      duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  g_seed = static_cast<uint32_t>(
      ((local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec) * 1000 + millis);
}

void SetRandomSeed(uint32_t seed) { g_seed = seed; }

uint32_t RandomSeed() { return g_seed; }

void ResetRandom() { SeedRandomFromClock(); }
