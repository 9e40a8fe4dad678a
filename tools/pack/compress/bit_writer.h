// Bits of the packed stream, most significant bit first: the reader peeks
// 16 bits from three bytes with the first bit in the top position, so each
// field is appended below the bits already written.
#pragma once

#include <stdint.h>

#include <vector>

namespace osin {

// What the bits of a packed stream code, for the size breakdown.
enum BitKind { kBitsLiteral, kBitsMatch, kBitsDistance, kBitsTables, kBitsAudio, kBitKinds };

class BitWriter {
 public:
  // Appends the low Count bits of Value (Count 0..24), counted as Kind.
  void Put(uint32_t value, int count, BitKind kind) {
    kind_ = kind;
    Put(value, count);
  }
  // Appends bits of the kind put last.
  void Put(uint32_t value, int count) {
    tally_[kind_] += uint32_t(count);
    acc_ = (acc_ << count) | (value & ((1u << count) - 1));
    pending_ += count;
    while (pending_ >= 8) {
      pending_ -= 8;
      out_.push_back(static_cast<uint8_t>(acc_ >> pending_));
    }
    acc_ &= (1u << pending_) - 1;
  }
  // Pads the last byte with zero bits.
  void Flush() {
    if (pending_ > 0) Put(0, 8 - pending_);
  }
  // Appends everything Other holds, its unfinished byte included.
  void Append(const BitWriter& other) {
    uint64_t mine = tally_[kind_];
    for (uint8_t b : other.out_) Put(b, 8);
    if (other.pending_ > 0) Put(static_cast<uint32_t>(other.acc_), other.pending_);
    tally_[kind_] = mine;
    for (int k = 0; k < kBitKinds; ++k) tally_[k] += other.tally_[k];
  }
  uint64_t BitCount() const { return (taken_ + out_.size()) * 8ull + pending_; }
  std::vector<uint8_t>& Bytes() { return out_; }
  // Hands the whole bytes written so far to Sink (a bool(const uint8_t*,
  // size_t)) and forgets them; what Sink returns.
  template <class Sink>
  bool Drain(const Sink& sink) {
    if (out_.empty()) return true;
    taken_ += out_.size();
    bool more = sink(out_.data(), out_.size());
    out_.clear();
    return more;
  }
  const uint64_t* Tally() const { return tally_; }

 private:
  std::vector<uint8_t> out_;
  uint64_t taken_ = 0;  // bytes drained
  uint64_t acc_ = 0;
  int pending_ = 0;
  BitKind kind_ = kBitsTables;
  uint64_t tally_[kBitKinds] = {};
};

}  // namespace osin
