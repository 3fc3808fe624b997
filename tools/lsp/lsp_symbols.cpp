// Finding names at places and places of names.
#include "lsp_symbols.h"

#include <algorithm>
#include <functional>

#include "lsp_names.h"

namespace {

bool StartsWith(const std::string& text, size_t at, const std::string& head) {
  return text.compare(at, head.size(), head) == 0;
}

bool IsDigitTwoToNine(char c) { return c >= '2' && c <= '9'; }

// The byte ranges of the comma-separated fields of a line ("\," does not
// separate), trimmed of blanks.
std::vector<std::pair<size_t, size_t>> Fields(const std::string& line) {
  std::vector<std::pair<size_t, size_t>> fields;
  size_t start = 0;
  for (size_t i = 0; i <= line.size(); ++i) {
    if (i < line.size() && line[i] == '\\' && i + 1 < line.size() && line[i + 1] == ',') {
      ++i;
      continue;
    }
    if (i < line.size() && line[i] != ',') continue;
    size_t begin = start, end = i;
    while (begin < end && (line[begin] == ' ' || line[begin] == '\t')) ++begin;
    while (end > begin && (line[end - 1] == ' ' || line[end - 1] == '\t')) --end;
    fields.emplace_back(begin, end);
    start = i + 1;
  }
  return fields;
}

bool Covers(size_t begin, size_t end, size_t byte) { return byte >= begin && byte < end; }

TPlace Span(const TGhostFile& file, int line, size_t begin, size_t end) {
  return {file.name, line, begin, end};
}

// "@" followed by an event name: the entry key or a redirection.
TSymbol EventAt(const TGhostFile& file, int line_number, size_t byte) {
  const std::string& line = file.lines[static_cast<size_t>(line_number)];
  for (size_t at = line.find('@'); at != std::string::npos; at = line.find('@', at + 1)) {
    if (at > 0 && line[at - 1] != ',' && line[at - 1] != ' ' && line[at - 1] != '\t') continue;
    size_t end = line.find_first_of(",& \t", at + 1);
    if (end == std::string::npos) end = line.size();
    if (end > at + 1 && (Covers(at, end, byte) || byte == end)) {
      return {TSymbolKind::Event, line.substr(at + 1, end - at - 1),
              Span(file, line_number, at, end)};
    }
  }
  return {};
}

// A field of an entry line: a category named whole, an event after "\ev",
// a string identifier, a macro pattern, or a talk "\a".
TSymbol FieldAt(const TGhost& ghost, const TGhostFile& file, int line_number, size_t byte) {
  const std::string& line = file.lines[static_cast<size_t>(line_number)];
  const auto fields = Fields(line);
  const std::string key = line.substr(fields[0].first, fields[0].second - fields[0].first);
  for (size_t i = 0; i < fields.size(); ++i) {
    const auto [begin, end] = fields[i];
    if (!Covers(begin, end, byte)) continue;
    const std::string text = line.substr(begin, end - begin);
    const TPlace place = Span(file, line_number, begin, end);
    if (ghost.categories.count(text) != 0) return {TSymbolKind::Category, text, place};
    if (i == 0 && !text.empty() && text[0] == '*')
      return {TSymbolKind::String, text.substr(1), place};
    if (i == 0 && !text.empty() && text[0] == '$')
      return {TSymbolKind::Macro, text.substr(1), place};
    if (i == 1 && key == "\\id") return {TSymbolKind::String, text, place};
    if (i == 1 && key == "\\ev") {
      const size_t amp = text.find('&');
      return {TSymbolKind::Event, text.substr(0, std::min(text.size(), amp)), place};
    }
    if (i > 0 && text == "\\a" && i + 1 == fields.size())
      return {TSymbolKind::FreeTalk, text, place};
  }
  return {};
}

// "\name :=": a built-in call or an assignment.
TSymbol AssignmentAt(const TGhost& ghost, const TGhostFile& file, int line_number, size_t byte) {
  for (const auto& [name, places] : ghost.variables) {
    for (const TPlace& place : places) {
      if (place.file != file.name || place.line != line_number ||
          !Covers(place.begin, place.end, byte))
        continue;
      if (FindBuiltin(name.substr(1)) != nullptr)
        return {TSymbolKind::Builtin, name.substr(1), place};
      return {TSymbolKind::Variable, name, place};
    }
  }
  return {};
}

TSymbol MacroUseAt(const TGhost& ghost, const TGhostFile& file, int line_number, size_t byte) {
  const std::string& line = file.lines[static_cast<size_t>(line_number)];
  for (const TMacroInfo& macro : ghost.macros) {
    if (macro.prefix.empty()) continue;
    for (size_t at = line.find(macro.prefix); at != std::string::npos;
         at = line.find(macro.prefix, at + 1)) {
      if (Covers(at, at + macro.prefix.size(), byte)) {
        return {TSymbolKind::Macro, macro.pattern,
                Span(file, line_number, at, at + macro.prefix.size())};
      }
    }
  }
  return {};
}

bool IsMacroLine(const std::string& line) {
  const size_t first = line.find_first_not_of(" \t");
  return first != std::string::npos && line[first] == '$';
}

// Lines the parser skips: "//", "#" and "," lines (block comments are
// left to the checker).
bool IsCommentLine(const std::string& line) {
  const size_t first = line.find_first_not_of(" \t");
  return first == std::string::npos || line[first] == '#' || line[first] == ',' ||
         line.compare(first, 2, "//") == 0;
}

// Calls `found` for every place of every file where `test` finds the symbol.
void ScanFiles(const TGhost& ghost, const std::function<void(const TGhostFile&, int)>& scan_line) {
  for (const TGhostFile& file : ghost.files) {
    for (size_t i = 0; i < file.lines.size(); ++i) {
      if (!IsCommentLine(file.lines[i])) scan_line(file, static_cast<int>(i));
    }
  }
}

bool SameSymbol(const TSymbol& a, const TSymbol& b) { return a.kind == b.kind && a.name == b.name; }

void AddUnique(std::vector<TPlace>& places, const TPlace& place) {
  for (const TPlace& known : places) {
    if (known.file == place.file && known.line == place.line && known.begin == place.begin) return;
  }
  places.push_back(place);
}

// The uses of a symbol that are found by scanning text.
void AddUses(const TGhost& ghost, const TSymbol& symbol, std::vector<TPlace>& places) {
  ScanFiles(ghost, [&](const TGhostFile& file, int number) {
    const std::string& line = file.lines[static_cast<size_t>(number)];
    for (size_t at = line.find('%'); at != std::string::npos; at = line.find('%', at + 1)) {
      TSymbol use = PercentNameAt(ghost, line, at);
      if (SameSymbol(use, symbol))
        AddUnique(places, Span(file, number, use.place.begin, use.place.end));
    }
    if (symbol.kind == TSymbolKind::Event) {
      for (size_t at = line.find('@'); at != std::string::npos; at = line.find('@', at + 1)) {
        TSymbol use = EventAt(file, number, at);
        if (SameSymbol(use, symbol)) AddUnique(places, use.place);
      }
    }
    if (symbol.kind == TSymbolKind::Macro && !IsMacroLine(line)) {
      for (const TMacroInfo& macro : ghost.macros) {
        if (macro.pattern != symbol.name || macro.prefix.empty()) continue;
        for (size_t at = line.find(macro.prefix); at != std::string::npos;
             at = line.find(macro.prefix, at + 1)) {
          AddUnique(places, Span(file, number, at, at + macro.prefix.size()));
        }
      }
    }
    if (symbol.kind == TSymbolKind::FreeTalk) {
      const auto fields = Fields(line);
      const auto last = fields.back();
      if (fields.size() > 1 && line.substr(last.first, last.second - last.first) == "\\a") {
        AddUnique(places, Span(file, number, last.first, last.second));
      }
    }
  });
}

}  // namespace

TSymbol PercentNameAt(const TGhost& ghost, const std::string& line, size_t at) {
  if (at + 1 < line.size() && line[at + 1] == '(') return {};
  for (const std::string& name : ghost.categories_longest_first) {
    if (name.size() < 2 || !StartsWith(line, at + 1, name.substr(1))) continue;
    size_t end = at + name.size();
    if (end < line.size() && IsDigitTwoToNine(line[end])) ++end;
    return {TSymbolKind::Category, name, {"", 0, at, end}};
  }
  for (const std::string& name : ghost.variables_longest_first) {
    if (name.size() < 2 || !StartsWith(line, at + 1, name.substr(1))) continue;
    return {TSymbolKind::Variable, name, {"", 0, at, at + name.size()}};
  }
  if (const TSystemName* system = SystemNameAt(line.substr(at))) {
    return {TSymbolKind::SystemName,
            system->name,
            {"", 0, at, at + std::char_traits<char>::length(system->name)}};
  }
  return {};
}

TSymbol SymbolAt(const TGhost& ghost, const TGhostFile& file, int line_number, size_t byte) {
  if (line_number < 0 || line_number >= static_cast<int>(file.lines.size())) return {};
  const std::string& line = file.lines[static_cast<size_t>(line_number)];
  for (size_t at = line.find('%'); at != std::string::npos && at <= byte;
       at = line.find('%', at + 1)) {
    TSymbol symbol = PercentNameAt(ghost, line, at);
    if (symbol.kind != TSymbolKind::None && Covers(symbol.place.begin, symbol.place.end, byte)) {
      symbol.place.file = file.name;
      symbol.place.line = line_number;
      return symbol;
    }
  }
  for (const auto& finder : {AssignmentAt, FieldAt}) {
    TSymbol symbol = finder(ghost, file, line_number, byte);
    if (symbol.kind != TSymbolKind::None) return symbol;
  }
  TSymbol event = EventAt(file, line_number, byte);
  if (event.kind != TSymbolKind::None) return event;
  return MacroUseAt(ghost, file, line_number, byte);
}

std::vector<TPlace> DefinitionsOf(const TGhost& ghost, const TSymbol& symbol) {
  std::vector<TPlace> places;
  switch (symbol.kind) {
    case TSymbolKind::Category:
      if (auto found = ghost.categories.find(symbol.name); found != ghost.categories.end())
        places = found->second.places;
      break;
    case TSymbolKind::Event:
      if (auto found = ghost.events.find(symbol.name); found != ghost.events.end()) {
        for (const TEventResponse& response : found->second) places.push_back(response.place);
      }
      break;
    case TSymbolKind::FreeTalk:
      places = ghost.free_talks;
      break;
    case TSymbolKind::Macro:
      for (const TMacroInfo& macro : ghost.macros) {
        if (macro.pattern == symbol.name) places.push_back(macro.place);
      }
      break;
    case TSymbolKind::String:
      if (auto found = ghost.strings.find(symbol.name); found != ghost.strings.end())
        places = found->second;
      break;
    case TSymbolKind::Variable:
      if (auto found = ghost.variables.find(symbol.name); found != ghost.variables.end())
        places = found->second;
      break;
    default:
      break;
  }
  return places;
}

std::vector<TPlace> ReferencesOf(const TGhost& ghost, const TSymbol& symbol,
                                 bool with_definitions) {
  std::vector<TPlace> places;
  if (symbol.kind == TSymbolKind::None) return places;
  const std::vector<TPlace> definitions = DefinitionsOf(ghost, symbol);
  if (with_definitions) {
    for (const TPlace& place : definitions) AddUnique(places, place);
  }
  if (symbol.kind == TSymbolKind::Builtin) {
    if (auto found = ghost.variables.find("\\" + symbol.name); found != ghost.variables.end()) {
      for (const TPlace& place : found->second) AddUnique(places, place);
    }
  }
  std::vector<TPlace> uses;
  AddUses(ghost, symbol, uses);
  for (const TPlace& place : uses) {
    const bool is_definition =
        std::any_of(definitions.begin(), definitions.end(), [&](const TPlace& d) {
          return d.file == place.file && d.line == place.line && d.begin == place.begin;
        });
    if (with_definitions || !is_definition) AddUnique(places, place);
  }
  return places;
}
