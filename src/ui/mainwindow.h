// The full-screen background window behind the pages (Windows only).
//
// It shows a vertical colour gradient or a tiled bitmap, the static bitmaps
// of the configuration and the program name as a title with an optional
// shadow. The background (gradient or tiles and the static bitmaps) is
// rendered once, at the first paint, into a memory surface the window keeps
// until it is destroyed; every paint copies from it and draws the title on
// top, through a second memory surface so nothing flickers.
//
// The window ignores WM_CLOSE (Alt+F4 included): the run owns pages, the
// message window and started programs with it and destroys it only in its
// clean-up.
#pragma once

#include <stdint.h>

#include "platform/str.h"
#include "platform/strlist.h"
#include "ui/font.h"

struct HWND__;
struct HBITMAP__;

namespace osin {

extern const char kMainWindowClass[];

// What the background draws. The run fills it once the configuration is
// read, before the window is first shown; the window reads it at its first
// paint (the title at every paint). Pointers may be null: no title text, no
// static bitmaps.
struct TBackgroundLook {
  // The program name.
  const String* Title = nullptr;
  bool ShowTitle = true;
  // Face, size, styles and colour of the title; null draws no title.
  const TFontDescription* TitleFont = nullptr;
  bool TitleShadow = false;
  int32_t TitleShadowColor = 0xC0C0C0;
  // Tiled over the background instead of the gradient; owned by the run.
  HBITMAP__* Bitmap = nullptr;
  int32_t GradientTopColor = 0;
  int32_t GradientBottomColor = 0xFF8000;
  // Lines name=file,x,y,anchor,transparent, each with its bitmap (lines
  // without one are passed over). x, y: offsets (default 0); anchor: 1 from
  // the right edge, 2 from the bottom, 3 both, else from the top left;
  // transparent: a colour that lets the background through, -1 (the
  // default) for none. Numbers are decimal or "$" hexadecimal.
  const StringList* StaticBitmaps = nullptr;
};

// Registers the window class "OsinMainWindow" (the extended registration,
// or the plain one when that fails) and creates the window hidden: a popup
// without caption or border covering the whole screen, with an empty title,
// drawing Look (which must outlive the window). When the class cannot be
// registered at all, shows "Cannot register main window class!" and returns
// none; a window that cannot be created returns none without a message.
HWND__* CreateBackgroundWindow(const TBackgroundLook* look);

// The client size of Window, the reference for placing pages; the screen's
// size when there is no window or its size cannot be read.
void BackgroundClientSize(HWND__* window, int& width, int& height);

}  // namespace osin
