// The install log: records by kind, the logged creation of folders and keys.
#include "install/log.h"
#include "config/profile.h"
#include "config/registry.h"
#include "install/enginetest.h"
#include "platform/fault.h"
#include "testing.h"

using namespace osin;

namespace {

class InstallLog : public EngineTest {};

TEST_F(InstallLog, FoldersAreCreatedAndLoggedParentsFirst) {
  String deep = Join(Join(Join(Dir(), "A"), "B"), "C");
  EXPECT_TRUE(ForceFolderLogged(log_, deep + kSep));
  EXPECT_TRUE(FolderExists(deep));
  EXPECT_TRUE(ForceFolderLogged(log_, deep));  // exists: nothing more logged
  String a = Join(Dir(), "A"), b = Join(a, "B");
  EXPECT_EQ(LogText(),
            "[CreateDirs]\r\n" + ToStd(a) + "=\r\n" + ToStd(b) + "=\r\n" + ToStd(deep) + "=\r\n\r\n");
}

TEST_F(InstallLog, ARecordWrittenTwiceKeepsItsPlaceAndSectionsKeepTheirOrder) {
  EXPECT_TRUE(WriteLogEntry(log_, kLogCopyFiles, "x", ""));
  EXPECT_TRUE(WriteLogEntry(log_, kLogSharedFiles, "y", ""));
  EXPECT_TRUE(WriteLogEntry(log_, kLogCopyFiles, "z", ""));
  EXPECT_TRUE(WriteLogEntry(log_, kLogCopyFiles, "x", "again"));
  EXPECT_TRUE(WriteLogSection(log_, "Strings", "1", "Bye||now"));
  EXPECT_FALSE(WriteLogEntry(log_, 9, "k", ""));
  EXPECT_EQ(LogText(),
            "[CopyFiles]\r\nx=again\r\nz=\r\n\r\n[SharedFiles]\r\ny=\r\n\r\n[Strings]\r\n1=Bye||now\r\n\r\n");
}

TEST_F(InstallLog, AnInactiveLogWritesNothingButFoldersAreStillMade) {
  TInstallLog unnamed{"", true};
  TInstallLog disabled{log_.FileName, false};
  EXPECT_FALSE(WriteLogEntry(unnamed, kLogCopyFiles, "x", ""));
  EXPECT_FALSE(WriteLogEntry(disabled, kLogCopyFiles, "x", ""));
  EXPECT_TRUE(ForceFolderLogged(disabled, Join(Dir(), "new")));
  EXPECT_TRUE(FolderExists(Join(Dir(), "new")));
  EXPECT_EQ(LogText(), "");
}

TEST_F(InstallLog, KeysAreCreatedAndLoggedParentsFirst) {
  const String base = "HKCU\\Software\\OsinLogTest";
  DeleteRegKey(base);
  String deep = base + "\\a b\\c";
  EXPECT_TRUE(ForceKeyLogged(log_, deep + "\\"));
  EXPECT_TRUE(RegKeyExists(deep));
  EXPECT_TRUE(ForceKeyLogged(log_, deep));
  EXPECT_TRUE(ForceKeyLogged(log_, "HKCU"));
  EXPECT_EQ(LogText(), "[CreateKeys]\r\n" + ToStd(base) + "=\r\n" + ToStd(base) + "\\a b=\r\n" + ToStd(deep) +
                           "=\r\n\r\n");
  EXPECT_TRUE(DeleteRegKey(base));
}

}  // namespace
