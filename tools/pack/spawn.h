// osin-pack among other processes: running another program (the signing
// tool) with its output going where osin-pack's goes, and being stopped.
#pragma once

#include <string>
#include <vector>

namespace osin {

// Runs Args[0] (searched on the PATH) with the rest as its arguments and
// waits for it. Its exit status, or -1 when it could not be started.
int RunProgram(const std::vector<std::string>& args);

// Names the file to delete if a signal (Ctrl+C, a job runner's kill) ends
// osin-pack before it is done, or none when Path is null. The path is
// copied. Windows cannot delete a file still open for writing, so there a
// stopped run leaves it, as the console's Ctrl+C ends the process at once.
void RemoveOnSignal(const char* path);

}  // namespace osin
