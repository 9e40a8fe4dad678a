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

// The ANSI code page Windows pairs with OEM code page OemCodePage: the one
// in which the setup compares the archive's names with its scripts and
// reads what its user types. The double-byte pages are their own pair.
inline int AnsiCodePageOf(int oemCodePage) {
  switch (oemCodePage) {
    case 852:
      return 1250;
    case 855:
    case 866:
      return 1251;
    case 737:
    case 869:
      return 1253;
    case 857:
      return 1254;
    case 862:
      return 1255;
    case 720:
    case 864:
      return 1256;
    case 775:
      return 1257;
    case 437:
    case 850:
    case 858:
    case 860:
    case 861:
    case 863:
    case 865:
      return 1252;
    default:
      return oemCodePage;
  }
}

// The OEM code page paired with Windows ANSI code page AnsiCodePage (1250
// to 1257), or 0 when AnsiCodePage is no such page.
inline int OemCodePageFor(int ansiCodePage) {
  for (int oem : {852, 866, 850, 737, 857, 862, 720, 775})
    if (ansiCodePage != oem && AnsiCodePageOf(oem) == ansiCodePage) return oem;
  return 0;
}

// Like ToOemName, in the ANSI code page paired with OemCodePage: the name
// as the setup's scripts write it.
bool ToAnsiName(const std::filesystem::path& relative, int oemCodePage, std::string& name);

// UTF-8 text (as this program takes its command line) in the ANSI code
// page paired with OemCodePage; false when a character has no exact
// equivalent there.
bool ToSetupText(const std::string& text, int oemCodePage, std::string& converted);

// Makes the archive reader read entry names in OEM code page CodePage and
// give them in its ANSI pair, as the setup does on a system of that code
// page. Without it the reader reads them as the setup would here: in code
// page 437 on POSIX systems, through the system's own OEM table on
// Windows.
void ReadNamesIn(int codePage);
// The code page of ReadNamesIn; 0 before it.
int NamesCodePage();

// Text in code page From turned into code page To; false when a character
// has no exact equivalent there.
bool Recode(const std::string& text, int from, int to, std::string& converted);

// An entry name as the archive reader gives it in the encoding of this
// system's narrow file calls: UTF-8 on POSIX systems, the ANSI code page on
// Windows. False when a character has no equivalent there (a Cyrillic name
// on a Western Windows): Local then holds '?' in its place.
bool ToLocalName(const std::string& readerName, std::string& local);

// A name in OEM code page CodePage in UTF-8 (as far as it converts).
std::string OemToUtf8(const std::string& name, int codePage);

// An entry name as the archive reader gives it, in UTF-8.
std::string ToUtf8Name(const std::string& readerName);

// The entry name as a relative path that keeps every character, for the
// names ToLocalName cannot give whole.
std::filesystem::path ToLocalPath(const std::string& readerName);

}  // namespace osin
