// The language server's own units: charset conversion with bytes that do
// not convert, UTF-16 positions around characters outside the BMP, the
// message framing, file URIs and the ghost folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "lsp_charset.h"
#include "lsp_documents.h"
#include "lsp_rpc.h"
#include "scratch_dir.h"

TEST(LspCharset, ShiftJisConvertsBothWaysAndKeepsCharacterCounts) {
  EXPECT_EQ(DecodeText("\\e,\x82\xA0", "Shift_JIS"), "\\e,あ");
  // 0xFF is one bad character, the lead byte 0x81 takes the blank as its trail.
  EXPECT_EQ(DecodeText("\x82\xA0\xFF\x81 %x", "Shift_JIS"), "あ\uFFFD\uFFFD%x");
  std::string bytes;
  EXPECT_TRUE(EncodeText("\\お菓子", "Shift_JIS", bytes));
  EXPECT_EQ(bytes, "\\\x82\xA8\x89\xD9\x8E\x71");
  EXPECT_FALSE(EncodeText("a🎵한b", "Shift_JIS", bytes));
  EXPECT_EQ(bytes, "a??b");
  EXPECT_TRUE(EncodeText("あ", "UTF-8", bytes));
  EXPECT_EQ(bytes, "あ");
  EXPECT_EQ(DeclaredCharset("\\e,x\r\n Option , Charset: UTF-8 \r\n"), "UTF-8");
  EXPECT_EQ(DeclaredCharset("Option,Charset:\r\nOption,NSDeclare True"), "");
}

TEST(LspCharset, EachLineInTheCharsetOfItsRun) {
  const TCharsetRuns runs{{0, "Shift_JIS"}, {2, "UTF-8"}};
  const std::string text = "あ\rOption,Charset: UTF-8\r\nい\nう";
  const std::string bytes = "\x82\xA0\rOption,Charset: UTF-8\r\nい\nう";
  EXPECT_EQ(EncodeRuns(text, runs), bytes);
  EXPECT_EQ(DecodeRuns(bytes, runs), text);
  EXPECT_EQ(EncodeRuns("", runs), "");
}

TEST(LspCharset, Utf16PositionsCountSurrogatePairsAsTwo) {
  const std::string line = "a🎵日b";
  EXPECT_EQ(Utf16Length(line), 5u);
  EXPECT_EQ(Utf16OfColumn(line, 1), 0);
  EXPECT_EQ(Utf16OfColumn(line, 3), 3);
  EXPECT_EQ(Utf16OfColumn(line, 9), 5);
  EXPECT_EQ(ByteOfUtf16(line, 3), 5u);
  EXPECT_EQ(ByteOfUtf16(line, 2), 1u);  // inside the pair: the character's start
  EXPECT_EQ(ByteOfUtf16(line, 99), line.size());
  EXPECT_EQ(Utf16OfByte(line, 8), 4);
}

TEST(LspRpc, FramesSurviveSplitsAndBrokenHeaders) {
  int pipe_ends[2];
  ASSERT_EQ(pipe(pipe_ends), 0);
  TMessageReader reader{pipe_ends[0], {}, false};
  const std::string input =
      "Content-Length: x\r\n\r\ncontent-length: 2\r\nX: y\r\n\r\n{}Content-Length: 3\r\n\r\nab";
  ASSERT_EQ(write(pipe_ends[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
  close(pipe_ends[1]);
  EXPECT_EQ(ReadMessage(reader), std::optional<std::string>("{}"));
  EXPECT_EQ(ReadMessage(reader), std::nullopt);  // cut short by the end of the input
  close(pipe_ends[0]);
}

TEST(LspDocuments, UrisLinesAndTheGhostFolder) {
  EXPECT_EQ(UriOfPath("/a b/日.txt"), "file:///a%20b/%E6%97%A5.txt");
  EXPECT_EQ(PathOfUri("file:///a%20b/%E6%97%A5.txt"), "/a b/日.txt");
  EXPECT_EQ(PathOfUri("untitled:1"), "");
  EXPECT_EQ(SplitLines("a\r\nb\rc\nd\r\n"), (std::vector<std::string>{"a", "b", "c", "d", ""}));
  ScratchDir scratch;
  const std::string root = scratch.path();
  std::filesystem::create_directories(root + "ghost/sub");
  std::ofstream(root + "ghost/tamune.ini") << "dic.txt\r\n";
  EXPECT_EQ(GhostFolderOf(root + "ghost/sub/dic.txt"), root + "ghost/");
  EXPECT_EQ(GhostFolderOf(root + "ghost/dic.txt"), root + "ghost/");
  EXPECT_EQ(GhostFolderOf(root + "other.txt"), "");
}
