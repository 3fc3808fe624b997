// The stored word texts in a byte trie: the record of each text's first
// registration, and every prefix of every word, so that the search of words
// inside a text walks each start position once and leaves it as soon as no
// word begins that way.
#pragma once

#include <string>
#include <string_view>

// Enters a word text with the record of its registration, unless the text is
// already there (its first registration stays). Entered for good at the next
// lookup or search, or by SettleWordScan.
void AddScanWord(const std::string& text, int record);
// Enters every word text registered since the last lookup (after a load,
// so that the first request does not pay for it).
void SettleWordScan();
// The record of the first registration of the text, or 0.
int ScanWordRecord(std::string_view text);

// WordsInText (nsdic_scan.h) answered from the trie: the same candidates,
// each looked up only while some stored word begins with its bytes.
std::string WordsInTextByTrie(const std::string& text);

// The start state: no word.
void ResetWordScan();
