// The answers of the language features, as protocol JSON: diagnostics,
// hover, definition, references, completion and document symbols.
#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "lsp_ghost.h"

// The checker's findings as "Diagnostic" arrays, for every file of the
// ghost (an empty array for a file without findings), by URI.
std::map<std::string, nlohmann::json> DiagnosticsByUri(const TGhost& ghost);

// A protocol Position ({line, character in UTF-16}) as a line and a byte
// of that line's UTF-8 text.
void PositionToByte(const TGhostFile& file, const nlohmann::json& position, int& line,
                    size_t& byte);

nlohmann::json Hover(const TGhost& ghost, const TGhostFile& file, int line, size_t byte);
nlohmann::json Definition(const TGhost& ghost, const TGhostFile& file, int line, size_t byte);
nlohmann::json References(const TGhost& ghost, const TGhostFile& file, int line, size_t byte,
                          bool with_declaration);
nlohmann::json Completion(const TGhost& ghost, const TGhostFile& file, int line, size_t byte);
nlohmann::json DocumentSymbols(const TGhost& ghost, const TGhostFile& file);
