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
#include "formula_vars.h"
#include "shiori.h"

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

// The saves done so far: every key of generations 1 .. G - 1, then keys
// 0 .. k - 1 of generation G; counted as G * kKeys + k.
long SavesDone(long generation, int key) { return generation * kKeys + key; }

// Saves key after key, generation after generation, from save number
// `done` on, until killed.
[[noreturn]] void SaveForever(long done) {
  for (;; ++done) {
    const int key = static_cast<int>(done % kKeys);
    Assign("\\_save", KeyName(key) + " " + ValueOf(key, done / kKeys));
  }
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

// The file a crash may leave: keys 0 .. k - 1 at generation G and the
// others at G - 1, since the saves run in key order. Gives the number of
// saves it shows; fails the test for any other file.
long CheckConsistent(const std::map<int, long>& generations) {
  EXPECT_EQ(static_cast<int>(generations.size()), kKeys) << "a key was lost";
  long newest = 0;
  for (const auto& entry : generations) newest = std::max(newest, entry.second);
  int at_newest = 0;
  bool older_seen = false;
  for (const auto& [key, generation] : generations) {
    if (generation == newest - 1) {
      older_seen = true;
    } else {
      EXPECT_EQ(generation, newest) << "key " << key << " is neither old nor new";
      EXPECT_FALSE(older_seen) << "key " << key << " is newer than a key saved before it";
      ++at_newest;
    }
  }
  return at_newest == kKeys ? SavesDone(newest + 1, 0) : SavesDone(newest, at_newest);
}

void SleepMicroseconds(long micros) {
  std::this_thread::sleep_for(std::chrono::microseconds(micros));
}

class ValueFileCrash : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetModule();
    SetBaseDirectory(dir_.path());
    ASSERT_FALSE(dir_.path().empty());
  }
  std::string ValueFile() const { return dir_.path() + "values.dat"; }

  ScratchDir dir_;
};

TEST_F(ValueFileCrash, EveryKillLeavesEachKeyWithItsOldOrNewValue) {
  for (int key = 0; key < kKeys; ++key) Assign("\\_save", KeyName(key) + " " + ValueOf(key, 1));
  const unsigned seed = std::random_device{}();
  std::mt19937 draw(seed);
  // Kills spread from right after the start to a few whole generations in.
  std::uniform_int_distribution<long> delay_us(0, 60000);
  SCOPED_TRACE("random seed " + std::to_string(seed));

  long done = CheckConsistent(ReadGenerations(ReadWholeFile(ValueFile())));
  const long first = done;
  for (int kill_round = 0; kill_round < kKills; ++kill_round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) SaveForever(done);  // goes on with the interrupted save
    SleepMicroseconds(delay_us(draw));
    ASSERT_EQ(kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child ended by itself";

    const long now = CheckConsistent(ReadGenerations(ReadWholeFile(ValueFile())));
    EXPECT_GE(now, done) << "a finished save was undone";
    if (testing::Test::HasFailure()) return;
    done = now;
  }
  EXPECT_GT(done, first) << "no child finished a save";

  // The module reads back what the last child left.
  for (int key = 0; key < kKeys; ++key) {
    const long generation = (done - 1 - key) / kKeys;  // of the key's last save
    EXPECT_EQ(Assign("\\_load", KeyName(key)), ValueOf(key, generation)) << KeyName(key);
  }
}

}  // namespace
