// The translation module's core: the enciphered table files, the two
// replacement tables, the table pass over a script and the "&" random forms.
// Everything lives in namespace makoto so that the core never clashes with
// another library linked into the same program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace makoto {

// ---- Table file lines -----------------------------------------------------

// Line key K(n) = ((((n * 40503) mod 2^32)^2 mod 2^32) * 2246822519 mod 2^32)
// AND 0x3FFFFFF, all in unsigned 32-bit arithmetic.
constexpr uint32_t kLineKeyFirstFactor = 40503u;
constexpr uint32_t kLineKeySecondFactor = 2246822519u;
constexpr uint32_t kLineKeyMask = 0x3FFFFFFu;

// A table file line holds at most this many characters before its break;
// longer lines are read in pieces of kMaxTableLine + 1 characters.
constexpr std::size_t kMaxTableLine = 998;
// The longest plain line whose enciphered form fits one table file line.
constexpr std::size_t kMaxPlainLine = kMaxTableLine / 5 * 4;

uint32_t LineKey(uint32_t line_number);

// Deciphers line number `line_number` in place: groups of five characters
// become four plain bytes each; the plain line ends at its first zero byte.
void DecodeLine(std::string& line, uint32_t line_number);

// The enciphered form of `plain` as line number `line_number`: printable
// ASCII only, five characters per four plain bytes. `plain` must not hold a
// zero byte (deciphering stops there).
std::string EncodeLine(std::string_view plain, uint32_t line_number);

// Splits a table file's bytes into its lines as the loader reads them:
// CR LF is one break, a line is read in pieces of at most 999 characters,
// the last character of every piece is dropped. Element i is line i + 1;
// a piece of at most one character is counted but comes back as `skipped`.
struct TableLine {
  std::string Text;
  bool Skipped = false;
};
std::vector<TableLine> SplitTableLines(std::string_view file_bytes);

// Splits a plain line at its first ",". False when there is no "," or the
// source text is empty (such an entry could never advance the scan).
bool SplitTableEntry(std::string_view plain, std::string& source,
                     std::string& replacement);

// ---- Tables and the table pass --------------------------------------------

struct TableEntry {
  std::string Source;
  std::string Replacement;
};

constexpr const char* kTableFileNames[2] = {"makoto0.nft", "makoto1.nft"};

// Empties both tables (library attach, unload, tests).
void ResetTables();

// Fills table 0 from directory + "makoto0.nft" and table 1 from
// directory + "makoto1.nft"; a missing or unreadable file gives an empty
// table. Returns the number of entries loaded into both.
int LoadTables(const std::string& directory);

// Fills one table from a table file's bytes; returns its entry count.
int LoadTableFromBytes(int table, std::string_view file_bytes);

// The entries of table 0 or 1, in file order.
const std::vector<TableEntry>& TableEntries(int table);

// First pass: replaces source texts by replacement texts, table 0 before
// any "\u" and after each "\h", table 1 after "\u". At each position the
// earliest entry in file order whose source stands there wins; replacement
// text is never scanned again.
std::string ReplaceFromTables(const std::string& script);

// ---- Random forms ---------------------------------------------------------

constexpr int kRandomMax = 32767;

// The C library generator, scaled to 0..kRandomMax whatever RAND_MAX is.
void SeedRandom(unsigned seed);
int DrawRandom();
// Seeds from the current time and draws one number (as `load` does).
void SeedRandomFromTime();

// Appends the output of one form to `out`: `kind` is 'r', 's' or 't',
// `inner` the text between "(" and ")", `r` the drawn number 0..kRandomMax.
void AppendForm(std::string& out, char kind, std::string_view inner, int r);

// Second pass: expands every "&r(lo,hi)", "&s(a,b,...)" and "&t(text,n)"
// from left to right, one draw per form; output is never scanned again. An
// unclosed form, and any other "&", is copied as an ordinary byte.
std::string ExpandAmpersandForms(const std::string& text);

// Both passes: the script handed back to the host.
std::string TranslateScript(const std::string& script);

}  // namespace makoto
