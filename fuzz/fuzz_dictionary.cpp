// Fuzz target: a whole dictionary text parsed into an empty store, then the
// requests a host sends first (OnLoad, the events the text names, random
// talk, a word, the status, a string).
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "nsdic_parse.h"
#include "parse_handlers.h"
#include "strutl.h"

namespace {

constexpr int kNamesPerKind = 3;

// The names of the first "@" events and "*" strings of the text, raw: the
// parser's own rules decide what they really are.
void CollectNames(const std::string& text, std::vector<std::string>& events,
                  std::vector<std::string>& strings) {
  int cursor = 1;
  while (cursor > 0) {
    const std::string line = ReadLine(cursor, text);
    if (line.size() < 2 || (line[0] != '@' && line[0] != '*')) continue;
    std::vector<std::string>& names = line[0] == '@' ? events : strings;
    if (static_cast<int>(names.size()) >= kNamesPerKind) continue;
    names.push_back(line.substr(1, line.find_first_of(",&") - 1));
  }
}

void Ask(const std::string& request) {
  if (HandleRequest(request).compare(0, 10, "SHIORI/2.5") != 0) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::ResetConversationModule();
  std::error_code ignored;
  std::filesystem::remove(fuzz::ScratchDirectory() + "values.dat", ignored);

  const std::string text(reinterpret_cast<const char*>(data), size);
  ParseDictionary(text);

  std::vector<std::string> events{"OnLoad"}, strings;
  CollectNames(text, events, strings);
  for (const std::string& event : events) Ask(fuzz::EventRequest(event));
  Ask("GET Sentence SHIORI/2.5\r\nSender: fuzz\r\n\r\n");
  Ask("GET Word SHIORI/2.5\r\nType: \\m?\r\n\r\n");
  Ask("GET Status SHIORI/2.5\r\n\r\n");
  for (const std::string& id : strings) Ask("GET String SHIORI/2.5\r\nID: " + id + "\r\n\r\n");
  return 0;
}
