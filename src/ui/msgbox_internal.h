// What the message box files share among themselves and nobody else calls.
#pragma once

#include <stdint.h>

#include "platform/str.h"

struct HWND__;

namespace osin {

// The system's box, with the centring hook (a file per platform).
int ShowSystemBox(HWND__* owner, const String& caption, const String& text, uint32_t flags);

}  // namespace osin
