// Turns files into archive entries for the writer: compresses them with the
// RAR 2.0 encoder (or stores them at level 0) and fills in the method, the
// solid flag, the sizes, the CRC-32 and the dictionary bits.
//
// Choices made here, for every archive we write to open in other readers:
//   - Level 0 stores every entry (method 0x30), never solid.
//   - An empty file is stored and never solid, and the entry after it starts
//     a new solid run: unar loses a solid run that passes through an empty
//     entry, while the runtime's reader is indifferent to where runs start.
//   - Outside solid mode an entry that does not shrink is stored: the file
//     is read a second time, and the packing stops as soon as its output
//     reaches the file's size.
//   - Compressed entries use method 0x30 + level, unpack version 20 and the
//     dictionary bits of a 1 MB window (0x0080), which other readers size
//     their window from.
#pragma once

#include <stdint.h>

#include <string>

#include "bit_writer.h"
#include "pack/packer.h"
#include "pack/rar_writer.h"
#include "rar20_encoder.h"

namespace osin {

constexpr uint16_t kDictionary1M = 0x0080;

class EntryPacker {
 public:
  EntryPacker(int level, Multimedia multimedia, bool solid);

  // The entry for Data under Name; entries must be added to the archive in
  // the order they are packed.
  RarEntry Pack(const std::string& name, const std::string& data, uint32_t dosTime,
                uint32_t attributes = 0x20);
  // The same for an entry read from Source into Sink: sets Entry's method,
  // unpack version, solid flag and extra flags.
  void Pack(ByteSource& source, RarEntry& entry, PackedSink& sink);
  // Bits of the compressed entries packed so far by BitKind (bit_writer.h).
  const uint64_t* BitTally() const { return tally_; }

 private:
  void Store(ByteSource& source, RarEntry& entry, PackedSink& sink);

  int level_;
  bool solid_;
  bool inRun_ = false;  // the previous entry was compressed: a solid entry may follow
  Rar20Encoder encoder_;
  uint64_t tally_[kBitKinds] = {};
};

// The packing method of osin-pack: an EntryPacker behind the packer's
// interface. It decides each entry's solid flag itself (see above).
class CompressedPacking : public PackingMethod {
 public:
  CompressedPacking(int level, Multimedia multimedia, bool solid) : packer_(level, multimedia, solid) {}
  void Pack(ByteSource& source, RarEntry& entry, PackedSink& sink) override;

 private:
  EntryPacker packer_;
};

}  // namespace osin
