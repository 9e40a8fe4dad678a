// Test-only RAR 2.0 stream writer and reference model.
//
// A test describes an entry as a sequence of operations (literals, matches
// by length and distance, the repeat and recent-distance codes, audio bytes,
// table blocks). The model carries out each operation on its own copy of the
// decoder state (a plain byte-by-byte window, distance ring, audio channel
// records written straight from the format rules) and so knows the bytes the
// entry must produce; the writer turns the same operations into the codes
// and extra bits of a packed stream, with prefix codes fitted to each block's
// symbols. Neither shares code with the decoder under test.
//
// One Rar20Stream is one run of entries as a solid archive sees them: each
// entry continues the model and the writer's tables unless it is not solid.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace rar20test {

using Bytes = std::vector<uint8_t>;

// Bits most significant first, as the decoder reads them.
class BitWriter {
 public:
  void Put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
      if (used_ == 0) bytes_.push_back(0);
      if ((value >> i) & 1) bytes_.back() |= uint8_t(0x80 >> used_);
      used_ = (used_ + 1) & 7;
    }
  }
  Bytes Take() { return std::move(bytes_); }

 private:
  Bytes bytes_;
  int used_ = 0;
};

// The format's code lengths: main 298, distance 48, length 28 (LZ, 374 in
// all); 257 per audio channel.
constexpr int kLzLengths = 374;
constexpr int kAudioCodes = 257;

class Rar20Model {
 public:
  Rar20Model();
  // The start of an entry that is not solid.
  void Reset();

  void Literal(uint8_t byte);
  void Match(uint32_t length, uint32_t distance);
  // Code 256: the last match again. Codes 257..260: the distance K back in
  // the ring (1 = most recent).
  void Repeat();
  uint32_t RecentDistance(int k) const;
  // The symbol that makes the current channel produce Byte, then produces it.
  uint32_t AudioByte(uint8_t byte);
  void SetAudio(bool on, int channels);

  bool audioMode() const { return audioMode_; }
  int currentChannel() const { return currentChannel_; }
  Bytes TakeOutput();

 private:
  struct Channel {
    int w[5];
    int h[4];
    int prevDelta;
    uint32_t err[11];
    uint32_t produced;
    int lastByte;
  };
  void Put(uint8_t byte);

  Bytes window_;
  uint32_t pos_ = 0;
  uint32_t recent_[4] = {};
  uint32_t recentIndex_ = 0;
  uint32_t lastLength_ = 0;
  uint32_t lastDistance_ = 0;
  bool audioMode_ = false;
  int channels_ = 1;
  int currentChannel_ = 0;
  int crossDelta_ = 0;
  Channel channel_[4];
  Bytes output_;
};

struct Entry {
  Bytes packed;
  Bytes expected;
  bool solid = false;
};

class Rar20Stream {
 public:
  // Non-solid entries start from a reset model and must begin with a table
  // block; solid ones continue with the tables in force.
  void Begin(bool solid);

  // A table block. Lengths, when given, are used as they are (LZ: 374, audio:
  // 257 per channel); otherwise every symbol gets a code, shorter for the
  // symbols the following operations use more. Delta codes the lengths
  // against the previous block's. Inside an entry the block is preceded by
  // the table code of the current mode; after the last operation it becomes
  // the trailing table switch.
  void LzTables(bool delta = false, const Bytes& lengths = {});
  // Fitted blocks recorded from now on give codes only to the symbols their
  // operations use (and to the table codes 269 and 256), so their lengths
  // have runs of zeros; by default every symbol gets a code.
  void SetSparseTables(bool sparse) { sparse_ = sparse; }
  void AudioTables(int channels, bool delta = false, const Bytes& lengths = {});

  void Literal(uint8_t byte);
  void Literals(const std::string& text);
  void Literals(const Bytes& bytes);
  void Match(uint32_t length, uint32_t distance);  // codes 270..297
  void Short(uint32_t distance);                   // codes 261..268, length 2
  void Repeat();                                   // code 256
  void Recent(int k, uint32_t length);             // codes 257..260
  void Audio(const Bytes& bytes);

  // Codes the entry; Expected holds the model's output.
  Entry End();

  Rar20Model& model() { return model_; }

 private:
  enum Kind { kTable, kLiteral, kMatch, kShort, kRepeat, kRecent, kAudio };
  struct Op {
    explicit Op(Kind k, uint32_t first = 0, uint32_t second = 0) : kind(k), a(first), b(second) {}
    Kind kind;
    uint32_t a = 0;  // byte, length, distance, k, channels
    uint32_t b = 0;
    bool audio = false;
    bool delta = false;
    bool sparse = false;
    Bytes lengths;
  };
  // One coded item: a symbol of table Table (0 main, 1 distance, 2 length,
  // 3 + c audio channel c) and extra bits after it; or a table block.
  struct Token {
    Token(int t, uint32_t s, uint32_t e = 0, int b = 0, int o = -1)
        : table(t), symbol(s), extra(e), extraBits(b), op(o) {}
    int table;
    uint32_t symbol;
    uint32_t extra;
    int extraBits;
    int op;  // the table operation, for blocks
  };
  void Symbolize(std::vector<Token>& tokens);
  void FitLengths(const std::vector<Token>& tokens);
  void WriteTableBlock(BitWriter& out, Op& op);
  void SetCodes(int table, const uint8_t* lengths, int count);
  void PutSymbol(BitWriter& out, int table, uint32_t symbol);

  // Codes in force per table: main, distance, length, audio channels 0..3.
  struct Codes {
    Bytes lengths;
    std::vector<uint32_t> codes;
  };
  Codes codes_[7];

  Rar20Model model_;
  bool solid_ = false;
  bool sparse_ = false;
  std::vector<Op> ops_;
  Bytes lz_ = Bytes(kLzLengths, 0);
  Bytes audio_ = Bytes(4 * kAudioCodes, 0);
  Bytes prevLengths_ = Bytes(4 * kAudioCodes, 0);
  bool writerAudio_ = false;
};

// Code lengths (at most 15 bits) for the given symbol frequencies. With
// Sparse only symbols of non-zero frequency get a code (when there are at
// least two); otherwise every symbol does.
Bytes FitCodeLengths(const std::vector<uint64_t>& frequencies, bool sparse = false);

}  // namespace rar20test
