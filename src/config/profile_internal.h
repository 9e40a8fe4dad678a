// What the profile layer's files share among themselves and nobody else
// calls.
#pragma once

namespace osin {

// Hands AddIniLine to the replacement of files at restart (a file per
// platform; the native build replaces no files at restart).
void InstallRebootIniWriter();

}  // namespace osin
