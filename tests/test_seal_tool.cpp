// The shiori-seal command-line tool, run as a program on real files.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "decox.h"
#include "fileutl.h"

#include "scratch_dir.h"

namespace {

using Names = std::vector<std::string>;

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

class SealToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef GHOST_SEAL_TOOL
    GTEST_SKIP() << "the seal tool is not built";
#endif
    ASSERT_FALSE(dir_.path().empty());
    std::filesystem::create_directory(At("work"));
  }

  std::string At(const std::string& name) const { return dir_.path() + name; }

  // Runs the tool in the directory "work" with `args` (already quoted where
  // needed); output goes to files outside it.
  ToolRun Run(const std::string& args) const {
#ifdef GHOST_SEAL_TOOL
    const std::string command = "cd '" + At("work") + "' && '" GHOST_SEAL_TOOL "' " + args +
                                " >'" + At("out") + "' 2>'" + At("err") + "'";
    const int raw = std::system(command.c_str());
    ToolRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ReadWholeFile(At("out"));
    run.err = ReadWholeFile(At("err"));
    return run;
#else
    (void)args;
    return ToolRun();
#endif
  }

  ScratchDir dir_;
};

}  // namespace

TEST_F(SealToolTest, SealsBesideEachFileAndUnsealsToStdout) {
  std::filesystem::create_directory(At("work/dic.v2"));
  PutFile(At("work/talk.old.txt"), "one\r\ntwo");
  PutFile(At("work/dic.v2/word.txt"), "\x82\xA0\r\n");
  const ToolRun sealed = Run("seal talk.old.txt dic.v2/word.txt");
  EXPECT_EQ(sealed.status, 0) << sealed.err;
  EXPECT_EQ(Unseal(ReadWholeFile(At("work/talk.xdi"))), "one\r\ntwo\r\n");
  // The sealed-name rule applies to the file name, not its directory.
  EXPECT_EQ(Unseal(ReadWholeFile(At("work/dic.v2/word.xdi"))), "\x82\xA0\r\n");

  const ToolRun plain = Run("unseal talk.xdi");
  EXPECT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(plain.out, "one\r\ntwo\r\n");
  EXPECT_EQ(plain.err, "");
}

TEST_F(SealToolTest, HelpOnEveryCommand) {
  for (const char* args : {"--help", "-h", "seal --help", "unseal -h"}) {
    const ToolRun run = Run(args);
    EXPECT_EQ(run.status, 0) << args;
    EXPECT_NE(run.out.find("Usage: shiori-seal seal FILE..."), std::string::npos) << args;
  }
}

TEST_F(SealToolTest, BadUsageIsExplainedWithExitTwo) {
  const struct {
    const char* args;
    const char* message;
  } cases[] = {{"", "no command"},
               {"squash a.txt", "unknown command squash"},
               {"seal", "no FILE"},
               {"seal -x a.txt", "unknown option -x"},
               {"unseal", "exactly one"},
               {"unseal a.xdi b.xdi", "exactly one"}};
  for (const auto& c : cases) {
    const ToolRun run = Run(c.args);
    EXPECT_EQ(run.status, 2) << c.args;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.args << ": " << run.err;
  }
  EXPECT_EQ(ListNames(At("work")), Names{});
}

TEST_F(SealToolTest, UnusableInputsFailAndLeaveNoOutput) {
  PutFile(At("work/empty.txt"), "");
  PutFile(At("work/good.txt"), "good");
  PutFile(At("work/self.xdi"), "abc");
  std::filesystem::create_directory(At("work/taken.xdi"));
  PutFile(At("work/taken.txt"), "text");

  const ToolRun run = Run("seal missing.txt empty.txt self.xdi taken.txt good.txt");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("cannot open missing.txt"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("empty.txt is empty"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("self.xdi over itself"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("cannot write taken.xdi"), std::string::npos) << run.err;
  // The good file is still sealed; nothing else appears.
  EXPECT_EQ(ListNames(At("work")), (Names{"empty.txt", "good.txt", "good.xdi", "self.xdi",
                                          "taken.txt", "taken.xdi"}));
  EXPECT_EQ(ReadWholeFile(At("work/self.xdi")), "abc");
  EXPECT_EQ(ListNames(At("work/taken.xdi")), Names{});

  const ToolRun missing = Run("unseal nothing.xdi");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("cannot open nothing.xdi"), std::string::npos);
  EXPECT_EQ(missing.out, "");
}
