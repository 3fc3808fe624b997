// The library boundary: host blocks and attach order in the core, then the
// three exports of libshiori.so, each scenario in a freshly started process
// because the module's state is process-wide.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "fileutl.h"
#include "formula_search.h"
#include "formula_values.h"
#include "nsdic.h"
#include "shiori.h"

#ifndef SHIORI_LIBRARY_PATH
#error "SHIORI_LIBRARY_PATH must name the built libshiori.so"
#endif

namespace {

const std::string kVersionOk = "SHIORI/2.5 200 OK\r\nCharset: Shift_JIS\r\n";
const std::string kBadRequest = "SHIORI/2.5 400 Bad Request\r\n";

// A block as the host allocates it; the module takes ownership.
char* HostBlock(const std::string& bytes) {
  char* block = static_cast<char*>(std::malloc(bytes.size() + 1));
  std::memcpy(block, bytes.data(), bytes.size());
  block[bytes.size()] = '\0';
  return block;
}

}  // namespace

// ---- Host blocks and attach order (static core) -------------------------------

TEST(HostBlocks, FromHostBufferCopiesAtMostLengthBytes) {
  EXPECT_EQ(FromHostBuffer(HostBlock("GET Version"), 11), "GET Version");
  EXPECT_EQ(FromHostBuffer(HostBlock("GET Version"), 3), "GET");
  EXPECT_EQ(FromHostBuffer(HostBlock(std::string("ab\0cd", 5)), 5), "ab");
  EXPECT_EQ(FromHostBuffer(HostBlock("abc"), 0), "");
  EXPECT_EQ(FromHostBuffer(HostBlock("abc"), -1), "");
  EXPECT_EQ(FromHostBuffer(HostBlock("abc"), -2147483647L), "");
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
            "SHIORI/2.5 200 OK\r\nCharset: UTF-8\r\n");

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

struct TResponse {
  std::string text;     // the `length` bytes of the block
  long length = -1;     // as written back by request
  bool nul_ended = false;
  bool returned = false;
};

struct TShioriLibrary {
  void* handle = nullptr;
  int (*load)(char*, long) = nullptr;
  char* (*request)(char*, long*) = nullptr;
  int (*unload)() = nullptr;

  bool Open() {
    handle = dlopen(SHIORI_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return false;
    load = reinterpret_cast<int (*)(char*, long)>(dlsym(handle, "load"));
    request = reinterpret_cast<char* (*)(char*, long*)>(dlsym(handle, "request"));
    unload = reinterpret_cast<int (*)()>(dlsym(handle, "unload"));
    return load && request && unload;
  }

  int Load(const std::string& directory) {
    return load(HostBlock(directory), static_cast<long>(directory.size()));
  }

  // Sends `bytes` announcing `length` bytes (the whole text by default).
  TResponse Request(const std::string& bytes, long length) {
    TResponse response;
    response.length = length;
    char* block = request(HostBlock(bytes), &response.length);
    response.returned = block != nullptr;
    if (block == nullptr || response.length < 0) return response;
    response.text.assign(block, static_cast<size_t>(response.length));
    response.nul_ended = block[response.length] == '\0';
    std::free(block);
    return response;
  }
  TResponse Request(const std::string& bytes) {
    return Request(bytes, static_cast<long>(bytes.size()));
  }
};

// Checks made in the child process; the parent sees the exit status and,
// on failure, these messages.
struct TChildChecks {
  int failures = 0;

  void Equal(const std::string& actual, const std::string& expected, int line) {
    if (actual == expected) return;
    std::fprintf(stderr, "line %d: got [%s] expected [%s]\n", line, Escaped(actual).c_str(),
                 Escaped(expected).c_str());
    ++failures;
  }
  void True(bool condition, const char* what, int line) {
    if (condition) return;
    std::fprintf(stderr, "line %d: not true: %s\n", line, what);
    ++failures;
  }
  static std::string Escaped(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, c < 0x20 || c > 0x7E ? "\\x%02X" : "%c", c);
      out += buffer;
    }
    return out;
  }
};

#define CHILD_EQ(actual, expected) checks.Equal((actual), (expected), __LINE__)
#define CHILD_TRUE(condition) checks.True((condition), #condition, __LINE__)

using TScenario = void (*)(TShioriLibrary&, TChildChecks&);

// Runs in the child: a process that has never loaded the library before.
// Exits normally so that leak checkers of sanitised builds run.
[[noreturn]] void RunInFreshModule(TScenario scenario) {
  TShioriLibrary library;
  if (!library.Open()) {
    std::fprintf(stderr, "cannot open %s: %s\n", SHIORI_LIBRARY_PATH, dlerror());
    std::exit(2);
  }
  TChildChecks checks;
  scenario(library, checks);
  std::fflush(stderr);
  std::exit(checks.failures == 0 ? 0 : 1);
}

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
    const TResponse version = library.Request("GET Version SHIORI/2.5\r\nSender: test\r\n\r\n");
    CHILD_EQ(version.text, kVersionOk);
    CHILD_TRUE(version.length == static_cast<long>(kVersionOk.size()));
    CHILD_TRUE(version.nul_ended);
  });
}

TEST_F(Exports, LoadRequestUnload) {
  EXPECT_IN_FRESH_MODULE([](TShioriLibrary& library, TChildChecks& checks) {
    CHILD_TRUE(library.Load(std::string(SOURCE_DIR) + "/examples/ghost/") == 1);
    CHILD_TRUE(library.Load("") == 1);
    CHILD_EQ(library.Request("GET Version SHIORI/2.5\r\n").text, kVersionOk);
    CHILD_EQ(library.Request("HELLO SHIORI/2.5\r\nSender: test\r\n\r\n").text, kBadRequest);
    CHILD_EQ(library.Request("GET Status\r\n").text, kBadRequest);
    CHILD_TRUE(library.unload() == 1);
    const TResponse after = library.Request("GET Version SHIORI/2.5\r\n");
    CHILD_EQ(after.text, kVersionOk);
    CHILD_TRUE(after.nul_ended);
  });
}

TEST_F(Exports, LengthAndNulBoundTheRequest) {
  EXPECT_IN_FRESH_MODULE([](TShioriLibrary& library, TChildChecks& checks) {
    const std::string request = "GET Version SHIORI/2.5\r\n";
    CHILD_EQ(library.Request(request, 13).text, kVersionOk);  // "GET Version S"
    CHILD_EQ(library.Request(request, 11).text, kBadRequest);  // "GET Version"
    // Without the NUL ending it, the line would be "GET Version \0SHIORI".
    CHILD_EQ(library.Request(std::string("GET Version \0SHIORI/2.5\r\n", 25)).text, kBadRequest);
    const TResponse negative = library.Request(request, -5);
    CHILD_EQ(negative.text, kBadRequest);
    CHILD_TRUE(negative.length == static_cast<long>(kBadRequest.size()));
  });
}

TEST_F(Exports, MissingLengthAddressStillAnswers) {
  EXPECT_IN_FRESH_MODULE([](TShioriLibrary& library, TChildChecks& checks) {
    char* block = library.request(HostBlock("GET Version SHIORI/2.5\r\n"), nullptr);
    CHILD_TRUE(block != nullptr);
    if (block == nullptr) return;
    CHILD_EQ(block, kBadRequest);  // no length: an empty request
    std::free(block);
  });
}

TEST(ExportedSymbols, OnlyTheThreeEntryPoints) {
  const std::string command = std::string("nm -D --defined-only ") + SHIORI_LIBRARY_PATH;
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> names;
  char line[1024];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    char name[1024];
    if (std::sscanf(line, "%*s %*s %1023s", name) == 1) names.insert(name);
  }
  ASSERT_EQ(pclose(pipe), 0);
  EXPECT_EQ(names, (std::set<std::string>{"load", "request", "unload"}));
}
