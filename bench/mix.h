// The mixed request load of the soak: a deck of request texts for the
// conversation module (and scripts for the translation module) in the
// proportions a host sends them, drawn in a fixed pseudo-random order.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "measure.h"

struct TMixEntry {
  bool to_makoto = false;
  std::string text;
};

// The deck. `words` are dictionary words for "Word" and "Sentence" requests
// (the synthetic ghost lists some in bench_words.txt; any will do).
std::vector<TMixEntry> BuildMix(const std::vector<std::string>& words);

// The words of bench_words.txt in `ghost_dir`, or a few defaults.
std::vector<std::string> MixWords(const std::string& ghost_dir);

struct TSoakResult {
  long requests = 0;
  long rss_after_first = 0;    // resident bytes after `first` requests
  long rss_final = 0;
  long status_200 = 0, status_204 = 0, status_other = 0, empty = 0;
  double seconds = 0;
};

// Sends `total` requests from the deck; `report` is called with the request
// count and the resident bytes after `first` requests and every `every`.
// `makoto` may be null: its entries are then skipped (not counted).
TSoakResult RunSoak(const TShioriLibrary& shiori, const TMakotoLibrary* makoto,
                   const std::vector<TMixEntry>& deck, long total, long first, long every,
                   const std::function<void(long, long)>& report);
