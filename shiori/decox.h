// The dictionary list file and sealed (".xdi") dictionaries.
#pragma once

#include <string>

// The list file in the module directory.
constexpr char kListFileName[] = "tamune.ini";

// The header line that marks a plain dictionary for sealing (Shift_JIS bytes).
extern const std::string kSealHeader;

// One line's digit line: the line's bytes and the filler byte as one
// little-endian number, in base 95 least significant digit first, each digit
// plus 32, then LF.
std::string DigitLine(const std::string& line, unsigned char filler);

// Seven bits of every character, most significant bit first, cut into bytes;
// the last byte is filled with zero bits.
std::string PackSevenBit(const std::string& chars);

// The 7-bit characters of a packed stream; a character is taken only while
// the byte after the one it starts in exists.
std::string UnpackSevenBit(const std::string& data);

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
