#include "archive/rar20_audio.h"

namespace osin {
namespace rar20dec {

namespace {

// Errors and inputs keep every difference within -1279..1279, and 32 of
// them within 16 unsigned bits: the sums run in 16-bit lanes where the
// compiler can pack them.
inline uint16_t Magnitude(int16_t v) {
  return uint16_t(v < 0 ? -v : v);
}

}  // namespace

// Optimized for speed also where the rest is optimized for size: only
// then does the compiler pack the sums into vector lanes, and audio
// entries spend most of their time here. (Clang, which builds the fuzz
// targets, has no such attribute.)
#if defined(__GNUC__) && !defined(__clang__)
__attribute__((optimize("O2")))
#endif
void AdaptWeights(AudioChannel& c) {
  // Sum 0 with the weights as they are; sums 2k-1 and 2k with weight k one
  // lower and one higher: the error would have been E - input or E + input.
  uint32_t sums[11];
  uint16_t same = 0;
  for (uint32_t j = 0; j < kAdaptEvery; ++j) same = uint16_t(same + Magnitude(c.error[j]));
  sums[0] = same;
  for (int k = 0; k < 5; ++k) {
    uint16_t lower = 0;
    uint16_t higher = 0;
    for (uint32_t j = 0; j < kAdaptEvery; ++j) {
      lower = uint16_t(lower + Magnitude(int16_t(c.error[j] - c.input[k][j])));
      higher = uint16_t(higher + Magnitude(int16_t(c.error[j] + c.input[k][j])));
    }
    sums[2 * k + 1] = lower;
    sums[2 * k + 2] = higher;
  }
  uint32_t best = 0;
  for (uint32_t i = 1; i < 11; ++i) {
    if (sums[i] < sums[best]) best = i;
  }
  if (best == 0) return;
  int32_t& w = c.weight[(best - 1) / 2];
  if (best & 1) {
    if (w >= -16) w--;
  } else if (w < 16) {
    w++;
  }
}

}  // namespace rar20dec
}  // namespace osin
