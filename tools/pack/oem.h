// Entry names in an OEM code page, as RAR archives keep them (the setup
// program turns them into the user's ANSI code page with the system's OEM
// table).
#pragma once

#include <filesystem>
#include <string>

namespace osin {

// Converts a relative path to an archive name in OEM code page CodePage
// (437, 850, 866...), with '\' between the parts. False when the code page
// is unknown or a character has no exact equivalent in it (no best-fit
// replacements: a name must come back as it went in).
bool ToOemName(const std::filesystem::path& relative, int codePage, std::string& name);

}  // namespace osin
