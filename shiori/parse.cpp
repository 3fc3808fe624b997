// Requests as messages: the request line, header values and references, and
// the response layout (status line, header lines, the closing empty line).
#include "parse.h"

#include <cstring>

#include "formula_search.h"
#include "ghost_assert.h"
#include "ghost_limits.h"
#include "strutl.h"

namespace {

int Length(const std::string& text) { return static_cast<int>(text.size()); }

// The bytes from `start` up to the next CR LF, or to the end when none follows.
std::string ValueFrom(int start, const std::string& text) {
  const std::size_t from = static_cast<std::size_t>(start) - 1;
  if (from > text.size()) return std::string();
  const std::size_t crlf = text.find(kCrLf, from, sizeof(kCrLf) - 1);
  if (crlf == std::string::npos) return text.substr(from);
  return text.substr(from, crlf - from);
}

// The last occurrence of `key` in `text` (npos: none), occurrences counted
// left to right without overlap.
std::size_t LastOccurrence(const std::string& text, const std::string& key) {
  std::size_t last = std::string::npos;
  for (std::size_t at = text.find(key); at != std::string::npos;
       at = text.find(key, at + key.size())) {
    last = at;
  }
  return last;
}

// Where the last "name: " of each name starts (npos: none), found from the
// colons of the text: a request holds few. Only for names without ":", whose
// key cannot overlap itself, so the last occurrence is also the last one
// without overlap.
void LastKeysByColons(const std::string& text, const std::string_view* names,
                      std::size_t* last, int count) {
  const char* data = text.data();
  const std::size_t size = text.size();
  for (int i = 0; i < count; ++i) last[i] = std::string::npos;
  const void* hit = std::memchr(data, ':', size);
  while (hit != nullptr) {
    const std::size_t colon = static_cast<const char*>(hit) - data;
    if (colon + 1 >= size) break;
    if (data[colon + 1] == ' ') {
      for (int i = 0; i < count; ++i) {
        // The byte before the colon first: it rejects most names without a call.
        const std::string_view name = names[i];
        if (colon >= name.size() && (name.empty() || data[colon - 1] == name.back()) &&
            std::memcmp(data + colon - name.size(), name.data(), name.size()) == 0) {
          last[i] = colon - name.size();
        }
      }
    }
    hit = std::memchr(data + colon + 1, ':', size - colon - 1);
  }
}

// The value behind the key of `name` found at `last`, or empty for npos.
std::string ValueAfterKey(const std::string& text, std::string_view name, std::size_t last) {
  if (last == std::string::npos) return std::string();
  return ValueFrom(static_cast<int>(last + name.size() + 2) + 1, text);
}

}  // namespace

// ---- Request line and headers ---------------------------------------------------

std::string RequestLine(const std::string& request) {
  int cursor = 1;
  return ReadLine(cursor, request);
}

// Plain substring search over the whole text, last occurrence wins: the key
// may also match at the end of a longer header name or inside a value.
std::string HeaderValue(const std::string& text, std::string_view name) {
  std::size_t last = std::string::npos;
  if (name.find(':') == std::string_view::npos) {
    LastKeysByColons(text, &name, &last, 1);
  } else {
    std::string key(name);
    key += ": ";
    last = LastOccurrence(text, key);
  }
  return ValueAfterKey(text, name, last);
}

void HeaderValueEach(const std::string& text, const std::string_view* names, std::string* values,
                     int count) {
  constexpr int kMostNames = 4;
  GHOST_ASSERT(count >= 0 && count <= kMostNames);
  std::size_t last[kMostNames];
  LastKeysByColons(text, names, last, count);
  for (int i = 0; i < count; ++i) {
    GHOST_ASSERT(names[i].find(':') == std::string_view::npos);
    values[i] = ValueAfterKey(text, names[i], last[i]);
  }
}

// Every value followed by 0x02. The byte after the colon is skipped whatever
// it is; a value without a CR LF behind it ends the list.
std::string HeaderValues(const std::string& text, const std::string& name) {
  const std::string key = name + ":";
  std::string values;
  int p = PosFrom(1, text, key);
  while (p > 0 && p + Length(key) + 1 <= Length(text)) {
    const int start = p + Length(key) + 1;
    const int crlf = PosFrom(start, text, kCrLf);
    if (crlf == 0) break;
    values += text.substr(start - 1, crlf - start);
    values += '\x02';
    p = PosFrom(crlf, text, key);
  }
  return values;
}

static_assert(kReferenceCount <= 10, "a reference's header name ends in one digit");

// One search for "Reference" finds the last "ReferenceN: " of every N, as
// HeaderValue would for each N on its own (the key does not overlap itself).
void ReadReferences(const std::string& text, TReferences& references) {
  static constexpr char kHead[] = "Reference";
  constexpr std::size_t kHeadSize = sizeof(kHead) - 1;
  std::size_t last[kReferenceCount];
  for (std::size_t& at : last) at = std::string::npos;
  for (std::size_t at = text.find(kHead); at != std::string::npos; at = text.find(kHead, at + 1)) {
    const std::size_t digit = at + kHeadSize;
    if (digit + 2 >= text.size() || text[digit + 1] != ':' || text[digit + 2] != ' ') continue;
    const int i = text[digit] - '0';
    if (i >= 0 && i < kReferenceCount) last[i] = at;
  }
  for (int i = 0; i < kReferenceCount; ++i) {
    if (last[i] == std::string::npos) {
      references[i].clear();
    } else {
      references[i] = ValueFrom(static_cast<int>(last[i] + kHeadSize + 4), text);
    }
  }
}

void ReadReferencesStepwise(const std::string& text, TReferences& references) {
  std::string name = "Reference0";
  for (int i = 0; i < kReferenceCount; ++i) {
    name.back() = static_cast<char>('0' + i);
    references[i] = HeaderValue(text, name);
  }
}

void ClearReferences(TReferences& references) {
  for (int i = 0; i < kReferenceCount; ++i) references[i].clear();
}

// ---- Response layout --------------------------------------------------------------

std::string StatusResponse(const char* status) {
  return std::string(kProtocolVersion) + status + kCrLf;
}

std::string HeaderLine(const std::string& name, const std::string& value) {
  return name + ": " + value + kCrLf;
}

std::string CharsetLine() { return HeaderLine("Charset", CharsetName()); }

std::string TalkResponse(std::string talk) {
  if (talk == kCannotServe) return StatusResponse(kStatusBadRequest);
  if (talk.empty()) return StatusResponse(kStatusNoContent);
  // Built around the talk in its own storage: the status line goes in front
  // (the lines of a talk leave room for it), the charset line behind.
  static const std::string kStatusLine = std::string(kProtocolVersion) + kStatusOk + kCrLf;
  const std::string& charset = CharsetName();
  talk.reserve(kStatusLine.size() + talk.size() + charset.size() + 20);
  talk.insert(0, kStatusLine);
  talk.append(kCrLf).append("Charset: ").append(charset).append(kCrLf);
  return talk;
}

// A message ends with an empty line: one more CR LF, unless the last header
// line already brought its own (word lines end that way).
std::string WithClosingLine(std::string response) {
  const std::string closing = std::string(kCrLf) + kCrLf;
  if (response.size() < closing.size() ||
      response.compare(response.size() - closing.size(), closing.size(), closing) != 0) {
    response += kCrLf;
  }
  return response;
}
