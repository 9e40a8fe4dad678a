#include "config/profile.h"

namespace osin {

void InstallRebootIniWriter();

// The native build (tools and tests) replaces no files at restart.
void InstallRebootIniWriter() {}

}  // namespace osin
