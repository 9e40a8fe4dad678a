// What the message box files share among themselves and nobody else calls.
#pragma once

#include <stdint.h>

#include "platform/str.h"

struct HWND__;

namespace osin {

// The system's box, with the centring hook (a file per platform); Language
// tells whether Text comes from the language file.
int ShowSystemBox(HWND__* owner, const String& caption, const String& text, uint32_t flags, bool language);

}  // namespace osin
