// The stored word texts by a hash that grows one byte at a time: the record
// of each text's first registration, and every prefix of every word, so that
// the search of words inside a text walks each start position once and
// leaves it as soon as no word begins that way.
#pragma once

#include <string>
#include <string_view>

// Enters a word text with the record of its registration, unless the text is
// already there (its first registration stays); answers whether it entered.
bool AddScanWord(const std::string& text, int record);
// The record of the first registration of the text, or 0.
int ScanWordRecord(std::string_view text);

// WordsInText (nsdic_scan.h) answered from the hashes: the same candidates,
// each looked up only while some stored word begins with its bytes.
std::string WordsInTextByHash(const std::string& text);

// The start state: no word.
void ResetWordScan();
