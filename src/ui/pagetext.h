// A page's texts from the language file, and the control helpers of the
// pages (Windows only).
//
// Reading the language file may raise the run-ending fault of the INI store
// ("Cannot open file <name>"). Callers inside a window, dialog or hook
// procedure do not go on as if nothing happened: LoadPageTexts reports it,
// the dialog ends itself, and its creator looks at FaultPending() after the
// modal call returns.
#pragma once

#include "config/language.h"
#include "platform/str.h"
#include "ui/wintext.h"

namespace osin {

// Fills a page's texts from the language file of Texts: the caption
// ("Caption" of Dialogs, overridden by the page's section, expanded; an
// empty result leaves the caption alone), PageTitle ("Title" likewise,
// defaulting to the text of control 100), every control named by a numeric
// key of Dialogs and then of the page's section (unexpanded), and finally
// every child window's text expanded in place (only texts that change are
// set, however long). An expansion that runs away shows its message and
// leaves its text as it was. False when the language file raised a fault:
// the caller ends its dialog and leaves the fault to its creator.
bool LoadPageTexts(HWND__* page, const String& pageName, const LanguageTexts& texts, String& pageTitle);
// Sets the control's text and selects all of it (for edit controls). Texts
// go in and out in the code page the control holds (ui/wintext.h).
void SetItemText(HWND__* window, int id, const String& text);
// The control's text, whole.
String GetItemText(HWND__* window, int id);
// The text of the list box's selected item; empty when none is selected.
String GetListSelection(HWND__* listBox);

}  // namespace osin
