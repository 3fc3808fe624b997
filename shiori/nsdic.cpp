// The dictionary store: every fixed-capacity table with its count, the two
// option flags, the status line, the count query and the store's reset.
#include "nsdic.h"

#include <utility>

#include <cmath>
#include <iterator>

#include "ghost_assert.h"
#include "ghost_hook.h"

const char* const kDefaultStatusLine = "100,100,100,100,100,100,100,50,50,100,100,50";

TDicWord WordTable[kWordCapacity + 1];
int WordCount = 0;
TLongestFirstList CategoryList;
int CategoryCount = 0;
TGrowingTable<TWordLink, kLinkCapacity + 1> LinkTable;
int LinkCount = 0;
TSentences SentenceTable[kSentenceCapacity + 1];
int SentenceCount = 0;
TGrowingTable<TJoken, kReplyCapacity + 1> ReplyTable;
int ReplyCount = 0;
TGrowingTable<TJoken, kHelloCapacity + 1> HelloTable;
int HelloCount = 0;
TJoken EventTable[kEventCapacity + 1];
int EventCount = 0;
TGetStringList StringTable[kStringSlots];
int StringCount = 0;
std::string StatusList[kStatusSlots];
int StatusCount = 0;
std::string OwnerName;
std::string GhostNames[kGhostCapacity];
int GhostCount = 0;

bool NSDeclare = false;
bool AIStateComplex = false;

namespace {

// Empties records 0..count of a 1-based table, and sets the count to 0. The
// records past the count are empty already, so a reset costs what was used.
template <typename T, size_t N>
void ClearRecords(T (&table)[N], int& count) {
  GHOST_ASSERT(count >= 0 && static_cast<size_t>(count) < N);
  for (int i = 0; i <= count; ++i) table[i] = T{};
  count = 0;
}

template <typename T, int N>
void ClearRecords(TGrowingTable<T, N>& table, int& count) {
  GHOST_ASSERT(count >= 0 && count < N);
  table.Clear();
  count = 0;
}

void ClearRecords(TLongestFirstList& list, int& count) {
  list.Clear();
  count = 0;
}

// Assigns a default-constructed record to every element of a small table.
template <typename T, size_t N>
void ClearTable(T (&table)[N]) {
  for (T& record : table) record = T{};
}

// Trunc(log10(n + 1) * 400): the scaled counts of the long status line.
int ScaledCount(int n) {
  return static_cast<int>(std::log10(static_cast<double>(n) + 1.0) * 400.0);
}

std::string JoinWithCommas(const int* numbers, int count) {
  std::string line;
  for (int i = 0; i < count; ++i) {
    if (i > 0) line += ',';
    line += std::to_string(numbers[i]);
  }
  return line;
}

// Appends a condition record to a TJoken table unless it is full.
template <typename Table>
int AppendJoken(Table& table, int& count, int capacity, int sentence,
                std::string_view condition) {
  GHOST_ASSERT(count >= 0 && count <= capacity);
  if (count >= capacity) return 0;
  // The record is made, and the table grown to hold it, before it counts:
  // readers walk the table's storage up to the count.
  TJoken& record = table[count + 1];
  GHOST_ASSERT(record.Sentence == 0 && record.Condition.empty());
  record.Condition.assign(condition);  // leaves the record empty when it throws
  record.Sentence = sentence;
  return ++count;
}

}  // namespace

void ResetStore() {
  ClearRecords(WordTable, WordCount);
  ClearRecords(CategoryList, CategoryCount);
  ClearRecords(LinkTable, LinkCount);
  ClearRecords(SentenceTable, SentenceCount);
  ClearRecords(ReplyTable, ReplyCount);
  ClearRecords(HelloTable, HelloCount);
  ClearRecords(EventTable, EventCount);
  ClearTable(StringTable);
  ClearTable(StatusList);
  ClearTable(GhostNames);
  StringCount = StatusCount = GhostCount = 0;
  OwnerName.clear();
  NSDeclare = false;
  AIStateComplex = false;
  StatusList[0] = kDefaultStatusLine;
}

void BuildStatusLine() {
  const int w = WordCount, l = LinkCount, r = ReplyCount + HelloCount;
  const int c = CategoryCount, e = EventCount, s = SentenceCount;
  if (!AIStateComplex) {
    const int numbers[] = {w, l, c, r, e, s};
    StatusList[0] = JoinWithCommas(numbers, static_cast<int>(std::size(numbers)));
    return;
  }
  const int numbers[] = {w, l, r, c, e, s,
                         ScaledCount(w), ScaledCount(l), ScaledCount(r),
                         ScaledCount(c), ScaledCount(e), ScaledCount(s)};
  StatusList[0] = JoinWithCommas(numbers, static_cast<int>(std::size(numbers)));
}

std::string CountByLetter(char letter) {
  switch (letter) {
    case 'b': return std::to_string(SentenceCount);
    case 'c': return std::to_string(LinkCount);
    case 'e': return std::to_string(EventCount);
    case 'h': return std::to_string(HelloCount);
    case 'r': return std::to_string(ReplyCount);
    case 't': return std::to_string(CategoryCount);
    case 'w': return std::to_string(WordCount);
    default: return "0";
  }
}

int32_t Weight(std::string_view text) {
  return static_cast<int32_t>(text.size() / 2 + 10);
}

int AddSentence(std::string_view text, TSentenceKind kind, int32_t cool_down) {
  GHOST_ASSERT(SentenceCount >= 0 && SentenceCount <= kSentenceCapacity);
  if (SentenceCount >= kSentenceCapacity) {
    HookReport({THookCode::TableFull, THookLevel::Error, 0, 0, {"SentenceTable", {}},
                kSentenceCapacity});
    return 0;
  }
  TSentences& record = SentenceTable[SentenceCount + 1];
  GHOST_ASSERT(record.Text.empty());
  // The one copy, made apart (cheaper than assign's general path): the
  // record stays empty when it throws.
  record.Text = std::string(text);
  record.Kind = kind;
  record.CoolDown = cool_down;
  return ++SentenceCount;
}

int AddReply(int sentence, std::string_view condition) {
  return AppendJoken(ReplyTable, ReplyCount, kReplyCapacity, sentence, condition);
}

int AddHello(int sentence, std::string_view condition) {
  return AppendJoken(HelloTable, HelloCount, kHelloCapacity, sentence, condition);
}
