#include "entry_packer.h"

#include "archive/crc32.h"

namespace osin {

EntryPacker::EntryPacker(int level, Multimedia multimedia, bool solid)
    : level_(level), solid_(solid), encoder_(level < 1 ? 1 : level, multimedia) {}

RarEntry EntryPacker::Pack(const std::string& name, const std::string& data, uint32_t dosTime,
                           uint32_t attributes) {
  if (level_ <= 0 || data.empty()) {
    inRun_ = false;
    return StoredEntry(name, data, dosTime, attributes);
  }
  bool solid = solid_ && inRun_;
  std::vector<uint8_t> packed =
      encoder_.Pack(reinterpret_cast<const uint8_t*>(data.data()), data.size(), solid);
  if (!solid_ && packed.size() >= data.size()) return StoredEntry(name, data, dosTime, attributes);
  inRun_ = true;
  for (int k = 0; k < kBitKinds; ++k) tally_[k] += encoder_.BitTally()[k];
  RarEntry e;
  e.name = name;
  e.packed.assign(packed.begin(), packed.end());
  e.unpackedSize = static_cast<uint32_t>(data.size());
  e.crc = Crc32(data.data(), data.size());
  e.dosTime = dosTime;
  e.attributes = attributes;
  e.unpackVersion = 20;
  e.method = static_cast<uint8_t>(0x30 + level_);
  e.solid = solid;
  e.extraFlags = kDictionary1M;
  return e;
}

void CompressedPacking::Pack(const std::string& data, RarEntry& entry) {
  RarEntry packed = packer_.Pack(entry.name, data, entry.dosTime, entry.attributes);
  entry.packed = std::move(packed.packed);
  entry.method = packed.method;
  entry.unpackVersion = packed.unpackVersion;
  entry.solid = packed.solid;
  entry.extraFlags = packed.extraFlags;
}

}  // namespace osin
