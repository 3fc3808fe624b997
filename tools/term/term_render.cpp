// Response and talk-script reading for the terminal host's display.
#include "term_render.h"

#include <cctype>
#include <cstdio>

namespace {

constexpr char kCrLf[] = "\r\n";

std::string HexByte(unsigned char b) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "<%02X>", b);
  return buffer;
}

// "Name: value" with a name of letters, digits, '-' and '_'.
bool SplitHeaderLine(const std::string& line, TResponseHeader& header) {
  const size_t colon = line.find(": ");
  if (colon == std::string::npos || colon == 0) return false;
  for (size_t i = 0; i < colon; ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    if (!std::isalnum(c) && c != '-' && c != '_') return false;
  }
  header.name = line.substr(0, colon);
  header.value = line.substr(colon + 2);
  return true;
}

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find(kCrLf, start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// The speech being written and the finished ones.
struct TSpeechWriter {
  std::vector<TSpeech> speeches;
  TSpeech current;

  void Switch(char speaker) {
    if (speaker == current.speaker) return;
    Flush();
    current.speaker = speaker;
  }
  void Flush() {
    const bool blank = current.text.find_first_not_of(" \t\n") == std::string::npos;
    if (!blank) {
      while (!current.text.empty() && current.text.back() == '\n') current.text.pop_back();
      if (!speeches.empty() && speeches.back().speaker == current.speaker) {
        speeches.back().text += "\n" + current.text;
      } else {
        speeches.push_back(current);
      }
    }
    current.text.clear();
  }
};

// Position after a tag's argument: a bracketed one, or one digit.
size_t SkipTagArgument(const std::string& script, size_t p) {
  if (p < script.size() && script[p] == '[') {
    const size_t close = script.find(']', p);
    return close == std::string::npos ? script.size() : close + 1;
  }
  if (p < script.size() && std::isdigit(static_cast<unsigned char>(script[p]))) return p + 1;
  return p;
}

// "\q[title,id]": the title in brackets; `p` is at the "[" after "\q".
size_t ChoiceTag(const std::string& script, size_t p, std::string& shown) {
  const size_t end = SkipTagArgument(script, p);
  if (end > p + 1 && script[p] == '[') {
    const std::string inside = script.substr(p + 1, end - p - 2);
    shown = "[" + inside.substr(0, inside.find(',')) + "]";
  }
  return end;
}

// Handles the tag whose backslash stands at `p`; gives the position after
// it, or npos for the end of the script.
size_t Tag(const std::string& script, size_t p, TSpeechWriter& writer) {
  if (p + 1 >= script.size()) {
    writer.current.text += '\\';
    return script.size();
  }
  const char c = script[p + 1];
  if (c == 'h' || c == 'u') {
    writer.Switch(c);
    return p + 2;
  }
  if (c == 'e') return std::string::npos;
  if (c == '\\') {
    writer.current.text += '\\';
    return p + 2;
  }
  if (c == 'n') {
    writer.current.text += '\n';
    return SkipTagArgument(script, p + 2);
  }
  if (c == 'q') {
    std::string shown;
    const size_t end = ChoiceTag(script, p + 2, shown);
    writer.current.text += shown;
    return end;
  }
  if (c == '_' && p + 2 < script.size()) return SkipTagArgument(script, p + 3);
  if (std::isalpha(static_cast<unsigned char>(c))) return SkipTagArgument(script, p + 2);
  writer.current.text += '\\';
  return p + 1;
}

}  // namespace

TResponse ParseResponse(const std::string& text) {
  TResponse response;
  const std::vector<std::string> lines = SplitCrLf(text);
  if (lines.empty()) return response;
  const size_t blank = lines[0].find(' ');
  response.status = blank == std::string::npos ? lines[0] : lines[0].substr(blank + 1);
  for (size_t i = 1; i < lines.size(); ++i) {
    TResponseHeader header;
    if (SplitHeaderLine(lines[i], header)) {
      response.headers.push_back(header);
    } else if (!lines[i].empty() && !response.headers.empty()) {
      response.headers.back().value += "\n" + lines[i];
    }
  }
  return response;
}

std::string ResponseHeader(const TResponse& response, const std::string& name) {
  for (const TResponseHeader& header : response.headers) {
    if (header.name == name) return header.value;
  }
  return std::string();
}

std::vector<TSpeech> SplitSpeakers(const std::string& script) {
  TSpeechWriter writer;
  size_t p = 0;
  while (p < script.size()) {
    if (script[p] == '\\') {
      p = Tag(script, p, writer);
      if (p == std::string::npos) break;
    } else {
      writer.current.text += script[p++];
    }
  }
  writer.Flush();
  return writer.speeches;
}

std::string VisibleBytes(const std::string& bytes) {
  std::string out;
  for (const char c : bytes) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b == '\r') {
      out += "<CR>";
    } else if (b == '\n') {
      out += "<LF>\n";
    } else if (b < 0x20 || b == 0x7F) {
      out += HexByte(b);
    } else {
      out += c;
    }
  }
  return out;
}

std::string VisibleControls(const std::string& text) {
  std::string out;
  for (const char c : text) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b != '\n' && (b < 0x20 || b == 0x7F)) {
      out += HexByte(b);
    } else {
      out += c;
    }
  }
  return out;
}
