// The dictionary store and its word tables: every fixed-capacity table, the
// counts, the option flags, the status line, the hash indexes, registration,
// lookup, random choice under the cool-down rule, and the word cache.
#pragma once

#include <cstdint>
#include <string>

#include "UTypes.h"

// ---- Capacities ---------------------------------------------------------------
constexpr int kWordCapacity = 16384;
constexpr int kIndexSlots = 32771;       // WordIndex, CategoryIndex, LinkIndex
constexpr int kCategoryCapacity = 4096;
constexpr int kLinkCapacity = 16384;
constexpr int kSentenceCapacity = 16384;
constexpr int kReplyCapacity = 8192;
constexpr int kHelloCapacity = 4096;
constexpr int kEventCapacity = 2048;
constexpr int kEventIndexSlots = 4099;
constexpr int kStringSlots = 64;
constexpr int kStringLimit = 16;         // the parser fills at most 16
constexpr int kStatusSlots = 65;         // slot 0 the status line, 1..16 "+" entries
constexpr int kStatusLimit = 16;
constexpr int kGhostCapacity = 64;
constexpr int kWordCacheCapacity = 500;

extern const char* const kDefaultStatusLine;

// ---- Tables (1-based unless noted; count = number of the last record) ---------
extern TDicWord WordTable[kWordCapacity + 1];
extern int WordCount;
extern std::string CategoryList[kCategoryCapacity + 1];
extern int CategoryCount;
extern TWordLink LinkTable[kLinkCapacity + 1];
extern int LinkCount;
extern TSentences SentenceTable[kSentenceCapacity + 1];
extern int SentenceCount;
extern TJoken ReplyTable[kReplyCapacity + 1];
extern int ReplyCount;
extern TJoken HelloTable[kHelloCapacity + 1];
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
extern int WordCacheCount;

extern bool NSDeclare;
extern bool AIStateComplex;

// Empties every table, count and index; default status line; seeds the
// random generator from the clock. Run at library attach and by tests.
void ResetStore();

// Computes the short or long status line into StatusList[0].
void BuildStatusLine();

// One count as decimal text by letter (b c e h r t w; anything else "0").
std::string CountByLetter(char letter);

// Length in bytes div 2, plus 10.
int32_t Weight(const std::string& text);

// Appends a sentence; its number, or 0 when SentenceTable is full.
int AddSentence(const std::string& text, int32_t kind, int32_t cool_down);
// Append a reply / hello record for `sentence`; number or 0 when full.
int AddReply(int sentence, const std::string& condition);
int AddHello(int sentence, const std::string& condition);

// ---- Word tables -----------------------------------------------------------------
int HashText(const std::string& text, int multiplier, int modulus);
int RegisterWord(const std::string& category, const std::string& word);
void AddCategory(const std::string& category);
// The category whose tag (its name with the first byte replaced by "%")
// stands at the 1-based `position`: the first such name in CategoryList order
// (longest first, latest first among equals), or "" when none does.
std::string CategoryTagAt(const std::string& text, int position);
// Forgets every category tag; ResetStore runs it.
void ResetCategoryTags();
int FindWord(const std::string& text);
std::string CategoryOfWord(const std::string& text);
int CategoryMember(const std::string& category, int k);
std::string RandomWordOfCategory(const std::string& category);
std::string RandomWordByPrefix(const std::string& prefix);
int RegisterLink(const std::string& first_text, int first, int second);
int LinkedMember(const std::string& first_text, const std::string& category, int k);
std::string RandomLinkedWord(const std::string& previous, const std::string& category);
int RegisterConditional(const std::string& name, const std::string& condition,
                        const std::string& text);
int ConditionalMember(const std::string& name, int k);
std::string WordsInText(const std::string& text);

// ---- Word cache ------------------------------------------------------------------
void CacheWord(const std::string& key, const std::string& value, int32_t digit);
void ClearWordCache();
// Entry k (1-based), or an entry with an empty Key past the end.
const TWordCache& WordCacheEntry(int k);

// ---- Index inspection ------------------------------------------------------------
enum class StoreIndex { Word, Category, Link, Event };
// Record number held by `slot` of an index; 0 for an empty or invalid slot.
int IndexSlotValue(StoreIndex index, int slot);
