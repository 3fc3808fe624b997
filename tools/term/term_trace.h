// The trace of one answer as the terminal keeps and shows it: the core's
// trace events gathered into a tree (a Begin event opens a node, its End
// closes it), and the tree written as indented lines.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ghost_trace.h"

struct TTraceNode {
  TTraceKind kind = TTraceKind::Request;
  int record = 0;
  int number = 0;
  long detail = 0;
  std::string name, text, value;   // from the event (a Begin's, for a node)
  bool closed = false;             // a node whose End came
  int end_number = 0;
  std::string end_text, end_value;  // from the End
  std::vector<int> hits, fallbacks;  // Lists
  std::vector<TTraceNode> children;
};

struct TTraceRecorder {
  TTraceNode root;                // its children: what happened since the last clear
  std::vector<TTraceNode*> open;  // the nodes begun and not ended, innermost last
  TTraceHook hook{};
};

// Points the recorder's hook at the recorder; install it with
// SetTraceHook(&recorder.hook).
void PrepareRecorder(TTraceRecorder& recorder);
// Forgets the trace gathered so far.
void ClearTrace(TTraceRecorder& recorder);

// A word entry that could have given an answer: its category and the
// "file:line" places that wrote it.
struct TWordEntry {
  std::string category;
  std::vector<std::string> places;
};

// How records are shown: "file:line" of a sentence record, of an event
// response record, of a StringTable slot and of a StatusList slot (empty
// when unknown); the word entries with this text whose category is the one
// given (or, with `prefix`, begins with it); and the charset of the texts.
struct TTraceLabels {
  std::function<std::string(int)> sentence;
  std::function<std::string(int)> event;
  std::function<std::string(int)> string;
  std::function<std::string(int)> status;
  std::function<std::vector<TWordEntry>(const std::string& word, const std::string& category,
                                        bool prefix)>
      word;
  std::string charset;
};

// The tree as lines indented by two blanks a level, texts in UTF-8.
std::string RenderTrace(const TTraceNode& root, const TTraceLabels& labels);

// The talk of the first event named `name` at the top of the tree; false
// when there is none.
bool TopEventTalk(const TTraceNode& root, const std::string& name, std::string& talk);
