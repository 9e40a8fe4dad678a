#include "archive/rar20_audio.h"

namespace osin {
namespace rar20dec {

void AdaptWeights(AudioChannel& c) {
  uint32_t best = 0;
  for (uint32_t i = 1; i < 11; ++i) {
    if (c.errorSum[i] < c.errorSum[best]) best = i;
  }
  for (uint32_t& s : c.errorSum) s = 0;
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
