// The response engine: keeps the context of the talk being composed, gathers
// the responses whose condition holds, draws an event talk with the cool-down
// countdown (following "\a" and "@" redirections), and answers replies,
// "GET String" and "GET Status".
#include "nsdic_talk.h"

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "formula_vars.h"
#include "ghost_assert.h"
#include "ghost_limits.h"
#include "ghost_trace.h"
#include "nsdic.h"
#include "nsdic_condition.h"
#include "nsdic_expand.h"
#include "nsdic_links.h"
#include "random.h"

namespace {

// EventTalk calls running now; the outermost one is not a redirection.
int g_event_calls = 0;

struct TEventCallScope {
  TEventCallScope() { ++g_event_calls; }
  ~TEventCallScope() {
    --g_event_calls;
    GHOST_ASSERT(g_event_calls >= 0);
  }
  TEventCallScope(const TEventCallScope&) = delete;
  TEventCallScope& operator=(const TEventCallScope&) = delete;
};

// Sentence numbers of the qualifying responses ("hits") and of the "nohit"
// fallbacks. Every qualifying response is kept, however many there are.
struct TCandidates {
  std::vector<int> hits;
  std::vector<int> fallbacks;
};

bool IsSentence(int s) { return s >= 1 && s <= SentenceCount; }

// Sorts one response by its condition; each condition is tested once.
void Collect(const TJoken& response, TCandidates& found) {
  if (!IsSentence(response.Sentence)) return;
  if (response.Condition.empty()) {
    found.hits.push_back(response.Sentence);
  } else if (response.Condition == "nohit") {
    found.fallbacks.push_back(response.Sentence);
  } else if (CheckCondition(response.Condition)) {
    found.hits.push_back(response.Sentence);
  }
}

// The trace of record `k` of `table` as a candidate: its Begin, and its End
// with the verdict, from the lists' sizes before it was collected.
void TraceCandidate(TTraceTable table, const TJoken& response, int k) {
  TraceBegin(TTraceKind::Candidate, k, response.Sentence, response.Name, response.Condition,
             static_cast<long>(table));
}

void TraceVerdict(const TCandidates& found, std::size_t hits, std::size_t fallbacks) {
  const int verdict = found.hits.size() > hits ? 1 : found.fallbacks.size() > fallbacks ? 2 : 0;
  TraceEnd(TTraceKind::Candidate, verdict, {}, {});
}

void TraceLists(const TCandidates& found) {
  TraceEvent({TTraceKind::Lists, TTracePhase::Point, 0, static_cast<int>(found.hits.size()),
              static_cast<long>(found.fallbacks.size()), {}, {}, {}, found.hits.data(),
              found.fallbacks.data()});
}

// The list to draw from: hits, else fallbacks, else none.
const std::vector<int>* DrawList(const TCandidates& found) {
  if (!found.hits.empty()) return &found.hits;
  if (!found.fallbacks.empty()) return &found.fallbacks;
  return nullptr;
}

int DrawOnce(const std::vector<int>& list) {
  return list[Random(static_cast<int32_t>(list.size()))];
}

// Every draw lowers the drawn sentence's CoolDown; the first one that drops
// to 0 or below is taken, else the one of the last draw.
int DrawWithCountdown(const std::vector<int>& list) {
  int s = 0;
  for (int draw = 0; draw < kCountdownDraws; ++draw) {
    s = DrawOnce(list);
    int32_t& cool_down = SentenceTable[s].CoolDown;
    if (cool_down > INT32_MIN) --cool_down;
    if (TraceHook != nullptr) TracePoint(TTraceKind::Draw, s, draw + 1, {}, {}, {}, cool_down);
    if (cool_down <= 0) break;
  }
  return s;
}

// The talk of sentence `s` taken for event `name`: expanded, its CoolDown
// set from the talk's weight, then "\a" and "@name" followed.
std::string TalkOfEventSentence(int s, const std::string& name,
                                const std::string& sender,
                                const TReferences& references) {
  if (SentenceTable[s].Text.empty()) return std::string();
  std::string talk = ExpandSentence(s);
  SentenceTable[s].CoolDown = Weight(talk);
  if (TraceHook != nullptr) {
    TracePoint(TTraceKind::CoolDown, s, 0, {}, {}, {}, SentenceTable[s].CoolDown);
  }
  if (talk == "\\a") return RandomTalk();
  if (!talk.empty() && talk[0] == '@' && talk.compare(1, std::string::npos, name) != 0) {
    if (TraceHook != nullptr) TracePoint(TTraceKind::Redirect, 0, 0, std::string_view(talk).substr(1));
    return EventTalk(talk.substr(1), sender, references);
  }
  return talk;
}

}  // namespace

void SetTalkEvent(const std::string& event_name, const std::string& sender,
                  const TReferences& references) {
  // Copies first: an argument may be a field of CurrentTalk itself.
  std::string name_copy = event_name;
  std::string sender_copy = sender;
  TReferences references_copy = references;
  CurrentTalk.EventName = std::move(name_copy);
  CurrentTalk.Sender = std::move(sender_copy);
  CurrentTalk.References = std::move(references_copy);
}

void SetTalkSentence(const std::string& sentence) {
  CurrentTalk.IncomingSentence = sentence;
}

void SetTalkAge(const std::string& age) { CurrentTalk.Age = age; }

std::string EventTalk(const std::string& name, const std::string& sender,
                      const TReferences& references) {
  if (g_event_calls > kMaxRedirections) return std::string();
  TEventCallScope scope;
  const std::string event_name = name;
  const std::string event_sender = sender;
  const TReferences event_references = references;
  SetTalkEvent(event_name, event_sender, event_references);
  if (TraceHook != nullptr) {
    TraceBegin(TTraceKind::Event, 0, g_event_calls - 1, event_name, event_sender);
  }
  TCandidates found;
  const TMemberView members = ConditionalMembers(event_name);
  {
    TConditionRound round;
    for (int k = 1; k <= members.count; ++k) {
      const int e = members.At(k);
      if (e < 1 || e > EventCount) continue;
      const std::size_t hits = found.hits.size();
      const std::size_t fallbacks = found.fallbacks.size();
      if (TraceHook != nullptr) TraceCandidate(TTraceTable::Event, EventTable[e], e);
      Collect(EventTable[e], found);
      if (TraceHook != nullptr) TraceVerdict(found, hits, fallbacks);
    }
  }
  if (TraceHook != nullptr) TraceLists(found);
  std::string talk;
  if (const std::vector<int>* list = DrawList(found)) {
    const int s = DrawWithCountdown(*list);
    talk = TalkOfEventSentence(s, event_name, event_sender, event_references);
  }
  CurrentTalk.References = TReferences{};
  if (TraceHook != nullptr) TraceEnd(TTraceKind::Event, 0, {}, talk);
  return talk;
}

std::string AnswerTalk(const std::string& sentence, const std::string& sender,
                       const std::string& age) {
  const std::string reply_sender = sender;
  SetTalkSentence(sentence);
  SetTalkAge(age);
  SetTalkEvent("ResponseTalk", reply_sender, TReferences{});
  if (TraceHook != nullptr) TraceBegin(TTraceKind::Reply, 0, 0, reply_sender, sentence);
  const int s = DrawResponseOnce(ReplyTable, ReplyCount);
  std::string talk;
  if (s != 0) {
    talk = ExpandSentence(s);
    if (!talk.empty() && talk[0] == '@') {
      if (TraceHook != nullptr) {
        TracePoint(TTraceKind::Redirect, 0, 0, std::string_view(talk).substr(1));
      }
      talk = EventTalk(talk.substr(1), reply_sender, TReferences{});
    }
  }
  CurrentTalk.IncomingSentence.clear();
  CurrentTalk.Age.clear();
  CurrentTalk.References = TReferences{};
  if (TraceHook != nullptr) TraceEnd(TTraceKind::Reply, 0, {}, talk);
  return talk;
}

std::string StringTalk(const std::string& identifier) {
  GHOST_ASSERT(StringCount >= 0 && StringCount <= kStringLimit);
  std::vector<int> hits;
  const int count = StringCount < kStringSlots ? StringCount : kStringSlots;
  for (int i = 0; i < count; ++i) {
    if (StringTable[i].Name == identifier) hits.push_back(i);
  }
  std::string text;
  int slot = -1;
  if (!hits.empty()) {
    slot = DrawOnce(hits);
    text = StringTable[slot].Text;
  }
  if (TraceHook != nullptr) {
    TraceBegin(TTraceKind::String, slot + 1, static_cast<int>(hits.size()), identifier, text);
  }
  std::string expanded = ExpandTalk(text);
  if (TraceHook != nullptr) TraceEnd(TTraceKind::String, 0, {}, expanded);
  return expanded;
}

std::string StatusTalk() {
  GHOST_ASSERT(StatusCount >= 0 && StatusCount <= kStatusLimit);
  int n = StatusCount;
  if (n > kStatusSlots - 1) n = kStatusSlots - 1;
  int slot = 0;
  if (n == 1) {
    slot = 1;
  } else if (n > 1) {
    slot = 1 + Random(n);
  }
  const std::string text = StatusList[slot];
  if (TraceHook != nullptr) TraceBegin(TTraceKind::Status, slot, n, {}, text);
  std::string expanded = ExpandTalk(text);
  if (TraceHook != nullptr) TraceEnd(TTraceKind::Status, 0, {}, expanded);
  return expanded;
}

int DrawResponseOnce(const TJoken* table, int count) {
  if (table == nullptr) return 0;
  const TTraceTable kind = table == HelloTable ? TTraceTable::Hello : TTraceTable::Reply;
  TCandidates found;
  {
    TConditionRound round;
    for (int k = 1; k <= count; ++k) {
      const std::size_t hits = found.hits.size();
      const std::size_t fallbacks = found.fallbacks.size();
      if (TraceHook != nullptr) TraceCandidate(kind, table[k], k);
      Collect(table[k], found);
      if (TraceHook != nullptr) TraceVerdict(found, hits, fallbacks);
    }
  }
  if (TraceHook != nullptr) TraceLists(found);
  const std::vector<int>* list = DrawList(found);
  const int s = list ? DrawOnce(*list) : 0;
  if (TraceHook != nullptr && s != 0) {
    TracePoint(TTraceKind::Draw, s, 0, {}, {}, {}, SentenceTable[s].CoolDown);
  }
  return s;
}

void ResetEventTalk() { g_event_calls = 0; }
