// The dictionary list file and sealed (".xdi") dictionaries.
#pragma once

#include <string>

// The header line that marks a plain dictionary for sealing (Shift_JIS bytes).
extern const std::string kSealHeader;

// Plain text to the packed sealed stream (one random filler byte per line).
std::string Seal(const std::string& text);

// Packed sealed stream to plain text, every line followed by CR LF.
std::string Unseal(const std::string& data);

// The sealed name of a list entry: cut before its first "." (unless that is
// the first byte), then ".xdi".
std::string SealedName(const std::string& name);

// Reads directory + list_name and every dictionary it lists, sealing marked
// ones on the way; gives the joined text (CR LF before every dictionary).
std::string LoadDictionaries(const std::string& directory, const std::string& list_name);
