// Failures that end the whole run.
//
// Code in osin.exe has no exceptions. Most failures travel as results; a few
// must abort the whole setup run wherever they happen (the archive cannot be
// opened, an INI file exists but cannot be opened, a security call fails).
// Such a failure is raised here: the first message is kept, later ones are
// dropped because they are consequences of the first. Every loop and modal
// step that could run on checks FaultPending() and stops; window, dialog and
// hook procedures never unwind, they end their dialog or loop and let the
// caller look. The program entry takes the message after the clean-up and
// shows it in an error box.
//
// The state is process-wide, like an exception in flight: the install worker
// thread may raise too, so access is serialised.
#pragma once

#include "platform/str.h"

namespace osin {

void RaiseFault(const String& message);
bool FaultPending();
// The kept message; the state is cleared.
String TakeFault();

}  // namespace osin
