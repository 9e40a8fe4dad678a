// The first bytes of Windows programs and libraries, as the builder reads
// them: whether a stub is signed, which files register as libraries, what
// version a file carries.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

namespace osin {

// Little-endian numbers of a file's bytes, 0 past their end.
inline uint32_t Le(const std::string& bytes, size_t at, int size) {
  uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i)
    value = value << 8 | (at + size_t(i) < bytes.size() ? uint8_t(bytes[at + size_t(i)]) : 0u);
  return value;
}

// Where the PE header starts in a program's first bytes (its file header
// included), or 0 when they are no Windows program.
inline size_t PeHeaderAt(const std::string& head) {
  if (head.size() < 0x40 || head.compare(0, 2, "MZ") != 0) return 0;
  size_t pe = Le(head, 0x3C, 4);
  if (pe > head.size() || head.size() - pe < 24 || head.compare(pe, 4, std::string("PE\0\0", 4)) != 0)
    return 0;
  return pe;
}

}  // namespace osin
