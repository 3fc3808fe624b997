// soak: sends a long mixed load of requests to a ghost through the exports,
// as a host does, and prints the resident memory after the first 10,000
// requests and every 100,000, then the growth since the first figure.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "measure.h"
#include "mix.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 64;

const char* const kUsage =
    "usage: soak [GHOSTDIR] [--requests N] [--every N] [--shiori LIB] [--makoto LIB]\n"
    "  GHOSTDIR       the ghost to load (default: the sample ghost, examples/ghost/)\n"
    "  --requests N   mixed requests to send (default 1000000)\n"
    "  --every N      print the resident memory every N requests (default 100000)\n"
    "  --shiori LIB   the conversation library (default: the one built with this program)\n"
    "  --makoto LIB   the translation library; its scripts are part of the mix\n"
    "The mix: events with references, random talk, word requests by type and by\n"
    "sentence, talk of a word, replies, status, strings, notifications, teach,\n"
    "external and unknown requests, and scripts for the translation module.\n";

struct TOptions {
  std::string ghost = SOURCE_DIR "/examples/ghost/";
  std::string shiori = GHOST_SHIORI_LIBRARY;
  std::string makoto = GHOST_MAKOTO_LIBRARY;
  long requests = 1000000;
  long every = 100000;
};

bool Count(const char* text, long& out) {
  char* end = nullptr;
  out = std::strtol(text, &end, 10);
  return *end == '\0' && out > 0;
}

bool ParseOptions(int argc, char** argv, TOptions& o) {
  bool ghost_given = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool has_value = i + 1 < argc;
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else if (a == "--requests" && has_value) {
      if (!Count(argv[++i], o.requests)) return false;
    } else if (a == "--every" && has_value) {
      if (!Count(argv[++i], o.every)) return false;
    } else if (a == "--shiori" && has_value) {
      o.shiori = argv[++i];
    } else if (a == "--makoto" && has_value) {
      o.makoto = argv[++i];
    } else if (!a.empty() && a[0] != '-' && !ghost_given) {
      o.ghost = a;
      ghost_given = true;
    } else {
      return false;
    }
  }
  if (o.ghost.back() != '/') o.ghost += '/';
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  TOptions o;
  if (!ParseOptions(argc, argv, o)) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  std::string list;
  if (!ReadFile(o.ghost + "tamune.ini", list)) {
    std::fprintf(stderr, "soak: %s holds no tamune.ini\n", o.ghost.c_str());
    return kExitFailure;
  }
  TShioriLibrary shiori;
  TMakotoLibrary makoto;
  std::string error;
  if (!OpenShiori(o.shiori, shiori, error) || !OpenMakoto(o.makoto, makoto, error)) {
    std::fprintf(stderr, "soak: %s\n", error.c_str());
    return kExitFailure;
  }
  const long before = ResidentBytes();
  shiori.Load(o.ghost);
  makoto.Load(o.ghost);
  std::printf("ghost %s: resident %.2f MiB before load, %.2f MiB after\n", o.ghost.c_str(),
              before / 1048576.0, ResidentBytes() / 1048576.0);
  const long first = o.requests >= 100000 ? 10000 : (o.requests + 9) / 10;
  const TSoakResult s = RunSoak(shiori, &makoto, BuildMix(MixWords(o.ghost)), o.requests, first,
                               o.every, [](long n, long rss) {
                                 std::printf("%10ld requests  %8.2f MiB\n", n, rss / 1048576.0);
                                 std::fflush(stdout);
                               });
  shiori.unload();
  makoto.unload();
  std::printf("%ld requests in %.1f s (200: %ld, 204: %ld, other: %ld, no answer: %ld)\n",
              s.requests, s.seconds, s.status_200, s.status_204, s.status_other, s.empty);
  std::printf("growth since request %ld: %+.2f MiB\n", first,
              (s.rss_final - s.rss_after_first) / 1048576.0);
  if (MissingNulCount()) std::printf("response blocks without NUL: %ld\n", MissingNulCount());
  return kExitDone;
}
