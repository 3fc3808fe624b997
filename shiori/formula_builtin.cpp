// The built-in functions that formulas call by assignment, the two timestamp
// formats, and the value file "values.dat" in the module directory, which
// "_save" rewrites and "_load" reads on every call.
#include "formula_builtin.h"

#include <string>

#include "fileutl.h"
#include "formula_search.h"
#include "formula_values.h"
#include "ghost_limits.h"
#include "ghost_trace.h"
#include "nsdic_words.h"
#include "strutl.h"

namespace {

const char kValueFileName[] = "values.dat";
const std::string kLineEnd = "\r\n";  // ends every line of the value file

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string ValueFilePath() { return BaseDirectory() + kValueFileName; }

// Splits at the first space outside double quotes: `head` before it, `tail`
// after it, both as they stand. False (nothing set) when there is none.
bool SplitAtFirstSpace(const std::string& text, std::string& head, std::string& tail) {
  const int space = FindFirstUnquoted(" ", text);
  if (space == 0) return false;
  head = text.substr(0, space - 1);
  tail = text.substr(space);
  return true;
}

// ---- The value file -----------------------------------------------------------------

// 0-based offset of the line that begins with key + ",", or npos. A key
// matches only at the start of the content or right after CR LF, so that
// the key "b" never cuts into the line of the key "ab".
std::size_t FindKeyLine(const std::string& content, const std::string& key) {
  const std::string head = key + ",";
  for (std::size_t at = content.find(head); at != std::string::npos;
       at = content.find(head, at + 1)) {
    if (at == 0) return at;
    if (at >= kLineEnd.size() &&
        content.compare(at - kLineEnd.size(), kLineEnd.size(), kLineEnd) == 0) {
      return at;
    }
  }
  return std::string::npos;
}

// Removes the key's line with its CR LF (or up to the end when none follows).
void RemoveKeyLine(std::string& content, const std::string& key) {
  const std::size_t at = FindKeyLine(content, key);
  if (at == std::string::npos) return;
  const std::size_t end = content.find(kLineEnd, at);
  content.erase(at, end == std::string::npos ? std::string::npos : end + kLineEnd.size() - at);
}

std::string SaveValue(const std::string& arguments) {
  std::string key, value;
  if (!SplitAtFirstSpace(arguments, key, value)) return arguments;
  // A value file that exists but cannot be read is not rewritten: the new
  // file would hold only this key, and every other saved value would be lost.
  std::string content;
  if (ReadFileForUpdate(ValueFilePath(), content)) {
    RemoveKeyLine(content, key);
    if (!value.empty()) content += key + "," + value + kLineEnd;
    WriteWholeFile(content, ValueFilePath());
  }
  if (TraceHook != nullptr) TracePoint(TTraceKind::ValueWritten, 0, 0, key, {}, value);
  return value;
}

// The value of `key` in the value file's text, or "".
std::string ValueOfKey(const std::string& content, const std::string& key) {
  const std::size_t at = FindKeyLine(content, key);
  if (at == std::string::npos) return std::string();
  const std::size_t start = at + key.size() + 1;
  const std::size_t end = content.find(kLineEnd, start);
  if (end == std::string::npos) return std::string();
  return content.substr(start, end - start);
}

std::string LoadValue(const std::string& key) {
  std::string value = ValueOfKey(ReadWholeFile(ValueFilePath()), key);
  if (TraceHook != nullptr) TracePoint(TTraceKind::ValueRead, 0, 0, key, {}, value);
  return value;
}

// ---- Text functions ---------------------------------------------------------------

std::string InStr(const std::string& arguments) {
  std::string rest = arguments;
  const std::string text = Unquote(SplitAt(rest, " ", TSplitMode::FirstUnquoted));
  const std::string pattern = Unquote(rest);
  if (text.empty() || pattern.empty()) return "0";
  const std::size_t at = text.find(pattern);
  return at == std::string::npos ? "0" : IntToStr(static_cast<long long>(at) + 1);
}

// `count` bytes from byte `start` (1-based), clamped to the text.
std::string BytePart(const std::string& text, int start, long long count) {
  if (start < 1) start = 1;
  if (start > static_cast<int>(text.size()) || count <= 0) return std::string();
  return text.substr(start - 1, static_cast<std::size_t>(count));
}

std::string SubStr(const std::string& arguments) {
  std::string head, rest;
  if (!SplitAtFirstSpace(arguments, head, rest)) return Quoted(arguments);
  const std::string text = Unquote(head);
  std::string start, count;
  if (SplitAtFirstSpace(rest, start, count)) {
    if (IsWholeInteger(start) && IsWholeInteger(count)) {
      return Quoted(BytePart(text, ToInt(start), ToInt(count)));
    }
  } else if (IsWholeInteger(rest)) {
    return Quoted(BytePart(text, ToInt(rest), static_cast<long long>(text.size())));
  }
  return Quoted(text);
}

std::string Replace(const std::string& arguments) {
  std::string head, rest;
  if (!SplitAtFirstSpace(arguments, head, rest)) return Quoted(arguments);
  std::string old_text = rest, new_text;
  SplitAtFirstSpace(rest, old_text, new_text);
  std::string result;
  if (!ReplaceAllWithin(Unquote(head), Unquote(old_text), Unquote(new_text),
                        kTextLimit, result)) {
    return "#err";
  }
  return Quoted(result);
}

// Every byte from `first` to `last` moved by `delta` (ASCII letters only).
std::string ShiftLetters(const std::string& text, char first, char last, int delta) {
  std::string out = text;
  for (char& b : out) {
    if (b >= first && b <= last) b = static_cast<char>(b + delta);
  }
  return out;
}

std::string Length(const std::string& arguments) {
  return IntToStr(static_cast<long long>(Unquote(arguments).size()));
}

std::string UpCase(const std::string& arguments) {
  return ShiftLetters(arguments, 'a', 'z', 'A' - 'a');
}
std::string LoCase(const std::string& arguments) {
  return ShiftLetters(arguments, 'A', 'Z', 'a' - 'A');
}

// ---- Words and variables -----------------------------------------------------------

std::string CountWord(const std::string& arguments) {
  return IntToStr(CategoryMember("\\" + arguments, 0));
}

std::string RegistWord(const std::string& arguments) {
  std::string word = arguments;
  const std::string category = SplitAt(word, " ", TSplitMode::FirstUnquoted);
  if (!category.empty() && !word.empty()) RegisterWord("\\" + category, word);
  return word;
}

std::string IsVal(const std::string& arguments) {
  const std::string form = "%" + arguments;
  return ExpandUserVariable(1, form) != form ? "1" : "0";
}

std::string WordType(const std::string& arguments) {
  const std::string category = CategoryOfWord(Unquote(arguments));
  return category.empty() ? "\"\"" : category.substr(1);
}

std::string SlashedTimestamp(const std::string& arguments) {
  return FormatTimestamp(arguments, true);
}

struct TBuiltin {
  const char* name;
  std::string (*run)(const std::string&);
};

// The functions whose names begin with an underscore, in dispatch order.
const TBuiltin kBuiltins[] = {
    {"_timestamp", SlashedTimestamp}, {"_save", SaveValue},
    {"_load", LoadValue},             {"_instr", InStr},
    {"_substr", SubStr},              {"_length", Length},
    {"_countword", CountWord},        {"_registword", RegistWord},
    {"_upcase", UpCase},              {"_locase", LoCase},
    {"_replace", Replace},            {"_isval", IsVal},
    {"_wordtype", WordType},
};

}  // namespace

std::string FormatTimestamp(const std::string& arguments, bool slashed) {
  std::string rest = Unquote(arguments);
  std::string f[6];
  for (std::string& field : f) field = TakeCommaField(rest);
  if (slashed) {
    return "\"" + f[0] + "/" + PadTwo(f[1]) + "/" + PadTwo(f[2]) + " " + PadTwo(f[3]) +
           ":" + PadTwo(f[4]) + ":" + PadTwo(f[5]) + "\"";
  }
  // Year, month, day (and a space), hour, minute, second in Shift_JIS.
  return f[0] + "\x94\x4E" + f[1] + "\x8C\x8E" + f[2] + "\x93\xFA " + f[3] + "\x8E\x9E" +
         f[4] + "\x95\xAA" + f[5] + "\x95\x62";
}

std::vector<std::string> BuiltinFunctionNames() {
  std::vector<std::string> names{"timestamp"};
  for (const TBuiltin& builtin : kBuiltins) names.emplace_back(builtin.name);
  return names;
}

std::string CallBuiltin(const std::string& name, const std::string& arguments) {
  if (name == "timestamp") return FormatTimestamp(arguments, false);
  if (name.empty() || name[0] != '_') return arguments;
  for (const TBuiltin& builtin : kBuiltins) {
    if (name == builtin.name) return builtin.run(arguments);
  }
  return arguments;
}
