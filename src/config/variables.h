// Variables and their expansion.
//
// The variables are the name=value lines of Session().Variables, values
// stored unexpanded. A text refers to a variable as "%" + name + "%";
// references are replaced when a text is used, so variables may refer to
// each other in any order.
//
// Names are looked up without regard to case when a variable is set or read
// with GetVariable, but a reference in a text must match the name's letter
// case exactly. A reference to an unknown name stays in the text as it is;
// "%%" has no meaning of its own.
#pragma once

#include "platform/str.h"

namespace osin {

// Replaces references in passes: each pass replaces, for every variable in
// list order, every occurrence of its reference (left to right, without
// rescanning inserted text; later variables of the same pass see it), and
// passes repeat until the text no longer changes. A text that references
// itself (directly or through others) would never settle: after 100
// passes, or as soon as the text would grow by more than 64 KB, the error
// box "Infinite reference in the string "S"!" is shown and S is returned
// unexpanded.
String ExpandVariables(const String& s);
// Every "||" becomes a carriage return, then ExpandVariables. The expansion
// for texts that are shown.
String ExpandString(const String& s);

// The value of the variable, expanded with ExpandString; empty when none.
String GetVariable(const String& name);
// Replaces the line of the variable (without regard to case; the name then
// takes the caller's letter case) or appends one.
void SetVariable(const String& name, const String& value);
// SetVariable with one trailing backslash removed, except from a drive root
// such as C:\.
void SetPathVariable(const String& name, const String& path);

// Windows only. Builds the list anew: the built-in variables in their order
// (SourcePath, InstallPath, Presetup, BootDrive, Windows, System, the shell
// folders Desktop, Fonts, NetHood, Personal, ProgramsMenu, Recent, SendTo,
// StartMenu, StartupMenu, Templates, then ProgramFiles, CommonFiles,
// CommonDesktop, CommonProgramsMenu, CommonStartMenu, CommonStartupMenu,
// BDE, Delphi, Date, LangStr), then the lines of sections "Variables" and
// "Variables." + language code of the configuration file, which is read
// afresh from disk. A folder or registry value that cannot be read gives the
// row's default (empty unless stated in the implementation).
void BuildVariables();

}  // namespace osin
