// Static checks of templates: the assignments of every formula, and every
// "%" of a template matched as the expansion would match it, in its order
// (a formula, a category tag, a variable, a system value, %m?), without
// expanding or evaluating anything.
#include "check_templates.h"

#include <algorithm>
#include <functional>

#include "formula_builtin.h"
#include "formula_search.h"
#include "formula_values.h"
#include "formula_vars.h"
#include "nsdic_words.h"

namespace {

constexpr std::size_t kNone = std::string::npos;
constexpr char kAssign[] = ":=";
constexpr char kRegisterWord[] = "_registword";
constexpr char kRand[] = "%rand";
constexpr std::size_t kRandLength = sizeof(kRand) - 1;
constexpr char kAnyWord[] = "%m?";
constexpr char kGhostName[] = "%ghostname";
// The longest bracket a name shown in a message reaches into.
constexpr std::size_t kBracketReach = 64;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHigh(char c) { return static_cast<unsigned char>(c) >= 0x80; }

// 0-based positions of every "%" that starts a character, as the expansion
// finds them from the start of the text.
std::vector<std::size_t> PercentPositions(const std::string& text) {
  std::vector<std::size_t> found;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    if (b == '%') {
      found.push_back(i);
    } else if (b >= 0x80 && IsLeadByte(b)) {
      ++i;
    }
  }
  return found;
}

// The ")" closing the "(" at `open`, counting every bracket (quotes too).
std::size_t MatchingClose(const std::string& text, std::size_t open) {
  long depth = 1;
  for (std::size_t i = open + 1; i < text.size(); ++i) {
    if (text[i] == '(') {
      ++depth;
    } else if (text[i] == ')' && --depth == 0) {
      return i;
    }
  }
  return kNone;
}

// Calls `visit` with the inside of every "%(...)" form, nested ones too.
void ForEachFormula(const std::string& text, const std::function<void(const std::string&)>& visit) {
  std::size_t resume = 0;
  for (const std::size_t at : PercentPositions(text)) {
    if (at < resume || at + 1 >= text.size() || text[at + 1] != '(') continue;
    const std::size_t close = MatchingClose(text, at + 1);
    if (close == kNone) continue;
    const std::string inner = text.substr(at + 2, close - at - 2);
    visit(inner);
    ForEachFormula(inner, visit);
    resume = close + 1;
  }
}

std::string Trimmed(const std::string& text) {
  std::size_t first = 0, last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

bool IsDelimiter(char c) {
  return IsBlank(c) || c == ';' || c == '(' || c == ')' || c == '?' || c == '|' || c == '&' ||
         c == '"' || c == ':';
}

// The value assigned at `from`: up to the next ";" or ")" outside quotes.
std::string AssignedValue(const std::string& formula, std::size_t from) {
  bool quoted = false;
  std::size_t i = from;
  for (; i < formula.size(); ++i) {
    const char c = formula[i];
    if (c == '"') quoted = !quoted;
    if (!quoted && (c == ';' || c == ')')) break;
  }
  return Trimmed(formula.substr(from, i - from));
}

// "_registword := category.word": the word the call registers.
void CollectRegistration(const std::string& value, std::vector<TRegistration>& registrations) {
  std::string arguments = value;
  bool quoted = false;
  for (char& c : arguments) {
    if (c == '"') quoted = !quoted;
    if (!quoted && c == '.') c = ' ';
  }
  std::string word = arguments;
  const std::string category = SplitAt(word, " ", TSplitMode::FirstUnquoted);
  if (category.empty() || word.empty() || category.find('%') != kNone) return;
  registrations.push_back(TRegistration{"\\" + category, word});
}

void AddAssignedName(const std::string& name, TKnownNames& names) {
  if (name.size() < 2 || name[0] != '\\') return;
  const std::string body = name.substr(1);
  const std::size_t percent = body.find('%');
  if (percent == kNone) {
    names.variables.insert(body);
  } else if (percent == 0) {
    names.any = true;
  } else {
    names.prefixes.push_back(body.substr(0, percent));
  }
}

// One "name := value" of a formula: the name's offset and the value's.
struct TAssignment {
  std::size_t offset;
  std::string name;
  std::size_t value;
};

// Every "name := value" of one formula outside double quotes. The name is
// what stands between the ":=" and the blank or operator before it.
std::vector<TAssignment> Assignments(const std::string& formula) {
  std::vector<TAssignment> found;
  std::vector<char> starts(formula.size(), 1);  // 0 marks a trail byte
  bool quoted = false;
  for (std::size_t i = 0; i < formula.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(formula[i]);
    if (b == '"') {
      quoted = !quoted;
      continue;
    }
    if (quoted || formula.compare(i, 2, kAssign) != 0) {
      if (IsModeLeadByte(b) && i + 1 < formula.size()) starts[++i] = 0;
      continue;
    }
    std::size_t end = i;
    while (end > 0 && IsBlank(formula[end - 1])) --end;
    std::size_t begin = end;
    while (begin > 0 && !(starts[begin - 1] && IsDelimiter(formula[begin - 1]))) --begin;
    found.push_back(TAssignment{begin, formula.substr(begin, end - begin), i + 2});
    ++i;
  }
  return found;
}

void CollectFormula(const std::string& formula, TKnownNames& names,
                    std::vector<TRegistration>& registrations) {
  for (const TAssignment& a : Assignments(formula)) {
    AddAssignedName(a.name, names);
    if (a.name == std::string("\\") + kRegisterWord) {
      CollectRegistration(AssignedValue(formula, a.value), registrations);
    }
  }
}

// The length of the system value, %rand, %m? or %ghostname form at `at`.
std::size_t SystemLength(const std::string& text, std::size_t at, TTemplateKind kind) {
  static const std::vector<std::string> kNames = SystemValueNames();
  std::size_t longest = 0;
  for (const std::string& name : kNames) {
    if (text.compare(at, name.size(), name) == 0) longest = std::max(longest, name.size());
  }
  if (text.compare(at, kRandLength, kRand) == 0 && at + kRandLength < text.size()) {
    const char form = text[at + kRandLength];
    if ((form >= '1' && form <= '9') || form == '[') longest = std::max(longest, kRandLength + 1);
  }
  const std::string any_word = kAnyWord;
  if (text.compare(at, any_word.size(), any_word) == 0) {
    longest = std::max(longest, any_word.size());
  }
  const std::string ghost_name = kGhostName;
  if (kind == TTemplateKind::Hello && text.compare(at, ghost_name.size(), ghost_name) == 0) {
    longest = std::max(longest, ghost_name.size());
  }
  return longest;
}

// The length of the longest known variable form ("%" and the name) at `at`.
std::size_t VariableLength(const std::string& text, std::size_t at, const TKnownNames& names) {
  for (const std::size_t length : names.lengths) {
    if (at + 1 + length <= text.size() && names.variables.count(text.substr(at + 1, length))) {
      return length + 1;
    }
  }
  std::size_t longest = 0;
  for (const std::string& prefix : names.prefixes) {
    if (text.compare(at + 1, prefix.size(), prefix) == 0) {
      longest = std::max(longest, prefix.size() + 1);
    }
  }
  return longest;
}

bool IsNameStart(char c) { return IsAsciiLetter(c) || c == '_' || c == '[' || IsHigh(c); }

// The name after a "%" at `from` as a message shows it: letters, digits,
// "_", double-byte characters, and a bracket with what it holds. `bracket`
// tells whether it has one.
std::size_t NameEnd(const std::string& text, std::size_t from, bool& bracket) {
  bracket = false;
  std::size_t k = from;
  while (k < text.size()) {
    const char c = text[k];
    if (c == '[') {
      const std::size_t close = text.find(']', k);
      if (close != kNone && close - k <= kBracketReach) {
        bracket = true;
        k = close + 1;
      }
      break;
    }
    if (IsHigh(c)) {
      k += IsLeadByte(static_cast<unsigned char>(c)) && k + 1 < text.size() ? 2 : 1;
    } else if (IsAsciiLetter(c) || IsDigit(c) || c == '_' || c == '?') {
      ++k;
    } else {
      break;
    }
  }
  return k;
}

void Find(std::vector<TTemplateFinding>& findings, const char* code, const char* message,
          std::vector<std::string> arguments, std::size_t offset, std::size_t length) {
  findings.push_back(TTemplateFinding{code, message, std::move(arguments), offset, length});
}

// What a %-name may have meant: the categories, the variables and the
// system values, without their "\\" or "%".
std::vector<std::string> Candidates(const TKnownNames& names) {
  std::vector<std::string> out = names.categories;
  out.insert(out.end(), names.variables.begin(), names.variables.end());
  for (const std::string& system : SystemValueNames()) out.push_back(system.substr(1));
  return out;
}

// A system value run together with letters ("%weekday"): the value is
// put in and the letters stay as typed.
void LettersAfterSystemValue(const std::string& text, std::size_t at,
                             std::vector<TTemplateFinding>& findings) {
  static const std::vector<std::string> kNames = SystemValueNames();
  std::size_t length = 0;
  for (const std::string& name : kNames) {
    if (text.compare(at, name.size(), name) == 0) length = std::max(length, name.size());
  }
  const std::size_t letters = at + length;
  if (length == 0 || letters >= text.size() || !IsAsciiLetter(text[letters])) return;
  std::size_t end = letters;
  while (end < text.size() && (IsAsciiLetter(text[end]) || IsDigit(text[end]))) ++end;
  Find(findings, "T011",
       "%{1} is read as {2} followed by \"{3}\", which stays in the talk as written; did you "
       "mean {2}?",
       {text.substr(at + 1, end - at - 1), text.substr(at, length),
        text.substr(letters, end - letters)},
       at, end - at);
}

// The "%" at `at`, which is no formula; gives the position to go on from.
std::size_t CheckName(const std::string& text, std::size_t at, TTemplateKind kind,
                      const TKnownNames& names, std::vector<TTemplateFinding>& findings) {
  const std::string category = CategoryTagAt(text, static_cast<int>(at) + 1);
  const std::size_t system = SystemLength(text, at, kind);
  const std::size_t variable = VariableLength(text, at, names);
  if (!category.empty()) {
    const std::size_t tag = category.size();
    const std::size_t hidden = std::max(system, variable);
    if (system >= tag || variable > tag) {
      Find(findings, "T004",
           system >= variable
               ? "the category {1} hides the system value {2}: the tag takes a word of {1} and "
                 "\"{3}\" follows it"
               : "the category {1} hides the variable {2}: the tag takes a word of {1} and "
                 "\"{3}\" follows it",
           {category, text.substr(at, hidden), text.substr(at + tag, hidden - tag)}, at, hidden);
    }
    return at + tag;
  }
  if (variable > 0 || names.any) return at + 1;
  if (system > 0) {
    LettersAfterSystemValue(text, at, findings);
    return at + 1;
  }
  if (at + 1 >= text.size() || !IsNameStart(text[at + 1])) return at + 1;
  bool bracket = false;
  const std::size_t end = NameEnd(text, at + 1, bracket);
  const std::string name = text.substr(at + 1, end - at - 1);
  const std::string near = NearestName(name, bracket ? names.categories : Candidates(names));
  if (bracket) {
    if (near.empty()) {
      Find(findings, "T001", "%{1} names no category \\{1}: it stays in the talk as written",
           {name}, at, end - at);
    } else {
      Find(findings, "T001",
           "%{1} names no category \\{1}: it stays in the talk as written; did you mean %{2}?",
           {name, near}, at, end - at);
    }
  } else if (near.empty()) {
    Find(findings, "T003",
         "%{1} is no category, variable or system value: it stays in the talk as written", {name},
         at, end - at);
  } else {
    Find(findings, "T003",
         "%{1} is no category, variable or system value: it stays in the talk as written; did "
         "you mean %{2}?",
         {name, near}, at, end - at);
  }
  return at + 1;
}

// Operators of other languages that this one spells otherwise.
struct TForeignOperator {
  const char* text;
  const char* message;
};

const TForeignOperator kForeignOperators[] = {
    {"==", "\"==\" is no operator of formulas: equality is a single \"=\""},
    {"!=", "\"!=\" is no operator of formulas: \"not equal\" is \"<>\""},
    {"&&", "\"&&\" is no operator of formulas: \"and\" is a single \"&\""},
    {"||", "\"||\" is no operator of formulas: \"or\" is a single \"|\""},
};

// The operators of one formula outside quotes (the "%(...)" forms inside
// it are checked on their own), and its assignments to a name that is
// one slip away from a built-in function's.
void CheckFormula(const std::string& formula, std::size_t base,
                  std::vector<TTemplateFinding>& findings) {
  bool quoted = false;
  for (std::size_t i = 0; i < formula.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(formula[i]);
    if (b == '"') {
      quoted = !quoted;
    } else if (IsModeLeadByte(b)) {
      ++i;
    } else if (!quoted && b == '%' && i + 1 < formula.size() && formula[i + 1] == '(') {
      const std::size_t close = MatchingClose(formula, i + 1);
      if (close != kNone) i = close;
    } else if (!quoted) {
      for (const TForeignOperator& op : kForeignOperators) {
        if (formula.compare(i, 2, op.text) != 0) continue;
        Find(findings, "F001", op.message, {}, base + i, 2);
        ++i;
        break;
      }
    }
  }
  static const std::vector<std::string> kBuiltins = BuiltinFunctionNames();
  for (const TAssignment& a : Assignments(formula)) {
    if (a.name.size() < 3 || a.name.compare(0, 2, "\\_") != 0) continue;
    const std::string name = a.name.substr(1);
    if (std::find(kBuiltins.begin(), kBuiltins.end(), name) != kBuiltins.end()) continue;
    const std::string near = NearestName(name, kBuiltins);
    if (near.empty()) continue;
    Find(findings, "F002",
         "\\{1} is no built-in function: the formula only sets a variable of that name; did "
         "you mean {2}?",
         {name, near}, base + a.offset, a.name.size());
  }
}

// The "%" forms of a template, in the expansion's order.
void CheckPercents(const std::string& text, TTemplateKind kind, const TKnownNames& names,
                   std::vector<TTemplateFinding>& findings) {
  std::size_t resume = 0;
  for (const std::size_t at : PercentPositions(text)) {
    if (at < resume) continue;
    if (at + 1 < text.size() && text[at + 1] == '(') {
      const std::size_t close = MatchingClose(text, at + 1);
      if (close == kNone) {
        Find(findings, "T002",
             "\"%(\" without its \")\": the two bytes are dropped and the rest stays in the talk "
             "as written",
             {}, at, 2);
        resume = at + 2;
        continue;
      }
      const std::string inner = text.substr(at + 2, close - at - 2);
      std::vector<TTemplateFinding> found;
      CheckFormula(inner, 0, found);
      CheckPercents(inner, kind, names, found);
      for (TTemplateFinding& finding : found) {
        finding.offset += at + 2;
        findings.push_back(std::move(finding));
      }
      resume = close + 1;
      continue;
    }
    resume = CheckName(text, at, kind, names, findings);
  }
}

}  // namespace

void AddKnownName(TKnownNames& names, const std::string& name, bool prefix) {
  if (prefix) {
    names.prefixes.push_back(name);
  } else {
    names.variables.insert(name);
  }
}

void FinishKnownNames(TKnownNames& names) {
  names.lengths.clear();
  for (const std::string& name : names.variables) names.lengths.push_back(name.size());
  std::sort(names.lengths.begin(), names.lengths.end(), std::greater<>());
  names.lengths.erase(std::unique(names.lengths.begin(), names.lengths.end()),
                      names.lengths.end());
}

void CollectAssignments(const std::string& text, bool whole_formula, TKnownNames& names,
                        std::vector<TRegistration>& registrations) {
  if (text.find(kAssign) == kNone) return;
  if (whole_formula) CollectFormula(text, names, registrations);
  ForEachFormula(text, [&](const std::string& inner) {
    CollectFormula(inner, names, registrations);
  });
}

void CheckTemplate(const std::string& text, TTemplateKind kind, const TKnownNames& names,
                   std::vector<TTemplateFinding>& findings) {
  if (kind == TTemplateKind::Condition) CheckFormula(text, 0, findings);
  CheckPercents(text, kind, names, findings);
}

// The distance of two names when letters are typed wrong, added, left out
// or swapped with their neighbour (each slip counts one).
std::size_t SlipDistance(const std::string& a, const std::string& b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[a.size()][b.size()];
}

std::string NearestName(const std::string& name, const std::vector<std::string>& candidates) {
  const std::size_t reach = name.size() <= 4 ? 1 : 2;
  std::string nearest;
  std::size_t best = reach + 1;
  for (const std::string& candidate : candidates) {
    if (candidate == name || candidate.size() + reach < name.size() ||
        name.size() + reach < candidate.size()) {
      continue;
    }
    const std::size_t distance = SlipDistance(name, candidate);
    if (distance < best) {
      best = distance;
      nearest = candidate;
    }
  }
  return nearest;
}

bool IsConstantFormula(const std::string& formula) {
  if (formula.find('%') != kNone || formula.find(kAssign) != kNone) return false;
  static const std::string kSeparators = " \t;?:|&<>=+-*/()";
  bool quoted = false;
  std::string word;
  const auto word_ok = [&word]() {
    const bool ok = word.empty() || IsWholeInteger(word);
    word.clear();
    return ok;
  };
  for (const char c : formula) {
    if (c == '"') {
      if (!quoted && !word_ok()) return false;
      quoted = !quoted;
    } else if (quoted) {
      continue;
    } else if (kSeparators.find(c) != kNone) {
      if (!word_ok()) return false;
    } else {
      word += c;
    }
  }
  return word_ok();
}
