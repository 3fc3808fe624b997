// Sealed dictionaries: digit lines, seven-bit packing, Seal and Unseal.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "decox.h"
#include "random.h"

namespace {

// A seed whose first draw gives `filler` as the sealing filler byte.
uint32_t SeedForFiller(int filler) {
  for (uint32_t seed = 0;; ++seed) {
    SetRandomSeed(seed);
    if (Random(95) + 32 == filler) return seed;
  }
}

std::string Bytes(std::initializer_list<unsigned> values) {
  std::string bytes;
  for (const unsigned v : values) bytes += static_cast<char>(v);
  return bytes;
}

// Unseal of one line sealed with a chosen filler byte.
std::string RoundTripLine(const std::string& line, unsigned char filler) {
  return Unseal(PackSevenBit(DigitLine(line, filler)));
}

}  // namespace

TEST(Seal, WorkedExampleByteForByte) {
  const std::string digits = DigitLine("abc", 32);
  EXPECT_EQ(digits, "\x3A\x69\x69\x5F\x26\n");
  const std::string low = Bytes({0x75, 0xA7, 0x4D, 0xF4, 0xC2, 0x80});
  const std::string high = Bytes({0x40, 0x9D, 0x8A, 0x37, 0x42, 0x80});
  EXPECT_EQ(PackSevenBit(digits), low);
  EXPECT_EQ(PackSevenBit(DigitLine("abc", 126)), high);
  EXPECT_EQ(Unseal(low), "abc\r\n");
  EXPECT_EQ(Unseal(high), "abc\r\n");

  // Through Seal, the filler byte drawn from the module's generator.
  SetRandomSeed(SeedForFiller(32));
  EXPECT_EQ(Seal("abc"), low);
  SetRandomSeed(SeedForFiller(126));
  EXPECT_EQ(Seal("abc\r\n"), high);  // nothing follows a final CR LF
}

TEST(Seal, LineSpanningSeveralWordsMatchesReference) {
  // Reference bytes computed independently with arbitrary-precision integers.
  const std::string line = std::string("Hello, world!\0\xFF", 15);
  const std::string digits = DigitLine(line, 77);
  EXPECT_EQ(digits, "UwxNjWUR2pWIuKC]E g\"\n");
  const std::string packed =
      "\xAB\xDF\xC4\xED\x55\xEA\xD2\x65\xC2\xBC\x9E\xB2\xE1\xDD\x8A\x83\x3A\x21\x40";
  EXPECT_EQ(PackSevenBit(digits), packed);
  EXPECT_EQ(Unseal(packed), line + "\r\n");
}

TEST(Seal, EmptyLinesAreTheFillerAlone) {
  for (int filler = 32; filler <= 126; ++filler) {
    const std::string digits = DigitLine("", static_cast<unsigned char>(filler));
    if (filler < 95) {
      EXPECT_EQ(digits, std::string(1, static_cast<char>(filler + 32)) + "\n");
    } else {
      const std::string expected = {static_cast<char>(filler - 95 + 32), '!', '\n'};
      EXPECT_EQ(digits, expected);
    }
    EXPECT_EQ(RoundTripLine("", static_cast<unsigned char>(filler)), "\r\n");
  }
  EXPECT_EQ(Seal(""), "");
  EXPECT_EQ(Unseal(""), "");
  SetRandomSeed(7);
  EXPECT_EQ(Unseal(Seal("\r\n\r\n\r\n")), "\r\n\r\n\r\n");
}

TEST(Seal, EveryByteWithEveryFillerComesBack) {
  for (int byte = 0; byte < 256; ++byte) {
    const std::string line(1, static_cast<char>(byte));
    for (int filler = 32; filler <= 126; ++filler) {
      ASSERT_EQ(RoundTripLine(line, static_cast<unsigned char>(filler)), line + "\r\n")
          << "byte " << byte << " filler " << filler;
    }
  }
  // Below 95 squared the line takes two digits; at it, three.
  EXPECT_EQ(DigitLine("\x40", 35).size(), 3u);
  EXPECT_EQ(DigitLine("\x41", 35).size(), 4u);
  EXPECT_EQ(DigitLine("\xFF", 34).size(), 3u);
}

TEST(Seal, TextsRoundTripWithCrLfAfterEveryLine) {
  std::string all_bytes;
  for (int byte = 0; byte < 256; ++byte) all_bytes += static_cast<char>(byte);
  std::string long_line(10000, '\0');
  for (size_t i = 0; i < long_line.size(); ++i)
    long_line[i] = static_cast<char>((i * 131 + 7) % 256 == 13 ? 'x' : (i * 131 + 7) % 256);

  SetRandomSeed(12345);
  EXPECT_EQ(Unseal(Seal("x")), "x\r\n");
  EXPECT_EQ(Unseal(Seal("one\r\n\r\nthree\nstill three")),
            "one\r\n\r\nthree\nstill three\r\n");
  EXPECT_EQ(Unseal(Seal(all_bytes)), all_bytes + "\r\n");
  EXPECT_EQ(Unseal(Seal(long_line + "\r\nz")), long_line + "\r\nz\r\n");
}

TEST(Seal, FillerBytesDifferButBothUnsealAlike) {
  const std::string text = "first\r\nsecond\r\n\xE0\x80 third";
  SetRandomSeed(1);
  const std::string one = Seal(text);
  const std::string two = Seal(text);
  EXPECT_NE(one, two);
  EXPECT_EQ(Unseal(one), text + "\r\n");
  EXPECT_EQ(Unseal(two), text + "\r\n");
}

TEST(Seal, SevenAndEightCharactersPackIntoSevenBytes) {
  const std::string seven = "\x7F\x01\x55\x2A\x40\x3F\x0A";
  const std::string packed = PackSevenBit(seven);
  ASSERT_EQ(packed.size(), 7u);
  EXPECT_EQ(packed.back() & 0x7F, 0);  // seven zero fill bits
  EXPECT_EQ(UnpackSevenBit(packed), seven);

  const std::string eight = seven + "\x0A";
  const std::string packed8 = PackSevenBit(eight);
  ASSERT_EQ(packed8.size(), 7u);
  EXPECT_EQ(UnpackSevenBit(packed8), seven);  // the final LF is not taken

  // A four-byte line is six digits and LF; a five-byte line with a low filler
  // is seven digits and LF whose LF is left out on unpacking.
  SetRandomSeed(SeedForFiller(100));
  EXPECT_EQ(Seal("abcd").size(), 7u);
  SetRandomSeed(SeedForFiller(32));
  const std::string sealed = Seal("abcde");
  EXPECT_EQ(sealed.size(), 7u);
  EXPECT_EQ(Unseal(sealed), "abcde\r\n");
}

TEST(Seal, UnsealSurvivesAnyBytes) {
  EXPECT_EQ(Unseal("\xFF"), "");  // one byte holds no whole character
  EXPECT_EQ(Unseal(std::string(2, '\0')), "\r\n");
  EXPECT_EQ(UnpackSevenBit(std::string(16, '\xFF')), std::string(18, '\x7F'));

  uint32_t state = 99;
  for (int length = 0; length < 400; ++length) {
    std::string data;
    for (int i = 0; i < length; ++i) {
      state = state * 1103515245u + 12345u;
      data += static_cast<char>(state >> 24);
    }
    const std::string text = Unseal(data);
    if (!text.empty()) {
      ASSERT_EQ(text.substr(text.size() - 2), "\r\n") << "length " << length;
    }
  }
  // One long segment of the largest digit value.
  EXPECT_FALSE(Unseal(std::string(3000, '\xFF')).empty());
}

TEST(Seal, SealedNames) {
  EXPECT_EQ(SealedName("talk.txt"), "talk.xdi");
  EXPECT_EQ(SealedName("talk.old.txt"), "talk.xdi");
  EXPECT_EQ(SealedName("sub/talk.txt"), "sub/talk.xdi");
  EXPECT_EQ(SealedName(".talk"), ".talk.xdi");
  EXPECT_EQ(SealedName("talk"), "talk.xdi");
  EXPECT_EQ(SealedName("talk.xdi"), "talk.xdi");
}
