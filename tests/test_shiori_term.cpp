// The terminal host: requests from standard input, responses on standard
// output, and its handling of bad command lines.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

struct TRun {
  std::string output;  // standard output (standard error when `errors`)
  int status = -1;     // exit status
};

// Runs the program with `arguments` through the shell, `input` as its
// standard input.
TRun RunTerm(const std::string& arguments, const std::string& input, bool errors = false) {
  // One file per process: ctest may run these tests side by side.
  const std::string input_path =
      std::string(BINARY_DIR) + "/shiori_term_input_" + std::to_string(getpid()) + ".txt";
  std::ofstream(input_path, std::ios::binary) << input;
  std::string command = std::string(SHIORI_TERM_PATH) + " " + arguments + " < " + input_path;
  command += errors ? " 2>&1 >/dev/null" : " 2>/dev/null";
  TRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
  const int status = pclose(pipe);
  std::remove(input_path.c_str());
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

const std::string kGhost = std::string(SOURCE_DIR) + "/examples/ghost";
const std::string kVersionOk = "SHIORI/2.5 200 OK\r\nCharset: Shift_JIS\r\n";
const std::string kBadRequest = "SHIORI/2.5 400 Bad Request\r\n";

}  // namespace

#ifdef SHIORI_TERM_PATH

TEST(ShioriTerm, AnswersEveryRequestOfTheInput) {
  const TRun run = RunTerm(kGhost,
                           "GET Version SHIORI/2.5\nSender: term\n\n\n\n"
                           "GET Version SHIORI/2.5\r\n\r\n"
                           "HELLO SHIORI/2.5\nSender: term");  // last one ends with the input
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, kVersionOk + "\r\n" + kVersionOk + "\r\n" + kBadRequest + "\r\n");
}

TEST(ShioriTerm, EmptyInputSendsNothing) {
  const TRun run = RunTerm(kGhost + "/", "\n\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, "");
}

TEST(ShioriTerm, CommandLine) {
  const TRun help = RunTerm("--help", "");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("Usage: shiori-term"), std::string::npos);

  const TRun option = RunTerm("--loud " + kGhost, "", true);
  EXPECT_EQ(option.status, 2);
  EXPECT_NE(option.output.find("unknown option: --loud"), std::string::npos);

  EXPECT_EQ(RunTerm(kGhost + " " + kGhost, "", true).status, 2);
  EXPECT_EQ(RunTerm("--lib", "", true).status, 2);

  const TRun directory = RunTerm(kGhost + "/missing", "", true);
  EXPECT_EQ(directory.status, 1);
  EXPECT_NE(directory.output.find("not a directory"), std::string::npos);

  EXPECT_EQ(RunTerm("--lib " + kGhost + "/tamune.ini " + kGhost, "", true).status, 1);
}

#else

TEST(ShioriTerm, NotBuilt) { GTEST_SKIP() << "shiori-term is not part of this build"; }

#endif
