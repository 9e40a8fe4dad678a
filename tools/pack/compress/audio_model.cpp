#include "audio_model.h"

#include <stdlib.h>

namespace osin {

int AudioModel::Encode(int channelIndex, uint8_t byte) {
  AudioChannel& c = channel[channelIndex];
  c.produced++;
  int32_t* h = c.history;
  h[3] = h[2];
  h[2] = h[1];
  h[1] = c.prevDelta - h[0];
  h[0] = c.prevDelta;
  int32_t sum = 8 * c.lastByte + c.weight[0] * h[0] + c.weight[1] * h[1] + c.weight[2] * h[2] +
                c.weight[3] * h[3] + c.weight[4] * crossDelta;
  int32_t prediction = (sum >> 3) & 0xFF;
  int symbol = (prediction - byte) & 0xFF;
  int32_t e = static_cast<int8_t>(symbol) * 8;
  c.errSum[0] += abs(e);
  const int32_t sources[5] = {h[0], h[1], h[2], h[3], crossDelta};
  for (int k = 0; k < 5; ++k) {
    c.errSum[2 * k + 1] += abs(e - sources[k]);
    c.errSum[2 * k + 2] += abs(e + sources[k]);
  }
  c.prevDelta = crossDelta = static_cast<int8_t>(byte - c.lastByte);
  c.lastByte = byte;
  if (c.produced % 32 == 0) {
    int best = 0;
    for (int k = 1; k < 11; ++k)
      if (c.errSum[k] < c.errSum[best]) best = k;
    for (uint32_t& s : c.errSum) s = 0;
    if (best > 0) {
      int32_t& w = c.weight[(best - 1) / 2];
      if (best % 2 == 1) {
        if (w >= -16) --w;
      } else if (w < 16) {
        ++w;
      }
    }
  }
  return symbol;
}

}  // namespace osin
