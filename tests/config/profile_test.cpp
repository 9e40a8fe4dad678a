// The profile layer: one cached store per file name, and the typed reads.
#include <windows.h>

#include "config/profile.h"
#include "files.h"
#include "platform/fault.h"
#include "platform/text.h"
#include "testing.h"

using namespace osin;

namespace {

class Profile : public ScratchTest {
 protected:
  void TearDown() override {
    DropAllStores();
    ProfileParseOptions() = TIniParseOptions();
    EXPECT_FALSE(FaultPending()) << ToStd(TakeFault());
    ScratchTest::TearDown();
  }
  // The name of the file in the folder as the file system keeps it.
  std::string StoredName(const String& pattern) {
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA(pattern.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return "";
    FindClose(h);
    return found.cFileName;
  }
};

TEST_F(Profile, SpellingsThatDifferInCaseShareOneStore) {
  String path = Path("Conf.ini");
  ASSERT_TRUE(WriteBytes(path, "[s]\r\nk=1\r\n"));
  TztIniFile* a = OpenStore(path, true);
  TztIniFile* b = OpenStore(Path("CONF.INI"), true);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a->FileName(), path) << "as its first caller wrote it";
  EXPECT_EQ(ReadIniString(Path("conf.ini"), "S", "K", ""), "1");
}

TEST_F(Profile, ANewFileGetsItsNameAsWrittenWhenTheStoresAreDropped) {
  String path = Path("sub\\NewFile.ini");
  EXPECT_TRUE(WriteIni(path, "Sect", "Key", "Value"));
  EXPECT_TRUE(WriteIni(Path("SUB\\newfile.INI"), "Sect", "Other", "2")) << "the same store";
  EXPECT_FALSE(FileExists(path)) << "nothing reaches the disk before the drop";
  DropAllStores();
  EXPECT_EQ(StoredName(Path("sub")), "sub");
  EXPECT_EQ(StoredName(Path("sub\\*.ini")), "NewFile.ini");
  EXPECT_EQ(ReadBytes(path), "[Sect]\r\nKey=Value\r\nOther=2\r\n\r\n");
}

TEST_F(Profile, AWriteReplacesAReadOnlyStoreAndLosesNothing) {
  String path = Path("rw.ini");
  ASSERT_TRUE(WriteBytes(path, "[s]\r\na=1\r\n"));
  EXPECT_EQ(ReadIniString(path, "s", "a", ""), "1");
  EXPECT_TRUE(OpenStore(path, true)->ReadOnly());
  WriteIni(path, "s", "b", "2");
  TztIniFile* store = OpenStore(path, true);
  EXPECT_FALSE(store->ReadOnly()) << "a writable store answers reads too";
  EXPECT_EQ(ReadIniString(path, "s", "a", ""), "1");
  DropStore(path);
  EXPECT_EQ(ReadBytes(path), "[s]\r\na=1\r\nb=2\r\n\r\n");
}

TEST_F(Profile, DroppingAStoreReadsTheFileAgain) {
  String path = Path("again.ini");
  ASSERT_TRUE(WriteBytes(path, "[s]\r\nk=old\r\n"));
  EXPECT_EQ(ReadIniString(path, "s", "k", ""), "old");
  ASSERT_TRUE(WriteBytes(path, "[s]\r\nk=new\r\n"));
  EXPECT_EQ(ReadIniString(path, "s", "k", ""), "old") << "the store answers from memory";
  DropStore(path);
  EXPECT_EQ(ReadIniString(path, "s", "k", ""), "new");
}

TEST_F(Profile, BooleansAreTrueOnlyForOne) {
  String path = Path("b.ini");
  ASSERT_TRUE(WriteBytes(path, "[b]\r\none=1\r\nblank=1   \r\nyes=yes\r\ntrue=true\r\ntwo=2\r\nempty=\r\n"));
  EXPECT_TRUE(ReadIniBool(path, "b", "one", false));
  EXPECT_TRUE(ReadIniBool(path, "b", "blank", false));
  EXPECT_FALSE(ReadIniBool(path, "b", "yes", true));
  EXPECT_FALSE(ReadIniBool(path, "b", "true", true));
  EXPECT_FALSE(ReadIniBool(path, "b", "two", true));
  EXPECT_FALSE(ReadIniBool(path, "b", "empty", true));
  EXPECT_TRUE(ReadIniBool(path, "b", "missing", true));
  EXPECT_FALSE(ReadIniBool(path, "b", "missing", false));
}

TEST_F(Profile, IntegersHaveNoZeroXForm) {
  String path = Path("n.ini");
  ASSERT_TRUE(WriteBytes(path, "[n]\r\nzx=0x10\r\nhex=$10\r\ndec=-5\r\nbad=5x\r\n"));
  EXPECT_EQ(ReadIniInteger(path, "n", "zx", 7), 7);
  EXPECT_EQ(ReadIniInteger(path, "n", "hex", 7), 16);
  EXPECT_EQ(ReadIniInteger(path, "n", "dec", 7), -5);
  EXPECT_EQ(ReadIniInteger(path, "n", "bad", 7), 7);
  EXPECT_EQ(ReadIniInteger(path, "n", "missing", -3), -3);
  EXPECT_EQ(OpenStore(path, true)->ReadInteger("n", "zx", 7), 16) << "the store's own read has it";
}

TEST_F(Profile, AStoreKeepsTheOptionsItWasCreatedWith) {
  String early = Path("early.ini"), late = Path("late.ini");
  ASSERT_TRUE(WriteBytes(early, "[s]\r\nk=\"q\"\r\n"));
  ASSERT_TRUE(WriteBytes(late, "[s]\r\nk=\"q\"\r\n"));
  EXPECT_EQ(ReadIniString(early, "s", "k", ""), "q");
  ProfileParseOptions().StripQuotes = false;
  EXPECT_EQ(ReadIniString(late, "s", "k", ""), "\"q\"");
  EXPECT_EQ(ReadIniString(early, "s", "k", ""), "q");
}

TEST_F(Profile, AFileThatCannotBeOpenedRaisesTheFaultOnce) {
  String path = Path("locked.ini");
  ASSERT_TRUE(WriteBytes(path, "[s]\r\nk=v\r\n"));
  FileHandle lock = OpenFileHandle(path, kFileRead, kShareNone, 0, kOpenExisting);
  ASSERT_TRUE(IsOpenFile(lock));
  EXPECT_EQ(ReadIniString(path, "s", "k", "def"), "def");
  EXPECT_EQ(TakeFault(), "Cannot open file " + path) << "named as written";
  CloseFileHandle(lock);
}

}  // namespace
