// Crash safety of the value file "values.dat": a child process saves values
// in a loop through the formula built-in "_save" and is killed with SIGKILL at
// random moments. After every kill the file must be complete: each key is
// there exactly once and holds either the value it had before the save that
// was running or the value that save wrote.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <random>
#include <string>
#include <thread>

#include "fileutl.h"
#include "formula.h"
#include "formula_search.h"
#include "nsdic.h"
#include "scratch_dir.h"

namespace {

constexpr int kKeys = 6;
constexpr int kKills = 40;

std::string KeyName(int key) { return "key" + std::to_string(key); }

// The value a key holds in one generation: long enough that a write takes a
// while, and shaped so that a cut-off or mixed-up value cannot pass for
// another generation's.
std::string ValueOf(int key, long generation) {
  const std::string mark = std::to_string(generation);
  const size_t fill = 300 + static_cast<size_t>((generation * 37 + key * 11) % 400);
  return "g" + mark + "_" + std::string(fill, static_cast<char>('a' + key)) + "_" + mark;
}

// Saves generation after generation, every key in order, until killed.
[[noreturn]] void SaveForever(long generation) {
  for (;; ++generation)
    for (int key = 0; key < kKeys; ++key)
      Assign("\\_save", KeyName(key) + " " + ValueOf(key, generation));
}

// Reads a whole value file into key -> generation. Fails the test when the
// file is not complete lines "key,value" CR LF of known keys, each once, each
// value exactly one generation's.
std::map<int, long> ReadGenerations(const std::string& content) {
  std::map<int, long> generations;
  size_t start = 0;
  while (start < content.size()) {
    const size_t end = content.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "last line without CR LF: " << content.substr(start, 60);
      break;
    }
    const std::string line = content.substr(start, end - start);
    start = end + 2;
    const size_t comma = line.find(',');
    const std::string key_name = line.substr(0, comma);
    const int key = key_name.size() > 3 ? std::atoi(key_name.c_str() + 3) : -1;
    const std::string value = comma == std::string::npos ? "" : line.substr(comma + 1);
    const long generation = value.size() > 1 ? std::atol(value.c_str() + 1) : -1;
    if (key < 0 || key >= kKeys || KeyName(key) != key_name || value != ValueOf(key, generation)) {
      ADD_FAILURE() << "broken line: " << line.substr(0, 60);
      continue;
    }
    if (!generations.emplace(key, generation).second) ADD_FAILURE() << "key twice: " << key_name;
  }
  return generations;
}

// The file a crash may leave: keys 0..j at generation G and the others at
// G - 1 (the saves run in key order). Gives G; fails the test otherwise.
long CheckConsistent(const std::map<int, long>& generations) {
  EXPECT_EQ(static_cast<int>(generations.size()), kKeys) << "a key was lost";
  long newest = 0;
  for (const auto& entry : generations) newest = std::max(newest, entry.second);
  bool older_seen = false;
  for (const auto& [key, generation] : generations) {
    if (generation == newest - 1) {
      older_seen = true;
    } else {
      EXPECT_EQ(generation, newest) << "key " << key << " is neither old nor new";
      EXPECT_FALSE(older_seen) << "key " << key << " is newer than a key saved before it";
    }
  }
  return newest;
}

void SleepMicroseconds(long micros) {
  std::this_thread::sleep_for(std::chrono::microseconds(micros));
}

class ValueFileCrash : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetCharset();
    ResetFormula();
    ResetStore();
    ResetFileUtl();
    SetBaseDirectory(dir_.path());
    ASSERT_FALSE(dir_.path().empty());
  }
  std::string ValueFile() const { return dir_.path() + "values.dat"; }

  ScratchDir dir_;
};

TEST_F(ValueFileCrash, EveryKillLeavesEachKeyWithItsOldOrNewValue) {
  for (int key = 0; key < kKeys; ++key) Assign("\\_save", KeyName(key) + " " + ValueOf(key, 0));
  const unsigned seed = std::random_device{}();
  std::mt19937 draw(seed);
  // Kills spread from right after the start to a few whole generations in.
  std::uniform_int_distribution<long> delay_us(0, 60000);
  SCOPED_TRACE("random seed " + std::to_string(seed));

  long generation = CheckConsistent(ReadGenerations(ReadWholeFile(ValueFile())));
  const long first = generation;
  for (int kill_round = 0; kill_round < kKills; ++kill_round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) SaveForever(generation);  // resumes the interrupted generation
    SleepMicroseconds(delay_us(draw));
    ASSERT_EQ(kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child ended by itself";

    const long now = CheckConsistent(ReadGenerations(ReadWholeFile(ValueFile())));
    EXPECT_GE(now, generation) << "a finished save was undone";
    if (testing::Test::HasFailure()) return;
    generation = now;
  }
  EXPECT_GT(generation, first) << "the children never completed a generation";

  // The module reads back what the last child left.
  for (int key = 0; key < kKeys; ++key) {
    const std::string loaded = Assign("\\_load", KeyName(key));
    EXPECT_TRUE(loaded == ValueOf(key, generation) || loaded == ValueOf(key, generation - 1))
        << KeyName(key);
  }
}

}  // namespace
