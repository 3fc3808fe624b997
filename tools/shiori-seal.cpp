// shiori-seal: writes the sealed ".xdi" form of plain dictionaries beside
// them, and prints the plain text of a sealed dictionary.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "decox.h"
#include "fileutl.h"
#include "random.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "Usage: shiori-seal seal FILE...\n"
    "       shiori-seal unseal FILE.xdi\n"
    "\n"
    "  seal    writes the sealed form of each FILE beside it: the name is cut\n"
    "          before its first \".\" and given \".xdi\" (talk.txt gives\n"
    "          talk.xdi). An existing sealed file is replaced only when the new\n"
    "          one is complete.\n"
    "  unseal  writes the plain text of a sealed dictionary to standard output,\n"
    "          every line ended with CR LF.\n"
    "\n"
    "Options: -h, --help  show this help (also after a command).\n"
    "Exit status: 0 success, 1 a file could not be read or written, 2 bad usage.\n"
    "The manual explains sealed dictionaries in docs/files.md (\"shiori-seal\").\n";

void PrintError(const std::string& message) {
  std::fprintf(stderr, "shiori-seal: %s\n", message.c_str());
}

int UsageError(const std::string& message) {
  PrintError(message);
  std::fprintf(stderr, "Try 'shiori-seal --help'.\n");
  return kExitUsage;
}

bool IsHelp(const std::string& arg) { return arg == "-h" || arg == "--help"; }

// Reads a whole input file; on failure `error` says why.
bool ReadInput(const std::string& path, std::string& data, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) data.append(buffer, got);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) error = "cannot read " + path;
  else if (data.empty()) error = path + " is empty";
  return !failed && !data.empty();
}

bool IsSeparator(char c) {
#ifdef _WIN32
  if (c == '\\' || c == ':') return true;
#endif
  return c == '/';
}

// The sealed file beside `path`: its directory part kept, the sealed-name
// rule applied to the file name alone.
std::string SealedPathFor(const std::string& path) {
  size_t cut = path.size();
  while (cut > 0 && !IsSeparator(path[cut - 1])) --cut;
  return path.substr(0, cut) + SealedName(path.substr(cut));
}

bool SealOne(const std::string& path) {
  std::string text, error;
  if (!ReadInput(path, text, error)) {
    PrintError(error);
    return false;
  }
  const std::string target = SealedPathFor(path);
  if (target == path) {
    PrintError("refusing to seal " + path + " over itself");
    return false;
  }
  if (!ReplaceWholeFile(Seal(text), target)) {
    PrintError("cannot write " + target);
    return false;
  }
  return true;
}

int RunSeal(const std::vector<std::string>& files) {
  if (files.empty()) return UsageError("seal: no FILE given");
  SeedRandomFromClock();
  bool all_sealed = true;
  for (const std::string& file : files) all_sealed = SealOne(file) && all_sealed;
  return all_sealed ? 0 : kExitFailure;
}

int RunUnseal(const std::vector<std::string>& files) {
  if (files.size() != 1) return UsageError("unseal: give exactly one FILE.xdi");
  std::string data, error;
  if (!ReadInput(files[0], data, error)) {
    PrintError(error);
    return kExitFailure;
  }
  const std::string text = Unseal(data);
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
  if (!written || std::fflush(stdout) != 0) {
    PrintError("cannot write to standard output");
    return kExitFailure;
  }
  return 0;
}

int Run(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (IsHelp(arg)) {
      std::fputs(kUsage, stdout);
      return 0;
    }
  }
  if (args.empty()) return UsageError("no command given");
  const std::vector<std::string> files(args.begin() + 1, args.end());
  for (const std::string& file : files) {
    if (file.size() > 1 && file[0] == '-') return UsageError("unknown option " + file);
  }
  if (args[0] == "seal") return RunSeal(files);
  if (args[0] == "unseal") return RunUnseal(files);
  return UsageError("unknown command " + args[0]);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& e) {
    PrintError(e.what());
  } catch (...) {
    PrintError("unexpected failure");
  }
  return kExitFailure;
}
