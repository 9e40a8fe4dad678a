#include "archive/rar20.h"

namespace osin {

// Placeholder until the decoder lands: every compressed entry produces no
// bytes, so it fails its CRC check exactly as a damaged entry would.
struct Rar20Decoder::State {};

Rar20Decoder::Rar20Decoder() = default;

Rar20Decoder::~Rar20Decoder() {
  Free();
}

bool Rar20Decoder::Allocate() {
  if (!state_) state_ = new State;
  return true;
}

void Rar20Decoder::Free() {
  delete state_;
  state_ = nullptr;
}

int Rar20Decoder::DecodeEntry(PackedIo&, bool, uint32_t) {
  return 0;
}

}  // namespace osin
