// Running another program from osin-pack (the signing tool), with its
// output going where osin-pack's goes.
#pragma once

#include <string>
#include <vector>

namespace osin {

// Runs Args[0] (searched on the PATH) with the rest as its arguments and
// waits for it. Its exit status, or -1 when it could not be started.
int RunProgram(const std::vector<std::string>& args);

}  // namespace osin
