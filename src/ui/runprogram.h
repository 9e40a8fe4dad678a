// Running a program from a run specification: one text of five
// comma-separated fields, split with the quote-aware field splitter (a
// stretch in single or double quotes may hold commas; empty fields count; a
// field enclosed in single quotes loses them):
//   1 program     file to open or run; when it starts with a double quote,
//                 the text up to the closing one (a doubled quote inside
//                 stands for one)
//   2 parameters  passed unchanged
//   3 directory   working folder, passed unchanged
//   4 show        0 hidden, 1 normal, 2 maximized, 3 minimized; 1 when
//                 empty or not a number; any other number shows normally
//   5 message     unquoted like field 1; shown in the message window while
//                 the program starts or runs, at least 750 ms
// The setup's PreRunApp lines and the scripts' RunApp use it.
#pragma once

#include <stdint.h>

#include "platform/str.h"

struct HWND__;

namespace osin {

struct TRunSpec {
  String Program;
  String Parameters;
  String Directory;
  // The system's show command (SW_HIDE 0, SW_SHOW 5, SW_SHOWMAXIMIZED 3,
  // SW_SHOWMINIMIZED 2).
  int Show = 5;
  String Message;
};

TRunSpec ParseRunSpec(const String& spec);

// Windows only. Runs Spec's program through the shell, owned by Owner (the
// background window). With Wait: the program's exit code, or -1 when it
// cannot be started or a quit message arrives while waiting (window
// messages keep flowing meanwhile). Without: 0 once it is started. When
// the program is a folder (opened in the shell's window), 300 ms pass
// before the result.
int32_t RunProgramSpec(const String& spec, bool wait, HWND__* owner);

}  // namespace osin
