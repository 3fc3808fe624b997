// The origin map: each position of the joined dictionary text back to the
// dictionary file it came from (a sealed one by its ".xdi" name) with its
// line and column, and each line of the list file by its offset.
#pragma once

#include <string>
#include <vector>

struct TOrigin {
  std::string file;  // relative to the ghost folder; empty: no file
  int line = 0;      // 1-based; a line ends at CR LF, at a lone CR or at a lone LF
  int column = 0;    // 1-based, in characters of the charset in effect there
};

// One dictionary's text in the joined text: positions start..end - 1.
struct TSegment {
  std::string file;       // the file read
  std::string listed;     // the name as the list gives it
  int list_offset = 0;    // the list line that names it
  int start = 0;
  int end = 0;
  std::vector<int> line_starts;  // positions where its lines begin
  std::string own_charset;       // the charset its bytes are in when it is not the one the
                                 // parser had (a UTF-8 file read as Shift_JIS); empty: that one
};

// The charset the parser switched to at a position.
struct TCharsetSwitch {
  int position = 0;
  std::string name;
};

struct TOriginMap {
  std::string joined;                    // the joined text the parser read
  std::string list;                      // the list file's bytes
  std::vector<int> list_line_starts;     // 1-based offsets where its lines begin
  std::vector<TSegment> segments;        // in the order of the joined text
  std::vector<TCharsetSwitch> charsets;  // in the order of the joined text
};

// Adds a dictionary's segment; segments arrive in the order of the text.
void AddSegment(TOriginMap& map, TSegment segment);
// Takes the list file's bytes.
void SetListText(TOriginMap& map, const std::string& list);

// The segment that holds `position`, or nullptr (a separator, past the end).
const TSegment* SegmentAt(const TOriginMap& map, int position);
// The charset the parser had switched to before `position` ("Shift_JIS"
// at the start), or the file's own charset where it has one: columns and
// texts shown follow the file's bytes.
std::string CharsetAt(const TOriginMap& map, int position);
// File, line and column of a position of the joined text (an empty file
// for a position outside every dictionary).
TOrigin OriginOf(const TOriginMap& map, int position);
// The list file's line at a 1-based offset, column 1.
TOrigin ListOrigin(const TOriginMap& map, int list_offset);

// The number of characters in `bytes` under `charset` (a double-byte
// character of Shift_JIS, a UTF-8 sequence count one; other charsets count
// bytes).
int CharacterCount(const std::string& bytes, const std::string& charset);

// 1-based positions where the lines of `text` begin, counting from `base`.
std::vector<int> LineStarts(const std::string& text, int base);
