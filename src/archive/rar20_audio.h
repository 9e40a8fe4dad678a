// The audio mode of the RAR 2.0 method (internal to the decoder).
//
// In audio mode every symbol 0..255 is a prediction error: each of up to four
// interleaved channels predicts its next byte from its last byte, its last
// four deltas and the last delta of any channel, and subtracts the symbol.
// Every 32 bytes a channel nudges one of its five coefficients by one step,
// the change that would have made the summed error of those bytes smallest.
#pragma once

#include <stdint.h>

namespace osin {

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

// The output byte for Symbol (0..255) on Channel; CrossDelta is the last
// delta of any channel, read and then replaced.
uint8_t PredictAudioByte(AudioChannel& channel, int32_t& crossDelta, uint32_t symbol);

}  // namespace osin
