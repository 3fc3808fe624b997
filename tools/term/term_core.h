// The conversation core linked into the terminal host: its load, request
// and unload in the host layer's struct, the seed and clock a session is
// reproduced with, and the hooks that let the terminal explain an answer
// (the trace of every answer, where each record of the store was written).
// None of this is reachable through the library's exports.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "check/check_hook.h"
#include "check/check_origins.h"
#include "formula_vars.h"
#include "ghost_host.h"
#include "term/term_trace.h"

// What a session is reproduced with.
struct TSessionClock {
  bool fixed = false;
  TClockReading reading{};
};

// "YYYY-MM-DD hh:mm:ss" (the week day computed); false when malformed.
bool ParseClock(const std::string& text, TClockReading& reading);
// The reading written back in that form.
std::string ClockText(const TClockReading& reading);
// The local clock now.
TClockReading ClockNow();

// Everything the linked-in core tells the terminal.
struct TCoreWatch {
  TTraceRecorder trace;  // the trace of the last answer (of load before any)
  TCollector records;    // what load registered where
  TOriginMap origins;    // the joined dictionary text, file by file
  std::map<int, int> sentence_at;  // SentenceTable record -> its entry's position
  std::map<int, int> event_at;     // EventTable record -> its entry's position
  std::map<int, int> string_at;    // StringTable slot -> its entry's position
  std::map<int, int> status_at;    // StatusList slot -> its entry's position
  std::map<int, std::vector<int>> word_at;  // WordTable record -> every entry naming it
};

// The core's entry points in `library` (handle null). The first load reads
// the ghost as the library's load does, keeping the joined text for `watch`.
void UseLinkedCore(TShioriLibrary& library, TCoreWatch& watch);

// Attaches the core and fixes its generator to `seed` and its clock (when
// `clock.fixed`), and installs the watch's hooks. Before the first load.
void PrepareCore(uint32_t seed, const TSessionClock& clock, TCoreWatch& watch);

// A seed drawn from the clock, as the module seeds itself.
uint32_t SeedFromClock();

// "file:line" of the entry that wrote SentenceTable record `s` or
// EventTable record `e` (empty when unknown).
std::string SentenceOrigin(const TCoreWatch& watch, int s);
std::string EventOrigin(const TCoreWatch& watch, int e);
// The same of StringTable slot `slot` and of StatusList slot `slot`.
std::string StringOrigin(const TCoreWatch& watch, int slot);
std::string StatusOrigin(const TCoreWatch& watch, int slot);
// The words of the store with the text `word` in `category` (with
// `prefix`: in every category beginning with it), each with the places of
// the entries that registered it.
std::vector<TWordEntry> WordOrigins(const TCoreWatch& watch, const std::string& word,
                                    const std::string& category, bool prefix);
// The labels `why` renders a trace of this watch with: the places above,
// texts shown from `charset`. They keep a reference to `watch`.
TTraceLabels WatchLabels(const TCoreWatch& watch, const std::string& charset);

// Runs `work` (which writes to standard output) in a child process and
// waits for it, so that what it does to the linked-in core (a check resets
// it and loads the ghost again) leaves the session's module as it was.
void ApartFromTheCore(const std::function<void()>& work);

// The formula variables as name and value, store order.
std::string ListedVariables(const std::string& charset);
