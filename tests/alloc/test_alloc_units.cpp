// Allocation failure inside single units, at every allocation of one
// operation: the places where a failed allocation once left a unit broken.
// Each case counts the allocations of its operation, then runs it once per N
// in a forked child with the Nth allocation failing (alone, and with every
// later one failing too), lets memory come back and checks the unit's state:
//
// - variables: a new name half stored (in the name map, not in the length
//   order) crashed on its removal;
// - value file: a _save whose read of "values.dat" ran out of memory took
//   the file for empty and wrote it back with its own key only;
// - dictionary list: a dictionary whose read ran out of memory was skipped
//   as if missing;
// - translation tables: a failed load left an index pointing past the
//   entries, a failed table file read an empty table, and the reset that
//   should have cleared them allocated itself (it now allocates nothing:
//   an unload must leave no block of the module's behind).
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <new>
#include <string>

#include "decox.h"
#include "failing_malloc.h"
#include "fileutl.h"
#include "formula.h"
#include "formula_values.h"
#include "makoto.h"
#include "scratch_dir.h"
#include "shiori.h"

namespace {

struct TCase {
  const char* name;
  std::function<void()> setup;   // before counting
  std::function<void()> action;  // counted; may throw std::bad_alloc
  std::function<std::string(bool threw)> problem;  // after memory is back; empty: fine
  bool allocation_free = false;  // the action must make no allocation at all
};

// Runs the action in a child with allocation `fail_at` failing (0: none);
// the child exits 0 when the state held, 1 when not (saying why), and
// prints its allocation count when `count_out`.
int RunChild(const TCase& one, uint64_t fail_at, bool until_end, uint64_t* count_out) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return 255;
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    close(pipe_ends[0]);
    one.setup();
    bool threw = false;
    failing_malloc::FailAt(fail_at, until_end);
    failing_malloc::Count(true);
    try {
      one.action();
    } catch (const std::bad_alloc&) {
      threw = true;
    }
    failing_malloc::Count(false);
    failing_malloc::FailAt(0, false);
    const uint64_t calls = failing_malloc::Calls();
    const ssize_t ignored = write(pipe_ends[1], &calls, sizeof calls);
    (void)ignored;
    const std::string problem = one.problem(threw);
    if (!problem.empty()) std::fprintf(stderr, "  %s: %s\n", one.name, problem.c_str());
    std::fflush(nullptr);
    _exit(problem.empty() ? 0 : 1);
  }
  close(pipe_ends[1]);
  uint64_t calls = 0;
  if (read(pipe_ends[0], &calls, sizeof calls) == sizeof calls && count_out) *count_out = calls;
  close(pipe_ends[0]);
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return 255;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool RunEveryN(const TCase& one) {
  uint64_t allocations = 0;
  if (RunChild(one, 0, false, &allocations) != 0 || (allocations == 0) != one.allocation_free) {
    std::printf("%s: the run without failure did not hold (%llu allocations)\n", one.name,
                static_cast<unsigned long long>(allocations));
    return false;
  }
  if (one.allocation_free) {
    std::printf("%s: no allocation, the state held\n", one.name);
    return true;
  }
  uint64_t runs = 0, bad = 0;
  for (uint64_t n = 1; n <= allocations; ++n) {
    for (bool until_end : {false, true}) {
      ++runs;
      const int status = RunChild(one, n, until_end, nullptr);
      if (status == 0) continue;
      ++bad;
      std::printf("  FAILED: %s, allocation %llu (%s): exit %d\n", one.name,
                  static_cast<unsigned long long>(n), until_end ? "until the end" : "single",
                  status);
    }
  }
  std::printf("%s: %llu allocations, %llu runs, %llu failed\n", one.name,
              static_cast<unsigned long long>(allocations), static_cast<unsigned long long>(runs),
              static_cast<unsigned long long>(bad));
  return bad == 0;
}

std::string IfNot(bool holds, const std::string& problem) { return holds ? "" : problem; }

// A new name of a length no other name has, then taken out and put back.
TCase Variables() {
  return {"variables",
          [] {
            ResetModule();
            PutVariable("\\other", "0");
          },
          [] { PutVariable("\\abc", "1"); },
          [](bool) {
            if (ListVariables().size() != static_cast<size_t>(VariableCount()))
              return std::string("a name is in the store but not in its order");
            RemoveVariable("\\abc");
            PutVariable("\\abc", "2");
            const std::string* value = FindVariable("\\abc");
            return IfNot(value != nullptr && *value == "2" && VariableCount() == 2 &&
                             ListVariables().size() == 2,
                         "the store lost count of its names");
          }};
}

TCase ValueFile(const std::string& dir) {
  const std::string path = dir + "values.dat";
  const std::string old_bytes = "note,keep\r\nvisits,7\r\n";
  return {"value file",
          [dir, path, old_bytes] {
            ResetModule();
            SetBaseDirectory(dir);
            PutFile(path, old_bytes);
          },
          [] { Evaluate("\\_save := visits 8"); },
          [dir, path, old_bytes](bool) {
            const std::string bytes = ReadWholeFile(path);
            if (ListNames(dir).size() != 1) return std::string("a file was left beside values.dat");
            return IfNot(bytes == old_bytes || bytes == "note,keep\r\nvisits,8\r\n",
                         "values.dat became [" + bytes + "]");
          }};
}

TCase DictionaryList(const std::string& dir) {
  PutFile(dir + "tamune.ini", "one.txt\r\ntwo.txt\r\n");
  PutFile(dir + "one.txt", "$[M],\\h\\s[0]\r\n");
  PutFile(dir + "two.txt", "@OnBoot,[M]Hi.\r\n");
  const std::string whole = LoadDictionaries(dir, "tamune.ini");
  auto joined = std::make_shared<std::string>();
  return {"dictionary list", [] {},
          [dir, joined] { *joined = LoadDictionaries(dir, "tamune.ini"); },
          [whole, joined](bool threw) {
            return IfNot(threw || *joined == whole,
                         "the dictionaries came back as [" + *joined + "]");
          }};
}

// Table 0 holds one entry; loading the sample ghost's table replaces it, or
// fails and leaves it.
TCase TableLoad(const std::string& ghost) {
  const std::string bytes = ReadWholeFile(ghost + "makoto0.nft");
  const std::string one_entry = ReadWholeFile(ghost + "makoto1.nft");
  makoto::ResetModule();
  const int entries = makoto::LoadTableFromBytes(0, bytes);
  const int old_entries = makoto::LoadTableFromBytes(0, one_entry);
  return {"table load", [one_entry] { makoto::LoadTableFromBytes(0, one_entry); },
          [bytes] { makoto::LoadTableFromBytes(0, bytes); },
          [entries, old_entries](bool threw) {
            const int now = static_cast<int>(makoto::TableEntries(0).size());
            makoto::ReplaceFromTables("\\hHoo. Hm? o'clock! Still no hands.");
            return IfNot(now == (threw ? old_entries : entries),
                         "table 0 has " + std::to_string(now) + " entries");
          }};
}

TCase TableFiles(const std::string& ghost) {
  makoto::ResetModule();
  const int entries = makoto::LoadTables(ghost);
  return {"table files", [] { makoto::ResetModule(); },
          [ghost] { makoto::LoadTables(ghost); },
          [entries](bool threw) {
            const auto now = makoto::TableEntries(0).size() + makoto::TableEntries(1).size();
            return IfNot(threw || static_cast<int>(now) == entries,
                         "the tables hold " + std::to_string(now) + " entries");
          }};
}

// The reset clears the tables without allocating, so memory running short
// cannot stop it.
TCase TableReset(const std::string& ghost) {
  return {"table reset", [ghost] { makoto::LoadTables(ghost); }, [] { makoto::ResetModule(); },
          [](bool threw) {
            const bool empty = makoto::TableEntries(0).empty() && makoto::TableEntries(1).empty();
            return IfNot(!threw && empty && makoto::ReplaceFromTables("\\hHoo.") == "\\hHoo.",
                         "the reset threw or left entries");
          },
          true};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: test_alloc_units GHOST_DIR\n");
    return 2;
  }
  const std::string ghost = std::string(argv[1]) + "/";
  ScratchDir values_dir, list_dir;
  bool all = true;
  for (const TCase& one : {Variables(), ValueFile(values_dir.path()),
                           DictionaryList(list_dir.path()), TableLoad(ghost), TableFiles(ghost),
                           TableReset(ghost)})
    all = RunEveryN(one) && all;
  return all ? 0 : 1;
}
