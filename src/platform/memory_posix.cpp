#include <stdio.h>
#include <stdlib.h>

#include "platform/array.h"

namespace osin {

void FatalOutOfMemory() {
  fputs("out of memory\n", stderr);
  abort();
}

}  // namespace osin
