// The code page of every text the program puts into a window or a box, and
// the windows that show a language's letters whatever the system's code
// page (Windows only).
//
// A language file is written in the code page of its language (Russian in
// 1251), but the system turns the text of an ANSI window into Unicode
// through its own ANSI code page: a Russian page on a Western system showed
// Latin letters. So on the NT line the program's dialogs are Unicode
// windows (ShowDialog, CreatePushButton), and a language text is converted
// from the language's code page on its way in and back into it on its way
// out. The 95 line has no Unicode windows: there every text goes in and out
// as it is, as before, and the page font's character set decides how it
// looks. Where the language's code page is the system's, both ways give
// the very bytes the ANSI calls give.
//
// Which texts are the language's is decided here alone, by the control:
//   - single-line edit boxes and list boxes hold what the user types or the
//     system names (the folder, the program group, the password, names of
//     files, folders and locales): the ANSI code page, both ways, so a
//     folder shown or typed there reads back as the same bytes;
//   - every other control of a Unicode window (static texts, buttons, group
//     boxes, the documents in multi-line boxes) and the window's caption
//     show language texts;
//   - a window that is not Unicode (the background window on the 95 line,
//     a Unicode one on the NT line; the message window, which draws its
//     text itself with the language's font) takes every text as it is.
// Message boxes: the caption (the program's name) is a language text, the
// text is one where the box says so (kBoxLanguageText, msgbox.h).
//
// Known limit: a variable's value, a file name or a path put into a
// language text goes with it, as if written in the language's code page.
// Where that differs from the system's, its letters beyond ASCII may show
// wrong; values of the language's own variable section (Variables.RUS) are
// written in its code page and show right. The same holds for the names of
// files, folders, keys and INI files that the uninstaller lists below its
// language texts in one box.
#pragma once

#include <stdint.h>
#include <windows.h>

#include "platform/str.h"

namespace osin {

// Makes the code page of Charset (a font character set) the language's:
// DEFAULT_CHARSET, or a set the system knows no code page for, stands for
// the ANSI code page.
void SetLanguageCharset(uint8_t charset);
// The language's code page, that of the texts drawn in the language's font.
UINT LanguageCodePage();

// Sets the window's text, converted as its control holds it.
void SetText(HWND window, const String& text);
// The window's text, whole, converted back as its control holds it.
String WindowText(HWND window);

// Text as UTF-16, zero-terminated, in the bytes of a String: from the
// language's code page, or from the ANSI code page when Language is false.
String Widen(const String& text, bool language);

// Shows the dialog template Name modally (a Unicode window on the NT line)
// with Proc and Param; the dialog's result, or -1 when it cannot open.
INT_PTR ShowDialog(const char* name, HWND owner, DLGPROC proc, LPARAM param);

// A visible push button with tab stop, child Id of Parent at X, Y with
// Width and Height, and no text yet (SetText gives it one); a Unicode
// window on the NT line.
HWND CreatePushButton(HWND parent, int id, int x, int y, int width, int height);

}  // namespace osin
