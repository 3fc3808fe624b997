// The "MAKOTO/2.0" request: reading its lines and the "String" header, and
// the answer around the rewritten script.
#include "makoto_request.h"

#include "makoto.h"

namespace makoto {

const char kBadRequestAnswer[] = "MAKOTO/2.0 400 Bad Request\r\n\r\n";

namespace {

constexpr char kRequestLine[] = "EXECUTE MAKOTO/2.0";
constexpr char kStringHeader[] = "String: ";
constexpr char kLineEnd[] = "\r\n";

// The next line of `text` from `at` (without its CR LF; the rest of the text
// when no CR LF follows), and `at` moved past it. False at the end.
bool NextLine(const std::string& text, std::size_t& at, std::string& line) {
  if (at >= text.size()) return false;
  const std::size_t end = text.find(kLineEnd, at);
  const std::size_t stop = end == std::string::npos ? text.size() : end;
  line.assign(text, at, stop - at);
  at = end == std::string::npos ? text.size() : end + 2;
  return true;
}

// The value of the first "String" header before the empty line; false when
// there is none.
bool FindScript(const std::string& request, std::size_t at, std::string& script) {
  std::string line;
  while (NextLine(request, at, line) && !line.empty()) {
    if (line.compare(0, sizeof kStringHeader - 1, kStringHeader) == 0) {
      script = line.substr(sizeof kStringHeader - 1);
      return true;
    }
  }
  return false;
}

std::string Rewritten(const std::string& script) {
  try {
    return TranslateScript(script);
  } catch (...) {
    return script;
  }
}

}  // namespace

std::string AnswerRequest(const std::string& request) {
  std::size_t at = 0;
  std::string line, script;
  if (!NextLine(request, at, line) || line != kRequestLine || !FindScript(request, at, script)) {
    return kBadRequestAnswer;
  }
  return std::string("MAKOTO/2.0 200 OK\r\n") + kStringHeader + Rewritten(script) + "\r\n\r\n";
}

}  // namespace makoto
