#include <stdio.h>
#include <stdlib.h>

#include "platform/array.h"

namespace osin {

namespace {

OutOfMemoryHandler handler = nullptr;

}  // namespace

void SetOutOfMemoryHandler(OutOfMemoryHandler fresh) {
  handler = fresh;
}

void FatalOutOfMemory() {
  OutOfMemoryHandler last = handler;
  handler = nullptr;
  if (last) last();
  fputs("out of memory\n", stderr);
  abort();
}

}  // namespace osin
