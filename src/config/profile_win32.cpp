#include "config/profile.h"
#include "config/profile_internal.h"
#include "platform/file.h"

namespace osin {

void InstallRebootIniWriter() {
  SetRebootIniWriter(AddIniLine);
}

}  // namespace osin
