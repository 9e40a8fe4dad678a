// A growable array for code that goes into osin.exe.
//
// std::vector cannot be used there: its length checks throw, and the throw
// helpers drag libstdc++'s exception machinery into the image. This array
// never throws; running out of memory ends the process (see FatalOutOfMemory).
// Elements are moved with their move constructors, so they may own memory.
#pragma once

#include <stdlib.h>
#include <string.h>
#include <new>
#include <type_traits>
#include <utility>

namespace osin {

// Ends the process; used where an allocation fails. With a handler set,
// a reserve of memory is given back first and the handler runs once (the
// setup run cleans up, tells the user and ends with its run's exit code);
// a handler that returns ends with 0, as does the case without one, after
// a last message "Out of memory.".
[[noreturn]] void FatalOutOfMemory();

// Installs the handler (null removes it) and keeps the reserve it will need.
using OutOfMemoryHandler = void (*)();
void SetOutOfMemoryHandler(OutOfMemoryHandler handler);

inline void* CheckedRealloc(void* p, size_t bytes) {
  void* q = realloc(p, bytes ? bytes : 1);
  if (!q) FatalOutOfMemory();
  return q;
}

template <typename T>
class Array {
 public:
  Array() = default;
  Array(const Array& other) { *this = other; }
  Array(Array&& other) noexcept { Swap(other); }
  ~Array() {
    Clear();
    free(items_);
  }

  Array& operator=(const Array& other) {
    if (this != &other) {
      Clear();
      Reserve(other.count_);
      for (int i = 0; i < other.count_; ++i) new (&items_[i]) T(other.items_[i]);
      count_ = other.count_;
    }
    return *this;
  }
  Array& operator=(Array&& other) noexcept {
    if (this != &other) {
      Array gone;
      gone.Swap(other);
      Swap(gone);
    }
    return *this;
  }

  int Count() const { return count_; }
  bool IsEmpty() const { return count_ == 0; }
  T& operator[](int i) { return items_[i]; }
  const T& operator[](int i) const { return items_[i]; }
  T* begin() { return items_; }
  T* end() { return items_ + count_; }
  const T* begin() const { return items_; }
  const T* end() const { return items_ + count_; }
  T& Last() { return items_[count_ - 1]; }

  void Reserve(int capacity) {
    if (capacity <= capacity_) return;
    T* fresh = static_cast<T*>(CheckedRealloc(nullptr, sizeof(T) * capacity));
    for (int i = 0; i < count_; ++i) {
      new (&fresh[i]) T(std::move(items_[i]));
      items_[i].~T();
    }
    free(items_);
    items_ = fresh;
    capacity_ = capacity;
  }

  void Add(T value) { Insert(count_, std::move(value)); }

  void Insert(int index, T value) {
    if (count_ == capacity_) Reserve(capacity_ < 8 ? 8 : capacity_ * 2);
    new (&items_[count_]) T(std::move(value));
    for (int i = count_; i > index; --i) std::swap(items_[i], items_[i - 1]);
    ++count_;
  }

  void Delete(int index) {
    for (int i = index; i + 1 < count_; ++i) std::swap(items_[i], items_[i + 1]);
    items_[--count_].~T();
  }

  void Clear() {
    for (int i = 0; i < count_; ++i) items_[i].~T();
    count_ = 0;
  }

  void Swap(Array& other) noexcept {
    std::swap(items_, other.items_);
    std::swap(count_, other.count_);
    std::swap(capacity_, other.capacity_);
  }

 private:
  T* items_ = nullptr;
  int count_ = 0;
  int capacity_ = 0;
};

}  // namespace osin
