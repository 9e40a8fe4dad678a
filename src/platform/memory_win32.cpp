#include <windows.h>

#include "platform/array.h"

namespace osin {

void FatalOutOfMemory() {
  // No allocation may happen here: the box text is static.
  MessageBoxA(nullptr, "Out of memory.", "Error", MB_OK | MB_ICONSTOP | MB_TASKMODAL);
  ExitProcess(0);
}

}  // namespace osin
