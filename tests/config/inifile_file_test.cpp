// The INI store on real files: loading, write-back and its folders. The same
// suite runs natively and under Wine.
#include <string>

#include "config/inifile.h"
#include "files.h"
#include "platform/fault.h"
#include "testing.h"

using namespace osin;

namespace {

class IniFile : public ScratchTest {
 protected:
  void TearDown() override {
    EXPECT_FALSE(FaultPending()) << ToStd(TakeFault());
    ScratchTest::TearDown();
  }
};

TEST_F(IniFile, AMissingFileReadsDefaultsAndIsCreatedAtTheFirstWriteBack) {
  String folder = Path("new");
  String path = Join(Join(folder, "deeper"), "set.ini");
  {
    TztIniFile store(path, false, TIniParseOptions());
    EXPECT_EQ(store.ReadString("s", "k", "def"), "def");
    EXPECT_FALSE(FolderExists(folder)) << "reading creates nothing";
    store.WriteString("s", "k", "v");
    EXPECT_FALSE(FileExists(path)) << "nothing is written before the write-back";
    store.UpdateFile();
    EXPECT_FALSE(store.Modified());
    EXPECT_EQ(ReadBytes(path), "[s]\r\nk=v\r\n\r\n");
    store.WriteString("s", "k2", "w");
  }
  EXPECT_EQ(ReadBytes(path), "[s]\r\nk=v\r\nk2=w\r\n\r\n") << "the destructor writes back";
}

TEST_F(IniFile, AnUnchangedStoreDoesNotTouchItsFile) {
  String path = Path("a.ini");
  const std::string text = "; remark\r\n[s]\r\nk = v\r\n";
  ASSERT_TRUE(WriteBytes(path, text));
  {
    TztIniFile store(path, false, TIniParseOptions());
    EXPECT_EQ(store.ReadString("s", "k", ""), "v");
    store.WriteString("s", "k", "v");
  }
  EXPECT_EQ(ReadBytes(path), text);
}

TEST_F(IniFile, AFileWithLfLineEndsKeepsEveryKeyAfterAWriteBack) {
  String path = Path("lf.ini");
  ASSERT_TRUE(WriteBytes(path, "[a]\nx=1\ny=2\n\n[b]\nz=3\n"));
  {
    TztIniFile store(path, false, TIniParseOptions());
    EXPECT_EQ(store.ReadString("b", "z", ""), "3");
    store.WriteString("a", "x", "9");
  }
  EXPECT_EQ(ReadBytes(path), "[a]\r\nx=9\r\ny=2\r\n\r\n[b]\r\nz=3\r\n\r\n");
}

TEST_F(IniFile, TheWriteBackDropsWhatTheParserDroppedAndCutsTheFile) {
  String path = Path("long.ini");
  ASSERT_TRUE(WriteBytes(path,
                         "; a long remark that makes the file longer than what is written back\r\n"
                         "[empty]\r\n"
                         "[s]\r\n"
                         "key  =  \"quoted value\"  \r\n"
                         "other=1\r\n"));
  {
    TztIniFile store(path, false, TIniParseOptions());
    store.DeleteKey("s", "other");
  }
  EXPECT_EQ(ReadBytes(path), "[s]\r\nkey=quoted value\r\n\r\n");
}

TEST_F(IniFile, ErasingEverythingLeavesAnEmptyFile) {
  String path = Path("e.ini");
  ASSERT_TRUE(WriteBytes(path, "[s]\r\nk=v\r\n"));
  {
    TztIniFile store(path, false, TIniParseOptions());
    store.EraseSection("s");
  }
  EXPECT_EQ(ReadBytes(path), "");
}

TEST_F(IniFile, AReadOnlyStoreNeverWrites) {
  String path = Path("ro.ini");
  ASSERT_TRUE(WriteBytes(path, "[s]\nk=v\n"));
  String missing = Path("missing.ini");
  {
    TztIniFile store(path, true, TIniParseOptions());
    TztIniFile none(missing, true, TIniParseOptions());
    store.WriteString("s", "k", "changed");
    none.WriteString("s", "k", "new");
    EXPECT_EQ(store.ReadString("s", "k", ""), "changed") << "the change stays in memory";
    store.UpdateFile();
    EXPECT_FALSE(store.Modified());
  }
  EXPECT_EQ(ReadBytes(path), "[s]\nk=v\n");
  EXPECT_FALSE(FileExists(missing));
}

TEST_F(IniFile, AnotherFileNameWritesBackAndLoadsAgain) {
  String first = Path("1.ini"), second = Path("2.ini");
  ASSERT_TRUE(WriteBytes(second, "[t]\r\nm=2\r\n"));
  TztIniFile store(first, false, TIniParseOptions());
  store.WriteString("s", "k", "1");
  store.SetFileName(second);
  EXPECT_EQ(ReadBytes(first), "[s]\r\nk=1\r\n\r\n");
  EXPECT_EQ(store.ReadString("s", "k", "none"), "none");
  EXPECT_EQ(store.ReadString("t", "m", ""), "2");
  EXPECT_FALSE(store.Modified());
}

TEST_F(IniFile, ALanguageFileRoundTrips) {
  // A language file as publishers write it: a remark before the first
  // section, blanks around "=", quoted texts with blanks kept, "||" breaks.
  String path = Path("enu.lng");
  ASSERT_TRUE(WriteBytes(path,
                         "// English texts\r\n"
                         "[Strings]\r\n"
                         "1 = The %ProgramName% is not completely installed.||Do you want to abort setup?\r\n"
                         "4=Insufficient free disk space!\r\n"
                         "\r\n"
                         "[Dialogs]\r\n"
                         "Caption=%ProgramName% setup\r\n"
                         "101=< Back\r\n"
                         "102=Next >\r\n"
                         "[DLG_DIR]\r\n"
                         "104=\" Destination folder \"\r\n"
                         "[Strings.ENU]\r\n"
                         "4=Not enough room.\r\n"));
  {
    TztIniFile store(path, false, TIniParseOptions());
    EXPECT_EQ(store.ReadString("dlg_dir", "104", ""), " Destination folder ");
    store.WriteString("Dialogs", "103", "Cancel");
  }
  EXPECT_EQ(ReadBytes(path),
            "[Strings]\r\n"
            "1=The %ProgramName% is not completely installed.||Do you want to abort setup?\r\n"
            "4=Insufficient free disk space!\r\n"
            "\r\n"
            "[Dialogs]\r\n"
            "Caption=%ProgramName% setup\r\n"
            "101=< Back\r\n"
            "102=Next >\r\n"
            "103=Cancel\r\n"
            "\r\n"
            "[DLG_DIR]\r\n"
            "104= Destination folder \r\n"
            "\r\n"
            "[Strings.ENU]\r\n"
            "4=Not enough room.\r\n"
            "\r\n");
}

}  // namespace
