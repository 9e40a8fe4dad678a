// The run's language (Windows only).
#pragma once

#include "platform/str.h"
#include "platform/strlist.h"

namespace osin {

// Makes Code the current language of the run: Language and LanguageFile,
// the character set of the three fonts, the variables (built again, now
// with section "Variables." + Code), ProgramName (the expansion of
// "%ProgramName%") as the caption of message boxes and the title of the
// background window, which is redrawn when the title changed. Expansions
// that run away show their message.
void SetLanguage(const String& code);

// Builds the run's variables anew (see BuildVariables); defaults whose
// expansion ran away are reported in error boxes.
void BuildRunVariables();

// The system's installed locales as lines abbreviation=language name, in
// the system's order (on the NT line the names are read as wide text and
// converted to the ANSI code page).
void InstalledLanguages(StringList& result);
// The abbreviation of the user's default locale, for example "ENU".
String UserDefaultLanguage();

// The offered languages of [Config] Languages matched against the
// installed locales into Session().Languages, and the first language set
// (the user's own when offered, else the first offered).
void ChooseLanguage();

}  // namespace osin
