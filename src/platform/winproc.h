// Entry points looked up at run time (Win32 only), for the functions that
// not every supported Windows offers.
#pragma once

#include <windows.h>

#include <type_traits>

namespace osin {

// Whether Fn points to a WINAPI (stdcall) function. On i686 a pointer of
// another calling convention compiles, then unbalances the stack at its
// first call; x86_64 has a single convention, so its tests cannot tell.
// Here the i686 build refuses such a type instead.
template <typename Fn>
struct IsWinapiPointer : std::false_type {};
template <typename R, typename... Args>
struct IsWinapiPointer<R(WINAPI*)(Args...)> : std::true_type {};

// P, an export looked up with GetProcAddress, as a function of type Fn. The
// detour through void(*)() is the cast the compiler accepts between
// unrelated function types.
template <typename Fn>
Fn ProcCast(FARPROC p) {
  static_assert(IsWinapiPointer<Fn>::value, "an entry point looked up at run time is called as WINAPI");
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(p));
}

// The export Name of Module as a function of type Fn; null when the module
// is null or has no such export.
template <typename Fn>
Fn ProcAddress(HMODULE module, const char* name) {
  return ProcCast<Fn>(module ? GetProcAddress(module, name) : nullptr);
}

}  // namespace osin
