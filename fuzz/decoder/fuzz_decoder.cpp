// The RAR 2.0 decoder over arbitrary packed data. An input is a run of
// entries decoded with one decoder, as a solid archive would have them:
//   byte 0     bit 0 solid, bit 1 progress callback (stops after bits 4..7
//              reports when they are not 0), bits 2..3 read chunk size
//   bytes 1-3  unpacked size: bytes 1-2 little-endian, plus (byte 3 and 15)
//              x 65,536 when byte 3 is 0xF0 or above (the sanitizers make
//              every output byte costly, so runs past the window are rare)
//   bytes 4-5  packed size N (little-endian)
//   N bytes    packed data (fewer when the input ends)
// Each input gets a fresh decoder, so a run depends on that input alone.
// The decoder must stay inside its buffers and end on every input.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "archive/rar20.h"

namespace {

class FuzzIo : public osin::PackedIo {
 public:
  FuzzIo(const uint8_t* data, size_t size, int chunk, bool progress, uint32_t stopAfter)
      : data_(data), size_(size), chunk_(chunk), progress_(progress), stopAfter_(stopAfter) {}

  int ReadPacked(uint8_t* buffer, int count) override {
    size_t n = size_ - pos_;
    if (n > size_t(count)) n = size_t(count);
    if (n > size_t(chunk_)) n = size_t(chunk_);
    if (n > 0) memcpy(buffer, data_ + pos_, n);
    pos_ += n;
    return int(n);
  }
  void WriteOutput(const uint8_t* data, int count) override {
    // Touch both ends so the sanitizer sees any run outside the window.
    if (count > 0) sink_ ^= data[0] ^ data[count - 1];
  }
  bool HasProgress() const override { return progress_; }
  bool Progress(uint32_t) override { return stopAfter_ == 0 || --stopAfter_ > 0; }

  uint8_t sink_ = 0;

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  int chunk_;
  bool progress_;
  uint32_t stopAfter_;
};

const int kChunks[4] = {1 << 30, 1, 13, 4096};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  osin::Rar20Decoder decoder;
  if (!decoder.Allocate()) return 0;
  while (size >= 6) {
    uint8_t flags = data[0];
    uint32_t unpacked = uint32_t(data[1]) | uint32_t(data[2]) << 8;
    if (data[3] >= 0xF0) unpacked += uint32_t(data[3] & 15) << 16;
    size_t packed = size_t(data[4]) | size_t(data[5]) << 8;
    data += 6;
    size -= 6;
    if (packed > size) packed = size;
    FuzzIo io(data, packed, kChunks[(flags >> 2) & 3], (flags & 2) != 0, flags >> 4);
    decoder.DecodeEntry(io, (flags & 1) != 0, unpacked);
    data += packed;
    size -= packed;
  }
  return 0;
}
