// The adaptive predictor of the audio mode, from the encoder's side: the
// reader predicts each byte of a channel and subtracts the sent symbol, so
// the encoder runs the very same predictor and sends prediction - byte.
// Every channel adapts its five weights every 32 bytes; the state of all
// channels lives on across table blocks and solid entries, just as the
// reader keeps it.
#pragma once

#include <stdint.h>

#include "rar20_format.h"

namespace osin {

struct AudioChannel {
  int32_t weight[5] = {};
  int32_t history[4] = {};  // newest first
  int32_t prevDelta = 0;
  uint32_t errSum[11] = {};
  uint32_t produced = 0;
  int32_t lastByte = 0;
};

struct AudioModel {
  AudioChannel channel[rar20::kMaxChannels];
  int32_t crossDelta = 0;  // the last delta of any channel

  // The symbol that makes the reader produce Byte on Channel, and the state
  // update that the reader makes for it.
  int Encode(int channelIndex, uint8_t byte);
};

}  // namespace osin
