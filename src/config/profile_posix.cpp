#include "config/profile_internal.h"

namespace osin {

// The native build (tools and tests) replaces no files at restart.
void InstallRebootIniWriter() {}

}  // namespace osin
