// Words and categories: registration into WordTable, WordIndex,
// CategoryIndex and CategoryList, the word and category lookups, the two
// random word choosers with their cool-down rules, and the category tags
// that find the category named at a "%".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "nsdic_index.h"

// Registers `word` in `category`; its record (the known one when the pair is
// registered already), or 0 when the store or the word's chain is full.
int RegisterWord(std::string_view category, std::string_view word);
// Puts a category into CategoryList (longest first, latest first among
// equals) unless it is there or the list is full.
void AddCategory(const std::string& category);
// The category whose tag (its name with the first byte replaced by "%")
// stands at the 1-based `position`: the first such name in CategoryList order
// (longest first, latest first among equals), or "" when none does.
std::string CategoryTagAt(const std::string& text, int position);
// A category as its tag names it, with what a draw of its words needs, found
// once per tag so the draw does not look the name up again.
struct TCategoryTag {
  std::string name;  // the category
  std::string tag;   // the name with "%" for its first byte
  // RememberedMembers of the name, valid while `generation` equals the
  // store's count of changes to the categories' members.
  mutable TMemberView members;
  mutable uint64_t generation = UINT64_MAX;
};
// The category tag CategoryTagAt would answer, or null. The record stays
// valid until the next category is added or the tags are reset.
const TCategoryTag* CategoryTagRecordAt(const std::string& text, int position);
// Changes with every change of what CategoryTagAt answers (tags added, reset).
uint64_t CategoryTagGeneration();
// Forgets every category tag.
void ResetCategoryTags();
// The record of the first stored registration of the word, or 0.
int FindWord(const std::string& text);
// FindWord over a byte range.
int FindWordBytes(std::string_view text);
// The category of FindWord's record, or "".
std::string CategoryOfWord(const std::string& text);
// The number of the category's words for k = 0, else its k-th record or 0.
int CategoryMember(const std::string& category, int k);
// A word of the category, drawn under the cool-down rule; "" for none.
std::string RandomWordOfCategory(const std::string& category);
// The word record RandomWordOfCategory of the tag's category draws, or 0
// (whose text is empty) for none.
int RandomRecordOfTag(const TCategoryTag& tag);
// A word whose category begins with `prefix`, drawn under the cool-down rule.
std::string RandomWordByPrefix(const std::string& prefix);
