// The conversation module's one pseudo-random generator. Every chooser and
// the sealing filler byte draw from it.
#pragma once

#include <cstdint>

// The generator's state. Only Random below and random.cpp change it; it is
// visible here so a draw, a few instructions, is not a call.
extern uint32_t RandomState;

// Uniform integer from 0 to n - 1 (0 for n of 0 or less); advances the seed
// once in every case: seed := seed * 134775813 + 1 (mod 2^32), and the draw is
// the high 32 bits of the 64-bit product seed * n.
inline int32_t Random(int32_t n) {
  RandomState = RandomState * 134775813u + 1u;
  if (n <= 0) return 0;
  const uint64_t product = static_cast<uint64_t>(RandomState) * static_cast<uint64_t>(n);
  return static_cast<int32_t>(product >> 32);
}

// Seeds from the local time of day in milliseconds since local midnight.
void SeedRandomFromClock();

// Test hook: sets the seed directly (ResetRandom undoes it). Never exported
// from the library.
void SetRandomSeed(uint32_t seed);
uint32_t RandomSeed();

// The start state: seeded from the clock, as at library attach.
void ResetRandom();
