// Sentence expansion: dictionary templates to talk text, and the entry
// points built on it (talk, word talk, free talk, "\dms", conditions).
#pragma once

#include <string>
#include <string_view>

// The word cache emptied, then ExpandTemplate: one talk.
std::string ExpandTalk(std::string_view template_text);
// ExpandTalk of SentenceTable record `s` (told to the trace hook).
std::string ExpandSentence(int s);
// Every %-form of the template expanded: word tags (through the word cache),
// "%m?", inline "%(...)" formulas and the other %-names.
std::string ExpandTemplate(std::string_view template_text);
// The "%(" form at `position` replaced by its value, or the text unchanged.
std::string ExpandFormulaAt(int position, const std::string& text);
// Every occurrence of `tag` not followed by a digit "2".."9" replaced.
std::string ReplaceUnnumbered(const std::string& text, const std::string& tag,
                              const std::string& word);
// Every byte `from` replaced by `to`.
std::string ReplaceByte(const std::string& text, char from, char to);
// The expansion of "%dms".
std::string ExpandDms();
// The talk attached to a word by "\ft", or "".
std::string TalkOfWord(const std::string& word);
// A free talk drawn under the cool-down rule, expanded; "" when none is taken.
std::string RandomTalk();
// True for an empty condition, else when the expanded condition evaluates to "1".
// A condition without a formula, tag or other %-name takes a short path.
bool CheckCondition(const std::string& condition);
// The same, always expanded and evaluated step by step.
bool CheckConditionStepwise(const std::string& condition);

// The start state: no expansion running, no budget left.
void ResetExpansion();
