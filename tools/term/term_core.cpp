// The conversation core linked into the terminal host: entry points that do
// what the three exports do (each exception stopped), with the joined text
// of load kept; the seed and clock overrides; the hooks installed; the
// places of the store's records in the dictionaries.
#include "term/term_core.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <ctime>

#include "UTypes.h"
#include "formula_values.h"
#include "ghost_hook.h"
#include "ghost_trace.h"
#include "nsdic.h"
#include "random.h"
#include "shiori.h"
#include "charset/iconv_charset.h"
#include "term/term_render.h"

namespace {

TCoreWatch* g_watch = nullptr;
constexpr char kLastResortResponse[] = "SHIORI/2.5 400 Bad Request\r\n\r\n";

// The sentence record each table entry of a record kind points at.
int SentenceOfRecord(const TCollectedRecord& record) {
  const int r = record.record;
  switch (record.kind) {
    case THookKind::FreeTalk:
    case THookKind::WordTalk:
      return r;
    case THookKind::Event:
      return r >= 1 && r <= EventCount ? EventTable[r].Sentence : 0;
    case THookKind::Reply:
      return r >= 1 && r <= ReplyCount ? ReplyTable[r].Sentence : 0;
    case THookKind::Hello:
      return r >= 1 && r <= HelloCount ? HelloTable[r].Sentence : 0;
    default:
      return 0;
  }
}

// The dictionaries' texts in the joined text, and where each sentence and
// event response was written, from the load's records.
void MapDictionaries(TCoreWatch& watch, const std::string& joined) {
  watch.origins = TOriginMap{};
  watch.origins.joined = joined;
  for (const TCollectedRecord& record : watch.records.records) {
    if (record.kind == THookKind::Dictionary) {
      AddSegment(watch.origins, TSegment{record.name, record.text, record.list_offset,
                                         record.position, record.end, {}, {}});
    }
    if (record.kind == THookKind::Event) watch.event_at.emplace(record.record, record.position);
    if (record.kind == THookKind::String) watch.string_at.emplace(record.record, record.position);
    if (record.kind == THookKind::Status) watch.status_at.emplace(record.record, record.position);
    if (record.kind == THookKind::Word) watch.word_at[record.record].push_back(record.position);
    const int s = SentenceOfRecord(record);
    if (s != 0) watch.sentence_at.emplace(s, record.position);
  }
}

int CoreLoad(char* block, long length) {
  try {
    const std::string directory = FromHostBuffer(block, length);
    ModuleAttach();
    const std::string joined = LoadGhost(directory);
    if (g_watch != nullptr) MapDictionaries(*g_watch, joined);
    FireSelfEvent("OnLoad");
  } catch (...) {
  }
  return 1;
}

char* CoreRequest(char* block, long* length) {
  try {
    const std::string text = FromHostBuffer(block, length != nullptr ? *length : 0);
    ModuleAttach();
    return static_cast<char*>(ToHostBuffer(ShioriRequest(text), length));
  } catch (...) {
    try {
      return static_cast<char*>(ToHostBuffer(kLastResortResponse, length));
    } catch (...) {
      if (length != nullptr) *length = 0;
      return nullptr;
    }
  }
}

int CoreUnload() {
  try {
    ModuleAttach();
    ShioriUnload();
  } catch (...) {
  }
  return 1;
}

// Days from 1970-01-01 to a civil date (proleptic Gregorian calendar).
long DaysFromCivil(int year, int month, int day) {
  year -= month <= 2;
  const long era = (year >= 0 ? year : year - 399) / 400;
  const long year_of_era = year - era * 400;
  const long day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const long day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

std::string PlaceText(const TCoreWatch& watch, int position) {
  if (position == 0) return std::string();
  const TOrigin origin = OriginOf(watch.origins, position);
  if (origin.file.empty()) return std::string();
  return origin.file + ":" + std::to_string(origin.line);
}

}  // namespace

bool ParseClock(const std::string& text, TClockReading& r) {
  char extra = 0;
  const int fields = std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &r.year, &r.month,
                                 &r.day, &r.hour, &r.minute, &r.second, &extra);
  if (fields != 6 || r.month < 1 || r.month > 12 || r.day < 1 || r.day > 31 || r.hour > 23 ||
      r.minute > 59 || r.second > 59 || r.hour < 0 || r.minute < 0 || r.second < 0) {
    return false;
  }
  const long days = DaysFromCivil(r.year, r.month, r.day);
  r.week_day = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  return true;
}

std::string ClockText(const TClockReading& r) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", r.year, r.month, r.day,
                r.hour, r.minute, r.second);
  return text;
}

TClockReading ClockNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
          local.tm_min,         local.tm_sec,     local.tm_wday};
}

void UseLinkedCore(TShioriLibrary& library, TCoreWatch& watch) {
  g_watch = &watch;
  library.handle = nullptr;
  library.load = CoreLoad;
  library.request = CoreRequest;
  library.unload = CoreUnload;
}

void PrepareCore(uint32_t seed, const TSessionClock& clock, TCoreWatch& watch) {
  ModuleAttach();
  SetRandomSeed(seed);
  SetClockOverride(clock.fixed ? &clock.reading : nullptr);
  PrepareCollector(watch.records);
  SetDiagnosticsHook(&watch.records.hook);
  PrepareRecorder(watch.trace);
  SetTraceHook(&watch.trace.hook);
}

uint32_t SeedFromClock() {
  SeedRandomFromClock();
  return RandomSeed();
}

namespace {

// The place of the entry `places` gives for `key` (empty when it has none).
std::string OriginIn(const TCoreWatch& watch, const std::map<int, int>& places, int key) {
  const auto found = places.find(key);
  return found == places.end() ? std::string() : PlaceText(watch, found->second);
}

}  // namespace

std::string SentenceOrigin(const TCoreWatch& watch, int s) {
  return OriginIn(watch, watch.sentence_at, s);
}

std::string EventOrigin(const TCoreWatch& watch, int e) {
  return OriginIn(watch, watch.event_at, e);
}

std::string StringOrigin(const TCoreWatch& watch, int slot) {
  return OriginIn(watch, watch.string_at, slot);
}

std::string StatusOrigin(const TCoreWatch& watch, int slot) {
  return OriginIn(watch, watch.status_at, slot);
}

std::vector<TWordEntry> WordOrigins(const TCoreWatch& watch, const std::string& word,
                                    const std::string& category, bool prefix) {
  std::vector<TWordEntry> entries;
  for (int w = 1; w <= WordCount; ++w) {
    const TDicWord& entry = WordTable[w];
    const bool in_category = prefix ? entry.Category.compare(0, category.size(), category) == 0
                                    : entry.Category == category;
    if (entry.Text != word || !in_category) continue;
    TWordEntry found{std::string(entry.Category), {}};
    const auto at = watch.word_at.find(w);
    if (at != watch.word_at.end()) {
      for (const int position : at->second) {
        const std::string place = PlaceText(watch, position);
        if (!place.empty() && std::find(found.places.begin(), found.places.end(), place) ==
                                  found.places.end()) {
          found.places.push_back(place);
        }
      }
    }
    entries.push_back(found);
  }
  return entries;
}

TTraceLabels WatchLabels(const TCoreWatch& watch, const std::string& charset) {
  TTraceLabels labels;
  labels.sentence = [&watch](int s) { return SentenceOrigin(watch, s); };
  labels.event = [&watch](int e) { return EventOrigin(watch, e); };
  labels.string = [&watch](int slot) { return StringOrigin(watch, slot); };
  labels.status = [&watch](int slot) { return StatusOrigin(watch, slot); };
  labels.word = [&watch](const std::string& word, const std::string& category, bool prefix) {
    return WordOrigins(watch, word, category, prefix);
  };
  labels.charset = charset;
  return labels;
}

void ApartFromTheCore(const std::function<void()>& work) {
  std::cout << std::flush;
  const pid_t child = fork();
  if (child < 0) return;
  if (child == 0) {
    try {
      work();
    } catch (...) {
    }
    std::cout << std::flush;
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
}

std::string ListedVariables(const std::string& charset) {
  std::string out;
  for (const auto& [name, value] : ListVariables()) {
    out += "  " + VisibleControls(ToUtf8(name, charset)) + " = " +
           VisibleControls(ToUtf8(value, charset)) + "\n";
  }
  return out.empty() ? "  (none)\n" : out;
}
