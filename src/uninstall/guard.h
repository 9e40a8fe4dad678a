// What the uninstaller may touch, and how it reads the records of an install
// log.
//
// The log is a text file the user can damage or edit; these checks keep such
// a log from reaching beyond what an installation makes: a folder is removed
// only when empty and never when it is a root or a system folder, a registry
// key goes with what it holds only when it is none of the system's own, and a
// record that does not read as the log writer writes it is passed over.
// Portable, so the native tests try them.
#pragma once

#include "platform/str.h"
#include "platform/strlist.h"

namespace osin {

// A full path on a drive ("C:\x") or a network share ("\\server\share\x"),
// with no "." or ".." element, no empty element and no wildcard: the form in
// which an installation logs what it made.
bool IsFullPath(const String& path);

// Path lies below Ancestor (a longer path starting with Ancestor and "\"),
// without regard to case; a trailing "\" of either is ignored.
bool IsBelow(const String& path, const String& ancestor);

// A folder never removed: a drive or share root, one of SystemFolders (the
// Windows folder, the program files folder, the shell's folders...) or a
// folder that holds one of them. Compared without regard to case.
bool IsProtectedFolder(const String& path, const StringList& systemFolders);

// A registry key (registry path notation) never deleted together with what
// it holds: a root word, a key right below a root ("HKLM\SOFTWARE"), and
// the system's keys that installations add to (Uninstall, Run, SharedDLLs,
// Fonts, the class registrations...) with the keys above them. Such a key
// may go only when it is empty.
bool IsProtectedKey(const String& path);

// A key right below HKCR: a file type (".txt") or a program's class, which
// installations make. Protected as a key below a root, it may still go
// once empty when the installation made it.
bool IsClassKey(const String& path);

// Whether taking back the record Key of kind Kind (install/log.h) takes an
// administrator's rights: a registry entry under HKLM or HKCR (servers'
// registrations, fonts' values and shared counts are always there), or a
// file, folder or INI file in or below one of MachineFolders (the Windows
// and program files folders, the folders of all users). Compared without
// regard to case.
bool NeedsAdministrator(int kind, const String& key, const StringList& machineFolders);

// The Uninstall key under which installations register, with a trailing "\".
extern const char kUninstallRoot[];

// One record of the log: the line's key and value.
struct TLogRecord {
  String Key;
  String Value;
};

// Reads one line of the section of record kind Kind (install/log.h) as the
// log writer writes it: "Key=" for the kinds without a value (the whole line
// but its last "=" is the key, so a path holding "=" survives), "Key=Value"
// for AddReg (the first "=" outside apostrophes, which may quote a value
// name) and AddIni. False for a line that does not read so (no "=", an empty
// key, a value where none belongs): a damaged or edited line.
bool ParseLogLine(int kind, const String& line, TLogRecord& record);

// Splits the key of an AddIni record, "IniFile,Section,Key", at its last two
// commas: a folder name may hold a comma, the section and key names an
// installation writes do not. False when there are fewer than three parts
// or the file part is not a full path.
bool SplitIniRecord(const String& record, String& file, String& section, String& key);

}  // namespace osin
