// The stored word texts in a byte trie: the record of each text's first
// registration, and every prefix of every word, so that the search of words
// inside a text walks each start position once and leaves it as soon as no
// word begins that way.
#pragma once

#include <string>
#include <string_view>

// Enters the text of every word record registered since the last lookup
// (after a load, so that the first request does not pay for it), unless the
// text is there already: its first registration stays. A lookup or search
// does this first.
void SettleWordScan();
// The record of the first registration of the text, or 0.
int ScanWordRecord(std::string_view text);

// WordsInText (nsdic_scan.h) answered from the trie: the same candidates,
// each looked up only while some stored word begins with its bytes.
std::string WordsInTextByTrie(const std::string& text);

// The start state: no word.
void ResetWordScan();
