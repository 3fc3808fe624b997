// The language features over an indexed ghost, answered as protocol JSON.
#include "lsp_features.h"

#include <algorithm>

#include "lsp_charset.h"
#include "lsp_names.h"
#include "lsp_symbols.h"

using nlohmann::json;

namespace {

constexpr size_t kHoverWords = 5;      // words a tag's hover shows
constexpr size_t kHoverResponses = 5;  // responses an event's hover shows
constexpr size_t kHoverPlaces = 5;     // assignments a variable's hover shows

// Completion item kinds and symbol kinds of the protocol.
enum TItemKind {
  kItemFunction = 3,
  kItemVariable = 6,
  kItemEnum = 13,
  kItemConstant = 21,
  kItemEvent = 23
};
enum TSymbolKindCode {
  kSymbolFunction = 12,
  kSymbolString = 15,
  kSymbolNumber = 16,
  kSymbolEnum = 10,
  kSymbolEvent = 24
};

const std::string& LineOf(const TGhostFile& file, int line) {
  static const std::string kNone;
  return line >= 0 && line < static_cast<int>(file.lines.size())
             ? file.lines[static_cast<size_t>(line)]
             : kNone;
}

json Position(int line, int character) { return {{"line", line}, {"character", character}}; }

json RangeOf(const TGhostFile& file, int line, size_t begin, size_t end) {
  const std::string& text = LineOf(file, line);
  return {{"start", Position(line, Utf16OfByte(text, begin))},
          {"end", Position(line, Utf16OfByte(text, end))}};
}

json Locations(const TGhost& ghost, const std::vector<TPlace>& places) {
  json locations = json::array();
  for (const TPlace& place : places) {
    const TGhostFile* file = GhostFile(ghost, place.file);
    if (file == nullptr) continue;
    locations.push_back(
        {{"uri", file->uri}, {"range", RangeOf(*file, place.line, place.begin, place.end)}});
  }
  return locations;
}

std::string Where(const TPlace& place) { return place.file + ":" + std::to_string(place.line + 1); }

std::string Code(const std::string& text) {
  return text.find('`') == std::string::npos ? "`" + text + "`" : "``" + text + "``";
}

std::string CategoryHover(const TGhost& ghost, const std::string& name) {
  const auto found = ghost.categories.find(name);
  if (found == ghost.categories.end()) return "";
  const std::vector<std::string>& words = found->second.words;
  std::string text = "**" + name + "**: category, " + std::to_string(words.size()) +
                     (words.size() == 1 ? " word" : " words");
  for (size_t i = 0; i < words.size() && i < kHoverWords; ++i)
    text += (i == 0 ? ": " : ", ") + Code(words[i]);
  if (words.size() > kHoverWords) text += ", …";
  return text;
}

std::string EventHover(const TGhost& ghost, const std::string& name) {
  const auto found = ghost.events.find(name);
  if (found == ghost.events.end()) return "**" + name + "**: event without responses";
  const auto& responses = found->second;
  std::string text = "**" + name + "**: event, " + std::to_string(responses.size()) +
                     (responses.size() == 1 ? " response" : " responses");
  for (size_t i = 0; i < responses.size() && i < kHoverResponses; ++i) {
    const TEventResponse& response = responses[i];
    text += "\n- " +
            (response.condition.empty() ? std::string() : "if " + Code(response.condition) + ": ") +
            Code(response.text);
  }
  if (responses.size() > kHoverResponses) text += "\n- …";
  return text;
}

std::string VariableHover(const TGhost& ghost, const std::string& name) {
  std::string text = "**%" + name.substr(1) + "**: variable";
  const auto found = ghost.variables.find(name);
  if (found == ghost.variables.end()) return text;
  text += ", assigned at ";
  for (size_t i = 0; i < found->second.size() && i < kHoverPlaces; ++i) {
    text += (i == 0 ? "" : ", ") + Where(found->second[i]);
  }
  if (found->second.size() > kHoverPlaces) text += ", …";
  return text;
}

std::string BuiltinHover(const std::string& name) {
  const TBuiltinName* builtin = FindBuiltin(name);
  if (builtin == nullptr) return "";
  return "**\\" + name + "** := " + Code(builtin->arguments) + ": built-in function; " +
         builtin->summary;
}

std::string MacroHover(const TGhost& ghost, const std::string& pattern) {
  for (const TMacroInfo& macro : ghost.macros) {
    if (macro.pattern == pattern) {
      return "**$" + pattern + "**: macro, rewritten as " + Code(macro.body) + " (" +
             Where(macro.place) + ")";
    }
  }
  return "";
}

std::string HoverText(const TGhost& ghost, const TSymbol& symbol) {
  switch (symbol.kind) {
    case TSymbolKind::Category:
      return CategoryHover(ghost, symbol.name);
    case TSymbolKind::Event:
      return EventHover(ghost, symbol.name);
    case TSymbolKind::Variable:
      return VariableHover(ghost, symbol.name);
    case TSymbolKind::Builtin:
      return BuiltinHover(symbol.name);
    case TSymbolKind::Macro:
      return MacroHover(ghost, symbol.name);
    case TSymbolKind::SystemName:
      if (const TSystemName* system = SystemNameAt(symbol.name))
        return "**" + symbol.name + "**: system value; " + system->meaning;
      return "";
    case TSymbolKind::FreeTalk:
      return "**\\a**: a random free talk (" + std::to_string(ghost.free_talks.size()) +
             " free talks)";
    case TSymbolKind::String: {
      const auto found = ghost.strings.find(symbol.name);
      const size_t count = found == ghost.strings.end() ? 0 : found->second.size();
      return "**" + symbol.name + "**: string identifier, " + std::to_string(count) + " entries";
    }
    default:
      return "";
  }
}

// The start of the name being typed after `trigger` before the cursor, or
// npos when the text between them cannot belong to a name.
size_t NameStart(const std::string& before, char trigger, const char* stops) {
  const size_t at = before.rfind(trigger);
  if (at == std::string::npos) return at;
  return before.find_first_of(stops, at + 1) == std::string::npos ? at + 1 : std::string::npos;
}

// True when the cursor stands in a formula: after an unclosed "%(", or in
// an event's condition before the entry's first comma.
bool InFormula(const std::string& before) {
  const size_t open = before.rfind("%(");
  if (open != std::string::npos) {
    int depth = 0;
    for (size_t i = open + 1; i < before.size(); ++i)
      depth += before[i] == '(' ? 1 : before[i] == ')' ? -1 : 0;
    if (depth > 0) return true;
  }
  const size_t first = before.find_first_not_of(" \t");
  return first != std::string::npos && before[first] == '@' &&
         before.find('&') != std::string::npos && before.find(',') == std::string::npos;
}

json Item(const std::string& label, int kind, const std::string& detail, const json& range) {
  return {{"label", label},
          {"kind", kind},
          {"detail", detail},
          {"textEdit", {{"range", range}, {"newText", label}}}};
}

void AddSymbol(json& symbols, const TGhostFile& file, const TPlace& place, const std::string& name,
               const std::string& detail, int kind) {
  const std::string& line = LineOf(file, place.line);
  symbols.push_back({{"name", name.empty() ? "(unnamed)" : name},
                     {"detail", detail},
                     {"kind", kind},
                     {"range", RangeOf(file, place.line, 0, line.size())},
                     {"selectionRange", RangeOf(file, place.line, place.begin, place.end)}});
}

}  // namespace

std::map<std::string, json> DiagnosticsByUri(const TGhost& ghost) {
  std::map<std::string, json> by_uri;
  for (const TGhostFile& file : ghost.files) by_uri[file.uri] = json::array();
  for (const TCheckDiagnostic& finding : ghost.result.diagnostics) {
    const TGhostFile* file = GhostFile(ghost, finding.file);
    if (file == nullptr) continue;
    const int line = std::max(0, finding.line - 1);
    const int end_line = std::max(line, finding.end_line - 1);
    const int end_column = finding.end_line > 0 ? finding.end_column : finding.column;
    const int severity = finding.level == TCheckLevel::Error     ? 1
                         : finding.level == TCheckLevel::Warning ? 2
                                                                 : 3;
    by_uri[file->uri].push_back(
        {{"range",
          {{"start", Position(line, Utf16OfColumn(LineOf(*file, line), finding.column))},
           {"end", Position(end_line, Utf16OfColumn(LineOf(*file, end_line), end_column))}}},
         {"severity", severity},
         {"code", finding.code},
         {"source", "shiori-check"},
         {"message", finding.message}});
  }
  return by_uri;
}

void PositionToByte(const TGhostFile& file, const json& position, int& line, size_t& byte) {
  line = position.value("line", 0);
  byte = ByteOfUtf16(LineOf(file, line), position.value("character", 0));
}

json Hover(const TGhost& ghost, const TGhostFile& file, int line, size_t byte) {
  const TSymbol symbol = SymbolAt(ghost, file, line, byte);
  const std::string text = HoverText(ghost, symbol);
  if (text.empty()) return nullptr;
  return {{"contents", {{"kind", "markdown"}, {"value", text}}},
          {"range", RangeOf(file, line, symbol.place.begin, symbol.place.end)}};
}

json Definition(const TGhost& ghost, const TGhostFile& file, int line, size_t byte) {
  return Locations(ghost, DefinitionsOf(ghost, SymbolAt(ghost, file, line, byte)));
}

json References(const TGhost& ghost, const TGhostFile& file, int line, size_t byte,
                bool with_declaration) {
  return Locations(ghost, ReferencesOf(ghost, SymbolAt(ghost, file, line, byte), with_declaration));
}

json Completion(const TGhost& ghost, const TGhostFile& file, int line, size_t byte) {
  const std::string before = LineOf(file, line).substr(0, byte);
  json items = json::array();
  auto range_from = [&](size_t start) { return RangeOf(file, line, start, byte); };
  if (const size_t start = NameStart(before, '%', " \t,()\"'%"); start != std::string::npos) {
    for (const std::string& name : ghost.categories_longest_first) {
      items.push_back(
          Item(name.substr(1), kItemEnum,
               "category, " + std::to_string(ghost.categories.at(name).words.size()) + " words",
               range_from(start)));
    }
    for (const TSystemName& system : SystemNames()) {
      items.push_back(Item(std::string(system.name).substr(1), kItemConstant, system.meaning,
                           range_from(start)));
    }
    for (const auto& [name, places] : ghost.variables) {
      if (FindBuiltin(name.substr(1)) == nullptr)
        items.push_back(Item(name.substr(1), kItemVariable, "variable", range_from(start)));
    }
  } else if (const size_t under = NameStart(before, '_', " \t,()\"'%:=\\");
             under != std::string::npos && InFormula(before)) {
    for (const TBuiltinName& builtin : BuiltinNames()) {
      if (builtin.name[0] != '_') continue;
      items.push_back(Item(builtin.name, kItemFunction,
                           std::string(builtin.arguments) + ": " + builtin.summary,
                           range_from(under - 1)));
    }
  } else if (const size_t at = NameStart(before, '@', " \t,&"); at != std::string::npos) {
    for (const auto& [name, responses] : ghost.events) {
      items.push_back(Item(name, kItemEvent,
                           "event, " + std::to_string(responses.size()) + " responses",
                           range_from(at)));
    }
  }
  return {{"isIncomplete", false}, {"items", items}};
}

json DocumentSymbols(const TGhost& ghost, const TGhostFile& file) {
  json symbols = json::array();
  for (const auto& [name, category] : ghost.categories) {
    for (const TPlace& place : category.places) {
      if (place.file == file.name) AddSymbol(symbols, file, place, name, "category", kSymbolEnum);
    }
  }
  for (const auto& [name, responses] : ghost.events) {
    for (const TEventResponse& response : responses) {
      if (response.place.file == file.name)
        AddSymbol(symbols, file, response.place, "@" + name, response.condition, kSymbolEvent);
    }
  }
  for (const auto& [name, places] : ghost.strings) {
    for (const TPlace& place : places) {
      if (place.file == file.name)
        AddSymbol(symbols, file, place, "*" + name, "string", kSymbolString);
    }
  }
  for (size_t i = 0; i < ghost.statuses.size(); ++i) {
    if (ghost.statuses[i].file == file.name)
      AddSymbol(symbols, file, ghost.statuses[i], "status " + std::to_string(i + 1), "status entry",
                kSymbolNumber);
  }
  for (const TMacroInfo& macro : ghost.macros) {
    if (macro.place.file == file.name)
      AddSymbol(symbols, file, macro.place, "$" + macro.pattern, macro.body, kSymbolFunction);
  }
  std::stable_sort(symbols.begin(), symbols.end(), [](const json& a, const json& b) {
    return a["range"]["start"]["line"].get<int>() < b["range"]["start"]["line"].get<int>();
  });
  return symbols;
}
