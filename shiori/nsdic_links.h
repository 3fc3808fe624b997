// Word-to-word links (LinkTable and LinkIndex) and event talks (EventTable,
// EventIndex and their SentenceTable records): registration, the counting
// lookups and the linked-word chooser.
#pragma once

#include <string>
#include <string_view>

#include "nsdic_index.h"
#include "nsdic_words.h"

// Appends the link from word record `first` (whose text is `first_text`) to
// word record `second`; its number, or 0 when LinkTable is full.
int RegisterLink(std::string_view first_text, int first, int second);
// The number of links from `first_text` to words of `category` for k = 0,
// else the k-th one's word record, or 0.
int LinkedMember(std::string_view first_text, const std::string& category, int k);
// A word of `category` linked from `previous`, else any word of `category`.
std::string RandomLinkedWord(const std::string& previous, const std::string& category);
// The word record of RandomLinkedWord(previous, tag) (0: none, an empty
// text). `previous_record` is the record `previous` was drawn as, 0 when
// unknown; a record known to have no links is not searched again.
int RandomLinkedRecord(int previous_record, std::string_view previous,
                       const TCategoryTag& tag);
// Registers an event response (its sentence and condition); its EventTable
// record, or 0 when a table or the name's chain is full. The name, the
// condition and the text are copied into the records.
int RegisterConditional(std::string_view name, std::string_view condition, std::string_view text);
// The number of the event's responses for k = 0, else the k-th one's
// EventTable record, or 0.
int ConditionalMember(const std::string& name, int k);
// Every ConditionalMember k >= 1 of the name at once, from one lookup.
TMemberView ConditionalMembers(const std::string& name);
