// The expression evaluator. A formula is worked on as text: each pass either
// sets a bracketed group or the right side of the loosest operator aside on
// the pending stack, or takes the remaining operator-free text as a value and
// combines it with the work pending. No recursion: all nesting lives on the
// fixed-size stack of pending work, which this unit owns.
#include "formula.h"

#include <cstdint>
#include <utility>

#include "formula_search.h"
#include "formula_values.h"
#include "formula_vars.h"
#include "ghost_assert.h"
#include "ghost_limits.h"
#include "strutl.h"

namespace {

const char kPlaceholder[] = "__$$REPLACE$$__";
const char kErrorValue[] = "#err";
// Whole-text scans one pass may make, counted against the work limit.
constexpr uint64_t kScansPerPass = 8;

// The stack of pending work: entries 1..top in use, 0 = empty. The entry
// just below the top is always a marker ("@", "$", "?", ";", ":=" or a
// binary operator): work is set aside as a marker and what follows it.
struct TPendingStack {
  std::string entries[kPendingCapacity + 1];
  int top = 0;
};
TPendingStack g_pending;

// True while an Evaluate runs (kept in checked builds only).
bool g_evaluating = false;

// Evaluate shares one stack, so it must never run inside itself; nothing it
// calls evaluates (built-ins and word macros do not), and checked builds
// prove it.
struct TEvaluateGuard {
  TEvaluateGuard() {
    if constexpr (kGhostChecked) {
      GHOST_ASSERT(!g_evaluating);
      g_evaluating = true;
    }
  }
  ~TEvaluateGuard() {
    if constexpr (kGhostChecked) g_evaluating = false;
  }
  TEvaluateGuard(const TEvaluateGuard&) = delete;
  TEvaluateGuard& operator=(const TEvaluateGuard&) = delete;
};

// One evaluation in progress.
struct TEvaluation {
  std::string work;
  bool failed = false;  // stack overflow or an outgrown text: result "#err"
};

bool IsMarker(const std::string& entry) {
  static const char* const kMarkers[] = {"@",  "$",  "?", ";", ":=", "|", "&",
                                         ">=", "<=", "<>", ">", "<", "=", "+",
                                         "-",  "%",  "*",  "/"};
  for (const char* marker : kMarkers) {
    if (entry == marker) return true;
  }
  return false;
}

// The stack's invariant: empty, or a marker just below the top.
bool StackInShape() {
  if (g_pending.top == 0) return true;
  return g_pending.top >= 2 && g_pending.top <= kPendingCapacity &&
         IsMarker(g_pending.entries[g_pending.top - 1]);
}

void ClearPending() {
  for (int i = 1; i <= g_pending.top; ++i) g_pending.entries[i].clear();
  g_pending.top = 0;
}

bool Push(TEvaluation& ev, std::string entry) {
  if (g_pending.top >= kPendingCapacity) {
    ev.failed = true;
    return false;
  }
  g_pending.entries[++g_pending.top] = std::move(entry);
  return true;
}

// Removes `count` entries from the top, releasing their texts.
void Pop(int count) {
  for (; count > 0 && g_pending.top > 0; --count) {
    g_pending.entries[g_pending.top].clear();
    --g_pending.top;
  }
}

// The entry `below_top` places below the top (0 = the top itself).
std::string& Entry(int below_top) {
  GHOST_ASSERT(below_top >= 0 && below_top < g_pending.top);
  return g_pending.entries[g_pending.top - below_top];
}

// ---- Step 3: groups -----------------------------------------------------------

// Position of the ")" that closes the "(" at `open`, counting depth byte by
// byte regardless of quotes; 0 when the group is never closed.
int ClosingBracket(const std::string& text, int open) {
  int depth = 1;
  for (int i = open; i < static_cast<int>(text.size()); ++i) {
    if (text[i] == '(') ++depth;
    if (text[i] == ')' && --depth == 0) return i + 1;
  }
  return 0;
}

// The innermost last group is set aside with its template; true when the
// pass ends here. An unclosed "(" becomes a space and the pass goes on.
bool TakeGroup(TEvaluation& ev) {
  if (ev.work.find('(') == std::string::npos) return false;
  const int open = FindLastUnquoted("(", ev.work);
  if (open == 0) return false;
  const int close = ClosingBracket(ev.work, open);
  if (close == 0) {
    ev.work[open - 1] = ' ';
    return false;
  }
  const std::string group = ev.work.substr(open - 1, close - open + 1);
  std::string templ;
  if (!ReplaceAllWithin(ev.work, group, kPlaceholder, kTextLimit, templ)) {
    ev.failed = true;
    return true;
  }
  if (Push(ev, "@")) Push(ev, std::move(templ));
  ev.work = ev.work.substr(open, close - open - 1);
  return true;
}

// ---- Step 4: operators ----------------------------------------------------------

// Splits the work text at the last `separator`: pushes op, "$" and the right
// part; the left part stays the work text.
void SetRightAside(TEvaluation& ev, const std::string& separator, const std::string& op) {
  std::string right = std::move(ev.work);
  ev.work = SplitAtLast(right, separator);
  if (Push(ev, op) && Push(ev, "$")) Push(ev, std::move(right));
}

bool SplitIfFound(TEvaluation& ev, const std::string& separator, const std::string& op) {
  if (FindLastUnquoted(separator, ev.work) == 0) return false;
  SetRightAside(ev, separator, op);
  return true;
}

// name := value: the name waits, the value is evaluated.
bool SplitAssignment(TEvaluation& ev) {
  if (FindLastUnquoted(":=", ev.work) == 0) return false;
  std::string value = std::move(ev.work);
  std::string name = SplitAtLast(value, ":=");
  if (Push(ev, ":=")) Push(ev, std::move(name));
  ev.work = std::move(value);
  return true;
}

// condition ? true part : false part; only the condition is evaluated now.
bool SplitCondition(TEvaluation& ev) {
  if (FindLastUnquoted("?", ev.work) == 0) return false;
  std::string branches = std::move(ev.work);
  std::string condition = SplitAtLast(branches, "?");
  std::string false_part = std::move(branches);
  std::string true_part = SplitAtLast(false_part, ":");
  if (Push(ev, std::move(true_part)) && Push(ev, "?")) Push(ev, std::move(false_part));
  ev.work = std::move(condition);
  return true;
}

// The six comparisons, each tried on what the previous ones left.
bool SplitComparisons(TEvaluation& ev) {
  static const char* const kComparisons[] = {">=", "<=", "<>", ">", "<", "="};
  bool any = false;
  for (const char* op : kComparisons) {
    if (SplitIfFound(ev, op, op)) any = true;
  }
  return any;
}

// Whichever of the two operators stands further right.
bool SplitEitherOf(TEvaluation& ev, const char* first, const char* second) {
  const int a = FindLastUnquoted(first, ev.work);
  const int b = FindLastUnquoted(second, ev.work);
  if (a == 0 && b == 0) return false;
  const char* op = a > b ? first : second;
  SetRightAside(ev, op, op);
  return true;
}

// A "-" followed by digits without a leading zero, in range: a value the
// arithmetic wrote, never split again.
bool IsFinishedNegative(const std::string& text) {
  if (text.size() < 2 || text[0] != '-' || text[1] < '1' || text[1] > '9') return false;
  for (std::size_t i = 2; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return IsWholeInteger(text);
}

// Tries the operators loosest first; true when one split the work text.
bool TakeOperator(TEvaluation& ev) {
  // A text without any operator byte cannot hold an operator: one cheap scan
  // spares the sixteen searches for long values.
  if (ev.work.find_first_of(";:?|&<>=+-%*/") == std::string::npos) return false;
  if (IsFinishedNegative(ev.work)) return false;
  return SplitIfFound(ev, ";", ";") || SplitAssignment(ev) || SplitCondition(ev) ||
         SplitIfFound(ev, "|", "|") || SplitIfFound(ev, "&", "&") ||
         SplitComparisons(ev) || SplitEitherOf(ev, "+", "-") ||
         SplitIfFound(ev, "% ", "%") || SplitEitherOf(ev, "*", "/");
}

// ---- Step 5: atoms --------------------------------------------------------------

bool InSentence(const std::string& word) {
  const std::string& sentence = CurrentTalk.IncomingSentence;
  return !sentence.empty() && sentence.find(word) != std::string::npos;
}

bool InReferences(const std::string& word) {
  std::string all;
  for (int i = 0; i < kReferenceCount; ++i) {
    all += CurrentTalk.References[i];
    all += ' ';
  }
  return all.find(word) != std::string::npos;
}

// A bare word found in the talk being answered counts as true. The empty
// text is never taken as found.
void ResolveAtom(TEvaluation& ev) {
  if (ev.work.empty() || IsWholeInteger(ev.work)) return;
  const bool found = InSentence(ev.work) || (g_pending.top <= 1 &&
                                              !Unquote(ev.work).empty() &&
                                              InReferences(ev.work));
  if (found) ev.work.assign(1, '1');
}

// ---- Step 6: reduction ------------------------------------------------------------

std::string Truth(bool value) { return value ? "1" : "0"; }

// 32-bit two's complement wrap-around of an exact result.
std::string Wrapped(int64_t value) {
  return IntToStr(static_cast<int32_t>(static_cast<uint32_t>(value)));
}

std::string Divide(int32_t l, int32_t r, bool remainder) {
  if (r == 0) return "#div0!";
  if (r == -1) return remainder ? "0" : Wrapped(-static_cast<int64_t>(l));
  return IntToStr(remainder ? l % r : l / r);
}

std::string Concatenate(const std::string& l, const std::string& r) {
  if (IsWholeInteger(l)) return Wrapped(static_cast<int64_t>(ToInt(l)) + ToInt(r));
  std::string joined;
  if (IsQuoted(l)) {
    joined.push_back('"');
    joined.append(Unquote(l)).append(Unquote(r)).push_back('"');
  } else {
    joined.append(l).append(Unquote(r));
  }
  return joined;
}

std::string ApplyOperator(const std::string& op, const std::string& l, const std::string& r) {
  if (op == "=") return Truth(Unquote(l) == Unquote(r));
  if (op == "<>") return Truth(Unquote(l) != Unquote(r));
  if (op == "+") return Concatenate(l, r);
  const int64_t a = ToInt(l);
  const int64_t b = ToInt(r);
  if (op == "|") return Truth((a | b) != 0);
  if (op == "&") return Truth((a & b) != 0);
  if (op == ">=") return Truth(a >= b);
  if (op == "<=") return Truth(a <= b);
  if (op == ">") return Truth(a > b);
  if (op == "<") return Truth(a < b);
  if (op == "-") return Wrapped(a - b);
  if (op == "*") return Wrapped(a * b);
  if (op == "/") return Divide(static_cast<int32_t>(a), static_cast<int32_t>(b), false);
  if (op == "%") return Divide(static_cast<int32_t>(a), static_cast<int32_t>(b), true);
  return r;
}

// Combines the finished work text with the work pending below it.
void Reduce(TEvaluation& ev) {
  if (g_pending.top < 2) return;
  const std::string marker = Entry(1);
  if (marker == "@") {
    std::string filled;
    if (!ReplaceAllWithin(Entry(0), kPlaceholder, ev.work, kTextLimit, filled)) {
      ev.failed = true;
      return;
    }
    ev.work = std::move(filled);
    Pop(2);
  } else if (marker == "$") {
    std::swap(Entry(1), ev.work);
    ev.work = std::move(Entry(0));
    Pop(1);
  } else if (marker == ";") {
    Pop(2);
  } else if (marker == ":=") {
    ev.work = Assign(Entry(0), ev.work);
    Pop(2);
  } else if (marker == "?") {
    ev.work = std::move(ToInt(ev.work) != 0 ? Entry(2) : Entry(0));
    Pop(3);
  } else {
    ev.work = ApplyOperator(marker, Entry(0), ev.work);
    Pop(2);
  }
}

void RunPass(TEvaluation& ev) {
  if (TakeGroup(ev) || TakeOperator(ev)) return;
  ResolveAtom(ev);
  Reduce(ev);
}

std::string Fail() {
  ClearPending();
  return kErrorValue;
}

}  // namespace

std::string Evaluate(const std::string& formula) {
  const TEvaluateGuard guard;
  ClearPending();
  TEvaluation ev;
  ev.work = TrimBlanks(formula);
  if (ev.work.size() > kTextLimit) return Fail();
  uint64_t scanned = 0;
  for (int pass = 0; pass < kFormulaPassLimit; ++pass) {
    const bool began_empty = g_pending.top == 0;
    // Every pass scans the work text several times (one search for each
    // operator present, the split, the copies of both parts) and may
    // rewrite the entry on top; a deeply nested or long chained formula
    // otherwise costs its length many times over.
    scanned += kScansPerPass * ev.work.size() + (began_empty ? 0 : Entry(0).size());
    if (scanned > kFormulaWorkLimit) return Fail();
    GHOST_ASSERT(StackInShape());
    RunPass(ev);
    if (ev.failed || ev.work.size() > kTextLimit) return Fail();
    if (began_empty && g_pending.top == 0) return ev.work;
  }
  return Fail();
}

void ResetFormula() {
  ClearPending();
  g_evaluating = false;
}
