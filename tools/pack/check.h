// The project check: what osin-pack can tell about a project before it is
// packed, so the publisher hears of a mistake from the builder rather than
// from a user whose setup shows an empty page.
//
// The check reads the project with the setup program's own INI store,
// variable expansion, bitmap check and copy-entry lookup, so it cannot
// disagree with what the setup will do. Every finding names a file, the
// line when there is one, and a kind (a short name such as "unknown-key").
// Nothing in the project is changed.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace osin {

class TztIniFile;

// Loads Text (an INI file's bytes) into Ini; false when the store refuses
// it. The store's own file calls take ANSI names, which may not spell the
// project's folder.
bool LoadIniText(TztIniFile& ini, const std::string& text);

struct Finding {
  std::string file;  // relative to the project, '/' separated
  int line = 0;      // from 1; 0 when the finding concerns no one line
  std::string kind;
  std::string text;
};

// Every kind of finding the check knows, in the order they are described
// in the publisher's guide.
const std::vector<std::string>& FindingKinds();

// Checks the project folder Project (Presetup and Data below it); CodePage
// is the code page the archive's names are written in. Enciphered, when
// known, says whether the build enciphers the files with a password.
std::vector<Finding> CheckProject(const std::filesystem::path& project, int codePage,
                                  std::optional<bool> enciphered = std::nullopt);

// "file:line: warning: text [kind]" (without ":line" when there is none).
std::string FormatFinding(const Finding& finding);

}  // namespace osin
