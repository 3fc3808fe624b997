// Handlers of the request types that need the response engine ("GET Sentence",
// "GET Word", "GET Status ", "NOTIFY ", "TEACH ", "GET String ") and the
// external-request rule.
//
// The response engine is not part of the module yet, so none of these request
// types can be served: each answers "400 Bad Request", the same answer as a
// request line no handler serves, and the external-request rule lets every
// request through to dispatch. The engine-backed handlers replace these
// bodies; the request-type table in parse.cpp already points here.
#include "parse_handlers.h"

namespace {

std::string NotServedYet() { return StatusResponse(kStatusBadRequest); }

}  // namespace

std::string HandleGetSentence(const std::string&, const std::string&, const std::string&,
                              TReferences&) {
  return NotServedYet();
}

std::string HandleGetWord(const std::string&, const std::string&, const std::string&,
                          TReferences&) {
  return NotServedYet();
}

std::string HandleGetStatus(const std::string&, const std::string&, const std::string&,
                            TReferences&) {
  return NotServedYet();
}

std::string HandleNotify(const std::string&, const std::string&, const std::string&,
                         TReferences&) {
  return NotServedYet();
}

std::string HandleTeach(const std::string&, const std::string&, const std::string&,
                        TReferences&) {
  return NotServedYet();
}

std::string HandleGetString(const std::string&, const std::string&, const std::string&,
                            TReferences&) {
  return NotServedYet();
}

bool ExternalRequestRule(const std::string&, const std::string&, const std::string&,
                         TReferences&, std::string&) {
  return false;
}
