// The expression evaluator. A formula is worked on as text: each pass either
// sets a bracketed group or the right side of the loosest operator aside on
// the pending stack, or takes the remaining operator-free text as a value and
// combines it with the work pending. No recursion: all nesting lives on the
// fixed-size PendingStack. Also owns the talk context and the unit's reset.
#include "formula.h"

#include <cstdint>
#include <utility>

#include "formula_search.h"
#include "formula_values.h"
#include "strutl.h"

TalkContext CurrentTalk;

namespace {

const char kPlaceholder[] = "__$$REPLACE$$__";
const char kErrorValue[] = "#err";
// Whole-text scans one pass may make, counted against the work limit.
constexpr uint64_t kScansPerPass = 8;

// The stack of pending work: entries 1..Top in use, 0 = empty. The entry
// just below the top is always a marker ("@", "$", "?", ";", ":=" or a
// binary operator).
struct TPendingStack {
  std::string Entries[kPendingCapacity + 1];
  int Top = 0;
};
TPendingStack PendingStack;

// One evaluation in progress.
struct TEvaluation {
  std::string Work;
  bool Failed = false;  // stack overflow or an outgrown text: result "#err"
};

void ClearPending() {
  for (int i = 1; i <= PendingStack.Top; ++i) PendingStack.Entries[i].clear();
  PendingStack.Top = 0;
}

bool Push(TEvaluation& ev, std::string entry) {
  if (PendingStack.Top >= kPendingCapacity) {
    ev.Failed = true;
    return false;
  }
  PendingStack.Entries[++PendingStack.Top] = std::move(entry);
  return true;
}

// Removes `count` entries from the top, releasing their texts.
void Pop(int count) {
  for (; count > 0 && PendingStack.Top > 0; --count) {
    PendingStack.Entries[PendingStack.Top].clear();
    --PendingStack.Top;
  }
}

std::string& Entry(int below_top) {
  return PendingStack.Entries[PendingStack.Top - below_top];
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
  if (ev.Work.find('(') == std::string::npos) return false;
  const int open = FindLastUnquoted("(", ev.Work);
  if (open == 0) return false;
  const int close = ClosingBracket(ev.Work, open);
  if (close == 0) {
    ev.Work[open - 1] = ' ';
    return false;
  }
  const std::string group = ev.Work.substr(open - 1, close - open + 1);
  std::string templ;
  if (!ReplaceAllWithin(ev.Work, group, kPlaceholder, kFormulaTextLimit, templ)) {
    ev.Failed = true;
    return true;
  }
  if (Push(ev, "@")) Push(ev, std::move(templ));
  ev.Work = ev.Work.substr(open, close - open - 1);
  return true;
}

// ---- Step 4: operators ----------------------------------------------------------

// Splits the work text at the last `separator`: pushes op, "$" and the right
// part; the left part stays the work text.
void SetRightAside(TEvaluation& ev, const std::string& separator, const std::string& op) {
  std::string right = std::move(ev.Work);
  ev.Work = SplitAtLast(right, separator);
  if (Push(ev, op) && Push(ev, "$")) Push(ev, std::move(right));
}

bool SplitIfFound(TEvaluation& ev, const std::string& separator, const std::string& op) {
  if (FindLastUnquoted(separator, ev.Work) == 0) return false;
  SetRightAside(ev, separator, op);
  return true;
}

// name := value: the name waits, the value is evaluated.
bool SplitAssignment(TEvaluation& ev) {
  if (FindLastUnquoted(":=", ev.Work) == 0) return false;
  std::string value = std::move(ev.Work);
  std::string name = SplitAtLast(value, ":=");
  if (Push(ev, ":=")) Push(ev, std::move(name));
  ev.Work = std::move(value);
  return true;
}

// condition ? true part : false part; only the condition is evaluated now.
bool SplitCondition(TEvaluation& ev) {
  if (FindLastUnquoted("?", ev.Work) == 0) return false;
  std::string branches = std::move(ev.Work);
  std::string condition = SplitAtLast(branches, "?");
  std::string false_part = std::move(branches);
  std::string true_part = SplitAtLast(false_part, ":");
  if (Push(ev, std::move(true_part)) && Push(ev, "?")) Push(ev, std::move(false_part));
  ev.Work = std::move(condition);
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
  const int a = FindLastUnquoted(first, ev.Work);
  const int b = FindLastUnquoted(second, ev.Work);
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
  if (ev.Work.find_first_of(";:?|&<>=+-%*/") == std::string::npos) return false;
  if (IsFinishedNegative(ev.Work)) return false;
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
  for (int i = 0; i < 8; ++i) {
    all += CurrentTalk.References[i];
    all += ' ';
  }
  return all.find(word) != std::string::npos;
}

// A bare word found in the talk being answered counts as true. The empty
// text is never taken as found.
void ResolveAtom(TEvaluation& ev) {
  if (ev.Work.empty() || IsWholeInteger(ev.Work)) return;
  const bool found = InSentence(ev.Work) || (PendingStack.Top <= 1 &&
                                              !Unquote(ev.Work).empty() &&
                                              InReferences(ev.Work));
  if (found) ev.Work.assign(1, '1');
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
  if (PendingStack.Top < 2) return;
  const std::string marker = Entry(1);
  if (marker == "@") {
    std::string filled;
    if (!ReplaceAllWithin(Entry(0), kPlaceholder, ev.Work, kFormulaTextLimit, filled)) {
      ev.Failed = true;
      return;
    }
    ev.Work = std::move(filled);
    Pop(2);
  } else if (marker == "$") {
    std::swap(Entry(1), ev.Work);
    ev.Work = std::move(Entry(0));
    Pop(1);
  } else if (marker == ";") {
    Pop(2);
  } else if (marker == ":=") {
    ev.Work = Assign(Entry(0), ev.Work);
    Pop(2);
  } else if (marker == "?") {
    ev.Work = std::move(ToInt(ev.Work) != 0 ? Entry(2) : Entry(0));
    Pop(3);
  } else {
    ev.Work = ApplyOperator(marker, Entry(0), ev.Work);
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

bool ReplaceAllWithin(const std::string& text, const std::string& old_text,
                      const std::string& new_text, std::size_t limit,
                      std::string& out) {
  std::size_t count = 0;
  if (!old_text.empty()) {
    for (std::size_t at = text.find(old_text); at != std::string::npos;
         at = text.find(old_text, at + old_text.size())) {
      ++count;
    }
  }
  uint64_t size = text.size();
  if (new_text.size() >= old_text.size()) {
    size += count * static_cast<uint64_t>(new_text.size() - old_text.size());
  } else {
    size -= count * static_cast<uint64_t>(old_text.size() - new_text.size());
  }
  if (size > limit) return false;
  out = count == 0 ? text : ReplaceAll(text, old_text, new_text);
  return true;
}

std::string Evaluate(const std::string& formula) {
  ClearPending();
  TEvaluation ev;
  ev.Work = TrimBlanks(formula);
  if (ev.Work.size() > kFormulaTextLimit) return Fail();
  uint64_t scanned = 0;
  for (int pass = 0; pass < kFormulaPassLimit; ++pass) {
    const bool began_empty = PendingStack.Top == 0;
    // Every pass scans the work text several times (one search for each
    // operator present, the split, the copies of both parts) and may
    // rewrite the entry on top; a deeply nested or long chained formula
    // otherwise costs its length many times over.
    scanned += kScansPerPass * ev.Work.size() + (began_empty ? 0 : Entry(0).size());
    if (scanned > kFormulaWorkLimit) return Fail();
    RunPass(ev);
    if (ev.Failed || ev.Work.size() > kFormulaTextLimit) return Fail();
    if (began_empty && PendingStack.Top == 0) return ev.Work;
  }
  return Fail();
}

void ResetFormula() {
  ResetVariables();
  CurrentTalk = TalkContext{};
  ClearPending();
}
