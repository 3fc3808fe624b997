// Dictionary macros and the NSDeclare extensions of the dictionary format:
// the macro table of one parser run and its rewriting of later lines,
// indented continuation lines, tag word lists and joined "sites" strings.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Empties the macro table (the start of and the end of every parser run).
void ClearMacros();
// Adds a definition: `pattern` with the placeholders "%0" and "%1", `body`
// what a match becomes.
void DefineMacro(const std::string& pattern, const std::string& body);
// Every definition applied to `text` itself in definition order: a reused
// buffer keeps its room. The caller may know that no non-empty prefix
// begins in the text's first `quiet` bytes: they are not looked at then.
void ExpandMacrosInPlace(std::string& text, std::size_t quiet = 0);
// The same, on a text of its own.
std::string ExpandMacros(std::string text);
// The same, testing each definition in turn: what ExpandMacros must equal.
std::string ExpandMacrosStepwise(const std::string& text);

// The indented lines following the cursor, trimmed and joined.
std::string AppendIndented(int& cursor, const std::string& text);
// Registers a tag key's words; answers whether the key was a tag key.
bool TagWordList(std::string_view key, std::string_view rest);
// Joins the "\id" lines of one "sites" identifier into one value.
std::string JoinSites(const std::string& id, const std::string& first, int& cursor,
                      const std::string& text);
