// Request texts for the terminal host's commands.
#include "term_requests.h"

const char kTermSender[] = "shiori-term";

namespace {

constexpr char kCrLf[] = "\r\n";
constexpr char kVersion[] = " SHIORI/2.5";
constexpr size_t kEventReferences = 8;
constexpr size_t kTeachReferences = 16;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A request line and the usual "Sender" and "SecurityLevel" headers.
std::string Begin(const std::string& request, const std::string& sender = kTermSender,
                  const char* level = "local") {
  return request + kVersion + kCrLf + "Sender: " + sender + kCrLf + "SecurityLevel: " + level +
         kCrLf;
}

std::string Header(const std::string& name, const std::string& value) {
  return name + ": " + value + kCrLf;
}

std::string End(const std::string& request) { return request + kCrLf; }

}  // namespace

std::vector<std::string> SplitWords(const std::string& line) {
  std::vector<std::string> words;
  size_t p = 0;
  while (p < line.size()) {
    while (p < line.size() && IsBlank(line[p])) ++p;
    if (p >= line.size()) break;
    std::string word;
    bool quoted = false;
    for (; p < line.size() && (quoted || !IsBlank(line[p])); ++p) {
      if (line[p] == '"') {
        quoted = !quoted;
      } else {
        word += line[p];
      }
    }
    words.push_back(word);
  }
  return words;
}

std::string TextAfterWords(const std::string& line, int count) {
  size_t p = 0;
  for (int i = 0; i < count; ++i) {
    while (p < line.size() && IsBlank(line[p])) ++p;
    bool quoted = false;
    for (; p < line.size() && (quoted || !IsBlank(line[p])); ++p) {
      if (line[p] == '"') quoted = !quoted;
    }
  }
  while (p < line.size() && IsBlank(line[p])) ++p;
  size_t end = line.size();
  while (end > p && IsBlank(line[end - 1])) --end;
  return line.substr(p, end - p);
}

std::string EventRequest(const std::string& event, const std::vector<std::string>& references,
                         bool external, const std::string& sender) {
  std::string request = Begin("GET Sentence", sender, external ? "external" : "local");
  request += Header("Event", event);
  for (size_t i = 0; i < references.size() && i < kEventReferences; ++i) {
    request += Header("Reference" + std::to_string(i), references[i]);
  }
  return End(request);
}

std::string TalkRequest(const std::string& word) {
  std::string request = Begin("GET Sentence");
  if (!word.empty()) request += Header("Word", word);
  return End(request);
}

std::string ReplyRequest(const std::string& sender, const std::string& age,
                         const std::string& sentence) {
  std::string request = Begin("GET Sentence", sender);
  if (!age.empty()) request += Header("Age", age);
  return End(request + Header("Sentence", sentence));
}

std::string WordRequest(const std::string& type) {
  return End(Begin("GET Word") + Header("Type", type));
}

std::string WordsRequest(const std::string& sentence) {
  return End(Begin("GET Word") + Header("Sentence", sentence));
}

std::string StatusRequest() { return End(Begin("GET Status")); }

std::string StringRequest(const std::string& id) {
  return End(Begin("GET String") + Header("ID", id));
}

std::string VersionRequest() { return End(Begin("GET Version")); }

std::string TeachRequest(const std::vector<std::string>& references) {
  std::string request = Begin("TEACH");
  for (size_t i = 0; i < references.size() && i < kTeachReferences; ++i) {
    request += Header("Reference" + std::to_string(i), references[i]);
  }
  return End(request);
}

std::string OwnerRequest(const std::string& name) {
  return End(Begin("NOTIFY OwnerGhostName") + Header("Ghost", name));
}

std::string OthersRequest(const std::vector<std::string>& names) {
  std::string request = Begin("NOTIFY OtherGhostName");
  for (const std::string& name : names) request += Header("Ghost", name);
  return End(request);
}

std::string RawRequest(const std::vector<std::string>& lines) {
  std::string request;
  for (const std::string& line : lines) request += line + kCrLf;
  return End(request);
}
