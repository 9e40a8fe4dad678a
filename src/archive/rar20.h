// The RAR 2.0 decompressor (LZ77 over a 1 MB window with Huffman codes, and
// its audio mode).
//
// The archive reader owns one decoder per open archive and calls DecodeEntry
// once per entry whose method is not "stored", in archive order. A solid entry
// continues the previous entry's window, tables and history, so in a solid
// archive every entry must be decoded, also those that are only passed over.
// The decoder reads packed bytes and hands over output only through the
// PackedIo the reader gives it.
//
// Output goes to WriteOutput in order, at least 64 KB at a time (as two runs
// where the window wraps) and the rest at the end of the entry; each run
// points into the window and is valid only during the call. Progress, when
// the reader has a callback, gets the bytes produced since its last call
// each time they reach 1,024, and the rest once at the end.
//
// Damaged or cut data is not an error to the decoder: it produces bytes that
// fail the entry's CRC-32 check. It never reads or writes outside its own
// state and always ends: after the packed data run out it decodes what is
// left in its input buffer and stops at the second refill that finds
// nothing, possibly short of UnpackedSize; a damaged last match may also
// run up to 259 bytes past it.
#pragma once

#include <stdint.h>

namespace osin {

// The reader's side of the seam.
class PackedIo {
 public:
  // Up to Count packed (already deciphered) bytes into Buffer; the number
  // read, 0 once the entry's packed data is used up.
  virtual int ReadPacked(uint8_t* buffer, int count) = 0;
  // A run of output: written to the file (or only counted in test mode),
  // added to the CRC-32, file buffers flushed.
  virtual void WriteOutput(const uint8_t* data, int count) = 0;
  // Whether a progress callback is set; without one the decoder never calls
  // Progress.
  virtual bool HasProgress() const = 0;
  // Count bytes were produced since the last report; false stops the entry.
  virtual bool Progress(uint32_t count) = 0;

 protected:
  ~PackedIo() = default;
};

// How the decoding of an entry ended: all of it decoded (the CRC check
// decides whether the bytes are right), or stopped by Progress.
enum class DecodeResult { kDone, kStopped };

class Rar20Decoder {
 public:
  Rar20Decoder();
  ~Rar20Decoder();
  Rar20Decoder(const Rar20Decoder&) = delete;
  Rar20Decoder& operator=(const Rar20Decoder&) = delete;

  // The 1 MB window and the decoder state; false when memory is short.
  bool Allocate();
  void Free();

  // Decodes one entry of UnpackedSize bytes.
  DecodeResult DecodeEntry(PackedIo& io, bool solid, uint32_t unpackedSize);

 private:
  struct State;
  State* state_ = nullptr;
};

}  // namespace osin
