// Whole uninstallations: what the engine's own steps installed and logged
// (files, shared files, a server, a font, a shortcut, registry values and
// keys, INI keys, the registration) is taken back, what others own stays,
// and damaged logs, failures and files in use end as the user is told.
#include <windows.h>

#include <aclapi.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include "config/profile.h"
#include "config/registry.h"
#include "install/copyentry.h"
#include "install/enginetest.h"
#include "install/log.h"
#include "install/pending.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "platform/runlog.h"
#include "platform/shelllink.h"
#include "platform/sysutils.h"
#include "platform/text.h"
#include "ui/msgbox.h"
#include "ui/wintext.h"
#include "uninstall/guard.h"
#include "uninstall/uninstall.h"

using namespace osin;

namespace {

const char kBase[] = "HKCU\\Software\\OsinUninstallTest";
const char kServerKey[] = "HKCU\\Software\\OsinTests\\RegisterServer\\";
const char kFontsNT[] = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts\\OsinMark.ttf";
const char kProgram[] = "Osin Uninstall Test";
const char kFileType[] = "HKCR\\.osinuninstalltest";
// A registration of a 32-bit setup: on a 64-bit system the other view.
const char kOther32[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Osin Uninstall Test Other";

// Dates the file's last write a minute from now: written after the
// installation.
bool WrittenLater(const String& path) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER later{{now.dwLowDateTime, now.dwHighDateTime}};
  later.QuadPart += 600000000;
  FILETIME changed{later.LowPart, later.HighPart};
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  bool ok = file != INVALID_HANDLE_VALUE && SetFileTime(file, nullptr, nullptr, &changed);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return ok;
}

Array<String> Fields(std::initializer_list<const char*> texts) {
  Array<String> fields;
  for (const char* text : texts) fields.Add(text);
  return fields;
}

// The whole list of renames waiting for the next start: it outgrows what
// the program's own registry reads accept once a few test runs have queued
// to it, since the prefix never restarts.
String PendingRenames() {
  HKEY key;
  std::vector<char> data;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ,
                    &key) == ERROR_SUCCESS) {
    DWORD size = 0;
    if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr, nullptr, &size) ==
        ERROR_SUCCESS) {
      data.resize(size);
      if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr,
                           reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
        data.clear();
    }
    RegCloseKey(key);
  }
  return String(data.data(), static_cast<int>(data.size()));
}

class Uninstall : public EngineTest {
 protected:
  void SetUp() override {
    logName_ = "App\\Install.log";
    answer_ = kBoxResultYes;
    EngineTest::SetUp();
    registration_ = String(kUninstallRoot) + kProgram;
    ASSERT_TRUE(StartCom());
    Clean();
  }
  void TearDown() override {
    Clean();
    EndCom();
    EngineTest::TearDown();
  }
  void Clean() {
    DeleteRegKey(kBase);
    DeleteRegKey(registration_);
    DeleteRegKey("HKCU\\Software\\OsinTests\\RegisterServer");
    DeleteRegValue(kFontsNT);
    DeleteRegKey(kFileType);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kOther32, KEY_WOW64_32KEY, 0);
  }
  // The registration the installation writes at its end.
  void Register() {
    ForceKeyLogged(log_, registration_);
    WriteRegString(registration_ + "\\DisplayName", kProgram);
    WriteRegString(registration_ + "\\UninstallString", "C:\\windows\\UnOsin.exe \"" + log_.FileName + "\"");
  }
  // The INI step writes the key Path of section First into each of Files.
  void WriteFirstPath(std::initializer_list<String> files) {
    TPendingList changes;
    for (const String& file : files) {
      TPendingEntry entry;
      entry.NameParts = Fields({file.c_str(), "First", "Path"});
      entry.Name = file + ",First,Path";
      entry.Fields = Fields({"C:\\First"});
      changes.Set(entry);
    }
    ASSERT_TRUE(ApplyIniChanges(changes, log_));
  }
  int Run(bool silent) {
    DropAllStores();
    TUninstallOptions options;
    options.LogFile = log_.FileName;
    options.Silent = silent;
    return RunUninstall(options);
  }
  String registration_;
};

TEST_F(Uninstall, EverythingTheStepsLoggedGoesAndWhatOthersOwnStays) {
  String app = Path("App"), common = Path("Common");
  ASSERT_TRUE(ForceFolderLogged(log_, Join(app, "Docs")));
  ASSERT_TRUE(ForceFolders(common));
  // Files, a server and a font, as the file phase logs them.
  for (const char* name : {"App\\app.exe", "App\\Docs\\manual.txt", "App\\O'Brien=1.txt"}) {
    ASSERT_TRUE(WriteBytes(Path(name), name));
    WriteLogEntry(log_, kLogCopyFiles, Path(name), String());
  }
  String server = Join(app, "srv.dll"), font = Join(app, "OsinMark.ttf");
  ASSERT_TRUE(CopyFileA(OSIN_FIXTURE_REGSERVER, server.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(OSIN_DEMO_FONT, font.c_str(), FALSE));
  WriteLogEntry(log_, kLogCopyFiles, server, String());
  WriteLogEntry(log_, kLogCopyFiles, font, String());
  // A "server" that is no library: its registration failed at installation
  // (and said so), so there is nothing to take back and nothing to report.
  String junk = Join(app, "junk.dll");
  ASSERT_TRUE(WriteBytes(junk, "MZ no library"));
  WriteLogEntry(log_, kLogCopyFiles, junk, String());
  WriteLogEntry(log_, kLogRegServers, junk, String());
  // Shared files: one another program counts too (it stays, its count goes
  // back), one only this installation counted (it goes), one another
  // program installed and this one passed over and counted last (the user
  // is asked about it too).
  String sharedKept = Join(common, "kept.dll"), sharedGone = Join(app, "gone.dll"),
         sharedSkipped = Join(common, "skipped.dll");
  for (const String& f : {sharedKept, sharedGone, sharedSkipped}) ASSERT_TRUE(WriteBytes(f, "MZ"));
  WriteRegInteger(SharedDllsValuePath(sharedKept), 2);
  WriteRegInteger(SharedDllsValuePath(sharedGone), 1);
  WriteRegInteger(SharedDllsValuePath(sharedSkipped), 1);
  WriteLogEntry(log_, kLogCopyFiles, sharedKept, String());
  WriteLogEntry(log_, kLogCopyFiles, sharedGone, String());
  for (const String& f : {sharedKept, sharedGone, sharedSkipped})
    WriteLogEntry(log_, kLogSharedFiles, f, String());

  TPendingList servers, fonts, additions, none, ini, links;
  servers.Set(server, Fields({"1", "1"}));
  ASSERT_TRUE(RegisterServers(servers, log_));
  fonts.Set(font, Array<String>());
  ASSERT_TRUE(RegisterFonts(fonts, Path("Fonts\\"), log_));
  // Registry: the product's key (with a value the program adds itself
  // later), and a value that was there before the installation.
  String product = String(kBase) + "\\Vendor\\Product";
  ASSERT_TRUE(WriteRegString(String(kBase) + "\\Before", "mine"));
  additions.Set(product + "\\Path", Fields({app.c_str()}));
  additions.Set(product + "\\'a\\b'", Fields({"#7"}));
  additions.Set(String(kBase) + "\\Before", Fields({"changed"}));
  additions.Set(String(kFileType) + "\\", Fields({"Osin.Document"}));
  ASSERT_TRUE(ApplyRegistryChanges(additions, none, log_));
  ASSERT_TRUE(WriteRegString(product + "\\Settings\\Window", "maximized"));
  // INI: a key in a file others own comes out byte for byte; a file the
  // step made goes, and so do the folders made for it (not logged).
  String shared = Path("shared.ini"), own = Join(app, "Config\\Sub\\app.ini");
  const std::string original = "; comment\r\n[Other]\r\nk = v\r\n";
  ASSERT_TRUE(WriteBytes(shared, original));
  TPendingEntry entry;
  entry.NameParts = Fields({shared.c_str(), "Osin Demo", "Path"});
  entry.Name = shared + ",Osin Demo,Path";
  entry.Fields = Fields({"C:\\x"});
  ini.Set(entry);
  entry.NameParts = Fields({own.c_str(), "Main", "Key"});
  entry.Name = own + ",Main,Key";
  ini.Set(entry);
  ASSERT_TRUE(ApplyIniChanges(ini, log_));
  ASSERT_NE(ReadBytes(shared), original);
  ASSERT_TRUE(ForceFolders(Path("Menu")));
  String menu = Path("Menu\\Osin Demo");
  links.Set(Join(menu, "Read Me"), Fields({"C:\\windows\\notepad.exe"}));
  ASSERT_TRUE(CreateShortcuts(links, log_));
  Register();
  // A Russian question (code page 1251), whatever the system's code page.
  ASSERT_TRUE(WriteRegString(registration_ + "\\Language", "Rus"));
  WriteLogSection(log_, "Strings", "2", "Remove %ProgramName%?||\xD3\xE4\xE0\xEB\xE8\xF2\xFC?");
  // Another product of the vendor, installed later into the vendor's key.
  ASSERT_TRUE(WriteRegString(String(kBase) + "\\Vendor\\Other\\Path", "C:\\Other"));

  // Another program's newer copy of a shared file is no change of the user's.
  DropAllStores();
  ASSERT_TRUE(WrittenLater(sharedGone));
  // A tool marked a folder the installation made read-only, which Windows
  // (not Wine) then refuses to remove.
  ASSERT_TRUE(SetFileAttributesA(Join(app, "Docs").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(Run(false), kUninstallDone);
  ASSERT_EQ(boxes_.size(), 4u);
  EXPECT_EQ(boxes_[0], "Remove Osin Uninstall Test?\r\n\xD3\xE4\xE0\xEB\xE8\xF2\xFC?")
      << "the log's text, its line break made";
  // Read as the box reads it on the NT line.
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(Widen(String(boxes_[0].c_str()), true).c_str())),
            L"Remove Osin Uninstall Test?\r\n\u0423\u0434\u0430\u043B\u0438\u0442\u044C?");
  SetLanguageCharset(DEFAULT_CHARSET);
  EXPECT_NE(boxes_[1].find("Remove the shared file?\r\n\r\n" + ToStd(sharedSkipped)), std::string::npos)
      << boxes_[1];
  EXPECT_NE(boxes_[2].find("Remove the shared file?\r\n\r\n" + ToStd(sharedGone)), std::string::npos)
      << "asked about the ones whose count reached zero: " << boxes_[2];
  EXPECT_EQ(boxes_[3], "Osin Uninstall Test has been removed from your computer.") << "the English fallback";

  EXPECT_FALSE(EntryExists(app)) << "files, the log and then the emptied folders went";
  EXPECT_FALSE(EntryExists(Path("Menu\\Osin Demo")));
  EXPECT_TRUE(FolderExists(Path("Menu"))) << "not made by the installation";
  EXPECT_TRUE(FileExists(sharedKept));
  EXPECT_FALSE(FileExists(sharedSkipped)) << "the answer was Remove";
  EXPECT_EQ(ReadRegInteger(SharedDllsValuePath(sharedKept), -1), 1);
  EXPECT_FALSE(RegValueExists(SharedDllsValuePath(sharedGone)));
  EXPECT_FALSE(RegValueExists(SharedDllsValuePath(sharedSkipped))) << "its count reached zero";
  EXPECT_EQ(ReadRegString(String(kServerKey) + "Unregistered", ""),
            ReadRegString(String(kServerKey) + "Ran", "x"));
  EXPECT_FALSE(RegValueExists(kFontsNT));
  EXPECT_EQ(ReadBytes(shared), original);
  EXPECT_FALSE(RegKeyExists(product)) << "with the value the program added";
  EXPECT_FALSE(RegKeyExists(kFileType)) << "the file type, emptied, goes";
  EXPECT_EQ(ReadRegString(String(kBase) + "\\Before", ""), "changed") << "not the installation's";
  EXPECT_EQ(ReadRegString(String(kBase) + "\\Vendor\\Other\\Path", ""), "C:\\Other");
  EXPECT_FALSE(RegKeyExists(registration_));
  EXPECT_FALSE(FaultPending()) << ToStd(TakeFault());
  DeleteRegValue(SharedDllsValuePath(sharedKept));
}

TEST_F(Uninstall, WhatASecondProgramSharesOrWritesAfterwardsStays) {
  // This program made the INI file for its key and installed into the
  // fonts folder a font that a second program, installed afterwards,
  // counts and uses as well; that program then wrote its own key into the
  // same INI file.
  const String fontsFolder = AddBackslash(ShellFolderPath(CSIDL_FONTS));
  String common = Path("Common"), ini = Join(common, "shared.ini"), font = fontsFolder + "OsinKept.ttf";
  ASSERT_TRUE(ForceFolderLogged(log_, common));
  ASSERT_TRUE(CopyFileA(OSIN_DEMO_FONT, font.c_str(), FALSE));
  WriteLogEntry(log_, kLogCopyFiles, font, String());
  WriteLogEntry(log_, kLogSharedFiles, font, String());
  WriteRegInteger(SharedDllsValuePath(font), 2);
  TPendingList fonts;
  fonts.Set(font, Array<String>());
  ASSERT_TRUE(RegisterFonts(fonts, fontsFolder, log_));
  String fontValue = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts\\OsinKept.ttf";
  ASSERT_EQ(ReadRegString(fontValue, String()), "OsinKept.ttf") << "in the fonts folder: by its name";
  // Its own INI file, installed with defaults, gets a key too.
  String own = Join(common, "own.ini");
  ASSERT_TRUE(WriteBytes(own, "[Defaults]\r\nA=1\r\n"));
  WriteLogEntry(log_, kLogCopyFiles, own, String());
  WriteFirstPath({ini, own});
  ASSERT_NE(LogText().find(ToStd(ini) + "=\r\n"), std::string::npos)
      << "made by the installation: " << LogText();
  ASSERT_TRUE(WriteBytes(ini, ReadBytes(ini) + "[Second]\r\nPath=C:\\Second\r\n"));
  // A file of this program's that its user changed after the installation.
  String notes = Join(common, "notes.txt");
  ASSERT_TRUE(WriteBytes(notes, "installed"));
  WriteLogEntry(log_, kLogCopyFiles, notes, String());
  Register();
  DropAllStores();
  ASSERT_TRUE(WrittenLater(notes) && WrittenLater(ini));

  EXPECT_EQ(Run(false), kUninstallDone);
  EXPECT_EQ(ReadBytes(ini), "[Second]\r\nPath=C:\\Second\r\n") << "only this program's key went";
  EXPECT_TRUE(FileExists(font));
  EXPECT_EQ(ReadRegInteger(SharedDllsValuePath(font), 0), 1);
  EXPECT_EQ(ReadRegString(fontValue, String()), "OsinKept.ttf")
      << "the second program's font still loads at the start";
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(ReadBytes(notes), "installed");
  EXPECT_FALSE(FileExists(own)) << "nobody wrote to it since the installation";
  EXPECT_NE(
      boxes_[1].find(
          "removed from your computer.\r\n\r\nThese files were changed after the installation "
          "and were left in place:\r\n" +
          ToStd(notes) + "\r\n\r\nThese folders still hold other files and were left in place:\r\n" +
          ToStd(common) +
          "\r\n\r\nThese files also hold entries of other programs and were left in place:\r\n" + ToStd(ini)),
      std::string::npos)
      << boxes_[1];

  // The second program goes too: its key was the file's last, and an empty
  // file is nobody's; it counted the font last, which goes when the user
  // says so, and with it its value.
  log_.FileName = Path("Second.log");
  WriteLogEntry(log_, kLogAddIni, ini + ",Second,Path", "C:\\Second");
  WriteLogEntry(log_, kLogSharedFiles, font, String());
  EXPECT_EQ(Run(true), kUninstallDone);
  EXPECT_TRUE(FileExists(font)) << "without questions, another program's file stays";
  EXPECT_FALSE(FileExists(ini));
  WriteRegInteger(SharedDllsValuePath(font), 1);
  WriteLogEntry(log_, kLogSharedFiles, font, String());
  boxes_.clear();
  EXPECT_EQ(Run(false), kUninstallDone);
  EXPECT_FALSE(FileExists(font));
  EXPECT_FALSE(RegValueExists(fontValue));
  EXPECT_FALSE(RegValueExists(SharedDllsValuePath(font)));
  EXPECT_EQ(boxes_.size(), 3u) << "the question, the shared file's, the end";
  DeleteRegValue(fontValue);
  RemoveFontResourceA(font.c_str());
  DeleteFileA(font.c_str());
  DeleteRegValue(SharedDllsValuePath(font));
}

TEST_F(Uninstall, ASetupRunRightAfterAndACurrentFolderInsideKeepNothingOfOthersNorLeaveEmptyFolders) {
  // This program made an INI file for its key and its folder, and counted
  // a shared file last in a folder that another program, gone before, made.
  String app = Path("App"), ini = Path("App\\settings.ini"), vendor = Path("Common\\Vendor");
  String dll = Join(vendor, "vendor.dll");
  ASSERT_TRUE(ForceFolderLogged(log_, app));
  ASSERT_TRUE(ForceFolders(vendor) && WriteBytes(dll, "MZ"));
  WriteLogEntry(log_, kLogCopyFiles, dll, String());
  WriteLogEntry(log_, kLogSharedFiles, dll, String());
  WriteRegInteger(SharedDllsValuePath(dll), 1);
  WriteFirstPath({ini});
  Register();
  DropAllStores();
  // A second setup, run by a deployment script at once, adds its own key.
  ASSERT_TRUE(WriteBytes(ini, ReadBytes(ini) + "[Second]\r\nPath=C:\\Second\r\n"));
  // Started from a command prompt in the program's folder.
  char before[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, before);
  ASSERT_TRUE(SetCurrentDirectoryA(app.c_str()));

  EXPECT_EQ(Run(true), kUninstallDone);
  SetCurrentDirectoryA(before);
  EXPECT_EQ(ReadBytes(ini), "[Second]\r\nPath=C:\\Second\r\n") << "the second setup's key stays";
  EXPECT_FALSE(FileExists(dll));
  EXPECT_FALSE(FolderExists(vendor)) << "emptied with the last shared file";
  EXPECT_TRUE(FolderExists(Path("Common"))) << "only the shared file's own folder";
  // With the INI file gone too, nothing holds the folder open any more.
  ASSERT_TRUE(DeleteFileA(ini.c_str()));
  log_.FileName = Path("Again.log");
  WriteLogEntry(log_, kLogCreateDirs, app, String());
  ASSERT_TRUE(WriteBytes(Join(app, "a.txt"), "a"));
  WriteLogEntry(log_, kLogCopyFiles, Join(app, "a.txt"), String());
  // Folders the program made as it ran, and left empty.
  ASSERT_TRUE(ForceFolders(Join(app, "Logs\\Old")) && ForceFolders(Join(app, "Cache")));
  ASSERT_TRUE(SetCurrentDirectoryA(app.c_str()));
  EXPECT_EQ(Run(true), kUninstallDone);
  SetCurrentDirectoryA(before);
  EXPECT_FALSE(FolderExists(app)) << "the current folder was inside it, or empty folders";
}

TEST_F(Uninstall, ARunEndedHalfwayAndStartedAnewLowersNoCountTwice) {
  // A shared file a second program still counts, and one only this program
  // counts (the later one in the log: its count is lowered first), in a
  // folder whose name holds "=".
  String kept = Path("Common=1\\kept.dll"), last = Path("Common=1\\last.dll");
  ASSERT_TRUE(ForceFolders(Path("Common=1")) && WriteBytes(kept, "MZ") && WriteBytes(last, "MZ"));
  for (const String& file : {last, kept}) {
    WriteLogEntry(log_, kLogCopyFiles, file, String());
    WriteLogEntry(log_, kLogSharedFiles, file, String());
  }
  WriteRegInteger(SharedDllsValuePath(kept), 2);
  WriteRegInteger(SharedDllsValuePath(last), 1);
  Register();
  DropAllStores();
  // The run is ended while it asks about the file no program counts any
  // more: a new run meets the log as it stands then.
  // A second run started meanwhile (a double click) must not lower them
  // again either.
  struct Halfway {
    String log;
    std::string text;
    int second;
  } halfway{log_.FileName, std::string(), -1};
  SetBoxHook(
      [](void* context, const String&, const String& text, uint32_t) {
        auto* h = static_cast<Halfway*>(context);
        if (!text.Pos("shared file")) return int(kBoxResultYes);
        h->text = ReadBytes(h->log);
        TUninstallOptions again;
        again.LogFile = h->log;
        again.Silent = true;
        h->second = RunUninstall(again);
        return int(kBoxResultNo);
      },
      &halfway);
  EXPECT_EQ(Run(false), kUninstallDone);
  EXPECT_EQ(halfway.second, kUninstallNoLog) << "a second run while the first asks";
  ASSERT_FALSE(halfway.text.empty()) << "asked about " << ToStd(last);
  ASSERT_TRUE(WriteBytes(log_.FileName, halfway.text));
  EXPECT_EQ(ReadRegInteger(SharedDllsValuePath(kept), 0), 1);

  EXPECT_EQ(Run(true), kUninstallDone);
  EXPECT_EQ(ReadRegInteger(SharedDllsValuePath(kept), 0), 1) << "the second program's count is left alone";
  EXPECT_TRUE(FileExists(kept));
  EXPECT_FALSE(FileExists(last)) << "without questions, its own file that nobody counts goes";
  DeleteRegValue(SharedDllsValuePath(kept));
}

TEST_F(Uninstall, AFileInUseGoesAtRestartAndAFailureStaysInTheLogForAnotherRun) {
  String app = Path("App"), busy = Path("App\\busy.dll"), ini = Path("App\\locked.ini");
  ASSERT_TRUE(ForceFolderLogged(log_, app));
  ASSERT_TRUE(WriteBytes(busy, "MZ") && WriteBytes(ini, "[S]\r\nOther=1\r\n"));
  WriteLogEntry(log_, kLogCopyFiles, busy, String());
  WriteLogEntry(log_, kLogAddIni, ini + ",S,Key", "1");
  WriteLogEntry(log_, kLogAddReg, String(kBase) + "\\Value", "1");
  ASSERT_TRUE(WriteRegString(String(kBase) + "\\Value", "1"));
  // A file another program counts too.
  String shared = Path("Common\\shared.dll");
  ASSERT_TRUE(ForceFolders(Path("Common")) && WriteBytes(shared, "MZ"));
  WriteLogEntry(log_, kLogCopyFiles, shared, String());
  WriteLogEntry(log_, kLogSharedFiles, shared, String());
  WriteRegInteger(SharedDllsValuePath(shared), 2);
  Register();
  DropAllStores();
  // The log marked read-only, as copied from a CD: the run still notes
  // what it did there, or the next would lower the count again.
  ASSERT_TRUE(SetFileAttributesA(log_.FileName.c_str(), FILE_ATTRIBUTE_READONLY));
  // A running program has loaded a library of the installation, which
  // cannot be deleted then but may be renamed.
  String loaded = Path("App\\loaded.dll");
  ASSERT_TRUE(CopyFileA(OSIN_FIXTURE_V15, loaded.c_str(), FALSE));
  WriteLogEntry(log_, kLogCopyFiles, loaded, String());
  DropAllStores();
  HMODULE library = LoadLibraryA(loaded.c_str());
  ASSERT_NE(library, nullptr);
  // Another program holds the DLL (it may be read) and the INI file (not
  // even that).
  HANDLE holder =
      CreateFileA(busy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE iniHolder = CreateFileA(ini.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  ASSERT_NE(iniHolder, INVALID_HANDLE_VALUE);
  // Folders the program made while it ran, left empty.
  for (const char* empty : {"Addins", "Cache", "Logs\\Old"}) ASSERT_TRUE(ForceFolders(Join(app, empty)));

  String runLog = Path("run.log");
  ASSERT_TRUE(OpenRunLog(runLog));
  EXPECT_EQ(Run(true), kUninstallIncomplete);
  CloseRunLog();
  EXPECT_TRUE(boxes_.empty()) << "silent";
  // What failed is named with the system's reason.
  std::string said = ReadBytes(runLog), failed = "Not removed: " + ToStd(ini) + ",S,Key (";
  EXPECT_NE(said.find(failed), std::string::npos) << said;
  EXPECT_NE(said.substr(said.find(failed) + failed.size(), 3).find_first_of(")\r"), 0u) << said;
  EXPECT_FALSE(RegValueExists(String(kBase) + "\\Value"));
  EXPECT_TRUE(FileExists(busy)) << "held open";
  String pending = PendingRenames();
  EXPECT_TRUE(UpperCase(pending).Pos(UpperCase(busy))) << "the file goes at the next start";
  // The loaded library's name is free at once, for a setup run again
  // before the restart, whose new copy the restart leaves.
  EXPECT_FALSE(FileExists(loaded));
  EXPECT_FALSE(UpperCase(pending).Pos(UpperCase(loaded))) << ToStd(pending);
  EXPECT_TRUE(UpperCase(pending).Pos(UpperCase(Join(app, "UNO")))) << ToStd(pending);
  // The folder keeps the log and the INI file that stay: it is not queued
  // to go, nor are its empty folders.
  EXPECT_FALSE(UpperCase(pending).Pos(UpperCase(app) + '\0')) << ToStd(pending);
  EXPECT_FALSE(UpperCase(pending).Pos(UpperCase(Join(app, "Cache")))) << ToStd(pending);
  FreeLibrary(library);
  EXPECT_EQ(ReadBytes(log_.FileName), "[SharedCountsLowered]\r\n" + ToStd(shared) + "=0\r\n\r\n[AddIni]\r\n" +
                                          ToStd(ini) + ",S,Key=1\r\n\r\n[CreateDirs]\r\n" + ToStd(app) +
                                          "=\r\n\r\n[CreateKeys]\r\n" + ToStd(registration_) + "=\r\n\r\n")
      << "only what failed stays, and what still exists of the folders and keys";
  EXPECT_TRUE(RegKeyExists(registration_)) << "so the user can run it again";
  CloseHandle(holder);

  // The cause gone, a second run ends the work.
  CloseHandle(iniHolder);
  // The user marked the folder read-only. (Wine keeps no such mark on
  // folders, so there the mark is looked at only where it is kept.)
  ASSERT_TRUE(SetFileAttributesA(app.c_str(), FILE_ATTRIBUTE_READONLY));
  bool marked = GetFileAttributesA(app.c_str()) & FILE_ATTRIBUTE_READONLY;
  EXPECT_EQ(Run(false), kUninstallDone);
  EXPECT_EQ(ReadBytes(ini), "[S]\r\nOther=1\r\n");
  EXPECT_EQ(ReadRegInteger(SharedDllsValuePath(shared), 0), 1) << "lowered once";
  EXPECT_TRUE(FileExists(shared));
  DeleteRegValue(SharedDllsValuePath(shared));
  EXPECT_FALSE(FileExists(log_.FileName));
  EXPECT_FALSE(RegKeyExists(registration_));
  EXPECT_TRUE(FolderExists(app)) << "it still holds locked.ini, which is not the installation's";
  EXPECT_TRUE(!marked || (GetFileAttributesA(app.c_str()) & FILE_ATTRIBUTE_READONLY)) << "its mark stays";
  for (const char* empty : {"Addins", "Cache", "Logs\\Old"})
    EXPECT_TRUE(FolderExists(Join(app, empty))) << empty << ": nothing goes from a folder that stays";
  EXPECT_EQ(boxes_.size(), 2u) << "the question and the list";
  EXPECT_NE(
      boxes_.back().find("has been removed from your computer.\r\n\r\nThese folders still hold other files "
                         "and were left in place:\r\n" +
                         ToStd(app)),
      std::string::npos)
      << boxes_.back();
}

TEST_F(Uninstall, AFolderWaitingForAFileInUseStaysWhenItHoldsTheUsersFiles) {
  // A file in use and, in a folder of the installation's, one the user
  // added: the folders cannot go at the next start either.
  String app = Path("App"), busy = Path("App\\busy.txt");
  ASSERT_TRUE(ForceFolderLogged(log_, Join(app, "Sub")) && WriteBytes(busy, "busy"));
  WriteLogEntry(log_, kLogCopyFiles, busy, String());
  ASSERT_TRUE(WriteBytes(Path("App\\Sub\\mine.txt"), "mine"));
  DropAllStores();
  HANDLE holder =
      CreateFileA(busy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  String runLog = Path("run.log");
  ASSERT_TRUE(OpenRunLog(runLog));
  EXPECT_EQ(Run(true), kUninstallRestart);
  CloseRunLog();
  CloseHandle(holder);
  std::string said = ReadBytes(runLog);
  EXPECT_NE(said.find("Left, not empty: " + ToStd(app) + "\r\n"), std::string::npos) << said;
  EXPECT_EQ(said.find("Removed at the next restart: " + ToStd(app) + "\r\n"), std::string::npos) << said;
  String pending = PendingRenames();
  EXPECT_FALSE(UpperCase(pending).Pos(UpperCase(app) + '\0')) << ToStd(pending);

  // Without the user's file, the folder waits for its file, and its empty
  // folders go before it.
  ASSERT_TRUE(DeleteFileA(Path("App\\Sub\\mine.txt").c_str()));
  for (const char* empty : {"Addins", "Cache", "Logs\\Old"}) ASSERT_TRUE(ForceFolders(Join(app, empty)));
  WriteLogEntry(log_, kLogCopyFiles, busy, String());
  WriteLogEntry(log_, kLogCreateDirs, app, String());
  WriteLogEntry(log_, kLogCreateDirs, Join(app, "Sub"), String());
  DropAllStores();
  holder = CreateFileA(busy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  // The prefix never restarts, so earlier runs' requests stay in the list;
  // only what this run appends counts (a scratch name can come again).
  size_t earlier = ToStd(PendingRenames()).size();
  EXPECT_EQ(Run(true), kUninstallRestart);
  CloseHandle(holder);
  std::string added = ToStd(UpperCase(PendingRenames()));
  added.erase(0, std::min(earlier, added.size()));
  auto queued = [&](const char* name) {
    size_t at = added.find(ToStd(UpperCase(*name ? Join(app, name) : app)) + '\0');
    return at == std::string::npos ? 0 : at + 1;
  };
  EXPECT_TRUE(queued("Logs\\Old") && queued("Logs\\Old") < queued("Logs") && queued("Logs") < queued("") &&
              queued("Addins") && queued("Addins") < queued("") && queued("Cache") < queued("") &&
              queued("Sub") < queued(""))
      << added;
}

// Denies everyone the right to change the values of the key (Deny) or
// gives it back.
bool LockValues(const char* key, bool deny, HKEY root = HKEY_CURRENT_USER) {
  HKEY handle;
  if (RegOpenKeyExA(root, key, 0, READ_CONTROL | WRITE_DAC, &handle) != ERROR_SUCCESS) return false;
  EXPLICIT_ACCESS_A rules[2] = {};
  char everyone[] = "EVERYONE";
  // The refusal first, as Windows orders them (Wine keeps the order given).
  BuildExplicitAccessWithNameA(&rules[0], everyone, KEY_SET_VALUE, DENY_ACCESS, NO_INHERITANCE);
  BuildExplicitAccessWithNameA(&rules[1], everyone, KEY_ALL_ACCESS, GRANT_ACCESS, NO_INHERITANCE);
  PACL acl = nullptr;
  bool set = SetEntriesInAclA(deny ? 2 : 1, rules + !deny, nullptr, &acl) == ERROR_SUCCESS &&
             SetSecurityInfo(handle, SE_REGISTRY_KEY,
                             DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                             nullptr, acl, nullptr) == ERROR_SUCCESS;
  LocalFree(acl);
  RegCloseKey(handle);
  return set;
}

TEST_F(Uninstall, ARegistryEntryThatStaysIsNamedWithTheSystemsReason) {
  // A value and a key (with a key in it) that a policy keeps: the key
  // cannot be emptied, so it cannot go either.
  String locked = String(kBase) + "\\Locked", value = locked + "\\Value";
  ForceKeyLogged(log_, locked);
  ASSERT_TRUE(WriteRegString(value, "1") && CreateRegKey(locked + "\\Inner"));
  WriteLogEntry(log_, kLogAddReg, value, "1");
  // Shared files whose counts the policy keeps too: one other programs
  // count as well, and one only this program counts.
  String shared = Path("shared.dll"), own = Path("own.dll");
  for (const String& file : {shared, own}) {
    ASSERT_TRUE(WriteBytes(file, "MZ"));
    WriteLogEntry(log_, kLogCopyFiles, file, String());
    WriteLogEntry(log_, kLogSharedFiles, file, String());
  }
  WriteRegInteger(SharedDllsValuePath(shared), 2);
  WriteRegInteger(SharedDllsValuePath(own), 1);
  const char kShared[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
  Register();
  ASSERT_TRUE(LockValues("Software\\OsinUninstallTest\\Locked", true));
  ASSERT_TRUE(LockValues(kShared, true, HKEY_LOCAL_MACHINE));
  String runLog = Path("run.log");
  ASSERT_TRUE(OpenRunLog(runLog));
  EXPECT_EQ(Run(true), kUninstallIncomplete);
  CloseRunLog();
  std::string said = ReadBytes(runLog), reason = " (" + ToStd(SystemErrorText(ERROR_ACCESS_DENIED)) + ")\r\n";
  for (const String& entry : {value, locked, SharedDllsValuePath(shared), SharedDllsValuePath(own)})
    EXPECT_NE(said.find("Not removed: " + ToStd(entry) + reason), std::string::npos) << said;
  EXPECT_TRUE(RegKeyExists(registration_)) << "so the user can run it again";
  EXPECT_TRUE(FileExists(own)) << "still counted";
  EXPECT_EQ(ReadRegInteger(SharedDllsValuePath(shared), 0), 2);

  // The policy lifted, a second run ends the work.
  ASSERT_TRUE(LockValues("Software\\OsinUninstallTest\\Locked", false));
  ASSERT_TRUE(LockValues(kShared, false, HKEY_LOCAL_MACHINE));
  EXPECT_EQ(Run(true), kUninstallDone);
  EXPECT_FALSE(RegKeyExists(locked));
  EXPECT_FALSE(RegKeyExists(registration_));
  EXPECT_EQ(ReadRegInteger(SharedDllsValuePath(shared), 0), 1) << "lowered once";
  EXPECT_FALSE(FileExists(own)) << "this program's own, no longer counted";
  EXPECT_FALSE(RegValueExists(SharedDllsValuePath(own)));
  DeleteRegValue(SharedDllsValuePath(shared));
}

TEST_F(Uninstall, ASecondByteWithTheCodeOfABackslashEndsNoName) {
  // Run in a Japanese locale by its own test entry.
  if (GetACP() != 932) GTEST_SKIP() << "needs the Japanese code page";
  // "表" ends in the code of "\\", "ポ" in that of "|".
  const String hyo = "\x95\x5C", po = "\x83\x7C";
  String app = Path(hyo + "\\" + po + hyo), file = Join(app, po + ".txt");
  ASSERT_TRUE(ForceFolderLogged(log_, app));
  EXPECT_EQ(LogText(), "[CreateDirs]\r\n" + ToStd(Path(hyo)) + "=\r\n" + ToStd(app) + "=\r\n\r\n");
  // (The system's code page names the file: no std::filesystem.)
  FileHandle made = OpenFileHandle(file, kFileWrite, kShareNone, kAttrNormal, kCreateAlways);
  ASSERT_TRUE(IsOpenFile(made));
  CloseFileHandle(made);
  WriteLogEntry(log_, kLogCopyFiles, file, String());
  String key = String(kBase) + "\\" + hyo + "\\" + po + hyo;
  ASSERT_TRUE(ForceKeyLogged(log_, key));
  TPendingList additions, none;
  additions.Set(key + "\\" + hyo, Fields({"1"}));
  ASSERT_TRUE(ApplyRegistryChanges(additions, none, log_));
  StringList keys, values;
  ReadRegSubkeys(kBase, keys);
  ReadRegValueNames(key, values);
  EXPECT_EQ(ToStd(keys.Text()), ToStd(hyo + "\r\n")) << "no key for half a letter";
  EXPECT_EQ(ToStd(values.Text()), ToStd(hyo + "\r\n"));
  // A script's file mask with such a letter after its wildcard.
  EXPECT_TRUE(NameHasWildcards("Data\\*" + hyo + ".txt"));
  EXPECT_FALSE(NameHasWildcards("Data\\*\\" + hyo + ".txt"));
  // A registration without a display name: the program is named by its key.
  registration_ = String(kUninstallRoot) + "A" + hyo;
  ForceKeyLogged(log_, registration_);
  WriteRegString(registration_ + "\\UninstallString", "C:\\windows\\UnOsin.exe \"" + log_.FileName + "\"");
  EXPECT_EQ(Run(false), kUninstallDone);
  ASSERT_FALSE(boxes_.empty());
  EXPECT_NE(boxes_[0].find("remove A" + ToStd(hyo) + " and"), std::string::npos) << boxes_[0];
  EXPECT_FALSE(EntryExists(Path(hyo)));
  EXPECT_FALSE(RegKeyExists(kBase));
  EXPECT_FALSE(RegKeyExists(registration_));
}

TEST_F(Uninstall, ADamagedOrEditedLogReachesNothingItDoesNotClearlyName) {
  // A missing log, and a file that is no log: nothing happens but a box.
  EXPECT_EQ(Run(false), kUninstallNoLog);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_NE(boxes_[0].find("Cannot find the install log"), std::string::npos);
  // Without a box, the script's run log is the only place that says why.
  String runLog = Path("un.txt");
  ASSERT_TRUE(OpenRunLog(runLog));
  EXPECT_EQ(Run(true), kUninstallNoLog);
  CloseRunLog();
  EXPECT_NE(ReadBytes(runLog).find(ToStd("Error: Cannot find the install log " + log_.FileName)),
            std::string::npos)
      << ReadBytes(runLog);
  ASSERT_EQ(boxes_.size(), 1u);
  // A log deleted by hand with its folder: the registration that names it
  // may go from the list of programs, or stay.
  WriteRegString(registration_ + "\\DisplayName", kProgram);
  WriteRegString(registration_ + "\\UninstallString", "C:\\windows\\UnOsin.exe \"" + log_.FileName + "\"");
  answer_ = kBoxResultNo;
  EXPECT_EQ(Run(true), kUninstallNoLog);
  EXPECT_EQ(Run(false), kUninstallNoLog);
  EXPECT_TRUE(RegKeyExists(registration_));
  answer_ = kBoxResultYes;
  EXPECT_EQ(Run(false), kUninstallDone);
  EXPECT_FALSE(RegKeyExists(registration_));
  ASSERT_EQ(boxes_.size(), 3u) << "asked twice, nothing asked when silent";
  EXPECT_NE(boxes_[2].find("Remove Osin Uninstall Test from the list of installed programs?"),
            std::string::npos)
      << boxes_[2];
  // One that reads as no log (emptied when the disk was full) may go
  // from the list as well.
  ASSERT_TRUE(WriteBytes(log_.FileName, "[Settings]\r\nx=1\r\n"));
  WriteRegString(registration_ + "\\UninstallString", "C:\\windows\\UnOsin.exe \"" + log_.FileName + "\"");
  EXPECT_EQ(Run(true), kUninstallNoLog);
  EXPECT_TRUE(RegKeyExists(registration_)) << "nobody asked";
  EXPECT_EQ(Run(false), kUninstallDone);
  EXPECT_FALSE(RegKeyExists(registration_));
  EXPECT_NE(
      boxes_.back().find("is not an install log.\r\n\r\nNothing can be removed. Remove Osin Uninstall Test "
                         "from the list of installed programs?"),
      std::string::npos)
      << boxes_.back();
  // One held open by another program says why it cannot be read.
  ASSERT_TRUE(WriteBytes(log_.FileName, "[CopyFiles]\r\n"));
  HANDLE holder = CreateFileA(log_.FileName.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(Run(false), kUninstallNoLog);
  CloseHandle(holder);
  const std::string& box = boxes_.back();
  size_t at = box.find("cannot be read.\r\n");
  EXPECT_TRUE(at != std::string::npos && box.compare(at + 17, 2, "\r\n") != 0) << box;

  // An edited log: system folders and keys, a folder named as a file, a
  // relative path, a line cut short. The one clear record still goes.
  String victim = Path("Data"), gone = Path("gone.txt");
  ASSERT_TRUE(WriteBytes(Join(victim, "keep.txt"), "x") && WriteBytes(gone, "x"));
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  ASSERT_TRUE(ForceFolders(Path("Empty")));
  std::string text = "[CopyFiles]\r\n" + ToStd(victim) + "=\r\nrelative\\x.txt=\r\n" + ToStd(gone) +
                     "=\r\n\r\n[CreateKeys]\r\nHKCU\\Software=\r\n" + ToStd(registration_) +
                     "=\r\n"
                     "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run=\r\n\r\n"
                     "[CreateDirs]\r\nC:\\=\r\n" +
                     windows + "=\r\n" + ToStd(victim) + "=\r\n" + ToStd(Path("Empty")) + "=\r\n" +
                     ToStd(Dir()) + "\\Tru";
  ASSERT_TRUE(WriteBytes(log_.FileName, text));
  // A later installation of the same program registered its own log.
  String later = Path("Later\\Install.log");
  ASSERT_TRUE(ForceFolders(Path("Later")) && WriteBytes(later, "[CopyFiles]\r\n"));
  WriteRegString(registration_ + "\\UninstallString", "C:\\windows\\UnOsin.exe \"" + later + "\"");
  answer_ = kBoxResultNo;
  EXPECT_EQ(Run(false), kUninstallCancelled);
  EXPECT_TRUE(FileExists(gone)) << "No changes nothing";
  answer_ = kBoxResultYes;
  boxes_.clear();
  EXPECT_EQ(Run(false), kUninstallIncomplete);
  EXPECT_FALSE(FileExists(gone));
  EXPECT_FALSE(FolderExists(Path("Empty")));
  EXPECT_TRUE(FileExists(Join(victim, "keep.txt")));
  EXPECT_TRUE(RegKeyExists("HKCU\\Software"));
  EXPECT_TRUE(FolderExists(windows));
  EXPECT_TRUE(RegKeyExists(registration_)) << "the later installation's registration stays";
  ASSERT_EQ(boxes_.size(), 2u);
  for (const std::string& named :
       {ToStd(victim), std::string("relative\\x.txt"), std::string("HKCU\\Software"), std::string(windows)}) {
    EXPECT_NE(boxes_[1].find(named + " (left in place"), std::string::npos) << named << " in " << boxes_[1];
  }
  EXPECT_NE(boxes_[1].find(ToStd(Dir()) + "\\Tru (the install log ends here, cut short"), std::string::npos)
      << "the line cut in two: " << boxes_[1];
  EXPECT_NE(
      boxes_[1].find("These folders still hold other files and were left in place:\r\n" + ToStd(victim)),
      std::string::npos)
      << "the user's own files, told beside the failures: " << boxes_[1];
  EXPECT_FALSE(FileExists(log_.FileName)) << "nothing failed, so nothing stays for another run";

  // A log cut short before the record of its registration: the
  // registration goes with the log, not left naming a log that is gone.
  // Cut in a record, in a section's name, or ended in the zeros a file
  // system leaves of data it had no time to write: what it holds goes, and
  // the user learns where it ends.
  const std::pair<std::string, std::string> cuts[] = {{ToStd(Dir()) + "\\Cu", ToStd(Dir()) + "\\Cu"},
                                                      {"[CreateDi", "[CreateDi"},
                                                      {"[CreateDirs]\r\n", "[CreateDirs]"},
                                                      {std::string(6, '\0'), ToStd(gone) + "="}};
  for (const auto& cut : cuts) {
    WriteRegString(registration_ + "\\UninstallString", "C:\\windows\\UnOsin.exe \"" + log_.FileName + "\"");
    ASSERT_TRUE(WriteBytes(gone, "x"));
    ASSERT_TRUE(WriteBytes(log_.FileName, "[CopyFiles]\r\n" + ToStd(gone) + "=\r\n" + cut.first));
    boxes_.clear();
    EXPECT_EQ(Run(false), kUninstallIncomplete);
    EXPECT_FALSE(FileExists(gone));
    EXPECT_FALSE(RegKeyExists(registration_));
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_NE(boxes_[1].find("removed:\r\n\r\n" + cut.second + " (the install log ends here, cut short"),
              std::string::npos)
        << boxes_[1];
  }

  // Saved again by a text editor in UTF-8, with its mark and without it
  // (today's editors), and as "Unicode" (UTF-16, either byte order): read
  // as written.
  for (std::string mark : {"\xEF\xBB\xBF", "", "\xFF\xFE", "\xFE\xFF"}) {
    String saved = Path("Saved");
    ASSERT_TRUE(ForceFolders(saved));
    std::string folder = ToStd(saved);
    std::wstring cafe = std::wstring(folder.begin(), folder.end()) + L"\\caf\u00e9.txt";
    HANDLE made = CreateFileW(cafe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(made, INVALID_HANDLE_VALUE);
    CloseHandle(made);
    std::string text =
        "[CreateDirs]\r\n" + folder + "=\r\n\r\n[CopyFiles]\r\n" + folder + "\\caf\xC3\xA9.txt=\r\n";
    if (mark.size() == 2) {
      std::wstring wide(text.size(), L'\0');
      wide.resize(MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), &wide[0], int(wide.size())));
      text.assign(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
      if (mark[0] == '\xFE')
        for (size_t i = 0; i + 1 < text.size(); i += 2) std::swap(text[i], text[i + 1]);
    }
    ASSERT_TRUE(WriteBytes(log_.FileName, mark + text));
    EXPECT_EQ(Run(true), kUninstallDone) << mark.size();
    EXPECT_EQ(GetFileAttributesW(cafe.c_str()), INVALID_FILE_ATTRIBUTES) << mark.size();
    EXPECT_FALSE(FolderExists(saved)) << mark.size();
  }
}

TEST_F(Uninstall, ALogNamedInShortFormOrDeepInFoldersIsTakenBackWhole) {
  // A script names the log in its short form: the registration, which
  // names the long one, still goes with it.
  String folder = Path("Long Folder Name"), file = Join(folder, "a.txt");
  log_.FileName = Join(folder, "Install.log");
  ASSERT_TRUE(ForceFolderLogged(log_, folder) && WriteBytes(file, "a"));
  WriteLogEntry(log_, kLogCopyFiles, file, String());
  Register();
  DropAllStores();
  TUninstallOptions options;
  options.LogFile = ShortPathOf(log_.FileName);
  options.Silent = true;
  ASSERT_FALSE(SameText(options.LogFile, log_.FileName)) << "no short names here";
  EXPECT_EQ(RunUninstall(options), kUninstallDone);
  EXPECT_FALSE(FolderExists(folder));
  EXPECT_FALSE(RegKeyExists(registration_)) << "left in the list of programs";

  // A log as deep in folders as the system allows, started from a command
  // prompt inside the installation; with no registration, the program goes
  // by the name of the first folder the installation made.
  String deep = Dir();
  while (deep.Length() < MAX_PATH - 40) deep = Join(deep, "Deeper Folder");
  deep = Join(deep, String(MAX_PATH - 18 - deep.Length(), 'x'));  // the log's path: 255 long
  log_.FileName = Join(deep, "Install.log");
  ASSERT_TRUE(ForceFolderLogged(log_, deep) && WriteBytes(Join(deep, "a.txt"), "a"));
  WriteLogEntry(log_, kLogCopyFiles, Join(deep, "a.txt"), String());
  DropAllStores();
  char before[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, before);
  ASSERT_TRUE(SetCurrentDirectoryA(deep.c_str()));
  options.LogFile = "Install.log";
  options.Silent = false;
  EXPECT_EQ(RunUninstall(options), kUninstallDone) << ToStd(deep).size();
  ASSERT_FALSE(boxes_.empty());
  EXPECT_EQ(boxes_[0], "Do you want to remove Deeper Folder and all of its components from your computer?");
  SetCurrentDirectoryA(before);
  EXPECT_FALSE(FolderExists(Join(Dir(), "Deeper Folder")));

  // A log its user moved out of the folder: the registration, naming its
  // old place, goes with it, or the program would stay in the list.
  log_.FileName = Join(folder, "Install.log");
  ASSERT_TRUE(ForceFolderLogged(log_, folder) && WriteBytes(file, "a"));
  WriteLogEntry(log_, kLogCopyFiles, file, String());
  Register();
  DropAllStores();
  options.LogFile = Path("Install moved.log");
  ASSERT_TRUE(MoveFileA(log_.FileName.c_str(), options.LogFile.c_str()));
  options.Silent = true;
  EXPECT_EQ(RunUninstall(options), kUninstallDone);
  EXPECT_FALSE(FolderExists(folder));
  EXPECT_FALSE(RegKeyExists(registration_));
}

TEST_F(Uninstall, TheSharedUninstallerGoesWithTheLastRegistrationThatNamesIt) {
  // The setup's copy under a unique name beside a busy UnOsin.exe, which
  // a 32-bit setup's registration names too, in its quiet command only,
  // in short form and capitals.
  char windows[MAX_PATH], copy[MAX_PATH];
  ASSERT_TRUE(GetWindowsDirectoryA(windows, MAX_PATH) && GetTempFileNameA(windows, "UnOsin", 0, copy));
  String program = copy, runLog = Path("un.txt");
  HKEY other;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kOther32, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                            nullptr, &other, nullptr),
            ERROR_SUCCESS);
  String quiet = "\"" + UpperCase(ShortPathOf(program)) + "\" \"C:\\Other\\Install.log\" /S";
  RegSetValueExA(other, "QuietUninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(quiet.c_str()),
                 quiet.Length() + 1);
  RegCloseKey(other);
  ASSERT_TRUE(WriteBytes(Path("a.txt"), "a"));
  WriteLogEntry(log_, kLogCopyFiles, Path("a.txt"), String());
  ForceKeyLogged(log_, registration_);
  WriteRegString(registration_ + "\\UninstallString", program + " \"" + log_.FileName + "\"");
  ASSERT_TRUE(OpenRunLog(runLog));
  EXPECT_EQ(Run(true), kUninstallDone);
  CloseRunLog();
  EXPECT_FALSE(RegKeyExists(registration_));
  EXPECT_TRUE(FileExists(program)) << "another program still needs it";
  EXPECT_NE(ReadBytes(runLog).find(
                ToStd("Uninstaller kept, as it still serves Osin Uninstall Test Other: " + program)),
            std::string::npos)
      << ReadBytes(runLog);

  // That program is gone; this one's log too, and its registration is
  // taken off the list: the copy goes with the last name of it. A
  // registration naming any other program never takes that one along.
  RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kOther32, KEY_WOW64_32KEY, 0);
  String regedit = String(windows) + "\\regedit.exe";
  ASSERT_TRUE(FileExists(regedit));
  for (const String& named : {regedit, program}) {
    WriteRegString(registration_ + "\\UninstallString", named + " \"" + log_.FileName + "\"");
    ASSERT_TRUE(OpenRunLog(runLog));
    EXPECT_EQ(Run(false), kUninstallDone);
    CloseRunLog();
    EXPECT_FALSE(RegKeyExists(registration_));
  }
  EXPECT_TRUE(FileExists(regedit));
  EXPECT_FALSE(FileExists(program));
  EXPECT_NE(ReadBytes(runLog).find(ToStd("Uninstaller removed, as no program uses it any more: " + program)),
            std::string::npos)
      << ReadBytes(runLog);
  DeleteFileA(copy);
}

}  // namespace
