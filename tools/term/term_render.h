// How the terminal host shows what the library answers: the response split
// into its status and header lines, a talk script split into the two
// speakers' lines, and bytes made visible for the raw view.
#pragma once

#include <string>
#include <vector>

// One header line of a response; a value may span lines (a word list).
struct TResponseHeader {
  std::string name;
  std::string value;
};

struct TResponse {
  std::string status;  // "200 OK": the status line without the version
  std::vector<TResponseHeader> headers;
};

// Splits a response at CR LF. Lines after the status line that are not
// "Name: value" continue the previous header's value, joined with LF.
TResponse ParseResponse(const std::string& text);

// The value of the first header called `name`, or empty.
std::string ResponseHeader(const TResponse& response, const std::string& name);

// One stretch of talk by one speaker: 'h' (the main character, scope "\h")
// or 'u' (the partner, scope "\u"). Lines of the stretch are LF-separated.
struct TSpeech {
  char speaker = 'h';
  std::string text;
};

// Reads a talk script (UTF-8 or any charset whose bytes 0x00-0x7F are
// ASCII and never the second byte of a character): "\h" and "\u" switch the
// speaker, "\n" breaks the line, "\e" ends the script, "\\" is a backslash,
// "\q[title,...]" shows as [title]; every other tag (a letter, or "\_" and
// a letter, with a bracketed argument or one digit) is dropped. Stretches
// with nothing but blanks are left out; a talk starts with the main one.
std::vector<TSpeech> SplitSpeakers(const std::string& script);

// The bytes as they are, except CR as <CR>, LF as <LF> followed by a line
// break, and other control bytes as <XX>.
std::string VisibleBytes(const std::string& bytes);

// Control bytes (below 0x20, and 0x7F) as <XX>; LF is kept.
std::string VisibleControls(const std::string& text);
