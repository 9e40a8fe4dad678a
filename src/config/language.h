// Languages and localized strings.
//
// Every text the setup shows comes from a language file in the Presetup
// folder, one per language, named by the three-letter code ("ENU.lng").
// It is an INI file read through the profile layer as a read-only store;
// values may hold "||" for a line break and variable references, both
// resolved by ExpandString. Sections:
//   Strings            the setup's messages by number (MessageString)
//   <section>.<code>   overrides single keys of <section> for
//                      LanguageString, for that language code only
//   Dialogs            Caption, Title and control texts by id for every page
//   <page name>        the same for one page, winning over Dialogs
//   Uninstall.*        texts of the uninstaller (UninstallLanguageSections)
// A language without its own file uses "Enu.lng"; without that too every
// lookup gives its default (empty messages, texts left as they were).
//
// Reading the language file may raise the run-ending fault of the INI store
// ("Cannot open file <name>"). Callers inside a window, dialog or hook
// procedure do not go on as if nothing happened: LoadPageTexts reports it,
// the dialog ends itself, and its creator looks at FaultPending() after the
// modal call returns.
#pragma once

#include "platform/str.h"
#include "platform/strlist.h"

struct HWND__;

namespace osin {

// Windows only. Makes Code the current language: Session().Language and
// LanguageFile, the character set of the three fonts, the variables (built
// again, now with section "Variables." + Code), ProgramName (the expansion
// of "%ProgramName%") as the caption of message boxes and the title of the
// background window, which is redrawn when the title changed.
void SetLanguage(const String& code);

// Key Id of Section in the language file, overridden by key Id of section
// Section + "." + language code when that exists, expanded with
// ExpandString; empty when neither exists.
String LanguageString(const String& section, int id);
// LanguageString("Strings", Id).
String MessageString(int id);

// For every section of the language file whose first dot-separated word is
// "Uninstall" and that has at most two such words: a line of the language
// file's name, "," and the section name, appended to Target.
void UninstallLanguageSections(StringList& target);

// The whole content of the file Path into Destination, or an empty text when
// reading fails; when the file cannot be opened Destination stays as it was.
void ReadTextFile(const String& path, String& destination);

// Windows only. Fills a page's texts from the language file: the caption
// ("Caption" of Dialogs, overridden by the page's section, expanded; an
// empty result leaves the caption alone), Session().PageTitle ("Title"
// likewise, defaulting to the text of control 100), every control named by
// a numeric key of Dialogs and then of the page's section (unexpanded), and
// finally every child window's text expanded in place (only texts that
// change are set; texts are read up to 1023 characters). False when the
// language file raised a fault: the caller ends its dialog and leaves the
// fault to its creator.
bool LoadPageTexts(HWND__* page, const String& pageName);
// Sets the control's text and selects all of it (for edit controls).
void SetItemText(HWND__* window, int id, const String& text);
// The control's text, at most 1023 characters.
String GetItemText(HWND__* window, int id);
// The text of the list box's selected item; empty when none is selected.
String GetListSelection(HWND__* listBox);

}  // namespace osin
