// Loading a ghost through the checker and indexing what it registered.
#include "lsp_ghost.h"

#include <algorithm>

#include "lsp_charset.h"

namespace {

constexpr char kListFile[] = "tamune.ini";
constexpr char kStartCharset[] = "Shift_JIS";

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

constexpr int kCharsetRechecks = 2;  // checks again after a directive moved

using TRunsByFile = std::map<std::string, TCharsetRuns>;

// A first guess for a file never checked: the charset it names, else Shift_JIS.
TCharsetRuns GuessedRuns(const std::string& text) {
  const std::string declared = DeclaredCharset(text);
  return {{0, declared.empty() ? std::string(kStartCharset) : declared}};
}

// The charset of each line of a dictionary, as the parser had it there.
TCharsetRuns RunsOfSegment(const TOriginMap& map, const TSegment& segment) {
  TCharsetRuns runs;
  for (size_t line = 0; line < segment.line_starts.size(); ++line) {
    const std::string charset = CharsetAt(map, segment.line_starts[line]);
    if (runs.empty() || runs.back().second != charset)
      runs.emplace_back(static_cast<int>(line), charset);
  }
  if (runs.empty()) runs.emplace_back(0, CharsetAt(map, segment.start));
  return runs;
}

TRunsByFile RunsOfResult(const TCheckResult& result) {
  TRunsByFile runs{{kListFile, {{0, kStartCharset}}}};
  for (const TSegment& segment : result.origins.segments) {
    if (runs.count(segment.file) == 0) runs[segment.file] = RunsOfSegment(result.origins, segment);
  }
  return runs;
}

const TCharsetRuns& RunsFor(TRunsByFile& runs, const std::string& name, const std::string& text) {
  auto found = runs.find(name);
  if (found == runs.end()) found = runs.emplace(name, GuessedRuns(text)).first;
  return found->second;
}

// The unsaved documents inside the folder, in their lines' charsets (a
// guess is added to `runs` for a document it does not know).
TCheckBuffers Buffers(const std::string& folder, const TDocuments& documents, TRunsByFile& runs) {
  TCheckBuffers buffers;
  for (const auto& [uri, document] : documents) {
    if (document.path.compare(0, folder.size(), folder) != 0) continue;
    const std::string name = document.path.substr(folder.size());
    buffers[name] = EncodeRuns(document.text, RunsFor(runs, name, document.text));
  }
  return buffers;
}

// True when every buffer was encoded in the charsets the check found.
bool BuffersAgree(const TCheckBuffers& buffers, const TRunsByFile& used, const TRunsByFile& found) {
  for (const auto& [name, bytes] : buffers) {
    const auto now = found.find(name);
    if (now != found.end() && now->second != used.at(name)) return false;
  }
  return true;
}

TCheckResult CheckOverBuffers(const std::string& folder, const TDocuments& documents,
                              TRunsByFile& runs) {
  for (int round = 0;; ++round) {
    const TCheckBuffers buffers = Buffers(folder, documents, runs);
    TCheckResult result = CheckGhost(folder, buffers);
    TRunsByFile found = RunsOfResult(result);
    const bool agree = BuffersAgree(buffers, runs, found);
    for (auto& [name, file_runs] : found) runs[name] = std::move(file_runs);
    if (agree || round == kCharsetRechecks) return result;
  }
}

TGhostFile MakeFile(const std::string& folder, const std::string& name, TRunsByFile& runs,
                    const TDocuments& documents) {
  TGhostFile file{name, folder + name, UriOfPath(folder + name), {}, {}};
  if (EndsWith(name, ".xdi")) return file;  // sealed: no text to show
  if (const TDocument* open = OpenDocumentOfPath(documents, file.path)) {
    file.charsets = RunsFor(runs, name, open->text);
    file.lines = SplitLines(open->text);
  } else {
    const std::string bytes = ReadFileBytes(file.path);
    file.charsets = RunsFor(runs, name, bytes);
    file.lines = SplitLines(DecodeRuns(bytes, file.charsets));
  }
  return file;
}

// The place of an entry's key: from its column to the first comma.
TPlace KeyPlace(const TGhost& ghost, const TOrigin& origin) {
  TPlace place{origin.file, std::max(0, origin.line - 1), 0, 0};
  const TGhostFile* file = GhostFile(ghost, origin.file);
  if (file == nullptr || place.line >= static_cast<int>(file->lines.size())) return place;
  const std::string& line = file->lines[static_cast<size_t>(place.line)];
  place.begin = ByteOfColumn(line, origin.column);
  size_t comma = place.begin;
  while (comma < line.size() && line[comma] != ',')
    comma += line[comma] == '\\' && comma + 1 < line.size() ? 2 : 1;
  place.end = std::min(comma, line.size());
  return place;
}

void AddCategoryWord(TGhost& ghost, const TCheckDefinition& definition) {
  TCategoryInfo& category = ghost.categories[definition.name];
  if (std::find(category.words.begin(), category.words.end(), definition.text) ==
      category.words.end()) {
    category.words.push_back(definition.text);
  }
  TPlace place = KeyPlace(ghost, definition.origin);
  const TGhostFile* file = GhostFile(ghost, place.file);
  if (file != nullptr && place.line < static_cast<int>(file->lines.size())) {
    const size_t named =
        file->lines[static_cast<size_t>(place.line)].find(definition.name, place.begin);
    if (named != std::string::npos)
      place = {place.file, place.line, named, named + definition.name.size()};
  }
  if (category.places.empty() || category.places.back().file != place.file ||
      category.places.back().line != place.line) {
    category.places.push_back(place);
  }
}

void IndexDefinition(TGhost& ghost, const TCheckDefinition& definition) {
  const std::string& kind = definition.kind;
  if (kind == "word") {
    AddCategoryWord(ghost, definition);
  } else if (kind == "event") {
    const TPlace place = KeyPlace(ghost, definition.origin);
    const TGhostFile* file = GhostFile(ghost, place.file);
    const std::string text = file == nullptr ? "" : EntryRest(*file, place.line);
    ghost.events[definition.name].push_back({definition.text, text, place});
  } else if (kind == "free-talk") {
    ghost.free_talks.push_back(KeyPlace(ghost, definition.origin));
  } else if (kind == "string") {
    ghost.strings[definition.name].push_back(KeyPlace(ghost, definition.origin));
  } else if (kind == "status") {
    ghost.statuses.push_back(KeyPlace(ghost, definition.origin));
  } else if (kind == "macro") {
    const size_t hole = definition.name.find("%0");
    ghost.macros.push_back({definition.name, definition.name.substr(0, hole), definition.text,
                            KeyPlace(ghost, definition.origin)});
  }
}

// The end of the name after the backslash at `at`: name bytes run up to a
// blank, an operator, a quote or a bracket.
size_t NameEnd(const std::string& line, size_t at) {
  const size_t end = line.find_first_of(" \t\\%(),\"':=;&|<>!+-*/", at + 1);
  return end == std::string::npos ? line.size() : end;
}

// Assignments "\name :=" in every line of the dictionaries.
void IndexVariables(TGhost& ghost) {
  for (const TGhostFile& file : ghost.files) {
    for (size_t i = 0; i < file.lines.size(); ++i) {
      const std::string& line = file.lines[i];
      for (size_t at = line.find('\\'); at != std::string::npos; at = line.find('\\', at + 1)) {
        const size_t end = NameEnd(line, at);
        const size_t operator_at = line.find_first_not_of(" \t", end);
        if (end == at + 1 || operator_at == std::string::npos ||
            line.compare(operator_at, 2, ":=") != 0) {
          continue;
        }
        ghost.variables[line.substr(at, end - at)].push_back(
            {file.name, static_cast<int>(i), at, end});
      }
    }
  }
  for (const auto& [name, places] : ghost.variables) ghost.variables_longest_first.push_back(name);
}

void SortLongestFirst(std::vector<std::string>& names) {
  std::stable_sort(names.begin(), names.end(),
                   [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
}

}  // namespace

size_t ByteOfColumn(const std::string& line, int column) {
  size_t i = 0;
  for (int character = 1; character < column && i < line.size(); ++character) {
    ++i;
    while (i < line.size() && (static_cast<unsigned char>(line[i]) & 0xC0) == 0x80) ++i;
  }
  return i;
}

std::string EntryRest(const TGhostFile& file, int line) {
  if (line < 0 || line >= static_cast<int>(file.lines.size())) return "";
  const std::string& text = file.lines[static_cast<size_t>(line)];
  size_t comma = 0;
  while (comma < text.size() && text[comma] != ',') comma += text[comma] == '\\' ? 2 : 1;
  std::string rest = comma < text.size() ? text.substr(comma + 1) : "";
  rest.erase(0, rest.find_first_not_of(" \t"));
  if (rest.empty() && line + 1 < static_cast<int>(file.lines.size())) {
    rest = file.lines[static_cast<size_t>(line) + 1];
    rest.erase(0, rest.find_first_not_of(" \t"));
  }
  return rest;
}

const TGhostFile* GhostFile(const TGhost& ghost, const std::string& name_or_path) {
  for (const TGhostFile& file : ghost.files) {
    if (file.name == name_or_path || file.path == name_or_path) return &file;
  }
  return nullptr;
}

TGhost LoadGhost(const std::string& folder, const TDocuments& documents, const TGhost* previous) {
  TGhost ghost;
  ghost.folder = folder;
  TRunsByFile runs;
  if (previous != nullptr) {
    for (const TGhostFile& file : previous->files) runs[file.name] = file.charsets;
  }
  ghost.result = CheckOverBuffers(folder, documents, runs);
  ghost.files.push_back(MakeFile(folder, kListFile, runs, documents));
  for (const TSegment& segment : ghost.result.origins.segments) {
    if (GhostFile(ghost, segment.file) == nullptr) {
      ghost.files.push_back(MakeFile(folder, segment.file, runs, documents));
    }
  }
  for (const TCheckDefinition& definition : ghost.result.definitions)
    IndexDefinition(ghost, definition);
  for (const auto& [name, category] : ghost.categories)
    ghost.categories_longest_first.push_back(name);
  SortLongestFirst(ghost.categories_longest_first);
  IndexVariables(ghost);
  SortLongestFirst(ghost.variables_longest_first);
  return ghost;
}
