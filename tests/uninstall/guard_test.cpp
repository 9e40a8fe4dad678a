// What a damaged or edited install log can reach, and how its lines read.
#include "uninstall/guard.h"
#include "install/log.h"
#include "testing.h"
#include "uninstall/uninstall.h"

using namespace osin;

TEST(Guard, OnlyFullPathsOfTheLoggedFormPass) {
  for (const char* good : {"C:\\Program Files\\Osin Demo", "c:\\a\\b.txt", "\\\\server\\share\\app\\x.dll",
                           "C:\\Acme, Inc\\O'Brien\\a=b.txt"}) {
    EXPECT_TRUE(IsFullPath(good)) << good;
  }
  for (const char* bad :
       {"", "C:", "C:\\", "C:\\.", "a\\b", "\\a\\b", "C:\\a\\..\\Windows", "C:\\a\\\\b", "C:\\a\\",
        "C:\\a\\*.dll", "C:\\a:stream", "\\\\server", "\\\\server\\share", "\\\\\\share\\x", "C:/a/b"}) {
    EXPECT_FALSE(IsFullPath(bad)) << bad;
  }
}

TEST(Guard, RootsSystemFoldersAndTheirAncestorsAreProtected) {
  StringList system;
  system.Add("C:\\Windows");
  system.Add("C:\\Users\\Bob\\Start Menu\\Programs\\");
  system.Add("");
  for (const char* kept : {"C:\\", "C:", "\\\\srv\\share", "C:\\windows", "C:\\Windows\\", "C:\\Users",
                           "C:\\Users\\Bob", "c:\\users\\bob\\start menu\\programs", "relative\\x"}) {
    EXPECT_TRUE(IsProtectedFolder(kept, system)) << kept;
  }
  for (const char* goes : {"C:\\Windows\\Osin", "C:\\Users\\Bob\\Start Menu\\Programs\\Osin Demo",
                           "C:\\Program Files\\Osin Demo", "C:\\Win"}) {
    EXPECT_FALSE(IsProtectedFolder(goes, system)) << goes;
  }
  EXPECT_TRUE(IsBelow("C:\\a\\b\\c", "c:\\A\\"));
  EXPECT_FALSE(IsBelow("C:\\ab", "C:\\a"));
  EXPECT_FALSE(IsBelow("C:\\a", "C:\\a"));
}

TEST(Guard, TheSystemsKeysAndTheKeysAboveThemAreProtected) {
  for (const char* kept : {"HKLM", "HKLM\\", "HKLM\\SOFTWARE", "HKCU\\Software\\", "HKCR\\CLSID",
                           "HKLM\\SOFTWARE\\Microsoft", "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                           "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                           "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\",
                           "HKLM\\SOFTWARE\\Classes\\CLSID", "HKLM\\SYSTEM\\CurrentControlSet\\Services",
                           "HKU\\.DEFAULT\\Software\\Microsoft", "hklm\\Software\\X", "HKXX\\Software\\X"}) {
    EXPECT_TRUE(IsProtectedKey(kept)) << kept;
  }
  for (const char* goes :
       {"HKCU\\Software\\Osin Demo",
        "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
        "Uninstall\\Osin Demo",
        "HKCR\\CLSID\\{12345678-0000-0000-0000-000000000000}", "HKCU\\Software\\Acme\\Tool\\"}) {
    EXPECT_FALSE(IsProtectedKey(goes)) << goes;
  }
  // A file type the installation made may go once empty, though it lies
  // right below a root.
  EXPECT_TRUE(IsProtectedKey("HKCR\\.osin") && IsClassKey("HKCR\\.osin\\") &&
              IsClassKey("HKCR\\Osin.Document"));
  for (const char* other :
       {"HKCR", "HKCR\\", "HKCR\\CLSID\\{1}", "HKCU\\Software", "HKLM\\SOFTWARE\\Classes\\.osin"}) {
    EXPECT_FALSE(IsClassKey(other)) << other;
  }
}

TEST(Guard, LogLinesReadAsTheWriterWritesThem) {
  TLogRecord r;
  // Kinds without a value: everything but the final "=" is the key.
  ASSERT_TRUE(ParseLogLine(kLogCopyFiles, "C:\\a=b\\x.txt=", r));
  EXPECT_EQ(r.Key, "C:\\a=b\\x.txt");
  EXPECT_FALSE(ParseLogLine(kLogCopyFiles, "C:\\App\\trunca", r)) << "a line cut short";
  EXPECT_FALSE(ParseLogLine(kLogCreateDirs, "C:\\App=value", r)) << "a value where none belongs";
  EXPECT_FALSE(ParseLogLine(kLogShortcuts, "=", r));
  // AddReg: a value name in apostrophes may hold "=", "\" and doubled
  // apostrophes; the data keeps its quotes and "#".
  ASSERT_TRUE(ParseLogLine(kLogAddReg, "HKCU\\Software\\X\\'a=b\\c''d'='Hello, world'", r));
  EXPECT_EQ(r.Key, "HKCU\\Software\\X\\'a=b\\c''d'");
  EXPECT_EQ(r.Value, "'Hello, world'");
  ASSERT_TRUE(ParseLogLine(kLogAddReg, "HKCU\\Software\\X\\Runs=#1", r));
  EXPECT_EQ(r.Key, "HKCU\\Software\\X\\Runs");
  EXPECT_EQ(r.Value, "#1");
  EXPECT_FALSE(ParseLogLine(kLogAddReg, "HKCU\\Software\\X\\'unclosed=1", r));
  ASSERT_TRUE(ParseLogLine(kLogAddIni, "C:\\W\\win.ini,Osin Demo,Path=C:\\a=b", r));
  EXPECT_EQ(r.Key, "C:\\W\\win.ini,Osin Demo,Path");
  EXPECT_EQ(r.Value, "C:\\a=b");
  ASSERT_TRUE(ParseLogLine(kLogAddIni, "C:\\a=b\\x.ini,S,K=1,2=3", r)) << "a file's path holding \"=\"";
  EXPECT_EQ(r.Key, "C:\\a=b\\x.ini,S,K");
  EXPECT_EQ(r.Value, "1,2=3");
}

TEST(Guard, EntriesOfTheWholeMachineNeedAnAdministrator) {
  StringList machine;
  machine.Add("C:\\Program Files\\");
  machine.Add("C:\\WINDOWS");
  // Registry entries by their root; servers, fonts and shared counts always.
  EXPECT_TRUE(NeedsAdministrator(kLogAddReg, "hklm\\Software\\Acme\\Path", machine));
  EXPECT_TRUE(NeedsAdministrator(kLogCreateKeys, "HKCR\\.acme", machine));
  EXPECT_FALSE(NeedsAdministrator(kLogAddReg, "HKCU\\Software\\Acme\\Path", machine));
  EXPECT_FALSE(NeedsAdministrator(kLogCreateKeys, "HKLMX\\Acme", machine));
  for (int kind : {kLogRegServers, kLogRegFonts, kLogSharedFiles})
    EXPECT_TRUE(NeedsAdministrator(kind, "C:\\Users\\me\\x.dll", machine)) << kind;
  // Files, folders and INI files by where they are.
  EXPECT_TRUE(NeedsAdministrator(kLogCopyFiles, "c:\\program files\\Acme\\a.exe", machine));
  EXPECT_TRUE(NeedsAdministrator(kLogCreateDirs, "C:\\Program Files", machine));
  EXPECT_TRUE(NeedsAdministrator(kLogAddIni, "C:\\Windows\\win.ini,Acme,Path", machine));
  EXPECT_FALSE(NeedsAdministrator(kLogCopyFiles, "C:\\Program Files Old\\a.exe", machine));
  EXPECT_FALSE(NeedsAdministrator(kLogShortcuts, "C:\\Users\\me\\Desktop\\Acme.lnk", machine));
  EXPECT_FALSE(NeedsAdministrator(kLogAddIni, "C:\\Users\\me\\acme.ini,Main,Path", machine));
}

TEST(Guard, AnIniRecordSplitsAtItsLastTwoCommas) {
  String file, section, key;
  ASSERT_TRUE(SplitIniRecord("C:\\Acme, Inc\\app.ini,Main,Path", file, section, key));
  EXPECT_EQ(file, "C:\\Acme, Inc\\app.ini");
  EXPECT_EQ(section, "Main");
  EXPECT_EQ(key, "Path");
  EXPECT_FALSE(SplitIniRecord("C:\\app.ini,Main", file, section, key));
  EXPECT_FALSE(SplitIniRecord("app.ini,Main,Key", file, section, key)) << "not a full path";
  EXPECT_FALSE(SplitIniRecord("C:\\app.ini,Main,", file, section, key));
}

TEST(Guard, TheCommandLineNamesTheLogAndMaySaySilent) {
  TUninstallOptions o;
  ASSERT_TRUE(ParseUninstallCommandLine("\"C:\\Program Files\\Osin Demo\\Install.log\"", o));
  EXPECT_EQ(o.LogFile, "C:\\Program Files\\Osin Demo\\Install.log");
  EXPECT_FALSE(o.Silent);
  ASSERT_TRUE(ParseUninstallCommandLine("  /s C:\\App\\Install.log ", o));
  EXPECT_EQ(o.LogFile, "C:\\App\\Install.log");
  EXPECT_TRUE(o.Silent);
  ASSERT_TRUE(ParseUninstallCommandLine("\"C:\\App\\Install.log\" /S", o));
  EXPECT_TRUE(o.Silent);
  for (const char* bad :
       {"", "/S", "\"C:\\unclosed", "C:\\a.log C:\\b.log", "/X C:\\a.log", "C:\\Program Files\\x"})
    EXPECT_FALSE(ParseUninstallCommandLine(bad, o)) << bad;
}

TEST(Guard, TheSetupProgramsQuietSwitchesAndARunLogServeScripts) {
  TUninstallOptions o;
  // What a deployment tool passes to every setup and uninstaller.
  ASSERT_TRUE(ParseUninstallCommandLine(
      "\"C:\\My App\\Install.log\" /verysilent /SUPPRESSMSGBOXES /NORESTART /LOG=\"C:\\My Logs\\un.log\"",
      o));
  EXPECT_EQ(o.LogFile, "C:\\My App\\Install.log");
  EXPECT_TRUE(o.Silent);
  EXPECT_EQ(o.RunLog, "C:\\My Logs\\un.log");
  ASSERT_TRUE(ParseUninstallCommandLine("\"/LOG=C:\\a b.txt\" /SILENT C:\\App\\Install.log", o));
  EXPECT_EQ(o.RunLog, "C:\\a b.txt");
  EXPECT_TRUE(o.Silent);
  ASSERT_TRUE(ParseUninstallCommandLine("C:\\App\\Install.log -s -LOG=\"C:\\My Logs\\un.log\"", o));
  EXPECT_TRUE(o.Silent);
  EXPECT_EQ(o.RunLog, "C:\\My Logs\\un.log");
  // A mistake in a script's line still asks nothing and still logs.
  EXPECT_FALSE(ParseUninstallCommandLine("/VERYSILENT /LOG=C:\\un.log /DIR=C:\\x C:\\App\\Install.log", o));
  EXPECT_TRUE(o.Silent);
  EXPECT_EQ(o.RunLog, "C:\\un.log");
  for (const char* bad : {"/LOG= C:\\a.log", "/SILENT=1 C:\\a.log", "/LOG=C:\\x.log"})
    EXPECT_FALSE(ParseUninstallCommandLine(bad, o)) << bad;
}
