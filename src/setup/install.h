// The installation of one run (Windows only).
#pragma once

namespace osin {

struct TPageRun;

// Installs what the project's scripts ask for: reads the scripts into the
// pending lists (behind a message window), sums the sizes, creates the
// destination folder and checks its free space, runs the file phase on the
// install worker while the progress page Pages shows it, then on this
// thread registers the uninstaller and makes the system changes in their
// fixed order (servers, registry, INI files, fonts, shortcuts, the copy of
// the uninstall sections into the log, the programs to run). The first
// failing step ends it with false, after its own message; a cancel ends it
// with false without one. Changes the run's InstallPath (expanded, without
// a trailing "\"), its page sequence and, for files replaced at restart,
// NeedReboot. The install log stays set for the rest of the program.
bool RunInstall(TPageRun& pages);

}  // namespace osin
