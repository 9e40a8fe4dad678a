// The RAR 2.0 decoder over arbitrary packed data, on its own and behind the
// archive reader. The first byte chooses:
//
// Below 0x80: a run of entries decoded with one fresh decoder, as a solid
// archive would have them; each entry is
//   byte 0     bit 0 solid, bit 1 progress callback (stops after bits 4..7
//              reports when they are not 0), bits 2..3 read chunk size
//   bytes 1-3  unpacked size: bytes 1-2 little-endian, plus (byte 3 and 15)
//              x 65,536 when byte 3 is 0xF0 or above (the sanitizers make
//              every output byte costly, so runs past the window are rare)
//   bytes 4-5  packed size N (little-endian)
//   N bytes    packed data (fewer when the input ends)
//
// 0x80 and above: the rest is an archive file, opened with the reader in
// extract mode; its entries are tested (decoded and checked, nothing
// written) or passed over, alternately, so sizes, flags and methods come
// from the mutated headers.
//
// Either way the decoder must stay inside its buffers and end.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "archive/rar20.h"
#include "archive/unpack.h"

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

void DecodeEntries(const uint8_t* data, size_t size) {
  osin::Rar20Decoder decoder;
  if (!decoder.Allocate()) return;
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
}

void ReadArchive(const uint8_t* data, size_t size) {
  // A file in memory where there is such a place: writing one per input to
  // disk costs more than the rest of a run.
  static char path[64];
  if (!path[0]) {
    const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    snprintf(path, sizeof(path), "%s/fuzz_decoder-%d.rar", dir, int(getpid()));
  }
  FILE* f = fopen(path, "wb");
  if (!f) return;
  fwrite(data, 1, size, f);
  fclose(f);
  osin::RarReader reader;
  if (reader.OpenArchiveFile(path, osin::kOpenExtract)) {
    osin::TRARHeader header;
    for (int i = 0; reader.ReadNextFileHeader(header) == 0; ++i) {
      reader.ProcessEntry(i % 2 ? osin::aoSkip : osin::aoTest, nullptr, nullptr, nullptr, nullptr);
    }
  }
  reader.CloseArchiveFile();
  remove(path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  if (data[0] < 0x80) {
    DecodeEntries(data + 1, size - 1);
  } else {
    ReadArchive(data + 1, size - 1);
  }
  return 0;
}
