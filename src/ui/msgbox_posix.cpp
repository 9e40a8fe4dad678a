#include <stdio.h>

#include "ui/msgbox.h"
#include "ui/msgbox_internal.h"

namespace osin {

// The native build (tools and tests) has no screen: the box is written to
// the error output and answered with its safe button, No for a question.
int ShowSystemBox(HWND__*, const String& caption, const String& text, uint32_t flags, bool) {
  fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  return (flags & kBoxYesNo) ? kBoxResultNo : kBoxResultOk;
}

}  // namespace osin
