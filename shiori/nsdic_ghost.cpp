// Talk between characters: the own character's name, the list of the other
// characters present (GhostNames, GhostCount) with the formula variables
// that publish them and their surfaces, and the "\hl" talk addressed to one
// of them.
#include "nsdic_ghost.h"

#include "formula_vars.h"
#include "ghost_assert.h"
#include "ghost_trace.h"
#include "nsdic.h"
#include "nsdic_expand.h"
#include "nsdic_talk.h"
#include "random.h"
#include "strutl.h"

namespace {

constexpr unsigned char kFieldMark = 0x01;  // begins a field after the name
constexpr unsigned char kItemEnd = 0x02;    // ends one character of the list
constexpr char kAddressTag[] = "\\helloto[";
constexpr int kAddressTagLength = sizeof(kAddressTag) - 1;

std::string GhostVariable(int i) { return "\\ghosts[" + IntToStr(i) + "]"; }
std::string MainSurfaceVariable(const std::string& name) { return "\\surf[" + name + "].sakura"; }
std::string PartnerSurfaceVariable(const std::string& name) { return "\\surf[" + name + "].kero"; }

// The bytes from position `from` up to position `to`, both 1-based, `to`
// excluded.
std::string Between(const std::string& text, int from, int to) {
  return text.substr(from - 1, to - from);
}

// The name of one list item; publishes its surfaces when it carries two
// fields (or three, the first of which is skipped).
std::string ReadGhostItem(const std::string& item) {
  const int q1 = FindCharFrom(1, item, kFieldMark);
  if (q1 == 0) return item;
  const std::string name = item.substr(0, q1 - 1);
  const int q2 = FindCharFrom(q1 + 1, item, kFieldMark);
  if (q2 == 0) return name;
  const int q3 = FindCharFrom(q2 + 1, item, kFieldMark);
  const std::string main_surface = q3 == 0 ? Between(item, q1 + 1, q2) : Between(item, q2 + 1, q3);
  const std::string partner_surface = item.substr((q3 == 0 ? q2 : q3));
  Assign(MainSurfaceVariable(name), main_surface);
  Assign(PartnerSurfaceVariable(name), partner_surface);
  return name;
}

// Takes a "\helloto[name]" tag out of the talk; the name becomes the target.
// A tag without its "]" stays and the target is kept.
void TakeAddressTag(std::string& talk, std::string& target) {
  const int p = PosFrom(1, talk, kAddressTag);
  if (p == 0) return;
  const int b = PosFrom(p + kAddressTagLength, talk, "]");
  if (b == 0) return;
  target = Between(talk, p + kAddressTagLength, b);
  talk.erase(p - 1, b - p + 1);
}

// The chosen hello talk, addressed and expanded; a talk that begins with
// "@" gives the talk of the event it names.
std::string HelloTalk(int s, const std::string& sender, std::string& target) {
  std::string talk(SentenceTable[s].Text);
  if (TraceHook != nullptr) TraceBegin(TTraceKind::Sentence, s, 0, {}, talk);
  TakeAddressTag(talk, target);
  talk = ReplaceAll(talk, "%ghostname", target);
  talk = ExpandTalk(talk);
  if (TraceHook != nullptr) TraceEnd(TTraceKind::Sentence, 0, {}, talk);
  if (!talk.empty() && talk[0] == '@') {
    if (TraceHook != nullptr) {
      TracePoint(TTraceKind::Redirect, 0, 0, std::string_view(talk).substr(1));
    }
    talk = EventTalk(talk.substr(1), sender, TReferences{});
  }
  return talk;
}

}  // namespace

void SetOwnGhostName(const std::string& name) {
  OwnerName = name;
  Assign(GhostVariable(0), name);
}

// Items end with 0x02; bytes after the last 0x02 are no item. Names beyond
// the capacity of GhostNames are dropped: not counted, no variables.
int ReadGhostList(const std::string& list) {
  GhostCount = 0;
  int start = 1;
  for (int p = FindCharFrom(start, list, kItemEnd); p != 0;
       p = FindCharFrom(start, list, kItemEnd)) {
    if (GhostCount < kGhostCapacity) {
      const std::string name = ReadGhostItem(Between(list, start, p));
      GhostNames[GhostCount] = name;
      GhostCount += 1;
      Assign(GhostVariable(GhostCount), name);
    }
    start = p + 1;
  }
  GHOST_ASSERT(GhostCount >= 0 && GhostCount <= kGhostCapacity);
  Assign("\\ghostcount", IntToStr(GhostCount));
  return GhostCount;
}

// Deletes the variables of the list read last; "\ghostcount" and
// "\ghosts[0]" stay.
void ClearGhostVariables() {
  for (int i = 1; i <= GhostCount && i <= kGhostCapacity; ++i) {
    const std::string& name = GhostNames[i - 1];
    Assign(MainSurfaceVariable(name), std::string());
    Assign(PartnerSurfaceVariable(name), std::string());
    Assign(GhostVariable(i), std::string());
  }
}

// Reads the new list (the old list's variables deleted first), picks one of
// its characters as the target and draws a "\hl" talk once, without the
// cool-down countdown. On return `list` holds the target's name.
std::string TalkToOtherGhost(const std::string& sender, std::string& list) {
  SetTalkSentence(list);
  ClearGhostVariables();
  GhostCount = ReadGhostList(list);
  list = GhostNames[Random(GhostCount)];
  SetTalkEvent("ToOtherCall", sender, TReferences{});
  if (TraceHook != nullptr) TraceBegin(TTraceKind::Hello, 0, 0, list, sender);
  const int s = DrawResponseOnce(HelloTable, HelloCount);
  std::string talk;
  if (s >= 1 && s <= SentenceCount) talk = HelloTalk(s, sender, list);
  SetTalkSentence(std::string());
  CurrentTalk.References = TReferences{};
  if (TraceHook != nullptr) TraceEnd(TTraceKind::Hello, 0, list, talk);
  return talk;
}
