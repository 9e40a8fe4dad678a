#include <windows.h>

#include "config/profile.h"
#include "config/registry.h"
#include "config/variables.h"
#include "platform/strutils.h"
#include "platform/sysutils.h"

namespace osin {

namespace {

const char kCurrentVersion[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";

struct RegistryFolder {
  const char* name;
  const char* path;  // below kCurrentVersion
  // Expanded with the variables set so far when the value is absent.
  const char* fallback;
};

// Folders the system records in the registry.
const RegistryFolder kRegistryFolders[] = {
    {"ProgramFiles", "ProgramFilesDir", ""},
    {"CommonFiles", "CommonFilesDir", ""},
    {"CommonDesktop", "Explorer\\Shell Folders\\Common Desktop", "%Desktop%"},
    {"CommonProgramsMenu", "Explorer\\Shell Folders\\Common Programs", "%ProgramsMenu%"},
    {"CommonStartMenu", "Explorer\\Shell Folders\\Common Start Menu", "%StartMenu%"},
    {"CommonStartupMenu", "Explorer\\Shell Folders\\Common Startup", "%StartupMenu%"},
};
static_assert(sizeof(kRegistryFolders) / sizeof(kRegistryFolders[0]) == 6, "six registry folders");

// The folder part of a file name, with its backslash.
String FolderOf(const String& fileName) {
  return fileName.Copy(1, fileName.LastPos('\\'));
}

// "C:" of "C:\..."; "\\server\share" of a UNC path; else empty.
String DriveOf(const String& path) {
  if (path.Length() >= 2 && path[1] == ':') return path.Copy(1, 2);
  if (!path.StartsWith("\\\\")) return String();
  int slashes = 0;
  for (int i = 2; i < path.Length(); ++i) {
    if (path[i] == '\\' && ++slashes == 2) return path.Copy(1, i);
  }
  return path;
}

String SystemFolder(UINT(WINAPI* query)(LPSTR, UINT)) {
  char folder[MAX_PATH];
  UINT length = query(folder, MAX_PATH);
  return length < MAX_PATH ? String(folder, static_cast<int>(length)) : String();
}

// The first non-empty entry of the Borland database engine's DLL path, or
// where the engine is installed by default.
String BdeFolder() {
  String dllPath = ReadRegString("HKLM\\SOFTWARE\\Borland\\Database Engine\\DLLPATH", String());
  String first = GetWord(1, dllPath, CharSet(";"));
  return first.IsEmpty() ? String("%CommonFiles%\\Borland Shared\\BDE") : first;
}

// The root folder of the latest Delphi release, by the name order of its
// registry keys.
String DelphiFolder() {
  StringList releases;
  ReadRegSubkeys("HKLM\\SOFTWARE\\Borland\\Delphi", releases);
  if (releases.IsEmpty()) return "C:";
  releases.SetSorted(true);
  String latest = releases[releases.Count() - 1];
  return ReadRegString("HKLM\\SOFTWARE\\Borland\\Delphi\\" + latest + "\\RootDir", String());
}

String ShortDate() {
  char date[100];
  int length = GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, sizeof(date));
  return length > 0 ? String(date, length - 1) : String();
}

}  // namespace

void BuildVariables(StringList& variables, const VariableSources& sources, StringList& runaways) {
  variables.Clear();
  SetPathVariable(variables, "SourcePath", FolderOf(sources.SourceFile));
  SetPathVariable(variables, "InstallPath", sources.InstallPath);
  SetPathVariable(variables, "Presetup", sources.PresetupDir);
  SetVariable(variables, "BootDrive",
              DriveOf(ReadRegString(kCurrentVersion + String("Setup\\BootDir"), String())));
  SetPathVariable(variables, "Windows", SystemFolder(GetWindowsDirectoryA));
  SetPathVariable(variables, "System", SystemFolder(GetSystemDirectoryA));
  for (int i = 0; i < kSpecialFolderCount; ++i)
    SetPathVariable(variables, kSpecialFolders[i].variable, SpecialFolderPath(i));
  for (const RegistryFolder& row : kRegistryFolders) {
    Expanded fallback = ExpandVariables(row.fallback, variables);
    if (fallback.Runaway) runaways.Add(fallback.Text);
    SetPathVariable(variables, row.name, ReadRegString(kCurrentVersion + String(row.path), fallback.Text));
  }
  SetPathVariable(variables, "BDE", BdeFolder());
  SetPathVariable(variables, "Delphi", DelphiFolder());
  SetVariable(variables, "Date", ShortDate());
  SetVariable(variables, "LangStr", sources.Language);

  // The configuration is read again from disk, so a project's own changes
  // to it since the last build are seen.
  DropStore(sources.ConfigFile);
  ReadIniSectionValues(sources.ConfigFile, "Variables", variables);
  ReadIniSectionValues(sources.ConfigFile, "Variables." + sources.Language, variables);
}

}  // namespace osin
