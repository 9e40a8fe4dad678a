// The probe make check runs before a build's Windows layers: whether this
// machine runs the build's programs at all. Wine's word is not enough (where
// it cannot run an i686 program it may still return 0), so the check trusts
// only this program's own line and exit code:
//
//   osin-wine-probe: 32-bit        (or 64-bit), exit code 42
#include <stdio.h>

int main() {
  printf("osin-wine-probe: %u-bit\n", static_cast<unsigned>(sizeof(void*) * 8));
  return 42;
}
