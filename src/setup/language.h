// The run's language switch (Windows only).
#pragma once

#include "platform/str.h"

namespace osin {

// Makes Code the current language of the run: Language and LanguageFile,
// the character set of the three fonts, the variables (built again, now
// with section "Variables." + Code), ProgramName (the expansion of
// "%ProgramName%") as the caption of message boxes and the title of the
// background window, which is redrawn when the title changed. Expansions
// that run away show their message.
void SetLanguage(const String& code);

}  // namespace osin
