// The "MAKOTO/2.0" request: a request line, header lines "Name: value" and
// an optional empty line, each ended by CR LF. The "String" header carries
// the script; the answer carries it rewritten by TranslateScript, the same
// rewriting `execute` does.
#pragma once

#include <string>

namespace makoto {

// The answer to one request text: "MAKOTO/2.0 200 OK" CR LF, "String: " with
// the rewritten script and CR LF, then the empty line; "MAKOTO/2.0 400 Bad
// Request" CR LF and the empty line when the request line is not
// "EXECUTE MAKOTO/2.0" or no "String" header comes before the empty line.
// Should the rewriting fail, the script comes back unchanged, as from
// `execute`.
std::string AnswerRequest(const std::string& request);

// The 400 answer, for a request the export cannot even read.
extern const char kBadRequestAnswer[];

}  // namespace makoto
