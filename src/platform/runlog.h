// The run log an administrator asks for (/LOG=file): plain text, one line
// per step, file and error, in the order they happened. Lines are gathered
// and written in blocks, so a large installation does not pay a write per
// file; the rest goes out when the log is closed. Without an open log every
// call does nothing. The main thread and the install worker both write to
// it, never at the same moment: the worker is held while the main thread
// asks anything.
#pragma once

#include "platform/str.h"

namespace osin {

// Creates (or empties) the log file; false when it cannot be written.
bool OpenRunLog(const String& path);
// One line made of Text and More; the line break is added.
void RunLog(const char* text, const String& more);
// Writes what is gathered and closes the file.
void CloseRunLog();
// The last line, "Exit code Code", then the log written out and closed:
// whoever started the program reads it whole right after the exit.
// Returns Code.
int EndRunLog(int code);

}  // namespace osin
