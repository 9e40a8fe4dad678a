// The audio mode of the RAR 2.0 method (internal to the decoder; the
// compressor has its own copy of the predictor, so the names live apart).
//
// In audio mode every symbol 0..255 is a prediction error: each of up to four
// interleaved channels predicts its next byte from its last byte, its last
// four deltas and the last delta of any channel, and subtracts the symbol.
// Every 32 bytes a channel nudges one of its five coefficients by one step,
// the change that would have made the summed error of those bytes smallest.
#pragma once

#include <stdint.h>

namespace osin {
namespace rar20dec {

struct AudioChannel {
  int32_t weight[5];   // kept within -17..16
  int32_t history[4];  // past deltas of this channel, newest first
  int32_t prevDelta;   // delta of this channel's last byte
  // Summed absolute errors: 0 as predicted, 2k-1 with weight k-1 one lower,
  // 2k with it one higher.
  uint32_t errorSum[11];
  uint32_t produced;
  uint32_t lastByte;
};

// Every 32 bytes: the one weight step with the smallest summed error (the
// lowest index on ties), then the sums start over.
void AdaptWeights(AudioChannel& c);

inline uint32_t AbsDifference(int32_t a, int32_t b) {
  return uint32_t(a > b ? a - b : b - a);
}

// The output byte for Symbol (0..255) on channel C; CrossDelta is the last
// delta of any channel, read and then replaced. Inline: it runs once per
// byte of audio.
inline uint8_t PredictAudioByte(AudioChannel& c, int32_t& crossDelta, uint32_t symbol) {
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
  c.errorSum[0] += AbsDifference(error, 0);
  for (int k = 0; k < 4; ++k) {
    c.errorSum[2 * k + 1] += AbsDifference(error, c.history[k]);
    c.errorSum[2 * k + 2] += AbsDifference(error, -c.history[k]);
  }
  c.errorSum[9] += AbsDifference(error, crossDelta);
  c.errorSum[10] += AbsDifference(error, -crossDelta);

  crossDelta = c.prevDelta = int32_t(int8_t(uint8_t(out - c.lastByte)));
  c.lastByte = out;

  if ((c.produced & 31) == 0) AdaptWeights(c);
  return uint8_t(out);
}

}  // namespace rar20dec
}  // namespace osin
