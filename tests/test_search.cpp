// Charset setting, character-aware searches, splitters and the ordered
// name/value list.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "formula_search.h"
#include "shiori.h"

namespace {

class Search : public ::testing::Test {
 protected:
  void SetUp() override { ResetModule(); }
  void TearDown() override { ResetModule(); }
};

using Pairs = std::vector<std::pair<std::string, std::string>>;

std::vector<std::string> Names(const TNameList& list) {
  std::vector<std::string> names;
  for (const auto& pair : NameListPairs(list)) names.push_back(pair.first);
  return names;
}

}  // namespace

TEST_F(Search, CharsetFlagFollowsTheExactName) {
  EXPECT_EQ(CharsetName(), "Shift_JIS");
  EXPECT_TRUE(ShiftJisMode());
  SetCharset("shift_jis");
  EXPECT_EQ(CharsetName(), "shift_jis");
  EXPECT_FALSE(ShiftJisMode());
  SetCharset("Shift_JIS");
  EXPECT_TRUE(ShiftJisMode());
  SetCharset("UTF-8");
  ResetModule();
  EXPECT_EQ(CharsetName(), "Shift_JIS");
  EXPECT_TRUE(ShiftJisMode());
}

TEST_F(Search, LeadByteRulesDifferByFlag) {
  EXPECT_TRUE(IsLeadByte(0x83));
  EXPECT_TRUE(IsModeLeadByte(0x83));
  EXPECT_FALSE(IsLeadByte(0x7F));
  EXPECT_FALSE(IsLeadByte(0xA0));
  EXPECT_FALSE(IsModeLeadByte(0xDF));
  SetCharset("EUC-JP");
  EXPECT_FALSE(IsLeadByte(0x83));
  EXPECT_TRUE(IsLeadByte(0xE0));
  EXPECT_TRUE(IsLeadByte(0xFF));
  EXPECT_FALSE(IsModeLeadByte(0xE0));
  EXPECT_FALSE(IsModeLeadByte(0x83));
}

TEST_F(Search, TrailByteNeverStartsAMatch) {
  const std::string soft = "\x83\\";  // trail byte is a backslash
  const std::string hard = "\xE0\\";
  EXPECT_EQ(FindFirst("\\", soft), 0);
  EXPECT_EQ(FindFirstUnquoted("\\", soft), 0);
  EXPECT_EQ(FindLastUnquoted("\\", soft), 0);
  EXPECT_EQ(FindFirst("\\", "a" + soft + "\\"), 4);
  SetCharset("other");
  EXPECT_EQ(FindFirst("\\", soft), 2);
  EXPECT_EQ(FindFirstUnquoted("\\", soft), 2);
  EXPECT_EQ(FindLastUnquoted("\\", soft), 2);
  EXPECT_EQ(FindFirst("\\", hard), 0);
  EXPECT_EQ(FindFirstUnquoted("\\", hard), 2);
  EXPECT_EQ(FindLastUnquoted("\\", hard), 2);
}

TEST_F(Search, FindFirstBasics) {
  EXPECT_EQ(FindFirst("b", "abcb"), 2);
  EXPECT_EQ(FindFirst("cb", "abcb"), 3);
  EXPECT_EQ(FindFirst("bcd", "abc"), 0);
  EXPECT_EQ(FindFirst("", "abc"), 1);
  EXPECT_EQ(FindFirst("", ""), 0);
  EXPECT_EQ(FindFirst("\"", "a\"b"), 2);  // quotes mean nothing here
  int position = -1;
  EXPECT_FALSE(TryFindFirst("z", "abc", position));
  EXPECT_EQ(position, 0);
  EXPECT_TRUE(TryFindFirst("c", "abc", position));
  EXPECT_EQ(position, 3);
  // A lead byte as the last byte steps past the end without reading it.
  EXPECT_EQ(FindFirst("x", "ab\x83"), 0);
}

TEST_F(Search, QuotesHideTheirContents) {
  EXPECT_EQ(FindLastUnquoted("+", "\"a+b\" + c"), 7);
  EXPECT_EQ(FindLastUnquoted("+", "\"a+b\""), 0);
  EXPECT_EQ(FindFirstUnquoted(" ", "\"a b\" c"), 6);
  EXPECT_EQ(FindFirstUnquoted("+", "1 + \"2+3"), 3);
  EXPECT_EQ(FindLastUnquoted("+", "1 + \"2+3"), 3);  // unclosed quote hides the rest
  EXPECT_EQ(FindFirstUnquoted("\"b", "a\"b\""), 2);  // matches at an opening quote
  EXPECT_EQ(FindLastUnquoted("\"", "a\"b\"c"), 2);   // the closing one lies inside
  int position = -1;
  EXPECT_TRUE(TryFindLastUnquoted("-", "1-2-3", position));
  EXPECT_EQ(position, 4);
  EXPECT_FALSE(TryFindLastUnquoted("-", "\"1-2\"", position));
  EXPECT_EQ(position, 0);
  // With the flag on, a quote byte as a trail byte does not flip the state.
  EXPECT_EQ(FindFirstUnquoted("+", "\x83\"+"), 3);
  SetCharset("other");
  EXPECT_EQ(FindFirstUnquoted("+", "\x83\"+"), 0);
}

TEST_F(Search, SplitAtTrimsInEveryMode) {
  std::string text = " a , b , c ";
  EXPECT_EQ(SplitAt(text, ",", TSplitMode::LastUnquoted), "a , b");
  EXPECT_EQ(text, "c");
  text = " a , b , c ";
  EXPECT_EQ(SplitAt(text, ",", TSplitMode::First), "a");
  EXPECT_EQ(text, "b , c");
  text = " \"x,y\" , z ";
  EXPECT_EQ(SplitAt(text, ",", TSplitMode::FirstUnquoted), "\"x,y\"");
  EXPECT_EQ(text, "z");
  text = " \"x,y\" , z ";
  EXPECT_EQ(SplitAt(text, ",", TSplitMode::Plain), "\"x");
  EXPECT_EQ(text, "y\" , z");
  text = "\tp + q\t";
  EXPECT_EQ(SplitAtLast(text, "+"), "p");
  EXPECT_EQ(text, "q");
}

TEST_F(Search, SplitAtEdges) {
  std::string text = " abc ";
  EXPECT_EQ(SplitAt(text, ";", TSplitMode::First), "abc");
  EXPECT_EQ(text, "");
  text = "";
  EXPECT_EQ(SplitAt(text, ",", TSplitMode::First), "");
  EXPECT_EQ(text, "");
  text = " a,b ";
  EXPECT_EQ(SplitAt(text, "", TSplitMode::First), "");
  EXPECT_EQ(text, " a,b ");  // untouched, not even trimmed
  text = "a,";
  EXPECT_EQ(SplitAt(text, ",", TSplitMode::First), "a");
  EXPECT_EQ(text, "");
  text = "a::b";
  EXPECT_EQ(SplitAt(text, "::", TSplitMode::FirstUnquoted), "a");
  EXPECT_EQ(text, "b");
}

TEST_F(Search, CommaFieldAndPadding) {
  std::string text = "2024,1";
  EXPECT_EQ(TakeCommaField(text), "2024");
  EXPECT_EQ(text, "1");
  EXPECT_EQ(TakeCommaField(text), "1");
  EXPECT_EQ(text, "");
  EXPECT_EQ(TakeCommaField(text), "");
  text = " a , b";
  EXPECT_EQ(TakeCommaField(text), " a ");
  EXPECT_EQ(text, " b");
  EXPECT_EQ(PadTwo("5"), "05");
  EXPECT_EQ(PadTwo("12"), "12");
  EXPECT_EQ(PadTwo(""), "");
}

TEST_F(Search, TakeFieldUnescapesOnlyBeforeTheSeparator) {
  std::string text = "  a\\,b , c\\,d , e ";
  EXPECT_EQ(TakeField(text), "a,b");
  EXPECT_EQ(text, "c\\,d , e");
  text = "x\\,y";
  EXPECT_EQ(TakeField(text), "x,y");
  EXPECT_EQ(text, "");
  text = "last,";
  EXPECT_EQ(TakeField(text), "last");
  EXPECT_EQ(text, "");
  text = "   ";
  EXPECT_EQ(TakeField(text), "");
  EXPECT_EQ(text, "");
  text = "a\\";
  EXPECT_EQ(TakeField(text), "a\\");
}

TEST_F(Search, TakeFieldSkipsTrailBytes) {
  // 0x83 0x5C followed by ",": with the flag on the backslash is a trail
  // byte, so the comma separates; with it off the pair "\," is unescaped.
  std::string text = "\x83\\,b";
  EXPECT_EQ(TakeField(text), "\x83\\");
  EXPECT_EQ(text, "b");
  SetCharset("other");
  text = "\x83\\,b";
  EXPECT_EQ(TakeField(text), "\x83,b");
  EXPECT_EQ(text, "");
  text = "\xE0\\,b";  // 0xE0 leads whatever the flag
  EXPECT_EQ(TakeField(text), "\xE0\\");
  EXPECT_EQ(text, "b");
  text = "\xE0,b";  // and hides a comma as its trail byte
  EXPECT_EQ(TakeField(text), "\xE0,b");
}

// The view form must give exactly the fields and the rests of repeated
// TakeField, over texts made of the bytes that matter: blanks, commas,
// backslashes, lead bytes and ordinary letters, with the flag on and off.
TEST_F(Search, TakeFieldViewGivesTheFieldsOfTakeField) {
  const char alphabet[] = {' ', '\t', ',', '\\', 'a', 'b', '\x83', '\xE0', '\x5C'};
  unsigned seed = 12345;
  for (int round = 0; round < 4000; ++round) {
    SetCharset(round % 2 ? "Shift_JIS" : "UTF-8");
    std::string text;
    const int length = round % 17;
    for (int i = 0; i < length; ++i) {
      seed = seed * 1103515245u + 12345u;
      text += alphabet[(seed >> 16) % sizeof alphabet];
    }
    std::string rest = text;
    std::string_view view = text;
    std::string unescaped;
    for (int field = 0; field < 20; ++field) {
      const std::string expected = TakeField(rest);
      ASSERT_EQ(TakeFieldView(view, unescaped), expected) << "text: " << text;
      ASSERT_EQ(view, rest) << "text: " << text;
    }
  }
}

TEST(NameList, OrderLongestThenLatest) {
  TNameList list;
  NameListPut("\\ab", "1", list);
  NameListPut("\\c", "2", list);
  NameListPut("\\de", "3", list);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"\\de", "\\ab", "\\c"}));
  NameListPut("\\ab", "9", list);
  EXPECT_EQ(NameListPairs(list), (Pairs{{"\\de", "3"}, {"\\ab", "9"}, {"\\c", "2"}}));
  NameListPut("", "x", list);
  EXPECT_EQ(NameListCount(list), 3);
  NameListRemove("\\ab", list);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"\\de", "\\c"}));
  NameListRemove("\\zz", list);
  EXPECT_EQ(NameListCount(list), 2);
  NameListPut("\\ab", "new", list);  // back in, now the latest of its length
  NameListPut("\\long", "", list);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"\\long", "\\ab", "\\de", "\\c"}));
  ASSERT_NE(NameListFind("\\ab", list), nullptr);
  EXPECT_EQ(*NameListFind("\\ab", list), "new");
  EXPECT_EQ(NameListFind("\\a", list), nullptr);
  EXPECT_EQ(NameListLengths(list), (std::vector<int>{5, 3, 2}));
  NameListClear(list);
  EXPECT_EQ(NameListCount(list), 0);
  EXPECT_TRUE(NameListPairs(list).empty());
  EXPECT_TRUE(NameListLengths(list).empty());
}

TEST(NameList, StampsFollowOrderAmongEqualLengths) {
  TNameList list;
  NameListPut("\\x", "1", list);
  NameListPut("\\y", "2", list);
  uint64_t x = 0, y = 0;
  ASSERT_NE(NameListFindStamped("\\x", list, x), nullptr);
  ASSERT_NE(NameListFindStamped("\\y", list, y), nullptr);
  EXPECT_GT(y, x);  // \y stands first
  NameListPut("\\x", "3", list);
  uint64_t again = 0;
  NameListFindStamped("\\x", list, again);
  EXPECT_EQ(again, x);  // an update keeps the place
}

TEST(NameList, ManyNamesStayFastAndOrdered) {
  TNameList list;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 8192; ++i) NameListPut("\\v" + std::to_string(i), "x", list);
  for (int i = 0; i < 8192; i += 2) NameListRemove("\\v" + std::to_string(i), list);
  for (int i = 0; i < 8192; ++i) NameListPut("\\v" + std::to_string(i), "y", list);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 2000);
  EXPECT_EQ(NameListCount(list), 8192);
  const auto pairs = NameListPairs(list);
  ASSERT_EQ(pairs.size(), 8192u);
  EXPECT_EQ(pairs.front().first, "\\v8190");  // re-inserted last among length 6
  EXPECT_EQ(pairs.back().first, "\\v1");      // shortest, odd ones kept their stamps
  for (std::size_t i = 1; i < pairs.size(); ++i) {
    ASSERT_GE(pairs[i - 1].first.size(), pairs[i].first.size());
  }
}
