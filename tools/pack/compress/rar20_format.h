// The code space of the RAR 2.0 method as the encoder sees it: the four
// alphabets, the base/extra-bit tables of lengths and distances, and the
// rules that tie a match's length to its distance.
//
// A match (length L, distance D) can be sent as
//   - the repeat code 256 when L and D equal the previous match's,
//   - a recent-distance code 257..260 when D is one of the last four
//     distances: length class of L - 2 - (D >= 0x101) - (D >= 0x2000)
//     - (D >= 0x40000) from the repeat-length alphabet,
//   - a short code 261..268 when L is 2 and D <= 256,
//   - a long code 270..297: length class of L - 3 - (D >= 0x2000)
//     - (D >= 0x40000), then a distance class of D - 1.
// Every form therefore needs the same minimum length for a given distance
// (MinMatchLength), and every form reaches at least kMaxMatch bytes.
#pragma once

#include <stdint.h>

#include "archive/rar20_format.h"

namespace osin {
namespace rar20 {

// The farthest distance we send. The window would allow 0x100000, but the
// byte exactly one window back is the slot being overwritten; staying one
// short keeps every reader's ring arithmetic out of that corner.
constexpr uint32_t kMaxDistance = kWindowSize - 1;
constexpr int kMaxMatch = 257;
constexpr int kMaxCodeBits = 15;

// The length class of a length value 0..255 (after its offset).
inline int LengthClass(uint32_t v) {
  if (v < 8) return static_cast<int>(v);
  int bits = 31 - __builtin_clz(v);  // 3..7
  return 8 + (bits - 3) * 4 + static_cast<int>((v >> (bits - 2)) & 3);
}

// The distance class of a distance value D - 1 (0..0xFFFFF).
inline int DistanceClass(uint32_t v) {
  if (v < 4) return static_cast<int>(v);
  if (v >= 0x40000) return 36 + static_cast<int>((v - 0x40000) >> 16);
  int bits = 31 - __builtin_clz(v);
  return 2 * bits + static_cast<int>((v >> (bits - 1)) & 1);
}

inline int ShortClass(uint32_t v) {  // v = D - 1, 0..255
  if (v < 8) return v < 4 ? 0 : 1;
  if (v < 128) return 31 - __builtin_clz(v) - 1;  // 8..15 -> 2, ..., 64..127 -> 5
  return v < 192 ? 6 : 7;
}

inline int MinMatchLength(uint32_t distance) {
  return distance <= 256 ? 2 : distance < 0x2000 ? 3 : distance < 0x40000 ? 4 : 5;
}

inline uint32_t RecentAdjust(uint32_t distance) {
  return (distance >= 0x101) + (distance >= 0x2000) + (distance >= 0x40000);
}

inline uint32_t LongAdjust(uint32_t distance) {
  return (distance >= 0x2000) + (distance >= 0x40000);
}

}  // namespace rar20
}  // namespace osin
