// Requests as messages: the request line, header values and references of a
// request, and the layout every response is written in.
#pragma once

#include <string>
#include <string_view>

#include "UTypes.h"

// ---- Request line and headers ---------------------------------------------------

// The first line of the request, trimmed.
std::string RequestLine(const std::string& request);
// The value of the last "name: " found anywhere in the text, up to its CR LF.
std::string HeaderValue(const std::string& text, std::string_view name);
// HeaderValue of each of `count` names (none holding ":"), from one walk.
void HeaderValueEach(const std::string& text, const std::string_view* names, std::string* values,
                     int count);
// Every value of "name:", each followed by 0x02.
std::string HeaderValues(const std::string& text, const std::string& name);
// "Reference0".."Reference7" into the record.
void ReadReferences(const std::string& text, TReferences& references);
// The same, one HeaderValue for each reference: what ReadReferences must equal.
void ReadReferencesStepwise(const std::string& text, TReferences& references);
void ClearReferences(TReferences& references);

// ---- Response layout ------------------------------------------------------------

inline constexpr char kProtocolVersion[] = "SHIORI/2.5";
inline constexpr char kCrLf[] = "\r\n";

inline constexpr char kStatusOk[] = " 200 OK";
inline constexpr char kStatusNoContent[] = " 204 No Content";
inline constexpr char kStatusNotEnough[] = " 311 Not Enough";
inline constexpr char kStatusAdvice[] = " 312 Advice";
inline constexpr char kStatusBadRequest[] = " 400 Bad Request";

// A talk text that stands for "this request type cannot serve the request".
inline constexpr char kCannotServe[] = "*";

// The status line alone: version + status + CR LF.
std::string StatusResponse(const char* status);
// One header line: name + ": " + value + CR LF.
std::string HeaderLine(const std::string& name, const std::string& value);
// "Charset: " + the charset name + CR LF.
std::string CharsetLine();
// The response with the empty line that ends every message.
std::string WithClosingLine(std::string response);
// The rules shared by the talk-carrying requests: "*" answers 400, an empty
// talk 204, anything else 200 with the talk as its line(s) and the charset
// line last.
std::string TalkResponse(std::string talk);
