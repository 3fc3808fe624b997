// Reproducible sessions: seeds, and the session file (comment lines "# ",
// then "seed N", an optional "clock ..." line, then the lines typed).
#include "term/term_session.h"

#include <fstream>

namespace {

constexpr char kSeedKey[] = "seed ";
constexpr char kClockKey[] = "clock ";

bool StartsWith(const std::string& text, const char* head) {
  return text.compare(0, std::char_traits<char>::length(head), head) == 0;
}

std::string After(const std::string& text, const char* head) {
  return text.substr(std::char_traits<char>::length(head));
}

}  // namespace

bool ParseSeed(const std::string& text, uint32_t& seed) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value > UINT32_MAX) return false;
  seed = static_cast<uint32_t>(value);
  return true;
}

std::string SessionHeader(uint32_t seed, const TSessionClock& clock) {
  std::string header = "# shiori-term session: shiori-term --replay FILE [GHOSTDIR] runs it again\n";
  header += kSeedKey + std::to_string(seed) + "\n";
  if (clock.fixed) header += kClockKey + ClockText(clock.reading) + "\n";
  return header;
}

bool ReadSession(const std::string& path, TRecordedSession& session, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "cannot read the session file " + path;
    return false;
  }
  bool seed_read = false;
  bool header = true;
  std::string line;
  while (std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (header && StartsWith(line, "# ")) continue;
    if (header && !seed_read && StartsWith(line, kSeedKey)) {
      seed_read = ParseSeed(After(line, kSeedKey), session.seed);
      if (!seed_read) break;
      continue;
    }
    if (header && seed_read && !session.clock.fixed && StartsWith(line, kClockKey)) {
      session.clock.fixed = ParseClock(After(line, kClockKey), session.clock.reading);
      if (!session.clock.fixed) {
        error = path + ": malformed clock line: " + line;
        return false;
      }
      continue;
    }
    header = false;
    session.lines.push_back(line);
  }
  if (!seed_read) error = path + ": no \"seed N\" line at the start";
  return seed_read;
}
