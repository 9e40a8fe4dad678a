// Heap objects of the configuration layer.
//
// They are made with malloc and placement new and released with Destroy,
// not with new and delete: the standard operator new throws std::bad_alloc,
// and linking it brings libstdc++'s exception machinery (well over 100 KB)
// into osin.exe. Running out of memory ends the process (FatalOutOfMemory).
#pragma once

#include <stdlib.h>

#include <new>
#include <utility>

#include "platform/array.h"

namespace osin {

template <typename T, typename... Args>
T* Create(Args&&... args) {
  return new (CheckedRealloc(nullptr, sizeof(T))) T(std::forward<Args>(args)...);
}

template <typename T>
void Destroy(T* object) {
  if (!object) return;
  object->~T();
  free(object);
}

}  // namespace osin
