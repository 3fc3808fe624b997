// Translation module end to end: libmakoto.so driven through its exports
// as the host drives it, with table files written by makoto-table.
// Module state is process-wide, so every run of the module happens in a
// forked child that loads the library afresh and sends its results back.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "ghost_host.h"
#include "makoto.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

#ifndef GHOST_MAKOTO_LIBRARY
#error "the translation module's shared library is needed"
#endif

namespace fs = std::filesystem;

namespace {

// One call of an export. For kExecute and kRequest, `length` is what the
// host reports (the text's size unless set), `no_length` passes a null
// pointer and `null_block` no block at all.
struct Step {
  enum Kind { kLoad, kExecute, kRequest, kUnload } kind = kExecute;
  std::string text;
  std::optional<long> length;
  bool no_length = false;
  bool null_block = false;
};

struct Outcome {
  long value = 0;  // load/unload result, or the length written back
  bool has_block = false;
  bool exact_block = true;  // the block ends right after `value` bytes
  bool input_released = true;  // execute freed the script block
  std::string bytes;
};

Step MakeStep(Step::Kind kind, const std::string& text) {
  Step step;
  step.kind = kind;
  step.text = text;
  return step;
}
Step Load(const std::string& dir) { return MakeStep(Step::kLoad, dir); }
Step Execute(const std::string& script) { return MakeStep(Step::kExecute, script); }
Step Unload() { return MakeStep(Step::kUnload, ""); }
Step Request(const std::string& text) { return MakeStep(Step::kRequest, text); }

// The two checks below need the address sanitizer to see the heap; in
// other builds they pass and the remaining checks carry the tests.

// True unless the byte just past the block is known to be addressable.
bool EndsAtLength(const char* block, long length) {
#if defined(__SANITIZE_ADDRESS__)
  return __asan_address_is_poisoned(block + (length > 0 ? length : 1)) != 0;
#else
  (void)block;
  (void)length;
  return true;
#endif
}

// True unless the block is known to be still allocated.
bool Released(const char* block) {
#if defined(__SANITIZE_ADDRESS__)
  return __asan_address_is_poisoned(block) != 0;
#else
  (void)block;
  return true;
#endif
}

// Calls the export through the raw pointers, so that a step can announce any
// length (or none) and the blocks can be inspected before they are freed.
Outcome Perform(const Step& step, const TMakotoLibrary& library) {
  Outcome outcome;
  if (step.kind == Step::kLoad) {
    outcome.value = library.Load(step.text);
  } else if (step.kind == Step::kUnload) {
    outcome.value = library.Unload();
  } else {
    long length = step.length.value_or(static_cast<long>(step.text.size()));
    char* script = step.null_block ? nullptr : NewHostBlock(step.text);
    const auto call = step.kind == Step::kRequest ? library.request : library.execute;
    if (call == nullptr) _exit(4);
    char* out = call(script, step.no_length ? nullptr : &length);
    outcome.input_released = script == nullptr || Released(script);
    outcome.value = length;
    outcome.has_block = out != nullptr;
    if (out != nullptr) {
      outcome.bytes.assign(out, static_cast<std::size_t>(length > 0 ? length : 0));
      // A request's answer ends with a NUL after its length.
      outcome.exact_block = step.kind == Step::kRequest
                                ? length >= 0 && out[length] == '\0' && EndsAtLength(out, length + 1)
                                : EndsAtLength(out, length);
      std::free(out);
    }
  }
  return outcome;
}

void WriteAll(int fd, const void* data, std::size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = write(fd, bytes, size);
    if (written <= 0) _exit(3);
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
}

[[noreturn]] void ChildRun(int fd, const std::vector<Step>& steps) {
  TMakotoLibrary library;
  std::string error;
  if (!OpenMakoto(GHOST_MAKOTO_LIBRARY, library, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    _exit(2);
  }
  for (const Step& step : steps) {
    const Outcome o = Perform(step, library);
    const std::size_t size = o.bytes.size();
    const char flags[3] = {o.has_block, o.exact_block, o.input_released};
    WriteAll(fd, &o.value, sizeof o.value);
    WriteAll(fd, flags, sizeof flags);
    WriteAll(fd, &size, sizeof size);
    WriteAll(fd, o.bytes.data(), size);
  }
  _exit(0);
}

bool ReadExactly(FILE* in, void* data, std::size_t size) {
  return std::fread(data, 1, size, in) == size;
}

// Runs the steps against a freshly loaded module in a child process.
std::vector<Outcome> RunModule(const std::vector<Step>& steps) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    ChildRun(fds[1], steps);
  }
  close(fds[1]);
  std::vector<Outcome> outcomes;
  FILE* in = fdopen(fds[0], "rb");
  Outcome o;
  char flags[3];
  std::size_t size = 0;
  while (ReadExactly(in, &o.value, sizeof o.value) && ReadExactly(in, flags, sizeof flags) &&
         ReadExactly(in, &size, sizeof size)) {
    o.has_block = flags[0];
    o.exact_block = flags[1];
    o.input_released = flags[2];
    o.bytes.resize(size);
    if (!ReadExactly(in, o.bytes.data(), size)) break;
    outcomes.push_back(o);
  }
  std::fclose(in);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "module child ended with status " << status;
  EXPECT_EQ(outcomes.size(), steps.size());
  outcomes.resize(steps.size());
  for (const Outcome& o : outcomes) EXPECT_TRUE(o.input_released) << "execute kept the host's block";
  return outcomes;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string Quote(const std::string& text) { return "'" + text + "'"; }

class MakotoModule : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/makoto-e2e-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Dir() const { return dir_.string() + "/"; }

  // Runs makoto-table with `args`; its output lands in out_ and err_.
  int Tool(const std::string& args) {
#ifdef GHOST_TABLE_TOOL
    const std::string command = Quote(GHOST_TABLE_TOOL) + " " + args + " >" +
                                Quote((dir_ / "stdout").string()) + " 2>" +
                                Quote((dir_ / "stderr").string());
    const int status = std::system(command.c_str());
    out_ = ReadFile(dir_ / "stdout");
    err_ = ReadFile(dir_ / "stderr");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#else
    ADD_FAILURE() << "makoto-table was not built";
    return -1;
#endif
  }

  // Writes table `table` of the module directory from plain lines.
  void WriteTable(int table, const std::vector<std::string>& plain_lines) {
    std::string plain;
    for (const auto& line : plain_lines) plain += line + "\n";
    WriteFile(dir_ / "plain.txt", plain);
    const fs::path out = dir_ / makoto::kTableFileNames[table];
    ASSERT_EQ(Tool("encode " + Quote((dir_ / "plain.txt").string()) + " " + Quote(out.string())), 0)
        << err_;
  }

  fs::path dir_;
  std::string out_;
  std::string err_;
};

}  // namespace

TEST_F(MakotoModule, WithoutTablesTheScriptComesBackByteForByte) {
  std::string script = "\\h\\s[0]\x82\xA0\x95\\u&&x\\e";
  script += std::string("\0tail\0", 6);
  std::string big(5000, 'z');
  const auto outcomes = RunModule({Execute(script), Load(Dir()), Execute(script), Execute(big)});
  for (std::size_t i : {0u, 2u}) {
    EXPECT_TRUE(outcomes[i].has_block);
    EXPECT_EQ(outcomes[i].value, static_cast<long>(script.size()));
    EXPECT_EQ(outcomes[i].bytes, script);
  }
  EXPECT_EQ(outcomes[1].value, 1);
  EXPECT_EQ(outcomes[3].bytes, big);
}

TEST_F(MakotoModule, TablesAndFormsThroughTheExports) {
  WriteTable(0, {"ab,first", "a,second", "x,xx", "k,&r(5,5)"});
  WriteTable(1, {"a,ONE", "x,&s(x)"});
  const auto outcomes = RunModule({
      Load(Dir()),
      Execute("ab a\\ua\\ha x\\ux"),
      Execute("\x95\\ua\x95\\ha"),  // 0x5C as the trail byte of 0x95 0x5C
      Execute("xxx"),
      Execute("k&s(x)<&t(ab,0)><&t(ab)>&r(1,2 &&q &"),
  });
  EXPECT_EQ(outcomes[0].value, 1);
  EXPECT_EQ(outcomes[1].bytes, "first second\\uONE\\hsecond xx\\ux");
  EXPECT_EQ(outcomes[2].bytes, "\x95\\uONE\x95\\hsecond");
  EXPECT_EQ(outcomes[3].bytes, "xxxxxx");
  // The table pass runs first: "k" becomes a form and "ab" and "x" change
  // inside forms before they are expanded.
  EXPECT_EQ(outcomes[4].bytes, "5xx<><>&r(1,2 &&q &");
  for (std::size_t i = 1; i < outcomes.size(); ++i) {
    EXPECT_EQ(outcomes[i].value, static_cast<long>(outcomes[i].bytes.size()));
  }
}

TEST_F(MakotoModule, ReturnedBlockHoldsExactlyTheReportedLength) {
  WriteTable(0, {"a,abc"});
  Step negative = Execute("abc");
  negative.length = -5;
  Step no_length = Execute("abc");
  no_length.no_length = true;
  const auto outcomes = RunModule({Load(Dir()), Execute("a"), Execute("xyz"), Execute(""), negative,
                                   no_length});
  EXPECT_EQ(outcomes[1].value, 3);
  EXPECT_EQ(outcomes[1].bytes, "abc");  // no NUL counted in or appended
  EXPECT_TRUE(outcomes[1].exact_block);
  EXPECT_EQ(outcomes[2].bytes, "xyz");
  EXPECT_TRUE(outcomes[2].exact_block);
  // An empty script still gives a block, of length 0.
  EXPECT_TRUE(outcomes[3].has_block);
  EXPECT_EQ(outcomes[3].value, 0);
  // A negative length copies nothing.
  EXPECT_TRUE(outcomes[4].has_block);
  EXPECT_EQ(outcomes[4].value, 0);
  // Without a length pointer nothing can be handed back.
  EXPECT_FALSE(outcomes[5].has_block);
}

TEST_F(MakotoModule, RequestAnswersMakoto2WithTheRewritingOfExecute) {
  WriteTable(0, {"ab,first"});
  WriteTable(1, {"a,ONE"});
  const std::string script = "ab\\ua&t(x,0)";
  const std::string bad = "MAKOTO/2.0 400 Bad Request\r\n\r\n";
  Step empty = Request("EXECUTE MAKOTO/2.0\r\nString: ab\r\n\r\n");
  empty.length = 0;
  Step null_block = Request("");
  null_block.null_block = true;
  const auto outcomes = RunModule({
      Load(Dir()),
      Execute(script),
      Request("EXECUTE MAKOTO/2.0\r\nSender: test\r\nCharset: Shift_JIS\r\nString: " + script +
              "\r\n\r\n"),
      Request("EXECUTE MAKOTO/2.0\r\nString: ab\r\n"),  // no empty line
      Request(std::string("EXECUTE MAKOTO/2.0\r\nString: ab\0ab\r\n", 35)),  // a NUL ends it
      Request("EXECUTE MAKOTO/2.0\r\nSender: test\r\n\r\nString: ab\r\n\r\n"),
      Request("GET Version MAKOTO/2.0\r\nString: ab\r\n\r\n"),
      Request("EXECUTE MAKOTO/1.0\r\nString: ab\r\n\r\n"),
      empty,
      null_block,
  });
  EXPECT_EQ(outcomes[1].bytes, "first\\uONE");
  EXPECT_EQ(outcomes[2].bytes, "MAKOTO/2.0 200 OK\r\nString: " + outcomes[1].bytes + "\r\n\r\n");
  EXPECT_EQ(outcomes[3].bytes, "MAKOTO/2.0 200 OK\r\nString: first\r\n\r\n");
  EXPECT_EQ(outcomes[4].bytes, "MAKOTO/2.0 200 OK\r\nString: first\r\n\r\n");
  for (std::size_t i = 5; i < outcomes.size(); ++i) EXPECT_EQ(outcomes[i].bytes, bad) << i;
  for (std::size_t i = 2; i < outcomes.size(); ++i) {
    EXPECT_EQ(outcomes[i].value, static_cast<long>(outcomes[i].bytes.size())) << i;
    EXPECT_TRUE(outcomes[i].exact_block) << i;
  }
}

TEST_F(MakotoModule, MissingTableFilesGiveEmptyTables) {
  WriteTable(1, {"a,ONE"});  // no makoto0.nft
  const auto outcomes = RunModule({Load(Dir()), Execute("a\\ua"), Load(Dir() + "missing/"),
                                   Execute("a\\ua")});
  EXPECT_EQ(outcomes[0].value, 1);
  EXPECT_EQ(outcomes[1].bytes, "a\\uONE");
  EXPECT_EQ(outcomes[2].value, 1);
  EXPECT_EQ(outcomes[3].bytes, "a\\ua");  // loading again replaced the tables
}

TEST_F(MakotoModule, LoadReadsThePathUpToANulAndUnloadReleasesTheTables) {
  WriteTable(0, {"a,A"});
  const auto outcomes = RunModule({Load(Dir() + std::string("\0junk", 5)), Execute("a"), Unload(),
                                   Execute("a")});
  EXPECT_EQ(outcomes[1].bytes, "A");
  EXPECT_EQ(outcomes[2].value, 1);
  EXPECT_EQ(outcomes[3].bytes, "a");
}

TEST_F(MakotoModule, LineLongerThan998CharactersCountsAsTwoLines) {
  WriteTable(0, {"", "", "k,K"});
  std::string table = ReadFile(dir_ / "makoto0.nft");
  ASSERT_EQ(table.substr(0, 4), "\r\n\r\n");
  // 1200 characters are read as two lines, so the entry stays line 3.
  table.replace(0, 4, std::string(1200, '=') + "\r\n");
  WriteFile(dir_ / "makoto0.nft", table);
  const auto outcomes = RunModule({Load(Dir()), Execute("k")});
  EXPECT_EQ(outcomes[1].bytes, "K");
}

#ifdef GHOST_TABLE_TOOL

TEST_F(MakotoModule, ToolRoundTripsEveryByteAllowedInALine) {
  // Any byte but NUL and LF; CR anywhere but at the end of a line.
  std::string source, every;
  for (int b = 1; b < 256; ++b) {
    if (b == '\n') continue;
    every.push_back(static_cast<char>(b));
    if (b != ',') source.push_back(static_cast<char>(b));
  }
  const std::string plain = source + ",R\n\n" + "x," + every + "\n" + every.substr(0, 43) + "\n";
  ASSERT_EQ(every.substr(0, 43).back(), ',');
  WriteFile(dir_ / "plain.txt", plain);
  const std::string table = (dir_ / "makoto0.nft").string();
  ASSERT_EQ(Tool("encode " + Quote((dir_ / "plain.txt").string()) + " " + Quote(table)), 0) << err_;

  const std::string written = ReadFile(table);
  for (std::size_t i = 0; i < written.size(); ++i) {
    const char c = written[i];
    const bool line_break = c == '\r' ? written[i + 1] == '\n' : c == '\n' && written[i - 1] == '\r';
    ASSERT_TRUE(line_break || (c >= 0x20 && c <= 0x7E)) << "byte " << i;
  }
  ASSERT_EQ(Tool("decode " + Quote(table)), 0) << err_;
  EXPECT_EQ(out_, plain);
  EXPECT_EQ(err_, "");

  const auto outcomes = RunModule({Load(Dir()), Execute("<" + source + ">" + every)});
  EXPECT_EQ(outcomes[1].bytes.substr(0, 3), "<R>");
}

TEST_F(MakotoModule, ToolReportsBadInput) {
  const std::string plain = Quote((dir_ / "plain.txt").string());
  const std::string out = Quote((dir_ / "out.nft").string());
  EXPECT_EQ(Tool(""), 2);
  EXPECT_NE(err_.find("usage"), std::string::npos);
  EXPECT_EQ(Tool("frobnicate"), 2);
  EXPECT_EQ(Tool("encode " + plain), 2);
  EXPECT_EQ(Tool("decode"), 2);

  EXPECT_EQ(Tool("encode " + plain + " " + out), 1);
  EXPECT_NE(err_.find("cannot read"), std::string::npos);
  EXPECT_EQ(Tool("decode " + out), 1);

  const std::pair<std::string, std::string> rejected[] = {
      {"a,b\nno comma\n", ":2: line has no comma"},
      {"a,b\r\n,b\r\n", ":2: line has an empty source"},
      {std::string("a\0,b\n", 5), ":1: line holds a NUL"},
      {"a," + std::string(795, 'b') + "\n", ":1: line is 797 bytes long"},
  };
  for (const auto& [text, message] : rejected) {
    WriteFile(dir_ / "plain.txt", text);
    EXPECT_EQ(Tool("encode " + plain + " " + out), 1) << message;
    EXPECT_NE(err_.find(message), std::string::npos) << err_;
    EXPECT_FALSE(fs::exists(dir_ / "out.nft")) << message;
  }
  // The longest plain line fits one table line.
  WriteFile(dir_ / "plain.txt", "a," + std::string(794, 'b'));
  EXPECT_EQ(Tool("encode " + plain + " " + out), 0) << err_;
  EXPECT_EQ(ReadFile(dir_ / "out.nft").size(), 995u + 2u);
  EXPECT_EQ(Tool("decode " + out), 0);
  EXPECT_EQ(out_, "a," + std::string(794, 'b') + "\n");
}

TEST_F(MakotoModule, ToolHelpDocumentsTheLineKey) {
  EXPECT_EQ(Tool("--help"), 0);
  for (const char* constant : {"40503", "2246822519", "0x3FFFFFF", "998"}) {
    EXPECT_NE(out_.find(constant), std::string::npos) << constant;
  }
  EXPECT_EQ(Tool("encode --help"), 0);
  EXPECT_NE(out_.find("PLAIN"), std::string::npos);
  EXPECT_EQ(Tool("decode --help"), 0);
  EXPECT_NE(out_.find("FILE"), std::string::npos);
}

#endif
