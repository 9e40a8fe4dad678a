// The uninstaller UnOsin.exe: undoes an installation from its install log.
//
// Started as the installation registered it, UnOsin.exe "<log file>", from
// Add or Remove Programs (or with /S, before or after the log, to run
// without questions). It reads the log (install/log.h); from Vista on, a run
// without an administrator's rights whose log names entries of the whole
// machine (guard.h's NeedsAdministrator) stops there and says so. It asks
// whether to go on and waits while a setup installs (the turn setups take
// one at a time, which it holds until its final box; the log is read again
// when that setup wrote it), then takes back what the log names, the later
// changes first:
//
//   1. shared files (SharedFiles): each SharedDLLs count lowered by one; a
//      file whose count reaches zero goes after asking (Remove, Keep, Keep
//      all; without questions: it goes), any other stays; one that another
//      program installed and this one passed over is asked about too, and
//      goes with its OLE registration and font (without questions it stays);
//      each lowered count is noted in the log at once, so a run ended
//      halfway and started anew lowers none twice;
//   2. OLE servers unregistered (DllUnregisterServer; a registration still
//      queued under RunOnce is dropped) and fonts taken out of the system's
//      table, both only for files this run removes;
//   3. shortcuts, INI keys (an emptied section goes too), registry values;
//   4. files, but not one changed after the installation (written after
//      the log); one in use is deleted at the next restart, renamed first
//      where the system allows (a running program, a loaded library), so
//      its name is free for a setup run again before then, and a new copy
//      a setup left to take its name at the restart goes; an INI file made
//      for the installation's keys only when nothing else was written to it,
//      and a font's value stays with a font that stays;
//   5. the log, then registry keys: a key that holds no other logged key
//      goes with everything in it (the program's settings), one that holds
//      another logged key only when empty; then folders, only when empty
//      or holding nothing but empty folders (made by the program as it
//      ran), with the emptied ones below them that the files needed
//      unlogged; one that waits for a file in use goes at the next restart
//      after its empty folders; a logged folder's read-only mark is cleared
//      first (and set again when it stays);
//   6. the program's Uninstall key, when it still names this log; then the
//      copy of UnOsin.exe in the Windows folder that the key named (and this
//      program's own file, when it is such a copy), once no registration
//      under the Uninstall key (either view of a 64-bit system) names it in
//      its plain or quiet command: deleted, or, while it runs, renamed and
//      deleted at the next start. The run log says what became of it.
// Nothing outside the log is touched, and the guards of uninstall/guard.h
// keep a damaged or edited log from reaching roots, system folders or the
// system's registry keys. An entry that cannot be removed is listed at the
// end and the rest goes on; such entries are written back into the log and
// the Uninstall key stays, so the user can run the uninstaller again once
// the cause is gone.
//
// Texts come from the log's Strings section (the language file's
// Uninstall.Strings, copied in at installation), key by number; a missing
// one falls back to English. They are in the code page of the setup's
// language, whose code the setup registers (value Language of the program's
// Uninstall key; without it, or with a key that names another log, the
// system's code page), and shown so (ui/wintext.h):
//   1 caption           5 not removed, above the list    9-11 Remove, Keep,
//   2 question          6 restart question                    Keep all
//   3 progress          7 shared-file question           12 above the folders
//                                                           left non-empty
//   4 done              8 shared-file caption            13 an entry refused
//                                                        14 a server left
//                                                           registered
//                                                        15 above the INI
//                                                           files left with
//                                                           others' entries
//                                                        16 above the files
//                                                           changed after the
//                                                           installation
//                                                        17 while waiting for
//                                                           a setup
//                                                        18 the log's last
//                                                           line, cut short
//                                                        19 the Cancel button
//                                                           while waiting
#pragma once

#include "platform/str.h"

namespace osin {

// The exit codes of UnOsin.exe.
enum UninstallExit : int {
  kUninstallDone = 0,        // everything the log names is gone (or the log was
                             // missing or no log, and the user took the program
                             // off the list)
  kUninstallCancelled = 1,   // the user answered No, or cancelled the wait for
                             // another setup: nothing changed
  kUninstallNoLog = 2,       // bad command line, no readable log, another run
                             // on the same log, or (from Vista on) no
                             // administrator's rights for a log that needs
                             // them: nothing changed
  kUninstallIncomplete = 3,  // some entries stayed (listed, kept in the log)
  kUninstallRestart = 3010,  // done, with files in use deleted at the next start
  kUninstallBusy = 1618,     // without questions, another setup still installed
                             // after ten minutes: nothing changed, try again
                             // later (the code deployment tools know)
};

struct TUninstallOptions {
  String LogFile;
  bool Silent = false;
  String RunLog;  // /LOG=file: a plain-text account of the run
};

// Reads a command line of the program's arguments (without the program's own
// name), in any order and either letter case, switches with "/" or "-": the
// log file (double quotes may enclose it or any part of a word); /S, or the
// setup program's /SILENT, /VERYSILENT or /SUPPRESSMSGBOXES, for a run
// without questions; /NORESTART, which such a run needs not; /LOG=file.
// False when no log file is named or a word is unknown; Silent and RunLog
// are still set as far as the words name them, so a script's run asks
// nothing even then.
bool ParseUninstallCommandLine(const String& commandLine, TUninstallOptions& options);

// Windows only. One uninstallation as described above; the exit code. It
// resolves the log's name to a full path and moves the current folder to
// the Windows folder, which no installation removes; a second run on the
// same log while this one works ends at once with kUninstallNoLog.
// Boxes go through ui/msgbox.h, so tests answer them with a box hook; the
// shared-file question is a dialog of the program's own resources (answered
// "Keep" when they lack it).
int RunUninstall(const TUninstallOptions& options);

}  // namespace osin
