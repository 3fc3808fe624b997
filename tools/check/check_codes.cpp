// The checker's codes and the message catalog: the table of codes, the
// gettext binding beside the program, translation and the "{N}" arguments.
#include "check_codes.h"

#include <libintl.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace {

constexpr char kTextDomain[] = "shiori-check";

const std::vector<TCheckCode> kCodes = {
    {"C001", TCheckLevel::Error, "a table of the store is full: a record is refused"},
    {"C002", TCheckLevel::Error, "an index has no free slot on a key's probe chain"},
    {"C003", TCheckLevel::Warning, "strings beyond the 16 the parser keeps"},
    {"C004", TCheckLevel::Warning, "status entries beyond the 16 the parser keeps"},
    {"E001", TCheckLevel::Note, "an event whose responses all have a condition, none \"nohit\""},
    {"E002", TCheckLevel::Warning, "a condition that can never hold (a constant)"},
    {"E003", TCheckLevel::Warning, "an entry without talk: it says nothing when chosen"},
    {"F001", TCheckLevel::Warning, "an operator the formulas do not have (==, !=, &&, ||)"},
    {"F002", TCheckLevel::Warning, "an assignment to a name one slip from a built-in function"},
    {"L001", TCheckLevel::Error, "no list file tamune.ini, or an empty one"},
    {"L002", TCheckLevel::Error, "a listed dictionary that does not exist"},
    {"L003", TCheckLevel::Warning, "a listed dictionary that is empty"},
    {"L004", TCheckLevel::Warning, "\",e\" on a dictionary without the sealing header line"},
    {"L005", TCheckLevel::Warning, "a dictionary listed twice"},
    {"L006", TCheckLevel::Error, "a sealed dictionary that unseals to nothing"},
    {"L007", TCheckLevel::Warning, "a flag other than \",e\" in the list"},
    {"L008", TCheckLevel::Error, "tamune.ini with LF line ends"},
    {"L009", TCheckLevel::Warning, "a dictionary with LF line ends"},
    {"L010", TCheckLevel::Warning, "a dictionary with lines that end with CR alone"},
    {"M001", TCheckLevel::Warning, "a translation table whose texts are not in the talk's charset"},
    {"M002", TCheckLevel::Warning, "a translation table line that is not in the table format"},
    {"M003", TCheckLevel::Warning, "a translation table line without a comma: ignored"},
    {"M004", TCheckLevel::Warning, "a translation table entry that can never match"},
    {"P001", TCheckLevel::Warning, "a line whose key starts no entry"},
    {"P002", TCheckLevel::Warning, "\\ft without its word or category"},
    {"P003", TCheckLevel::Warning, "\\ch with fewer than four fields"},
    {"P004", TCheckLevel::Warning, "an event entry without an event name"},
    {"P005", TCheckLevel::Warning, "a string without identifier or text"},
    {"P006", TCheckLevel::Warning, "a word list without a word"},
    {"P007", TCheckLevel::Error, "a block comment that is never closed"},
    {"P008", TCheckLevel::Warning, "\"*/\" on the opening line of a block comment"},
    {"P009", TCheckLevel::Warning, "a macro definition with an empty pattern or replacement"},
    {"P010", TCheckLevel::Error, "a macro definition beyond the 256 of a parser run"},
    {"P012", TCheckLevel::Warning, "an Option line that is no directive"},
    {"P013", TCheckLevel::Note, "a switch to another charset"},
    {"P014", TCheckLevel::Note, "NSDeclare left on past its file, or AIStateComplex"},
    {"P015", TCheckLevel::Warning, "an indented comment line joined to an entry (NSDeclare)"},
    {"P016", TCheckLevel::Warning, "a tag key whose bracket is never closed (NSDeclare)"},
    {"P017", TCheckLevel::Warning, "a tab or a full-width comma where \",\" separates fields"},
    {"P018", TCheckLevel::Warning, "an event name with a blank in it"},
    {"P019", TCheckLevel::Warning, "a key in another case than the entry's (\\E for \\e)"},
    {"T001", TCheckLevel::Warning, "a tag %[...] that names no category"},
    {"T002", TCheckLevel::Warning, "\"%(\" without its \")\""},
    {"T003", TCheckLevel::Warning, "a %-name that is no category, variable or system value"},
    {"T004", TCheckLevel::Warning, "a category whose tag hides a system value or variable"},
    {"T005", TCheckLevel::Warning, "a redirection to an event that has no response"},
    {"T006", TCheckLevel::Warning, "\\a with no free talk to give"},
    {"T007", TCheckLevel::Warning, "redirections that go round in a circle"},
    {"T008", TCheckLevel::Warning, "a redirection to its own event"},
    {"T009", TCheckLevel::Warning, "a byte that is not valid in the dictionary's charset"},
    {"T010", TCheckLevel::Warning, "\"\\,\" in \\re, \\hl or \\ft talk, where it stays as typed"},
    {"T011", TCheckLevel::Warning, "a system value run together with letters"},
    {"T012", TCheckLevel::Warning, "a file in another charset than the one it is read in"},
};

std::string ProgramDirectory() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  std::string program(path, static_cast<size_t>(n));
  const size_t slash = program.rfind('/');
  return slash == std::string::npos ? "." : program.substr(0, slash);
}

}  // namespace

const std::vector<TCheckCode>& CheckCodes() { return kCodes; }

const TCheckCode& CheckCodeEntry(const std::string& code) {
  const auto found = std::find_if(kCodes.begin(), kCodes.end(),
                                  [&code](const TCheckCode& entry) { return code == entry.code; });
  if (found == kCodes.end()) std::abort();  // a code the table does not name
  return *found;
}

const char* LevelName(TCheckLevel level) {
  switch (level) {
    case TCheckLevel::Error: return "error";
    case TCheckLevel::Warning: return "warning";
    default: return "note";
  }
}

std::string ProgramLocaleDirectory() { return ProgramDirectory() + "/locale"; }

void BindCheckMessages(const std::string& directory) {
  bindtextdomain(kTextDomain, directory.c_str());
  bind_textdomain_codeset(kTextDomain, "UTF-8");
}

std::string Translate(const char* message_id) { return dgettext(kTextDomain, message_id); }

std::string TranslatePlural(const char* singular, const char* plural, unsigned long n) {
  return dngettext(kTextDomain, singular, plural, n);
}

std::string FormatMessage(const std::string& format, const std::vector<std::string>& arguments) {
  std::string out;
  for (size_t i = 0; i < format.size(); ++i) {
    const size_t close = format.find('}', i);
    if (format[i] == '{' && close != std::string::npos && close > i + 1 && close - i <= 3) {
      const std::string digits = format.substr(i + 1, close - i - 1);
      if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        const size_t k = static_cast<size_t>(std::atoi(digits.c_str()));
        if (k >= 1 && k <= arguments.size()) {
          const std::string& argument = arguments[k - 1];
          // A text with quotes of its own goes in single quotes instead
          // of doubling them.
          const bool requote = !out.empty() && out.back() == '"' && close + 1 < format.size() &&
                               format[close + 1] == '"' && argument.find('"') != std::string::npos;
          if (requote) out.back() = '\'';
          out += argument;
          if (requote) out += '\'';
          i = requote ? close + 1 : close;
          continue;
        }
      }
    }
    out += format[i];
  }
  return out;
}

std::string Message(const char* message_id, const std::vector<std::string>& arguments) {
  return FormatMessage(Translate(message_id), arguments);
}

std::string CountsText(int errors, int warnings, int notes) {
  std::vector<std::string> parts;
  const auto add = [&parts](int n, const char* one, const char* many) {
    if (n > 0) {
      parts.push_back(FormatMessage(TranslatePlural(one, many, static_cast<unsigned long>(n)),
                                    {std::to_string(n)}));
    }
  };
  add(errors, "{1} error", "{1} errors");
  add(warnings, "{1} warning", "{1} warnings");
  add(notes, "{1} note", "{1} notes");
  if (parts.empty()) return Translate("no problems");
  std::string text = parts[0];
  for (size_t i = 1; i < parts.size(); ++i) text += Translate(", ") + parts[i];
  return text;
}
