// Every request type end to end: a small ghost written to a temporary
// directory (one dictionary sealed beforehand, one sealed on load), the
// library opened afresh in a forked child per scenario, and whole responses
// compared byte for byte. Every talk asked for here has exactly one
// candidate, so no draw changes a response.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <initializer_list>
#include <string>

#include "decox.h"
#include "fileutl.h"

#include "scratch_dir.h"
#include "shiori_library.h"

namespace {

// Every message ends with an empty line.
const std::string kEnd = "\r\n";
const std::string kOkLine = "SHIORI/2.5 200 OK\r\n";
const std::string kOk = kOkLine + kEnd;
const std::string kNoContent = "SHIORI/2.5 204 No Content\r\n" + kEnd;
const std::string kBadRequest = "SHIORI/2.5 400 Bad Request\r\n" + kEnd;
const std::string kCharset = "Charset: Shift_JIS\r\n";
const std::string kDefaultStatus = "100,100,100,100,100,100,100,50,50,100,100,50";

std::string Lines(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* line : lines) text += std::string(line) + "\r\n";
  return text;
}

// A request: the request line and header lines, each ended by CR LF.
std::string Req(std::initializer_list<const char*> lines) { return Lines(lines); }

// A "200 OK" response carrying a talk line (or lines) and the charset.
std::string Talk(const std::string& lines) { return kOkLine + lines + "\r\n" + kCharset + kEnd; }

const std::string kTalkDictionary = Lines({
    R"(@OnLoad,-%(\lastnote := (\_load := note))-%(\_save := booted.yes))",
    R"(@OnUnload,%(\_save := bye.now))",
    R"(@OnBoot,\h\s[0]Boot %ref0/%ref2.)",
    R"(@OnNote,\h\s[0]Noted %(\_save := note."%ref0").)",
    R"(@OnExternalRequest&%ref0 = Forbidden,\[deny])",
    R"(@OnExternalRequest&%ref0 = Polite,\h\s[0]Not \[deny]today.)",
    R"(@OnExternalRequest&nohit,%(\asked := "%ref0")%(\whole := "%ref1"))",
    R"(\e,\h\s[0]Nothing to do today\, is there?)",
    R"(\re,hello,\h\s[0]Hello to you, %sender.)",
    R"(\re,quiet,\h\s[0]Shh.\ns_ce)",
    R"(\re,nohit,\h\s[0]Pardon?)",
    R"(\hl,Alice,\h\s[0]Hi %ghostname (%surf[%ghostname].sakura/%surf[%ghostname].kero of %ghostcount).)",
    R"(\hl,Bob,\helloto[Zed]\h\s[0]Hey %ghostname!)",
    R"(\hl,Quiet,\h\s[0]Psst %ghostname.\ns_ce)",
    R"(*greeting,Hello\[1]World\[2]!)",
    R"(*homeurl,https://example.org/emily/)",
    R"(*lastnote,Last note: %lastnote)",
    R"(*asked,%asked|%whole)",
    R"(*ghosts,%ghostcount:%ghosts[0]:%ghosts[1]:%ghosts[2])",
    R"(*teach,[%hint0][%word][%lastnum][%lasthint])",
    R"(+%hellocount,50,25)",
});

const std::string kWordDictionary = Lines({
    R"(\ft,apple,\fruit,\h\s[0]I like %fruit.)",
    R"(\mcolor,blue)",
    R"(\dms,sunny day)",
    R"(\star,*)",
});

// Stored only in sealed form.
const std::string kTeachDictionary = Lines({
    R"(@OnTeach&%lastnum = 3,\h\s[0]Learned %ref0 (%lasthint/%hint0/%hint1/%hint3)\[advice])",
    R"(@OnTeach&%word = good,\h\s[0]Thanks.\[success])",
    R"(@OnTeach&%word = more,\h\s[0]Tell me more.\[shortage]\[success])",
    R"(@OnTeach&%word = short,\h\s[0]Too short.\[shortage])",
});

// Sealed by the module while loading ("extra.txt,e"). Built on use: the
// header is a static of another unit.
std::string ExtraDictionary() {
  return kSealHeader + "\r\n" + Lines({"*sealed,from the sealed copy"});
}

void WriteGhost(const std::string& dir) {
  PutFile(dir + "tamune.ini",
          Lines({"# test ghost", "", "talk.txt", "words.txt", "secret.txt", "extra.txt,e"}));
  PutFile(dir + "talk.txt", kTalkDictionary);
  PutFile(dir + "words.txt", kWordDictionary);
  PutFile(dir + "secret.xdi", Seal(kTeachDictionary));
  PutFile(dir + "extra.txt", ExtraDictionary());
}

// Runs `scenario` in a forked child. This process never opens the library,
// so each child starts with a module no request has touched. True when the
// child ran every check and all of them held.
template <typename TScenario>
bool InFreshProcess(const TScenario& scenario) {
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) RunInFreshModule(scenario);
  int status = 0;
  if (waitpid(child, &status, 0) != child) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class Requests : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty());
    WriteGhost(dir_.path());
  }
  const std::string& Dir() const { return dir_.path(); }
  std::string ValueFile() const { return ReadWholeFile(Dir() + "values.dat"); }

 private:
  ScratchDir dir_;
};

}  // namespace

TEST_F(Requests, GetSentence) {
  const std::string dir = Dir();
  EXPECT_TRUE(InFreshProcess([&](TShioriLibrary& library, TChildChecks& checks) {
    CHILD_TRUE(library.Load(dir) == 1);
    auto ask = [&](std::initializer_list<const char*> lines) {
      return library.Request(Req(lines)).text;
    };
    CHILD_EQ(ask({"NOTIFY OwnerGhostName SHIORI/2.5", "Ghost: Emily"}), kOk);
    // An event with a value takes precedence over "Word" and "Sentence".
    CHILD_EQ(ask({"GET Sentence SHIORI/2.5", "Sender: host", "Event: OnBoot", "Reference0: a",
                  "Reference2: c", "Word: apple", "Sentence: hello"}),
             Talk(R"(Sentence: \h\s[0]Boot a/c.\e)"));
    CHILD_EQ(ask({"GET Sentence SHIORI/2.5", "Event: OnNothing", "Word: apple"}), kNoContent);
    CHILD_EQ(ask({"GET Sentence SHIORI/2.5", "Word: apple", "Sentence: hello"}),
             Talk(R"(Sentence: \h\s[0]I like apple.\e)"));
    // Another character's sentence: "Sender:" names the own character.
    CHILD_EQ(ask({"GET Sentence SHIORI/2.5", "Sender: Other", "Sentence: hello there", "Age: 3"}),
             Talk("Sender: Emily\r\nAge: 4\r\n" R"(Sentence: \h\s[0]Hello to you, Other.\e)"));
    CHILD_EQ(ask({"GET Sentence SHIORI/2.5", "Sender: Other", "Sentence: hello there"}),
             Talk(R"(Sentence: \h\s[0]Hello to you, Other.\e)"));
    CHILD_EQ(ask({"GET Sentence SHIORI/2.5", "Sentence: so what", "Age: 0"}),
             Talk("Sender: Emily\r\nAge: 1\r\n" R"(Sentence: \h\s[0]Pardon?\e)"));
    CHILD_EQ(ask({"GET Sentence SHIORI/2.5", "Sentence: be quiet", "Age: 3"}),
             Talk(R"(Sentence: \h\s[0]Shh.\e)"));
    CHILD_EQ(ask({"GET Sentence SHIORI/2.5", "Sender: host"}),
             Talk(R"(Sentence: \h\s[0]Nothing to do today, is there?\e)"));
  }));
}

TEST_F(Requests, GetWordStatusAndString) {
  const std::string dir = Dir();
  EXPECT_TRUE(InFreshProcess([&](TShioriLibrary& library, TChildChecks& checks) {
    library.Load(dir);
    auto ask = [&](std::initializer_list<const char*> lines) {
      return library.Request(Req(lines)).text;
    };
    CHILD_EQ(ask({"GET Word SHIORI/2.5", R"(Type: \fruit)"}), kOkLine + "Word: apple\r\n" + kEnd);
    CHILD_EQ(ask({"GET Word SHIORI/2.5", R"(Type: \m?)"}), kOkLine + "Word: blue\r\n" + kEnd);
    CHILD_EQ(ask({"GET Word SHIORI/2.5", R"(Type: \dms)"}), kOkLine + "Word: sunny day\r\n" + kEnd);
    CHILD_EQ(ask({"GET Word SHIORI/2.5", R"(Type: \nothing)"}), kNoContent);
    CHILD_EQ(ask({"GET Word SHIORI/2.5", R"(Type: \star)"}), kBadRequest);
    CHILD_EQ(ask({"GET Word SHIORI/2.5", "Sender: host"}), kBadRequest);
    // The word list keeps its own CR LF.
    CHILD_EQ(ask({"GET Word SHIORI/2.5", R"(Type: \dms)", "Sentence: I ate an apple today"}),
             kOkLine + "Word: apple,\\fruit\r\n\r\n");

    CHILD_EQ(ask({"GET Status SHIORI/2.5"}), kOkLine + "Status: 3,50,25\r\n" + kEnd);

    CHILD_EQ(ask({"GET String SHIORI/2.5", "ID: greeting"}),
             Talk("String: Hello\x01World\x02!"));
    CHILD_EQ(ask({"GET String SHIORI/2.5", "ID: sealed"}), Talk("String: from the sealed copy"));
    CHILD_EQ(ask({"GET String SHIORI/2.5", "ID: nothing"}), kNoContent);
  }));
}

TEST_F(Requests, Teach) {
  const std::string dir = Dir();
  EXPECT_TRUE(InFreshProcess([&](TShioriLibrary& library, TChildChecks& checks) {
    library.Load(dir);
    auto ask = [&](std::initializer_list<const char*> lines) {
      return library.Request(Req(lines)).text;
    };
    // References 0 and 3 only: "\hint1" is deleted, reference 3 is the last.
    CHILD_EQ(ask({"TEACH SHIORI/2.5", "Reference0: red", "Reference3: green"}),
             "SHIORI/2.5 312 Advice\r\n"
             R"(Sentence: \h\s[0]Learned green (green/red/%hint1/green))" "\r\n" + kCharset + kEnd);
    // The teach variables are gone after the response.
    CHILD_EQ(ask({"GET String SHIORI/2.5", "ID: teach"}),
             Talk("String: [%hint0][%word][%lastnum][%lasthint]"));
    CHILD_EQ(ask({"TEACH SHIORI/2.5", "Word: good"}),
             Talk(R"(Sentence: \h\s[0]Thanks.)"));
    CHILD_EQ(ask({"TEACH SHIORI/2.5", "Word: more"}),
             Talk(R"(Sentence: \h\s[0]Tell me more.\[shortage])"));
    CHILD_EQ(ask({"TEACH SHIORI/2.5", "Word: short"}),
             "SHIORI/2.5 311 Not Enough\r\n" R"(Sentence: \h\s[0]Too short.)" "\r\n" + kCharset + kEnd);
    CHILD_EQ(ask({"TEACH SHIORI/2.5", "Word: unknown"}), Talk("Sentence: "));
  }));
}

TEST_F(Requests, ExternalRequests) {
  const std::string dir = Dir();
  EXPECT_TRUE(InFreshProcess([&](TShioriLibrary& library, TChildChecks& checks) {
    library.Load(dir);
    auto ask = [&](std::initializer_list<const char*> lines) {
      return library.Request(Req(lines)).text;
    };
    CHILD_EQ(ask({"GET Version SHIORI/2.5", "SecurityLevel: external", "Event: Forbidden"}),
             kNoContent);
    CHILD_EQ(ask({"GET Status SHIORI/2.5", "SecurityLevel: external", "Event: Polite"}),
             Talk(R"(Sentence: \h\s[0]Not today.)"));
    // Not denied: served as usual, and the rule's event has run.
    CHILD_EQ(ask({"GET Sentence SHIORI/2.5", "SecurityLevel: external", "Event: OnBoot",
                  "Reference0: x"}),
             Talk(R"(Sentence: \h\s[0]Boot x/.\e)"));
    CHILD_EQ(ask({"GET String SHIORI/2.5", "ID: asked"}),
             Talk("String: OnBoot|GET Sentence SHIORI/2.5\x02SecurityLevel: external\x02"
                  "Event: OnBoot\x02Reference0: x\x02"));
    // Only the exact level "external" is checked.
    CHILD_EQ(ask({"GET Sentence SHIORI/2.5", "SecurityLevel: External", "Event: Polite"}),
             kNoContent);
  }));
}

TEST_F(Requests, Notify) {
  const std::string dir = Dir();
  EXPECT_TRUE(InFreshProcess([&](TShioriLibrary& library, TChildChecks& checks) {
    library.Load(dir);
    auto ask = [&](std::initializer_list<const char*> lines) {
      return library.Request(Req(lines)).text;
    };
    CHILD_EQ(ask({"NOTIFY OwnerGhostName SHIORI/2.5", "Ghost: Emily"}), kOk);
    // "GhostEx" lines win over "Ghost" lines; the surfaces become variables.
    CHILD_EQ(ask({"NOTIFY OtherGhostName SHIORI/2.5", "Sender: host",
                  "GhostEx: Alice\x01" "10\x01" "11", "Ghost: Bob"}),
             Talk("Sender: Emily\r\nTo: Alice\r\nAge: 0\r\n"
                  R"(Sentence: \h\s[0]Hi Alice (10/11 of 1).\e)"));
    // From "Ghost" lines; the talk's "\helloto[...]" chooses the addressee.
    CHILD_EQ(ask({"NOTIFY OtherGhostName SHIORI/2.5", "Ghost: Bob"}),
             Talk("Sender: Emily\r\nTo: Zed\r\nAge: 0\r\n" R"(Sentence: \h\s[0]Hey Zed!\e)"));
    CHILD_EQ(ask({"NOTIFY OtherGhostName SHIORI/2.5", "Ghost: Nobody", "Ghost: Carol"}), kOk);
    CHILD_EQ(ask({"GET String SHIORI/2.5", "ID: ghosts"}),
             Talk("String: 2:Emily:Nobody:Carol"));
    CHILD_EQ(ask({"NOTIFY OtherGhostName SHIORI/2.5", "Ghost: Quiet"}),
             Talk(R"(Sentence: \h\s[0]Psst Quiet.\e)"));
    // The shorter list left no stale second name behind.
    CHILD_EQ(ask({"GET String SHIORI/2.5", "ID: ghosts"}),
             Talk("String: 1:Emily:Quiet:%ghosts[2]"));
    CHILD_EQ(ask({"NOTIFY OtherGhost SHIORI/2.5", "Ghost: Bob"}), kBadRequest);
    CHILD_EQ(ask({"NOTIFY SHIORI/2.5"}), kBadRequest);
  }));
}

// What a host sends in one session: other protocol versions on the request
// line, its own headers, and the directory without its trailing separator,
// as hosts that pass the dirname of the module path do.
TEST_F(Requests, RealisticHostSession) {
  const std::string dir = Dir().substr(0, Dir().size() - 1);
  EXPECT_TRUE(InFreshProcess([&](TShioriLibrary& library, TChildChecks& checks) {
    CHILD_TRUE(library.Load(dir) == 1);
    auto ask = [&](std::initializer_list<const char*> lines) {
      return library.Request(Req(lines)).text;
    };
    CHILD_EQ(ask({"GET Version SHIORI/2.6", "Charset: UTF-8", "Sender: Crow"}),
             kOkLine + kCharset + kEnd);
    CHILD_EQ(ask({"NOTIFY OwnerGhostName SHIORI/2.3", "Sender: Crow", "Ghost: Emily"}), kOk);
    CHILD_EQ(ask({"NOTIFY OtherGhostName SHIORI/2.3", "Sender: Crow", "GhostEx: Bob\x01" "0\x01" "10",
                  "GhostEx: Carol", "GhostEx: Dave\x01" "3\x01" "4"}),
             Talk("Sender: Emily\r\nTo: Zed\r\nAge: 0\r\n" R"(Sentence: \h\s[0]Hey Zed!\e)"));
    CHILD_EQ(ask({"GET Sentence SHIORI/2.2", "Sender: Crow", "SecurityLevel: local",
                  "Event: OnBoot", "Reference0: a", "Reference1: b", "Reference2: c"}),
             Talk(R"(Sentence: \h\s[0]Boot a/c.\e)"));
    CHILD_EQ(ask({"GET Word SHIORI/2.0", "Sender: Crow", R"(Type: \fruit)"}),
             kOkLine + "Word: apple\r\n" + kEnd);
    CHILD_EQ(ask({"TEACH SHIORI/2.4", "Sender: Crow", "Word: good"}),
             Talk(R"(Sentence: \h\s[0]Thanks.)"));
    CHILD_EQ(ask({"GET String SHIORI/2.5", "Sender: Crow", "ID: homeurl"}),
             Talk("String: https://example.org/emily/"));
    CHILD_EQ(ask({"GET String SHIORI/2.5", "ID: ghosts"}), Talk("String: 3:Emily:Bob:Carol"));
    CHILD_EQ(ask({"GET Status SHIORI/2.0", "Sender: Crow"}), kOkLine + "Status: 3,50,25\r\n" + kEnd);
  }));
  // The dictionaries were found, and the value file went into the directory.
  EXPECT_EQ(ValueFile(), "booted,yes\r\n");
}

TEST_F(Requests, SavedValuesAndSealedCopyReachASecondProcess) {
  const std::string dir = Dir();
  ASSERT_TRUE(InFreshProcess([&](TShioriLibrary& library, TChildChecks& checks) {
    CHILD_TRUE(library.Load(dir) == 1);
    CHILD_EQ(ReadWholeFile(dir + "values.dat"), "booted,yes\r\n");  // written by "OnLoad"
    CHILD_EQ(library.Request(Req({"GET String SHIORI/2.5", "ID: lastnote"})).text,
             Talk("String: Last note: %lastnote"));
    CHILD_EQ(library.Request(Req({"GET Sentence SHIORI/2.5", "Event: OnNote", "Reference0: blue"}))
                 .text,
             Talk(R"(Sentence: \h\s[0]Noted blue.\e)"));
  }));
  EXPECT_EQ(ValueFile(), "booted,yes\r\nnote,\"blue\"\r\n");
  EXPECT_TRUE(Exists(dir + "extra.xdi"));
  ASSERT_EQ(std::remove((dir + "extra.txt").c_str()), 0);

  EXPECT_TRUE(InFreshProcess([&](TShioriLibrary& library, TChildChecks& checks) {
    library.Load(dir);
    CHILD_EQ(library.Request(Req({"GET String SHIORI/2.5", "ID: lastnote"})).text,
             Talk("String: Last note: blue"));
    CHILD_EQ(library.Request(Req({"GET String SHIORI/2.5", "ID: sealed"})).text,
             Talk("String: from the sealed copy"));
  }));
  // Saving a key again moves its line to the end.
  EXPECT_EQ(ValueFile(), "note,\"blue\"\r\nbooted,yes\r\n");
}

TEST_F(Requests, LoadWithLengthZeroReadsNothing) {
  const std::string dir = Dir();
  EXPECT_TRUE(InFreshProcess([&](TShioriLibrary& library, TChildChecks& checks) {
    CHILD_TRUE(library.load(NewHostBlock(dir), 0) == 1);
    auto ask = [&](std::initializer_list<const char*> lines) {
      return library.Request(Req(lines)).text;
    };
    CHILD_EQ(ask({"GET Status SHIORI/2.5"}), kOkLine + "Status: " + kDefaultStatus + "\r\n" + kEnd);
    CHILD_EQ(ask({"GET Sentence SHIORI/2.5"}), kNoContent);
    CHILD_EQ(ask({"GET Sentence SHIORI/2.5", "Event: OnBoot"}), kNoContent);
    CHILD_EQ(ask({"GET Word SHIORI/2.5", R"(Type: \fruit)"}), kNoContent);
    CHILD_EQ(ask({"GET String SHIORI/2.5", "ID: greeting"}), kNoContent);
    CHILD_EQ(ask({"NOTIFY OtherGhostName SHIORI/2.5", "Ghost: Bob"}), kOk);
    CHILD_EQ(ask({"TEACH SHIORI/2.5", "Word: good"}), Talk("Sentence: "));
  }));
  EXPECT_FALSE(Exists(dir + "values.dat"));
  EXPECT_FALSE(Exists(dir + "extra.xdi"));
}

TEST_F(Requests, UnloadFiresOnUnloadAndRequestsGoOn) {
  const std::string dir = Dir();
  EXPECT_TRUE(InFreshProcess([&](TShioriLibrary& library, TChildChecks& checks) {
    library.Load(dir);
    CHILD_TRUE(library.unload() == 1);
    CHILD_EQ(ReadWholeFile(dir + "values.dat"), "booted,yes\r\nbye,now\r\n");
    CHILD_EQ(library.Request(Req({"GET Sentence SHIORI/2.5", "Event: OnBoot"})).text,
             Talk(R"(Sentence: \h\s[0]Boot /.\e)"));
    CHILD_EQ(library.Request(Req({"GET Status SHIORI/2.5"})).text, kOkLine + "Status: 3,50,25\r\n" + kEnd);
  }));
}

TEST(RequestsOfAPlainGhost, ComputedStatusLineAndCharset) {
  ScratchDir scratch;
  const std::string dir = scratch.path();
  PutFile(dir + "tamune.ini", "only.txt");
  PutFile(dir + "only.txt", Lines({"Option,Charset: UTF-8", R"(\food,apple,bread)", "@OnBoot,hi"}));
  EXPECT_TRUE(InFreshProcess([&](TShioriLibrary& library, TChildChecks& checks) {
    library.Load(dir);
    // Words, links, categories, replies and hellos, events, sentences.
    CHILD_EQ(library.Request(Req({"GET Status SHIORI/2.5"})).text, kOkLine + "Status: 2,0,1,0,1,1\r\n" + kEnd);
    CHILD_EQ(library.Request(Req({"GET Sentence SHIORI/2.5", "Event: OnBoot"})).text,
             kOkLine + "Sentence: hi\\e\r\nCharset: UTF-8\r\n" + kEnd);
  }));
}

// A reply or a hello whose whole talk is "\ns_ce" still answers: the talk is
// tested for emptiness before the tag is taken out.
TEST(RequestsOfAPlainGhost, TalkOfOnlyTheNoContinuationTag) {
  ScratchDir scratch;
  const std::string dir = scratch.path();
  PutFile(dir + "tamune.ini", "only.txt");
  PutFile(dir + "only.txt", Lines({R"(\re,,\ns_ce)", R"(\hl,,\ns_ce)"}));
  EXPECT_TRUE(InFreshProcess([&](TShioriLibrary& library, TChildChecks& checks) {
    library.Load(dir);
    const std::string empty_sentence = Talk(R"(Sentence: \e)");
    CHILD_EQ(library.Request(Req({"GET Sentence SHIORI/2.5", "Sentence: hi", "Age: 3"})).text,
             empty_sentence);
    CHILD_EQ(library.Request(Req({"NOTIFY OtherGhostName SHIORI/2.5", "Ghost: Kuro"})).text,
             empty_sentence);
  }));
}
