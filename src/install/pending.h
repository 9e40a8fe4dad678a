// What the install scripts ask for, gathered into the pending lists of one
// run, and the system-change steps that carry them out after the file
// phase.
//
// A pending entry keeps its name and the fields of its value apart, each
// field expanded on its own after the publisher's unexpanded text was split
// (at "," outside quotes, a field in apostrophes losing them). So an
// apostrophe, a comma or an "=" that a variable brings in (a folder the user
// chose, C:\Users\O'Brien, C:\Acme, Inc) stays inside its field. A field in
// double quotes keeps its quotes. Names compare without regard to case.
//
// The lists, their entry names and fields (Field(1) is the first):
//
//   ArchiveCopies      "Data\" + Source    TargetPath, Flags, further fields
//   ExternalCopies     SourcePath          TargetPath, Flags, further fields
//                      (CopyFiles lines with flag 64; SourcePath may hold
//                      wildcards in its file-name part)
//   RegAdditions       ValuePath           Data, Flags        (AddReg)
//   RegDeletions       Path                (none used)        (DelReg)
//   IniChanges         IniFile,Section,Key Value, Flags       (AddIni)
//                      NameParts: IniFile, Section, Key
//   Shortcuts          Folder\LinkName     Target, Arguments, WorkingDir,
//                                          IconFile, IconIndex, HotKey, Flags
//   Programs           Key                 Program, Parameters, Directory,
//                                          Show, Message, Wait  (RunApp)
//   OleServers         FilePath            Now ("1" now, "0" at the next
//                                          start), Logged ("1" or "0")
//   Fonts              FilePath            (none)
//   UninstallSections  File,SectionName    NameParts: File, SectionName
//
// ValuePath and Path are in the registry path notation of
// config/registry.h; a value name holding a backslash is written in
// apostrophes by the script's author.
#pragma once

#include <stdint.h>

#include "install/log.h"
#include "platform/array.h"
#include "platform/str.h"

struct HWND__;

namespace osin {

// The flag bits of a file, registry value, INI key or shortcut entry: field
// 2 of a file, registry or INI entry, field 7 of a shortcut.
enum EntryFlag : int {
  kNoLog = 1,            // not recorded in the install log, nor the folders or keys made for it
  kNoVersionCheck = 2,   // files: always written (unless kOnlyIfMissing stops it)
  kRegisterServer = 4,   // files: registered as an OLE server after the file phase
  kRegisterFont = 8,     // files: added as a font after the file phase
  kKeepNewer = 16,       // files: a newer installed copy stays without asking
  kOnlyIfMissing = 32,   // an existing file, value, key or shortcut is left untouched
  kExternalSource = 64,  // files: the source is a file on disk, not an archive entry
  kSharedFile = 128,     // files: its SharedDLLs count is raised
};

struct TPendingEntry {
  // The entry's identity: a later entry of the same name replaces it.
  String Name;
  // The parts a composite name was made of (AddIni, uninstall sections);
  // empty otherwise.
  Array<String> NameParts;
  Array<String> Fields;

  // Field N (from 1), or empty when the entry has fewer.
  String Field(int n) const;
  // Field N as a number; Fallback when it is absent or not a number.
  int NumberField(int n, int fallback = 0) const;
  // NameParts[N - 1], or empty.
  String NamePart(int n) const;
};

// An ordered list of pending entries.
class TPendingList {
 public:
  int Count() const { return entries_.Count(); }
  bool IsEmpty() const { return entries_.IsEmpty(); }
  const TPendingEntry& operator[](int i) const { return entries_[i]; }
  // Index of the first entry named Name without regard to case, or -1.
  int IndexOfName(const String& name) const;
  // Replaces the entry of the same name in place, or appends Entry: a later
  // line for a name takes the value and the earlier one's position.
  void Set(TPendingEntry entry);
  // The same with a name and its fields only.
  void Set(const String& name, Array<String> fields);
  void Clear() {
    entries_.Clear();
    WildcardEnd = 0;
  }

  // What FindCopyEntry keeps of this list between calls: the entry after
  // the one it found last, and 1 + the first entry whose name has
  // wildcards (1 + Count when none; 0 when not known since the list
  // changed).
  mutable int NextToTry = 0;
  mutable int WildcardEnd = 0;

 private:
  Array<TPendingEntry> entries_;
};

// The ten lists of one run, created empty before the scripts are read and
// emptied when the run ends.
struct TPendingLists {
  TPendingList ArchiveCopies;
  TPendingList ExternalCopies;
  TPendingList RegAdditions;
  TPendingList RegDeletions;
  TPendingList IniChanges;
  TPendingList Shortcuts;
  TPendingList Programs;
  TPendingList OleServers;
  TPendingList Fonts;
  TPendingList UninstallSections;

  void Clear();
};

// The system-change steps, run on the main thread after the file phase in
// the order servers, registry, INI, fonts, shortcuts, (uninstall sections
// copied into the log), programs. Each step shows its own error box
// and returns false when the installation must end; the caller has shown
// the step's message window and skips a step whose lists are empty.
// Windows only.

// Registers each server now (Now "1") or queues it under RunOnce for the
// next start (Now "0": regsvr32 /s on the file, the value named by the
// whole path); a failure of either shows "Cannot register OLE server!..."
// with the path and goes on. Logs it in RegServers when Logged is "1".
// Always true.
bool RegisterServers(const TPendingList& servers, const TInstallLog& log);
// Writes the additions (logging new values and created keys unless kNoLog;
// kOnlyIfMissing leaves existing values), then deletes the deletions
// (failures ignored). False after "Error on changing registry data!".
bool ApplyRegistryChanges(const TPendingList& additions, const TPendingList& deletions,
                          const TInstallLog& log);
// Writes the INI keys (logging new keys, and INI files that did not exist,
// unless kNoLog; kOnlyIfMissing leaves existing keys), then drops every
// store so the log reaches the disk. Each key's file is written back before
// the key is logged, and only the lines added or changed differ in it (the
// files belong to other programs). A file that cannot be read or written
// shows "Error on changing ini-file!" with its name and ends the step with
// false.
bool ApplyIniChanges(const TPendingList& changes, const TInstallLog& log);
// Adds each font to the system's font table, registers it under the Fonts
// key that the running line of Windows loads at its start (on the NT line
// a font in FontsFolder, the expanded %Fonts% with a trailing "\", by its
// file name alone), logs it, and tells every window. Always true.
bool RegisterFonts(const TPendingList& fonts, const String& fontsFolder, const TInstallLog& log);
// Creates each ".lnk" file (the entry name + ".lnk"), its folder first.
// False after "Error on creating shortcut!".
bool CreateShortcuts(const TPendingList& shortcuts, const TInstallLog& log);

// Runs each program in list order: its first five fields are the run
// specification (program, parameters, directory, show, message), already
// split and expanded; it is waited for unless its Wait (field 6; 1 when
// absent or not a number) is 0. Owner (the background window) owns what
// the shell shows. Results are ignored; always true.
bool RunPrograms(const TPendingList& programs, HWND__* owner);

}  // namespace osin
