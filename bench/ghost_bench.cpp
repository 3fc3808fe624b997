// ghost-bench: times what matters to a host and an author on a ghost written
// by gen-ghost (loading it, answering events, random talk, word search,
// translation, resident memory and its growth under a long mixed load) and
// prints one table: median and spread of several runs, the baseline measured
// in the same run, their ratio, the target and PASS or FAIL.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "measure.h"
#include "mix.h"
#include "stats.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitTargetMissed = 1;
constexpr int kExitCheckFailed = 2;
constexpr int kExitUsage = 64;

const char* const kUsage =
    "usage: ghost-bench GHOSTDIR [options]\n"
    "  GHOSTDIR       a ghost written by gen-ghost (with bench-expect.txt)\n"
    "  --shiori LIB   the conversation library (default: the one built with this program)\n"
    "  --makoto LIB   the translation library (default: likewise)\n"
    "  --runs N       runs per workload (default 7; loads: 5)\n"
    "  --soak N       mixed requests of the memory soak (default 1000000)\n"
    "  --quick        one short run of everything, for a smoke test\n"
    "  --strict       exit 1 when a target is missed\n"
    "  --calls W N    only make N calls of workload W (load, split, version, event,\n"
    "                 talk, word) and exit: for counting instructions under callgrind\n"
    "Exit status: 0 done, 1 a target missed (with --strict), 2 a check of the\n"
    "answers failed, 64 bad usage or missing input.\n";

struct TOptions {
  std::string ghost;
  std::string shiori = GHOST_SHIORI_LIBRARY;
  std::string makoto = GHOST_MAKOTO_LIBRARY;
  int runs = 7;
  int load_runs = 5;
  long soak = 1000000;
  double budget = 0.15;   // seconds per run of a workload
  bool strict = false;
  std::string calls_of;   // --calls: the workload
  long calls = 0;
};

struct TInputs {
  std::string expected_counts;
  std::string sentence;   // 2 KiB for "GET Word"
  std::string script;     // 4 KiB for makoto
  std::string table_probe_source, table_probe_result;
};

// One line of the table; a negative baseline or ratio prints "-".
struct TRow {
  std::string name;
  std::string unit;        // "s" or "B"
  double median = 0, spread = 0, baseline = -1, ratio = -1;
  std::string target;
  bool pass = false;
  bool valid = true;   // false when the answers behind the figure were wrong
};

int g_failed_checks = 0;

bool Check(bool ok, const std::string& what) {
  if (!ok) {
    ++g_failed_checks;
    std::fprintf(stderr, "check failed: %s\n", what.c_str());
  }
  return ok;
}

bool ParseOptions(int argc, char** argv, TOptions& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool has_value = i + 1 < argc;
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else if (a == "--quick") {
      o.runs = o.load_runs = 1;
      o.soak = 20000;
      o.budget = 0.01;
    } else if (a == "--strict") {
      o.strict = true;
    } else if (a == "--calls" && i + 2 < argc) {
      o.calls_of = argv[++i];
      o.calls = std::strtol(argv[++i], nullptr, 10);
      if (o.calls < 1) return false;
    } else if (a == "--shiori" && has_value) {
      o.shiori = argv[++i];
    } else if (a == "--makoto" && has_value) {
      o.makoto = argv[++i];
    } else if ((a == "--runs" || a == "--soak") && has_value) {
      char* end = nullptr;
      const long n = std::strtol(argv[++i], &end, 10);
      if (*end || n < 1) return false;
      if (a == "--runs") o.runs = o.load_runs = static_cast<int>(n);
      else o.soak = n;
    } else if (!a.empty() && a[0] != '-' && o.ghost.empty()) {
      o.ghost = a;
    } else {
      return false;
    }
  }
  if (!o.ghost.empty() && o.ghost.back() != '/') o.ghost += '/';
  return !o.ghost.empty();
}

bool ReadInputs(const std::string& dir, TInputs& in) {
  std::string expect, table;
  if (!ReadFile(dir + "bench-expect.txt", expect) ||
      !ReadFile(dir + "bench_sentence.txt", in.sentence) ||
      !ReadFile(dir + "bench_script.txt", in.script) || !ReadFile(dir + "makoto0.txt", table)) {
    return false;
  }
  const size_t at = expect.find("counts=");
  in.expected_counts = at == std::string::npos ? "" : expect.substr(at + 7);
  in.expected_counts = in.expected_counts.substr(0, in.expected_counts.find('\n'));
  const std::string first = table.substr(0, table.find("\r\n"));
  const size_t comma = first.find(',');
  if (comma == std::string::npos) return false;
  in.table_probe_source = first.substr(0, comma);
  in.table_probe_result = first.substr(comma + 1);
  return !in.expected_counts.empty();
}

// ---- 1. load ------------------------------------------------------------------------

// The baseline of a load: the list file and every dictionary it names (the
// sealed file when the plain one is missing) read and split into lines.
size_t ReadAndSplit(const std::string& dir) {
  std::string list, text;
  ReadFile(dir + "tamune.ini", list);
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find("\r\n", start);
    if (end == std::string::npos) end = list.size();
    const std::string entry = list.substr(start, end - start);
    start = end + 2;
    if (entry.empty() || entry[0] == '#') continue;
    const std::string name = entry.substr(0, entry.find(','));
    if (!ReadFile(dir + name, text) || text.empty()) {
      ReadFile(dir + name.substr(0, name.find('.', 1)) + ".xdi", text);
    }
    for (size_t p = 0; p < text.size();) {
      size_t q = text.find("\r\n", p);
      if (q == std::string::npos) q = text.size();
      lines.emplace_back(text, p, q - p);
      p = q + 2;
    }
  }
  return lines.size();
}

struct TLoadSample {
  double baseline = 0, load = 0;
  long rss_before = 0, rss_after = 0, rss_peak = 0;
  int ok = 0;
};

// Runs `body` in a child process and reads back what it wrote.
TLoadSample InChild(TLoadSample (*body)(const TOptions&), const TOptions& o) {
  TLoadSample sample;
  int fds[2];
  if (pipe(fds) != 0) return sample;
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const TLoadSample s = body(o);
    const ssize_t written = write(fds[1], &s, sizeof s);
    _exit(written == static_cast<ssize_t>(sizeof s) ? 0 : 1);
  }
  close(fds[1]);
  if (pid > 0 && read(fds[0], &sample, sizeof sample) != static_cast<ssize_t>(sizeof sample)) {
    sample = TLoadSample();
  }
  close(fds[0]);
  if (pid > 0) waitpid(pid, nullptr, 0);
  return sample;
}

TLoadSample ChildBaseline(const TOptions& o) {
  TLoadSample s;
  const double start = CpuSeconds();
  s.ok = ReadAndSplit(o.ghost) > 0;
  s.baseline = CpuSeconds() - start;
  return s;
}

TLoadSample ChildLoad(const TOptions& o) {
  TLoadSample s;
  s.rss_before = ResidentBytes();
  TShioriLibrary lib;
  std::string error;
  if (!OpenShiori(o.shiori, lib, error)) return s;
  const double start = CpuSeconds();
  s.ok = lib.Load(o.ghost) == 1;
  s.load = CpuSeconds() - start;
  s.rss_after = ResidentBytes();
  s.rss_peak = PeakResidentBytes();
  return s;
}

// Workload 1, the memory after loading (6a) and the peak over it (6c); each
// load in a fresh process, since the module's tables live as long as the
// process.
void MeasureLoads(const TOptions& o, std::vector<TRow>& rows, TRow& memory, TRow& peak) {
  std::vector<double> loads, baselines, rss, above;
  double rss_before = 0;
  bool ok = true;
  for (int r = 0; r < o.load_runs; ++r) {
    const TLoadSample b = InChild(ChildBaseline, o);
    const TLoadSample l = InChild(ChildLoad, o);
    ok = Check(b.ok && l.ok, "the ghost loads in a child process") && ok;
    baselines.push_back(b.baseline);
    loads.push_back(l.load);
    rss.push_back(static_cast<double>(l.rss_after));
    above.push_back(static_cast<double>(l.rss_peak - l.rss_after));
    rss_before = static_cast<double>(l.rss_before);
  }
  const TSummary load = Summarize(loads), base = Summarize(baselines);
  const double ratio = base.median > 0 ? load.median / base.median : -1;
  rows.push_back({"1 load, full ghost", "s", load.median, load.spread, base.median, ratio,
                  "ratio <= 3, < 150 ms", ratio >= 0 && ratio <= 3 && load.median < 0.150, ok});
  const TSummary mem = Summarize(rss);
  memory = {"6a resident after load", "B", mem.median, mem.spread, rss_before, -1,
            "<= 9 MiB", mem.median > 0 && mem.median <= 9.0 * 1024 * 1024, ok};
  const TSummary over = Summarize(above);
  peak = {"6c load peak above 6a", "B", over.median, over.spread, -1, -1,
          "<= 1 MiB", over.median <= 1024.0 * 1024, ok};
}

// ---- 2 to 4: requests ---------------------------------------------------------------

const std::string kVersionRequest =
    MakeRequest("GET Version SHIORI/2.5", {{"Sender", "bench"}});

std::string EventRequest(const std::string& event) {
  return MakeRequest("GET Sentence SHIORI/2.5",
                     {{"Sender", "bench"}, {"Event", event}, {"Reference0", "0"},
                      {"Reference1", "2"}, {"Reference2", "head"}});
}

bool IsTalk(const std::string& response) {
  return response.rfind("SHIORI/2.5 200 OK\r\nSentence: ", 0) == 0 &&
         response.find("\\e\r\nCharset: ") != std::string::npos;
}

// The store the module reports must be the one gen-ghost filled.
bool CheckStore(const TShioriLibrary& lib, const TInputs& in) {
  Check(Request(lib, kVersionRequest).rfind("SHIORI/2.5 200 OK\r\nCharset: ", 0) == 0,
        "GET Version answers 200 OK with a Charset line");
  const std::string counts = Request(lib, EventRequest("OnBenchCounts"));
  return Check(counts.find("Sentence: " + in.expected_counts + "\\e\r\n") != std::string::npos,
               "store counts (words, links, categories, replies, events, sentences, "
               "hellos) are " + in.expected_counts + "; the module answers: " +
                   StatusLine(counts) + " " + StatusLine(counts.substr(counts.find("\r\n") + 2)));
}

void AddRequestRow(std::vector<TRow>& rows, const std::string& name, const TPaired& p,
                   double limit, const std::string& target, bool valid) {
  rows.push_back({name, "s", p.work.median, p.work.spread, p.base.median,
                  p.base.median > 0 ? p.work.median / p.base.median : -1, target,
                  p.work.median > 0 && p.work.median < limit, valid});
}

void MeasureRequests(const TOptions& o, const TShioriLibrary& lib, const TInputs& in,
                     std::vector<TRow>& rows) {
  const std::string event = EventRequest("OnMouseDoubleClick");
  const std::string talk = MakeRequest("GET Sentence SHIORI/2.5", {{"Sender", "bench"}});
  const std::string words =
      MakeRequest("GET Word SHIORI/2.5", {{"Sender", "bench"}, {"Sentence", in.sentence}});
  auto version = [&] { Request(lib, kVersionRequest); };
  bool ok = Check(IsTalk(Request(lib, event)), "the 50-response event answers with a talk");
  AddRequestRow(rows, "2 GET Sentence, event of 50",
                TimePaired([&] { Request(lib, event); }, version, o.runs, o.budget), 30e-6,
                "< 30 us", ok);
  ok = Check(IsTalk(Request(lib, talk)), "GET Sentence without an event gives a random talk");
  AddRequestRow(rows, "3 GET Sentence, random talk",
                TimePaired([&] { Request(lib, talk); }, version, o.runs, o.budget), 30e-6,
                "< 30 us", ok);
  ok = Check(Request(lib, words).rfind("SHIORI/2.5 200 OK\r\nWord: ", 0) == 0,
             "GET Word with a Sentence finds dictionary words");
  AddRequestRow(rows, "4 GET Word, 2 KiB Sentence",
                TimePaired([&] { Request(lib, words); }, version, o.runs, o.budget), 2e-3,
                "< 2 ms", ok);
}

// ---- 5: makoto ----------------------------------------------------------------------

// Baseline: the same script through the module with both tables empty (a
// directory without table files); then the ghost's 500-entry tables.
void MeasureMakoto(const TOptions& o, const TMakotoLibrary& lib, const TInputs& in,
                   std::vector<TRow>& rows) {
  char empty_dir[] = "/tmp/ghost-bench-XXXXXX";
  if (!mkdtemp(empty_dir)) return;
  lib.Load(std::string(empty_dir) + "/");
  bool ok = Check(Execute(lib, in.table_probe_source) == in.table_probe_source,
                  "makoto with empty tables returns a script unchanged");
  auto run = [&] { Execute(lib, in.script); };
  const int calls = IterationsFor(run, o.budget / 4, 5, 5000);
  std::vector<double> base;
  for (int r = 0; r < o.runs; ++r) base.push_back(MedianCallSeconds(run, calls));
  lib.unload();
  rmdir(empty_dir);

  lib.Load(o.ghost);
  ok = Check(Execute(lib, in.table_probe_source) == in.table_probe_result,
             "makoto applies the first entry of makoto0.nft") && ok;
  TPaired p = TimePaired(run, [] {}, o.runs, o.budget);
  p.base = Summarize(base);
  AddRequestRow(rows, "5 makoto execute, 4 KiB", p, 200e-6, "< 200 us", ok);
}

// ---- 6b: soak -----------------------------------------------------------------------

void MeasureSoak(const TOptions& o, const TShioriLibrary& shiori, const TMakotoLibrary& makoto,
                 std::vector<TRow>& rows) {
  const long first = o.soak >= 100 ? o.soak / 100 : 1;
  const long every = o.soak >= 10 ? o.soak / 10 : 1;
  std::fprintf(stderr, "soak: %ld mixed requests\n", o.soak);
  const TSoakResult s = RunSoak(shiori, &makoto, BuildMix(MixWords(o.ghost)), o.soak, first,
                               every, [](long n, long rss) {
                                 std::fprintf(stderr, "  %8ld requests  %8.2f MiB\n", n,
                                              rss / 1048576.0);
                               });
  std::fprintf(stderr, "soak: %.1f s; 200: %ld, 204: %ld, other: %ld, empty: %ld\n", s.seconds,
               s.status_200, s.status_204, s.status_other, s.empty);
  bool ok = Check(s.empty == 0, "every soak request got an answer");
  ok = Check(s.status_200 > s.requests / 2, "most soak requests answer 200 OK") && ok;
  const double growth = static_cast<double>(s.rss_final - s.rss_after_first);
  char name[64];
  std::snprintf(name, sizeof name, "6b growth, %ld requests", o.soak);
  rows.push_back({name, "B", growth, 0, static_cast<double>(s.rss_after_first), -1,
                  "<= 1 MiB", growth <= 1048576.0, ok});
}

// ---- --calls: one workload for callgrind ------------------------------------------

// Makes o.calls calls of one workload and nothing else that the count
// (callgrind's --toggle-collect on "load", "request" or ReadAndSplit) would
// see; the answers are checked once so that a count of wrong work is refused.
int CountCalls(const TOptions& o, const TInputs& in) {
  if (o.calls_of == "split") {
    for (long i = 0; i < o.calls; ++i) Check(ReadAndSplit(o.ghost) > 0, "the files split");
    return g_failed_checks ? kExitCheckFailed : kExitDone;
  }
  TShioriLibrary lib;
  std::string error;
  if (!OpenShiori(o.shiori, lib, error)) {
    std::fprintf(stderr, "ghost-bench: %s\n", error.c_str());
    return kExitUsage;
  }
  Check(lib.Load(o.ghost) == 1, "load answers true");
  if (o.calls_of == "load") return g_failed_checks ? kExitCheckFailed : kExitDone;
  std::string request;
  if (o.calls_of == "version") request = kVersionRequest;
  if (o.calls_of == "event") request = EventRequest("OnMouseDoubleClick");
  if (o.calls_of == "talk") request = MakeRequest("GET Sentence SHIORI/2.5", {{"Sender", "bench"}});
  if (o.calls_of == "word") {
    request = MakeRequest("GET Word SHIORI/2.5", {{"Sender", "bench"}, {"Sentence", in.sentence}});
  }
  if (request.empty()) return kExitUsage;
  Check(Request(lib, request).rfind("SHIORI/2.5 200 OK\r\n", 0) == 0, "the workload answers 200");
  for (long i = 1; i < o.calls; ++i) Request(lib, request);
  return g_failed_checks ? kExitCheckFailed : kExitDone;
}

// ---- the table ----------------------------------------------------------------------

std::string Amount(double v, const std::string& unit) {
  char buf[32];
  if (v < 0) return "-";
  if (unit == "B") {
    std::snprintf(buf, sizeof buf, "%.2f MiB", v / 1048576.0);
  } else if (v < 1e-3) {
    std::snprintf(buf, sizeof buf, "%.2f us", v * 1e6);
  } else if (v < 1) {
    std::snprintf(buf, sizeof buf, "%.2f ms", v * 1e3);
  } else {
    std::snprintf(buf, sizeof buf, "%.2f s", v);
  }
  return buf;
}

// First line of /proc/cpuinfo's model name, the cores and the load average.
std::string Machine() {
  std::string cpu, load, model = "unknown cpu";
  ReadFile("/proc/cpuinfo", cpu);
  const size_t at = cpu.find("model name");
  if (at != std::string::npos) {
    const size_t colon = cpu.find(':', at);
    model = cpu.substr(colon + 2, cpu.find('\n', colon) - colon - 2);
  }
  ReadFile("/proc/loadavg", load);
  load = load.substr(0, load.find(' ', load.find(' ', load.find(' ') + 1) + 1));
  char buf[256];
  std::snprintf(buf, sizeof buf, "%s, %ld cores, load average %s", model.c_str(),
                sysconf(_SC_NPROCESSORS_ONLN), load.c_str());
  return buf;
}

int PrintTable(const std::vector<TRow>& rows, const std::string& machine) {
  std::printf("machine: %s\n", machine.c_str());
  std::printf("%-30s %11s %7s %11s %7s  %-22s %s\n", "workload", "median", "spread",
              "baseline", "ratio", "target", "result");
  int missed = 0;
  for (const TRow& r : rows) {
    char spread[16], ratio[16];
    std::snprintf(spread, sizeof spread, "%.1f%%", r.spread * 100);
    std::snprintf(ratio, sizeof ratio, r.ratio < 0 ? "-" : "%.1f", r.ratio);
    std::printf("%-30s %11s %7s %11s %7s  %-22s %s\n", r.name.c_str(),
                Amount(r.median, r.unit).c_str(), spread, Amount(r.baseline, r.unit).c_str(),
                ratio, r.target.c_str(), !r.valid ? "INVALID" : r.pass ? "PASS" : "FAIL");
    missed += !r.pass || !r.valid;
  }
  std::printf(
      "times are CPU time of the calling thread (user + system), not wall-clock time;\n"
      "median: of the runs' medians per call; spread: half the range of the run medians.\n"
      "baselines: 1 reading the same files and splitting them into lines; 2-4 GET Version;\n"
      "5 the same script with both tables empty; 6a resident before the library was\n"
      "opened; 6b resident after the first 1%% of the soak (10,000 of 1,000,000).\n");
  if (g_failed_checks) {
    std::printf("INVALID: the answers behind the figure were wrong (see the failed checks).\n");
  }
  return missed;
}

}  // namespace

int main(int argc, char** argv) {
  TOptions o;
  if (!ParseOptions(argc, argv, o)) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  TInputs in;
  if (!ReadInputs(o.ghost, in)) {
    std::fprintf(stderr, "ghost-bench: %s is not a ghost written by gen-ghost\n",
                 o.ghost.c_str());
    return kExitUsage;
  }
  if (!o.calls_of.empty()) return CountCalls(o, in);
  const std::string machine = Machine();   // load average before the runs
  std::vector<TRow> rows;
  TRow memory, peak;
  MeasureLoads(o, rows, memory, peak);   // before this process opens the library itself

  TShioriLibrary shiori;
  TMakotoLibrary makoto;
  std::string error;
  if (!OpenShiori(o.shiori, shiori, error) || !OpenMakoto(o.makoto, makoto, error)) {
    std::fprintf(stderr, "ghost-bench: %s\n", error.c_str());
    return kExitUsage;
  }
  Check(shiori.Load(o.ghost) == 1, "load answers true");
  const bool store_ok = CheckStore(shiori, in);
  rows[0].valid = rows[0].valid && store_ok;
  memory.valid = memory.valid && store_ok;
  peak.valid = peak.valid && store_ok;
  MeasureRequests(o, shiori, in, rows);
  MeasureMakoto(o, makoto, in, rows);
  rows.push_back(memory);
  rows.push_back(peak);
  MeasureSoak(o, shiori, makoto, rows);
  Check(MissingNulCount() == 0, "every response block ends in NUL after its length");

  const int missed = PrintTable(rows, machine);
  if (g_failed_checks) {
    std::fprintf(stderr, "ghost-bench: %d check(s) of the answers failed\n", g_failed_checks);
    return kExitCheckFailed;
  }
  return o.strict && missed ? kExitTargetMissed : kExitDone;
}
