#include "config/profile.h"
#include "platform/file.h"

namespace osin {

void InstallRebootIniWriter();

void InstallRebootIniWriter() {
  SetRebootIniWriter(AddIniLine);
}

}  // namespace osin
