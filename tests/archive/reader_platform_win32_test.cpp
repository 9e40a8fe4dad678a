// What extraction does to the file system on Windows: times, attributes and
// the folder chain, checked through Win32 itself.
#include <windows.h>

#include "archive/unrar.h"
#include "fixture.h"

namespace osin {
namespace {

class ExtractWin32 : public ScratchTest {};

FILETIME ExpectedUtc(uint32_t dos) {
  FILETIME local, utc;
  DosDateTimeToFileTime(WORD(dos >> 16), WORD(dos & 0xFFFF), &local);
  LocalFileTimeToFileTime(&local, &utc);
  return utc;
}

TEST_F(ExtractWin32, LastWriteTimeIsTheEntrysLocalDosTime) {
  TArchive a(Save(Archive({StoredEntry("t.txt", "time", kSomeDosTime)})).c_str(), kOpenExtract);
  std::string out = (dir_ / "t.txt").string();
  ASSERT_TRUE(a.Process(aoExtract, out.c_str(), nullptr));
  HANDLE h = CreateFileA(out.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FILETIME written;
  GetFileTime(h, nullptr, nullptr, &written);
  CloseHandle(h);
  FILETIME expected = ExpectedUtc(kSomeDosTime);
  EXPECT_EQ(written.dwLowDateTime, expected.dwLowDateTime);
  EXPECT_EQ(written.dwHighDateTime, expected.dwHighDateTime);
}

TEST_F(ExtractWin32, AttributesAreAppliedAndAReadOnlyTargetIsReplaced) {
  std::string rar =
      Archive({StoredEntry("ro.txt", "one", 0, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE),
               StoredEntry("hid.txt", "two", 0, FILE_ATTRIBUTE_HIDDEN)});
  std::string path = Save(rar);
  std::string ro = (dir_ / "ro.txt").string(), hid = (dir_ / "hid.txt").string();
  for (int pass = 0; pass < 2; ++pass) {  // the second pass overwrites a read-only file
    TArchive a(path.c_str(), kOpenExtract);
    ASSERT_TRUE(a.Process(aoExtract, ro.c_str(), nullptr)) << pass;
    ASSERT_TRUE(a.Process(aoExtract, hid.c_str(), nullptr)) << pass;
  }
  EXPECT_EQ(GetFileAttributesA(ro.c_str()), DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(GetFileAttributesA(hid.c_str()) & FILE_ATTRIBUTE_HIDDEN, DWORD(FILE_ATTRIBUTE_HIDDEN));
  SetFileAttributesA(ro.c_str(), FILE_ATTRIBUTE_NORMAL);
  SetFileAttributesA(hid.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(ExtractWin32, FolderChainWithMixedSeparatorsAndAFailedEntryLeavesNoFile) {
  RarEntry bad = StoredEntry("bad.bin", "data", 0, FILE_ATTRIBUTE_READONLY);
  bad.crc ^= 1;
  TArchive a(Save(Archive({StoredEntry("ok.bin", "ok", 0), bad})).c_str(), kOpenExtract);
  std::string out = (dir_ / "a").string() + "/b\\c/ok.bin";
  ASSERT_TRUE(a.Process(aoExtract, out.c_str(), nullptr));
  EXPECT_EQ(GetFileAttributesA((dir_ / "a" / "b" / "c").string().c_str()) & FILE_ATTRIBUTE_DIRECTORY,
            DWORD(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(ReadBytes(dir_ / "a" / "b" / "c" / "ok.bin"), "ok");
  std::string badOut = (dir_ / "bad.bin").string();
  EXPECT_FALSE(a.Process(aoExtract, badOut.c_str(), nullptr));
  EXPECT_EQ(GetFileAttributesA(badOut.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ExtractWin32, ASecondByteWithTheCodeOfABackslashMakesNoFolder) {
  // Run in a Japanese locale by its own test entry.
  if (GetACP() != 932) GTEST_SKIP() << "needs the Japanese code page";
  const std::string hyo = "\x95\x5C";  // one character, whose second byte is that of "\\"
  TArchive a(Save(Archive({StoredEntry("ok.bin", "ok", 0), StoredEntry("in.bin", "in", 0)})).c_str(),
             kOpenExtract);
  std::string top = dir_.string() + "\\" + hyo, inner = top + "\\x" + hyo;
  ASSERT_TRUE(a.Process(aoExtract, (inner + "\\ok.bin").c_str(), nullptr));
  ASSERT_EQ(a.Handle.ProcessEntry(aoExtract, inner.c_str(), "", "", nullptr), kEntryOk);
  // (The system's code page names the files: no std::filesystem.)
  EXPECT_EQ(FileSizeOf(String(inner.c_str()) + "\\ok.bin"), 2);
  EXPECT_EQ(FileSizeOf(String(inner.c_str()) + "\\in.bin"), 2) << "below the folder, not beside it";
  // The two folders named, and none for half a letter.
  int entries = 0;
  WIN32_FIND_DATAA found;
  for (const std::string& folder : {dir_.string(), top}) {
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do entries += found.cFileName[0] != '.';
    while (FindNextFileA(find, &found));
    FindClose(find);
  }
  EXPECT_EQ(entries, 3) << "the archive, " << hyo << " and x" << hyo;
}

TEST_F(ExtractWin32, EntryNamesBelowTheCurrentFolderWhenNoTargetIsGiven) {
  char old[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, old);
  ASSERT_TRUE(SetCurrentDirectoryA(dir_.string().c_str()));
  {
    TArchive a(Save(Archive({StoredEntry("Presetup\\Osin.ini", "[Config]", 0),
                             StoredEntry("..\\..\\escape.txt", "x", 0)}))
                   .c_str(),
               kOpenExtract);
    EXPECT_TRUE(a.Process(aoExtract, "", nullptr));
    EXPECT_FALSE(a.Process(aoExtract, "", nullptr));
    EXPECT_EQ(a.LastResult(), kEntryCannotCreate);
  }
  SetCurrentDirectoryA(old);
  EXPECT_EQ(ReadBytes(dir_ / "Presetup" / "Osin.ini"), "[Config]");
  EXPECT_FALSE(fs::exists(dir_.parent_path().parent_path() / "escape.txt"));
}

}  // namespace
}  // namespace osin
