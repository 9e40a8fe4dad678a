#include <windows.h>

#include "platform/array.h"

namespace osin {

namespace {

// Room for the handler's own allocations: the clean-up builds paths and
// writes stores back after the allocation that failed.
const size_t kReserve = 64 * 1024;
OutOfMemoryHandler handler = nullptr;
void* reserve = nullptr;

}  // namespace

void SetOutOfMemoryHandler(OutOfMemoryHandler fresh) {
  handler = fresh;
  if (handler && !reserve) reserve = malloc(kReserve);
}

void FatalOutOfMemory() {
  // A second failure inside the handler ends the process at once.
  OutOfMemoryHandler last = handler;
  handler = nullptr;
  if (last) {
    free(reserve);
    reserve = nullptr;
    last();
  } else {
    // No allocation may happen here: the box text is static.
    MessageBoxA(nullptr, "Out of memory.", "Error", MB_OK | MB_ICONSTOP | MB_TASKMODAL);
  }
  ExitProcess(0);
}

}  // namespace osin
