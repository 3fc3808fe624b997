// The conversation module's one pseudo-random generator. Every chooser and
// the sealing filler byte draw from it.
#pragma once

#include <cstdint>

// Uniform integer from 0 to n - 1 (0 for n of 0 or less); advances the seed
// once in every case.
int32_t Random(int32_t n);

// Seeds from the local time of day in milliseconds since local midnight.
void SeedRandomFromClock();

// Test hook: sets the seed directly (ResetRandom undoes it). Never exported
// from the library.
void SetRandomSeed(uint32_t seed);
uint32_t RandomSeed();

// The start state: seeded from the clock, as at library attach.
void ResetRandom();
