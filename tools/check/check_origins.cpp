// The origin map: segments of the joined text with their line starts, the
// charset switches, and the lines of the list file.
#include "check_origins.h"

#include <algorithm>

#include "charset/iconv_charset.h"

namespace {

constexpr char kStartCharset[] = "Shift_JIS";

bool IsShiftJisLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// The line, 1-based, that a position of a text with these line starts lies in.
int LineOf(const std::vector<int>& starts, int position) {
  const auto after = std::upper_bound(starts.begin(), starts.end(), position);
  return static_cast<int>(after - starts.begin());
}

}  // namespace

std::vector<int> LineStarts(const std::string& text, int base) {
  std::vector<int> starts{base};
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    if (text[i] == '\r' || text[i] == '\n') starts.push_back(base + static_cast<int>(i) + 1);
  }
  return starts;
}

void AddSegment(TOriginMap& map, TSegment segment) {
  const int start = segment.start;
  const int size = segment.end - segment.start;
  if (start >= 1 && size >= 0 && static_cast<size_t>(start - 1 + size) <= map.joined.size()) {
    segment.line_starts = LineStarts(map.joined.substr(start - 1, size), start);
  } else {
    segment.line_starts = {start};
  }
  map.segments.push_back(std::move(segment));
}

void SetListText(TOriginMap& map, const std::string& list) {
  map.list = list;
  map.list_line_starts = LineStarts(list, 1);
}

const TSegment* SegmentAt(const TOriginMap& map, int position) {
  const auto after = std::upper_bound(
      map.segments.begin(), map.segments.end(), position,
      [](int p, const TSegment& segment) { return p < segment.start; });
  if (after == map.segments.begin()) return nullptr;
  const TSegment& segment = *(after - 1);
  return position < segment.end ? &segment : nullptr;
}

std::string CharsetAt(const TOriginMap& map, int position) {
  const TSegment* segment = SegmentAt(map, position);
  if (segment != nullptr && !segment->own_charset.empty()) return segment->own_charset;
  std::string charset = kStartCharset;
  for (const TCharsetSwitch& change : map.charsets) {
    if (change.position >= position) break;
    charset = change.name;
  }
  return charset;
}

int CharacterCount(const std::string& bytes, const std::string& charset) {
  const std::string iconv_name = IconvCharsetName(charset);
  int count = 0;
  if (iconv_name == "CP932") {
    for (size_t i = 0; i < bytes.size(); ++i, ++count) {
      if (IsShiftJisLead(static_cast<unsigned char>(bytes[i])) && i + 1 < bytes.size()) ++i;
    }
    return count;
  }
  const bool utf8 = iconv_name == "UTF-8" || iconv_name == "utf-8" || iconv_name == "UTF8";
  const std::string text = utf8 || !KnownCharset(charset) ? bytes : ToUtf8(bytes, charset);
  if (!utf8 && !KnownCharset(charset)) return static_cast<int>(bytes.size());
  for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

TOrigin OriginOf(const TOriginMap& map, int position) {
  const TSegment* segment = SegmentAt(map, position);
  if (segment == nullptr) return TOrigin{};
  const int line = LineOf(segment->line_starts, position);
  const int line_start = segment->line_starts[static_cast<size_t>(line - 1)];
  const std::string before = map.joined.substr(line_start - 1, position - line_start);
  return TOrigin{segment->file, line, CharacterCount(before, CharsetAt(map, position)) + 1};
}

TOrigin ListOrigin(const TOriginMap& map, int list_offset) {
  if (map.list_line_starts.empty()) return TOrigin{"tamune.ini", 1, 1};
  return TOrigin{"tamune.ini", std::max(1, LineOf(map.list_line_starts, list_offset)), 1};
}
