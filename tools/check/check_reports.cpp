// The findings of the list file and of what the loader and the parser
// reported through the hook: each report becomes a coded finding with its
// message, and the list is read once more for what the loader cannot tell
// (no list, LF line ends, a name listed twice).
#include <map>

#include "check_run.h"
#include "decox.h"

namespace {

// The code and message of each kind of report ({1}, {2}: its texts, {3}:
// its size).
struct TReportMessage {
  THookCode hook;
  const char* code;
  const char* message;
};

const TReportMessage kReportMessages[] = {
    {THookCode::SealedEmpty, "L006", "the sealed dictionary {1} unseals to nothing"},
    {THookCode::SealWithoutHeader, "L004",
     "{1} is flagged \"e\" but has no sealing header line: it is not sealed"},
    {THookCode::FlagIgnored, "L007", "the flag \"{2}\" of {1} means nothing: only \"e\" does"},
    {THookCode::BlockCommentOpen, "P007",
     "this block comment is never closed: the rest of the text is skipped"},
    {THookCode::BlockCommentSameLine, "P008",
     "\"*/\" on the opening line does not close the comment: a line beginning with \"*/\" "
     "does"},
    {THookCode::UnknownEntry, "P001", "the key \"{1}\" starts no entry: the line is ignored"},
    {THookCode::UnknownOption, "P012", "\"Option,{1}\" is no directive: the line is ignored"},
    {THookCode::WordTalkFields, "P002", "\\ft without its word or its category"},
    {THookCode::LinkFields, "P003", "\\ch needs four fields: the link is not made"},
    {THookCode::EventWithoutName, "P004", "an event entry without an event name"},
    {THookCode::StringFields, "P005", "the string \"{1}\" has no identifier or no text: ignored"},
    {THookCode::WordListEmpty, "P006", "the word list {1} has no word"},
    {THookCode::StringLimit, "C003", "string \"{1}\" is beyond the {3} strings kept: ignored"},
    {THookCode::StatusLimit, "C004", "a status entry beyond the {3} kept: ignored"},
    {THookCode::CharsetSwitch, "P013", "the charset switches to {1} from here on"},
    {THookCode::OptionSwitch, "P014",
     "\"{1}\" stays in effect past the end of this file, for the dictionaries listed after it"},
    {THookCode::MacroIgnored, "P009",
     "a macro definition with an empty pattern or replacement: ignored"},
    {THookCode::MacroLimit, "P010", "a macro definition beyond the {3} of one parser run: ignored"},
    {THookCode::IndentedComment, "P015",
     "an indented comment line is joined to the entry above it (NSDeclare)"},
    {THookCode::TagBracketOpen, "P016", "the bracket of the tag key \"{1}\" is never closed"},
    {THookCode::TableFull, "C001", "{1} is full ({3} records): this record is refused"},
    {THookCode::ChainFull, "C002",
     "{1} has no free slot within {3} probes for \"{2}\": the record is not indexed"},
};

const TReportMessage* MessageOf(THookCode code) {
  for (const TReportMessage& entry : kReportMessages) {
    if (entry.hook == code) return &entry;
  }
  return nullptr;
}

void AddFinding(TCheckRun& run, const TCollectedReport& report, const char* code,
                const char* message) {
  TFinding finding{code, message, {report.text[0], report.text[1], std::to_string(report.size)}};
  finding.position = report.position;
  finding.list_offset = report.list_offset;
  run.findings.push_back(std::move(finding));
}

// A dictionary the loader got no text from: missing, or an empty file.
void DictionaryEmpty(TCheckRun& run, const TCollectedReport& report) {
  const std::string& name = report.text[0];
  const bool exists = GhostFileExists(run, name) || GhostFileExists(run, SealedName(name));
  AddFinding(run, report, exists ? "L003" : "L002",
             exists ? "the dictionary {1} is empty" : "the dictionary {1} does not exist");
}

// The segment that holds `position`, as an index; -1 for none.
int SegmentIndex(const TOriginMap& map, int position) {
  const TSegment* segment = SegmentAt(map, position);
  return segment == nullptr ? -1 : static_cast<int>(segment - map.segments.data());
}

// The switches: a charset switch that changes the charset, and "NSDeclare
// True" or "AIStateComplex" left in effect at the end of its file.
void Switches(TCheckRun& run, const std::vector<const TCollectedReport*>& switches) {
  std::string charset = "Shift_JIS";
  std::map<int, const TCollectedReport*> last_declare;  // segment -> its last NSDeclare switch
  for (const TCollectedReport* report : switches) {
    if (report->code == THookCode::CharsetSwitch) {
      run.origins.charsets.push_back(TCharsetSwitch{report->position, report->text[0]});
      if (report->text[0] != charset) AddFinding(run, *report, "P013", MessageOf(report->code)->message);
      charset = report->text[0];
    } else if (report->text[0] == "AIStateComplex") {
      AddFinding(run, *report, "P014", MessageOf(report->code)->message);
    } else {
      last_declare[SegmentIndex(run.origins, report->position)] = report;
    }
  }
  for (const auto& [segment, report] : last_declare) {
    if (report->text[0] == "NSDeclare True") {
      AddFinding(run, *report, "P014", MessageOf(report->code)->message);
    }
  }
}

// The lines of the list file as the loader takes them, with their offsets.
std::vector<std::pair<std::string, int>> ListLines(const std::string& list) {
  std::vector<std::pair<std::string, int>> lines;
  size_t pos = 0;
  while (pos < list.size()) {
    const size_t end = list.find("\r\n", pos);
    const size_t stop = end == std::string::npos ? list.size() : end;
    lines.emplace_back(list.substr(pos, stop - pos), static_cast<int>(pos) + 1);
    pos = end == std::string::npos ? list.size() : end + 2;
  }
  return lines;
}

void ListFindings(TCheckRun& run) {
  const std::string& list = run.origins.list;
  if (list.empty()) {
    TFinding finding{"L001", "there is no list file tamune.ini, or it is empty: nothing is loaded", {}};
    finding.list_line = 1;
    run.findings.push_back(std::move(finding));
    return;
  }
  size_t lf = list.find('\n');
  while (lf != std::string::npos && lf > 0 && list[lf - 1] == '\r') lf = list.find('\n', lf + 1);
  if (lf != std::string::npos) {
    TFinding finding{"L008",
                     "tamune.ini has LF line ends: the loader splits only at CR LF, so the "
                     "lines run together", {}};
    finding.list_offset = static_cast<int>(lf) + 1;
    run.findings.push_back(std::move(finding));
  }
  std::map<std::string, int> seen;  // name -> offset of its first line
  for (const auto& [line, offset] : ListLines(list)) {
    if (line.empty() || line[0] == '#') continue;
    const std::string name = line.substr(0, line.find(','));
    const auto [first, fresh] = seen.emplace(name, offset);
    if (fresh) continue;
    TFinding finding{"L005", "{1} is listed twice (first on line {2}): it is read twice",
                     {name, std::to_string(ListOrigin(run.origins, first->second).line)}};
    finding.list_offset = offset;
    run.findings.push_back(std::move(finding));
  }
}

// The 0-based offset of the first LF of `text` that no CR comes before.
size_t FirstLoneLf(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return i;
  }
  return std::string::npos;
}

// The 0-based offset in the joined text of the first CR of `segment` that
// no LF follows (the byte after it may be the loader's separator): the line
// reader skips that byte unseen, so the next line loses its first byte.
size_t FirstLoneCr(const std::string& joined, const TSegment& segment) {
  for (int p = segment.start; p < segment.end; ++p) {
    const size_t i = static_cast<size_t>(p) - 1;
    if (joined[i] == '\r' && (i + 1 >= joined.size() || joined[i + 1] != '\n')) return i;
  }
  return std::string::npos;
}

// A dictionary whose lines end with a lone LF, which the parser does not
// split at, or with a lone CR, after which it skips a byte; a sealed one
// that unseals to empty lines only.
void LineEndFindings(TCheckRun& run) {
  for (const TSegment& segment : run.origins.segments) {
    const std::string text =
        run.origins.joined.substr(segment.start - 1, segment.end - segment.start);
    const bool sealed = segment.file != segment.listed ||
                        (segment.file.size() > 4 &&
                         segment.file.compare(segment.file.size() - 4, 4, ".xdi") == 0);
    if (sealed) {
      if (text.find_first_not_of("\r\n") == std::string::npos) {
        TFinding finding{"L006", "the sealed dictionary {1} unseals to nothing", {segment.file}};
        finding.list_offset = segment.list_offset;
        run.findings.push_back(std::move(finding));
        continue;
      }
    }
    const size_t lone_lf = FirstLoneLf(text);
    if (lone_lf != std::string::npos) {
      TFinding finding{"L009",
                       "{1} has LF line ends: the parser splits lines only at CR, so the lines "
                       "run together", {segment.file}};
      finding.position = segment.start + static_cast<int>(lone_lf);
      run.findings.push_back(std::move(finding));
    }
    const size_t lone_cr = FirstLoneCr(run.origins.joined, segment);
    if (lone_cr != std::string::npos) {
      TFinding finding{"L010", "lines end with CR alone: the byte after each CR is skipped", {}};
      finding.position = static_cast<int>(lone_cr) + 1;
      run.findings.push_back(std::move(finding));
    }
  }
}

}  // namespace

void CheckReports(TCheckRun& run) {
  ListFindings(run);
  LineEndFindings(run);
  std::vector<const TCollectedReport*> switches;
  for (const TCollectedReport& report : run.collector.reports) {
    if (report.code == THookCode::DictionaryEmpty) {
      DictionaryEmpty(run, report);
    } else if (report.code == THookCode::CharsetSwitch || report.code == THookCode::OptionSwitch) {
      switches.push_back(&report);
    } else if (const TReportMessage* entry = MessageOf(report.code)) {
      AddFinding(run, report, entry->code, entry->message);
    }
  }
  Switches(run, switches);
}
