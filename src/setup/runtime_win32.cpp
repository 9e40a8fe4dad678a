// Memory allocation for osin.exe.
//
// The C++ runtime's operator new throws on failure, and linking it drags
// the exception machinery into the image (tens of kilobytes). Here
// allocation goes straight to the C runtime, and running out of memory ends
// the process with a message, as every other allocation in the program does.
#include <stdlib.h>

#include <new>

#include "platform/array.h"

void* operator new(size_t size) {
  return osin::CheckedRealloc(nullptr, size);
}
void* operator new[](size_t size) {
  return osin::CheckedRealloc(nullptr, size);
}
void operator delete(void* p) noexcept {
  free(p);
}
void operator delete[](void* p) noexcept {
  free(p);
}
void operator delete(void* p, size_t) noexcept {
  free(p);
}
void operator delete[](void* p, size_t) noexcept {
  free(p);
}
