// Static checks of templates (talk, strings, status entries and
// conditions), without expanding anything: every "%" the expansion would
// meet is matched against the categories the parser registered, the
// variables the formulas assign, the system values and the %rand, %m? and
// %ghostname forms, in the expansion's own order.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_set>
#include <vector>

// What a template may name besides categories and system values.
struct TKnownNames {
  std::unordered_set<std::string> variables;  // assigned names, without the backslash
  std::vector<std::size_t> lengths;           // their distinct lengths, longest first
  std::vector<std::string> prefixes;          // names built with a %-form: the part before it
  bool any = false;                           // a name made wholly of a %-form was assigned
  std::vector<std::string> categories;        // registered categories, without the backslash
};

// A word that a formula registers with "_registword", named literally.
struct TRegistration {
  std::string category;  // with its backslash
  std::string word;
};

// The variables the formulas of `text` assign ("\name := ..." in every
// "%(...)" form; with `whole_formula`, the whole text is a formula too, as
// a condition is) and the words they register.
void CollectAssignments(const std::string& text, bool whole_formula, TKnownNames& names,
                        std::vector<TRegistration>& registrations);
// Adds a variable name (without the backslash) that the module itself sets.
void AddKnownName(TKnownNames& names, const std::string& name, bool prefix);
// Sorts the lengths once every name is in.
void FinishKnownNames(TKnownNames& names);

enum class TTemplateKind { Talk, Hello, Condition };

// One place of a template the checker finds wrong.
struct TTemplateFinding {
  const char* code;
  const char* message;                 // message id; its arguments follow
  std::vector<std::string> arguments;  // dictionary bytes
  std::size_t offset = 0;              // in the template
  std::size_t length = 0;
};

// Checks every "%" of the template (the current charset setting decides,
// as in the expansion, which "%" is the second byte of a character), and
// every formula in it (the whole of a condition): operators the language
// does not have, assignments to a near miss of a built-in's name.
void CheckTemplate(const std::string& text, TTemplateKind kind, const TKnownNames& names,
                   std::vector<TTemplateFinding>& findings);

// The candidate closest to `name` within a small edit distance (letters
// swapped, one or two typed wrong, added or left out), or empty.
std::string NearestName(const std::string& name, const std::vector<std::string>& candidates);

// True when the condition's value cannot depend on anything: no "%", no
// ":=", and every word in it outside double quotes a number.
bool IsConstantFormula(const std::string& formula);
