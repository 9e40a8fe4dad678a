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

// Bytes of a channel between two weight adjustments.
constexpr uint32_t kAdaptEvery = 32;

struct AudioChannel {
  int32_t weight[5];  // kept within -17..16
  int32_t prevDelta;  // delta of this channel's last byte
  uint32_t produced;
  uint32_t lastByte;
  // Per byte, in slot Produced modulo kAdaptEvery: its error (the symbol as
  // a signed byte, times 8) and the five inputs the weights multiply: the
  // channel's past deltas, newest first, and the cross delta. The slot
  // before the current one holds the history the next byte shifts on.
  // Summing the errors each weight one step lower or higher would have
  // made is left to the adjustment, which does it for all its bytes at once.
  int16_t error[kAdaptEvery];
  int16_t input[5][kAdaptEvery];
};

// Every kAdaptEvery bytes: the one weight step with the smallest summed
// absolute error (no change first, then weight 1 lower, weight 1 higher,
// weight 2 lower and so on; the lowest on ties).
void AdaptWeights(AudioChannel& c);

// The output byte for Symbol (0..255) on channel C; CrossDelta is the last
// delta of any channel, read and then replaced. Inline: it runs once per
// byte of audio.
inline uint8_t PredictAudioByte(AudioChannel& c, int32_t& crossDelta, uint32_t symbol) {
  uint32_t slot = c.produced++ & (kAdaptEvery - 1);
  uint32_t last = (slot - 1) & (kAdaptEvery - 1);
  int32_t h0 = c.prevDelta;
  int32_t h1 = c.prevDelta - c.input[0][last];
  int32_t h2 = c.input[1][last];
  int32_t h3 = c.input[2][last];

  // Deltas stay within -255..255 and weights within -17..16, so the sum is
  // far from overflowing; the shift is arithmetic.
  int32_t sum = 8 * int32_t(c.lastByte) + c.weight[0] * h0 + c.weight[1] * h1 + c.weight[2] * h2 +
                c.weight[3] * h3 + c.weight[4] * crossDelta;
  uint32_t predicted = uint32_t(sum >> 3) & 0xFF;
  uint32_t out = (predicted - symbol) & 0xFF;

  c.error[slot] = int16_t(int8_t(uint8_t(symbol)) * 8);
  c.input[0][slot] = int16_t(h0);
  c.input[1][slot] = int16_t(h1);
  c.input[2][slot] = int16_t(h2);
  c.input[3][slot] = int16_t(h3);
  c.input[4][slot] = int16_t(crossDelta);

  crossDelta = c.prevDelta = int32_t(int8_t(uint8_t(out - c.lastByte)));
  c.lastByte = out;

  if (slot == kAdaptEvery - 1) AdaptWeights(c);
  return uint8_t(out);
}

}  // namespace rar20dec
}  // namespace osin
