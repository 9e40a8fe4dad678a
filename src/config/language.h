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
// A language without its own file uses "Enu.lng", and a message or a page's
// control text missing from a language's file is taken from "Enu.lng"
// beside it (a partial translation still shows every question and every
// button); without that too every lookup gives its default (empty
// messages, texts left as they were).
//
// Reading the language file may raise the run-ending fault of the INI store
// ("Cannot open file <name>").
#pragma once

#include "config/variables.h"
#include "platform/str.h"
#include "platform/strlist.h"

namespace osin {

// The language in force, as its user keeps it: the language file, the
// language code (for the per-language sections) and the variables its texts
// refer to.
struct LanguageTexts {
  const String& File;
  const String& Code;
  const StringList& Variables;
};

// "Enu.lng" in the folder of the language file File.
String EnglishFile(const String& file);

// Key Id of Section in the language file (or, where that lacks it, in
// "Enu.lng" beside it), overridden by key Id of section Section + "." +
// language code when that exists, expanded with ExpandString; empty when
// none exists.
Expanded LanguageString(const LanguageTexts& texts, const String& section, int id);
// LanguageString("Strings", Id).
Expanded MessageString(const LanguageTexts& texts, int id);

// For every section of the language file whose first dot-separated word is
// "Uninstall" and that has at most two such words: a line of the language
// file's name, "," and the section name, appended to Target.
void UninstallLanguageSections(const String& languageFile, StringList& target);

// The whole content of the file Path into Destination, or an empty text when
// reading fails; when the file cannot be opened Destination stays as it was.
void ReadTextFile(const String& path, String& destination);

}  // namespace osin
