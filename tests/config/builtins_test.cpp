// The built-in variables, read back against what the system (Wine) reports
// for the same folders and registry values.
#include <shlobj.h>
#include <windows.h>

#include <string>

#include "config/profile.h"
#include "config/variables.h"
#include "files.h"
#include "testing.h"

using namespace osin;

namespace {

const char kCurrentVersion[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

std::string RegValue(const char* key, const char* name) {
  char data[1024];
  DWORD size = sizeof(data);
  if (RegGetValueA(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) {
    return "";
  }
  return data;
}

std::string Folder(int csidl) {
  char path[MAX_PATH];
  if (!SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE)) return "";
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return "";
  return path;
}

void SetHklm(const char* key, const char* name, const char* value) {
  HKEY k;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr), 0);
  RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), strlen(value) + 1);
  RegCloseKey(k);
}

class Builtins : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    presetupDir_ = AddBackslash(Dir());
    configFile_ = presetupDir_ + "Osin.ini";
    ClearBorland();
  }
  void TearDown() override {
    ClearBorland();
    DropAllStores();
    ScratchTest::TearDown();
  }
  void BuildVariables() {
    StringList runaways;
    osin::BuildVariables(variables_,
                         VariableSources{sourceFile_, installPath_, presetupDir_, configFile_, language_},
                         runaways);
    EXPECT_TRUE(runaways.IsEmpty());
  }
  static void ClearBorland() {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Borland");
    HKEY setup;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(kCurrentVersion) + "\\Setup").c_str(), 0, KEY_WRITE,
                      &setup) == ERROR_SUCCESS) {
      RegDeleteValueA(setup, "BootDir");
      RegCloseKey(setup);
    }
  }
  std::string Var(const char* name) {
    const StringList& list = variables_;
    int i = list.IndexOfName(name);
    return i >= 0 ? ToStd(list.ValueFromIndex(i)) : "<absent>";
  }

  String presetupDir_;
  String configFile_;
  String sourceFile_ = "D:\\Media\\setup.exe";
  String installPath_ = "%ProgramFiles%\\Demo\\";
  String language_ = "ENU";
  StringList variables_;
};

TEST_F(Builtins, TwentySixInTheirOrder) {
  BuildVariables();
  const char* names[] = {"SourcePath",
                         "InstallPath",
                         "Presetup",
                         "BootDrive",
                         "Windows",
                         "System",
                         "Desktop",
                         "Fonts",
                         "NetHood",
                         "Personal",
                         "ProgramsMenu",
                         "Recent",
                         "SendTo",
                         "StartMenu",
                         "StartupMenu",
                         "Templates",
                         "ProgramFiles",
                         "CommonFiles",
                         "CommonDesktop",
                         "CommonProgramsMenu",
                         "CommonStartMenu",
                         "CommonStartupMenu",
                         "BDE",
                         "Delphi",
                         "Date",
                         "LangStr"};
  const StringList& list = variables_;
  ASSERT_EQ(list.Count(), 26);
  for (int i = 0; i < 26; ++i) EXPECT_EQ(list.Name(i), names[i]) << i;
}

TEST_F(Builtins, PathsOfTheRunAndTheSystem) {
  BuildVariables();
  EXPECT_EQ(Var("SourcePath"), "D:\\Media");
  EXPECT_EQ(Var("InstallPath"), "%ProgramFiles%\\Demo") << "stored unexpanded";
  EXPECT_EQ(Var("Presetup"), ToStd(Dir()));
  char folder[MAX_PATH];
  GetWindowsDirectoryA(folder, MAX_PATH);
  EXPECT_EQ(Var("Windows"), folder);
  GetSystemDirectoryA(folder, MAX_PATH);
  EXPECT_EQ(Var("System"), folder);
  EXPECT_EQ(Var("LangStr"), "ENU");
  char date[100];
  GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, sizeof(date));
  EXPECT_EQ(Var("Date"), date);
}

TEST_F(Builtins, ShellFoldersAsTheShellReportsThem) {
  BuildVariables();
  const struct {
    const char* name;
    int csidl;
  } rows[] = {{"Desktop", CSIDL_DESKTOPDIRECTORY},
              {"Fonts", CSIDL_FONTS},
              {"NetHood", CSIDL_NETHOOD},
              {"Personal", CSIDL_PERSONAL},
              {"ProgramsMenu", CSIDL_PROGRAMS},
              {"Recent", CSIDL_RECENT},
              {"SendTo", CSIDL_SENDTO},
              {"StartMenu", CSIDL_STARTMENU},
              {"StartupMenu", CSIDL_STARTUP},
              {"Templates", CSIDL_TEMPLATES}};
  for (const auto& row : rows) EXPECT_EQ(Var(row.name), Folder(row.csidl)) << row.name;
  EXPECT_NE(Var("Desktop"), "");
}

TEST_F(Builtins, RegistryFoldersWithTheirDefaults) {
  BuildVariables();
  EXPECT_EQ(Var("ProgramFiles"), RegValue(kCurrentVersion, "ProgramFilesDir"));
  EXPECT_NE(Var("ProgramFiles"), "");
  EXPECT_EQ(Var("CommonFiles"), RegValue(kCurrentVersion, "CommonFilesDir"));
  std::string shell = std::string(kCurrentVersion) + "\\Explorer\\Shell Folders";
  std::string common = RegValue(shell.c_str(), "Common Desktop");
  EXPECT_EQ(Var("CommonDesktop"), common.empty() ? Var("Desktop") : common);
  common = RegValue(shell.c_str(), "Common Programs");
  EXPECT_EQ(Var("CommonProgramsMenu"), common.empty() ? Var("ProgramsMenu") : common);
  EXPECT_EQ(Var("BootDrive"), "");
  EXPECT_EQ(Var("BDE"), "%CommonFiles%\\Borland Shared\\BDE");
  EXPECT_EQ(Var("Delphi"), "C:");
}

TEST_F(Builtins, BootDriveBdeAndDelphiFromTheirKeys) {
  SetHklm((std::string(kCurrentVersion) + "\\Setup").c_str(), "BootDir", "E:\\");
  SetHklm("SOFTWARE\\Borland\\Database Engine", "DLLPATH", ";;F:\\BDE\\;G:\\Other");
  SetHklm("SOFTWARE\\Borland\\Delphi\\7.0", "RootDir", "C:\\Delphi7\\");
  SetHklm("SOFTWARE\\Borland\\Delphi\\10.0", "RootDir", "C:\\Delphi10");
  SetHklm("SOFTWARE\\Borland\\Delphi\\5.0", "RootDir", "C:\\Delphi5");
  BuildVariables();
  EXPECT_EQ(Var("BootDrive"), "E:");
  EXPECT_EQ(Var("BDE"), "F:\\BDE");
  EXPECT_EQ(Var("Delphi"), "C:\\Delphi7") << "the last name in sorted order";
}

TEST_F(Builtins, ProjectVariablesFollowAndTheLanguageSectionWins) {
  ASSERT_TRUE(
      WriteBytes(configFile_,
                 "[Variables]\r\nProgramName=Demo\r\nwindows=C:\\Mine\r\nApp=%InstallPath%\\app.exe\r\n"
                 "[Variables.ENU]\r\nProgramName=Demo (English)\r\n"));
  BuildVariables();
  const StringList& list = variables_;
  EXPECT_EQ(list.Count(), 28);
  EXPECT_EQ(list[26], "ProgramName=Demo (English)");
  EXPECT_EQ(list[27], "App=%InstallPath%\\app.exe");
  EXPECT_EQ(list[4], "windows=C:\\Mine") << "a built-in is replaced in place";
  EXPECT_EQ(ToStd(GetVariable(variables_, "App").Text),
            RegValue(kCurrentVersion, "ProgramFilesDir") + "\\Demo\\app.exe");
}

TEST_F(Builtins, TheConfigurationIsReadAgainAndEarlierValuesAreLost) {
  ASSERT_TRUE(WriteBytes(configFile_, "[Variables]\r\nV=1\r\n"));
  BuildVariables();
  SetVariable(variables_, "ProgramGroup", "Demo Group");
  ASSERT_TRUE(WriteBytes(configFile_, "[Variables]\r\nV=2\r\n"));
  BuildVariables();
  EXPECT_EQ(Var("V"), "2");
  EXPECT_EQ(Var("ProgramGroup"), "<absent>");
}

}  // namespace
