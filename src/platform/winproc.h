// Entry points looked up at run time (Win32 only), for the functions that
// not every supported Windows offers.
#pragma once

#include <windows.h>

namespace osin {

// The export Name of Module as a function of type Fn; null when the module
// is null or has no such export. The detour through void(*)() is the cast
// the compiler accepts between unrelated function types.
template <typename Fn>
Fn ProcAddress(HMODULE module, const char* name) {
  FARPROC p = module ? GetProcAddress(module, name) : nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(p));
}

}  // namespace osin
