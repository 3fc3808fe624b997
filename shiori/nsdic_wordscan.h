// The stored word texts for the search of words inside a text: every prefix
// of every word and every whole word by a hash that grows one byte at a
// time, so that the search walks each start position once and leaves it as
// soon as no word begins that way.
#pragma once

#include <string>

// Adds a word text with the record of its first stored registration (once
// per text: the registration that enters it in first_by_text).
void AddScanWord(const std::string& text, int record);

// WordsInText (nsdic_scan.h) answered from the hashes into `result`: the
// same candidates, each looked up only while some stored word begins with
// its bytes. False (result empty) when a stored line was too long to keep:
// then only the step-by-step search answers.
bool WordsInTextByHash(const std::string& text, std::string& result);

// The start state: no word.
void ResetWordScan();
