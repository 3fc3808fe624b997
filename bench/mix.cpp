// The soak's request deck and its runner.
#include "mix.h"

#include <cstdint>
#include <sstream>

namespace {

const char* const kVersion = "SHIORI/2.5";

std::string Get(const std::string& what,
                const std::vector<std::pair<std::string, std::string>>& headers) {
  auto all = headers;
  all.insert(all.begin(), {"Sender", "soak"});
  return MakeRequest("GET " + what + " " + kVersion, all);
}

void AddEvents(std::vector<TMixEntry>& deck) {
  const char* names[] = {"OnMouseDoubleClick", "OnSecondChange", "OnMinuteChange",
                         "OnMouseMove", "OnBoot", "OnMouseClick", "OnSurfaceChange",
                         "OnKeyPress", "OnChoiceSelect", "OnUserEvent000", "OnUserEvent077",
                         "OnNoSuchEvent"};
  const char* ref0[] = {"0", "1", "3"};
  int i = 0;
  for (const char* name : names) {
    for (int k = 0; k < 3; ++k, ++i) {
      deck.push_back({false, Get("Sentence", {{"Event", name}, {"Reference0", ref0[k]},
                                              {"Reference1", i % 2 ? "2" : "0"},
                                              {"Reference2", i % 3 ? "head" : "face"}})});
    }
  }
}

void AddWords(std::vector<TMixEntry>& deck, const std::vector<std::string>& words) {
  for (const char* type : {"\\m?", "\\mthing", "\\mw001", "\\cat010", "\\dms", "\\[t03]",
                           "\\ms", "\\nothere"}) {
    deck.push_back({false, Get("Word", {{"Type", type}})});
  }
  std::string sentence;
  for (size_t i = 0; i < words.size() && sentence.size() < 200; ++i) {
    sentence += words[i] + (i % 2 ? "and" : "");
  }
  for (int i = 0; i < 4; ++i) deck.push_back({false, Get("Word", {{"Sentence", sentence}})});
  for (size_t i = 0; i < 5 && i < words.size(); ++i) {
    deck.push_back({false, Get("Sentence", {{"Word", words[i * 7 % words.size()]}})});
  }
  const std::string said = words.empty() ? "hello" : words[0] + words.back();
  deck.push_back({false, Get("Sentence", {{"Sentence", said}, {"Age", "2"}})});
}

void AddOthers(std::vector<TMixEntry>& deck) {
  for (int i = 0; i < 20; ++i) deck.push_back({false, Get("Sentence", {})});
  for (int i = 0; i < 4; ++i) deck.push_back({false, Get("Status", {})});
  for (const char* id : {"string00", "string07", "recommendsites", "nothere"}) {
    deck.push_back({false, Get("String", {{"ID", id}})});
  }
  for (int i = 0; i < 4; ++i) deck.push_back({false, Get("Version", {})});
  deck.push_back({false, MakeRequest(std::string("NOTIFY OwnerGhostName ") + kVersion,
                                     {{"Sender", "soak"}, {"Ghost", "Self"}})});
  for (const char* ghost : {"Friend", "Neighbour\x01" "0\x01" "10"}) {
    deck.push_back({false, MakeRequest(std::string("NOTIFY OtherGhostName ") + kVersion,
                                       {{"Sender", "soak"}, {"GhostEx", ghost}})});
  }
  for (const char* ref : {"apple", "pear"}) {
    deck.push_back({false, MakeRequest("TEACH SHIORI/2.4",
                                       {{"Sender", "soak"}, {"Word", ref}, {"Reference0", ref}})});
  }
  deck.push_back({false, Get("Sentence", {{"SecurityLevel", "external"}, {"Event", "OnBoot"}})});
  deck.push_back({false, MakeRequest("PUT Nothing SHIORI/2.5", {})});
}

void AddScripts(std::vector<TMixEntry>& deck, const std::vector<std::string>& words) {
  for (int i = 0; i < 10; ++i) {
    std::ostringstream s;
    s << "\\h\\s[" << i << "]" << (words.empty() ? "word" : words[i % words.size()])
      << "\\u\\s[10]&r(1," << 3 + i << ")\\h&s(a,b,c)&t(xy," << i % 4 << ")\\e";
    deck.push_back({true, s.str()});
  }
}

}  // namespace

std::vector<TMixEntry> BuildMix(const std::vector<std::string>& words) {
  std::vector<TMixEntry> deck;
  AddEvents(deck);
  AddWords(deck, words);
  AddOthers(deck);
  AddScripts(deck, words);
  return deck;
}

std::vector<std::string> MixWords(const std::string& ghost_dir) {
  std::string text;
  std::vector<std::string> words;
  if (ReadFile(ghost_dir + "bench_words.txt", text)) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) words.push_back(line);
    }
  }
  if (words.empty()) words = {"apple", "pear", "rain", "tea", "book"};
  return words;
}

TSoakResult RunSoak(const TShioriLibrary& shiori, const TMakotoLibrary* makoto,
                   const std::vector<TMixEntry>& deck, long total, long first, long every,
                   const std::function<void(long, long)>& report) {
  TSoakResult result;
  uint32_t seed = 12345;
  const double start = NowSeconds();
  while (result.requests < total) {
    seed = seed * 1103515245u + 12345u;
    const TMixEntry& entry = deck[(seed >> 8) % deck.size()];
    if (entry.to_makoto) {
      if (!makoto) continue;
      if (Execute(*makoto, entry.text).empty()) ++result.empty;
    } else {
      const std::string status = StatusLine(Request(shiori, entry.text));
      if (status.empty()) ++result.empty;
      else if (status == "SHIORI/2.5 200 OK") ++result.status_200;
      else if (status == "SHIORI/2.5 204 No Content") ++result.status_204;
      else ++result.status_other;
    }
    ++result.requests;
    if (result.requests == first || result.requests % every == 0) {
      const long rss = ResidentBytes();
      if (result.requests == first) result.rss_after_first = rss;
      report(result.requests, rss);
    }
  }
  result.rss_final = ResidentBytes();
  result.seconds = NowSeconds() - start;
  return result;
}
