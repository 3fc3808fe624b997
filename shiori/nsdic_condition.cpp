// The short path of a condition. A condition qualifies by its text alone
// when every "%" in it (found as the expansion finds them, lead bytes
// skipped) starts one of the reference or clock names and no "%" follows
// the name, and it holds no 0x03 byte (the expansion's marker). Then the
// expansion would only put each name's value in its place, provided that no
// category tag and no variable stands at any "%" (checked once and again
// whenever the category tags or the variable names change) and that no
// value holds a "%" or a 0x03 byte or ends inside a character (checked on
// every call). The evaluation of the text so built reads only that text,
// the references and the incoming sentence, and changes nothing unless the
// text holds ":=": its answer is remembered for the last references,
// incoming sentence and clock readings (which make the text). The references
// and the sentence are compared with one copy of them, the inputs, kept
// here; each change of the inputs gets a new number, so a plan remembers the
// number and not a copy. Within a round (a loop over responses, in which the
// talk context is not written) the inputs are compared once, when it opens.
#include "nsdic_condition.h"

#include <array>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "UTypes.h"
#include "formula.h"
#include "formula_search.h"
#include "formula_values.h"
#include "formula_vars.h"
#include "ghost_assert.h"
#include "ghost_limits.h"
#include "nsdic_words.h"
#include "strutl.h"

namespace {

// The names the short path puts in: the references, then the clock names.
// No name of the expansion's list that comes before them spells a prefix of
// one of these or is spelled by one, so the first match is the same.
constexpr const char* kNames[] = {"%ref0", "%ref1", "%ref2",  "%ref3", "%ref4",  "%ref5",
                                  "%ref6", "%ref7", "%year",  "%month", "%week", "%day",
                                  "%hour", "%minute", "%second"};
constexpr int kReferenceNames = 8;
constexpr int kMostNames = 16;
constexpr std::size_t kLongestCondition = 1024;
constexpr std::size_t kLongestValue = 4096;
// Every condition of a full store has room; texts beyond take the long path.
constexpr std::size_t kMostPlans = kEventCapacity + kReplyCapacity + kHelloCapacity;

struct TConditionPlan {
  bool quick = false;
  bool shift_jis = false;           // the charset the "%" positions were found under
  std::vector<std::string> pieces;  // the text before each name, and after the last
  std::vector<int> names;           // index into kNames
  std::vector<int> positions;       // 1-based position of each "%"
  // The context check: no category tag, no variable at any "%".
  uint64_t tags_checked = 0, names_checked = 0;
  bool context_checked = false, context_clear = false;
  bool reads_clock = false;         // some name is a clock name
  // The last evaluation remembered: for inputs number remembered_inputs and
  // these clock fields (one a name, 0 for a reference).
  bool remembered = false, remembered_holds = false;
  uint64_t remembered_inputs = 0;
  std::array<int, kMostNames> remembered_clock{};
};

// The inputs the evaluation reads besides the text, and their number: it
// changes whenever they do (0: none taken yet).
struct TInputs {
  std::string sentence;
  TReferences references;
  uint64_t number = 0;
};
TInputs g_inputs;
int g_round_depth = 0;

bool InputsCurrent() {
  if (g_inputs.number == 0 || g_inputs.sentence != CurrentTalk.IncomingSentence) return false;
  for (int i = 0; i < kReferenceCount; ++i) {
    if (g_inputs.references[i] != CurrentTalk.References[i]) return false;
  }
  return true;
}

// The number of the talk context's inputs now.
uint64_t InputsNumber() {
  if (g_round_depth > 0) {
    GHOST_ASSERT(InputsCurrent());
    return g_inputs.number;
  }
  if (!InputsCurrent()) {
    g_inputs.sentence = CurrentTalk.IncomingSentence;
    g_inputs.references = CurrentTalk.References;
    ++g_inputs.number;
  }
  return g_inputs.number;
}

std::unordered_map<std::string, TConditionPlan> g_plans;

void Classify(const std::string& c, TConditionPlan& plan);

// The plans last used, by where the condition's bytes lie (the store's
// conditions stay put): spares hashing the text on every call. An entry
// counts only when its plan's text equals the condition.
struct TRecentPlan {
  const char* data = nullptr;
  const std::string* text = nullptr;  // the key of the plan in g_plans
  TConditionPlan* plan = nullptr;
};
constexpr std::size_t kRecentPlans = 4096;
std::vector<TRecentPlan> g_recent;

std::size_t RecentSlot(const char* data) {
  return (reinterpret_cast<std::uintptr_t>(data) >> 3) & (kRecentPlans - 1);
}

// The plan of the condition text, new and classified the first time; null
// when there is no room for another.
TConditionPlan* PlanOf(const std::string& condition) {
  if (g_recent.empty()) g_recent.resize(kRecentPlans);
  TRecentPlan& recent = g_recent[RecentSlot(condition.data())];
  if (recent.data == condition.data() && *recent.text == condition) return recent.plan;
  auto it = g_plans.find(condition);
  if (it == g_plans.end()) {
    if (g_plans.size() >= kMostPlans) return nullptr;
    it = g_plans.try_emplace(condition).first;
    Classify(condition, it->second);
  }
  recent = TRecentPlan{condition.data(), &it->first, &it->second};
  return &it->second;
}

int NameAt(const std::string& text, std::size_t at) {
  for (int k = 0; k < static_cast<int>(std::size(kNames)); ++k) {
    if (std::string_view(text).substr(at).rfind(kNames[k], 0) == 0) return k;
  }
  return -1;
}

// Fills the plan from the text alone; plan.quick tells whether it qualifies.
void Classify(const std::string& c, TConditionPlan& plan) {
  plan.shift_jis = ShiftJisMode();
  if (c.size() > kLongestCondition || c.find('\x03') != std::string::npos) return;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(c.data());
  std::size_t from = 0;
  for (std::size_t i = 0; i < c.size(); ++i) {
    if (bytes[i] >= 0x80 && IsLeadByte(bytes[i])) {
      ++i;
      continue;
    }
    if (bytes[i] != '%') continue;
    const int k = NameAt(c, i);
    if (k < 0 || plan.names.size() >= static_cast<std::size_t>(kMostNames)) return;
    const std::size_t end = i + std::char_traits<char>::length(kNames[k]);
    if (end < c.size() && c[end] == '%') return;
    plan.pieces.push_back(c.substr(from, i - from));
    plan.names.push_back(k);
    plan.reads_clock = plan.reads_clock || k >= kReferenceNames;
    plan.positions.push_back(static_cast<int>(i) + 1);
    from = end;
    i = end - 1;
  }
  plan.pieces.push_back(c.substr(from));
  plan.quick = true;
}

// No category tag and no variable stands at any "%" of the condition; the
// answers depend only on the text from the "%" on, which is the condition's
// own text there whatever was put in before it.
bool ContextClear(const std::string& c, TConditionPlan& plan) {
  const uint64_t tags = CategoryTagGeneration(), names = NameListGeneration();
  if (!plan.context_checked || plan.tags_checked != tags || plan.names_checked != names) {
    plan.context_clear = true;
    for (const int p : plan.positions) {
      if (!CategoryTagAt(c, p).empty() || ExpandUserVariable(p, c) != c) {
        plan.context_clear = false;
      }
    }
    plan.context_checked = true;
    plan.tags_checked = tags;
    plan.names_checked = names;
  }
  return plan.context_clear;
}

// The field of a clock name in one reading, as the expansion reads it for
// one name; 0 for a reference.
int ClockField(int k) {
  if (k < kReferenceNames) return 0;
  const TClockReading c = ClockReading();
  const std::string_view name = kNames[k];
  if (name == "%week") {
    constexpr int kDays = static_cast<int>(std::size(kWeekNames));
    return (c.week_day % kDays + kDays) % kDays;
  }
  return name == "%year"     ? c.year
         : name == "%month"  ? c.month
         : name == "%day"    ? c.day
         : name == "%hour"   ? c.hour
         : name == "%minute" ? c.minute
                             : c.second;
}

// The value the expansion would put in for name k (clock field `field`);
// false when the short path cannot follow what the expansion would do next
// with it.
bool ValueOf(int k, int field, std::string& value) {
  if (k < kReferenceNames) {
    value = Unquote(CurrentTalk.References[k]);
  } else {
    value = kNames[k] == std::string_view("%week") ? kWeekNames[field] : IntToStr(field);
  }
  if (value.size() > kLongestValue || value.find_first_of("%\x03") != std::string::npos) {
    return false;
  }
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(value.data());
  std::size_t i = 0;
  while (i < value.size()) i += bytes[i] >= 0x80 && IsLeadByte(bytes[i]) ? 2 : 1;
  return i == value.size();
}

bool SameInputs(const TConditionPlan& plan, uint64_t inputs,
                const std::array<int, kMostNames>& clock) {
  if (!plan.remembered || plan.remembered_inputs != inputs) return false;
  for (std::size_t n = 0; plan.reads_clock && n < plan.names.size(); ++n) {
    if (plan.remembered_clock[n] != clock[n]) return false;
  }
  return true;
}

// The condition with every name's value put in; false as for ValueOf.
bool Filled(const TConditionPlan& plan, const std::array<int, kMostNames>& clock, std::string& text) {
  text = plan.pieces[0];
  std::string value;
  for (std::size_t n = 0; n < plan.names.size(); ++n) {
    if (!ValueOf(plan.names[n], clock[n], value)) return false;
    text += value;
    text += plan.pieces[n + 1];
  }
  return true;
}

}  // namespace

bool QuickCondition(const std::string& condition, bool& holds) {
  TConditionPlan* found = PlanOf(condition);
  if (found == nullptr) return false;
  TConditionPlan& plan = *found;
  if (plan.shift_jis != ShiftJisMode()) {
    plan = TConditionPlan();
    Classify(condition, plan);
  }
  if (!plan.quick || !ContextClear(condition, plan)) return false;
  std::array<int, kMostNames> clock;
  if (plan.reads_clock) {
    for (std::size_t n = 0; n < plan.names.size(); ++n) clock[n] = ClockField(plan.names[n]);
  }
  const uint64_t inputs = InputsNumber();
  if (SameInputs(plan, inputs, clock)) {
    holds = plan.remembered_holds;
    return true;
  }
  if (!plan.reads_clock) clock.fill(0);
  std::string text;
  if (!Filled(plan, clock, text)) return false;
  holds = Evaluate(text) == "1";
  plan.remembered = text.find(":=") == std::string::npos;
  if (plan.remembered) {
    plan.remembered_holds = holds;
    plan.remembered_inputs = inputs;
    plan.remembered_clock = clock;
  }
  return true;
}

TConditionRound::TConditionRound() {
  if (g_round_depth == 0) InputsNumber();
  ++g_round_depth;
}

TConditionRound::~TConditionRound() {
  --g_round_depth;
  GHOST_ASSERT(g_round_depth >= 0);
}

void ResetConditionPlans() {
  g_inputs = TInputs();
  g_round_depth = 0;
  std::vector<TRecentPlan>().swap(g_recent);
  std::unordered_map<std::string, TConditionPlan>().swap(g_plans);
}
