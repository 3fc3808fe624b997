// Evaluations remembered by their text, each with the references and the
// incoming sentence of its evaluation (what the evaluator's bare-word rule
// reads). A formula holding ":=" may assign and is always evaluated.
#include "formula_memo.h"

#include <unordered_map>

#include "UTypes.h"
#include "formula.h"
#include "formula_vars.h"

namespace {

struct TRemembered {
  std::string value;
  std::string sentence;
  TReferences references;
};

// Formulas of one ghost repeat; past this many texts the memo starts over.
constexpr std::size_t kMostRemembered = 4096;
// Longer formulas are evaluated every time: remembering them costs memory
// that their rarity does not repay.
constexpr std::size_t kLongestRemembered = 256;

std::unordered_map<std::string, TRemembered> g_remembered;

bool SameContext(const TRemembered& r) {
  if (r.sentence != CurrentTalk.IncomingSentence) return false;
  for (int i = 0; i < kReferenceCount; ++i) {
    if (r.references[i] != CurrentTalk.References[i]) return false;
  }
  return true;
}

}  // namespace

std::string EvaluateRemembered(const std::string& formula) {
  if (formula.size() > kLongestRemembered || formula.find(":=") != std::string::npos) {
    return Evaluate(formula);
  }
  auto it = g_remembered.find(formula);
  if (it != g_remembered.end() && SameContext(it->second)) return it->second.value;
  std::string value = Evaluate(formula);
  if (it == g_remembered.end()) {
    if (g_remembered.size() >= kMostRemembered) g_remembered.clear();
    it = g_remembered.try_emplace(formula).first;
  }
  it->second = TRemembered{value, CurrentTalk.IncomingSentence, CurrentTalk.References};
  return value;
}

void ResetFormulaMemo() { std::unordered_map<std::string, TRemembered>().swap(g_remembered); }
