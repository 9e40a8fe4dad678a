// File and path utilities on real files; the same suite runs natively and
// under Wine.
#include <stdint.h>

#include <string>
#include <vector>

#include "files.h"
#include "platform/file.h"
#include "platform/runlog.h"
#include "testing.h"

#ifndef _WIN32
#include <dirent.h>
#include <sys/stat.h>
#endif

using namespace osin;

namespace {

// Lines -----------------------------------------------------------------

class Lines : public ScratchTest {
 protected:
  std::vector<std::string> ReadAll(const std::string& bytes) {
    String path = Path("lines.txt");
    EXPECT_TRUE(WriteBytes(path, bytes));
    FileHandle h = OpenFileHandle(path, kFileRead, kShareRead, kAttrNormal, kOpenExisting);
    EXPECT_TRUE(IsOpenFile(h));
    std::vector<std::string> lines;
    while (!AtFileEnd(h) && lines.size() < 10000) lines.push_back(ToStd(ReadTextLine(h)));
    CloseFileHandle(h);
    EXPECT_EQ(h, nullptr);
    return lines;
  }
  using V = std::vector<std::string>;
};

TEST_F(Lines, CrLfAndBareCrEndLinesAsBefore) {
  EXPECT_EQ(ReadAll("a\r\nbb\r\n"), (V{"a", "bb"}));
  EXPECT_EQ(ReadAll("a\rbb\r"), (V{"a", "bb"}));
  EXPECT_EQ(ReadAll("a\r\n\r\nb"), (V{"a", "", "b"}));
}

TEST_F(Lines, BareLfEndsALineToo) {
  EXPECT_EQ(ReadAll("[Section]\nkey=value\n\nlast"), (V{"[Section]", "key=value", "", "last"}));
  EXPECT_EQ(ReadAll("a\n\rb"), (V{"a", "", "b"}));
}

TEST_F(Lines, EmptyFileHasNoLines) {
  EXPECT_EQ(ReadAll(""), V{});
}

TEST_F(Lines, LineEndsOnEveryPieceBoundaryAndLongLines) {
  // The reader takes 100 bytes at a time: put the CR as the last byte of a
  // piece, the LF as the first of the next, and lines longer than a piece.
  for (int length : {98, 99, 100, 101, 199, 1000}) {
    std::string first(length, 'x');
    EXPECT_EQ(ReadAll(first + "\r\nsecond\r\n"), (V{first, "second"})) << length;
    EXPECT_EQ(ReadAll(first + "\nsecond"), (V{first, "second"})) << length;
    EXPECT_EQ(ReadAll(first + "\r"), (V{first})) << length;
  }
}

TEST_F(Lines, PositionStandsRightAfterTheLineEnd) {
  String path = Path("pos.txt");
  ASSERT_TRUE(WriteBytes(path, "one\r\ntwo\nthree"));
  FileHandle h = OpenFileHandle(path, kFileRead, kShareRead, kAttrNormal, kOpenExisting);
  ASSERT_TRUE(IsOpenFile(h));
  EXPECT_EQ(ReadTextLine(h), "one");
  EXPECT_EQ(CurrentOffset(h), 5);
  EXPECT_EQ(ReadTextLine(h), "two");
  EXPECT_EQ(CurrentOffset(h), 9);
  char rest[8] = {};
  EXPECT_EQ(FileRead(h, rest, 8), 5);
  EXPECT_STREQ(rest, "three");
  EXPECT_TRUE(AtFileEnd(h));
  EXPECT_EQ(ReadTextLine(h), "");
  CloseFileHandle(h);
}

TEST_F(Lines, WrittenLinesReadBack) {
  String path = Path("out.txt");
  FileHandle h = OpenFileHandle(path, kFileRead | kFileWrite, kShareRead, kAttrNormal, kCreateAlways);
  ASSERT_TRUE(IsOpenFile(h));
  EXPECT_TRUE(WriteTextLine(h, "[Files]"));
  EXPECT_TRUE(WriteTextLine(h, ""));
  EXPECT_TRUE(WriteTextLine(h, "a=b"));
  EXPECT_EQ(FileSeek(h, 0, kSeekFromStart), 0);
  EXPECT_EQ(ReadTextLine(h), "[Files]");
  EXPECT_EQ(ReadTextLine(h), "");
  EXPECT_EQ(ReadTextLine(h), "a=b");
  EXPECT_TRUE(AtFileEnd(h));
  // Cut after the first line, as a store that rewrites its file does.
  EXPECT_EQ(FileSeek(h, 9, kSeekFromStart), 9);
  EXPECT_TRUE(FileTruncate(h));
  EXPECT_EQ(FileHandleSize(h), 9);
  CloseFileHandle(h);
  EXPECT_EQ(ReadBytes(path), "[Files]\r\n");
}

// A box's text of several lines stays one line of the run log.
TEST_F(Lines, RunLogKeepsOneLinePerEvent) {
  String path = Path("run.log");
  ASSERT_TRUE(OpenRunLog(path));
  RunLog("Error: ", "Error on changing registry data!\r\rHKCU\\X");
  RunLog("Question: ", "Abort?\r\nReally?\n");
  CloseRunLog();
  EXPECT_EQ(ReadBytes(path),
            "Error: Error on changing registry data! HKCU\\X\r\nQuestion: Abort? Really? \r\n");
}

TEST_F(Lines, AFailingReadEndsTheLoop) {
  String path = Path("write-only.txt");
  ASSERT_TRUE(WriteBytes(path, "one\r\ntwo\r\n"));
  FileHandle h = OpenFileHandle(path, kFileWrite, kShareRead, kAttrNormal, kOpenExisting);
  ASSERT_TRUE(IsOpenFile(h));
  int lines = 0;
  while (!AtFileEnd(h) && lines < 100) {
    EXPECT_EQ(ReadTextLine(h), "");
    ++lines;
  }
  EXPECT_EQ(lines, 1);
  CloseFileHandle(h);
}

TEST_F(Lines, HandlesThatFailToOpen) {
  FileHandle h = OpenFileHandle(Path("missing.txt"), kFileRead, kShareRead, kAttrNormal, kOpenExisting);
  EXPECT_FALSE(IsOpenFile(h));
  EXPECT_EQ(h, InvalidFileHandle());
  CloseFileHandle(h);
  EXPECT_EQ(h, nullptr);
  ASSERT_TRUE(WriteBytes(Path("exists.txt"), "x"));
  h = OpenFileHandle(Path("exists.txt"), kFileWrite, kShareRead, kAttrNormal, kCreateNew);
  EXPECT_FALSE(IsOpenFile(h));
}

// Paths -----------------------------------------------------------------

TEST(Paths, AddAndStripBackslash) {
  EXPECT_EQ(AddBackslash("C:\\dir"), "C:\\dir\\");
  EXPECT_EQ(AddBackslash("C:\\dir\\"), "C:\\dir\\");
  EXPECT_EQ(AddBackslash(""), "");
  EXPECT_EQ(StripBackslash("C:\\dir\\"), "C:\\dir");
  EXPECT_EQ(StripBackslash("C:\\dir\\\\"), "C:\\dir\\");
  EXPECT_EQ(StripBackslash("C:\\dir"), "C:\\dir");
  EXPECT_EQ(StripBackslash("C:\\"), "C:\\");
  EXPECT_EQ(StripBackslash("\\"), "\\");
  EXPECT_EQ(StripBackslash("ab\\"), "ab");
  EXPECT_EQ(StripBackslash(""), "");
}

TEST(Paths, TreeEntriesPassedOver) {
  EXPECT_EQ(ClassifyTreeEntry(".", kAttrDirectory), TreeEntry::kPassOver);
  EXPECT_EQ(ClassifyTreeEntry("..", kAttrDirectory), TreeEntry::kPassOver);
  EXPECT_EQ(ClassifyTreeEntry(".hidden", kAttrArchive), TreeEntry::kFile);
  EXPECT_EQ(ClassifyTreeEntry(".git", kAttrDirectory), TreeEntry::kFolder);
  EXPECT_EQ(ClassifyTreeEntry("...", kAttrDirectory), TreeEntry::kFolder);
  EXPECT_EQ(ClassifyTreeEntry("LABEL", kAttrVolumeLabel), TreeEntry::kPassOver);
  EXPECT_EQ(ClassifyTreeEntry("LABEL", kAttrVolumeLabel | kAttrArchive), TreeEntry::kPassOver);
  EXPECT_EQ(ClassifyTreeEntry("sub", kAttrDirectory | kAttrReadOnly), TreeEntry::kFolder);
  EXPECT_EQ(ClassifyTreeEntry("a.txt", kAttrReadOnly | kAttrHidden), TreeEntry::kFile);
  EXPECT_EQ(ClassifyTreeEntry("a.txt", 0), TreeEntry::kFile);
}

// Folders ---------------------------------------------------------------

using Folders = ScratchTest;

TEST_F(Folders, ForceFoldersMakesTheWholeChain) {
  String deep = Join(Join(Join(Dir(), "a"), "b"), "c");
  EXPECT_TRUE(ForceFolders(deep));
  EXPECT_TRUE(FolderExists(deep));
  EXPECT_TRUE(ForceFolders(deep + kSep));
  EXPECT_FALSE(FileExists(deep));
  EXPECT_TRUE(EntryExists(deep));
  // A file in the way: nothing can be made below it.
  ASSERT_TRUE(WriteBytes(Path("file"), "x"));
  EXPECT_FALSE(ForceFolders(Join(Path("file"), "sub")));
  EXPECT_FALSE(FolderExists(Path("file")));
  EXPECT_TRUE(FileExists(Path("file")));
  EXPECT_FALSE(ForceFolders(""));
}

TEST_F(Folders, ForceFoldersTakesRelativePaths) {
#ifdef _WIN32
  char old[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, old);
  ASSERT_TRUE(SetCurrentDirectoryA(Dir().c_str()));
#else
  char old[4096];
  ASSERT_NE(getcwd(old, sizeof(old)), nullptr);
  ASSERT_EQ(chdir(Dir().c_str()), 0);
#endif
  // A first element of one character; Windows takes paths of up to two
  // characters for drives and creates nothing for them.
  String relative = Join(Join(kSep == '/' ? "r" : "rel", "one"), "two");
  bool made = ForceFolders(relative);
#ifdef _WIN32
  SetCurrentDirectoryA(old);
#else
  EXPECT_EQ(chdir(old), 0);
#endif
  EXPECT_TRUE(made);
  EXPECT_TRUE(FolderExists(Path(relative)));
}

TEST_F(Folders, DeleteTreeRemovesReadOnlyFilesAndNestedFolders) {
  String sub = Join(Path("tree"), "sub");
  ASSERT_TRUE(ForceFolders(Join(sub, "deeper")));
  ASSERT_TRUE(WriteBytes(Join(Path("tree"), "a.txt"), "a"));
  ASSERT_TRUE(WriteBytes(Join(sub, "ro.txt"), "ro"));
  ASSERT_TRUE(WriteBytes(Join(Join(sub, "deeper"), "b"), "b"));
#ifdef _WIN32
  ASSERT_TRUE(
      SetFileAttributesA(Join(sub, "ro.txt").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
#else
  ASSERT_EQ(chmod(Join(sub, "ro.txt").c_str(), 0444), 0);
#endif
  EXPECT_TRUE(DeleteTree(Path("tree"), true));
  EXPECT_FALSE(EntryExists(Path("tree")));
  EXPECT_FALSE(DeleteTree(Path("tree"), true));
  EXPECT_FALSE(DeleteTree(Path("never"), false));
}

TEST_F(Folders, DeleteTreeWithoutTheRootKeepsTheFolders) {
  String sub = Join(Path("tree"), "sub");
  ASSERT_TRUE(ForceFolders(sub));
  ASSERT_TRUE(WriteBytes(Join(Path("tree"), "a.txt"), "a"));
  ASSERT_TRUE(WriteBytes(Join(sub, "b.txt"), "b"));
  EXPECT_TRUE(DeleteTree(Path("tree"), false));
  EXPECT_TRUE(FolderExists(sub));
  EXPECT_FALSE(EntryExists(Join(sub, "b.txt")));
  EXPECT_FALSE(EntryExists(Join(Path("tree"), "a.txt")));
}

TEST_F(Folders, EntriesBeginningWithADotGoLikeAnyOther) {
  // A project's ".svn" folder or ".cfg" file among the control files must
  // not keep the temporary folder alive.
  String sub = Join(Path("tree"), "sub");
  ASSERT_TRUE(ForceFolders(Join(Join(sub, ".svn"), "pristine")));
  ASSERT_TRUE(WriteBytes(Join(Join(sub, ".svn"), "entries"), "e"));
  ASSERT_TRUE(WriteBytes(Join(sub, ".cfg"), "k"));
  ASSERT_TRUE(WriteBytes(Join(Path("tree"), "..x"), "x"));
  EXPECT_TRUE(DeleteTree(Path("tree"), true));
  EXPECT_FALSE(EntryExists(Path("tree")));
}

TEST_F(Folders, FileSizesAreSixtyFourBits) {
  EXPECT_EQ(FileSizeOf(Path("missing")), -1);
  ASSERT_TRUE(WriteBytes(Path("empty"), ""));
  EXPECT_EQ(FileSizeOf(Path("empty")), 0);
  const int64_t kBig = (int64_t{5} << 30) + 3;
  ASSERT_TRUE(MakeSparse(Path("big"), kBig));
  EXPECT_EQ(FileSizeOf(Path("big")), kBig);
  FileHandle h = OpenFileHandle(Path("big"), kFileRead, kShareRead, kAttrNormal, kOpenExisting);
  EXPECT_EQ(FileHandleSize(h), kBig);
  EXPECT_EQ(FileSeek(h, -1, kSeekFromEnd), kBig - 1);
  EXPECT_FALSE(AtFileEnd(h));
  CloseFileHandle(h);
}

TEST_F(Folders, RemoveFileForcedTakesReadOnlyFiles) {
  ASSERT_TRUE(WriteBytes(Path("ro"), "x"));
#ifdef _WIN32
  ASSERT_TRUE(SetFileAttributesA(Path("ro").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(DeleteFileA(Path("ro").c_str()));
#endif
  EXPECT_TRUE(RemoveFileForced(Path("ro")));
  EXPECT_FALSE(EntryExists(Path("ro")));
  EXPECT_FALSE(RemoveFileForced(Path("ro")));
}

// Free space ------------------------------------------------------------

TEST_F(Folders, FreeSpaceOfExistingAndMissingFolders) {
  EXPECT_GT(FreeDiskKB(Dir()), 0);
  EXPECT_EQ(FreeDiskKB(Path("missing")), 0);
  ASSERT_TRUE(WriteBytes(Path("file"), "x"));
  EXPECT_EQ(FreeDiskKB(Path("file")), 0);
}

TEST(FreeSpace, ClusterArithmeticNeverWrapsAround) {
  EXPECT_EQ(FreeKBFromClusters(512, 8, 10), 40);
  // 1,536 bytes are one whole kilobyte.
  EXPECT_EQ(FreeKBFromClusters(512, 1, 3), 1);
  // 16 TB free in 4 KB clusters: past every 32-bit intermediate.
  EXPECT_EQ(FreeKBFromClusters(512, 8, 0xFFFFFFFFu), int64_t{4} * 0xFFFFFFFFu);
  EXPECT_EQ(FreeKBFromClusters(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu), INT64_MAX);
  // 2^64 bytes: too many for 64 bits, not as kilobytes.
  EXPECT_EQ(FreeKBFromClusters(0x80000000u, 0x80000000u, 4), int64_t{1} << 54);
  EXPECT_EQ(FreeKBFromClusters(512, 8, 0), 0);
}

// Unique names ----------------------------------------------------------

TEST(UniqueNames, DayAndHundredthsInBase32) {
  // 1 March of a leap year: day 61 + 365 x 4 + 1.
  EXPECT_EQ(UniqueNameAt({2024, 3, 1, 0, 0, 0, 0}), "1FI00000");
  // The last hundredth of a year ending in 9.
  EXPECT_EQ(UniqueNameAt({2019, 12, 31, 23, 59, 59, 999}), "3I487LFV");
  EXPECT_EQ(UniqueNameAt({2020, 1, 1, 0, 0, 0, 9}), "00100000");
  EXPECT_NE(UniqueNameAt({2023, 5, 5, 10, 0, 0, 10}), UniqueNameAt({2023, 5, 5, 10, 0, 0, 20}));
}

}  // namespace
