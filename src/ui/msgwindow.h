// The message window, the one-line text query and window services shared by
// the user interface (Windows only, but for MinimumTimeShown).
//
// The message window (dialog DLG_MESSAGE) shows a status text while the
// program works ("Reading install information files...", a started
// program's message), for at least a minimum time. It is created on first
// use, owned by the window SetMessageWindowOwner named, and reused for every
// later text: sized to the text, centred, shown, and hidden again by
// HideMessageWindow. It belongs to the main thread.
//
// The text query (dialog DLG_INPUTQUERYSTR) asks for one line of text; its
// working values live on the calling thread's stack, so any thread may ask.
#pragma once

#include <stdint.h>

#include "platform/str.h"

struct HWND__;
struct HDC__;
struct HFONT__;
struct tagRECT;

namespace osin {

struct TFontDescription;

// The message window's owner (the background window), which is repainted
// when a message hides, and the description its font is made from when the
// window is created (the dialog font; its colour is not used). Both may be
// none, and both must outlive their use. While Hidden (a run that shows no
// window at all) no message is shown.
void SetMessageWindowOwner(HWND__* owner, const TFontDescription* font, bool hidden = false);

// Shows Text in the message window: the text control gets the width of the
// text on one line, at least 50 and at most 300 pixels, the window that
// width plus its margin around the control; the window is centred on the
// screen, brought to the foreground and painted at once, the text wrapped
// at blanks and centred. Minimum is the least time in milliseconds the
// message stays (HideMessageWindow waits for it). When the window cannot be
// created: the error box "Cannot create message window!" and nothing else
// (the next call tries again).
void ShowMessageWindow(const String& text, uint32_t minimumMs);
// Hides the message window once its minimum time has passed since it was
// shown (waiting without handling messages), repaints the owner and pauses
// 50 ms. Nothing when the window is not shown.
void HideMessageWindow();
// Whether Minimum milliseconds have passed from the tick count ShownAt to
// Now; the 32-bit tick count may wrap in between.
inline bool MinimumTimeShown(uint32_t shownAt, uint32_t now, uint32_t minimum) {
  return now - shownAt >= minimum;
}

// Asks for one line of text in a dialog owned by Owner (or none) with
// Caption, Prompt and Value (all of it selected) in its edit box; the
// dialog takes Owner's font when Owner has one. OK (or Enter) stores up to
// 1023 characters in Value and gives true; Cancel, Esc or a dialog that
// cannot open give false and leave Value alone.
bool AskString(HWND__* owner, const String& caption, const String& prompt, String& value);
// The texts of the query's OK and Cancel buttons, "OK" and "Cancel" until
// set.
void SetQueryButtonTexts(const String& ok, const String& cancel);

// Gives Window and every window below it Font, without redrawing.
void ApplyFontToChildren(HWND__* window, HFONT__* font);
// Draws Text on Surface in Rect with the surface's font, a font of the
// language's character set, wrapped to the rectangle's width by WrapText in
// the language's code page (a word wider than it stands alone on its line;
// double-byte text breaks between letters).
// VerticalMode 1 centres the lines vertically, 2 puts them at the bottom,
// anything else at the top; Alignment 0 left, 1 right, 2 centred. The text
// background is left alone when Transparent, else filled.
void DrawWrappedText(HDC__* surface, const String& text, const tagRECT& rect, bool transparent,
                     int verticalMode, int alignment);
// Invalidates the whole window and paints it now.
void RepaintNow(HWND__* window);

}  // namespace osin
