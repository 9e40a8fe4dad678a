// One setup run, from start to clean-up (Windows only).
#pragma once

#include "config/language.h"
#include "platform/str.h"

namespace osin {

// The run: own path, temporary folder, background window, control files,
// the configuration and the language, the checks of the system and the
// user's rights, the background, the programs to run first, the pages and
// the final page, clean-up. Every way out after the background window exists passes
// through the clean-up (stores written back and dropped, bitmaps and lists
// freed, window destroyed, temporary folder deleted, restart when the
// installation succeeded and asked for one). A run-ending fault may be
// pending afterwards; the program entry shows it. Returns InstallSucceeded.
bool RunSetup();

// The run's result in the run log ("Installed." or "Not installed.", and a
// restart left out by /NORESTART) and its exit code: for an unattended run
// the code that tells how far it came, for an interactive one 0.
int RunResult(bool done);

// The setup's answer to running out of memory, once the background window
// exists: the clean-up, the error, the run's result, and the process ends.
[[noreturn]] void CleanUpAfterOutOfMemory();

// The temporary folder for the control files' own folder, with a trailing
// "\": the system's temporary path, except when that path is missing, too
// long for its buffer, or equal to the current directory (a setup started
// from the temporary folder would otherwise unpack next to itself); then
// the Windows folder's "Temp\" on the 95 line and "C:\Temp\" on the NT line.
String PresetupParentFolder();

// The rights check: passes when rights are not Required or IsAdmin says
// the user has them. Otherwise the warning of message 10, unless IsAdmin
// raised the run-ending fault (a security error), which the program entry
// shows instead: one box for one cause.
bool AdminCheckPasses(bool required, bool (*isAdmin)(), const LanguageTexts& texts);

}  // namespace osin
