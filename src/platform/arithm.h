// Small numeric helpers.
#pragma once

#include <initializer_list>

namespace osin {

// The largest and smallest of a non-empty set of values.
inline int MaxOf(std::initializer_list<int> values) {
  int best = *values.begin();
  for (int v : values) best = v > best ? v : best;
  return best;
}

inline int MinOf(std::initializer_list<int> values) {
  int best = *values.begin();
  for (int v : values) best = v < best ? v : best;
  return best;
}

template <typename T>
T Choose(bool condition, T ifTrue, T ifFalse) {
  return condition ? ifTrue : ifFalse;
}

}  // namespace osin
