// Variables and their expansion.
//
// The variables are name=value lines of a list the caller keeps (the setup
// run keeps one), values stored unexpanded. A text refers to a variable as
// "%" + name + "%"; references are replaced when a text is used, so
// variables may refer to each other in any order.
//
// Names are looked up without regard to case when a variable is set or read
// with GetVariable, but a reference in a text must match the name's letter
// case exactly. A reference to an unknown name stays in the text as it is;
// "%%" has no meaning of its own.
//
// An expansion that runs away shows nothing itself: it says so in its
// result, and the caller shows RunawayMessage of the text to the user.
#pragma once

#include "platform/str.h"
#include "platform/strlist.h"

namespace osin {

// The result of an expansion. Runaway: the text references itself (directly
// or through others) and would never settle; Text is then the text as it
// was given, unexpanded.
struct Expanded {
  String Text;
  bool Runaway = false;
};

// "Infinite reference in the string "<Text>"!": what the user is told about
// a text whose expansion ran away.
String RunawayMessage(const String& text);

// Replaces references in passes: each pass replaces, for every variable in
// list order, every occurrence of its reference (left to right, without
// rescanning inserted text; later variables of the same pass see it), and
// passes repeat until the text no longer changes. After 100 passes, or as
// soon as the text would grow by more than 64 KB, the expansion has run
// away.
Expanded ExpandVariables(const String& s, const StringList& variables);
// Every "||" becomes a carriage return, then ExpandVariables. The expansion
// for texts that are shown.
Expanded ExpandString(const String& s, const StringList& variables);

// The value of the variable, expanded with ExpandString; empty when none.
Expanded GetVariable(const StringList& variables, const String& name);
// Replaces the line of the variable (without regard to case; the name then
// takes the caller's letter case) or appends one. The name is a plain
// pointer: nearly every caller names a built-in variable, and a String made
// at each of those calls costs the setup program more than one made here.
void SetVariable(StringList& variables, const char* name, const String& value);
// SetVariable with one trailing backslash removed, except from a drive root
// such as C:\.
void SetPathVariable(StringList& variables, const char* name, const String& path);

// What the built-in variables are made of besides the system's folders: the
// run's own file (%SourcePath% is its folder), the destination, the control
// files' folder, the configuration file and the language code.
struct VariableSources {
  const String& SourceFile;
  const String& InstallPath;
  const String& PresetupDir;
  const String& ConfigFile;
  const String& Language;
};

// The variables the setup defines itself, in the order BuildVariables sets
// them: the run's folders, the boot drive, the system's folders, the shell
// folders (in the order of kSpecialFolders), the folders the system records
// in the registry, the Borland folders, the date and the language code.
// osin-pack's project check knows them from here too.
// clang-format off
#define OSIN_FOLDER_VARIABLES(X)                                                           \
  X(Desktop) X(Fonts) X(NetHood) X(Personal) X(ProgramsMenu) X(Recent) X(SendTo)           \
  X(StartMenu) X(StartupMenu) X(Templates)                                                 \
  X(ProgramFiles) X(CommonFiles) X(CommonDesktop) X(CommonProgramsMenu) X(CommonStartMenu) \
  X(CommonStartupMenu)
#define OSIN_BUILTIN_VARIABLES(X)                                                          \
  X(SourcePath) X(InstallPath) X(Presetup) X(BootDrive) X(Windows) X(System)               \
  OSIN_FOLDER_VARIABLES(X)                                                                 \
  X(BDE) X(Delphi) X(Date) X(LangStr)
// clang-format on

#define OSIN_BUILTIN_INDEX(name) kVar##name,
#define OSIN_BUILTIN_NAME(name) #name,
enum BuiltinVariable : int { OSIN_BUILTIN_VARIABLES(OSIN_BUILTIN_INDEX) kBuiltinVariableCount };
constexpr const char* kBuiltinVariables[] = {OSIN_BUILTIN_VARIABLES(OSIN_BUILTIN_NAME)};
// The shell folders' and the registry folders' variables, from Desktop on:
// the part of the list the setup walks with an index.
constexpr const char* kFolderVariables[] = {OSIN_FOLDER_VARIABLES(OSIN_BUILTIN_NAME)};
#undef OSIN_BUILTIN_INDEX
#undef OSIN_BUILTIN_NAME

// Windows only. Builds the list anew: the built-in variables in their order
// (kBuiltinVariables), then the lines of sections "Variables" and
// "Variables." + language code of the configuration file, which is read
// afresh from disk. A folder or registry value that cannot be read gives the
// row's default (empty unless stated in the implementation). A default whose
// expansion ran away is appended to Runaways, for the caller to report.
void BuildVariables(StringList& variables, const VariableSources& sources, StringList& runaways);

}  // namespace osin
