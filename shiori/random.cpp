// The module's linear congruential generator: its state and seeding (the
// draw itself is inline in the header).
#include "random.h"

#include <chrono>
#include <ctime>

uint32_t RandomState = 0;

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
  RandomState = static_cast<uint32_t>(
      ((local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec) * 1000 + millis);
}

void SetRandomSeed(uint32_t seed) { RandomState = seed; }

uint32_t RandomSeed() { return RandomState; }

void ResetRandom() { SeedRandomFromClock(); }
