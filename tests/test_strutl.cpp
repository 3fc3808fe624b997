// Byte-string utilities: positions, prefix comparison, replacement, lines.
#include <gtest/gtest.h>

#include "strutl.h"

TEST(StrUtl, FindCharFromAndPosFrom) {
  EXPECT_EQ(FindCharFrom(1, "abcabc", 'c'), 3);
  EXPECT_EQ(FindCharFrom(4, "abcabc", 'c'), 6);
  EXPECT_EQ(FindCharFrom(7, "abcabc", 'a'), 0);
  EXPECT_EQ(FindCharFrom(1, "", 'a'), 0);
  EXPECT_EQ(PosFrom(3, "abcabc", "abc"), 4);
  EXPECT_EQ(PosFrom(5, "abcabc", "abc"), 0);
  EXPECT_EQ(PosFrom(1, "abc", ""), 1);
  EXPECT_EQ(PosFrom(4, "abc", ""), 4);
  EXPECT_EQ(PosFrom(5, "abc", ""), 0);
  EXPECT_EQ(PosFrom(1, "ab", "abc"), 0);
}

TEST(StrUtl, MatchAtStopsAtTheEnd) {
  EXPECT_FALSE(MatchAt(5, "abcabc", "abc"));
  EXPECT_TRUE(MatchAt(4, "abcabc", "abc"));
  EXPECT_TRUE(MatchAt(7, "abcabc", ""));
  EXPECT_FALSE(MatchAt(8, "abcabc", ""));
}

TEST(StrUtl, CompareHeadTreatsPrefixesAsEqual) {
  EXPECT_EQ(CompareHead("\\e", "\\", 2), 0);
  EXPECT_EQ(CompareHead("//", "/", 2), 0);
  EXPECT_EQ(CompareHead("\\id", "\\i", 3), 0);
  EXPECT_EQ(CompareHead("\\id", "\\ix", 3), 0x64 - 0x78);
  EXPECT_EQ(CompareHead("\\hl", "\\h\\s[0]", 3), 'l' - '\\');
  EXPECT_GT(CompareHead("\xE0", "a", 1), 0);  // bytes compare unsigned
}

TEST(StrUtl, ReplaceAllNeverRescansInsertedText) {
  EXPECT_EQ(ReplaceAll("aaa", "a", "aa"), "aaaaaa");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
  EXPECT_EQ(ReplaceAll("a-b-c", "-", ""), "abc");
  EXPECT_EQ(ReplaceAll("xyx", "x", "yx"), "yxyyx");
  EXPECT_EQ(ReplaceAll("a\r\nb\r\n", "\r\n", "\x02"), "a\x02" "b\x02");
}

TEST(StrUtl, TrimBlanksOnlySpacesAndTabs) {
  EXPECT_EQ(TrimBlanks(" \t a b \t "), "a b");
  EXPECT_EQ(TrimBlanks("\r\na\n"), "\r\na\n");
  EXPECT_EQ(TrimBlanks("   "), "");
  EXPECT_EQ(TrimBlanks("\x81\x40x"), "\x81\x40x");
}

TEST(StrUtl, ReadLineOverCrLf) {
  int cursor = 1;
  const std::string text = "a\r\nb\r\n";
  EXPECT_EQ(ReadLine(cursor, text), "a");
  EXPECT_EQ(cursor, 4);
  EXPECT_EQ(ReadLine(cursor, text), "b");
  EXPECT_EQ(cursor, 0);
  EXPECT_EQ(ReadLine(cursor, text), "");
  EXPECT_EQ(cursor, 0);

  cursor = 1;
  EXPECT_EQ(ReadLine(cursor, ""), "");
  EXPECT_EQ(cursor, 0);

  // A lone LF stays inside the line; the byte after a CR is dropped unseen;
  // lines are trimmed; the last line needs no CR LF.
  const std::string odd = " x\ny \rZz\r\n\tlast ";
  cursor = 1;
  EXPECT_EQ(ReadLine(cursor, odd), "x\ny");
  EXPECT_EQ(ReadLine(cursor, odd), "z");
  EXPECT_EQ(ReadLine(cursor, odd), "last");
  EXPECT_EQ(cursor, 0);
}
