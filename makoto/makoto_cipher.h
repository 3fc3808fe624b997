// Table file lines: the line key, deciphering and enciphering of one line,
// the line reader's rules and the split of a plain line into an entry.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "makoto_limits.h"

namespace makoto {

// Line key K(n) = ((((n * 40503) mod 2^32)^2 mod 2^32) * 2246822519 mod 2^32)
// AND 0x3FFFFFF, all in unsigned 32-bit arithmetic.
constexpr uint32_t kLineKeyFirstFactor = 40503u;
constexpr uint32_t kLineKeySecondFactor = 2246822519u;
constexpr uint32_t kLineKeyMask = 0x3FFFFFFu;

uint32_t LineKey(uint32_t line_number);

// Deciphers line number `line_number` in place: groups of five characters
// become four plain bytes each; the plain line ends at its first zero byte.
void DecodeLine(std::string& line, uint32_t line_number);

// The enciphered form of `plain` as line number `line_number`: printable
// ASCII only, five characters per four plain bytes. `plain` must not hold a
// zero byte (deciphering stops there).
std::string EncodeLine(std::string_view plain, uint32_t line_number);

// Splits a table file's bytes into its lines as the loader reads them:
// CR LF is one break, a line is read in pieces of at most kMaxTableLine + 1
// characters, the last character of every piece is dropped. Element i is
// line i + 1; a piece of at most one character is counted but comes back as
// `Skipped`. (A record of the table file format: its field names are those
// of the format, as with the conversation module's records.)
struct TableLine {
  std::string Text;
  bool Skipped = false;
};
std::vector<TableLine> SplitTableLines(std::string_view file_bytes);

// Splits a plain line at its first ",". False when there is no "," or the
// source text is empty (such an entry could never advance the scan).
bool SplitTableEntry(std::string_view plain, std::string& source,
                     std::string& replacement);

}  // namespace makoto
