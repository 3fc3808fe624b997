// The request types: the handler of each, the request-type table and the
// dispatcher HandleRequest, the access rule run before dispatch, and the
// parts of the handlers (the reply to another character, the teach
// variables).
#pragma once

#include <string>

#include "UTypes.h"

// One request text in, the complete "SHIORI/2.5" response out.
std::string HandleRequest(const std::string& request);

// ---- Request types ------------------------------------------------------------

// Every handler gets the request text, its request line, the "Sender" value
// and the references record, and gives the complete response.
using TRequestHandler = std::string (*)(const std::string& request, const std::string& line,
                                        const std::string& sender, TReferences& references);

std::string HandleGetSentence(const std::string& request, const std::string& line,
                              const std::string& sender, TReferences& references);
std::string HandleGetWord(const std::string& request, const std::string& line,
                          const std::string& sender, TReferences& references);
std::string HandleGetStatus(const std::string& request, const std::string& line,
                            const std::string& sender, TReferences& references);
std::string HandleNotify(const std::string& request, const std::string& line,
                         const std::string& sender, TReferences& references);
std::string HandleGetVersion(const std::string& request, const std::string& line,
                             const std::string& sender, TReferences& references);
std::string HandleTeach(const std::string& request, const std::string& line,
                        const std::string& sender, TReferences& references);
std::string HandleGetString(const std::string& request, const std::string& line,
                            const std::string& sender, TReferences& references);

// Number of the request type whose literal begins `line` (1 "GET Sentence",
// 2 "GET Word", 3 "GET Status ", 4 "NOTIFY ", 5 "GET Version ", 6 "TEACH ",
// 7 "GET String "), the first match in that order; 0 for none.
int RequestTypeOf(const std::string& line);

// ---- Access rule ----------------------------------------------------------------

// The external-request rule, run before every dispatch. Gives true and the
// whole response in `response` when it answers in place of the request;
// false lets the request be dispatched. May change `references`.
bool ExternalRequestRule(const std::string& request, const std::string& security_level,
                         const std::string& sender, TReferences& references,
                         std::string& response);

// ---- Parts of the handlers ------------------------------------------------------

// The lines of a "GET Sentence" response that answer another character's
// sentence: "Sender:" and "Age:" (age + 1) when the age is a whole integer
// and the reply has no "\ns_ce"; empty when no reply is chosen.
std::string CommunicateReply(const std::string& sentence, const std::string& sender,
                             const std::string& age);
// Sets the teach variables ("\hint0".."\hint15", "\word", "\lastnum",
// "\lasthint") from a TEACH request; gives the value of the last reference.
std::string ReadTeachFields(const std::string& text);
// Deletes the teach variables again.
void ClearTeachVariables();
