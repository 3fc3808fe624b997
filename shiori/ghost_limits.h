// The limits of the conversation module, each named once with its reason.
// Two kinds: the store's capacities, which belong to the dictionary format
// (a dictionary's surplus entries are ignored exactly where these end, so
// ghosts written for the module rely on them), and the work limits, which
// keep a runaway dictionary or request from running a host out of time or
// memory (they answer "#err", stop rewriting or cut an expansion short).
#pragma once

#include <cstddef>
#include <cstdint>

// ---- Capacities of the store ----------------------------------------------------

constexpr int kWordCapacity = 16384;      // WordTable records
constexpr int kCategoryCapacity = 4096;   // CategoryList entries
constexpr int kLinkCapacity = 16384;      // LinkTable records ("\ch")
constexpr int kSentenceCapacity = 16384;  // SentenceTable records, every kind together
constexpr int kReplyCapacity = 8192;      // ReplyTable records ("\re")
constexpr int kHelloCapacity = 4096;      // HelloTable records ("\hl")
constexpr int kEventCapacity = 2048;      // EventTable records ("@name", "\ev")
// StringTable has room for 64 records, but the parser fills at most 16.
constexpr int kStringSlots = 64;
constexpr int kStringLimit = 16;
// StatusList: slot 0 the status line, 1..16 the "+" entries the parser fills.
constexpr int kStatusSlots = 65;
constexpr int kStatusLimit = 16;
constexpr int kGhostCapacity = 64;        // other characters a list may name
constexpr int kWordCacheCapacity = 500;   // tags remembered during one talk
constexpr int kVariableCapacity = 8192;   // formula variables; Assign refuses beyond
constexpr int kMacroCapacity = 256;       // macro definitions of one parser run

// ---- Index shapes ------------------------------------------------------------------
// The hash indexes are open-addressed over a prime number of slots, so that a
// full walk visits every slot once; about twice the records they index.

constexpr int kIndexSlots = 32771;        // WordIndex, CategoryIndex, LinkIndex
constexpr int kEventIndexSlots = 4099;    // EventIndex
constexpr int kNarrowRegion = 16384;      // slots a narrow walk (words, links) moves within

// ---- The protocol's fixed counts -----------------------------------------------------

constexpr int kReferenceCount = 8;        // "Reference0".."Reference7" of an event
constexpr int kTeachReferences = 16;      // "Reference0".."Reference15" of a TEACH request

// ---- Draws of the choosers (part of what a ghost's talk feels like) ------------------

constexpr int kCategoryDraws = 1024;      // the last draw is taken whatever its CoolDown
constexpr int kPrefixDraws = 5000;        // after the last refused draw: nothing
constexpr int kCountdownDraws = 5000;     // event talk: the last draw is taken
constexpr int kRandomTalkDrawsPerSentence = 50;  // free talk: draws per sentence stored

// ---- Work limits ---------------------------------------------------------------------

// The largest text the module builds by rewriting: an evaluation whose work
// text would outgrow it ends with "#err" (and a built-in or word macro result
// that would outgrow it is "#err"); macro rewriting applies no further
// definition to a text past it; an expansion step that would grow the
// working text past it cuts the expansion short.
constexpr std::size_t kTextLimit = 1048576;

// Evaluator: entries of the stack of pending work (its nesting depth), passes
// per Evaluate and bytes all passes of one Evaluate may scan.
constexpr int kPendingCapacity = 512;
constexpr int kFormulaPassLimit = 100000;
constexpr uint64_t kFormulaWorkLimit = 64ull << 20;

// Macros: one placeholder definition stops rewriting one text after this many
// rounds (a replacement may match again at the same place for ever) ...
constexpr int kMacroIterationLimit = 100000;
// ... and before the round that would bring the lengths of the text, taken as
// each of its rounds begins, past this sum (each round rewrites the whole
// text, so rounds and size alone would still allow about 10^11 byte
// operations); a single rewrite that would make the text longer than
// kMacroRewriteCap is not made.
constexpr std::size_t kMacroSweepLimit = 32u << 20;
constexpr std::size_t kMacroRewriteCap = 16u << 20;

// Expansion: formulas nest at most kMaxFormulaDepth levels; a template gets
// at most kPassesPerTemplate passes; all passes under one top-level
// expansion share kPassBudget passes and kSweepBudget bytes of working text
// swept (a pass sweeps the whole text, so the pass budget alone would still
// let one request run for many seconds over a large text).
constexpr int kMaxFormulaDepth = 64;
constexpr int kPassesPerTemplate = 1000;
constexpr long kPassBudget = 100000;
constexpr long long kSweepBudget = 64ll << 20;

// Event talk: "\a" and "@name" redirections followed from one event.
constexpr int kMaxRedirections = 16;

// ---- What the code relies on -------------------------------------------------------

namespace ghost_limits {
constexpr bool IsPrime(int n) {
  if (n < 2) return false;
  for (int d = 2; d * d <= n; ++d)
    if (n % d == 0) return false;
  return true;
}
}  // namespace ghost_limits

static_assert(ghost_limits::IsPrime(kIndexSlots) && ghost_limits::IsPrime(kEventIndexSlots),
              "a full walk visits every slot only over a prime number of slots");
static_assert(kWordCapacity < kIndexSlots && kLinkCapacity < kIndexSlots &&
                  kCategoryCapacity < kIndexSlots && kEventCapacity < kEventIndexSlots,
              "a full walk (moves + 1 slots) visits each slot at most once");
static_assert(kNarrowRegion <= kIndexSlots, "a narrow walk stays inside its index");
static_assert(kStringLimit <= kStringSlots && kStatusLimit < kStatusSlots,
              "the parser fills no slot beyond its table");
