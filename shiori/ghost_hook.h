// The diagnostics hook: how the list loader, the parser, the macro and
// NSDeclare steps and the store's registrations tell a tool what they
// ignore, drop, refuse or switch, and what they register where. The
// libraries never install one: DiagnosticsHook stays null there, every
// call below is a test of that pointer and nothing else, and the module's
// behaviour is the same with or without a hook. Message texts belong to
// the tool; a report carries a stable code, a level, a place and a few
// arguments.
#pragma once

#include <string_view>

enum class THookLevel { Note, Warning, Error };

// What a report is about. The place is a position in the joined text, or
// the line of the list file that names a dictionary.
enum class THookCode {
  // The list loader (place: the list line).
  DictionaryEmpty,     // text: the name; neither the file nor its sealed form gave text
  SealedEmpty,         // text: the sealed name; it was read but unseals to nothing
  SealWithoutHeader,   // text: the name; flag "e" but no sealing header line
  FlagIgnored,         // text: the name, the flag; only "e" means anything
  // The parser (place: the entry, or the given position).
  BlockCommentOpen,    // a "/*" that no line beginning with "*/" closes
  BlockCommentSameLine,// a "*/" on the opening line, which does not close it
  UnknownEntry,        // text: the key
  UnknownOption,       // text: the directive
  WordTalkFields,      // "\ft" without its word or its category
  LinkFields,          // "\ch" with fewer than four fields
  EventWithoutName,    // "@" or "\ev" without an event name
  StringFields,        // text: the identifier; "*" or "\id" without identifier or text
  WordListEmpty,       // text: the category; a word list without a word
  StringLimit,         // size: the limit; strings beyond it are ignored
  StatusLimit,         // size: the limit; status entries beyond it are ignored
  CharsetSwitch,       // text: the new charset name
  OptionSwitch,        // text: the directive ("NSDeclare True", ...)
  // The macro and NSDeclare steps.
  MacroIgnored,        // a definition with an empty pattern or body
  MacroLimit,          // size: the limit; definitions beyond it are ignored
  IndentedComment,     // position: an indented comment line joined to the entry
  TagBracketOpen,      // text: the key; its bracket is never closed
  // The store's capacities.
  TableFull,           // text: the table; size: its capacity; the record was refused
  ChainFull,           // text: the index; size: its probe limit; the record is not indexed
};

struct THookReport {
  THookCode code;
  THookLevel level;
  int position;              // 1-based in the joined text; 0: the entry being parsed
  int list_offset;           // 1-based offset of the list line; 0: none
  std::string_view text[2];  // names, keys, tables
  long size;                 // a capacity or a limit
};

// What a record says was registered (or read) where.
enum class THookKind {
  Dictionary,  // name: the file read (the sealed name when the text came from it);
               // text: the name as listed; position..end: its text in the joined text
  EntryBegin,  // position: the first byte of an entry line
  EntryEnd,    // position: the byte after the entry (its body and joined lines); name: the key
  Word,        // record: WordTable; name: the category; text: the word
  Link,        // record: LinkTable; name: the first word; text: the second word
  FreeTalk,    // record: SentenceTable ("\e")
  WordTalk,    // record: SentenceTable ("\ft"); name: the word
  Reply,       // record: ReplyTable; text: the condition
  Hello,       // record: HelloTable; text: the condition
  Event,       // record: EventTable; name: the event; text: the condition
  String,      // record: StringTable slot; name: the identifier
  Status,      // record: StatusList slot
  Macro,       // record: the definition's number; name: the pattern; text: the body;
               // detail: its placeholders (0 plain, 1 one, 2 two)
};

struct THookRecord {
  THookKind kind;
  int record;            // the record's number in its table; 0: none
  int position;          // as in THookReport
  int end;               // Dictionary and EntryEnd; else 0
  int list_offset;       // Dictionary: its list line; else 0
  std::string_view name;
  std::string_view text;
  int detail;
};

// Installed by a tool; both functions are called on the loader's and the
// parser's own thread while they run.
struct TDiagnosticsHook {
  void (*report)(void* context, const THookReport& report);
  void (*record)(void* context, const THookRecord& record);
  void* context;
};

// Null unless a tool installs a hook.
extern const TDiagnosticsHook* DiagnosticsHook;

// Tool-only: installs `hook` (nullptr removes it).
void SetDiagnosticsHook(const TDiagnosticsHook* hook);

// The start state: no hook.
void ResetDiagnosticsHook();

inline void HookReport(const THookReport& report) {
  if (DiagnosticsHook != nullptr) DiagnosticsHook->report(DiagnosticsHook->context, report);
}

inline void HookRecord(const THookRecord& record) {
  if (DiagnosticsHook != nullptr) DiagnosticsHook->record(DiagnosticsHook->context, record);
}
