// The uninstaller's registration with Windows and the copy of the uninstall
// sections into the install log (Windows only).
#pragma once

#include "install/log.h"
#include "install/pending.h"
#include "platform/str.h"
#include "platform/strlist.h"

namespace osin {

// Where the uninstaller comes from and what it is registered as.
struct TUninstaller {
  // The control files' folder (with "\"), holding UnOsin.exe.
  const String& PresetupDir;
  // The Windows folder, without "\".
  const String& WindowsDir;
  // Registered as DisplayName and naming the Uninstall key.
  const String& ProgramName;
  // The language file, whose plain uninstall sections join Sections.
  const String& LanguageFile;
  // Its code (ENU, RUS...), registered as Language.
  const String& Language;
  // The destination folder, and the KB its files take.
  const String& InstallPath;
  int32_t SizeKB;
};

// The Uninstall key of the program: HKLM\...\Uninstall\<ProgramName>.
String UninstallKey(const String& programName);

// Copies UnOsin.exe into the Windows folder unless a copy there is as new
// (when the copy fails, to a unique temporary name there instead), adds the
// language file's uninstall sections to Sections, writes DisplayName,
// UninstallString ("<copy> "<log>""), QuietUninstallString (the same with
// " /S"), DisplayIcon (the copy), EstimatedSize (SizeKB), InstallLocation,
// NoModify and NoRepair (both 1) and logs the whole key in CreateKeys.
// The key is the program's name, unless it is registered there with another
// log that still exists (installed in another folder): then "Name (2)",
// "Name (3)" and on, the first free, already this log's or naming a log that
// is gone, is both key and display name. A key's log is the path in the
// quotes that end its UninstallString, whatever the uninstaller copy's name.
// Nothing happens, and the result is false, when the log is not active,
// UnOsin.exe is missing or ProgramName is empty: an empty name would make
// the Uninstall key itself the program's key, and uninstalling it would
// remove every program's entry. False too, after an error box, when no
// copy could be written or the values could not be (the key is logged all
// the same, for whatever part of it was made).
bool RegisterUninstaller(const TUninstaller& uninstaller, const TInstallLog& log, TPendingList& sections);

// Copies the lines of every section of Sections (File, SectionName) into the
// log section named by the second word of SectionName (Uninstall.Strings
// goes to Strings), keys and values with their variables expanded (line
// break marks stay), after emptying the log's Strings. The caller turns the
// stores' StripQuotes off around it.
void CopyUninstallSections(const TPendingList& sections, const StringList& variables, const TInstallLog& log);

}  // namespace osin
