// Text and paths as this system takes and shows them. Inside osin-pack
// every path and message is UTF-8 text on every system, so a folder of any
// name works whatever the Windows ANSI code page; the command line, the file
// system and the console are reached through the functions here.
#pragma once

#include <stdio.h>

#include <filesystem>
#include <string>
#include <vector>

namespace osin {

// The program's arguments after its name, in UTF-8 (on Windows taken from
// the system's wide command line, not from Argv in the ANSI code page).
std::vector<std::string> ProgramArguments(int argc, char** argv);

// A path from UTF-8 text (a plain std::string would be read in another
// encoding by this Windows toolchain's std::filesystem).
inline std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::u8path(utf8);
}

// This program's own file; empty when the system cannot tell.
std::filesystem::path ProgramPath();

// Path as the setup's own file calls take it (in the ANSI code page on
// Windows); false when a character has no exact equivalent there.
bool SystemSpells(const std::filesystem::path& path, std::string& spelled);
// The short (8.3) form of an existing Path as those calls take it; empty
// when there is none (or no such form on this system).
std::string ShortFormOf(const std::filesystem::path& path);

// Prints UTF-8 text like fprintf: to a Windows console as wide text, so
// every letter shows; to a pipe or file in the ANSI code page ('?' for a
// letter it lacks), as Windows programs reading it expect. Elsewhere as it
// is.
void Print(FILE* stream, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace osin
