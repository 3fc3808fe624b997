// The file system refusing a write, end to end: the library loaded afresh
// in a forked child whose file size limit (RLIMIT_FSIZE, SIGXFSZ ignored, so
// a write past it fails with EFBIG) is below what the module must write.
// A _save must leave the old "values.dat" as it was and readable, sealing a
// dictionary on load must leave the plain one loaded; no temporary file may
// stay behind, and the module goes on answering.
#include <gtest/gtest.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <csignal>
#include <string>
#include <vector>

#include "decox.h"
#include "fileutl.h"

#include "scratch_dir.h"
#include "shiori_library.h"

namespace {

const std::string kOldValues = "keep,old value\r\n";
const std::string kBig(4000, 'x');  // far past every limit below

std::string Request(const std::string& event, const std::string& reference0) {
  return "GET Sentence SHIORI/2.5\r\nSender: host\r\nEvent: " + event + "\r\nReference0: " +
         reference0 + "\r\n\r\n";
}

std::string Talk(const std::string& talk) {
  return "SHIORI/2.5 200 OK\r\nSentence: " + talk + "\\e\r\nCharset: Shift_JIS\r\n\r\n";
}

// Runs `scenario` in a child that may write files of at most `limit` bytes.
template <typename TScenario>
bool WithFileSizeLimit(rlim_t limit, const TScenario& scenario) {
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{limit, limit};
    if (setrlimit(RLIMIT_FSIZE, &small) != 0) std::_Exit(3);
    RunInFreshModule(scenario);
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

constexpr uid_t kNobody = 65534;
// Where a folder for that user goes: the system's shared temporary folder,
// since $TMPDIR may be private to the user running the tests.
constexpr char kSharedTemp[] = "/tmp";

// Runs `scenario` in a child that has given up root for an unprivileged
// user, for whom file permissions hold. The library is opened first, as
// root: the build may lie in a folder that user cannot enter.
template <typename TScenario>
bool AsNobody(const TScenario& scenario) {
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    RunInFreshModule(scenario, [] {
      if (getuid() == 0 &&
          (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
        std::_Exit(3);
      }
    });
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class Disk : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(dir_.path().empty()); }
  const std::string& Dir() const { return dir_.path(); }

 private:
  ScratchDir dir_;
};

// Limits: nothing may be written at all, and a part of the new file may.
const rlim_t kLimits[] = {0, 1000};

TEST_F(Disk, RefusedSaveKeepsTheOldValueFile) {
  const std::string dir = Dir();
  PutFile(dir + "tamune.ini", "talk.txt\r\n");
  PutFile(dir + "talk.txt",
          "@OnSave,%(\\_save := big.%ref0 ; \"\")saved\r\n"
          "@OnRead,read %(\\_load := keep)\r\n");
  for (rlim_t limit : kLimits) {
    PutFile(dir + "values.dat", kOldValues);
    const std::vector<std::string> names = ListNames(dir);
    EXPECT_TRUE(WithFileSizeLimit(limit, [&](TShioriLibrary& library, TChildChecks& checks) {
      library.Load(dir);
      CHILD_EQ(library.Request(Request("OnSave", kBig)).text, Talk("saved"));
      CHILD_EQ(library.Request(Request("OnRead", "")).text, Talk("read old value"));
    })) << "limit " << limit;
    EXPECT_EQ(ReadWholeFile(dir + "values.dat"), kOldValues) << "limit " << limit;
    EXPECT_EQ(ListNames(dir), names) << "limit " << limit;
  }
  // Without a limit the same save goes through: the limit was what refused it.
  EXPECT_TRUE(WithFileSizeLimit(RLIM_INFINITY, [&](TShioriLibrary& library, TChildChecks& checks) {
    library.Load(dir);
    CHILD_EQ(library.Request(Request("OnSave", kBig)).text, Talk("saved"));
  }));
  EXPECT_EQ(ReadWholeFile(dir + "values.dat"), kOldValues + "big," + kBig + "\r\n");
}

// A value file that exists but cannot be read must not be rewritten with
// only the key being saved: every other saved value would be lost.
TEST_F(Disk, UnreadableValueFileIsNotReplaced) {
  if (getuid() != 0) GTEST_SKIP() << "needs root to hand the files to another user";
  const ScratchDir shared(kSharedTemp);
  const std::string dir = shared.path();
  ASSERT_FALSE(dir.empty());
  PutFile(dir + "tamune.ini", "talk.txt\r\n");
  PutFile(dir + "talk.txt", "@OnSave,%(\\_save := new 1 ; \"\")saved\r\n");
  PutFile(dir + "values.dat", kOldValues);
  ASSERT_EQ(chown(dir.c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(chmod((dir + "values.dat").c_str(), S_IWUSR), 0);  // writable, not readable
  ASSERT_EQ(chown((dir + "values.dat").c_str(), kNobody, kNobody), 0);
  EXPECT_TRUE(AsNobody([&](TShioriLibrary& library, TChildChecks& checks) {
    CHILD_TRUE(access(dir.c_str(), W_OK | X_OK) == 0);
    library.Load(dir);
    CHILD_EQ(library.Request(Request("OnSave", "")).text, Talk("saved"));
  }));
  EXPECT_EQ(ReadWholeFile(dir + "values.dat"), kOldValues);
  EXPECT_EQ(ListNames(dir), (std::vector<std::string>{"talk.txt", "tamune.ini", "values.dat"}));
}

TEST_F(Disk, RefusedSealLeavesThePlainDictionaryLoaded) {
  const std::string dir = Dir();
  PutFile(dir + "tamune.ini", "plain.txt,e\r\n");
  PutFile(dir + "plain.txt", kSealHeader + "\r\n@OnBoot,booted\r\n// " + kBig + "\r\n");
  const std::vector<std::string> names = ListNames(dir);
  for (rlim_t limit : kLimits) {
    EXPECT_TRUE(WithFileSizeLimit(limit, [&](TShioriLibrary& library, TChildChecks& checks) {
      library.Load(dir);
      CHILD_EQ(library.Request(Request("OnBoot", "")).text, Talk("booted"));
    })) << "limit " << limit;
    EXPECT_EQ(ListNames(dir), names) << "limit " << limit;
  }
}

}  // namespace
