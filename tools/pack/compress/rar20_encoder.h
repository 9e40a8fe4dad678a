// The RAR 2.0 compressor: turns entries into packed data that any RAR 2.0
// reader (unpack version 20) decodes, non-solid or as a solid sequence.
//
// Levels 1..5 trade time for size (level 0, storing, is the archive
// writer's business):
//   1  greedy matching, short hash chains
//   2  lazy matching
//   3  lazy matching, longer chains (the default)
//   4  cost-based parse with the code lengths of the current tables
//   5  cost-based parse, two passes per segment, deepest search
// Every level uses all code kinds where they pay: literals, long matches,
// short matches, the four recent distances and the repeat of the last match.
// New tables are sent where the statistics shift enough to pay for them.
//
// Multimedia (audio) mode predicts each byte from its channel's history and
// codes the prediction error. In Auto the encoder looks at the entry's
// header: PCM WAV data (8 or 16 bit, 1 to 4 byte channels in all) and
// uncompressed 24/32-bit BMP pixels are candidates, and each candidate span
// is packed both ways, keeping the smaller. Force packs every entry's data
// in audio mode (the channel count from the header, else the count whose
// prediction errors are cheapest on the data); Off never uses it.
//
// Solid sequences: the reader keeps its window, distances, tables and audio
// state from one solid entry to the next, and so does the encoder. Tables
// that a new entry needs are sent as its first symbol, never at the end of
// the entry before it. Every entry ends with two zero bytes behind its last
// code: readers that look a little ahead need them (after an audio run
// always), and the rest ignore them.
//
// Output is a function of the input bytes, the level, the multimedia mode
// and the sequence of Pack calls: the same on every machine, and the same
// whether an entry comes from memory or from a source read piece by piece.
//
// Memory: the window, the match finder's tables and a few megabytes of
// input and output in flight, whatever the entry's size.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <memory>
#include <vector>

#include "pack/source.h"

namespace osin {

enum class Multimedia { kAuto, kOff, kForce };

class Rar20Encoder {
 public:
  Rar20Encoder(int level, Multimedia multimedia);
  ~Rar20Encoder();
  Rar20Encoder(const Rar20Encoder&) = delete;
  Rar20Encoder& operator=(const Rar20Encoder&) = delete;

  // Packs one entry. Solid continues from the entry packed before (the
  // archive must mark this entry solid and its predecessor must be the entry
  // of the previous call); the first call of an encoder, and every call with
  // Solid false, starts afresh.
  std::vector<uint8_t> Pack(const uint8_t* data, size_t size, bool solid);
  // The same from Source, read from where it stands to its end, the layout
  // of sampled sound planned from its Size(). The packed bytes go to Output
  // as they are made; when Output returns false the packing stops there
  // and Pack returns false (the next entry must then start afresh).
  using Output = std::function<bool(const uint8_t* bytes, size_t count)>;
  bool Pack(ByteSource& source, bool solid, const Output& output);
  // The bits of the entry packed last by BitKind (bit_writer.h).
  const uint64_t* BitTally() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace osin
