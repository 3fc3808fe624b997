// makoto-table: writes the translation module's enciphered table files
// ("makoto0.nft", "makoto1.nft") from plain "source,replacement" lines, and
// prints the plain lines of a table file.
#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "makoto.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitBadInput = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: makoto-table encode PLAIN OUT   write the table file OUT from PLAIN\n"
    "       makoto-table decode FILE        print the plain lines of a table file\n"
    "       makoto-table [COMMAND] --help   explain a command\n"
    "The manual's page docs/translation.md explains the tables and the\n"
    "translation module.\n";

const char kEncodeHelp[] =
    "makoto-table encode PLAIN OUT\n"
    "\n"
    "Reads PLAIN, one entry per line: the source text, a comma, the replacement\n"
    "text (which may hold further commas). Lines end with LF or CR LF. Any byte\n"
    "but NUL and LF may appear in a line (a CR only when it is not the last).\n"
    "A line may hold at most 796 bytes; its source text must not be empty. An\n"
    "empty line is kept as an empty table line, so line numbers stay aligned.\n"
    "Writes OUT with line N enciphered with the line key of N, each line ending\n"
    "with CR LF. Nothing is written when any line is rejected.\n";

const char kDecodeHelp[] =
    "makoto-table decode FILE\n"
    "\n"
    "Reads FILE the way the translation module does and prints each line's\n"
    "plain text, one per line (an empty line for a line the module skips).\n"
    "Lines the module ignores (no comma, or an empty source) are reported on\n"
    "standard error.\n";

const char kFormatHelp[] =
    "\n"
    "Table file format\n"
    "  Text lines of at most 998 characters, each ended by a line break (CR LF\n"
    "  or LF); the last line needs its break too. Lines are numbered from 1.\n"
    "  A longer line is read in pieces of 999 characters, each counting as a\n"
    "  line whose last character is dropped. A line of at most one character\n"
    "  is skipped but counted.\n"
    "\n"
    "Enciphered line N\n"
    "  Groups of five characters from 0x20 to 0x7E; a character's digit is its\n"
    "  byte value minus 32. Group i (from 0) with digits d0..d4 has the value\n"
    "  V = d0 + d1*95 + d2*95^2 + d3*95^3 + d4*95^4 (mod 2^32), and the plain\n"
    "  32-bit word V - (K(N) + i) (mod 2^32) gives four bytes, least\n"
    "  significant first. The plain line ends at its first zero byte.\n"
    "\n"
    "Line key, in unsigned 32-bit arithmetic (everything mod 2^32)\n"
    "  K(N) = (((N * 40503)^2) * 2246822519) AND 0x3FFFFFF\n"
    "  that is: multiply N by 40503, square it, multiply by 2246822519,\n"
    "  keep the low 26 bits.\n";

bool ReadFile(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !out.fail();
}

// Lines ended by LF, one CR at the end of each removed; a last line
// without LF still counts.
std::vector<std::string> SplitPlainLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    const std::size_t next = end == std::string::npos ? bytes.size() : end + 1;
    if (end == std::string::npos) end = bytes.size();
    if (end > start && bytes[end - 1] == '\r') --end;
    lines.push_back(bytes.substr(start, end - start));
    start = next;
  }
  return lines;
}

// Why the module could not use this plain line; empty when it can.
std::string PlainLineProblem(const std::string& line) {
  if (line.find('\0') != std::string::npos) return "holds a NUL byte";
  if (line.size() > makoto::kMaxPlainLine) {
    return "is " + std::to_string(line.size()) + " bytes long, at most " +
           std::to_string(makoto::kMaxPlainLine) + " fit a table line";
  }
  if (line.find(',') == std::string::npos) return "has no comma between source and replacement";
  if (line[0] == ',') return "has an empty source text";
  return {};
}

int Fail(const std::string& message) {
  std::cerr << "makoto-table: " << message << '\n';
  return kExitBadInput;
}

int Encode(const std::string& plain_path, const std::string& out_path) {
  std::string bytes;
  if (!ReadFile(plain_path, bytes)) return Fail("cannot read " + plain_path);
  const std::vector<std::string> lines = SplitPlainLines(bytes);
  std::string table;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!lines[i].empty()) {
      const std::string problem = PlainLineProblem(lines[i]);
      if (!problem.empty()) {
        return Fail(plain_path + ":" + std::to_string(i + 1) + ": line " + problem);
      }
      table += makoto::EncodeLine(lines[i], static_cast<uint32_t>(i + 1));
    }
    table += "\r\n";
  }
  if (!WriteFile(out_path, table)) return Fail("cannot write " + out_path);
  return kExitOk;
}

int Decode(const std::string& path) {
  std::string bytes;
  if (!ReadFile(path, bytes)) return Fail("cannot read " + path);
  const std::vector<makoto::TableLine> lines = makoto::SplitTableLines(bytes);
  std::string source;
  std::string replacement;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string plain = lines[i].Text;
    if (!lines[i].Skipped) {
      makoto::DecodeLine(plain, static_cast<uint32_t>(i + 1));
      if (!makoto::SplitTableEntry(plain, source, replacement)) {
        std::cerr << "makoto-table: " << path << ":" << (i + 1)
                  << ": ignored by the module (no comma or empty source)\n";
      }
    }
    std::cout.write(plain.data(), static_cast<std::streamsize>(plain.size()));
    std::cout.put('\n');
  }
  std::cout.flush();
  return std::cout ? kExitOk : Fail("cannot write to standard output");
}

bool WantsHelp(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") return true;
  }
  return false;
}

int Usage(const std::string& problem) {
  std::cerr << "makoto-table: " << problem << '\n' << kUsage;
  return kExitUsage;
}

int Run(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "encode") {
    if (WantsHelp(argc, argv)) return std::cout << kEncodeHelp << kFormatHelp, kExitOk;
    if (argc != 4) return Usage("encode needs PLAIN and OUT");
    return Encode(argv[2], argv[3]);
  }
  if (command == "decode") {
    if (WantsHelp(argc, argv)) return std::cout << kDecodeHelp << kFormatHelp, kExitOk;
    if (argc != 3) return Usage("decode needs FILE");
    return Decode(argv[2]);
  }
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << kUsage << kFormatHelp;
    return kExitOk;
  }
  return Usage(command.empty() ? "no command given" : "unknown command \"" + command + "\"");
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
}
