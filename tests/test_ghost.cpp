// Talk between characters: the list of other characters and the variables
// that publish it, the own name, and the hello talk addressed to one of them.
#include <gtest/gtest.h>

#include <string>

#include "formula_values.h"
#include "formula_vars.h"
#include "nsdic.h"
#include "nsdic_ghost.h"
#include "nsdic_parse.h"
#include "random.h"
#include "shiori.h"
#include "strutl.h"

namespace {

constexpr char kAbsent[] = "<absent>";

std::string Var(const std::string& name) {
  const std::string* value = FindVariable(name);
  return value ? *value : kAbsent;
}

std::string Ghost(int i) { return Var("\\ghosts[" + IntToStr(i) + "]"); }

class Ghosts : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetModule();
    SetRandomSeed(77);
  }
};

}  // namespace

TEST_F(Ghosts, ListItemsNamesAndSurfaces) {
  EXPECT_EQ(ReadGhostList("a\x01" "10\x01" "11\x02" "b\x02"), 2);
  EXPECT_EQ(GhostCount, 2);
  EXPECT_EQ(GhostNames[0], "a");
  EXPECT_EQ(Ghost(1), "a");
  EXPECT_EQ(Ghost(2), "b");
  EXPECT_EQ(Var("\\ghostcount"), "2");
  EXPECT_EQ(Var("\\surf[a].sakura"), "10");
  EXPECT_EQ(Var("\\surf[a].kero"), "11");
  EXPECT_EQ(Var("\\surf[b].sakura"), kAbsent);

  // Three fields: the first is skipped, the partner takes everything after
  // the third mark; one field alone gives no surfaces; bytes after the last
  // 0x02 are no item.
  EXPECT_EQ(ReadGhostList("c\x01x\x01" "5\x01" "6\x01" "7\x02" "d\x01only\x02" "tail"), 2);
  EXPECT_EQ(Var("\\surf[c].sakura"), "5");
  EXPECT_EQ(Var("\\surf[c].kero"), "6\x01" "7");
  EXPECT_EQ(Ghost(2), "d");
  EXPECT_EQ(Var("\\surf[d].sakura"), kAbsent);

  EXPECT_EQ(ReadGhostList("no end mark"), 0);
  EXPECT_EQ(Var("\\ghostcount"), "0");
}

TEST_F(Ghosts, ClearingDeletesTheLastListButNotTheOwnName) {
  SetOwnGhostName("Emma");
  EXPECT_EQ(OwnerName, "Emma");
  ReadGhostList("a\x01" "1\x01" "2\x02" "b\x02");
  ClearGhostVariables();
  EXPECT_EQ(Ghost(1), kAbsent);
  EXPECT_EQ(Ghost(2), kAbsent);
  EXPECT_EQ(Var("\\surf[a].sakura"), kAbsent);
  EXPECT_EQ(Var("\\surf[a].kero"), kAbsent);
  EXPECT_EQ(Ghost(0), "Emma");
  EXPECT_EQ(Var("\\ghostcount"), "2");
}

TEST_F(Ghosts, NamesBeyondTheTableAreDroppedWithoutVariables) {
  std::string list;
  for (int i = 1; i <= kGhostCapacity + 6; ++i) list += "g" + IntToStr(i) + "\x01s\x01k\x02";
  EXPECT_EQ(ReadGhostList(list), kGhostCapacity);
  EXPECT_EQ(GhostNames[kGhostCapacity - 1], "g64");
  EXPECT_EQ(Ghost(kGhostCapacity), "g64");
  EXPECT_EQ(Ghost(kGhostCapacity + 1), kAbsent);
  EXPECT_EQ(Var("\\surf[g65].sakura"), kAbsent);
  EXPECT_EQ(Var("\\ghostcount"), "64");
  ClearGhostVariables();
  EXPECT_EQ(Ghost(1), kAbsent);
  EXPECT_EQ(Var("\\surf[g64].kero"), kAbsent);
}

TEST_F(Ghosts, HelloTalkIsAddressedExpandedAndFollowsRedirections) {
  ParseDictionary(
      "\r\n\\hl,Ann,\\helloto[Zoe]Hi %ghostname of %ghostcount\r\n"
      "\\hl,Ben,Dear %ghostname \\helloto[open\r\n"
      "\\hl,Cy,@OnGreet\r\n"
      "@OnGreet,Greetings %sender %sentence.\r\n");
  std::string list = "Ann\x02";
  EXPECT_EQ(TalkToOtherGhost("host", list), "Hi Zoe of 1");
  EXPECT_EQ(list, "Zoe");

  // A tag without "]" stays and does not change the target.
  list = "Ben\x02";
  EXPECT_EQ(TalkToOtherGhost("host", list), "Dear Ben \\helloto[open");
  EXPECT_EQ(list, "Ben");
  // The redirected event still sees the list as the sentence; afterwards
  // the context no longer holds it.
  list = "Cy\x02";
  EXPECT_EQ(TalkToOtherGhost("host", list), "Greetings host Cy\x02.");
  EXPECT_EQ(CurrentTalk.EventName, "OnGreet");
  EXPECT_EQ(CurrentTalk.IncomingSentence, "");

  // No character listed: the target is the first name left by the last list.
  list = "";
  EXPECT_EQ(TalkToOtherGhost("host", list), "");
  EXPECT_EQ(list, "Cy");
  EXPECT_EQ(CurrentTalk.EventName, "ToOtherCall");
  EXPECT_EQ(Var("\\ghostcount"), "0");
}
