#include "install/log.h"

#include "config/profile.h"
#include "platform/file.h"

namespace osin {

namespace {

// Indexed by LogKind; the uninstaller reads these names.
const char* const kLogSections[] = {"CopyFiles",  "AddReg",     "AddIni",   "Shortcuts",  "CreateDirs",
                                    "CreateKeys", "RegServers", "RegFonts", "SharedFiles"};
static_assert(sizeof(kLogSections) / sizeof(kLogSections[0]) == kLogKindCount, "one section per kind");

}  // namespace

const char* LogSectionName(int kind) {
  return kind >= 0 && kind < kLogKindCount ? kLogSections[kind] : "";
}

bool WriteLogSection(const TInstallLog& log, const String& section, const String& key, const String& value) {
  if (!log.Active() || section.IsEmpty()) return false;
  return WriteIni(log.FileName, section, key, value);
}

bool WriteLogEntry(const TInstallLog& log, int kind, const String& key, const String& value) {
  return WriteLogSection(log, LogSectionName(kind), key, value);
}

namespace {

// Path's last delimiter, on Windows letter by letter (LastBackslash).
int LastDelimiter(const String& path) {
  return kPathDelimiter == '\\' ? LastBackslash(path) : path.LastPos(kPathDelimiter);
}

}  // namespace

bool ForceFolderLogged(const TInstallLog& log, const String& path) {
  if (path.IsEmpty()) return false;
  String folder = path;
  if (LastDelimiter(folder) == folder.Length()) folder.SetLength(folder.Length() - 1);
  // A bare drive ("C:") is never created, nor an existing folder.
  if (folder.Length() <= 2 || FolderExists(folder)) return true;
  // Parents first, so the log lists a folder after the folders holding it
  // and the uninstaller, reading backwards, empties children first.
  int slash = LastDelimiter(folder);
  if (slash > 0) {
    String parent = folder.Copy(1, slash);
    if (parent != folder) ForceFolderLogged(log, parent);
  }
  // A failed creation leaves the system's reason for the caller.
  if (!CreateFolder(folder)) return false;
  log.MadeFolders.Add(folder);
  WriteLogEntry(log, kLogCreateDirs, folder, kNoText);
  return true;
}

}  // namespace osin
