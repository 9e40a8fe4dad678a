// The setup program's command line: the switches administrators give for
// unattended installs. Without arguments every field keeps its default and
// the run is the interactive one.
#pragma once

#include "platform/str.h"

namespace osin {

struct TCommandLine {
  // /SILENT: no background and no pages but the progress page.
  bool Silent = false;
  // /VERYSILENT: no window at all; implies SuppressBoxes.
  bool VerySilent = false;
  // /SUPPRESSMSGBOXES: every box takes its default answer unseen.
  bool SuppressBoxes = false;
  // /NORESTART: a restart the installation needs is left to the caller.
  bool NoRestart = false;
  // /?: only the box listing the switches.
  bool Help = false;
  // The values; empty when the switch was not given.
  String Dir;
  String Group;
  String Lang;
  String Password;
  String LogFile;
  // What was wrong with the line; empty when it was read whole.
  String Error;

  bool Unattended() const { return Silent || VerySilent; }
};

// Reads the arguments (the command line after the program's name). Words
// are separated by blanks; double quotes group and are dropped, anywhere in
// a word, and backslashes are plain characters (a folder may end in one)
// but for a run right before a quote, which is halved, rounding up.
// Switches begin with "/" or "-" and are read without regard to case; the
// last of a repeated switch counts. False, with Error set to the first
// fault, on an unknown switch or a malformed value: an empty value, or a
// /DIR that is not a full path (drive or network).
bool ParseCommandLine(const char* arguments, TCommandLine& line);

// The arguments of a whole command line: what follows the program's name,
// which may be quoted.
const char* SkipProgramName(const char* commandLine);

// The exit code of an unattended run: 0 done, 1 could not start, 2
// cancelled before the installation began, 4 failed during it, 5 cancelled
// during it, 8 done but a restart is needed and was not allowed. Stage is
// how far the run came (TRunStage).
enum TRunStage : int { kStageStarting, kStagePages, kStageInstalling };
int UnattendedExitCode(int stage, bool succeeded, bool cancelled, bool restartPending);

// The text of the /? box.
extern const char kSwitchesHelp[];

}  // namespace osin
