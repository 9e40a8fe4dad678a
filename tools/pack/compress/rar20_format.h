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

namespace osin {
namespace rar20 {

constexpr int kMainSymbols = 298;
constexpr int kDistSymbols = 48;
constexpr int kRepLenSymbols = 28;
constexpr int kBitLenSymbols = 19;
constexpr int kAudioSymbols = 257;
constexpr int kLzLengths = kMainSymbols + kDistSymbols + kRepLenSymbols;  // 374
constexpr int kMaxChannels = 4;
constexpr int kMaxLengths = kAudioSymbols * kMaxChannels;  // 1028
constexpr int kMaxCodeBits = 15;

constexpr int kRepeatLast = 256;  // also "new tables" in audio mode
constexpr int kRecentFirst = 257;
constexpr int kShortFirst = 261;
constexpr int kNewTables = 269;
constexpr int kLongFirst = 270;

constexpr uint32_t kWindowSize = 0x100000;
// The farthest distance we send. The window would allow 0x100000, but the
// byte exactly one window back is the slot being overwritten; staying one
// short keeps every reader's ring arithmetic out of that corner.
constexpr uint32_t kMaxDistance = kWindowSize - 1;
constexpr int kMaxMatch = 257;

// Length classes: the first eight are single values, then each group of
// four classes doubles the step.
constexpr uint8_t kLengthBase[kRepLenSymbols] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  10,  12,  14,  16,  20,
                                                 24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224};
constexpr uint8_t kLengthBits[kRepLenSymbols] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                                 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};
static_assert(sizeof(kLengthBase) == kRepLenSymbols && sizeof(kLengthBits) == kRepLenSymbols,
              "length classes");

// Distance classes: four single values, then two classes per power of two
// up to 0x40000, then steps of 65,536.
constexpr uint32_t kDistBase[kDistSymbols] = {
    0,      1,      2,      3,      4,      6,      8,      12,     16,     24,     32,     48,
    64,     96,     128,    192,    256,    384,    512,    768,    1024,   1536,   2048,   3072,
    4096,   6144,   8192,   12288,  16384,  24576,  32768,  49152,  65536,  98304,  131072, 196608,
    262144, 327680, 393216, 458752, 524288, 589824, 655360, 720896, 786432, 851968, 917504, 983040};
constexpr uint8_t kDistBits[kDistSymbols] = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                             7,  7,  8,  8,  9,  9,  10, 10, 11, 11, 12, 12, 13, 13, 14, 14,
                                             15, 15, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16};
static_assert(sizeof(kDistBase) / sizeof(kDistBase[0]) == kDistSymbols && sizeof(kDistBits) == kDistSymbols,
              "distance classes");

// Short distances for codes 261..268 (length 2).
constexpr uint8_t kShortBase[8] = {0, 4, 8, 16, 32, 64, 128, 192};
constexpr uint8_t kShortBits[8] = {2, 2, 3, 4, 5, 6, 6, 6};
static_assert(sizeof(kShortBase) == 8 && sizeof(kShortBits) == 8, "short distances");

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
