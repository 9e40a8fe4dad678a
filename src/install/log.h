// The install log: an INI file the uninstaller reads to undo what the
// installation created.
//
// Records go into sections named by their kind; within a section a key
// written again keeps its place and takes the new value, and sections and
// keys stand in the order they were first written. Kinds, their sections
// and what a record holds:
//
//   0 CopyFiles    full path of a file written by the installation (also
//                  an INI file that the INI step created); value empty
//   1 AddReg       registry value path; the script's data ("#" prefix for a
//                  number), empty for a font's registry value
//   2 AddIni       IniFile,Section,Key; the value written
//   3 Shortcuts    full path of a ".lnk" file; value empty
//   4 CreateDirs   a folder the installation created, no trailing "\"
//   5 CreateKeys   a registry key the installation created (also the
//                  program's Uninstall key)
//   6 RegServers   an OLE server registered or queued for registration
//   7 RegFonts     a font file added to the system
//   8 SharedFiles  a file whose SharedDLLs count was raised
//
// Besides these, the uninstall sections of the scripts and the language file
// are copied in by section name (WriteLogSection).
//
// Writes go through the profile layer (config/profile.h), so they reach the
// disk when the stores are dropped. The log is active when it is enabled
// and has a name; otherwise every write does nothing and reports false. A
// failed write is ignored by every caller. The log is used by one thread at
// a time: the install worker during the file phase, the main thread after
// it.
#pragma once

#include "platform/str.h"
#include "platform/strlist.h"

namespace osin {

enum LogKind : int {
  kLogCopyFiles = 0,
  kLogAddReg = 1,
  kLogAddIni = 2,
  kLogShortcuts = 3,
  kLogCreateDirs = 4,
  kLogCreateKeys = 5,
  kLogRegServers = 6,
  kLogRegFonts = 7,
  kLogSharedFiles = 8,
};
const int kLogKindCount = 9;

// The log's state for one run: set once by the installation and kept until
// the program ends.
struct TInstallLog {
  TInstallLog() = default;
  TInstallLog(const String& fileName, bool enabled) : FileName(fileName), Enabled(enabled) {}

  String FileName;
  bool Enabled = false;
  // What the run did to the disk, logged or not, for a run that ends early:
  // each folder ForceFolderLogged made, parents first, and whether the file
  // phase changed the system: wrote a file (or left one to replace another
  // at the next start) or raised a shared file's count. A run that ends
  // before any such change takes those folders away again and keeps no
  // log; after one, the log must keep its records.
  mutable StringList MadeFolders;
  mutable bool Changed = false;

  bool Active() const { return Enabled && !FileName.IsEmpty(); }
};

// The section of a record kind; empty for a number outside 0..8.
const char* LogSectionName(int kind);

// Writes Key=Value into the section of Kind when the log is active; the
// write's result, or false when inactive or Kind is unknown.
bool WriteLogEntry(const TInstallLog& log, int kind, const String& key, const String& value);
// The same into the section named Section.
bool WriteLogSection(const TInstallLog& log, const String& section, const String& key, const String& value);

// Creates the folder Path (one trailing separator dropped) with every
// missing parent, parents first, and records each folder it creates in
// CreateDirs. A path of two characters or fewer (a bare drive) and an
// existing folder create nothing. True when the folder exists afterwards;
// false when Path itself could not be made, the system's reason for that
// then being the thread's last error.
bool ForceFolderLogged(const TInstallLog& log, const String& path);

// Windows only. Creates the registry key Path (registry path notation of
// config/registry.h, one trailing "\" dropped) with every missing parent,
// parents first, and records each key it creates in CreateKeys. The parent
// of a path is what stands before its last "\" outside quotes; a root word
// alone always exists. True when the key exists afterwards.
bool ForceKeyLogged(const TInstallLog& log, const String& path);

}  // namespace osin
