// The built-in functions through whole assignments, their fallbacks, the
// timestamp formats, and the value file on real files in a temporary
// directory.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "fileutl.h"
#include "formula.h"
#include "formula_builtin.h"
#include "formula_values.h"
#include "nsdic_words.h"
#include "shiori.h"

#include "scratch_dir.h"

namespace {

class BuiltinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetModule();
    ASSERT_FALSE(scratch_.path().empty());
    SetBaseDirectory(dir_);
  }
  void TearDown() override {
    ResetModule();
  }

  std::string ValueFile() const { return ReadWholeFile(dir_ + "values.dat"); }

  static void ExpectAll(const std::vector<std::pair<std::string, std::string>>& cases) {
    for (const auto& [formula, result] : cases) {
      EXPECT_EQ(Evaluate(formula), result) << "formula: " << formula;
    }
  }

  ScratchDir scratch_;
  const std::string dir_ = scratch_.path();
};

TEST_F(BuiltinTest, TextFunctions) {
  ExpectAll({{"\\_length := \"abc\"", "3"},
             {"\\_substr := \"hello\".2.3", "\"ell\""},
             {"\\_substr := \"hello\" 4", "\"lo\""},
             {"\\_substr := \"hello\" 0 2", "\"he\""},
             {"\\_substr := \"hello\" x 2", "\"hello\""},
             {"\\_instr := \"hello world\" \"o w\"", "5"},
             {"\\_instr := \"abc\" \"z\"", "0"},
             {"\\_replace := \"a-b-c\" \"-\" \"+\"", "\"a+b+c\""},
             {"\\_replace := \"a-b-c\" \"-\"", "\"abc\""},
             {"\\_upcase := abc", "ABC"},
             {"\\_upcase := A.B", "A.B"},
             {"\\_locase := \"MiXeD\"", "\"mixed\""},
             {"\\_nosuch := 7", "7"}});
  EXPECT_EQ(*FindVariable("\\_nosuch"), "7");
}

TEST_F(BuiltinTest, ClampsAndFallbacks) {
  EXPECT_EQ(CallBuiltin("_substr", "hello"), "\"hello\"");
  EXPECT_EQ(CallBuiltin("_substr", "\"hello\" -1 2"), "\"he\"");
  EXPECT_EQ(CallBuiltin("_substr", "\"hello\" 3 99"), "\"llo\"");
  EXPECT_EQ(CallBuiltin("_substr", "\"hello\" 6"), "\"\"");
  EXPECT_EQ(CallBuiltin("_substr", "\"hello\" 2 0"), "\"\"");
  EXPECT_EQ(CallBuiltin("_instr", "abc \"\""), "0");
  EXPECT_EQ(CallBuiltin("_instr", "abc"), "0");
  EXPECT_EQ(CallBuiltin("_replace", "abc"), "\"abc\"");
  EXPECT_EQ(CallBuiltin("_replace", "abc \"\" x"), "\"abc\"");
  EXPECT_EQ(CallBuiltin("_upcase", "\xE0z\x82\x61"), "\xE0Z\x82\x41");
  // Names are compared byte for byte; names without "_" give the argument.
  EXPECT_EQ(CallBuiltin("_LENGTH", "abc"), "abc");
  EXPECT_EQ(CallBuiltin("length", "abc"), "abc");
  // A replacement that would outgrow the formula text limit is refused.
  const std::string huge = "\"" + std::string(2000, 'a') + "\" a " + std::string(1000, 'b');
  EXPECT_EQ(CallBuiltin("_replace", huge), "#err");
}

TEST_F(BuiltinTest, Timestamps) {
  EXPECT_EQ(Evaluate("\\_timestamp := 2024,1,2,3,4,5"), "\"2024/01/02 03:04:05\"");
  EXPECT_EQ(Evaluate("\\timestamp := 2024,1,2,3,4,5"),
            "2024\x94\x4E" "1\x8C\x8E" "2\x93\xFA 3\x8E\x9E" "4\x95\xAA" "5\x95\x62");
  EXPECT_EQ(FormatTimestamp("\"2024,12,31,23,59,0\"", true), "\"2024/12/31 23:59:00\"");
  EXPECT_EQ(FormatTimestamp("7", true), "\"7// ::\"");
}

TEST_F(BuiltinTest, WordsAndVariables) {
  ExpectAll({{"\\_registword := food apple", "apple"},
             {"\\_registword := food apple", "apple"},
             {"\\_countword := food", "1"},
             {"\\_countword := drink", "0"},
             {"\\_wordtype := apple", "food"},
             {"\\_wordtype := zzz", "\"\""},
             {"\\_isval := x", "0"},
             {"\\x := 5", "5"},
             {"\\_isval := x", "1"}});
  EXPECT_EQ(CallBuiltin("_registword", "food"), "");
  EXPECT_EQ(CategoryMember("\\food", 0), 1);
}

TEST_F(BuiltinTest, SaveAndLoadValues) {
  EXPECT_EQ(Evaluate("\\_load := mykey"), "");  // no file yet
  EXPECT_EQ(Evaluate("\\_save := mykey"), "mykey");
  EXPECT_FALSE(Exists(dir_ + "values.dat"));
  EXPECT_EQ(Evaluate("\\_save := mykey 10"), "10");
  EXPECT_EQ(ValueFile(), "mykey,10\r\n");
  EXPECT_EQ(Evaluate("\\_load := mykey"), "10");
  // Saving again moves the key's line to the end.
  Evaluate("\\_save := other \"a b\"");
  Evaluate("\\_save := mykey 11");
  EXPECT_EQ(ValueFile(), "other,\"a b\"\r\nmykey,11\r\n");
  EXPECT_EQ(Evaluate("\\_load := other"), "\"a b\"");
  // An empty value removes the line.
  EXPECT_EQ(Evaluate("\\_save := other."), "");
  EXPECT_EQ(ValueFile(), "mykey,11\r\n");
  EXPECT_EQ(Evaluate("\\_load := other"), "");
}

TEST_F(BuiltinTest, KeysMatchOnlyWholeAtLineStarts) {
  Evaluate("\\_save := ab 1");
  EXPECT_EQ(Evaluate("\\_load := b"), "");
  Evaluate("\\_save := b 2");
  EXPECT_EQ(ValueFile(), "ab,1\r\nb,2\r\n");
  EXPECT_EQ(Evaluate("\\_load := ab"), "1");
  EXPECT_EQ(Evaluate("\\_load := b"), "2");
  Evaluate("\\_save := b.");
  EXPECT_EQ(ValueFile(), "ab,1\r\n");
}

TEST_F(BuiltinTest, ValueFileEdges) {
  PutFile(dir_ + "values.dat", "k,first\r\nlast,no end");
  EXPECT_EQ(CallBuiltin("_load", "k"), "first");
  EXPECT_EQ(CallBuiltin("_load", "last"), "");
  EXPECT_EQ(CallBuiltin("_save", "last 2"), "2");
  EXPECT_EQ(ValueFile(), "k,first\r\nlast,2\r\n");
  // The path is the base directory immediately followed by the file name.
  SetBaseDirectory(dir_ + "pre_");
  EXPECT_EQ(CallBuiltin("_save", "k v"), "v");
  EXPECT_EQ(ReadWholeFile(dir_ + "pre_values.dat"), "k,v\r\n");
  // A file that cannot be written is skipped; the value still comes back.
  SetBaseDirectory(dir_ + "missing/");
  EXPECT_EQ(CallBuiltin("_save", "k v"), "v");
  EXPECT_EQ(CallBuiltin("_load", "k"), "");
}

}  // namespace
