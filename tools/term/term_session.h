// Reproducible sessions of the terminal host: the seed and clock options,
// and the session file that --record writes and --replay runs again (its
// seed, its clock and every line typed, in order).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "term/term_core.h"

// A decimal seed from 0 to 4294967295; false otherwise.
bool ParseSeed(const std::string& text, uint32_t& seed);

struct TRecordedSession {
  uint32_t seed = 0;
  TSessionClock clock;
  std::vector<std::string> lines;  // the lines typed, as typed
};

// The first lines of a session file: a comment, "seed N", and "clock
// YYYY-MM-DD hh:mm:ss" when the clock was fixed.
std::string SessionHeader(uint32_t seed, const TSessionClock& clock);

// Reads a session file; false with a sentence in `error` when it cannot be
// read or its "seed" line is missing or malformed.
bool ReadSession(const std::string& path, TRecordedSession& session, std::string& error);
