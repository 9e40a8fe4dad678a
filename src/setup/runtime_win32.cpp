// Memory allocation for osin.exe.
//
// The C++ runtime's operator new throws on failure, and linking it drags
// the exception machinery into the image (tens of kilobytes). Here
// allocation goes straight to the C runtime, and running out of memory ends
// the process with a message, as every other allocation in the program does.
#include <stdlib.h>
#include <windows.h>

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

// The program's entry, in place of the C runtime's start-up code, which
// brings command-line parsing, console set-up, thread-local storage and
// pseudo-relocation handling that this program never needs (a twelfth of
// the image). The static objects are constructed, last listed first, as
// the runtime would; WinMain's result ends the process. Nothing is left
// for destructors at exit: the run frees what it holds itself.
extern "C" {
typedef void (*StaticConstructor)();
// The linker's list: a marker, the constructors, a null.
extern StaticConstructor __CTOR_LIST__[];
}
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int);

// Static objects register their destructors here as they are constructed;
// the start-up code that would keep the list is not linked in, and the
// system's own entry of that name is not a function.
extern "C" int __cdecl atexit(void (*)()) {
  return 0;
}

extern "C" __attribute__((used)) void OsinEntry() {
  int n = 0;
  while (__CTOR_LIST__[n + 1]) ++n;
  while (n > 0) __CTOR_LIST__[n--]();
  ExitProcess(WinMain(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), SW_SHOWDEFAULT));
}
