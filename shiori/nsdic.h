// The dictionary store: every fixed-capacity table with its count, the own
// and other characters' names, the two option flags, the status line, the
// count query, the weight of a text and the appending of sentences, replies
// and hellos. The indexes over the tables, the word tables' operations and
// the word cache are units of their own (nsdic_index, nsdic_words,
// nsdic_links, nsdic_scan, nsdic_cache).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "UTypes.h"
#include "nsdic_table.h"

extern const char* const kDefaultStatusLine;

// ---- Tables (1-based unless noted; count = number of the last record) ---------
// Records past a table's count are empty: records are only appended, and
// ResetStore empties every record up to the count. The link, reply and hello
// tables hold storage only for the records written (nsdic_table.h).
extern TDicWord WordTable[kWordCapacity + 1];
extern int WordCount;
extern TLongestFirstList CategoryList;  // longest first
extern int CategoryCount;
extern TGrowingTable<TWordLink, kLinkCapacity + 1> LinkTable;
extern int LinkCount;
extern TSentences SentenceTable[kSentenceCapacity + 1];
extern int SentenceCount;
extern TGrowingTable<TJoken, kReplyCapacity + 1> ReplyTable;
extern int ReplyCount;
extern TGrowingTable<TJoken, kHelloCapacity + 1> HelloTable;
extern int HelloCount;
extern TJoken EventTable[kEventCapacity + 1];
extern int EventCount;
extern TGetStringList StringTable[kStringSlots];   // 0-based
extern int StringCount;
extern std::string StatusList[kStatusSlots];        // 0-based
extern int StatusCount;
extern std::string OwnerName;
extern std::string GhostNames[kGhostCapacity];      // 0-based
extern int GhostCount;

extern bool NSDeclare;
extern bool AIStateComplex;

// Empties every table and count, both flags and the names; the default
// status line.
void ResetStore();

// Computes the short or long status line into StatusList[0].
void BuildStatusLine();

// One count as decimal text by letter (b c e h r t w; anything else "0").
std::string CountByLetter(char letter);

// Length in bytes div 2, plus 10.
int32_t Weight(std::string_view text);

// Appends a sentence, its text copied into the store's sentence text
// storage (kept until ResetStore); its number, or 0 when
// SentenceTable is full.
int AddSentence(std::string_view text, TSentenceKind kind, int32_t cool_down);
// A copy of `text` in the store's text storage, where word records keep
// their texts until ResetStore; the storage is unchanged when it throws.
std::string_view KeepWordText(std::string_view text);
// Append a reply / hello record for `sentence`, the condition copied into
// it; number or 0 when full.
int AddReply(int sentence, std::string_view condition);
int AddHello(int sentence, std::string_view condition);
