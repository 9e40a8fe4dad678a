// Packs arbitrary bytes and decodes them with our decoder; any difference
// aborts. The first byte chooses the level, the multimedia mode and how
// the rest is cut into entries of one solid sequence.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "archive/rar20.h"
#include "rar20_encoder.h"

namespace {

class MemoryIo : public osin::PackedIo {
 public:
  MemoryIo(const std::vector<uint8_t>& packed) : packed_(packed) {}
  int ReadPacked(uint8_t* buffer, int count) override {
    int n = static_cast<int>(std::min<size_t>(count, packed_.size() - at_));
    memcpy(buffer, packed_.data() + at_, n);
    at_ += n;
    return n;
  }
  void WriteOutput(const uint8_t* data, int count) override { out.insert(out.end(), data, data + count); }
  bool HasProgress() const override { return false; }
  bool Progress(uint32_t) override { return true; }
  std::vector<uint8_t> out;

 private:
  const std::vector<uint8_t>& packed_;
  size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  int level = 1 + data[0] % 5;
  osin::Multimedia mm = (data[0] / 5) % 3 == 0   ? osin::Multimedia::kAuto
                        : (data[0] / 5) % 3 == 1 ? osin::Multimedia::kOff
                                                 : osin::Multimedia::kForce;
  int entries = 1 + (data[0] / 15) % 3;
  ++data;
  --size;
  osin::Rar20Encoder encoder(level, mm);
  osin::Rar20Decoder decoder;
  if (!decoder.Allocate()) return 0;
  size_t at = 0;
  for (int e = 0; e < entries; ++e) {
    size_t n = e + 1 == entries ? size - at : (size - at) / 2;
    std::vector<uint8_t> packed = encoder.Pack(data + at, n, e > 0);
    MemoryIo io(packed);
    decoder.DecodeEntry(io, e > 0, static_cast<uint32_t>(n));
    if (io.out.size() != n || (n && memcmp(io.out.data(), data + at, n) != 0)) abort();
    at += n;
  }
  return 0;
}
