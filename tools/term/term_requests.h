// The requests the terminal host sends for its commands, and the reading of
// a typed command line into words.
#pragma once

#include <string>
#include <vector>

// The "Sender" the terminal host writes into its requests.
extern const char kTermSender[];

// Words separated by blanks; double quotes group words ("apple pie") and
// are dropped. An unclosed quote runs to the end of the line.
std::vector<std::string> SplitWords(const std::string& line);

// The line after its first `count` words and the blanks after them, as
// typed (quotes kept): the free text of "words", "reply" and "owner".
std::string TextAfterWords(const std::string& line, int count);

// Each builder gives a whole request: request line, header lines, each
// ended by CR LF, and the empty line that ends the request.

// GET Sentence for an event and up to eight references; `external` marks
// it "SecurityLevel: external" (else "local").
std::string EventRequest(const std::string& event, const std::vector<std::string>& references,
                         bool external, const std::string& sender = kTermSender);
// GET Sentence without an event: random talk, or the talk of `word`.
std::string TalkRequest(const std::string& word);
// GET Sentence with another character's sentence; an empty `age` sends none.
std::string ReplyRequest(const std::string& sender, const std::string& age,
                         const std::string& sentence);
std::string WordRequest(const std::string& type);
std::string WordsRequest(const std::string& sentence);
std::string StatusRequest();
std::string StringRequest(const std::string& id);
std::string VersionRequest();
// TEACH with "Reference0" onwards (at most sixteen).
std::string TeachRequest(const std::vector<std::string>& references);
std::string OwnerRequest(const std::string& name);
// NOTIFY OtherGhostName with one "Ghost" line per name.
std::string OthersRequest(const std::vector<std::string>& names);

// Typed request lines (CR LF added to each) and the empty line that ends them.
std::string RawRequest(const std::vector<std::string>& lines);
