// The running of the programs that the scripts' RunApp sections list.
//
// Running a program belongs to the setup run, which runs its PreRunApp
// programs the same way (run specification, message window, waiting with
// the window messages flowing); it hands its runner down at start, so this
// layer needs nothing from above.
#pragma once

#include <stdint.h>

#include "install/pending.h"
#include "platform/str.h"

struct HWND__;

namespace osin {

// Runs one run specification: five comma-separated fields (program,
// parameters, directory, show, message) as the quote-aware field splitter
// reads them, owned by Owner; with Wait it waits for the program. The
// result is the program's exit code, or what the runner says instead.
using ProgramRunner = int32_t (*)(const String& spec, bool wait, HWND__* owner);

// Installs the runner that RunPrograms uses; until then no program is run.
void SetProgramRunner(ProgramRunner runner);

// The run specification of a Programs entry: its first five fields joined
// by ",", each field that holds a comma or a quote written in apostrophes
// (an apostrophe inside doubled), so that the field splitter gives back
// each field as it is, whatever a variable brought into it.
String JoinRunSpec(const TPendingEntry& program);

}  // namespace osin
