// The bytes of one entry as the packer reads them: a file of any size is
// read piece by piece, never held whole, so packing needs the compressor's
// window and a few buffers whatever the size of the files.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <string>

namespace osin {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // The size known before reading (a file's size when it was opened); a
  // file that changes meanwhile yields more or fewer bytes than this.
  virtual uint64_t Size() const = 0;
  // Up to Count bytes from Offset, for a look at a header further on;
  // leaves the place of Read alone.
  virtual size_t Peek(uint64_t offset, uint8_t* out, size_t count) = 0;
  // The next Count bytes; fewer only at the end of the data.
  virtual size_t Read(uint8_t* out, size_t count) = 0;
  // Reading starts again from the first byte (to store what would not shrink).
  virtual void Rewind() = 0;
};

// Bytes held in memory (by the caller, for the source's lifetime).
class MemorySource : public ByteSource {
 public:
  MemorySource(const void* data, size_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}
  explicit MemorySource(const std::string& data) : MemorySource(data.data(), data.size()) {}

  uint64_t Size() const override { return size_; }
  size_t Peek(uint64_t offset, uint8_t* out, size_t count) override {
    if (offset >= size_) return 0;
    count = std::min<uint64_t>(count, size_ - offset);
    memcpy(out, data_ + offset, count);
    return count;
  }
  size_t Read(uint8_t* out, size_t count) override {
    count = Peek(at_, out, count);
    at_ += count;
    return count;
  }
  void Rewind() override { at_ = 0; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

}  // namespace osin
