// The dictionary store: every fixed-capacity table with its count, the two
// option flags, the storage of the sentence and word texts, the status line,
// the count query and the store's reset.
#include "nsdic.h"

#include <utility>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <vector>

#include "ghost_assert.h"
#include "ghost_hook.h"
#include "strutl.h"

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

// The storage of the sentence and word texts: chunks that never move once
// made, each text copied after the previous one, so that a text costs a copy
// and no allocation of its own. Invariant: every non-empty SentenceTable and
// WordTable text lies inside one chunk. Released whole by the store's reset.
class TStoreTexts {
 public:
  // A copy of `text` in the storage; the storage is unchanged when it throws.
  std::string_view Append(std::string_view text) {
    if (text.empty()) return {};
    if (chunks_.empty() || chunks_.back().size - used_ < text.size()) NewChunk(text.size());
    char* at = chunks_.back().bytes.get() + used_;
    CopyBytes(at, text.data(), text.size());
    used_ += text.size();
    return {at, text.size()};
  }
  // True when `text` is empty or lies inside one chunk.
  bool Holds(std::string_view text) const {
    if (text.empty()) return true;
    for (const TChunk& chunk : chunks_) {
      const char* begin = chunk.bytes.get();
      if (text.data() >= begin && text.data() + text.size() <= begin + chunk.size) return true;
    }
    return false;
  }
  void Release() {
    std::vector<TChunk>().swap(chunks_);
    used_ = 0;
  }

 private:
  static constexpr std::size_t kChunkSize = 64 * 1024;
  struct TChunk {
    std::unique_ptr<char[]> bytes;
    std::size_t size = 0;
  };

  // A chunk of at least `need` bytes becomes the one appended to; the bytes
  // left at the end of the previous one stay unused. Kept out of Append,
  // which then saves no registers for the rare call.
  [[gnu::noinline]] void NewChunk(std::size_t need) {
    const std::size_t size = need > kChunkSize ? need : kChunkSize;
    TChunk chunk{std::unique_ptr<char[]>(new char[size]), size};
    chunks_.push_back(std::move(chunk));  // freed again when this throws
    used_ = 0;
  }

  std::vector<TChunk> chunks_;
  std::size_t used_ = 0;  // bytes taken in the last chunk
};

TStoreTexts g_store_texts;

// Every stored sentence and word text lies in the storage (checked builds
// only).
bool StoreTextsHeld() {
  for (int i = 1; i <= SentenceCount; ++i) {
    if (!g_store_texts.Holds(SentenceTable[i].Text)) return false;
  }
  for (int i = 1; i <= WordCount; ++i) {
    if (!g_store_texts.Holds(WordTable[i].Text) || !g_store_texts.Holds(WordTable[i].Category))
      return false;
  }
  return true;
}

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
  GHOST_ASSERT(StoreTextsHeld());
  ClearRecords(WordTable, WordCount);
  ClearRecords(CategoryList, CategoryCount);
  ClearRecords(LinkTable, LinkCount);
  ClearRecords(SentenceTable, SentenceCount);
  g_store_texts.Release();
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
  // The one copy, into the store's storage: the record stays empty when it
  // throws.
  record.Text = g_store_texts.Append(text);
  GHOST_ASSERT(record.Text == text && g_store_texts.Holds(record.Text));
  record.Kind = kind;
  record.CoolDown = cool_down;
  return ++SentenceCount;
}

std::string_view KeepWordText(std::string_view text) {
  const std::string_view kept = g_store_texts.Append(text);
  GHOST_ASSERT(kept == text && g_store_texts.Holds(kept));
  return kept;
}

int AddReply(int sentence, std::string_view condition) {
  return AppendJoken(ReplyTable, ReplyCount, kReplyCapacity, sentence, condition);
}

int AddHello(int sentence, std::string_view condition) {
  return AppendJoken(HelloTable, HelloCount, kHelloCapacity, sentence, condition);
}
