// The translation tables of the ghost folder, read with the translation
// module's own line reader and deciphering: lines that are not in the
// table format, texts that are not in the charset of the ghost's talk,
// lines the module ignores and entries that can never match, because the
// module tries the entries of a table in file order and takes the first
// whose source stands at a place of the talk.
#include "check_tables.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>

#include "check_run.h"
#include "makoto.h"
#include "charset/iconv_charset.h"

namespace {

constexpr char kFirstTableChar = 0x20;
constexpr char kLastTableChar = 0x7E;
constexpr std::size_t kGroupChars = 5;

// One line of the file as an editor shows it: its text without the line
// break, and whether a LF ended it.
struct TEditorLine {
  std::string text;
  bool broken = false;
};

std::vector<TEditorLine> EditorLines(std::string_view bytes) {
  std::vector<TEditorLine> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t lf = bytes.find('\n', start);
    const std::size_t stop = lf == std::string_view::npos ? bytes.size() : lf;
    TEditorLine line{std::string(bytes.substr(start, stop - start)), lf != std::string_view::npos};
    if (line.broken && !line.text.empty() && line.text.back() == '\r') line.text.pop_back();
    lines.push_back(std::move(line));
    start = stop + 1;
  }
  return lines;
}

// The file's bytes: an editor buffer, else the file; false when it is absent.
bool TableBytes(const TCheckRun& run, const std::string& name, std::string& bytes) {
  if (run.buffers != nullptr) {
    const auto found = run.buffers->find(name);
    if (found != run.buffers->end()) return bytes = found->second, true;
  }
  if (!GhostFileExists(run, name)) return false;
  std::ifstream in(run.directory + name, std::ios::binary);
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

void Add(TCheckRun& run, const std::string& file, const std::string& charset,
         const TTableFileLine& at, const char* code, const char* message,
         std::vector<std::string> arguments, int column = 0) {
  TFinding finding{code, message, std::move(arguments)};
  finding.file = file;
  finding.file_line = at.line;
  finding.file_column = column > 0 ? column : at.column;
  finding.charset = charset;
  run.findings.push_back(std::move(finding));
}

// The 1-based column of the first character that breaks the enciphered form
// (a character outside the printable ASCII, or a group cut short); 0 when
// the line has the form.
int FormBreak(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] < kFirstTableChar || text[i] > kLastTableChar) return static_cast<int>(i) + 1;
  }
  if (text.size() % kGroupChars == 0) return 0;
  return static_cast<int>(text.size() - text.size() % kGroupChars) + 1;
}

// A line that reads as "source,replacement" as it stands: written plain.
bool LooksPlain(const std::string& text) {
  const std::size_t comma = text.find(',');
  return comma != std::string::npos && comma > 0;
}

// True when the line deciphers to an entry of text: a comma, no control
// byte but a tab, and valid text of `charset` or of the usual charsets.
bool DeciphersToText(const TTableFileLine& line, const std::string& charset) {
  if (!line.entry) return false;
  for (const char c : line.plain) {
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t') return false;
  }
  for (const std::string& name : {charset, std::string("UTF-8"), std::string("Shift_JIS")}) {
    if (InvalidByteOffset(line.plain, name) == std::string::npos) return true;
  }
  return false;
}

// Lines longer than a table line, and a last line without its break.
// Returns the editor lines with such a finding.
std::vector<bool> LineFindings(TCheckRun& run, const std::string& file,
                               const std::vector<TEditorLine>& lines) {
  std::vector<bool> found(lines.size() + 1, false);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    TTableFileLine at;
    at.line = static_cast<int>(i) + 1;
    if (lines[i].text.size() > makoto::kMaxTableLine) {
      Add(run, file, "", at, "M002",
          "this line has {1} characters: the module reads at most {2} and takes the rest as "
          "the next line, so this line and all after it decipher wrongly",
          {std::to_string(lines[i].text.size()), std::to_string(makoto::kMaxTableLine)},
          static_cast<int>(makoto::kMaxTableLine) + 1);
      found[i + 1] = true;
    } else if (!lines[i].broken && !lines[i].text.empty()) {
      Add(run, file, "", at, "M002",
          "the last line has no line break: the module drops its last character in its place",
          {}, static_cast<int>(lines[i].text.size()));
      found[i + 1] = true;
    }
  }
  return found;
}

// Lines not in the enciphered form, or written plain (a plain line may
// happen to have the form, but then it deciphers to no text): one finding
// for a file written plain throughout, else one a line. Returns the lines
// that are enciphered.
std::vector<const TTableFileLine*> FormFindings(TCheckRun& run, const std::string& file,
                                                const std::vector<TTableFileLine>& lines,
                                                const std::vector<bool>& reported,
                                                const std::string& charset) {
  std::vector<const TTableFileLine*> formed, broken;
  for (const TTableFileLine& line : lines) {
    if (line.skipped || reported[line.line]) continue;
    const bool plain = LooksPlain(line.text) && !DeciphersToText(line, charset);
    (FormBreak(line.text) == 0 && !plain ? formed : broken).push_back(&line);
  }
  if (formed.empty() && broken.size() > 1) {
    Add(run, file, "", *broken[0], "M002",
        "this table is not enciphered: the module deciphers each of its {1} lines into other "
        "bytes, so no entry is read as written; make the table file with \"makoto-table encode\"",
        {std::to_string(broken.size())});
    return formed;
  }
  for (const TTableFileLine* line : broken) {
    Add(run, file, "", *line, "M002",
        LooksPlain(line->text)
            ? "this line is plain text, not enciphered: the module deciphers it into other "
              "bytes; make the table file with \"makoto-table encode\""
            : "this line is not enciphered: table lines hold printable ASCII characters in "
              "groups of five; make the table file with \"makoto-table encode\"",
        {}, std::max(1, LooksPlain(line->text) ? 1 : FormBreak(line->text)));
  }
  return formed;
}

// The charset the plain texts are in when they are not in `charset` but
// wholly in UTF-8 or Shift_JIS; empty else.
std::string OtherCharset(const std::vector<const TTableFileLine*>& lines,
                         const std::string& charset) {
  for (const char* other : {"UTF-8", "Shift_JIS"}) {
    if (IconvCharsetName(other) == IconvCharsetName(charset)) continue;
    bool all = true;
    for (const TTableFileLine* line : lines) {
      all = all && InvalidByteOffset(line->plain, other) == std::string::npos;
    }
    if (all) return other;
  }
  return std::string();
}

// Plain texts that are not text of the talk's charset: one finding when the
// table is in another charset throughout, else one a line. Returns the
// lines without a finding.
std::vector<const TTableFileLine*> CharsetFindings(TCheckRun& run, const std::string& file,
                                                   const std::vector<const TTableFileLine*>& lines,
                                                   const std::string& charset) {
  std::vector<const TTableFileLine*> valid, invalid;
  for (const TTableFileLine* line : lines) {
    (InvalidByteOffset(line->plain, charset) == std::string::npos ? valid : invalid).push_back(line);
  }
  if (invalid.empty()) return valid;
  const std::string other = OtherCharset(invalid, charset);
  if (!other.empty()) {
    Add(run, file, other, *invalid[0], "M001",
        "this table looks like {2}, not {1}: the talk is {1}, so its entries in {2} never "
        "match; write its plain lines in {1} and make the table again",
        {charset, other});
    return valid;
  }
  for (const TTableFileLine* line : invalid) {
    static const char kHex[] = "0123456789ABCDEF";
    const unsigned char b =
        static_cast<unsigned char>(line->plain[InvalidByteOffset(line->plain, charset)]);
    Add(run, file, "", *line, "M001",
        "this line deciphers to the byte 0x{1}, which is not valid in {2}, the charset of the "
        "talk: the line was not written for this table, or not in {2}",
        {std::string{kHex[b >> 4], kHex[b & 15]}, charset});
  }
  return valid;
}

// Lines the module ignores and entries that can never match.
void EntryFindings(TCheckRun& run, const std::string& file,
                   const std::vector<const TTableFileLine*>& lines, const std::string& charset) {
  std::map<std::string, const TTableFileLine*> first;  // each source with the line it is on
  for (const TTableFileLine* line : lines) {
    const std::size_t comma = line->plain.find(',');
    if (comma == std::string::npos) {
      Add(run, file, charset, *line, "M003",
          "this line deciphers to \"{1}\", without a comma between source and replacement: the "
          "module ignores it",
          {line->plain});
      continue;
    }
    if (comma == 0) {
      Add(run, file, charset, *line, "M004",
          "the source text is empty: the module ignores the line (it would match everywhere)", {});
      continue;
    }
    const std::string& source = line->source;
    if (source.compare(0, 2, "\\h") == 0 || source.compare(0, 2, "\\u") == 0) {
      Add(run, file, charset, *line, "M004",
          "the source text \"{1}\" begins with {2}: the module switches tables at each {2} "
          "before it tries an entry, so this one never matches",
          {source, source.substr(0, 2)});
      continue;
    }
    const TTableFileLine* shadow = nullptr;
    for (std::size_t length = 1; length <= source.size() && shadow == nullptr; ++length) {
      const auto found = first.find(source.substr(0, length));
      if (found != first.end()) shadow = found->second;
    }
    first.emplace(source, line);
    if (shadow == nullptr) continue;
    if (shadow->source == source) {
      Add(run, file, charset, *line, "M004",
          "the source text \"{1}\" is that of line {2} too, which comes first: this entry never "
          "matches",
          {source, std::to_string(shadow->line)});
    } else {
      Add(run, file, charset, *line, "M004",
          "the source text \"{1}\" begins with \"{2}\", the source of line {3}, which comes "
          "first and matches wherever this one would: this entry never matches",
          {source, shadow->source, std::to_string(shadow->line)});
    }
  }
}

void CheckTable(TCheckRun& run, const std::string& file, const std::string& bytes,
                const std::string& charset) {
  const std::vector<TTableFileLine> lines = ReadTableFile(bytes);
  const std::vector<bool> reported = LineFindings(run, file, EditorLines(bytes));
  const std::vector<const TTableFileLine*> formed = FormFindings(run, file, lines, reported, charset);
  EntryFindings(run, file, CharsetFindings(run, file, formed, charset), charset);
}

}  // namespace

std::vector<TTableFileLine> ReadTableFile(std::string_view bytes) {
  std::vector<TTableFileLine> out;
  uint32_t number = 0;
  int line = 0;
  std::size_t start = 0;
  // The module reads the file as one stream; each editor line gives the
  // same pieces on its own, since a piece ends at the latest at a LF.
  while (start < bytes.size()) {
    const std::size_t lf = bytes.find('\n', start);
    const std::size_t stop = lf == std::string_view::npos ? bytes.size() : lf + 1;
    ++line;
    int column = 1;
    for (makoto::TableLine& piece : makoto::SplitTableLines(bytes.substr(start, stop - start))) {
      TTableFileLine read;
      read.line = line;
      read.column = column;
      read.number = ++number;
      read.skipped = piece.Skipped;
      read.text = std::move(piece.Text);
      if (!read.skipped) {
        read.plain = read.text;
        makoto::DecodeLine(read.plain, read.number);
        read.entry = makoto::SplitTableEntry(read.plain, read.source, read.replacement);
      }
      out.push_back(std::move(read));
      column += static_cast<int>(makoto::kMaxTableLine) + 1;
    }
    start = stop;
  }
  return out;
}

int TableEntryCount(std::string_view bytes) {
  int count = 0;
  for (const TTableFileLine& line : ReadTableFile(bytes)) count += line.entry ? 1 : 0;
  return count;
}

void TableFindings(TCheckRun& run) {
  // The talk is in the charset the module answers with: the one in effect
  // at the end of the dictionaries.
  const std::string charset =
      CharsetAt(run.origins, static_cast<int>(run.origins.joined.size()) + 1);
  for (const char* name : makoto::kTableFileNames) {
    std::string bytes;
    if (TableBytes(run, name, bytes)) CheckTable(run, name, bytes, charset);
  }
}
