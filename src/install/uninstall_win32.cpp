#include "install/uninstall.h"

#include <windows.h>

#include "config/language.h"
#include "config/profile.h"
#include "config/registry.h"
#include "config/variables.h"
#include "platform/file.h"
#include "platform/strutils.h"
#include "platform/sysutils.h"
#include "platform/text.h"
#include "ui/msgbox.h"

namespace osin {

namespace {

// Copies Source into the Windows folder as UnOsin.exe, or, when that name
// cannot be written (an uninstaller of another program running from it),
// under a unique temporary name beside it. The copy's path, or empty.
String CopyUninstaller(const String& source, const String& windowsDir) {
  String dest = windowsDir + "\\UnOsin.exe";
  if (!ShouldReplace(source, dest)) return dest;
  RemoveFileForced(dest);
  if (CopyFileWithProgress(source, dest, nullptr, nullptr, false)) return dest;
  char name[MAX_PATH];
  if (!GetTempFileNameA(windowsDir.c_str(), "UnOsin", 0, name)) return String();
  dest = name;
  if (CopyFileWithProgress(source, dest, nullptr, nullptr, false)) return dest;
  RemoveFileForced(dest);
  return String();
}

// The value Name (starting with a backslash) of Key; one call instead of a
// path built at each write keeps the setup program within its size.
bool WriteKeyValue(const String& key, const char* name, const String& data) {
  return WriteRegString(key + name, data);
}
bool WriteKeyNumber(const String& key, const char* name, int32_t number) {
  return WriteRegInteger(key + name, number);
}

}  // namespace

String UninstallKey(const String& programName) {
  return kCurrentVersionKey + String("Uninstall\\") + programName;
}

bool RegisterUninstaller(const TUninstaller& u, const TInstallLog& log, TPendingList& sections) {
  String source = u.PresetupDir + "UnOsin.exe";
  if (!log.Active() || u.ProgramName.IsEmpty() || !FileExists(source)) return false;
  String dest = CopyUninstaller(source, u.WindowsDir);
  if (dest.IsEmpty()) {
    ErrorBox("Cannot copy the uninstaller into \"" + u.WindowsDir + "\".");
    return false;
  }
  StringList languageSections;
  UninstallLanguageSections(u.LanguageFile, languageSections);
  for (int i = 0; i < languageSections.Count(); ++i) {
    // The language file's name may hold a comma; its section name does not.
    const String& line = languageSections[i];
    int comma = line.LastPos(',');
    TPendingEntry entry;
    entry.Name = line;
    entry.NameParts.Add(line.Copy(1, comma - 1));
    entry.NameParts.Add(line.Copy(comma + 1, line.Length()));
    sections.Set(std::move(entry));
  }
  // A key that names another log belongs to an installation of the same
  // program in another folder: taking it over would leave that one with no
  // way to be removed. This one then gets a key (and a name in the list of
  // programs) of its own, "Name (2)" and on. The log alone tells whose a
  // key is: installed again into the same folder, the program finds its own
  // key even when its uninstaller copy got another name this time. A key
  // whose log is gone (its folder deleted by hand) has nothing left to
  // remove and is taken over. "Name (9)" is the last: taken over when it
  // too names another log, rather than searching without end.
  String command = dest + " \"" + log.FileName + "\"";
  String name = u.ProgramName;
  char suffix[] = " (2)";
  while (suffix[2] <= '9') {
    // The log is what stands in the quotes that end the command.
    String named = ReadRegString(UninstallKey(name) + "\\UninstallString", command);
    int open = named.Pos('"');
    String logged = named.Copy(open + 1, named.Length() - open - 1);
    if (SameText(logged, log.FileName) || (open && named.Last() == '"' && !FileExists(logged))) break;
    name = u.ProgramName + suffix;
    ++suffix[2];
  }
  String key = UninstallKey(name);
  // Deployment tools take the quiet form to uninstall without questions.
  // The list of programs shows the size (written again by every run, so an
  // update shows its own) and, as there is no change or repair mode, offers
  // neither; tools find the folder in InstallLocation. Without an icon the
  // list shows a blank one: it shows the uninstaller's. The uninstaller
  // shows the texts the log holds in the code page of the language named.
  bool written = WriteKeyValue(key, "\\DisplayName", name) && WriteKeyValue(key, "\\Language", u.Language) &&
                 WriteKeyValue(key, "\\UninstallString", command) &&
                 WriteKeyValue(key, "\\QuietUninstallString", command + " /S") &&
                 WriteKeyValue(key, "\\InstallLocation", u.InstallPath) &&
                 WriteKeyValue(key, "\\DisplayIcon", dest);
  int32_t number = u.SizeKB;
  for (const char* value : {"\\EstimatedSize", "\\NoModify", "\\NoRepair"}) {
    written = written && WriteKeyNumber(key, value, number);
    number = 1;
  }
  WriteLogEntry(log, kLogCreateKeys, key, kNoText);
  // Without its values the program is missing from the system's list of
  // programs: the user is told rather than left to find it so.
  if (!written) ErrorBox("Cannot register the uninstaller!\r\r" + key);
  return written;
}

void CopyUninstallSections(const TPendingList& sections, const StringList& variables,
                           const TInstallLog& log) {
  // The uninstaller's texts are this run's alone: one that an earlier run
  // wrote in another language, and code page, would stand among them where
  // this language lacks it and the uninstaller's own English is due.
  WriteLogSection(log, "Strings", kNoText, kNoText);
  for (int i = 0; i < sections.Count(); ++i) {
    const TPendingEntry& entry = sections[i];
    String target = GetWord(2, entry.NamePart(2), kDotSet);
    StringList lines;
    ReadIniSectionValues(entry.NamePart(1), entry.NamePart(2), lines);
    for (int j = 0; j < lines.Count(); ++j) {
      WriteLogSection(log, target, ExpandVariables(lines.Name(j), variables).Text,
                      ExpandVariables(lines.ValueFromIndex(j), variables).Text);
    }
  }
}

}  // namespace osin
