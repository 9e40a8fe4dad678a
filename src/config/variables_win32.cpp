#include <windows.h>

#include "config/profile.h"
#include "config/registry.h"
#include "config/variables.h"
#include "platform/file.h"
#include "platform/strutils.h"
#include "platform/sysutils.h"

namespace osin {

namespace {

// In the order of their variables, from ProgramFiles on.
struct RegistryFolder {
  const char* path;  // below kCurrentVersionKey
  // Expanded with the variables set so far when the value is absent.
  const char* fallback;
};

// Folders the system records in the registry.
const RegistryFolder kRegistryFolders[] = {
    {"ProgramFilesDir", ""},
    {"CommonFilesDir", ""},
    {"Explorer\\Shell Folders\\Common Desktop", "%Desktop%"},
    {"Explorer\\Shell Folders\\Common Programs", "%ProgramsMenu%"},
    {"Explorer\\Shell Folders\\Common Start Menu", "%StartMenu%"},
    {"Explorer\\Shell Folders\\Common Startup", "%StartupMenu%"},
};
static_assert(sizeof(kRegistryFolders) / sizeof(kRegistryFolders[0]) == kVarBDE - kVarProgramFiles,
              "every registry folder");
static_assert(kVarProgramFiles - kVarDesktop == kSpecialFolderCount, "the shell folders in their order");

// "C:" of "C:\...", "\\server\share" of a UNC path: the root without its
// backslash.
String DriveOf(const String& path) {
  String root = DriveRootOf(path);
  return root.Copy(1, root.Length() - 1);
}

String SystemFolder(UINT(WINAPI* query)(LPSTR, UINT)) {
  char folder[MAX_PATH];
  UINT length = query(folder, MAX_PATH);
  return length < MAX_PATH ? String(folder, static_cast<int>(length)) : String();
}

// The first non-empty entry of the Borland database engine's DLL path, or
// where the engine is installed by default.
String BdeFolder() {
  String dllPath = ReadRegString("HKLM\\SOFTWARE\\Borland\\Database Engine\\DLLPATH", kNoText);
  static constexpr CharSet kSemicolon(";");
  String first = GetWord(1, dllPath, kSemicolon);
  if (first.IsEmpty()) return "%CommonFiles%\\Borland Shared\\BDE";
  return first;
}

// The root folder of the latest Delphi release, by the name order of its
// registry keys.
String DelphiFolder() {
  StringList releases;
  ReadRegSubkeys("HKLM\\SOFTWARE\\Borland\\Delphi", releases);
  if (releases.IsEmpty()) return "C:";
  releases.SetSorted(true);
  String latest = releases[releases.Count() - 1];
  return ReadRegString("HKLM\\SOFTWARE\\Borland\\Delphi\\" + latest + "\\RootDir", kNoText);
}

String ShortDate() {
  char date[100];
  int length = GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, sizeof(date));
  return length > 0 ? String(date, length - 1) : String();
}

}  // namespace

void BuildVariables(StringList& variables, const VariableSources& sources, StringList& runaways) {
  variables.Clear();
  SetPathVariable(variables, kBuiltinVariables[kVarSourcePath], PathFolder(sources.SourceFile));
  SetPathVariable(variables, kBuiltinVariables[kVarInstallPath], sources.InstallPath);
  SetPathVariable(variables, kBuiltinVariables[kVarPresetup], sources.PresetupDir);
  SetVariable(variables, kBuiltinVariables[kVarBootDrive],
              DriveOf(ReadRegString(kCurrentVersionKey + String("Setup\\BootDir"), kNoText)));
  SetPathVariable(variables, kBuiltinVariables[kVarWindows], SystemFolder(GetWindowsDirectoryA));
  SetPathVariable(variables, kBuiltinVariables[kVarSystem], SystemFolder(GetSystemDirectoryA));
  for (int i = 0; i < kSpecialFolderCount; ++i)
    SetPathVariable(variables, kFolderVariables[i], SpecialFolderPath(i));
  for (int i = 0; i < kVarBDE - kVarProgramFiles; ++i) {
    const RegistryFolder& row = kRegistryFolders[i];
    Expanded fallback = ExpandVariables(row.fallback, variables);
    if (fallback.Runaway) runaways.Add(fallback.Text);
    SetPathVariable(variables, kFolderVariables[kVarProgramFiles - kVarDesktop + i],
                    ReadRegString(kCurrentVersionKey + String(row.path), fallback.Text));
  }
  SetPathVariable(variables, kBuiltinVariables[kVarBDE], BdeFolder());
  SetPathVariable(variables, kBuiltinVariables[kVarDelphi], DelphiFolder());
  SetVariable(variables, kBuiltinVariables[kVarDate], ShortDate());
  SetVariable(variables, kBuiltinVariables[kVarLangStr], sources.Language);

  // The configuration is read again from disk, so a project's own changes
  // to it since the last build are seen.
  DropStore(sources.ConfigFile);
  ReadIniSectionValues(sources.ConfigFile, "Variables", variables);
  ReadIniSectionValues(sources.ConfigFile, "Variables." + sources.Language, variables);
}

}  // namespace osin
