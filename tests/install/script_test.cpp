// Collecting script lines into pending entries, script file variants, copy
// entry lookup and targets: the portable rules of the engine.
#include "install/script.h"
#include "config/variables.h"
#include "install/copyentry.h"
#include "testing.h"

using namespace osin;

namespace {

class Collect : public ::testing::Test {
 protected:
  void SetUp() override {
    // Folders a user may choose: an apostrophe, a comma, an equals sign.
    SetVariable(variables_, "InstallPath", "C:\\Users\\O'Brien\\Acme, Inc\\a=b");
    SetVariable(variables_, "Sys", "C:\\Windows\\System");
    SetVariable(variables_, "Empty", "");
  }
  void Line(ScriptAction action, const char* key, const char* value, const char* base) {
    CollectScriptLine(action, key, value, base, variables_, lists_);
  }
  StringList variables_;
  TPendingLists lists_;
};

TEST_F(Collect, ExpandedTextNeverMovesAFieldOfACopyLine) {
  const String folder = "C:\\Users\\O'Brien\\Acme, Inc\\a=b\\";
  Line(kActCopyFiles, "app.exe", ",2", "%InstallPath%");
  Line(kActCopyFiles, "lib\\x.dll", "%InstallPath%.dll,132", "%Sys%");
  Line(kActCopyFiles, "%InstallPath%\\old.txt", "new.txt,64", "%InstallPath%");
  const TPendingList& archive = lists_.ArchiveCopies;
  ASSERT_EQ(archive.Count(), 2);
  EXPECT_EQ(archive[0].Name, "Data\\app.exe");
  EXPECT_EQ(archive[0].Field(1), folder + "app.exe");
  EXPECT_EQ(archive[0].NumberField(2), 2);
  EXPECT_EQ(archive[1].Field(1), "C:\\Windows\\System\\" + folder.Copy(1, folder.Length() - 1) + ".dll");
  EXPECT_EQ(archive[1].NumberField(2), 132);
  // Flag 64 comes from the publisher's field, not from the expanded path.
  ASSERT_EQ(lists_.ExternalCopies.Count(), 1);
  EXPECT_EQ(lists_.ExternalCopies[0].Name, folder + "old.txt");
  EXPECT_EQ(lists_.ExternalCopies[0].Field(1), folder + "new.txt");
  EXPECT_EQ(lists_.ExternalCopies[0].NumberField(2), 64);
  // Without a target name a file on disk keeps its name, not its path.
  Line(kActCopyFiles, "D:\\extras\\*.txt", ",64", "%Sys%");
  EXPECT_EQ(lists_.ExternalCopies[1].Field(1), "C:\\Windows\\System\\*.txt");
}

TEST_F(Collect, RegistryIniShortcutAndRunLinesKeepTheirFields) {
  Line(kActAddReg, "Path", "%InstallPath%,32", "HKLM\\Software\\Acme");
  Line(kActAddReg, "\\", "'a,b'", "HKLM\\Software\\Acme\\");
  Line(kActDelReg, "Old", "", "HKCU\\Software\\Acme");
  Line(kActAddIni, "Dir", "%InstallPath%,1", "%InstallPath%\\app.ini,Paths");
  // No key: written, it would erase the section of another program's file.
  Line(kActAddIni, "", "x", "%InstallPath%\\app.ini,Paths");
  Line(kActAddIni, "%Empty%", "x", "%InstallPath%\\app.ini,Paths");
  Line(kActShortcuts, "App", "\"%InstallPath%\\app.exe\",-x,%InstallPath%,,0,0,33", "%Sys%");
  Line(kActRunApp, "Setup", "%InstallPath%\\post.exe,/q,,0,Working...,0", "");
  const String path = "C:\\Users\\O'Brien\\Acme, Inc\\a=b";
  EXPECT_EQ(lists_.RegAdditions[0].Name, "HKLM\\Software\\Acme\\Path");
  EXPECT_EQ(lists_.RegAdditions[0].Field(1), path);
  EXPECT_EQ(lists_.RegAdditions[0].NumberField(2), 32);
  EXPECT_EQ(lists_.RegAdditions[1].Name, "HKLM\\Software\\Acme\\");
  EXPECT_EQ(lists_.RegAdditions[1].Field(1), "a,b");
  EXPECT_EQ(lists_.RegDeletions[0].Name, "HKCU\\Software\\Acme\\Old");
  const TPendingEntry& ini = lists_.IniChanges[0];
  EXPECT_EQ(ini.NamePart(1), path + "\\app.ini");
  EXPECT_EQ(ini.NamePart(2), "Paths");
  EXPECT_EQ(ini.NamePart(3), "Dir");
  EXPECT_EQ(ini.Field(1), path);
  EXPECT_EQ(ini.NumberField(2), 1);
  EXPECT_EQ(lists_.IniChanges.Count(), 1);
  const TPendingEntry& link = lists_.Shortcuts[0];
  EXPECT_EQ(link.Name, "C:\\Windows\\System\\App");
  EXPECT_EQ(link.Field(1), "\"" + path + "\\app.exe\"");
  EXPECT_EQ(link.Field(3), path);
  EXPECT_EQ(link.NumberField(7), 33);
  const TPendingEntry& run = lists_.Programs[0];
  EXPECT_EQ(run.Field(1), path + "\\post.exe");
  EXPECT_EQ(run.Field(5), "Working...");
  EXPECT_EQ(run.NumberField(6, 1), 0);
}

TEST_F(Collect, ALaterLineForTheSameNameReplacesTheValueInPlace) {
  Line(kActCopyFiles, "a.txt", "", "C:\\One");
  Line(kActCopyFiles, "b.txt", "", "C:\\One");
  Line(kActCopyFiles, "A.TXT", "z.txt", "C:\\Two");
  ASSERT_EQ(lists_.ArchiveCopies.Count(), 2);
  EXPECT_EQ(lists_.ArchiveCopies[0].Field(1), "C:\\Two\\z.txt");
  EXPECT_EQ(lists_.ArchiveCopies[1].Field(1), "C:\\One\\b.txt");
}

TEST(ScriptFiles, VariantsFollowTheSystem) {
  StringList names;
  ScriptFileNames("P\\", "App", ClassifyOS(kPlatformNT, 4, 0, 1381, ""), names);
  ScriptFileNames("P\\", "Extra", ClassifyOS(kPlatformNT, 5, 1, 2600, ""), names);
  ScriptFileNames("P\\", "Old", ClassifyOS(kPlatformWindows, 4, 0, 950, ""), names);
  ScriptFileNames("P\\", "Me", ClassifyOS(kPlatformWindows, 4, 90, 3000, ""), names);
  EXPECT_EQ(ToStd(names.Text()),
            "P\\App.ins\r\nP\\App.nt\r\nP\\App.nt4\r\nP\\Extra.ins\r\nP\\Extra.nt\r\nP\\Extra.2k\r\n"
            "P\\Old.ins\r\nP\\Old.9x\r\nP\\Old.95\r\nP\\Me.ins\r\nP\\Me.9x\r\nP\\Me.98\r\n");
}

TEST(CopyEntries, WildcardsMatchSubfoldersAndNamesWithoutExtension) {
  TPendingList list;
  list.Set("Data\\bin\\*.dll", Array<String>());
  list.Set("Data\\README", Array<String>());
  list.Set("Data\\*.*", Array<String>());
  EXPECT_EQ(FindCopyEntry(list, "Data\\bin\\x.DLL"), 0);
  EXPECT_EQ(FindCopyEntry(list, "data\\BIN\\sub\\y.dll"), 0);
  EXPECT_EQ(FindCopyEntry(list, "Data\\readme"), 1);
  EXPECT_EQ(FindCopyEntry(list, "Data\\LICENSE"), 2);  // no extension, still *.*
  EXPECT_EQ(FindCopyEntry(list, "Data\\bin\\x.exe"), 2);
  EXPECT_EQ(FindCopyEntry(list, "Presetup\\Osin.ini"), -1);
  // Only the file name is a mask: a "?" in the folder part is a plain character.
  TPendingList plain;
  plain.Set("Data\\b?n\\x.txt", Array<String>());
  EXPECT_EQ(FindCopyEntry(plain, "Data\\bin\\x.txt"), -1);
  EXPECT_EQ(FindCopyEntry(plain, "DATA\\B?N\\X.TXT"), 0);
  // A listing in archive order is found entry after entry, out of order
  // too, and a wildcard entry added later still takes only what no
  // earlier entry does; one standing first takes everything.
  TPendingList listed;
  for (const char* n : {"Data\\a", "Data\\b", "Data\\c"}) listed.Set(n, Array<String>());
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(FindCopyEntry(listed, "Data\\A"), 0);
    EXPECT_EQ(FindCopyEntry(listed, "Data\\b"), 1);
    EXPECT_EQ(FindCopyEntry(listed, "Data\\a"), 0);
    EXPECT_EQ(FindCopyEntry(listed, "Data\\c"), 2);
    EXPECT_EQ(FindCopyEntry(listed, "Data\\d"), round == 0 ? -1 : 3);
    listed.Set("Data\\*", Array<String>());
  }
  listed.Clear();
  listed.Set("Data\\*", Array<String>());
  listed.Set("Data\\a", Array<String>());
  EXPECT_EQ(FindCopyEntry(listed, "Data\\a"), 0);
}

TEST(CopyEntries, WildcardTargetsKeepSubfoldersAndNeverClimbOut) {
  String target;
  EXPECT_TRUE(CopyTarget("Data\\*.dll", "C:\\App\\*.dll", "Data\\sub\\y.dll", target));
  EXPECT_EQ(target, "C:\\App\\sub\\y.dll");
  EXPECT_TRUE(CopyTarget("Data\\a.txt", "C:\\App\\..\\b.txt", "Data\\a.txt", target));
  EXPECT_EQ(target, "C:\\App\\..\\b.txt");  // the publisher's own name stands
  for (const char* name : {"Data\\..\\evil.dll", "Data\\sub\\..\\..\\evil.dll", "Data\\... \\x.dll",
                           "Data\\.\\x.dll", "Data\\C:x.dll"}) {
    EXPECT_FALSE(CopyTarget("Data\\*.dll", "C:\\App\\*.dll", name, target)) << name;
  }
  EXPECT_TRUE(CopyTarget("Data\\*", "C:\\App\\*", "Data\\..x\\a.b.", target));
}

TEST(CopyEntries, SharedDllsNamesKeepTheirApostrophes) {
  EXPECT_EQ(SharedDllsValuePath("C:\\O'Brien\\x.dll"),
            "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs\\'C:\\O''Brien\\x.dll'");
}

}  // namespace
