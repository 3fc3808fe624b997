// The trace hook: how the request dispatcher, the response engine, the
// expansion, the variable store and the value file tell a tool what they
// decide while they answer, so that the tool can explain an answer. The
// libraries never install one: TraceHook stays null there, every call site
// is `if (TraceHook != nullptr) ...` and nothing else, and the module
// answers the same with or without a hook. Events carry table records and
// texts (dictionary bytes as they are); the tool places records in the
// dictionaries and turns the events into a tree.
#pragma once

#include <string_view>

// What an event is about. A Begin and its End enclose the events of what
// ran in between; the other events are points.
enum class TTraceKind {
  Request,    // text: the request line; name: the request type's literal ("" for none)
  Event,      // name: the event; text: the sender; number: redirections above it;
              // end: value the talk
  Candidate,  // record: a record of the table `detail` names (a TTraceTable); number:
              // its SentenceTable record; text: the condition as written; end: number
              // 1 hit, 2 fallback, 0 left out
  Condition,  // text: the condition; end: text the condition expanded, value its value
  Lists,      // list: the hits, number how many; fallbacks: the "nohit" ones,
              // detail how many (sentence records)
  Draw,       // number: the draw (1-based; for a free talk the try; 0: the one draw
              // of a reply or a hello, without cool-downs); record: the sentence
              // drawn; detail: its cool-down after the draw (a free talk's when
              // taken: before it rests)
  Passed,     // a free talk's try that met a sentence of another kind: number: the
              // try; record: the sentence; detail: its TSentenceKind
  Sentence,   // record: SentenceTable; text: the template; end: value the talk
  CoolDown,   // record: SentenceTable; detail: the cool-down it rests by now
  FreeTalk,   // a free talk drawn ("\a", or a request for random talk); end: value the talk
  Redirect,   // "@": name the event whose talk replaces the talk
  Reply,      // the reply to another character: name: its sender; text: its
              // sentence; end: value the talk
  Hello,      // a hello talk: name: the character addressed; text: the sender;
              // end: value the talk
  String,     // "GET String": name: the identifier; number: its entries; record:
              // the StringTable slot drawn + 1 (0: none); end: value the text
  Status,     // "GET Status": record: the StatusList slot (0: the status line of
              // the counts); number: the "+" entries; end: value the text
  Word,       // "GET Word": number: a TTraceWordForm; name: the "Type" asked; text:
              // the "Sentence" searched; end: value the answer
  Tag,        // name: the tag; text: the word; number: a TTraceTagSource
  Name,       // name: the %-form replaced; value: what it became
  Formula,    // text: the formula as written; end: text expanded, value its value
  Assigned,   // name: the variable; value: its new value
  Removed,    // name: the variable
  ValueRead,  // name: the key of "values.dat"; value: the value read ("" none)
  ValueWritten,  // name: the key; value: the value written ("" removes the line)
};

enum class TTracePhase { Point, Begin, End };

// The table of a Candidate's record.
enum class TTraceTable { Event, Reply, Hello };

// How "GET Word" answered.
enum class TTraceWordForm { Category, Prefix, Dms, InSentence, None };

// Where the word of a tag came from.
enum class TTraceTagSource { Category, Link, Cache, Prefix };

struct TTraceEvent {
  TTraceKind kind;
  TTracePhase phase;
  int record;    // a table record; 0: none
  int number;
  long detail;
  std::string_view name;
  std::string_view text;
  std::string_view value;
  const int* list;       // Lists: the hits (sentence records)
  const int* fallbacks;  // Lists: the "nohit" fallbacks
};

// Installed by a tool; called on the module's own thread while it answers.
struct TTraceHook {
  void (*event)(void* context, const TTraceEvent& event);
  void* context;
};

// Null unless a tool installs a hook.
extern const TTraceHook* TraceHook;

// Tool-only: installs `hook` (nullptr removes it).
void SetTraceHook(const TTraceHook* hook);

// The start state: no hook.
void ResetTraceHook();

// Hands one event to the hook; callers test TraceHook first.
void TraceEvent(const TTraceEvent& event);
// A point, a Begin or an End with the common fields.
void TracePoint(TTraceKind kind, int record, int number, std::string_view name,
                std::string_view text = {}, std::string_view value = {}, long detail = 0);
void TraceBegin(TTraceKind kind, int record, int number, std::string_view name,
                std::string_view text = {}, long detail = 0);
void TraceEnd(TTraceKind kind, int number, std::string_view text, std::string_view value);
