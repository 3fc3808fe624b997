// Whole-file access and the dictionary list, on real files in a temporary
// directory.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "decox.h"
#include "fileutl.h"
#include "random.h"
#include "shiori.h"

#include "scratch_dir.h"

namespace {

using Names = std::vector<std::string>;

// Built on first use: kSealHeader lives in another unit, so a global built
// from it could be initialised before it.
std::string Sealable() { return "#comment\r\n" + kSealHeader + "\r\nword\r\n"; }

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty());
    ResetModule();
    SetRandomSeed(42);
  }
  std::string At(const std::string& name) const { return dir_.path() + name; }
  void Put(const std::string& name, const std::string& bytes) const { PutFile(At(name), bytes); }
  std::string Load(const std::string& list) const {
    Put("tamune.ini", list);
    return LoadDictionaries(dir_.path(), "tamune.ini");
  }

  ScratchDir dir_;
};

}  // namespace

TEST_F(FilesTest, BaseDirectoryIsKeptUntilReset) {
  EXPECT_EQ(BaseDirectory(), "");
  SetBaseDirectory(dir_.path());
  EXPECT_EQ(BaseDirectory(), dir_.path());
  ResetModule();
  EXPECT_EQ(BaseDirectory(), "");
}

// The Linux build adds "/"; a final backslash byte counts only when it starts
// a character (0x83 0x5C is one Shift_JIS character, not a separator).
TEST_F(FilesTest, DirectoryGetsItsTrailingSeparator) {
  EXPECT_EQ(WithTrailingSeparator(""), "");
  EXPECT_EQ(WithTrailingSeparator("/ghost"), "/ghost/");
  EXPECT_EQ(WithTrailingSeparator("/ghost/"), "/ghost/");
  EXPECT_EQ(WithTrailingSeparator("C:\\ghost\\"), "C:\\ghost\\");
  EXPECT_EQ(WithTrailingSeparator("/g\x83\\"), "/g\x83\\/");
  EXPECT_EQ(WithTrailingSeparator("/g\x83\\\\"), "/g\x83\\\\");
}

TEST_F(FilesTest, ReadGivesExactBytesOrNothing) {
  const std::string bytes = std::string("a\0b\r\n\n\xFF", 7);
  Put("f.bin", bytes);
  EXPECT_EQ(ReadWholeFile(At("f.bin")), bytes);
  EXPECT_EQ(ReadWholeFile(At("missing")), "");
  EXPECT_EQ(ReadWholeFile(dir_.path()), "");  // a directory reads as nothing
  const std::string big(300000, 'q');
  Put("big", big);
  EXPECT_EQ(ReadWholeFile(At("big")), big);
}

TEST_F(FilesTest, WriteReplacesWholeFileAndLeavesNoTemporary) {
  WriteWholeFile("long first content", At("out"));
  EXPECT_EQ(ReadWholeFile(At("out")), "long first content");
  chmod(At("out").c_str(), 0640);
  WriteWholeFile(std::string("x\0y", 3), At("out"));
  EXPECT_EQ(ReadWholeFile(At("out")), std::string("x\0y", 3));
  struct stat info;
  ASSERT_EQ(stat(At("out").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);  // the replaced file's mode is kept
  WriteWholeFile("", At("out"));
  EXPECT_TRUE(Exists(At("out")));
  EXPECT_EQ(ReadWholeFile(At("out")), "");
  EXPECT_EQ(ListNames(dir_.path()), Names{"out"});
}

TEST_F(FilesTest, FailedWriteKeepsOldStateAndLeavesNothing) {
  std::filesystem::create_directory(At("target"));
  Put("target/inside", "kept");
  Put("plain", "kept too");
  EXPECT_FALSE(ReplaceWholeFile("new", At("target")));        // rename over a directory
  EXPECT_FALSE(ReplaceWholeFile("new", At("nodir/file")));    // no such directory
  EXPECT_FALSE(ReplaceWholeFile("new", At("plain/file")));    // parent is a file
  EXPECT_FALSE(ReplaceWholeFile("new", ""));
  WriteWholeFile("new", At("target"));                        // reports nothing
  EXPECT_EQ(ListNames(dir_.path()), (Names{"plain", "target"}));
  EXPECT_EQ(ListNames(At("target")), Names{"inside"});
  EXPECT_EQ(ReadWholeFile(At("plain")), "kept too");
}

TEST_F(FilesTest, ListOrderCommentsAndEmptyLines) {
  Put("a.txt", "A1\r\nA2");
  Put("b.txt", "B\r\n");
  EXPECT_EQ(Load("# a comment\r\n\r\na.txt\r\nb.txt"), "\r\nA1\r\nA2\r\nB\r\n");
  EXPECT_EQ(Load("b.txt\r\na.txt\r\n"), "\r\nB\r\n\r\nA1\r\nA2");
  EXPECT_EQ(Load("#a.txt\r\nmissing.txt\r\nb.txt"), "\r\nB\r\n");
  EXPECT_EQ(Load("a.txt\nb.txt"), "");  // a lone LF belongs to the name
  EXPECT_EQ(Load(""), "");
  EXPECT_EQ(LoadDictionaries(dir_.path(), "no-such.ini"), "");
}

TEST_F(FilesTest, EntryNamesAreTakenAsWritten) {
  Put(" a.txt ", "blank");
  Put("a.txt", "plain");
  EXPECT_EQ(Load(" a.txt \r\na.txt,x,y"), "\r\nblank\r\nplain");
  std::filesystem::create_directory(At("sub"));
  Put("sub/talk.txt", "deep");
  EXPECT_EQ(Load("sub/talk.txt"), "\r\ndeep");
}

TEST_F(FilesTest, OnlyTheLowerCaseFlagByteSeals) {
  Put("a.txt", Sealable());
  EXPECT_EQ(Load("a.txt, e\r\na.txt,E\r\na.txt,\r\na.txt"), "\r\n" + Sealable() + "\r\n" +
                                                                Sealable() + "\r\n" + Sealable() +
                                                                "\r\n" + Sealable());
  EXPECT_FALSE(Exists(At("a.xdi")));
  EXPECT_EQ(Load("a.txt,ex"), "\r\n" + Sealable());
  EXPECT_TRUE(Exists(At("a.xdi")));
}

TEST_F(FilesTest, SealOnLoadThenLoadTheSealedForm) {
  Put("a.txt", Sealable() + "last line");
  EXPECT_EQ(Load("a.txt,e"), "\r\n" + Sealable() + "last line");
  ASSERT_TRUE(Exists(At("a.xdi")));
  EXPECT_EQ(Unseal(ReadWholeFile(At("a.xdi"))), Sealable() + "last line\r\n");
  EXPECT_EQ(ListNames(dir_.path()), (Names{"a.txt", "a.xdi", "tamune.ini"}));

  std::filesystem::remove(At("a.txt"));
  EXPECT_EQ(Load("a.txt,e"), "\r\n" + Sealable() + "last line\r\n");
  EXPECT_EQ(Load("a.txt"), "\r\n" + Sealable() + "last line\r\n");  // whatever the flag
  EXPECT_EQ(Load("a.xdi"), "\r\n" + Sealable() + "last line\r\n");  // listed sealed
  Put("a.txt", "");  // an empty plain file counts as missing
  EXPECT_EQ(Load("a.txt.bak"), "\r\n" + Sealable() + "last line\r\n");
  EXPECT_EQ(Load("a.txt"), "\r\n" + Sealable() + "last line\r\n");
}

TEST_F(FilesTest, NoHeaderNoSealing) {
  Put("a.txt", "no header here\r\n");
  Put("b.txt", kSealHeader.substr(0, kSealHeader.size() - 1));
  EXPECT_EQ(Load("a.txt,e\r\nb.txt,e"), "\r\nno header here\r\n\r\n" +
                                            kSealHeader.substr(0, kSealHeader.size() - 1));
  EXPECT_FALSE(Exists(At("a.xdi")));
  EXPECT_FALSE(Exists(At("b.xdi")));
}

TEST_F(FilesTest, ReadOnlyDictionaryLoads) {
  Put("a.txt", "read only");
  ReadOnlyGuard guard(At("a.txt"));
  if (!guard.effective()) GTEST_SKIP() << "cannot make a file read-only for this user";
  ASSERT_TRUE(RefusesWrites(At("a.txt")));
  EXPECT_EQ(Load("a.txt"), "\r\nread only");
  EXPECT_FALSE(ReplaceWholeFile("other", At("a.txt")));  // left alone, as before
  EXPECT_EQ(ReadWholeFile(At("a.txt")), "read only");
}

TEST_F(FilesTest, SealedWriteIntoReadOnlyDirectoryLeavesNothing) {
  std::filesystem::create_directory(At("dic"));
  Put("dic/a.txt", Sealable());
  Put("tamune.ini", "dic/a.txt,e");
  {
    ReadOnlyGuard guard(At("dic"));
    if (guard.effective()) {
      EXPECT_EQ(LoadDictionaries(dir_.path(), "tamune.ini"), "\r\n" + Sealable());
      EXPECT_EQ(ListNames(At("dic")), Names{"a.txt"});
    }
  }
  // Works for any user: the sealed name is taken by a directory, so the
  // final rename fails and the temporary file must be cleaned up.
  std::filesystem::create_directory(At("dic/a.xdi"));
  EXPECT_EQ(LoadDictionaries(dir_.path(), "tamune.ini"), "\r\n" + Sealable());
  EXPECT_EQ(ListNames(At("dic")), (Names{"a.txt", "a.xdi"}));
  EXPECT_TRUE(ListNames(At("dic/a.xdi")).empty());
}
