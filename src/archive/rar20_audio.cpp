#include "archive/rar20_audio.h"

namespace osin {

namespace {

inline uint32_t Distance(int32_t a, int32_t b) {
  return uint32_t(a > b ? a - b : b - a);
}

}  // namespace

uint8_t PredictAudioByte(AudioChannel& c, int32_t& crossDelta, uint32_t symbol) {
  c.produced++;
  c.history[3] = c.history[2];
  c.history[2] = c.history[1];
  c.history[1] = c.prevDelta - c.history[0];
  c.history[0] = c.prevDelta;

  // Deltas stay within -255..255 and weights within -17..16, so the sum is
  // far from overflowing; the shift is arithmetic.
  int32_t sum = 8 * int32_t(c.lastByte) + c.weight[0] * c.history[0] + c.weight[1] * c.history[1] +
                c.weight[2] * c.history[2] + c.weight[3] * c.history[3] + c.weight[4] * crossDelta;
  uint32_t predicted = uint32_t(sum >> 3) & 0xFF;
  uint32_t out = (predicted - symbol) & 0xFF;

  int32_t error = int32_t(int8_t(uint8_t(symbol))) * 8;
  c.errorSum[0] += Distance(error, 0);
  for (int k = 0; k < 4; ++k) {
    c.errorSum[2 * k + 1] += Distance(error, c.history[k]);
    c.errorSum[2 * k + 2] += Distance(error, -c.history[k]);
  }
  c.errorSum[9] += Distance(error, crossDelta);
  c.errorSum[10] += Distance(error, -crossDelta);

  crossDelta = c.prevDelta = int32_t(int8_t(uint8_t(out - c.lastByte)));
  c.lastByte = out;

  if ((c.produced & 31) == 0) {
    uint32_t best = 0;
    for (uint32_t i = 1; i < 11; ++i) {
      if (c.errorSum[i] < c.errorSum[best]) best = i;
    }
    for (uint32_t& s : c.errorSum) s = 0;
    if (best != 0) {
      int32_t& w = c.weight[(best - 1) / 2];
      if (best & 1) {
        if (w >= -16) w--;
      } else if (w < 16) {
        w++;
      }
    }
  }
  return uint8_t(out);
}

}  // namespace osin
