// Allocation failure at every site: the built libraries driven through their
// exports while the failing malloc (failing_malloc.h) makes the Nth
// allocation fail. A reference run counts the allocations the exports make;
// then one forked child per N, four at a time (or per k-th N from a random
// offset, when there are more than the run budget), replays the session
// with that allocation failing, once alone ("single") and once with every
// allocation after it failing too until the export returns ("until return").
//
//   test_alloc shiori GHOST_DIR   the sample ghost: load, a mix of requests, unload
//   test_alloc makoto GHOST_DIR   the translation tables: load, execute, unload
//
// Environment: ALLOC_RUNS (run budget per mode, default 2500), ALLOC_SEED
// (the offset's seed; printed, so a run can be repeated), ALLOC_ONLY (run
// that one N, e.g. under a debugger).
//
// What each child checks: no crash (an exception out of a noexcept export
// aborts, and the parent sees the signal); every response is well-formed,
// the last-resort 400 or no block being allowed only from the export call
// that met the failure; every later call answers in full, the final
// constant request exactly as in the reference run; after unload and
// dlclose, no block allocated inside an export is still live. The parent
// then checks the files the session writes: each is the old file or a
// complete new one, and no temporary file is left.
#include <dlfcn.h>
#include <execinfo.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <memory>
#include <iterator>
#include <string>
#include <vector>

#include "decox.h"
#include "failing_malloc.h"
#include "scratch_dir.h"

namespace fs = std::filesystem;

namespace {

// ---- The exports, called with counting on only inside them ---------------------

using TLoad = int (*)(char*, long);
using TRequest = char* (*)(char*, long*);
using TUnload = int (*)();

struct TExports {
  void* handle = nullptr;
  TLoad load = nullptr;
  TRequest request = nullptr;  // `request` or `execute`
  TUnload unload = nullptr;
};

bool OpenExports(const char* path, const char* request_name, TExports& out) {
  out.handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (out.handle == nullptr) return false;
  out.load = reinterpret_cast<TLoad>(dlsym(out.handle, "load"));
  out.request = reinterpret_cast<TRequest>(dlsym(out.handle, request_name));
  out.unload = reinterpret_cast<TUnload>(dlsym(out.handle, "unload"));
  return out.load && out.request && out.unload;
}

char* HostBlock(const std::string& bytes) {
  char* block = static_cast<char*>(std::malloc(bytes.size() + 1));
  if (block == nullptr) std::abort();  // counting is off here: cannot happen
  std::memcpy(block, bytes.c_str(), bytes.size() + 1);
  return block;
}

// One export call's outcome: the text of the block handed back (if any) and
// whether an allocation failed during the call.
struct TCall {
  bool block = false;
  long length = -1;
  bool nul_ended = false;
  std::string text;
  bool met_failure = false;
};

// Runs `call` with counting and tracking on. A failure set for later stays
// armed; one met during this call is disarmed when it returns, so memory is
// back for every later call.
template <typename TFunction>
void Counted(TCall& outcome, const TFunction& call) {
  const uint64_t failures = failing_malloc::Failures();
  failing_malloc::Track(true);
  failing_malloc::Count(true);
  call();
  failing_malloc::Count(false);
  failing_malloc::Track(false);
  outcome.met_failure = failing_malloc::Failures() != failures;
  if (outcome.met_failure) failing_malloc::FailAt(0, false);
}

TCall Load(const TExports& module, const std::string& directory, bool host_frees) {
  char* block = HostBlock(directory);
  TCall outcome;
  const long length = static_cast<long>(directory.size());
  Counted(outcome, [&] { outcome.length = module.load(block, length); });
  if (host_frees) std::free(block);
  return outcome;
}

TCall Ask(const TExports& module, const std::string& text) {
  long length = static_cast<long>(text.size());
  char* answer = nullptr;
  TCall outcome;
  char* block = HostBlock(text);
  Counted(outcome, [&] { answer = module.request(block, &length); });
  outcome.block = answer != nullptr;
  outcome.length = length;
  if (answer != nullptr && length >= 0) {
    outcome.text.assign(answer, static_cast<size_t>(length));
    outcome.nul_ended = answer[length] == '\0';
  }
  std::free(answer);
  return outcome;
}

TCall Unload(const TExports& module) {
  TCall outcome;
  Counted(outcome, [&] { outcome.length = module.unload(); });
  return outcome;
}

// ---- Checks made in the child -----------------------------------------------

struct TChild {
  int failures = 0;
  bool failed_before = false;  // an earlier call met the failure
  void Fail(const std::string& what) {
    if (failures++ < 5) std::fprintf(stderr, "  %s\n", what.c_str());
  }
};

std::string Shown(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, c < 0x20 || c > 0x7E ? "\\x%02X" : "%c", c);
    out += buffer;
  }
  return out.size() > 200 ? out.substr(0, 200) + "..." : out;
}

// What is wrong with a response by the protocol: the status line
// "SHIORI/2.5 NNN ...", header lines, every line ended by CR LF, and the
// empty line that ends the message, at its end only, a NUL after the length.
std::string MessageProblem(const TCall& answer) {
  const std::string& text = answer.text;
  if (!answer.nul_ended) return "no NUL after the length";
  if (text.compare(0, 11, "SHIORI/2.5 ") != 0 || text.size() < 15 ||
      text.find_first_not_of("0123456789", 11) != 14 || text[14] != ' ')
    return "no status line";
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\0') return "a NUL inside";
    if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) return "a lone CR";
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return "a lone LF";
  }
  const size_t end = text.find("\r\n\r\n");
  if (end == std::string::npos || end + 4 != text.size()) return "no closing empty line at the end";
  return std::string();
}

// A response of the conversation module. The call that met the failure may
// answer 400 or hand back no block (length 0); every other call answers in
// full and never 400 (the session asks nothing unreasonable).
void CheckResponse(TChild& child, const std::string& request, const TCall& answer) {
  const std::string name = Shown(request.substr(0, request.find("\r\n\r\n")));
  if (!answer.block) {
    if (!answer.met_failure || answer.length != 0)
      child.Fail("no block (length " + std::to_string(answer.length) + ") for " + name);
    return;
  }
  const std::string problem = MessageProblem(answer);
  if (!problem.empty()) child.Fail(problem + " in [" + Shown(answer.text) + "] for " + name);
  else if (!answer.met_failure && answer.text.compare(11, 3, "400") == 0)
    child.Fail("400 without a failure for " + name);
}

// Blocks allocated inside an export that are still live after dlclose.
void CheckNoLeak(TChild& child, TExports& module) {
  dlclose(module.handle);
  module.handle = nullptr;
  if (failing_malloc::LiveBlocks() == 0) return;
  child.Fail(std::to_string(failing_malloc::LiveBlocks()) + " blocks leaked:");
  failing_malloc::ForEachLiveBlock([](const void* block, size_t size, uint64_t call) {
    std::fprintf(stderr, "    %zu bytes at %p from allocation call %llu\n", size, block,
                 static_cast<unsigned long long>(call));
  });
}

// ---- The conversation module's session ------------------------------------------

std::string Request(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* line : lines) text += std::string(line) + "\r\n";
  return text + "\r\n";
}

// Every request type: notifications, events (a _save among them: OnUnload
// saves the visit counter), random talk, words, a reply, status, a string,
// TEACH and the version.
std::vector<std::string> ShioriSession() {
  return {
      Request({"NOTIFY OwnerGhostName SHIORI/2.5", "Sender: host", "Reference0: Mirai"}),
      Request({"NOTIFY OtherGhostName SHIORI/2.5", "GhostEx: Kuro\x01shell", "Ghost: Alice"}),
      Request({"GET Sentence SHIORI/2.5", "Sender: host", "Event: OnMouseDoubleClick",
               "Reference0: 0", "Reference1: head"}),
      Request({"GET Sentence SHIORI/2.5", "Sender: host"}),
      Request({"GET Sentence SHIORI/2.5", "Sender: host", "Event: OnIdle"}),
      Request({"GET Sentence SHIORI/2.5", "Sender: host", "Event: OnMouseClick"}),
      Request({"GET Sentence SHIORI/2.5", "Word: pocket watch"}),
      Request({"GET Word SHIORI/2.5", "Type: \\dms"}),
      Request({"GET Word SHIORI/2.5", "Sentence: the mayor brought a pocket watch"}),
      Request({"GET Sentence SHIORI/2.5", "Sender: Kuro", "Sentence: my clock broke", "Age: 3"}),
      Request({"GET Status SHIORI/2.5"}),
      Request({"GET String SHIORI/2.5", "ID: motto"}),
      Request({"TEACH SHIORI/2.5", "Reference0: snack", "Reference1: apple pie"}),
      Request({"GET Sentence SHIORI/2.5", "Sender: host", "Event: OnUnload"}),
      Request({"GET Version SHIORI/2.5"}),
  };
}

const std::string kConstantTalk =
    Request({"GET Sentence SHIORI/2.5", "Sender: host", "Event: OnBoltWakes"});

// The session in the child; the reference run passes an empty `expected`
// and gets the final answer and the allocation count back through stdout.
int ShioriChild(TExports& module, const std::string& directory, const std::string& expected) {
  TChild child;
  const TCall loaded = Load(module, directory, false);  // the module frees the block
  if (loaded.length != 1) child.Fail("load gave " + std::to_string(loaded.length));
  for (const std::string& request : ShioriSession())
    CheckResponse(child, request, Ask(module, request));
  const TCall final_talk = Ask(module, kConstantTalk);
  CheckResponse(child, kConstantTalk, final_talk);
  // A failure while loading may have cut the dictionaries short: the talk is
  // then either there or not at all ("204 No Content").
  const bool talk_may_be_missing =
      loaded.met_failure && final_talk.text == "SHIORI/2.5 204 No Content\r\n\r\n";
  if (!expected.empty() && !final_talk.met_failure && final_talk.text != expected &&
      !talk_may_be_missing)
    child.Fail("the constant talk came back as [" + Shown(final_talk.text) + "]");
  const TCall unloaded = Unload(module);
  if (unloaded.length != 1) child.Fail("unload gave " + std::to_string(unloaded.length));
  CheckNoLeak(child, module);
  if (expected.empty())
    std::printf("%llu\n%s", static_cast<unsigned long long>(failing_malloc::Calls()),
                final_talk.text.c_str());
  return child.failures == 0 ? 0 : 1;
}

// ---- The translation module's session --------------------------------------------

// Scripts through both tables and every random form; the generator is
// seeded before each call, so a complete answer is always the same.
std::vector<std::string> MakotoSession() {
  return {
      "\\h\\s[0]It's three o'clock!\\u\\s[10]Hoo.\\e",
      "\\h\\s[0]Hm? Still no hands.\\u\\s[10]Hoo. Hm?\\e",
      "",
      "\\u\\s[10]Hoo.\\h\\s[0]Hm?\\u\\s[10]Still no hands.\\e",
  };
}

// An answer of execute: the rewritten script, or the script unchanged when
// the call met the failure (or the tables were lost to an earlier one), or
// no block with length 0 from the failing call.
void CheckScript(TChild& child, const std::string& script, const TCall& answer,
                 const std::string& expected) {
  if (!answer.block) {
    if (!answer.met_failure || answer.length != 0)
      child.Fail("no block for [" + Shown(script) + "]");
    return;
  }
  const bool unchanged_allowed = answer.met_failure || child.failed_before;
  if (answer.text == expected || (unchanged_allowed && answer.text == script)) return;
  child.Fail("[" + Shown(script) + "] came back as [" + Shown(answer.text) + "]");
}

// The reference run passes no `expected` and prints every answer.
int MakotoChild(TExports& module, const std::string& directory,
                const std::vector<std::string>& expected) {
  TChild child;
  const TCall loaded = Load(module, directory, true);  // the host frees the directory
  if (loaded.length != 1) child.Fail("load gave " + std::to_string(loaded.length));
  child.failed_before = loaded.met_failure;
  const std::vector<std::string> scripts = MakotoSession();
  std::vector<std::string> answers;
  for (size_t i = 0; i < scripts.size(); ++i) {
    std::srand(1);
    const TCall answer = Ask(module, scripts[i]);
    if (!expected.empty()) CheckScript(child, scripts[i], answer, expected[i]);
    child.failed_before = child.failed_before || answer.met_failure;
    answers.push_back(answer.text);
  }
  const TCall unloaded = Unload(module);
  if (unloaded.length != 1) child.Fail("unload gave " + std::to_string(unloaded.length));
  CheckNoLeak(child, module);
  if (expected.empty()) {
    std::printf("%llu\n", static_cast<unsigned long long>(failing_malloc::Calls()));
    for (const std::string& answer : answers) std::printf("%s%c", answer.c_str(), '\0');
  }
  return child.failures == 0 ? 0 : 1;
}

// ---- The parent: the reference run, the files, the runs per N ---------------------

// A child that crashes says where before it dies of the signal.
void ShowCrash(int signal_number) {
  void* frames[40];
  const int count = backtrace(frames, 40);
  backtrace_symbols_fd(frames, count, 2);
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

void ShowCrashes() {
  void* frame;
  backtrace(&frame, 1);  // loads the unwinder now, not in the crashing child
  for (int signal_number : {SIGSEGV, SIGBUS, SIGABRT, SIGFPE}) signal(signal_number, ShowCrash);
}

// Runs `child` in a forked process; its stdout comes back in `out`. The exit
// status is the child's, or 128 + the signal that ended it.
int InChild(const std::function<int()>& child, std::string* out) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return 255;
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    close(pipe_ends[0]);
    dup2(pipe_ends[1], 1);
    const int status = child();
    std::fflush(nullptr);
    _exit(status);
  }
  close(pipe_ends[1]);
  char buffer[4096];
  for (ssize_t got; (got = read(pipe_ends[0], buffer, sizeof buffer)) > 0;)
    if (out != nullptr) out->append(buffer, static_cast<size_t>(got));
  close(pipe_ends[0]);
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return 255;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The files a session may write, with the bytes they had before it and the
// bytes a complete session leaves. A file the session may remove or create
// has "absent" among its allowed states as an empty optional.
struct TWrittenFile {
  std::string name;
  bool existed;
  std::string old_bytes;
  std::string new_bytes;  // from the reference run
};

void Restore(const std::string& dir, const std::vector<TWrittenFile>& files) {
  for (const TWrittenFile& file : files) {
    if (file.existed) PutFile(dir + file.name, file.old_bytes);
    else fs::remove(dir + file.name);
  }
}

// The sample ghost's value file after a session: the old file, or a
// complete new one: the untouched line kept, then the counter's line whole
// (its value is "%visits" when a failure stopped OnLoad before it counted),
// or no counter line when the save removed it.
bool WholeValueFile(const std::string& bytes) {
  const std::string kept = "note,keep this line\r\n";
  if (bytes == kept) return true;
  const std::string head = kept + "visits,";
  return bytes.size() > head.size() + 2 && bytes.compare(0, head.size(), head) == 0 &&
         bytes.find("\r\n", head.size()) == bytes.size() - 2;
}

// A file is complete when it is byte for byte the old or the reference new
// one; a sealed dictionary (sealed with a fresh key each time) when it
// unseals to what the reference's unseals to; the value file by its lines.
bool WholeFile(const TWrittenFile& file, const std::string& bytes) {
  if (bytes == file.new_bytes || (file.existed && bytes == file.old_bytes)) return true;
  if (file.name == "values.dat") return WholeValueFile(bytes);
  const size_t dot = file.name.rfind('.');
  const bool sealed = dot != std::string::npos && file.name.substr(dot) == ".xdi";
  return sealed && !bytes.empty() && Unseal(bytes) == Unseal(file.new_bytes);
}

// What is wrong with the directory after a child: a file neither old nor
// complete, or a file the session should not have left.
std::string FilesProblem(const std::string& dir, const std::vector<TWrittenFile>& files,
                         const std::vector<std::string>& names_before) {
  for (const TWrittenFile& file : files) {
    const std::string path = dir + file.name;
    const bool exists = Exists(path);
    if (!exists) {
      if (file.existed) return file.name + " is gone";
      continue;
    }
    const std::string bytes = FileBytes(path);
    if (!WholeFile(file, bytes)) return file.name + " is torn: [" + Shown(bytes) + "]";
  }
  std::vector<std::string> names = ListNames(dir);
  for (const std::string& name : names) {
    bool known = std::find(names_before.begin(), names_before.end(), name) != names_before.end();
    for (const TWrittenFile& file : files) known = known || name == file.name;
    if (!known) return "left behind: " + name;
  }
  return std::string();
}

struct TPlan {
  uint64_t first = 1;
  uint64_t step = 1;
};

TPlan PlanRuns(uint64_t allocations, uint64_t budget) {
  TPlan plan;
  if (allocations <= budget) return plan;
  plan.step = (allocations + budget - 1) / budget;
  const char* seed_text = std::getenv("ALLOC_SEED");
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  const unsigned long long seed = seed_text != nullptr ? std::strtoull(seed_text, nullptr, 10)
                                                       : static_cast<unsigned long long>(now);
  plan.first = 1 + seed % plan.step;
  std::printf("every %llu-th allocation from %llu (ALLOC_SEED=%llu)\n",
              static_cast<unsigned long long>(plan.step),
              static_cast<unsigned long long>(plan.first), seed);
  return plan;
}

// One child of RunEveryN: its N, its mode and the directory it works in.
struct TRunning {
  pid_t pid;
  uint64_t n;
  bool until_return;
  size_t dir;
};

// Runs `session` once per planned N in both modes, as many children at a
// time as there are directories (each session waits on its files' flushes
// more than it computes); prints the counts and answers whether all held.
bool RunEveryN(const char* module_name, uint64_t allocations, const std::vector<std::string>& dirs,
               const std::vector<TWrittenFile>& files,
               const std::function<int(const std::string&)>& session) {
  const char* budget_text = std::getenv("ALLOC_RUNS");
  const uint64_t budget = budget_text != nullptr ? std::strtoull(budget_text, nullptr, 10) : 2500;
  TPlan plan = PlanRuns(allocations, budget == 0 ? 1 : budget);
  if (const char* only = std::getenv("ALLOC_ONLY")) {  // one N again, to look at it
    plan.first = std::strtoull(only, nullptr, 10);
    allocations = plan.first;
  }
  const std::vector<std::string> names_before = ListNames(dirs[0]);
  std::vector<TRunning> running;
  std::vector<bool> busy(dirs.size(), false);
  uint64_t runs = 0, bad = 0;
  auto finish_one = [&] {
    int status = 0;
    const pid_t pid = waitpid(-1, &status, 0);
    auto done = std::find_if(running.begin(), running.end(),
                             [pid](const TRunning& child) { return child.pid == pid; });
    if (done == running.end()) std::abort();  // no child of ours: cannot go on counting
    const int exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    const std::string problem = FilesProblem(dirs[done->dir], files, names_before);
    if (exit_code != 0 || !problem.empty()) {
      ++bad;
      std::printf("FAILED: allocation %llu (%s): exit %d %s\n",
                  static_cast<unsigned long long>(done->n),
                  done->until_return ? "until return" : "single", exit_code, problem.c_str());
      std::fflush(stdout);
    }
    busy[done->dir] = false;
    running.erase(done);
  };
  for (uint64_t n = plan.first; n <= allocations; n += plan.step) {
    for (bool until_return : {false, true}) {
      if (running.size() == dirs.size()) finish_one();
      const auto free_dir = std::find(busy.begin(), busy.end(), false);
      const size_t dir = static_cast<size_t>(free_dir - busy.begin());
      Restore(dirs[dir], files);
      ++runs;
      std::fflush(nullptr);
      const pid_t pid = fork();
      if (pid == 0) {
        failing_malloc::FailAt(n, until_return);
        const int status = session(dirs[dir]);
        std::fflush(nullptr);
        _exit(status);
      }
      if (pid < 0) std::abort();
      busy[dir] = true;
      running.push_back({pid, n, until_return, dir});
    }
  }
  while (!running.empty()) finish_one();
  for (const std::string& dir : dirs) Restore(dir, files);
  std::printf("%s: %llu allocations in the session, %llu runs, %llu failed\n", module_name,
              static_cast<unsigned long long>(allocations), static_cast<unsigned long long>(runs),
              static_cast<unsigned long long>(bad));
  return bad == 0;
}

void CopyGhost(const std::string& from, const std::string& to) {
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

// A copy of the sample ghost with a known value file and no sealed copy.
void PrepareGhost(const std::string& ghost, const std::string& dir, const std::string& values) {
  CopyGhost(ghost, dir);
  fs::remove(dir + "values.dat");
  fs::remove(dir + "dic_workshop.xdi");
  PutFile(dir + "values.dat", values);
}

constexpr int kParallelSessions = 4;

int ShioriMain(const std::string& ghost) {
  const std::string old_values = "visits,7\r\nnote,keep this line\r\n";
  std::vector<std::unique_ptr<ScratchDir>> scratch;
  std::vector<std::string> dirs;
  for (int i = 0; i < kParallelSessions; ++i) {
    scratch.push_back(std::make_unique<ScratchDir>());
    dirs.push_back(scratch.back()->path());
    PrepareGhost(ghost, dirs.back(), old_values);
  }
  std::vector<TWrittenFile> files = {{"values.dat", true, old_values, ""},
                                     {"dic_workshop.xdi", false, "", ""}};
  TExports module;
  if (!OpenExports(GHOST_SHIORI_LIBRARY, "request", module)) {
    std::printf("cannot open %s\n", GHOST_SHIORI_LIBRARY);
    return 2;
  }
  std::string reference;
  if (InChild([&] { return ShioriChild(module, dirs[0], ""); }, &reference) != 0) {
    std::printf("the reference run failed\n%s", reference.c_str());
    return 1;
  }
  const uint64_t allocations = std::strtoull(reference.c_str(), nullptr, 10);
  const std::string expected = reference.substr(reference.find('\n') + 1);
  for (TWrittenFile& file : files) file.new_bytes = FileBytes(dirs[0] + file.name);
  if (expected.find("Hoo? Was I asleep?") == std::string::npos || files[1].new_bytes.empty() ||
      !WholeValueFile(files[0].new_bytes)) {
    std::printf("the reference run did not do its work:\n%s\n", Shown(reference).c_str());
    return 1;
  }
  return RunEveryN("shiori", allocations, dirs, files, [&](const std::string& dir) {
           return ShioriChild(module, dir, expected);
         }) ? 0 : 1;
}

int MakotoMain(const std::string& ghost) {
  TExports module;
  if (!OpenExports(GHOST_MAKOTO_LIBRARY, "execute", module)) {
    std::printf("cannot open %s\n", GHOST_MAKOTO_LIBRARY);
    return 2;
  }
  std::string reference;
  if (InChild([&] { return MakotoChild(module, ghost, {}); }, &reference) != 0) {
    std::printf("the reference run failed\n%s", reference.c_str());
    return 1;
  }
  const uint64_t allocations = std::strtoull(reference.c_str(), nullptr, 10);
  std::vector<std::string> expected;
  for (size_t at = reference.find('\n') + 1; at < reference.size();) {
    const size_t nul = reference.find('\0', at);
    expected.push_back(reference.substr(at, nul - at));
    at = nul + 1;
  }
  const std::vector<std::string> scripts = MakotoSession();
  if (expected.size() != scripts.size() || expected[0] == scripts[0] || expected[3] == scripts[3]) {
    std::printf("the reference run did not translate:\n%s\n", Shown(reference).c_str());
    return 1;
  }
  return RunEveryN("makoto", allocations, std::vector<std::string>(kParallelSessions, ghost), {},
                   [&](const std::string& dir) { return MakotoChild(module, dir, expected); })
             ? 0
             : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: test_alloc shiori|makoto GHOST_DIR\n");
    return 2;
  }
  // The C library keeps its time zone for the process once a first local
  // time is asked for; had the module asked first, it would count as leaked.
  const std::time_t now = std::time(nullptr);
  std::localtime(&now);
  ShowCrashes();
  const std::string module = argv[1];
  const std::string ghost = fs::absolute(argv[2]).string() + "/";
  if (module == "shiori") return ShioriMain(ghost);
  if (module == "makoto") return MakotoMain(ghost);
  std::fprintf(stderr, "unknown module %s\n", argv[1]);
  return 2;
}
