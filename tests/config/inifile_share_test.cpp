// How stores share their files with other openers (Windows sharing modes),
// and the fault of a file that exists but cannot be opened.
#include <windows.h>

#include "config/inifile.h"
#include "files.h"
#include "platform/fault.h"
#include "testing.h"

using namespace osin;

namespace {

class Sharing : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    path_ = Path("shared.ini");
    ASSERT_TRUE(WriteBytes(path_, "[s]\r\nk=v\r\n"));
  }
  void TearDown() override {
    TakeFault();
    ScratchTest::TearDown();
  }
  // Whether the file opens now with this access and sharing.
  bool Opens(uint32_t access, uint32_t share) {
    FileHandle h = OpenFileHandle(path_, access, share, 0, kOpenExisting);
    bool opened = IsOpenFile(h);
    CloseFileHandle(h);
    return opened;
  }

  String path_;
};

TEST_F(Sharing, AWritableStoreKeepsOtherWritersOut) {
  {
    TztIniFile store(path_, false, TIniParseOptions());
    EXPECT_FALSE(Opens(kFileWrite, kShareRead | kShareWrite));
    EXPECT_TRUE(Opens(kFileRead, kShareRead | kShareWrite)) << "readers may still read";
    TztIniFile reader(path_, true, TIniParseOptions());
    EXPECT_EQ(reader.ReadString("s", "k", ""), "v");
  }
  EXPECT_TRUE(Opens(kFileWrite, kShareRead | kShareWrite));
  EXPECT_FALSE(FaultPending());
}

TEST_F(Sharing, AReadOnlyStoreClosesItsFileAfterLoading) {
  TztIniFile store(path_, true, TIniParseOptions());
  EXPECT_TRUE(Opens(kFileRead | kFileWrite, kShareNone));
  EXPECT_EQ(store.ReadString("s", "k", ""), "v");
}

TEST_F(Sharing, ASecondWritableStoreFailsWithTheFaultAndWritesNothing) {
  TztIniFile first(path_, false, TIniParseOptions());
  {
    TztIniFile second(path_, false, TIniParseOptions());
    ASSERT_TRUE(FaultPending());
    EXPECT_EQ(TakeFault(), "Cannot open file " + path_);
    EXPECT_EQ(second.ReadString("s", "k", "def"), "def") << "the store stays empty";
    second.WriteString("s", "other", "1");
  }
  first.WriteString("s", "k", "w");
  first.UpdateFile();
  EXPECT_EQ(ReadBytes(path_), "[s]\r\nk=w\r\n\r\n");
}

TEST_F(Sharing, AnExclusivelyOpenedFileCannotBeLoaded) {
  FileHandle lock = OpenFileHandle(path_, kFileRead, kShareNone, 0, kOpenExisting);
  ASSERT_TRUE(IsOpenFile(lock));
  {
    TztIniFile store(path_, true, TIniParseOptions());
    EXPECT_EQ(TakeFault(), "Cannot open file " + path_);
    EXPECT_EQ(store.Sections().Count(), 0);
  }
  {
    // A writable store whose load failed must not replace the file later.
    TztIniFile store(path_, false, TIniParseOptions());
    EXPECT_TRUE(FaultPending());
    TakeFault();
    store.WriteString("s", "k", "lost");
    CloseFileHandle(lock);
  }
  EXPECT_EQ(ReadBytes(path_), "[s]\r\nk=v\r\n");
}

}  // namespace
