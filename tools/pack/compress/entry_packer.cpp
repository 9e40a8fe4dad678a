#include "entry_packer.h"

#include "archive/crc32.h"

namespace osin {

namespace {

// Packed bytes gathered in an entry, for entries packed in memory.
class StringSink : public PackedSink {
 public:
  explicit StringSink(std::string& packed) : packed_(packed) {}
  void Write(const uint8_t* bytes, size_t count) override {
    packed_.append(reinterpret_cast<const char*>(bytes), count);
  }
  void Restart() override { packed_.clear(); }
  uint64_t Written() const override { return packed_.size(); }

 private:
  std::string& packed_;
};

}  // namespace

EntryPacker::EntryPacker(int level, Multimedia multimedia, bool solid)
    : level_(level), solid_(solid), encoder_(level < 1 ? 1 : level, multimedia) {}

RarEntry EntryPacker::Pack(const std::string& name, const std::string& data, uint32_t dosTime,
                           uint32_t attributes) {
  RarEntry e;
  e.name = name;
  e.unpackedSize = static_cast<uint32_t>(data.size());
  e.crc = Crc32(data.data(), data.size());
  e.dosTime = dosTime;
  e.attributes = attributes;
  MemorySource source(data);
  StringSink sink(e.packed);
  Pack(source, e, sink);
  return e;
}

void EntryPacker::Store(ByteSource& source, RarEntry& entry, PackedSink& sink) {
  CopySource(source, sink);
  entry.method = kMethodStored;
  entry.unpackVersion = 20;
  entry.solid = false;
  entry.extraFlags = 0;
}

void EntryPacker::Pack(ByteSource& source, RarEntry& entry, PackedSink& sink) {
  if (level_ <= 0 || source.Size() == 0) {
    inRun_ = false;
    Store(source, entry, sink);
    return;
  }
  bool solid = solid_ && inRun_;
  // Outside solid mode the packing stops once its output is no smaller
  // than the data, before that output is written: that entry is stored.
  uint64_t size = source.Size();
  bool whole = encoder_.Pack(source, solid, [&](const uint8_t* bytes, size_t count) {
    if (!solid_ && sink.Written() + count >= size) return false;
    sink.Write(bytes, count);
    return true;
  });
  if (!whole) {
    sink.Restart();
    source.Rewind();
    Store(source, entry, sink);
    return;
  }
  inRun_ = true;
  for (int k = 0; k < kBitKinds; ++k) tally_[k] += encoder_.BitTally()[k];
  entry.unpackVersion = 20;
  entry.method = static_cast<uint8_t>(0x30 + level_);
  entry.solid = solid;
  entry.extraFlags = kDictionary1M;
}

void CompressedPacking::Pack(ByteSource& source, RarEntry& entry, PackedSink& sink) {
  packer_.Pack(source, entry, sink);
}

}  // namespace osin
