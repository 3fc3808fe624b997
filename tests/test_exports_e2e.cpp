// The library boundary: host blocks and attach order in the core, then the
// exports of libshiori.so, each scenario in a freshly started process
// because the module's state is process-wide.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "fileutl.h"
#include "formula_search.h"
#include "formula_values.h"
#include "nsdic.h"
#include "shiori.h"

#include "scratch_dir.h"
#include "shiori_library.h"

namespace {

// Whole messages, each ended by its empty line.
const std::string kVersionOk = "SHIORI/2.5 200 OK\r\nCharset: Shift_JIS\r\n\r\n";
const std::string kBadRequest = "SHIORI/2.5 400 Bad Request\r\n\r\n";

}  // namespace

// ---- Host blocks and attach order (static core) -------------------------------

TEST(HostBlocks, FromHostBufferCopiesAtMostLengthBytes) {
  EXPECT_EQ(FromHostBuffer(NewHostBlock("GET Version"), 11), "GET Version");
  EXPECT_EQ(FromHostBuffer(NewHostBlock("GET Version"), 3), "GET");
  EXPECT_EQ(FromHostBuffer(NewHostBlock(std::string("ab\0cd", 5)), 5), "ab");
  EXPECT_EQ(FromHostBuffer(NewHostBlock("abc"), 0), "");
  EXPECT_EQ(FromHostBuffer(NewHostBlock("abc"), -1), "");
  EXPECT_EQ(FromHostBuffer(NewHostBlock("abc"), -2147483647L), "");
  EXPECT_EQ(FromHostBuffer(nullptr, 5), "");
}

TEST(HostBlocks, ToHostBufferAddsOneNulTheLengthLeavesOut) {
  long length = -1;
  char* block = static_cast<char*>(ToHostBuffer(std::string("a\0b", 3), &length));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(length, 3);
  EXPECT_EQ(std::string(block, 4), std::string("a\0b\0", 4));
  HostFree(block);

  block = static_cast<char*>(ToHostBuffer("", &length));
  EXPECT_EQ(length, 0);
  EXPECT_EQ(block[0], '\0');
  HostFree(block);

  block = static_cast<char*>(ToHostBuffer("x", nullptr));
  EXPECT_STREQ(block, "x");
  HostFree(block);
}

TEST(HostBlocks, AttachRunsOnceUntilDetach) {
  ModuleAttach();
  ShioriLoad("/ghost/master/");
  SetCharset("UTF-8");
  PutVariable("\\kept", "1");
  OwnerName = "Emma";
  EXPECT_EQ(ModuleDirectory(), "/ghost/master/");
  EXPECT_EQ(BaseDirectory(), "/ghost/master/");
  ModuleAttach();  // already attached: nothing is reset
  EXPECT_EQ(ModuleDirectory(), "/ghost/master/");
  EXPECT_EQ(VariableCount(), 1);
  EXPECT_EQ(OwnerName, "Emma");
  EXPECT_EQ(ShioriRequest("GET Version SHIORI/2.5\r\n"),
            "SHIORI/2.5 200 OK\r\nCharset: UTF-8\r\n\r\n");

  ModuleDetach();
  EXPECT_EQ(ModuleDirectory(), "");
  EXPECT_EQ(BaseDirectory(), "");
  ModuleDetach();
  ModuleAttach();
  EXPECT_EQ(ModuleDirectory(), "");
  EXPECT_EQ(VariableCount(), 0);
  EXPECT_EQ(OwnerName, "");
  ShioriUnload();
  EXPECT_EQ(ShioriRequest("GET Version SHIORI/2.5\r\n"), kVersionOk);
}

// ---- The exports, through dlopen ------------------------------------------------

namespace {

class Exports : public ::testing::Test {
 protected:
  // Re-executes the test program for each scenario: nothing of this
  // process, the library included, is inherited by the scenario.
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

#define EXPECT_IN_FRESH_MODULE(scenario) \
  EXPECT_EXIT(RunInFreshModule(scenario), ::testing::ExitedWithCode(0), "")

}  // namespace

TEST_F(Exports, FirstCallAttachesTheModule) {
  EXPECT_IN_FRESH_MODULE([](TShioriLibrary& library, TChildChecks& checks) {
    const TResponseBlock version =
        library.Request("GET Version SHIORI/2.5\r\nSender: test\r\n\r\n");
    CHILD_EQ(version.text, kVersionOk);
    CHILD_TRUE(version.length == static_cast<long>(kVersionOk.size()));
    CHILD_TRUE(version.nul_ended);
  });
}

TEST_F(Exports, LoadRequestUnload) {
  EXPECT_IN_FRESH_MODULE([](TShioriLibrary& library, TChildChecks& checks) {
    // A copy of the sample ghost, also the working directory: loading seals
    // a dictionary beside it, and the empty directory's "OnUnload" writes
    // its value file relative to the working directory.
    const ScratchDir scratch;
    std::filesystem::copy(std::string(SOURCE_DIR) + "/examples/ghost", scratch.path(),
                          std::filesystem::copy_options::recursive);
    CHILD_TRUE(chdir(scratch.path().c_str()) == 0);
    CHILD_TRUE(library.Load(scratch.path()) == 1);
    CHILD_TRUE(library.Load("") == 1);
    CHILD_EQ(library.Request("GET Version SHIORI/2.5\r\n").text, kVersionOk);
    CHILD_EQ(library.Request("HELLO SHIORI/2.5\r\nSender: test\r\n\r\n").text, kBadRequest);
    CHILD_EQ(library.Request("GET Status\r\n").text, kBadRequest);
    CHILD_TRUE(library.unload() == 1);
    const TResponseBlock after = library.Request("GET Version SHIORI/2.5\r\n");
    CHILD_EQ(after.text, kVersionOk);
    CHILD_TRUE(after.nul_ended);
    CHILD_TRUE(chdir("/") == 0);
  });
}

TEST_F(Exports, LengthAndNulBoundTheRequest) {
  EXPECT_IN_FRESH_MODULE([](TShioriLibrary& library, TChildChecks& checks) {
    const std::string request = "GET Version SHIORI/2.5\r\n";
    CHILD_EQ(library.Request(request, 13).text, kVersionOk);  // "GET Version S"
    CHILD_EQ(library.Request(request, 11).text, kBadRequest);  // "GET Version"
    // Without the NUL ending it, the line would be "GET Version \0SHIORI".
    CHILD_EQ(library.Request(std::string("GET Version \0SHIORI/2.5\r\n", 25)).text, kBadRequest);
    const TResponseBlock negative = library.Request(request, -5);
    CHILD_EQ(negative.text, kBadRequest);
    CHILD_TRUE(negative.length == static_cast<long>(kBadRequest.size()));
  });
}

TEST_F(Exports, MissingLengthAddressStillAnswers) {
  EXPECT_IN_FRESH_MODULE([](TShioriLibrary& library, TChildChecks& checks) {
    char* block = library.request(NewHostBlock("GET Version SHIORI/2.5\r\n"), nullptr);
    CHILD_TRUE(block != nullptr);
    if (block == nullptr) return;
    CHILD_EQ(block, kBadRequest);  // no length: an empty request
    std::free(block);
  });
}

TEST_F(Exports, LoaduTakesUtf8PathsAndRefusesOtherBytes) {
  EXPECT_IN_FRESH_MODULE([](TShioriLibrary& library, TChildChecks& checks) {
    // The working directory too: a wrongly loaded empty path would write here.
    const ScratchDir scratch;
    CHILD_TRUE(chdir(scratch.path().c_str()) == 0);
    const std::string ghost = std::string(SOURCE_DIR) + "/tests/win32/ghost";
    const auto copy = std::filesystem::copy_options::recursive;
    // Each folder holds the ghost, whose load would seal a dictionary and
    // whose "OnLoad" writes the value file; its name is no UTF-8: an
    // overlong "/", a lone surrogate, a sequence cut short.
    for (const char* name : {"over\xC0\xAF", "half\xED\xA0\x80", "cut\xE3\x81"}) {
      const std::string dir = scratch.path() + name + "/";
      std::filesystem::copy(ghost, dir, copy);
      CHILD_TRUE(library.LoadUtf8(dir) == 0);
      CHILD_TRUE(!std::filesystem::exists(dir + "values.dat"));
      CHILD_TRUE(!std::filesystem::exists(dir + "dic_words.xdi"));
    }
    const std::string boot = "GET Sentence SHIORI/2.5\r\nEvent: OnBoot\r\n\r\n";
    CHILD_EQ(library.Request(boot).text.substr(0, 15), "SHIORI/2.5 204 ");

    // "ゴースト𠮷" (the last character lies outside the Basic Multilingual
    // Plane), handed over without its trailing separator.
    const std::string dir = scratch.path() + "\xE3\x82\xB4\xE3\x83\xBC\xE3\x82\xB9\xE3\x83\x88\xF0\xA0\xAE\xB7";
    std::filesystem::copy(ghost, dir, copy);
    CHILD_TRUE(library.LoadUtf8(dir) == 1);
    CHILD_TRUE(library.Request(boot).text.find("Hello Emma, I like apple.") != std::string::npos);
    library.Request("GET Sentence SHIORI/2.5\r\nEvent: OnSave\r\nReference0: 99\r\n\r\n");
    std::ifstream values(dir + "/values.dat", std::ios::binary);
    const std::string saved((std::istreambuf_iterator<char>(values)), std::istreambuf_iterator<char>());
    CHILD_TRUE(saved.find("score") != std::string::npos && saved.find("99") != std::string::npos);
    CHILD_TRUE(std::filesystem::exists(dir + "/dic_words.xdi"));
    CHILD_TRUE(chdir("/") == 0);
  });
}

TEST(ExportedSymbols, OnlyTheFourEntryPoints) {
  const std::string command = std::string("nm -D --defined-only ") + GHOST_SHIORI_LIBRARY;
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> names;
  char line[1024];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    char name[1024];
    if (std::sscanf(line, "%*s %*s %1023s", name) == 1) names.insert(name);
  }
  ASSERT_EQ(pclose(pipe), 0);
  EXPECT_EQ(names, (std::set<std::string>{"load", "loadu", "request", "unload"}));
}
