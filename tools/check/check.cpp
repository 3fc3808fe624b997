// CheckGhost: one check run from the reset core to the placed diagnostics.
// Owns the file override that reads editor buffers and suppresses every
// write, and the placing of findings and records in the ghost's files.
#include "check.h"

#include <sys/stat.h>

#include <algorithm>
#include <exception>

#include "check_run.h"
#include "decox.h"
#include "fileutl.h"
#include "ghost_hook.h"
#include "shiori.h"
#include "charset/iconv_charset.h"

namespace {

constexpr char kAcknowledgeMark[] = "shiori-check: ignore";

// The override's read: an editor buffer for a path inside the ghost folder.
bool ReadBuffer(void* context, const std::string& path, std::string& data) {
  const TCheckRun& run = *static_cast<const TCheckRun*>(context);
  if (run.buffers == nullptr || path.compare(0, run.directory.size(), run.directory) != 0) {
    return false;
  }
  const auto found = run.buffers->find(path.substr(run.directory.size()));
  if (found == run.buffers->end()) return false;
  data = found->second;
  return true;
}

// The segments of the joined text, from the Dictionary records.
void BuildSegments(TCheckRun& run) {
  for (const TCollectedRecord& record : run.collector.records) {
    if (record.kind != THookKind::Dictionary) continue;
    AddSegment(run.origins,
               TSegment{record.name, record.text, record.list_offset, record.position, record.end,
                        {}, {}});
  }
}

// The end of a finding: after its last character on the same line, or the
// origin of the byte after it.
void PlaceEnd(const TOriginMap& map, const TFinding& finding, TCheckDiagnostic& out) {
  out.end_line = out.line;
  out.end_column = out.column;
  if (finding.length <= 0) return;
  const std::string bytes = map.joined.substr(finding.position - 1, finding.length);
  if (bytes.find_first_of("\r\n") == std::string::npos) {
    out.end_column += CharacterCount(bytes, CharsetAt(map, finding.position));
    return;
  }
  const TOrigin end = OriginOf(map, finding.position + finding.length);
  if (end.file == out.file) {
    out.end_line = end.line;
    out.end_column = end.column;
  }
}

constexpr char kVisibleBlank[] = "\xE2\x90\xA0";  // U+2420, the symbol for a space
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";   // U+FEFF, which shows as nothing

// A text as a message shows it: a blank at either end as the symbol for a
// space (the module trims them, so an author never sees them), a tab, CR
// and LF as "\t", "\r", "\n", a byte-order mark as "<BOM>" and any other
// control byte in hex, so that a
// message stays on one line and shows what the bytes are.
std::string Visible(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  const size_t last = text.find_last_not_of(' ');
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == ' ' && (first == std::string::npos || i < first || i > last)) {
      out += kVisibleBlank;
    } else if (text.compare(i, 3, kByteOrderMark) == 0) {
      out += "<BOM>";
      i += 2;
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 0x20 || c == 0x7F) {
      static const char kHex[] = "0123456789ABCDEF";
      out += std::string{'<', kHex[c >> 4], kHex[c & 15], '>'};
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

TOrigin FindingOrigin(const TOriginMap& map, const TFinding& finding) {
  if (!finding.file.empty()) return TOrigin{finding.file, finding.file_line, finding.file_column};
  if (finding.list_line != 0) return TOrigin{kListFileName, finding.list_line, 1};
  if (finding.position == 0) return ListOrigin(map, finding.list_offset);
  TOrigin origin = OriginOf(map, finding.position);
  // A place on a separator between two dictionaries belongs to the one after.
  for (int p = finding.position + 1; origin.file.empty() && p <= finding.position + 2; ++p) {
    origin = OriginOf(map, p);
  }
  return origin;
}

TCheckDiagnostic Place(const TCheckRun& run, const TFinding& finding) {
  TCheckDiagnostic out;
  const TOrigin origin = FindingOrigin(run.origins, finding);
  out.file = origin.file;
  out.line = origin.line;
  out.column = origin.column;
  if (finding.position != 0) PlaceEnd(run.origins, finding, out);
  else {
    out.end_line = out.line;
    out.end_column = out.column;
  }
  const TCheckCode& code = CheckCodeEntry(finding.code);
  out.level = code.level;
  out.code = code.code;
  std::vector<std::string> shown;
  const std::string charset = finding.position != 0 ? CharsetAt(run.origins, finding.position)
                              : finding.charset.empty() ? std::string("Shift_JIS")
                                                        : finding.charset;
  for (const std::string& argument : finding.arguments) {
    shown.push_back(Visible(ToUtf8(argument, charset)));
  }
  out.message = Message(finding.message, shown);
  return out;
}

// The rank of a file: the list file first, then the dictionaries in their
// order, then the other files (the translation tables).
int FileRank(const TOriginMap& map, const std::string& file) {
  if (file == kListFileName) return 0;
  for (size_t i = 0; i < map.segments.size(); ++i) {
    if (map.segments[i].file == file) return static_cast<int>(i) + 1;
  }
  return static_cast<int>(map.segments.size()) + 1;
}

void SortDiagnostics(const TOriginMap& map, std::vector<TCheckDiagnostic>& diagnostics) {
  std::stable_sort(diagnostics.begin(), diagnostics.end(),
                   [&map](const TCheckDiagnostic& a, const TCheckDiagnostic& b) {
                     const int ra = FileRank(map, a.file), rb = FileRank(map, b.file);
                     if (ra != rb) return ra < rb;
                     if (a.file != b.file) return a.file < b.file;
                     if (a.line != b.line) return a.line < b.line;
                     return a.column < b.column;
                   });
}

// A dictionary listed twice gives each finding of its text twice.
void RemoveRepeats(std::vector<TCheckDiagnostic>& diagnostics) {
  const auto same = [](const TCheckDiagnostic& a, const TCheckDiagnostic& b) {
    return a.file == b.file && a.line == b.line && a.column == b.column && a.code == b.code &&
           a.message == b.message;
  };
  diagnostics.erase(std::unique(diagnostics.begin(), diagnostics.end(), same), diagnostics.end());
}

const char* DefinitionKind(THookKind kind) {
  switch (kind) {
    case THookKind::Word: return "word";
    case THookKind::Link: return "link";
    case THookKind::FreeTalk: return "free-talk";
    case THookKind::WordTalk: return "word-talk";
    case THookKind::Reply: return "reply";
    case THookKind::Hello: return "hello";
    case THookKind::Event: return "event";
    case THookKind::String: return "string";
    case THookKind::Status: return "status";
    case THookKind::Macro: return "macro";
    default: return nullptr;
  }
}

std::vector<TCheckDefinition> Definitions(const TCheckRun& run) {
  std::vector<TCheckDefinition> out;
  for (const TCollectedRecord& record : run.collector.records) {
    const char* kind = DefinitionKind(record.kind);
    if (kind == nullptr || record.position == 0) continue;
    const std::string charset = CharsetAt(run.origins, record.position);
    out.push_back(TCheckDefinition{kind, ToUtf8(record.name, charset),
                                   ToUtf8(record.text, charset), record.record,
                                   OriginOf(run.origins, record.position)});
  }
  return out;
}

// The line above the one that holds `position`, within its dictionary.
std::string LineAbove(const TOriginMap& map, int position) {
  const TSegment* segment = SegmentAt(map, position);
  if (segment == nullptr) return std::string();
  const std::vector<int>& starts = segment->line_starts;
  const auto after = std::upper_bound(starts.begin(), starts.end(), position);
  if (after - starts.begin() < 2) return std::string();
  const int from = *(after - 2), to = *(after - 1);
  return map.joined.substr(from - 1, to - from);
}

// A finding the author has acknowledged: the line above it is a comment
// ("//" or "#") that says "shiori-check: ignore" and names the code.
bool Acknowledged(const TOriginMap& map, const TFinding& finding) {
  if (finding.position == 0) return false;
  const std::string above = LineAbove(map, finding.position);
  if (above.empty() || (above[0] != '#' && above.compare(0, 2, "//") != 0)) return false;
  const size_t mark = above.find(kAcknowledgeMark);
  return mark != std::string::npos && above.find(finding.code, mark) != std::string::npos;
}

// Loads the ghost into the reset core with the hook and the override in
// place, and keeps the joined text and the list.
void Load(TCheckRun& run) {
  PrepareCollector(run.collector);
  const TFileOverride override{ReadBuffer, true, &run};
  SetFileOverride(&override);
  SetDiagnosticsHook(&run.collector.hook);
  run.origins.joined = LoadGhost(run.directory);
  SetDiagnosticsHook(nullptr);
  SetListText(run.origins, ReadWholeFile(run.directory + kListFileName));
  SetFileOverride(nullptr);
}

}  // namespace

bool GhostFileExists(const TCheckRun& run, const std::string& name) {
  if (run.buffers != nullptr && run.buffers->count(name) != 0) return true;
  struct stat info {};
  return stat((run.directory + name).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

TCheckResult CheckGhost(const std::string& directory, const TCheckBuffers& buffers) {
  TCheckResult result;
  try {
    ResetModule();
    TCheckRun run;
    run.directory = WithTrailingSeparator(directory.empty() ? std::string("./") : directory);
    run.buffers = &buffers;
    Load(run);
    BuildSegments(run);
    CheckReports(run);
    CheckStore(run);
    TableFindings(run);
    for (const TFinding& finding : run.findings) {
      if (!Acknowledged(run.origins, finding)) result.diagnostics.push_back(Place(run, finding));
    }
    SortDiagnostics(run.origins, result.diagnostics);
    RemoveRepeats(result.diagnostics);
    result.definitions = Definitions(run);
    result.origins = std::move(run.origins);
  } catch (const std::exception&) {
    // A check that cannot finish (out of memory) gives what it placed.
  }
  ResetModule();
  return result;
}

TCheckCounts CountLevels(const std::vector<TCheckDiagnostic>& diagnostics) {
  TCheckCounts counts;
  for (const TCheckDiagnostic& d : diagnostics) {
    if (d.level == TCheckLevel::Error) ++counts.errors;
    else if (d.level == TCheckLevel::Warning) ++counts.warnings;
    else ++counts.notes;
  }
  return counts;
}
