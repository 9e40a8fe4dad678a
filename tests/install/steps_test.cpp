// The system-change steps over filled pending lists, read back from the
// registry, the files, the shell's own link object and the install log.
#include <windows.h>

#include <objidl.h>
#include <shlobj.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "config/profile.h"
#include "config/registry.h"
#include "install/copyentry.h"
#include "install/enginetest.h"
#include "install/pending.h"
#include "install/programs.h"
#include "install/uninstall.h"
#include "platform/fault.h"
#include "platform/osversion.h"
#include "platform/shelllink.h"
#include "platform/strutils.h"
#include "platform/text.h"
#include "ui/msgbox.h"

using namespace osin;

namespace {

const char kBase[] = "HKCU\\Software\\OsinStepsTest";
const char kMarkerKey[] = "Software\\OsinTests\\RegisterServer";
const char kRunOnce[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

Array<String> Fields(std::initializer_list<const char*> texts) {
  Array<String> fields;
  for (const char* text : texts) fields.Add(text);
  return fields;
}

std::string Upper(const String& s) {
  return ToStd(UpperCase(s));
}

class Steps : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    ASSERT_TRUE(StartCom());
    DeleteRegKey(kBase);
  }
  void TearDown() override {
    DeleteRegKey(kBase);
    EndCom();
    EngineTest::TearDown();
  }
};

TEST_F(Steps, ServersAreRegisteredOrQueuedAndAFailedRegistrationIsShownWithoutStopping) {
  String folder = Path("Bob's Tools");
  ASSERT_TRUE(CreateFolder(folder));
  String server = Join(folder, "srv.dll"), later = Join(folder, "later.dll");
  ASSERT_TRUE(CopyFileA(OSIN_FIXTURE_REGSERVER, server.c_str(), FALSE));
  DWORD fail = 1;
  ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kMarkerKey, "Fail", REG_DWORD, &fail, sizeof(fail)), 0);
  TPendingList servers;
  servers.Set(server, Fields({"1", "1"}));
  servers.Set(later, Fields({"0", "0"}));
  EXPECT_TRUE(RegisterServers(servers, log_));

  char ran[MAX_PATH] = {}, command[2 * MAX_PATH] = {}, system[MAX_PATH];
  DWORD size = sizeof(ran);
  RegGetValueA(HKEY_CURRENT_USER, kMarkerKey, "Ran", RRF_RT_REG_SZ, nullptr, ran, &size);
  EXPECT_EQ(Upper(ran), Upper(server)) << "DllRegisterServer was called";
  EXPECT_EQ(boxes_,
            std::vector<std::string>{"Cannot register OLE server!\r\rAfter install try to register it "
                                     "manually:\rregsvr32.exe \"" +
                                     ToStd(server) + "\""});
  // The apostrophe in the folder stays: the value's name is the whole path.
  size = sizeof(command);
  EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, kRunOnce, later.c_str(), RRF_RT_REG_SZ, nullptr, command, &size),
            0);
  GetSystemDirectoryA(system, MAX_PATH);
  EXPECT_EQ(std::string(command), std::string(system) + "\\regsvr32.exe /s \"" + ToStd(later) + "\"");
  EXPECT_EQ(LogText(), "[RegServers]\r\n" + ToStd(server) + "=\r\n\r\n");
  RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRunOnce, later.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, kMarkerKey);
}

TEST_F(Steps, RegistryAdditionsLogOnlyWhatTheyCreateAndDeletionsPreferValues) {
  const String base = kBase;
  ASSERT_TRUE(WriteRegString(base + "\\Old", "before"));
  ASSERT_TRUE(WriteRegString(base + "\\Keep", "kept"));
  ASSERT_TRUE(WriteRegString(base + "\\Both", "value"));
  ASSERT_TRUE(WriteRegString(base + "\\Both\\", "key"));
  ASSERT_TRUE(WriteRegString(base + "\\Gone\\Deep\\v", "x"));
  TPendingList add, del;
  add.Set(base + "\\New\\Text", Fields({"a,b"}));
  add.Set(base + "\\New\\Number", Fields({"#12"}));
  add.Set(base + "\\New\\Bad", Fields({"#x"}));
  add.Set(base + "\\New\\", Fields({"default"}));
  add.Set(base + "\\New\\'a\\b'", Fields({"named"}));
  add.Set(base + "\\Old", Fields({"after"}));
  add.Set(base + "\\Keep", Fields({"changed", "32"}));
  add.Set(base + "\\Quiet\\v", Fields({"q", "1"}));
  del.Set(base + "\\Both", Array<String>());
  del.Set(base + "\\Gone", Array<String>());
  EXPECT_TRUE(ApplyRegistryChanges(add, del, log_));

  EXPECT_EQ(ReadRegString(base + "\\New\\Text", ""), "a,b");
  EXPECT_EQ(ReadRegInteger(base + "\\New\\Number", -1), 12);
  EXPECT_EQ(ReadRegInteger(base + "\\New\\Bad", -1), 0);
  EXPECT_EQ(ReadRegString(base + "\\New\\", ""), "default");
  EXPECT_EQ(ReadRegString(base + "\\New\\'a\\b'", ""), "named");
  EXPECT_EQ(ReadRegString(base + "\\Old", ""), "after");
  EXPECT_EQ(ReadRegString(base + "\\Keep", ""), "kept");
  EXPECT_EQ(ReadRegString(base + "\\Quiet\\v", ""), "q");
  EXPECT_FALSE(RegValueExists(base + "\\Both"));
  EXPECT_EQ(ReadRegString(base + "\\Both\\", ""), "key") << "only the value of that name goes";
  EXPECT_FALSE(RegKeyExists(base + "\\Gone"));
  std::string b = kBase;
  EXPECT_EQ(LogText(), "[CreateKeys]\r\n" + b + "\\New=\r\n\r\n[AddReg]\r\n" + b + "\\New\\Text=a,b\r\n" + b +
                           "\\New\\Number=#12\r\n" + b + "\\New\\Bad=#x\r\n" + b + "\\New\\=default\r\n" + b +
                           "\\New\\'a\\b'=named\r\n\r\n");
}

TEST_F(Steps, ARegistryWriteThatFailsEndsTheStep) {
  TPendingList add, del;
  add.Set(String(kBase) + "\\v", Fields({"1"}));
  add.Set("HKXX\\Software\\v", Fields({"2"}));
  del.Set(String(kBase) + "\\v", Array<String>());
  EXPECT_FALSE(ApplyRegistryChanges(add, del, log_));
  EXPECT_EQ(boxes_, std::vector<std::string>{"Error on changing registry data!\r\rHKXX\\Software\\v"});
  EXPECT_TRUE(RegValueExists(String(kBase) + "\\v")) << "no deletion after the failure";
}

// Keys go into other programs' INI files without disturbing the rest.
TEST_F(Steps, IniKeysAreAddedLineByLineAndNewFilesAreLogged) {
  const std::string before =
      "; settings\r\n[Main]\r\n a = b \r\nbare line\r\nq=\"x, "
      "y\"\r\n\r\n[Other]\r\nk=1\r\n[main]\r\nz=later\r\n";
  String other = Path("other.ini"), fresh = Path("sub\\fresh.ini");
  ASSERT_TRUE(WriteBytes(other, before));
  TPendingList changes;
  auto add = [&changes](const String& file, const char* section, const char* key, Array<String> fields) {
    TPendingEntry entry;
    entry.NameParts = Fields({file.c_str(), section, key});
    entry.Name = file + "," + section + "," + key;
    entry.Fields = std::move(fields);
    changes.Set(std::move(entry));
  };
  add(other, "Main", "New", Fields({"1"}));
  add(other, "Main", "a", Fields({"c", "32"}));
  add(other, "Other", "k", Fields({"2", "1"}));
  add(fresh, "S", "K", Fields({"V"}));
  EXPECT_TRUE(ApplyIniChanges(changes, log_));
  std::string after = before;
  after.replace(after.find("q=\"x, y\"\r\n") + 10, 0, "New=1\r\n");
  after.replace(after.find("k=1"), 3, "k=2");
  EXPECT_EQ(ReadBytes(other), after);
  EXPECT_EQ(ReadBytes(fresh), "[S]\r\nK=V\r\n");
  std::string o = ToStd(other), f = ToStd(fresh);
  EXPECT_EQ(LogText(), "[AddIni]\r\n" + o + ",Main,New=1\r\n" + f + ",S,K=V\r\n\r\n[CreateDirs]\r\n" +
                           ToStd(Path("sub")) + "=\r\n\r\n[CopyFiles]\r\n" + f + "=\r\n\r\n");
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(Steps, AnIniFileThatCannotBeWrittenFailsTheStepWithItsBox) {
  const std::string text = "[S]\r\nK=1\r\n";
  String locked = Path("locked.ini");
  ASSERT_TRUE(WriteBytes(locked, text));
  ASSERT_TRUE(SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(WriteBytes(Path("file"), "not a folder"));
  String unreachable = Path("file\\x.ini");
  // Held open by its program without sharing.
  String busy = Path("busy.ini");
  ASSERT_TRUE(WriteBytes(busy, text));
  HANDLE holder = CreateFileA(busy.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  // Another program's settings in UTF-16: ANSI lines would ruin them.
  String wide = Path("wide.ini");
  const std::string wideText("\xFF\xFE[\0S\0]\0\r\0\n\0K\0=\0\x31\0\r\0\n\0", 22);
  ASSERT_TRUE(WriteBytes(wide, wideText));
  for (const String& file : {locked, unreachable, busy, wide}) {
    TPendingList changes;
    TPendingEntry entry;
    entry.NameParts = Fields({file.c_str(), "S", "New"});
    entry.Name = file + ",S,New";
    entry.Fields = Fields({"2"});
    changes.Set(std::move(entry));
    EXPECT_FALSE(ApplyIniChanges(changes, log_));
    ASSERT_FALSE(boxes_.empty());
    EXPECT_EQ(boxes_.back(), "Error on changing ini-file!\r\r" + ToStd(file));
  }
  CloseHandle(holder);
  EXPECT_EQ(boxes_.size(), 4u);
  EXPECT_FALSE(FaultPending()) << "a read-only file does not end the run";
  EXPECT_EQ(ReadBytes(locked), text);
  EXPECT_EQ(ReadBytes(busy), text);
  EXPECT_EQ(ReadBytes(wide), wideText);
  EXPECT_EQ(LogText(), "") << "nothing was written, so nothing is logged";
  SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
}

int CALLBACK FaceFound(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

class Fonts : public Steps {
 protected:
  void SetUp() override {
    Steps::SetUp();
    font_ = Path("OsinMark.ttf");
    ASSERT_TRUE(CopyFileA(OSIN_DEMO_FONT, font_.c_str(), FALSE));
    fonts_.Set(font_, Array<String>());
  }
  void TearDown() override {
    RemoveFontResourceA(font_.c_str());
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kKeyNT, "OsinMark.ttf");
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kKey9x, "OsinMark.ttf");
    SubstituteOSVersion(nullptr);
    Steps::TearDown();
  }
  static bool FaceKnown() {
    LOGFONTA wanted = {};
    lstrcpyA(wanted.lfFaceName, "Osin Mark");
    wanted.lfCharSet = DEFAULT_CHARSET;
    bool found = false;
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExA(dc, &wanted, FaceFound, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
  }
  static String Value(const char* key) {
    return ReadRegString(String("HKLM\\") + key + "\\OsinMark.ttf", "<none>");
  }
  static constexpr const char* kKeyNT = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
  static constexpr const char* kKey9x = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts";
  String font_;
  TPendingList fonts_;
};

TEST_F(Fonts, AFontOutsideTheFontsFolderIsAddedRegisteredAndLogged) {
  ASSERT_FALSE(FaceKnown());
  EXPECT_TRUE(RegisterFonts(fonts_, Path("Fonts\\"), log_));
  EXPECT_TRUE(FaceKnown());
  EXPECT_EQ(Value(kKeyNT), font_);
  std::string value = "HKLM\\" + std::string(kKeyNT) + "\\OsinMark.ttf";
  EXPECT_EQ(LogText(), "[AddReg]\r\n" + value + "=\r\n\r\n[RegFonts]\r\n" + ToStd(font_) + "=\r\n\r\n");
}

TEST_F(Fonts, AFontInTheFontsFolderIsRegisteredOnEitherLine) {
  // The NT line loads at its start only the fonts under its key, a file of
  // the fonts folder by its name alone; the 95 line takes the full path.
  EXPECT_TRUE(RegisterFonts(fonts_, AddBackslash(UpperCase(Dir())), log_));
  EXPECT_EQ(Value(kKeyNT), "OsinMark.ttf");
  std::string value = "HKLM\\" + std::string(kKeyNT) + "\\OsinMark.ttf";
  EXPECT_EQ(LogText(), "[AddReg]\r\n" + value + "=\r\n\r\n[RegFonts]\r\n" + ToStd(font_) + "=\r\n\r\n");
  TOSVersion win98 = ClassifyOS(VER_PLATFORM_WIN32_WINDOWS, 4, 10, 2222, "");
  SubstituteOSVersion(&win98);
  EXPECT_TRUE(RegisterFonts(fonts_, AddBackslash(Dir()), log_));
  EXPECT_EQ(Value(kKey9x), font_);
}

TEST_F(Steps, ShortcutsCarryEveryFieldAndAreLoggedWithTheirFolders) {
  String target = Path("A, B\\app.exe"), menu = Path("Menu"), sub = Join(menu, "Sub");
  ASSERT_TRUE(ForceFolders(Path("A, B")) && WriteBytes(target, "MZ"));
  ASSERT_TRUE(ForceFolders(Path("Kept")) && WriteBytes(Path("Kept\\Old.lnk"), "not touched"));
  TPendingList links;
  String quoted = "\"" + target + "\"", work = "\"" + Dir() + "\"";
  links.Set(Join(sub, "Demo"),
            Fields({quoted.c_str(), "/x \"y\"", work.c_str(), target.c_str(), "2", "577", "0"}));
  links.Set(Path("Kept\\Old"), Fields({quoted.c_str(), "", "", "", "", "", "32"}));
  links.Set(Path("Quiet\\Q"), Fields({quoted.c_str(), "", "", "", "", "", "1"}));
  EXPECT_TRUE(CreateShortcuts(links, log_));

  IShellLinkA* link = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                             reinterpret_cast<void**>(&link)),
            S_OK);
  IPersistFile* file = nullptr;
  ASSERT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
  std::string name = ToStd(Join(sub, "Demo.lnk"));
  ASSERT_EQ(file->Load(std::wstring(name.begin(), name.end()).c_str(), STGM_READ), S_OK);
  char text[MAX_PATH];
  int icon = -1, show = -1;
  WORD hotKey = 0;
  link->GetPath(text, MAX_PATH, nullptr, 0);
  EXPECT_EQ(Upper(text), Upper(target)) << "the quotes are gone, the comma stays";
  link->GetArguments(text, MAX_PATH);
  EXPECT_STREQ(text, "/x \"y\"");
  link->GetWorkingDirectory(text, MAX_PATH);
  EXPECT_EQ(Upper(text), Upper(Dir()));
  link->GetIconLocation(text, MAX_PATH, &icon);
  EXPECT_EQ(Upper(text), Upper(target));
  EXPECT_EQ(icon, 2);
  link->GetHotkey(&hotKey);
  EXPECT_EQ(hotKey, 577);
  link->GetShowCmd(&show);
  EXPECT_EQ(show, SW_SHOWNORMAL);
  file->Release();
  link->Release();

  EXPECT_TRUE(FileExists(Path("Quiet\\Q.lnk")));
  EXPECT_EQ(ReadBytes(Path("Kept\\Old.lnk")), "not touched");
  EXPECT_EQ(LogText(), "[CreateDirs]\r\n" + ToStd(menu) + "=\r\n" + ToStd(sub) + "=\r\n\r\n[Shortcuts]\r\n" +
                           name + "=\r\n\r\n");
}

TEST_F(Steps, AShortcutThatCannotBeSavedEndsTheStep) {
  ASSERT_TRUE(WriteBytes(Path("file"), "not a folder"));
  TPendingList links;
  links.Set(Path("file\\Link"), Fields({"C:\\x.exe"}));
  EXPECT_FALSE(CreateShortcuts(links, log_));
  EXPECT_EQ(boxes_,
            std::vector<std::string>{"Error on creating shortcut!\r\r" + ToStd(Path("file\\Link.lnk"))});
}

// Fields that a variable filled with commas and quotes reach the runner
// intact.
TEST(RunStep, ProgramsAreWaitedForUnlessTheirWaitFieldIsZero) {
  TPendingList programs;
  programs.Set("a", Fields({"\"C:\\Acme, Inc\\a.exe\"", "/n \"x\"", "C:\\O'Brien", "1", "Starting...", "0"}));
  programs.Set("b", Fields({"b.exe"}));
  programs.Set("c", Fields({"c.exe", "", "", "", "", "x"}));
  static std::vector<std::string> calls;
  calls.clear();
  SetProgramRunner([](const String& spec, bool wait, HWND__*) {
    const CharSet comma(",");
    for (int n = 1; n <= 5; ++n) calls.push_back(ToStd(GetField(n, spec, comma)));
    calls.push_back(wait ? "wait" : "no wait");
    return 0;
  });
  EXPECT_TRUE(RunPrograms(programs, nullptr));
  SetProgramRunner(nullptr);
  EXPECT_EQ(calls, (std::vector<std::string>{"\"C:\\Acme, Inc\\a.exe\"", "/n \"x\"", "C:\\O'Brien", "1",
                                             "Starting...", "no wait", "b.exe", "", "", "", "", "wait",
                                             "c.exe", "", "", "", "", "wait"}));
}

// The uninstaller's registration: UnOsin.exe from the control files' folder
// into a Windows folder of the scratch folder, registered under a test
// program's own Uninstall key.
class Uninstaller : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    presetup_ = Path("Presetup") + "\\";
    windows_ = Path("Windows");
    language_ = presetup_ + "Enu.lng";
    key_ = UninstallKey(program_);
    ASSERT_TRUE(ForceFolders(windows_));
    ASSERT_TRUE(WriteBytes(language_,
                           "[Uninstall.Strings]\r\n1=Bye\r\n[Uninstall.Strings.Old]\r\n1=x\r\n"
                           "[Dialogs]\r\n102=Next\r\n"));
    DeleteRegKey(key_);
  }
  void TearDown() override {
    DeleteRegKey(key_);
    EngineTest::TearDown();
  }
  // UnOsin.exe of the setup and the one installed before (empty: none).
  void Place(const char* setup, const char* installed) {
    ASSERT_TRUE(ForceFolders(presetup_));
    ASSERT_TRUE(CopyFileA(setup, (presetup_ + "UnOsin.exe").c_str(), FALSE));
    if (*installed) {
      ASSERT_TRUE(CopyFileA(installed, (windows_ + "\\UnOsin.exe").c_str(), FALSE));
    }
  }
  bool Register() {
    sections_ = TPendingList();
    return RegisterUninstaller(
        TUninstaller{presetup_, windows_, program_, language_, String("RUS"), presetup_, 0}, log_, sections_);
  }
  // As an uninstaller running from the copy in the Windows folder holds it.
  bool RegisterWhileTheCopyIsHeld() {
    HANDLE h = CreateFileA((windows_ + "\\UnOsin.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    bool registered = Register();
    CloseHandle(h);
    return registered;
  }

  String presetup_, windows_, language_, key_;
  String program_ = "Osin Register Test";
  TPendingList sections_;
};

TEST_F(Uninstaller, ANewerCopyReplacesAnOlderOneAndTheKeyIsRegisteredAndLogged) {
  Place(OSIN_FIXTURE_V15, OSIN_FIXTURE_V20);
  ASSERT_TRUE(Register());
  String copy = windows_ + "\\UnOsin.exe";
  EXPECT_EQ(ReadBytes(copy), ReadBytes(String(OSIN_FIXTURE_V20))) << "the installed copy is newer: it stays";
  EXPECT_EQ(ReadRegString(key_ + "\\DisplayName", ""), program_);
  EXPECT_EQ(ReadRegString(key_ + "\\UninstallString", ""), copy + " \"" + log_.FileName + "\"");
  EXPECT_EQ(ReadRegString(key_ + "\\QuietUninstallString", ""), copy + " \"" + log_.FileName + "\" /S");
  EXPECT_EQ(LogText(), "[CreateKeys]\r\n" + ToStd(key_) + "=\r\n\r\n");
  ASSERT_EQ(sections_.Count(), 1) << "the language file's two-word uninstall section only";
  EXPECT_EQ(sections_[0].NamePart(1), language_);
  EXPECT_EQ(sections_[0].NamePart(2), "Uninstall.Strings");

  Place(OSIN_FIXTURE_V20, OSIN_FIXTURE_V15);
  ASSERT_TRUE(Register());
  EXPECT_EQ(ReadBytes(copy), ReadBytes(String(OSIN_FIXTURE_V20))) << "the older copy is replaced";
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(Uninstaller, AHeldCopyGoesUnderATemporaryNameAFailedRegistrationIsToldAndNoNameRegistersNothing) {
  Place(OSIN_FIXTURE_V20, OSIN_FIXTURE_V15);
  String held = windows_ + "\\UnOsin.exe";
  ASSERT_TRUE(RegisterWhileTheCopyIsHeld());
  EXPECT_EQ(ReadBytes(held), ReadBytes(String(OSIN_FIXTURE_V15)));
  String command = ReadRegString(key_ + "\\UninstallString", "");
  int quote = command.Pos(" \"");
  ASSERT_GT(quote, 0) << ToStd(command);
  String copy = command.Copy(1, quote - 1);
  EXPECT_TRUE(SameText(PathFolder(copy), windows_ + "\\")) << ToStd(copy);
  EXPECT_TRUE(UpperCase(copy).EndsWith(".TMP")) << ToStd(copy);
  EXPECT_EQ(ReadBytes(copy), ReadBytes(String(OSIN_FIXTURE_V20)));
  DeleteRegKey(key_);
  DropAllStores();
  DeleteFileA(log_.FileName.c_str());

  // A key the system refuses (no rights; here a name longer than a key's
  // may be) is a failure the user is told of.
  String tooLong = program_;
  while (tooLong.Length() < 300) tooLong += " and more";
  std::swap(program_, tooLong);
  EXPECT_FALSE(Register());
  std::swap(program_, tooLong);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], "Cannot register the uninstaller!\r\r" + ToStd(UninstallKey(tooLong)));
  boxes_.clear();
  DropAllStores();
  DeleteFileA(log_.FileName.c_str());

  // An empty name would make the Uninstall key itself the program's.
  program_ = String();
  EXPECT_FALSE(Register());
  EXPECT_FALSE(RegValueExists(UninstallKey(program_) + "\\DisplayName"));
  EXPECT_FALSE(RegValueExists(UninstallKey(program_) + "\\UninstallString"));
  EXPECT_EQ(LogText(), "");
  EXPECT_EQ(sections_.Count(), 0);
  EXPECT_TRUE(boxes_.empty());
}

// Registrations are told apart by their logs: a repair into the same folder
// keeps its key though its uninstaller copy got a temporary name, a key
// whose log is still there stays its installation's, and a key whose log is
// gone is taken over.
TEST_F(Uninstaller, AKeyIsKnownByItsLogAndOneWhoseLogIsGoneIsTakenOver) {
  String second = UninstallKey(program_ + " (2)");
  DeleteRegKey(second);
  Place(OSIN_FIXTURE_V20, OSIN_FIXTURE_V15);
  ASSERT_TRUE(Register());
  Place(OSIN_FIXTURE_V20, OSIN_FIXTURE_V15);
  ASSERT_TRUE(RegisterWhileTheCopyIsHeld());
  String command = ReadRegString(key_ + "\\UninstallString", "");
  EXPECT_TRUE(UpperCase(command).EndsWith(".TMP \"" + UpperCase(log_.FileName) + "\"")) << ToStd(command);
  EXPECT_FALSE(RegValueExists(second + "\\UninstallString")) << "the repair got a key of its own";
  DropAllStores();

  String first = log_.FileName;
  log_.FileName = Path("other.log");
  ASSERT_TRUE(Register());
  EXPECT_EQ(ReadRegString(key_ + "\\UninstallString", ""), command) << "a live installation's key";
  EXPECT_EQ(ReadRegString(second + "\\DisplayName", ""), program_ + " (2)");

  DropAllStores();
  ASSERT_TRUE(DeleteFileA(first.c_str()));
  log_.FileName = Path("third.log");
  ASSERT_TRUE(Register());
  EXPECT_EQ(ReadRegString(key_ + "\\UninstallString", ""),
            windows_ + "\\UnOsin.exe \"" + log_.FileName + "\"");
  EXPECT_EQ(ReadRegString(key_ + "\\DisplayName", ""), program_);
  EXPECT_TRUE(boxes_.empty());
  DeleteRegKey(second);
}

}  // namespace
