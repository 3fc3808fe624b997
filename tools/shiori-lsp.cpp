// shiori-lsp: the language server for dictionaries. Speaks the Language
// Server Protocol over standard input and output; diagnostics come from
// the checker, navigation and completion from what the parser registered.
#include <sys/stat.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>

#include "check/check_codes.h"
#include "lsp/lsp_rpc.h"
#include "lsp/lsp_server.h"

namespace {

constexpr int kSettleMilliseconds = 40;  // edits arriving this close together are checked once

const char kUsage[] =
    "Usage: shiori-lsp [--stdio]\n"
    "The language server for Tamune dictionaries. An editor starts it and speaks\n"
    "the Language Server Protocol with it over standard input and output.\n";

// The checker's message catalogs: beside the program in the build tree,
// else in the share/locale of its installation prefix.
void BindMessages() {
  const std::string beside = ProgramLocaleDirectory();
  struct stat info {};
  const bool found = stat(beside.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  BindCheckMessages(found ? beside : beside.substr(0, beside.rfind('/')) + "/../share/locale");
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--stdio") == 0) continue;
    std::fputs(kUsage, std::strcmp(argv[i], "--help") == 0 ? stdout : stderr);
    return std::strcmp(argv[i], "--help") == 0 ? 0 : 2;
  }
  std::setlocale(LC_ALL, "");
  BindMessages();
  TMessageReader reader{0, {}, false};
  TServer server;
  for (;;) {
    const auto body = ReadMessage(reader);
    if (!body) return 1;  // the editor went away without "exit"
    if (const auto status = HandleMessage(server, *body)) return *status;
    if (!server.stale.empty() && !InputPending(reader, kSettleMilliseconds)) RefreshGhosts(server);
  }
}
