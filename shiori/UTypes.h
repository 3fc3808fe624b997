// Record types shared across the conversation module: the dictionary store's
// records, the references of an event and the context of the talk being
// composed. Plain structs; the tables that hold them live in nsdic.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ghost_assert.h"
#include "ghost_limits.h"

// One registered word. Its texts are views into the store's text storage
// (nsdic), valid until the store's reset: the text a copy of its own, the
// category one copy shared by the category's records.
struct TDicWord {
  std::string_view Text;
  std::string_view Category;  // with its leading backslash, e.g. "\name"
  int32_t CoolDown = 0;   // damps repeated choice
  int32_t Sentence = 0;   // SentenceTable record attached by "\ft", 0 = none
};

// What a sentence is for, by the entry that made it.
enum class TSentenceKind : int32_t {
  FreeTalk = 0,  // "\e": random talk
  WordTalk = 1,  // "\ft": the talk of a word
  Reply = 2,     // "\re": a reply to another character
  Hello = 3,     // "\hl": a hello to another character
  Event = 4,     // "@name", "\ev": an event response
};

// One sentence: a talk template as written in the dictionary. Its text is
// a view into the store's sentence text storage (nsdic), valid until the
// store's reset; records are written only by appending.
struct TSentences {
  std::string_view Text;
  TSentenceKind Kind = TSentenceKind::FreeTalk;
  int32_t CoolDown = 0;
};

// A condition that selects a sentence (events, replies, hellos).
struct TJoken {
  int32_t Sentence = 0;
  std::string Name;       // event name; empty for replies and hellos
  std::string Condition;  // formula, "nohit" or empty
};

// One "GET String" entry; "\[1]" and "\[2]" already turned into 0x01, 0x02.
struct TGetStringList {
  std::string Name;
  std::string Text;
};

// One macro definition of the dictionary parser.
struct TReplaceList {
  std::string Prefix;
  std::string Middle;
  std::string Suffix;
  std::string Body;
};

// One word-to-word link from a "\ch" entry.
struct TWordLink {
  int32_t FromWord = 0;
  int32_t ToWord = 0;
  int32_t Reserved1 = 0;  // always 0; lookups consider only records with 0
  int32_t Reserved2 = 0;  // never read
};

// One word-cache entry: the word chosen for a tag during one expansion.
struct TWordCache {
  std::string Key;
  std::string Value;
  int32_t Digit = 0;      // character code of "2".."9", or 0
};

// The eight references of an event.
struct TReferences {
  std::string Reference0, Reference1, Reference2, Reference3;
  std::string Reference4, Reference5, Reference6, Reference7;

  // Reference i; callers pass 0..kReferenceCount - 1.
  std::string& operator[](int i) { return *Slot(this, i); }
  const std::string& operator[](int i) const { return *Slot(this, i); }

 private:
  template <typename Self>
  static auto Slot(Self* self, int i) -> decltype(&self->Reference0) {
    GHOST_ASSERT(i >= 0 && i < kReferenceCount);
    switch (i) {
      case 0: return &self->Reference0;
      case 1: return &self->Reference1;
      case 2: return &self->Reference2;
      case 3: return &self->Reference3;
      case 4: return &self->Reference4;
      case 5: return &self->Reference5;
      case 6: return &self->Reference6;
      default: return &self->Reference7;
    }
  }
};

// The talk being composed: set by the response engine, read by formulas.
struct TalkContext {
  std::string EventName;
  std::string Sender;
  TReferences References;
  std::string IncomingSentence;
  std::string Age;
};
