// The request types: the table the dispatcher reads the request line
// against, the handler of every type ("GET Sentence", "GET Word",
// "GET Status ", "NOTIFY ", "GET Version ", "TEACH ", "GET String "), the
// external-request rule run before every dispatch, the reply to another
// character's sentence and the teach variables of a TEACH request.
#include "parse_handlers.h"

#include "formula_search.h"
#include "formula_values.h"
#include "formula_vars.h"
#include "ghost_trace.h"
#include "ghost_limits.h"
#include "nsdic.h"
#include "nsdic_expand.h"
#include "nsdic_ghost.h"
#include "nsdic_scan.h"
#include "nsdic_talk.h"
#include "nsdic_words.h"
#include "parse.h"
#include "strutl.h"

namespace {

struct TRequestType {
  const char* literal;  // the request line must begin with it
  TRequestHandler handler;
};

// Tried in this order; the first literal that begins the request line wins.
// "GET Sentence" and "GET Word" take any continuation, the others need the blank.
constexpr TRequestType kRequestTypes[] = {
    {"GET Sentence", HandleGetSentence},
    {"GET Word", HandleGetWord},
    {"GET Status ", HandleGetStatus},
    {"NOTIFY ", HandleNotify},
    {"GET Version ", HandleGetVersion},
    {"TEACH ", HandleTeach},
    {"GET String ", HandleGetString},
};

constexpr int kRequestTypeCount = sizeof(kRequestTypes) / sizeof(kRequestTypes[0]);

// Talk markers that steer the protocol.
constexpr char kDenyMarker[] = "\\[deny]";
constexpr char kSuccessMarker[] = "\\[success]";
constexpr char kShortageMarker[] = "\\[shortage]";
constexpr char kAdviceMarker[] = "\\[advice]";
constexpr char kNoContinuationTag[] = "\\ns_ce";
constexpr char kEndOfScript[] = "\\e";

constexpr char kEmptyQuotes[] = "\"\"";

// Removes the first occurrence of `marker` that starts a character; tells
// whether there was one.
bool RemoveMarker(std::string& talk, const std::string& marker) {
  int position = 0;
  if (!TryFindFirst(marker, talk, position)) return false;
  talk.erase(position - 1, marker.size());
  return true;
}

// Removes the first occurrence of `tag` found by a plain byte search.
bool RemovePlain(std::string& talk, const std::string& tag) {
  const int position = PosFrom(1, talk, tag);
  if (position == 0) return false;
  talk.erase(position - 1, tag.size());
  return true;
}

// The last line of a talk-carrying response: "Sentence: " + talk + "\e".
std::string SentenceLine(const std::string& talk) {
  static constexpr char kHead[] = "Sentence: ";
  // One allocation, the talk is long; with room for the status and charset
  // lines the response puts around it.
  constexpr std::size_t kResponseRoom = 64;
  std::string line;
  line.reserve(sizeof(kHead) + talk.size() + sizeof(kEndOfScript) + kResponseRoom);
  line.append(kHead).append(talk).append(kEndOfScript);
  return line;
}

// SentenceLine, or nothing for an empty talk.
std::string SentenceLineOf(const std::string& talk) {
  if (talk.empty()) return talk;
  return SentenceLine(talk);
}

std::string Quoted(const std::string& value) { return "\"" + value + "\""; }

// ---- GET Sentence -----------------------------------------------------------------

// The first header that has a value decides: "Event", "Word", "Sentence";
// none of them gives a free talk.
std::string SentenceOfRequest(const std::string& request, const std::string& sender,
                              TReferences& references) {
  static constexpr std::string_view kNames[] = {"Event", "Word", "Sentence"};
  std::string values[3];
  HeaderValueEach(request, kNames, values, 3);
  const std::string& event = values[0];
  if (!event.empty()) {
    ReadReferences(request, references);
    return SentenceLineOf(EventTalk(event, sender, references));
  }
  const std::string& word = values[1];
  if (!word.empty()) return SentenceLineOf(TalkOfWord(word));
  const std::string& sentence = values[2];
  if (!sentence.empty()) return CommunicateReply(sentence, sender, HeaderValue(request, "Age"));
  return SentenceLineOf(RandomTalk());
}

// ---- GET Word ---------------------------------------------------------------------

// The words of a "Sentence", else a word of the "Type"; "*" when neither
// header has a value.
std::string WordOfRequest(const std::string& request) {
  const std::string sentence = HeaderValue(request, "Sentence");
  if (!sentence.empty()) return WordsInText(sentence);
  const std::string type = HeaderValue(request, "Type");
  if (type.empty()) return kCannotServe;
  if (type == "\\dms") return ExpandDms();
  if (type == "\\m?") return RandomWordByPrefix("\\m");
  return RandomWordOfCategory(type);
}

// How WordOfRequest answers `request`, for the trace.
TTraceWordForm WordFormOf(const std::string& request) {
  if (!HeaderValue(request, "Sentence").empty()) return TTraceWordForm::InSentence;
  const std::string type = HeaderValue(request, "Type");
  if (type.empty()) return TTraceWordForm::None;
  if (type == "\\dms") return TTraceWordForm::Dms;
  if (type == "\\m?") return TTraceWordForm::Prefix;
  return TTraceWordForm::Category;
}

void TraceWordRequest(const std::string& request) {
  TraceBegin(TTraceKind::Word, 0, static_cast<int>(WordFormOf(request)),
             HeaderValue(request, "Type"), HeaderValue(request, "Sentence"));
}

// ---- TEACH ------------------------------------------------------------------------

// The first marker found sets the status and is removed; later markers
// are not looked for and stay in the talk.
const char* TeachStatus(std::string& talk) {
  if (RemoveMarker(talk, kSuccessMarker)) return kStatusOk;
  if (RemoveMarker(talk, kShortageMarker)) return kStatusNotEnough;
  if (RemoveMarker(talk, kAdviceMarker)) return kStatusAdvice;
  return kStatusOk;
}

// Deletes the teach variables when the request is done, also when building
// the response failed half-way.
struct TTeachVariablesScope {
  TTeachVariablesScope() = default;
  TTeachVariablesScope(const TTeachVariablesScope&) = delete;
  TTeachVariablesScope& operator=(const TTeachVariablesScope&) = delete;
  ~TTeachVariablesScope() {
    try {
      ClearTeachVariables();
    } catch (...) {
    }
  }
};

std::string HintName(int i) { return "\\hint" + IntToStr(i); }

// ---- NOTIFY -----------------------------------------------------------------------

// The talk addressed to another character with the lines that keep the
// conversation going, or only its "Sentence:" line when it has "\ns_ce"
// (also when the tag was all the talk said).
std::string AddressedLines(std::string talk, const std::string& target) {
  if (talk.empty()) return talk;
  if (RemovePlain(talk, kNoContinuationTag)) return SentenceLine(talk);
  return HeaderLine("Sender", OwnerName) + HeaderLine("To", target) + HeaderLine("Age", "0") +
         SentenceLine(talk);
}

// "OwnerGhostName" records the own name (no talk); "OtherGhostName" talks to
// one of the characters listed; anything else cannot be served ("*").
std::string NotifyTalk(const std::string& request, const std::string& line,
                       const std::string& sender) {
  if (PosFrom(1, line, "OwnerGhostName") != 0) {
    SetOwnGhostName(HeaderValue(request, "Ghost"));
    return std::string();
  }
  if (PosFrom(1, line, "OtherGhostName") == 0) return kCannotServe;
  std::string list = HeaderValues(request, "GhostEx");
  if (list.empty()) list = HeaderValues(request, "Ghost");
  const std::string talk = TalkToOtherGhost(sender, list);
  return AddressedLines(talk, list);
}

}  // namespace

// ---- Dispatch -------------------------------------------------------------------

int RequestTypeOf(const std::string& line) {
  for (int i = 0; i < kRequestTypeCount; ++i) {
    if (MatchAt(1, line, kRequestTypes[i].literal)) return i + 1;
  }
  return 0;
}

namespace {

// The response a handler (or the access rule) wrote, before the empty line.
std::string ResponseBody(const std::string& request) {
  const std::string line = RequestLine(request);
  static constexpr std::string_view kNames[] = {"SecurityLevel", "Sender"};
  std::string values[2];
  HeaderValueEach(request, kNames, values, 2);
  const std::string& security_level = values[0];
  const std::string& sender = values[1];
  TReferences references;
  std::string response;
  if (ExternalRequestRule(request, security_level, sender, references, response)) {
    return response;
  }
  const int type = RequestTypeOf(line);
  if (type == 0) return StatusResponse(kStatusBadRequest);
  return kRequestTypes[type - 1].handler(request, line, sender, references);
}

}  // namespace

namespace {

// The request line and the literal of its type, for the trace.
void TraceRequest(const std::string& request) {
  const std::string line = RequestLine(request);
  const int type = RequestTypeOf(line);
  TraceBegin(TTraceKind::Request, 0, type, type == 0 ? "" : kRequestTypes[type - 1].literal,
             line);
}

}  // namespace

std::string HandleRequest(const std::string& request) {
  if (TraceHook != nullptr) TraceRequest(request);
  std::string response = WithClosingLine(ResponseBody(request));
  if (TraceHook != nullptr) TraceEnd(TTraceKind::Request, 0, {}, response);
  return response;
}

// ---- Access rule ------------------------------------------------------------------

// An external request is first shown to "OnExternalRequest" (Reference0 the
// event asked for, Reference1 the whole request with CR LF as 0x02); a talk
// with "\[deny]" answers in place of the request, without "\e".
bool ExternalRequestRule(const std::string& request, const std::string& security_level,
                         const std::string& sender, TReferences& references,
                         std::string& response) {
  if (security_level != "external") return false;
  ClearReferences(references);
  references[0] = HeaderValue(request, "Event");
  references[1] = ReplaceAll(request, kCrLf, "\x02");
  std::string talk = EventTalk("OnExternalRequest", sender, references);
  if (!RemoveMarker(talk, kDenyMarker)) return false;
  if (talk.empty()) {
    response = StatusResponse(kStatusNoContent);
  } else {
    response = StatusResponse(kStatusOk) + HeaderLine("Sentence", talk) + CharsetLine();
  }
  return true;
}

// ---- Handlers ---------------------------------------------------------------------

std::string HandleGetSentence(const std::string& request, const std::string&,
                              const std::string& sender, TReferences& references) {
  return TalkResponse(SentenceOfRequest(request, sender, references));
}

std::string HandleGetWord(const std::string& request, const std::string&, const std::string&,
                          TReferences&) {
  if (TraceHook != nullptr) TraceWordRequest(request);
  const std::string word = WordOfRequest(request);
  if (TraceHook != nullptr) TraceEnd(TTraceKind::Word, 0, {}, word);
  if (word == kCannotServe) return StatusResponse(kStatusBadRequest);
  if (word.empty()) return StatusResponse(kStatusNoContent);
  return StatusResponse(kStatusOk) + HeaderLine("Word", word);
}

// Answers 200 OK also when the status text is empty.
std::string HandleGetVersion(const std::string&, const std::string&, const std::string&,
                             TReferences&) {
  return StatusResponse(kStatusOk) + CharsetLine();
}

std::string HandleGetStatus(const std::string&, const std::string&, const std::string&,
                            TReferences&) {
  return StatusResponse(kStatusOk) + HeaderLine("Status", StatusTalk());
}

std::string HandleGetString(const std::string& request, const std::string&, const std::string&,
                            TReferences&) {
  const std::string text = StringTalk(HeaderValue(request, "ID"));
  if (text.empty()) return StatusResponse(kStatusNoContent);
  return StatusResponse(kStatusOk) + HeaderLine("String", text) + CharsetLine();
}

// "OnTeach" hears the last reference as Reference0 and the teach variables;
// the response carries its talk (no "\e") even when empty.
std::string HandleTeach(const std::string& request, const std::string&,
                        const std::string& sender, TReferences& references) {
  TTeachVariablesScope teach_variables;
  ClearReferences(references);
  references[0] = ReadTeachFields(request);
  std::string talk = EventTalk("OnTeach", sender, references);
  const char* status = TeachStatus(talk);
  return StatusResponse(status) + HeaderLine("Sentence", talk) + CharsetLine();
}

// An acknowledgement without lines when nothing is said (200, not 204).
std::string HandleNotify(const std::string& request, const std::string& line,
                         const std::string& sender, TReferences&) {
  const std::string talk = NotifyTalk(request, line, sender);
  if (talk.empty()) return StatusResponse(kStatusOk);
  return TalkResponse(talk);
}

// ---- Parts of the handlers --------------------------------------------------------

// The "Sender:" line names this module's own character; the sender passed
// in is the other side's. A reply that was only "\ns_ce" still answers, with
// an empty sentence.
std::string CommunicateReply(const std::string& sentence, const std::string& sender,
                             const std::string& age) {
  std::string reply = AnswerTalk(sentence, sender, age);
  if (reply.empty()) return reply;
  if (RemovePlain(reply, kNoContinuationTag)) return SentenceLine(reply);
  if (!IsWholeInteger(age)) return SentenceLine(reply);
  const long long next_age = static_cast<long long>(ToInt(age)) + 1;
  return HeaderLine("Sender", OwnerName) + HeaderLine("Age", IntToStr(next_age)) +
         SentenceLine(reply);
}

// "\hintN" holds the quoted value of "ReferenceN" when that header is
// present and is deleted otherwise; "\lastnum" is the highest N present
// (two double quotes when none), "\lasthint" its quoted value.
std::string ReadTeachFields(const std::string& text) {
  std::string last_number = kEmptyQuotes;
  std::string last_value;
  for (int i = 0; i < kTeachReferences; ++i) {
    const std::string name = "Reference" + IntToStr(i);
    if (PosFrom(1, text, name + ": ") != 0) {
      last_number = IntToStr(i);
      last_value = HeaderValue(text, name);
      Assign(HintName(i), Quoted(last_value));
    } else {
      Assign(HintName(i), std::string());
    }
  }
  const std::string word = HeaderValue(text, "Word");
  Assign("\\word", word.empty() ? std::string(kEmptyQuotes) : word);
  Assign("\\lastnum", last_number);
  Assign("\\lasthint", Quoted(last_value));
  return last_value;
}

void ClearTeachVariables() {
  for (int i = 0; i < kTeachReferences; ++i) Assign(HintName(i), std::string());
  Assign("\\word", std::string());
  Assign("\\lastnum", std::string());
  Assign("\\lasthint", std::string());
}
