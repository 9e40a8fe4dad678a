// Reading the install scripts into the pending lists.
//
// Osin.ini's Config/InsFiles names base names (split at ","). For each, in
// order, these files of the control files' folder are read when they exist:
// <base>.ins; on the NT line <base>.nt, then <base>.nt4 on major version 4 or
// <base>.2k on 5; on the 95 line <base>.9x, then <base>.95 or <base>.98. Each
// file is read twice: with the plain section names, then with the names
// followed by "." and the language code, so a language's sections come later
// and override.
//
// In one file and pass the action sections are read in this order:
// CopyFiles, AddReg, DelReg, Shortcuts, AddIni and RunApp. A line of an
// action section, ListSection=Base, hands each line of the section
// ListSection (of the same file, no suffix) with Base to the action's
// collector; RunApp's own lines are its entries. Then every section named
// Uninstall.<Name> (plain pass) or Uninstall.<Name>.<code> (language pass)
// is recorded for the copy into the install log.
//
// Field syntax comes from the publisher's text alone: a value (and AddIni's
// Base, IniFile,Section) is split into fields first, then each field, the
// key and Base are expanded with ExpandString. So what a variable brings in
// never moves a field (see install/pending.h). An expansion that runs away
// shows its message and keeps its text.
#pragma once

#include "install/pending.h"
#include "platform/osversion.h"
#include "platform/str.h"
#include "platform/strlist.h"

namespace osin {

enum ScriptAction : int { kActCopyFiles, kActAddReg, kActDelReg, kActShortcuts, kActAddIni, kActRunApp };
const int kScriptActionCount = 6;

// The section name of an action ("CopyFiles", ...).
const char* ScriptActionName(ScriptAction action);

// The script files to try for Base in the folder Presetup (which ends in a
// separator), in order; whether they exist is not looked at.
void ScriptFileNames(const String& presetupDir, const String& base, const TOSVersion& os, StringList& names);

// Collects one line Key=Value of an action's list section with the action
// line's Base (for RunApp, one line of its own section; Base unused). All
// three are the script's unexpanded text. An AddIni line whose key is empty
// once expanded names no key and is passed over.
void CollectScriptLine(ScriptAction action, const String& key, const String& value, const String& base,
                       const StringList& variables, TPendingLists& lists);

// What the scripts are read with.
struct TScriptSources {
  const String& ConfigFile;
  const String& PresetupDir;
  const String& Language;
  const StringList& Variables;
  const TOSVersion& OS;
};

// Reads every script file into Lists. The caller switches the stores'
// StripQuotes option off around it, so quoted values keep their quotes.
// False when reading raised the run-ending fault (a script that exists but
// cannot be opened): nothing may then be installed from what was read.
bool ReadInstallScripts(const TScriptSources& sources, TPendingLists& lists);

}  // namespace osin
