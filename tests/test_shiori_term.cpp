// The terminal host on the sample ghost: scripted sessions piped into the
// built shiori-term, in a copy of examples/ghost/, checked through what it
// prints; and its command line and exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "scratch_dir.h"

namespace {

struct TRun {
  std::string output;  // standard output (standard error when `errors`)
  int status = -1;     // exit status
};

// Runs shiori-term with `arguments`, `input` on its standard input.
TRun RunTerm(const std::string& arguments, const std::string& input, bool errors = false) {
  const std::string input_path =
      std::string(BINARY_DIR) + "/shiori_term_input_" + std::to_string(getpid()) + ".txt";
  std::ofstream(input_path, std::ios::binary) << input;
  std::string command = std::string(GHOST_TERM_TOOL) + " " + arguments + " < " + input_path;
  command += errors ? " 2>&1 >/dev/null" : " 2>/dev/null";
  TRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe != nullptr) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::remove(input_path.c_str());
  return run;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// A fresh copy of the sample ghost, without files an earlier run left.
class SampleGhost {
 public:
  SampleGhost() {
    const std::string source = std::string(SOURCE_DIR) + "/examples/ghost";
    for (const auto& entry : std::filesystem::directory_iterator(source)) {
      const std::string name = entry.path().filename().string();
      if (name == "values.dat" || entry.path().extension() == ".xdi") continue;
      std::filesystem::copy(entry.path(), scratch_.path() + name,
                            std::filesystem::copy_options::recursive);
    }
  }
  const std::string& path() const { return scratch_.path(); }

 private:
  ScratchDir scratch_;
};

bool Has(const std::string& output, const std::string& text) {
  return output.find(text) != std::string::npos;
}

// UTF-8 forms of the Japanese texts of dic_nihongo.txt (Shift_JIS there).
const std::string kKonnichiwa = "\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF";
const std::string kHoo = "\xE3\x83\x9B\xE3\x83\xBC";  // the owl's "ho-"

}  // namespace

#ifdef GHOST_TERM_TOOL

TEST(ShioriTerm, ScriptedSessionOnTheSampleGhost) {
  SampleGhost ghost;
  const TRun run = RunTerm(ghost.path(),
                           "OnMouseDoubleClick 0 head\n"
                           "OnMouseDoubleClick 1\n"
                           "OnMouseDoubleClick 0 foot\n"
                           "OnKeyPress j\n"
                           "OnSecondChange\n"
                           "talk pocket watch\n"
                           "reply Kuro 3 my clock broke\n"
                           "string homepage\n"
                           "teach snack \"apple pie\"\n"
                           "external OnMouseClick\n"
                           "quit\n");
  EXPECT_EQ(run.status, 0);
  const std::string& out = run.output;
  EXPECT_TRUE(Has(out, "shiori-term: loaded " + ghost.path() +
                           " (charset Shift_JIS, translation tables on: makoto0.nft 3 entries, "
                           "makoto1.nft 3 entries)\n"));
  EXPECT_TRUE(Has(out, "Your first visit!")) << out;
  // Conditions on the references, each speaker on a line of their own.
  EXPECT_TRUE(Has(out, "shiori> OnMouseDoubleClick 0 head\n200 OK\n"
                       "  h | Hey! That's my head, not a winding key.\n"
                       "  u | Hoo hoo. Wind her up and she talks for an hour.\n"))
      << out;
  EXPECT_TRUE(Has(out, "  u | Do not touch the owl.\n  h | He pecks. Gently.\n"));
  EXPECT_TRUE(Has(out, "? Did you need something?"));  // the "nohit" talk
  // Shift_JIS talk shown as UTF-8.
  EXPECT_TRUE(Has(out, "  h | " + kKonnichiwa));
  EXPECT_TRUE(Has(out, "  u | " + kHoo));
  EXPECT_TRUE(Has(out, "shiori> OnSecondChange\n204 No Content\n") ||
              Has(out, "shiori> OnSecondChange\n200 OK\n  h | It's "));  // only on the hour
  EXPECT_TRUE(Has(out, "  h | Grandpa Ivo's pocket watch!"));
  EXPECT_TRUE(Has(out, "  Age: 4\n  h | Did someone say clock?"));
  EXPECT_TRUE(Has(out, "200 OK\n  String: https://example.org/clockwork-workshop\n"));
  EXPECT_TRUE(Has(out, "200 OK\n  h | Noted: apple pie is a kind of snack. I know 5 of those now."));
  EXPECT_TRUE(Has(out, "200 OK\n  u | Strangers may not poke us.\n"));  // denied
  EXPECT_TRUE(Has(out, "shiori> quit\nshiori-term: unloaded\n"));
  // Sealed on load, and the visit saved by OnUnload.
  EXPECT_TRUE(Exists(ghost.path() + "dic_workshop.xdi"));
  EXPECT_EQ(ReadBytes(ghost.path() + "values.dat"), "visits,1\r\n");
}

TEST(ShioriTerm, VisitCounterGrowsAcrossRuns) {
  SampleGhost ghost;
  EXPECT_TRUE(Has(RunTerm(ghost.path(), "quit\n").output, "Your first visit!"));
  const TRun second = RunTerm(ghost.path(), "vars\n");  // the end of input quits too
  EXPECT_TRUE(Has(second.output, "This is visit number 2.")) << second.output;
  EXPECT_TRUE(Has(second.output, "values.dat):\n  visits,1\n"));  // saved by the first run
  EXPECT_EQ(ReadBytes(ghost.path() + "values.dat"), "visits,2\r\n");
  const TRun third = RunTerm(ghost.path(), "");
  EXPECT_TRUE(Has(third.output, "This is visit number 3."));

  // Once sealed, the plain dictionary may go: the .xdi serves instead.
  std::filesystem::remove(ghost.path() + "dic_workshop.txt");
  const TRun sealed = RunTerm(ghost.path(), "string homepage\n");
  EXPECT_TRUE(Has(sealed.output, "  String: https://example.org/clockwork-workshop\n"));
}

TEST(ShioriTerm, OneEventRawViewAndTypedRequests) {
  SampleGhost ghost;
  const TRun event = RunTerm("--event \"OnMouseDoubleClick 1\" " + ghost.path(), "");
  EXPECT_EQ(event.status, 0);
  EXPECT_EQ(event.output.find("200 OK\n  u | Do not touch the owl.\n"), 0u) << event.output;

  const TRun raw = RunTerm("--raw --no-makoto " + ghost.path(), "string menu\n");
  EXPECT_TRUE(Has(raw.output, "SHIORI/2.5 200 OK<CR><LF>\n"
                              "String: Fix a clock<01>OnMenuFix<02>Tea break<01>OnMenuTea<02><CR><LF>\n"
                              "Charset: Shift_JIS<CR><LF>\n"
                              "<CR><LF>\n"))
      << raw.output;

  const TRun typed = RunTerm(ghost.path(),
                             "GET Version SHIORI/2.5\n\n"
                             "raw\nHELLO SHIORI/2.5\n\n"
                             "bogus\n");
  EXPECT_TRUE(Has(typed.output, "shiori> GET Version SHIORI/2.5\n200 OK\n  Charset: Shift_JIS\n"))
      << typed.output;
  EXPECT_TRUE(Has(typed.output, "shiori> raw\nraw> HELLO SHIORI/2.5\n400 Bad Request\n"));
  EXPECT_EQ(typed.status, 0);
  EXPECT_TRUE(Has(RunTerm(ghost.path(), "bogus\n", true).output, "unknown command: bogus"));
}

// The ghost's files back as they were copied: no saved values, nothing sealed.
void Forget(const SampleGhost& ghost) {
  std::filesystem::remove(ghost.path() + "values.dat");
  std::filesystem::remove(ghost.path() + "dic_workshop.xdi");
}

const char kFixed[] = "--seed 7 --clock \"2026-03-01 10:00:00\" ";

TEST(ShioriTerm, FixedSeedAndClockGiveTheSameTranscript) {
  SampleGhost ghost;
  const std::string script = "OnIdle\nOnSecondChange\nOnKeyPress j\ntalk\nOnMouseClick\nvars\n";
  const TRun first = RunTerm(kFixed + ghost.path(), script);
  Forget(ghost);
  const TRun second = RunTerm(kFixed + ghost.path(), script);
  EXPECT_EQ(first.output, second.output);
  EXPECT_EQ(first.output.find("shiori-term: seed 7\nshiori-term: clock 2026-03-01 10:00:00\n"),
            0u)
      << first.output;
  EXPECT_TRUE(Has(first.output, "shiori> OnSecondChange\n200 OK\n  h | It's 10 o'clock!"));
  // The variables live in the linked-in module: set by OnLoad and by the click.
  EXPECT_TRUE(Has(first.output, "Formula variables:\n  \\visits = 1\n  \\pokes = 1\n"))
      << first.output;
  // The seed decides: among a few seeds the free talks differ.
  std::set<std::string> transcripts;
  for (const char* seed : {"1", "2", "3", "4"}) {
    Forget(ghost);
    const std::string out = RunTerm("--seed " + std::string(seed) + " " + ghost.path(),
                                    "OnIdle\nOnIdle\ntalk\n").output;
    transcripts.insert(out.substr(out.find('\n')));
  }
  EXPECT_GT(transcripts.size(), 1u);
}

TEST(ShioriTerm, WhyListsCandidatesConditionsDrawsAndTheSentence) {
  SampleGhost ghost;
  const TRun run = RunTerm(kFixed + ghost.path(), "why\nOnMouseDoubleClick 1\nwhy\n");
  // The OnLoad talk came from load itself, with the value file read there.
  EXPECT_TRUE(Has(run.output, "shiori> why\nevent OnLoad (sender \"Self\")\n"
                              "  candidate dic_events.txt:9 if (\\_load := visits) = \"\"\n"
                              "    condition (\\_load := visits) = \"\"\n"
                              "      values.dat read visits -> \"\"\n"))
      << run.output;
  EXPECT_TRUE(Has(run.output, "      variable \\visits := \"1\"\n"));
  EXPECT_TRUE(Has(run.output,
                  "shiori> why\n"
                  "request \"GET Sentence SHIORI/2.5\" -> handler \"GET Sentence\"\n"
                  "  event OnMouseDoubleClick (sender \"shiori-term\")\n"
                  "    candidate dic_events.txt:15 if \"%ref0\" = \"0\" & \"%ref1\" = \"head\"\n"
                  "      condition \"%ref0\" = \"0\" & \"%ref1\" = \"head\"\n"
                  "        name %ref0 -> \"1\"\n"
                  "        name %ref1 -> \"\"\n"
                  "        = \"0\" (expanded: \"1\" = \"0\" & \"\" = \"head\")\n"
                  "      -> left out\n"
                  "    candidate dic_events.txt:16 if \"%ref0\" = \"0\" & \"%ref1\" = \"hand\"\n"
                  "      condition \"%ref0\" = \"0\" & \"%ref1\" = \"hand\"\n"
                  "        name %ref0 -> \"1\"\n"
                  "        name %ref1 -> \"\"\n"
                  "        = \"0\" (expanded: \"1\" = \"0\" & \"\" = \"hand\")\n"
                  "      -> left out\n"
                  "    candidate dic_events.txt:17 if \"%ref0\" = \"1\"\n"
                  "      condition \"%ref0\" = \"1\"\n"
                  "        name %ref0 -> \"1\"\n"
                  "        = \"1\" (expanded: \"1\" = \"1\")\n"
                  "      -> hit\n"
                  "    candidate dic_events.txt:18 if nohit\n"
                  "      -> fallback (nohit)\n"
                  "    hits: dic_events.txt:17; fallbacks: dic_events.txt:18\n"
                  "    draws 1-36: dic_events.txt:17, cool-down now 35 .. 0 -> taken\n"
                  "    sentence dic_events.txt:17: \\u\\s[10]Do not touch the owl.\\h\\s[5]He "
                  "pecks. Gently.\n"))
      << run.output;
  EXPECT_TRUE(Has(run.output, "    cool-down of dic_events.txt:17 set to 36\n"));
  EXPECT_TRUE(Has(run.output, "  response: 200 OK\n"));

  Forget(ghost);
  const TRun traced = RunTerm("--trace " + std::string(kFixed) + ghost.path(), "OnMouseWheel 1\n");
  EXPECT_TRUE(Has(traced.output, "  h | He pecks. Gently.\nwhy:\n  request \"GET Sentence"))
      << traced.output;
  EXPECT_TRUE(Has(traced.output, "      @: the talk of OnMouseDoubleClick instead\n"
                                 "      event OnMouseDoubleClick (sender \"shiori-term\", "
                                 "redirection 1)\n"));
}

TEST(ShioriTerm, WhyPlacesRepliesHellosStringsWordsAndFreeTalkDraws) {
  SampleGhost ghost;
  const std::string talks = "talk\ntalk\ntalk\ntalk\ntalk\ntalk\nwhy\n";
  const TRun run = RunTerm(kFixed + ghost.path(),
                           "reply Kuro 3 my clock broke\nwhy\nothers Kuro\nwhy\n"
                           "string homepage\nwhy\nword \\tool\nwhy\n" + talks);
  EXPECT_TRUE(Has(run.output, "  reply to \"my clock broke\" (sender \"Kuro\")\n"
                              "    candidate dic_friends.txt:7 if clock\n"))
      << run.output;
  EXPECT_TRUE(Has(run.output, "    candidate dic_friends.txt:8 if owl\n      condition owl\n"
                              "        = \"owl\" (expanded: owl)\n      -> left out\n"));
  EXPECT_TRUE(Has(run.output, "    drawn once, cool-downs not used: dic_friends.txt:7 -> taken\n"
                              "    sentence dic_friends.txt:7: "));
  EXPECT_TRUE(Has(run.output, "  hello to \"Kuro\" (sender \"shiori-term\")\n"));
  EXPECT_TRUE(Has(run.output, "    sentence dic_friends.txt:18: \\helloto[Kuro]\\h\\s[0]Kuro!"));
  EXPECT_TRUE(Has(run.output, "  string \"homepage\" from dic_workshop.txt:20: https://"));
  EXPECT_TRUE(Has(run.output, "  word of the category \\tool\n"
                              "    -> \"soft brush\" from dic_words.txt:8\n"));
  EXPECT_TRUE(Has(run.output, "    draw 2: dic_talk.txt:21, cool-down now 74 -> passed over, "
                              "still resting\n    draws 3-8: dic_events.txt:27 (event), "));
  EXPECT_TRUE(Has(run.output, "    draw 9: dic_talk.txt:9, cool-down now 0 -> taken\n"));
}

TEST(ShioriTerm, RecordedSessionReplaysTheSame) {
  SampleGhost ghost;
  const std::string record = ghost.path() + "session.txt";
  const TRun recorded = RunTerm("--record " + record + " " + ghost.path(),
                                "OnIdle\ntalk\nraw\nGET Version SHIORI/2.5\n\nOnKeyPress j\n");
  const std::string file = ReadBytes(record);
  EXPECT_EQ(file.find("# "), 0u);
  EXPECT_TRUE(Has(file, "\nseed ") && Has(file, "\nclock 20"));
  EXPECT_TRUE(Has(file, "\nOnIdle\ntalk\nraw\nGET Version SHIORI/2.5\n\nOnKeyPress j\n")) << file;
  Forget(ghost);
  const TRun once = RunTerm("--replay " + record + " " + ghost.path(), "quit\n");
  Forget(ghost);
  const TRun twice = RunTerm("--replay " + record + " " + ghost.path(), "");
  EXPECT_EQ(once.output, twice.output);
  EXPECT_EQ(once.output, recorded.output);
  EXPECT_TRUE(Has(once.output, "shiori> raw\nraw> GET Version SHIORI/2.5\n200 OK\n"));
}

TEST(ShioriTerm, CommandLine) {
  const std::string ghost = std::string(SOURCE_DIR) + "/examples/ghost";
  const TRun help = RunTerm("--help", "");
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(Has(help.output, "Usage: shiori-term"));

  const TRun option = RunTerm("--loud " + ghost, "", true);
  EXPECT_EQ(option.status, 2);
  EXPECT_TRUE(Has(option.output, "unknown option: --loud"));
  EXPECT_EQ(RunTerm(ghost + " " + ghost, "", true).status, 2);
  EXPECT_EQ(RunTerm("--event", "", true).status, 2);

  const TRun directory = RunTerm(ghost + "/missing", "", true);
  EXPECT_EQ(directory.status, 1);
  EXPECT_TRUE(Has(directory.output, "no such ghost directory: " + ghost + "/missing"));
  const TRun library = RunTerm("--lib " + ghost + "/tamune.ini " + ghost, "", true);
  EXPECT_EQ(library.status, 1);
  EXPECT_TRUE(Has(library.output, "cannot load the conversation library"));
  EXPECT_EQ(RunTerm("--makoto " + ghost + "/missing " + ghost, "", true).status, 1);
  EXPECT_EQ(RunTerm("--makoto-lib /nonexistent.so " + ghost, "", true).status, 1);

  for (const char* bad : {"--seed x ", "--seed 4294967296 ", "--clock 2026-03-01 ",
                          "--clock \"2026-13-01 10:00:00\" ", "--trace --lib /x.so "}) {
    EXPECT_EQ(RunTerm(bad + ghost, "", true).status, 2) << bad;
  }
  const TRun replay = RunTerm("--replay " + ghost + "/tamune.ini " + ghost, "", true);
  EXPECT_EQ(replay.status, 1);
  EXPECT_TRUE(Has(replay.output, "no \"seed N\" line")) << replay.output;
}

#else

TEST(ShioriTerm, NotBuilt) { GTEST_SKIP() << "shiori-term is not part of this build"; }

#endif

namespace {

// The checks at load stay silent on a clean ghost; a broken one gets the
// summary and its first errors, and "check" lists every finding.
// The transcript after the seed line every session begins with.
std::string AfterSeed(const std::string& output) {
  return output.compare(0, 18, "shiori-term: seed ") == 0 ? output.substr(output.find('\n') + 1)
                                                            : output;
}

TEST(ShioriTerm, ChecksAtLoadAndOnCommand) {
  SampleGhost ghost;
  const TRun clean = RunTerm("--check " + ghost.path(), "check\n");
  EXPECT_EQ(AfterSeed(clean.output).find("shiori-term: loaded"), 0u) << clean.output;
  EXPECT_TRUE(Has(clean.output, "shiori> check\nshiori-term: check: " + ghost.path() +
                                    ": no problems\n"));
  std::ofstream(ghost.path() + "tamune.ini", std::ios::binary | std::ios::app)
      << "gone1.txt\r\ngone2.txt\r\ngone3.txt\r\ngone4.txt\r\n";
  EXPECT_FALSE(Has(RunTerm(ghost.path(), "").output, "check:"));  // scripted: no checks
  const TRun broken = RunTerm("--check " + ghost.path(), "check\n");
  EXPECT_EQ(AfterSeed(broken.output).find("shiori-term: check: " + ghost.path() +
                               ": 4 errors (\"check\" shows them all)\n  " + ghost.path() +
                               "tamune.ini:13:1: error: the dictionary gone1.txt does not exist "
                               "[L002]\n"),
            0u)
      << broken.output;
  EXPECT_FALSE(Has(broken.output, "  " + ghost.path() + "tamune.ini:16:1"));
  EXPECT_TRUE(Has(broken.output, "\n" + ghost.path() + "tamune.ini:16:1: error:"));
}

}  // namespace
