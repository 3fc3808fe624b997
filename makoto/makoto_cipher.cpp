// Table file lines: the line key, deciphering and enciphering of one line,
// the line reader's rules and the split of a plain line into an entry.
#include "makoto_cipher.h"

namespace makoto {
namespace {

constexpr uint32_t kDigitBase = 95;
constexpr unsigned char kFirstDigitChar = 0x20;
constexpr std::size_t kGroupChars = 5;
constexpr std::size_t kGroupBytes = 4;

// A character's digit: its byte value as a signed 8-bit number, minus 32.
// Taken modulo 2^32 so that any byte at all gives a defined value.
uint32_t DigitOf(unsigned char c) {
  const int32_t digit = static_cast<int32_t>(static_cast<int8_t>(c)) - 32;
  return static_cast<uint32_t>(digit);
}

// The value of five characters, first character least significant.
uint32_t GroupValue(const unsigned char* group) {
  uint32_t value = 0;
  uint32_t weight = 1;
  for (std::size_t j = 0; j < kGroupChars; ++j) {
    value += DigitOf(group[j]) * weight;
    weight *= kDigitBase;
  }
  return value;
}

// Four plain bytes (zero beyond the end of `plain`), least significant first.
uint32_t PlainWord(std::string_view plain, std::size_t offset) {
  uint32_t word = 0;
  for (std::size_t j = 0; j < kGroupBytes; ++j) {
    if (offset + j < plain.size()) {
      word |= static_cast<uint32_t>(static_cast<unsigned char>(plain[offset + j])) << (8 * j);
    }
  }
  return word;
}

}  // namespace

uint32_t LineKey(uint32_t line_number) {
  const uint32_t first = line_number * kLineKeyFirstFactor;
  const uint32_t squared = first * first;
  return (squared * kLineKeySecondFactor) & kLineKeyMask;
}

void DecodeLine(std::string& line, uint32_t line_number) {
  const uint32_t key = LineKey(line_number);
  const std::size_t groups = (line.size() + kGroupChars - 1) / kGroupChars;
  // Zeroed work area: a short last group reads zero bytes as its padding.
  std::string work(groups * kGroupChars + 1, '\0');
  work.replace(0, line.size(), line);
  std::string plain(groups * kGroupBytes, '\0');
  for (std::size_t i = 0; i < groups; ++i) {
    const auto* group = reinterpret_cast<const unsigned char*>(work.data()) + i * kGroupChars;
    const uint32_t word = GroupValue(group) - (key + static_cast<uint32_t>(i));
    for (std::size_t j = 0; j < kGroupBytes; ++j) {
      plain[i * kGroupBytes + j] = static_cast<char>((word >> (8 * j)) & 0xFF);
    }
  }
  const std::size_t end = plain.find('\0');
  if (end != std::string::npos) plain.resize(end);
  line.swap(plain);
}

std::string EncodeLine(std::string_view plain, uint32_t line_number) {
  const uint32_t key = LineKey(line_number);
  const std::size_t groups = (plain.size() + kGroupBytes - 1) / kGroupBytes;
  std::string line;
  line.reserve(groups * kGroupChars);
  for (std::size_t i = 0; i < groups; ++i) {
    // 95^5 exceeds 2^32, so five base-95 digits express any 32-bit value.
    uint32_t value = PlainWord(plain, i * kGroupBytes) + key + static_cast<uint32_t>(i);
    for (std::size_t j = 0; j < kGroupChars; ++j) {
      line.push_back(static_cast<char>(kFirstDigitChar + value % kDigitBase));
      value /= kDigitBase;
    }
  }
  return line;
}

std::vector<TableLine> SplitTableLines(std::string_view bytes) {
  std::vector<TableLine> lines;
  std::string piece;
  auto finish_piece = [&]() {
    TableLine line;
    line.Skipped = piece.size() <= 1;
    if (!line.Skipped) line.Text.assign(piece, 0, piece.size() - 1);
    lines.push_back(std::move(line));
    piece.clear();
  };
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    char c = bytes[i];
    // Text mode: a CR LF pair reads as one LF.
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') c = bytes[++i];
    piece.push_back(c);
    if (c == '\n' || piece.size() == kMaxTableLine + 1) finish_piece();
  }
  if (!piece.empty()) finish_piece();
  return lines;
}

bool SplitTableEntry(std::string_view plain, std::string& source, std::string& replacement) {
  const std::size_t comma = plain.find(',');
  if (comma == std::string_view::npos || comma == 0) return false;
  source.assign(plain.substr(0, comma));
  replacement.assign(plain.substr(comma + 1));
  return true;
}

}  // namespace makoto
