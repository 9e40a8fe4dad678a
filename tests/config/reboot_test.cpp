// Files replaced at restart on the 95 line: the rename list of wininit.ini
// written through the profile layer.
#include <windows.h>

#include "config/profile.h"
#include "files.h"
#include "platform/file.h"
#include "platform/osversion.h"
#include "testing.h"

using namespace osin;

namespace {

class Wininit : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    wininit_ = AddBackslash(windows) + "wininit.ini";
    DeleteFileA(wininit_.c_str());
    win95_.Kind = osWin95;
    SubstituteOSVersion(&win95_);
    OpenStore(Path("any.ini"), true);  // the profile layer is in use
  }
  void TearDown() override {
    SubstituteOSVersion(nullptr);
    DropAllStores();
    DeleteFileA(wininit_.c_str());
    ScratchTest::TearDown();
  }

  String wininit_;
  TOSVersion win95_;
};

TEST_F(Wininit, EveryReplacementKeepsItsDeleteAndItsRename) {
  String old1 = Path("a.dll"), new1 = Path("a.new"), old2 = Path("b.dll"), new2 = Path("b.new");
  for (const String& f : {old1, new1, old2, new2}) ASSERT_TRUE(WriteBytes(f, "x"));
  ASSERT_TRUE(ReplaceAtReboot(new1, old1));
  ASSERT_TRUE(ReplaceAtReboot(new2, old2));
  EXPECT_FALSE(FileExists(wininit_)) << "written when the stores are dropped";
  DropAllStores();
  EXPECT_EQ(ReadBytes(wininit_), "[Rename]\r\nNUL=" + ToStd(ShortPathOf(old1)) + "\r\n" +
                                     ToStd(ShortPathOf(old1)) + "=" + ToStd(ShortPathOf(new1)) +
                                     "\r\nNUL=" + ToStd(ShortPathOf(old2)) + "\r\n" +
                                     ToStd(ShortPathOf(old2)) + "=" + ToStd(ShortPathOf(new2)) + "\r\n\r\n");
}

TEST_F(Wininit, AnExistingRenameListIsAddedTo) {
  ASSERT_TRUE(WriteBytes(wininit_, "[Rename]\r\nNUL=C:\\EARLIER.DLL\r\n"));
  String old1 = Path("c.dll"), new1 = Path("c.new");
  ASSERT_TRUE(WriteBytes(old1, "x"));
  ASSERT_TRUE(WriteBytes(new1, "y"));
  ASSERT_TRUE(ReplaceAtReboot(new1, old1));
  DropAllStores();
  EXPECT_EQ(ReadBytes(wininit_), "[Rename]\r\nNUL=C:\\EARLIER.DLL\r\nNUL=" + ToStd(ShortPathOf(old1)) +
                                     "\r\n" + ToStd(ShortPathOf(old1)) + "=" + ToStd(ShortPathOf(new1)) +
                                     "\r\n\r\n");
}

}  // namespace
