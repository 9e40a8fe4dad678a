// The full-screen background window behind the pages (Windows only).
#pragma once

struct HWND__;

namespace osin {

extern const char kMainWindowClass[];

// Registers the window class "OsinMainWindow" (the extended registration,
// or the plain one when that fails) and creates the window hidden: a popup
// without caption or border covering the whole screen, with an empty title.
// When the class cannot be registered at all, shows "Cannot register main
// window class!" and returns none; a window that cannot be created returns
// none without a message.
HWND__* CreateBackgroundWindow();

}  // namespace osin
