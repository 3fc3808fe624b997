// WordsInText: every registered word found inside a text, as "word,category"
// lines. Candidates are the byte runs of each start position, grown one
// byte (or one double-byte character) at a time; since the hash is a byte
// sum, the home slot of each longer candidate follows from the shorter one,
// and only candidates whose length and home slot some stored word shares
// are looked up. WordsInText takes the same candidates from the trie of
// nsdic_wordscan, leaving a start position as soon as no stored word begins
// with the bytes taken so far.
#include "nsdic_scan.h"

#include "formula_search.h"
#include "nsdic.h"
#include "nsdic_index.h"
#include "nsdic_words.h"
#include "nsdic_wordscan.h"

namespace {

// True when some stored word has this length and byte sum's home slot.
bool MayBeWord(size_t length, int64_t sum) {
  return length < WordLookups.length_present.size() && WordLookups.length_present[length] &&
         WordLookups.home_present[HomeOfSum(sum, kIndexSlots)];
}

void AppendHit(int record, std::string& result) {
  result += WordTable[record].Text;
  result += ',';
  result += WordTable[record].Category;
  result += "\r\n";
}

unsigned char ByteAt(const std::string& text, int position) {
  return static_cast<unsigned char>(text[position - 1]);
}

// The candidates starting at 1-based position p: i bytes for i = 2, 3, ...
// while p + i - 1 < L, a candidate whose last byte is a lead byte taking
// the following byte too.
void ScanFrom(const std::string& text, int p, std::string& result) {
  const int length = static_cast<int>(text.size());
  const std::string_view bytes(text);
  int64_t sum = 0;
  int summed = 0;
  for (int i = 2; p + i - 1 < length; ++i) {
    if (IsModeLeadByte(ByteAt(text, p + i - 1))) ++i;
    if (i > WordLookups.longest) return;
    while (summed < i) sum += ByteAt(text, p + summed++);
    if (!MayBeWord(i, sum)) continue;
    const int record = FindWordBytes(bytes.substr(p - 1, i));
    if (record != 0) AppendHit(record, result);
  }
}

}  // namespace

std::string WordsInText(const std::string& text) { return WordsInTextByTrie(text); }

std::string WordsInTextStepwise(const std::string& text) {
  std::string result;
  const int length = static_cast<int>(text.size());
  for (int p = 1; p < length; ++p) {
    if (ByteAt(text, p) != '\\') ScanFrom(text, p, result);
    if (IsModeLeadByte(ByteAt(text, p))) ++p;
  }
  return result;
}
