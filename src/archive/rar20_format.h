// The code space of the RAR 2.0 method, shared by the decoder and the
// compressor: the alphabets, the special symbols of the main alphabet, the
// window, and the base values and extra bits of the length, distance and
// short-distance classes.
#pragma once

#include <stdint.h>

namespace osin {
namespace rar20 {

// Alphabets: main (literals 0..255, 256 repeat, 257..260 recent distances,
// 261..268 short matches, 269 new tables, 270..297 long matches), distance
// classes, length classes for 257..260, code lengths, audio deltas + 256.
// A table block carries the main, distance and length alphabets' code
// lengths in one run (kLzLengths), or 257 per audio channel.
constexpr int kMainSymbols = 298;
constexpr int kDistSymbols = 48;
constexpr int kRepLenSymbols = 28;
constexpr int kBitLenSymbols = 19;
constexpr int kAudioSymbols = 257;
constexpr int kLzLengths = kMainSymbols + kDistSymbols + kRepLenSymbols;  // 374
constexpr int kMaxChannels = 4;
constexpr int kMaxLengths = kAudioSymbols * kMaxChannels;  // 1028

constexpr int kRepeatLast = 256;  // also "new tables" in audio mode
constexpr int kRecentFirst = 257;
constexpr int kShortFirst = 261;
constexpr int kNewTables = 269;
constexpr int kLongFirst = 270;

constexpr uint32_t kWindowSize = 0x100000;

// Length classes: the first eight are single values, then each group of
// four classes doubles the step.
inline constexpr uint8_t kLengthBase[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  10,  12,  14,  16,  20,
                                          24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224};
inline constexpr uint8_t kLengthBits[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                          2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};
static_assert(sizeof(kLengthBase) == kRepLenSymbols && sizeof(kLengthBits) == kRepLenSymbols,
              "length classes");

// Distance classes: four single values, then two classes per power of two
// up to 0x40000, then steps of 65,536.
// Alignments stated: the setup's decoder and the tools' encoder both define
// these, built with different defaults for the alignment of data.
alignas(uint32_t) inline constexpr uint32_t kDistBase[] = {
    0,      1,      2,      3,      4,      6,      8,      12,     16,     24,     32,     48,
    64,     96,     128,    192,    256,    384,    512,    768,    1024,   1536,   2048,   3072,
    4096,   6144,   8192,   12288,  16384,  24576,  32768,  49152,  65536,  98304,  131072, 196608,
    262144, 327680, 393216, 458752, 524288, 589824, 655360, 720896, 786432, 851968, 917504, 983040};
alignas(uint8_t) inline constexpr uint8_t kDistBits[] = {
    0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,  6,  6,  7,  7,  8,  8,  9,  9,  10, 10,
    11, 11, 12, 12, 13, 13, 14, 14, 15, 15, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16};
static_assert(sizeof(kDistBase) / sizeof(kDistBase[0]) == kDistSymbols && sizeof(kDistBits) == kDistSymbols,
              "distance classes");

// Short distances for codes 261..268 (length 2).
inline constexpr uint8_t kShortBase[] = {0, 4, 8, 16, 32, 64, 128, 192};
inline constexpr uint8_t kShortBits[] = {2, 2, 3, 4, 5, 6, 6, 6};
static_assert(sizeof(kShortBase) == kNewTables - kShortFirst &&
                  sizeof(kShortBits) == kNewTables - kShortFirst,
              "one short distance per short code");

// A long match, or one with a recent distance, is one longer from each of
// these distances on; the recent-distance codes also count the first one.
constexpr uint32_t kRecentLongerFrom = 0x101;
constexpr uint32_t kLongerFrom = 0x2000;
constexpr uint32_t kLongerStillFrom = 0x40000;

}  // namespace rar20
}  // namespace osin
