// The dictionary checker: one small ghost per kind of mistake with the
// exact places and codes it must report, the sample ghost clean, nothing
// written to the ghost folder, editor buffers read instead of the disk, and
// the built tool's lines, exit statuses and Japanese messages.
#include <gtest/gtest.h>

#include <array>
#include <clocale>
#include <fstream>
#include <iterator>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "check.h"
#include "check_output.h"
#include "makoto.h"
#include "scratch_dir.h"
#include "nsdic.h"
#include "shiori.h"

namespace {

using TFiles = std::map<std::string, std::string>;

// Lines joined with CR LF, each ended by one.
std::string Dic(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// "file:line:column code" of each diagnostic.
std::vector<std::string> Places(const TCheckResult& result) {
  std::vector<std::string> out;
  for (const TCheckDiagnostic& d : result.diagnostics) {
    out.push_back(d.file + ":" + std::to_string(d.line) + ":" + std::to_string(d.column) + " " +
                  d.code);
  }
  return out;
}

TCheckResult CheckFiles(const ScratchDir& dir, const TFiles& files) {
  for (const auto& [name, bytes] : files) PutFile(dir.path() + name, bytes);
  return CheckGhost(dir.path());
}

struct TCase {
  const char* name;
  TFiles files;
  std::vector<std::string> expected;
};

// A ghost of one list file "tamune.ini" naming "a.txt" with these lines.
TFiles OneDictionary(const std::vector<std::string>& lines) {
  return {{"tamune.ini", Dic({"a.txt"})}, {"a.txt", Dic(lines)}};
}

std::vector<std::string> Repeated(const std::string& format, int n) {
  std::vector<std::string> lines;
  for (int i = 0; i < n; ++i) {
    std::string line = format;
    line.replace(line.find('#'), 1, std::to_string(i));
    lines.push_back(line);
  }
  return lines;
}

std::vector<TCase> Cases() {
  std::vector<TCase> cases = {
      {"list", {{"tamune.ini", Dic({"# list", "gone.txt", "empty.txt", "plain.txt,e", "b.txt",
                                    "b.txt", "c.txt,x", "bad.xdi"})},
                {"empty.txt", ""}, {"plain.txt", Dic({"\\e,hi"})}, {"b.txt", Dic({"\\e,b"})},
                {"c.txt", Dic({"\\e,c"})}, {"bad.xdi", "j"}},
       {"tamune.ini:2:1 L002", "tamune.ini:3:1 L003", "tamune.ini:4:1 L004",
        "tamune.ini:6:1 L005", "tamune.ini:7:1 L007", "tamune.ini:8:1 L006"}},
      {"no list", {{"a.txt", Dic({"\\e,hi"})}}, {"tamune.ini:1:1 L001"}},
      {"line ends", {{"tamune.ini", "a.txt\r\nb.txt\nc.txt\r\n"}, {"a.txt", "\\e,a\n\\e,b\n"}},
       {"tamune.ini:2:1 L008", "tamune.ini:2:1 L002", "a.txt:1:5 L009"}},
      {"CR line ends", {{"tamune.ini", Dic({"a.txt", "b.txt"})}, {"a.txt", "@OnA,a\r@OnB,b\r\n"},
                        {"b.txt", "\\e,a\r\n\\e,b\n\\e,c\r\\e,d\r\n"}},
       {"a.txt:1:7 L010", "a.txt:2:2 P001", "b.txt:2:5 L009", "b.txt:3:5 L010",
        "b.txt:4:2 P001"}},
      {"ignored lines",
       OneDictionary({"bogus line", "\\ft,word", "\\ch,\\c1,w1,\\c2", "@,talk", "*,", "",
                      "\\snack", "$,body", "Option,Frobnicate", "/* a */ b", "*/"}),
       {"a.txt:1:1 P001", "a.txt:2:1 P002", "a.txt:3:1 P003", "a.txt:4:1 P004",
        "a.txt:5:1 P005", "a.txt:7:1 P006", "a.txt:8:1 P009", "a.txt:9:1 P012",
        "a.txt:10:1 P008"}},
      {"comment and switches",
       {{"tamune.ini", Dic({"a.txt", "b.txt"})},
        {"a.txt", Dic({"Option,Charset: Shift_JIS", "Option,Charset: UTF-8",
                       "Option,NSDeclare True", "\\d[x, y", "\\e,hi", "\t# joined"})},
        {"b.txt", Dic({"\\e,b", "/* open", "\\e,never"})}},
       {"a.txt:2:1 P013", "a.txt:3:1 P014", "a.txt:4:1 P016", "a.txt:6:1 P015",
        "b.txt:2:1 P007"}},
      {"templates",
       OneDictionary({"\\snack,pie", "\\e,%snack %[nosuch] %nothing %ref0 %(\\v := 1)%v",
                      "\\e,%(1 + 2", "Option,Charset: UTF-8", "\\e,bad \xE3\x81"}),
       {"a.txt:2:11 T001", "a.txt:2:21 T003", "a.txt:3:4 T002", "a.txt:4:1 P013",
        "a.txt:5:8 T009"}},
      {"hidden system value", OneDictionary({"\\s,x", "\\e,%sender"}), {"a.txt:2:4 T004"}},
      {"redirections",
       OneDictionary({"@OnA,@OnMissing", "@OnB,@OnC", "@OnC,@OnB", "@OnSelf,@OnSelf",
                      "@OnIdle,\\a", "\\re,,@OnNone"}),
       {"a.txt:1:6 T005", "a.txt:3:6 T007", "a.txt:4:9 T008", "a.txt:5:9 T006",
        "a.txt:6:6 T005"}},
      {"events",
       OneDictionary({"@OnCond&%ref0 = \"x\",talk", "@OnNever&1 = 2,never", "@OnNever,often",
                      "// a silent event (shiori-check: ignore E001)", "@OnQuiet&%ref0 = \"y\",t",
                      "@OnExternalRequest&%ref0 = \"GET Status\",\\[deny]", "\\e,free"}),
       {"a.txt:1:1 E001", "a.txt:2:10 E002"}},
      {"slips, one a line",
       OneDictionary({"\\shiny,star", "@OnA\thello", "@OnB\x81\x43hello", "@ OnBoot,hi",
                      "@OnEmpty", "\\re,%ref0 == \"a\",c", "\\hl,%ref0 = \"a\" && %ref1 = \"b\",d",
                      "\\E,free talk", "\\e,%(\\_lenght := \"abc\")", "\\e,a %shinny star",
                      "\\e,today is %weekday", "\\re,,yes\\, indeed"}),
       {"a.txt:2:5 P017", "a.txt:3:5 P017", "a.txt:4:2 P018", "a.txt:5:1 E003",
        "a.txt:6:11 F001", "a.txt:7:17 F001", "a.txt:8:1 P019", "a.txt:9:6 F002",
        "a.txt:10:6 T003", "a.txt:11:13 T011", "a.txt:12:9 T010"}},
      {"registered at run time",
       OneDictionary({"@OnTeach,%(\\_registword := fruit.apple ; \"\")%fruit %hint0 %ghosts[1]",
                      "\\e,free"}),
       {}},
  };
  // A table of one mistake a line: the lines enciphered as the module
  // deciphers them, but where the mistake is that they are not.
  std::vector<std::string> lines;
  for (const char* plain : {"Hi,Yo", "Hi there,Hello", "Hi,again", "\\ux,y", ",empty", "no comma"}) {
    lines.push_back(makoto::EncodeLine(plain, static_cast<uint32_t>(lines.size() + 1)));
  }
  lines.push_back("Bye,See you");                            // written plain
  lines.push_back("abcdefg");                                // not in groups of five
  lines.push_back(makoto::EncodeLine("\xE3\x81\x82,a", 9));  // UTF-8 in a Shift_JIS ghost
  lines.push_back(std::string(1000, 'x'));                   // longer than a table line
  const std::string table0 = Dic(lines) + makoto::EncodeLine("ok,fine", 11);  // no break
  cases.push_back({"translation tables",
                   {{"tamune.ini", Dic({"a.txt"})}, {"a.txt", Dic({"\\e,hi"})},
                    {"makoto0.nft", table0}, {"makoto1.nft", Dic({"Hi,Yo", "Hoo,Hoo hoo"})}},
                   {"makoto0.nft:2:1 M004", "makoto0.nft:3:1 M004", "makoto0.nft:4:1 M004",
                    "makoto0.nft:5:1 M004", "makoto0.nft:6:1 M003", "makoto0.nft:7:1 M002",
                    "makoto0.nft:8:6 M002", "makoto0.nft:9:1 M001", "makoto0.nft:10:999 M002",
                    "makoto0.nft:11:10 M002", "makoto1.nft:1:1 M002"}});
  std::vector<std::string> strings = Repeated("*s#,text", 17);
  strings.push_back("+a,1");
  for (const std::string& line : Repeated("+s#,1", 16)) strings.push_back(line);
  cases.push_back({"string and status limits", OneDictionary(strings),
                   {"a.txt:17:1 C003", "a.txt:34:1 C004"}});
  std::vector<std::string> macros = Repeated("$m#,body", 257);
  cases.push_back({"macro limit", OneDictionary(macros), {"a.txt:257:1 P010"}});
  std::vector<std::string> events = Repeated("@OnE#,talk", 2049);
  events.push_back("\\e,free");
  cases.push_back({"table full", OneDictionary(events), {"a.txt:2049:1 C001"}});
  return cases;
}

TEST(Checker, ReportsEachMistakeAtItsPlace) {
  for (const TCase& c : Cases()) {
    ScratchDir dir;
    EXPECT_EQ(Places(CheckFiles(dir, c.files)), c.expected) << c.name;
  }
}

TEST(Checker, SampleGhostIsCleanAndNothingIsWritten) {
  ScratchDir dir;
  const std::string sample = std::string(SOURCE_DIR) + "/examples/ghost/";
  for (const std::string& name : ListNames(sample)) {
    if (std::filesystem::is_directory(sample + name)) continue;
    std::ifstream in(sample + name, std::ios::binary);
    PutFile(dir.path() + name, std::string(std::istreambuf_iterator<char>(in), {}));
  }
  const std::vector<std::string> before = ListNames(dir.path());
  const TCheckResult result = CheckGhost(dir.path());
  EXPECT_EQ(Places(result), std::vector<std::string>{});
  // dic_workshop.txt is listed with ",e": load would seal it; the check does not.
  EXPECT_EQ(ListNames(dir.path()), before);
  EXPECT_FALSE(result.definitions.empty());
  EXPECT_EQ(WordCount, 0);  // the core is left in its start state
}

TEST(Checker, BuffersReplaceFilesAndDefinitionsCarryOrigins) {
  ScratchDir dir;
  PutFile(dir.path() + "tamune.ini", Dic({"a.txt"}));
  PutFile(dir.path() + "a.txt", Dic({"\\e,%nothing"}));
  const TCheckResult result =
      CheckGhost(dir.path(), {{"a.txt", Dic({"", "\\fruit,apple", "@OnBoot,%fruit"})}});
  EXPECT_EQ(Places(result), std::vector<std::string>{});
  ASSERT_EQ(result.definitions.size(), 2u);
  EXPECT_EQ(result.definitions[0].kind, "word");
  EXPECT_EQ(result.definitions[0].name, "\\fruit");
  EXPECT_EQ(result.definitions[0].text, "apple");
  EXPECT_EQ(result.definitions[1].kind, "event");
  EXPECT_EQ(result.definitions[1].name, "OnBoot");
  EXPECT_EQ(result.definitions[1].origin.file, "a.txt");
  EXPECT_EQ(result.definitions[1].origin.line, 3);
}

TEST(Checker, ColumnsCountCharactersAndSealedFilesKeepTheirName) {
  ScratchDir dir;
  // "かな" is two Shift_JIS characters (four bytes) before the "%".
  PutFile(dir.path() + "tamune.ini", Dic({"a.txt"}));
  PutFile(dir.path() + "a.xdi", "");
  const std::string text = Dic({"\\e,\x82\xa9\x82\xc8%nothing"});
  const TCheckResult result = CheckGhost(dir.path(), {{"a.txt", text}});
  EXPECT_EQ(Places(result), std::vector<std::string>{"a.txt:1:6 T003"});
  EXPECT_EQ(result.diagnostics.at(0).end_column, 14);
  EXPECT_EQ(result.diagnostics.at(0).message,
            "%nothing is no category, variable or system value: it stays in the talk as "
            "written");
}

// Names keep their blanks and line breaks visible, quotes are not doubled,
// and a file in another charset is named so and counted in its own.
TEST(Checker, MessagesShowWhatIsWrong) {
  ScratchDir dir;
  const TCheckResult result = CheckFiles(
      dir, {{"tamune.ini", "a.txt\r\ngone.txt \r\nu.txt\r\nb.txt\nc.txt\r\n"},
            {"a.txt", Dic({"@OnA&\"a\" = \"b\",never", "@OnA,often"})},
            {"u.txt", Dic({"\\e,\xE3\x81\x82 %nothing"})}});
  std::vector<std::string> messages;
  for (const TCheckDiagnostic& d : result.diagnostics) messages.push_back(d.message);
  EXPECT_EQ(Places(result), (std::vector<std::string>{"tamune.ini:2:1 L002", "tamune.ini:4:1 L008",
                                                      "tamune.ini:4:1 L002", "a.txt:1:6 E002",
                                                      "u.txt:1:1 T012", "u.txt:1:6 T003"}));
  ASSERT_EQ(messages.size(), 6u);
  EXPECT_EQ(messages[0], "the dictionary gone.txt\xE2\x90\xA0 does not exist");
  EXPECT_EQ(messages[2], "the dictionary b.txt\\nc.txt does not exist");
  EXPECT_EQ(messages[3], "the condition '\"a\" = \"b\"' is a constant that never holds: the "
                         "response is never given");
  EXPECT_EQ(messages[4].substr(0, 42), "this file looks like UTF-8, not Shift_JIS:");
}

// Every message of every case has its Japanese form in the catalog.
TEST(Checker, CatalogTranslatesEveryMessage) {
  if (std::setlocale(LC_ALL, "ja_JP.UTF-8") == nullptr) GTEST_SKIP() << "no ja_JP.UTF-8 locale";
  unsetenv("LANGUAGE");
  BindCheckMessages(std::string(BINARY_DIR) + "/tools/locale");
  for (const TCase& c : Cases()) {
    std::setlocale(LC_ALL, "C");
    ScratchDir english_dir, japanese_dir;
    const TCheckResult english = CheckFiles(english_dir, c.files);
    std::setlocale(LC_ALL, "ja_JP.UTF-8");
    const TCheckResult japanese = CheckFiles(japanese_dir, c.files);
    ASSERT_EQ(english.diagnostics.size(), japanese.diagnostics.size()) << c.name;
    for (size_t i = 0; i < english.diagnostics.size(); ++i) {
      EXPECT_NE(english.diagnostics[i].message, japanese.diagnostics[i].message) << c.name;
    }
  }
  std::setlocale(LC_ALL, "C");
}

// The fuzz target's corpus replayed through the checker: each input is the
// one listed dictionary of a ghost read from memory.
TEST(Checker, ReplaysTheFuzzCorpus) {
  int inputs = 0;
  for (const char* folder : {"/fuzz/corpus/check", "/fuzz/regressions/dictionary"}) {
    for (const auto& entry : std::filesystem::directory_iterator(std::string(SOURCE_DIR) + folder)) {
      std::ifstream in(entry.path(), std::ios::binary);
      const std::string text{std::istreambuf_iterator<char>(in), {}};
      const TCheckResult result =
          CheckGhost("/nonexistent-ghost/", {{"tamune.ini", "a.txt,e\r\n"}, {"a.txt", text}});
      for (const TCheckDiagnostic& d : result.diagnostics) {
        EXPECT_FALSE(d.file.empty()) << entry.path() << " " << d.code;
        EXPECT_GE(d.line, 1) << entry.path();
        EXPECT_GE(d.end_line, d.line) << entry.path();
      }
      ++inputs;
    }
  }
  EXPECT_GT(inputs, 30);
}

// ---- The built tool -------------------------------------------------------------

struct TRun {
  std::string out;
  int status = -1;
};

TRun RunTool(const std::string& environment, const std::string& arguments) {
  TRun run;
  const std::string command =
      environment + " " + GHOST_CHECK_TOOL + " " + arguments + " 2>/dev/null";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  std::array<char, 4096> buffer{};
  size_t got;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.out.append(buffer.data(), got);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t nl = text.find('\n'); nl != std::string::npos; nl = text.find('\n', start)) {
    lines.push_back(text.substr(start, nl - start));
    start = nl + 1;
  }
  return lines;
}

TFiles SeededGhost() {
  return {{"tamune.ini", Dic({"a.txt", "gone.txt"})},
          {"a.txt", Dic({"\\e,%[nosuch]", "@OnA,@OnB", "bogus"})}};
}

TEST(CheckTool, WritesCompilerLinesAndExitsByLevel) {
  ScratchDir dir;
  for (const auto& [name, bytes] : SeededGhost()) PutFile(dir.path() + name, bytes);
  const TRun run = RunTool("LANG=C LANGUAGE=", dir.path());
  EXPECT_EQ(run.status, 1);
  const std::string d = dir.path();
  EXPECT_EQ(Lines(run.out),
            (std::vector<std::string>{
                d + "tamune.ini:2:1: error: the dictionary gone.txt does not exist [L002]",
                d + "a.txt:1:4: warning: %[nosuch] names no category \\[nosuch]: it stays in the "
                    "talk as written [T001]",
                d + "a.txt:2:6: warning: @OnB redirects to an event that has no response: the "
                    "talk is empty [T005]",
                d + "a.txt:3:1: warning: the key \"bogus\" starts no entry: the line is ignored "
                    "[P001]",
                "shiori-check: " + d + ": 1 error, 3 warnings"}));
  PutFile(dir.path() + "tamune.ini", Dic({"a.txt"}));
  EXPECT_EQ(RunTool("LANG=C", dir.path()).status, 0);
  EXPECT_EQ(RunTool("LANG=C", "--werror " + dir.path()).status, 1);
  // Notes only on request.
  PutFile(dir.path() + "a.txt", Dic({"@OnA&%ref0 = \"x\",a"}));
  EXPECT_EQ(Lines(RunTool("LANG=C", dir.path()).out).back(),
            "shiori-check: " + d + ": no problems");
  EXPECT_EQ(Lines(RunTool("LANG=C", "--notes " + dir.path()).out).back(),
            "shiori-check: " + d + ": 1 note");
  PutFile(dir.path() + "a.txt", Dic({"\\e,%[nosuch]"}));
  const TRun json = RunTool("LANG=C", "--format json " + dir.path());
  EXPECT_NE(json.out.find("{\n    \"file\": \"" + d + "a.txt\",\n    \"line\": 1,\n    \"column\": 4,"
                          "\n    \"endLine\": 1,\n    \"endColumn\": 13,\n    \"level\": \"warning\","
                          "\n    \"code\": \"T001\","),
            std::string::npos)
      << json.out;
  EXPECT_EQ(RunTool("LANG=C", dir.path() + "no-such-dir").status, 2);
  EXPECT_EQ(RunTool("LANG=C", "--format xml " + dir.path()).status, 2);
  EXPECT_EQ(RunTool("LANG=C", "").status, 2);
}

TEST(CheckTool, SpeaksJapaneseInAJapaneseLocale) {
  if (std::setlocale(LC_ALL, "ja_JP.UTF-8") == nullptr) GTEST_SKIP() << "no ja_JP.UTF-8 locale";
  std::setlocale(LC_ALL, "C");
  ScratchDir dir;
  for (const auto& [name, bytes] : SeededGhost()) PutFile(dir.path() + name, bytes);
  const std::vector<std::string> english = Lines(RunTool("LANG=C LANGUAGE=", dir.path()).out);
  const TRun japanese = RunTool("LC_ALL= LANGUAGE= LANG=ja_JP.UTF-8", dir.path());
  EXPECT_EQ(japanese.status, 1);
  const std::vector<std::string> lines = Lines(japanese.out);
  ASSERT_EQ(lines.size(), english.size());
  EXPECT_EQ(lines[0], dir.path() + "tamune.ini:2:1: error: 辞書 gone.txt は存在しません [L002]");
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    // The same place, level and code; the message translated.
    const size_t level_end = english[i].find(": ", english[i].find(": ") + 2);
    EXPECT_EQ(lines[i].substr(0, level_end), english[i].substr(0, level_end));
    EXPECT_EQ(lines[i].substr(lines[i].rfind(" [")), english[i].substr(english[i].rfind(" [")));
    EXPECT_NE(lines[i], english[i]);
  }
  EXPECT_EQ(lines.back(), "shiori-check: " + dir.path() + ": エラー 1 件、警告 3 件");
}

}  // namespace
