// The trace hook over the sample ghost: the module answers the same with a
// hook installed as without, and every Begin it reports is ended.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "formula_vars.h"
#include "ghost_trace.h"
#include "random.h"
#include "scratch_dir.h"
#include "shiori.h"

namespace {

struct TCount {
  int events = 0;
  int open = 0;        // Begins not yet ended
  int mismatched = 0;  // Ends without their Begin
  std::vector<TTraceKind> begun;
};

void Count(void* context, const TTraceEvent& event) {
  TCount& count = *static_cast<TCount*>(context);
  ++count.events;
  if (event.phase == TTracePhase::Begin) count.begun.push_back(event.kind);
  if (event.phase != TTracePhase::End) return;
  if (count.begun.empty() || count.begun.back() != event.kind) {
    ++count.mismatched;
  } else {
    count.begun.pop_back();
  }
}

std::string ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

const char* const kRequests[] = {
    "GET Sentence SHIORI/2.5\r\nEvent: OnMouseDoubleClick\r\nReference0: 0\r\nReference1: head\r\n",
    "GET Sentence SHIORI/2.5\r\nEvent: OnMouseClick\r\n",
    "GET Sentence SHIORI/2.5\r\nEvent: OnMouseWheel\r\nReference0: 1\r\n",
    "GET Sentence SHIORI/2.5\r\nEvent: OnIdle\r\n",
    "GET Sentence SHIORI/2.5\r\nEvent: OnSecondChange\r\n",
    "GET Sentence SHIORI/2.5\r\nSentence: my clock broke\r\nSender: Kuro\r\nAge: 3\r\n",
    "GET Sentence SHIORI/2.5\r\n",
    "GET Word SHIORI/2.5\r\nType: \\m?\r\n",
    "TEACH SHIORI/2.4\r\nReference0: snack\r\nReference1: pie\r\n",
    "GET Status SHIORI/2.5\r\n",
    "GET String SHIORI/2.5\r\nID: homepage\r\n",
    "GET Word SHIORI/2.5\r\nSentence: my loupe is here\r\n",
    "NOTIFY OtherGhostName SHIORI/2.5\r\nGhost: Kuro\r\n",
};

// Load, the requests and unload on a fresh copy of the sample ghost, with a
// fixed seed and clock; every response, then the value file.
std::vector<std::string> Session(const TTraceHook* hook) {
  ScratchDir ghost;
  const std::filesystem::path source = std::string(SOURCE_DIR) + "/examples/ghost";
  for (const auto& entry : std::filesystem::directory_iterator(source)) {
    const std::string name = entry.path().filename().string();
    if (name == "values.dat" || entry.path().extension() == ".xdi") continue;
    std::filesystem::copy(entry.path(), ghost.path() + name,
                          std::filesystem::copy_options::recursive);
  }
  ResetModule();
  SetRandomSeed(20261209);
  const TClockReading clock{2026, 3, 1, 10, 0, 0, 0};
  SetClockOverride(&clock);
  SetTraceHook(hook);
  std::vector<std::string> answers;
  ShioriLoad(ghost.path());
  for (const char* request : kRequests) answers.push_back(ShioriRequest(request));
  ShioriUnload();
  answers.push_back(ReadAll(ghost.path() + "values.dat"));
  ResetModule();
  return answers;
}

}  // namespace

TEST(TraceHook, AnswersAreTheSameWithAHookAndItsScopesNest) {
  const std::vector<std::string> plain = Session(nullptr);
  TCount count;
  const TTraceHook hook{Count, &count};
  EXPECT_EQ(Session(&hook), plain);
  EXPECT_GT(count.events, 100);
  EXPECT_EQ(count.mismatched, 0);
  EXPECT_TRUE(count.begun.empty());
  EXPECT_EQ(TraceHook, nullptr);  // ResetModule removes it
}
