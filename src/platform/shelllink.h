// Shortcuts (".lnk" files) through the system's shell-link object, and the
// COM library it needs (Windows only).
//
// ole32.dll is not imported, so a system whose COM is broken loses its
// shortcuts, not the whole setup: StartCom loads it and looks up the three
// functions used. The program entry calls StartCom on the main
// thread at the start and EndCom at the end; shortcuts are made on that
// thread in between.
#pragma once

#include <stdint.h>

#include "platform/str.h"

namespace osin {

// Loads ole32.dll and initialises COM for the calling thread (single-
// threaded apartment). False when the library or its functions are missing
// or the initialisation failed; shortcuts cannot be made then. Calling it
// again while COM is up does nothing.
bool StartCom();
// Uninitialises COM (when StartCom succeeded) and frees the library.
void EndCom();

// One shortcut: fill the fields, then SaveToFile.
class TztShellLink {
 public:
  String FileName;  // the ".lnk" file, set by SaveToFile
  // The program or document. In double quotes (so that a comma stays in
  // one field of a script line) it is unquoted before use, as are
  // WorkingDirectory and IconLocation.
  String Target;
  String Arguments;
  String WorkingDirectory;
  String Description;
  String IconLocation;  // the file holding the icon; empty for the target's own
  // 1 minimized without activation, 2 maximized, anything else normal.
  uint8_t ShowCommand = 0;
  // Virtual-key code in the low byte, HOTKEYF_ modifier bits in the high one.
  uint16_t HotKey = 0;
  int32_t IconIndex = 0;

  // Stores FileName and writes the link there (without making it the link
  // object's current file). False at the first step the shell refuses,
  // when COM is not started, or when the file cannot be written.
  bool SaveToFile(const String& fileName);
};

// The system's show command for a ShowCommand value (SW_ numbers).
int ShellLinkShowCommand(uint8_t showCommand);

}  // namespace osin
