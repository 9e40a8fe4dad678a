#include "archive/rar20_stream.h"

#include <stdlib.h>

#include <algorithm>
#include <queue>
#include <stdexcept>

namespace rar20test {

namespace {

constexpr uint32_t kWindow = 0x100000;

void Require(bool ok, const char* what) {
  if (!ok) throw std::logic_error(what);
}

// Class tables of the format, written out as the rules state them.
const uint32_t kLengthBase[28] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  10,  12,  14,  16,  20,
                                  24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224};
int LengthBits(int c) {
  return c < 8 ? 0 : (c - 4) / 4;
}

uint32_t DistanceBase(int c) {
  if (c < 4) return c;
  if (c >= 36) return 262144 + 65536 * uint32_t(c - 36);
  int bits = (c - 2) / 2;
  return ((c & 1) ? 3u : 2u) << bits;
}
int DistanceBits(int c) {
  return c < 4 ? 0 : c >= 36 ? 16 : (c - 2) / 2;
}

const uint32_t kShortBase[8] = {0, 4, 8, 16, 32, 64, 128, 192};
const int kShortBits[8] = {2, 2, 3, 4, 5, 6, 6, 6};

// The class of Value among Count classes (the first that holds it).
template <typename Base, typename Bits>
int ClassOf(uint32_t value, int count, Base base, Bits bits) {
  for (int c = 0; c < count; ++c) {
    if (value >= base(c) && value - base(c) < (1u << bits(c))) return c;
  }
  throw std::logic_error("value outside every class");
}

}  // namespace

// ---- Model

Rar20Model::Rar20Model() : window_(kWindow, 0) {
  Reset();
}

void Rar20Model::Reset() {
  std::fill(window_.begin(), window_.end(), 0);
  pos_ = 0;
  std::fill(recent_, recent_ + 4, 0);
  recentIndex_ = 0;
  lastLength_ = lastDistance_ = 0;
  currentChannel_ = 0;
  crossDelta_ = 0;
  for (Channel& c : channel_) c = Channel{};
}

void Rar20Model::Put(uint8_t byte) {
  window_[pos_] = byte;
  pos_ = (pos_ + 1) % kWindow;
  output_.push_back(byte);
}

void Rar20Model::Literal(uint8_t byte) {
  Put(byte);
}

void Rar20Model::Match(uint32_t length, uint32_t distance) {
  recent_[recentIndex_ % 4] = distance;
  recentIndex_++;
  lastLength_ = length;
  lastDistance_ = distance;
  for (uint32_t i = 0; i < length; ++i) Put(window_[(pos_ + kWindow - distance % kWindow) % kWindow]);
}

void Rar20Model::Repeat() {
  Match(lastLength_, lastDistance_);
}

uint32_t Rar20Model::RecentDistance(int k) const {
  return recent_[(recentIndex_ - k) % 4];
}

void Rar20Model::SetAudio(bool on, int channels) {
  audioMode_ = on;
  if (on) {
    channels_ = channels;
    if (currentChannel_ >= channels_) currentChannel_ = 0;
  }
}

uint32_t Rar20Model::AudioByte(uint8_t byte) {
  Channel& c = channel_[currentChannel_];
  c.produced++;
  c.h[3] = c.h[2];
  c.h[2] = c.h[1];
  c.h[1] = c.prevDelta - c.h[0];
  c.h[0] = c.prevDelta;
  int sum = 8 * c.lastByte + c.w[0] * c.h[0] + c.w[1] * c.h[1] + c.w[2] * c.h[2] + c.w[3] * c.h[3] +
            c.w[4] * crossDelta_;
  // Arithmetic shift right by 3 rounds towards minus infinity.
  int predicted = (sum >= 0 ? sum / 8 : -((-sum + 7) / 8)) & 0xFF;
  uint32_t symbol = uint32_t(predicted - byte) & 0xFF;
  int e = int(int8_t(uint8_t(symbol))) * 8;
  int others[5] = {c.h[0], c.h[1], c.h[2], c.h[3], crossDelta_};
  c.err[0] += uint32_t(abs(e));
  for (int k = 0; k < 5; ++k) {
    c.err[2 * k + 1] += uint32_t(abs(e - others[k]));
    c.err[2 * k + 2] += uint32_t(abs(e + others[k]));
  }
  c.prevDelta = int(int8_t(uint8_t(byte - c.lastByte)));
  crossDelta_ = c.prevDelta;
  c.lastByte = byte;
  if (c.produced % 32 == 0) {
    int best = int(std::min_element(c.err, c.err + 11) - c.err);
    std::fill(c.err, c.err + 11, 0);
    if (best > 0) {
      int& w = c.w[(best - 1) / 2];
      if (best % 2 == 1 && w >= -16) w--;
      if (best % 2 == 0 && w < 16) w++;
    }
  }
  Put(byte);
  currentChannel_ = (currentChannel_ + 1) % channels_;
  return symbol;
}

Bytes Rar20Model::TakeOutput() {
  return std::move(output_);
}

// ---- Code lengths

Bytes FitCodeLengths(const std::vector<uint64_t>& frequencies, bool sparse) {
  std::vector<uint64_t> freq = frequencies;
  size_t used = size_t(std::count_if(freq.begin(), freq.end(), [](uint64_t f) { return f > 0; }));
  sparse = sparse && used >= 2;
  for (;;) {
    // Huffman's construction on (weight, node); leaves are 0..n-1.
    size_t n = freq.size();
    std::vector<int> parent(2 * n, -1);
    using Item = std::pair<uint64_t, int>;
    std::priority_queue<Item, std::vector<Item>, std::greater<Item>> queue;
    for (size_t i = 0; i < n; ++i) {
      if (!sparse || frequencies[i] > 0) queue.push({freq[i] + 1, int(i)});
    }
    int next = int(n);
    while (queue.size() > 1) {
      Item a = queue.top();
      queue.pop();
      Item b = queue.top();
      queue.pop();
      parent[a.second] = parent[b.second] = next;
      queue.push({a.first + b.first, next++});
    }
    Bytes lengths(n);
    bool fits = true;
    for (size_t i = 0; i < n; ++i) {
      int depth = 0;
      for (int p = parent[i]; p >= 0; p = parent[p]) depth++;
      fits = fits && depth <= 15;
      lengths[i] = uint8_t(depth);
    }
    // Halving keeps every symbol in (weights are frequency + 1) and flattens
    // the tree until it fits 15 bits.
    if (fits) return lengths;
    for (uint64_t& f : freq) f /= 2;
  }
}

namespace {

// Canonical codes as the decoder assigns them: by length, then by symbol.
std::vector<uint32_t> CanonicalCodes(const uint8_t* lengths, int count) {
  int perLength[16] = {};
  for (int i = 0; i < count; ++i) perLength[lengths[i]]++;
  perLength[0] = 0;
  uint32_t next[16] = {};
  uint32_t code = 0;
  for (int len = 1; len < 16; ++len) {
    next[len] = code;
    code = (code + perLength[len]) << 1;
  }
  std::vector<uint32_t> codes(count);
  for (int i = 0; i < count; ++i) {
    if (lengths[i]) codes[i] = next[lengths[i]]++;
  }
  return codes;
}

}  // namespace

// ---- Stream

void Rar20Stream::Begin(bool solid) {
  solid_ = solid;
  ops_.clear();
  if (!solid) {
    model_.Reset();
    std::fill(prevLengths_.begin(), prevLengths_.end(), 0);
  }
}

void Rar20Stream::LzTables(bool delta, const Bytes& lengths) {
  Require(lengths.empty() || lengths.size() == kLzLengths, "LZ blocks have 374 lengths");
  Op op{kTable};
  op.delta = delta;
  op.sparse = sparse_;
  op.lengths = lengths;
  ops_.push_back(op);
}

void Rar20Stream::AudioTables(int channels, bool delta, const Bytes& lengths) {
  Require(channels >= 1 && channels <= 4, "1 to 4 channels");
  Require(lengths.empty() || lengths.size() == size_t(kAudioCodes * channels), "257 lengths a channel");
  Op op{kTable};
  op.audio = true;
  op.a = uint32_t(channels);
  op.delta = delta;
  op.sparse = sparse_;
  op.lengths = lengths;
  ops_.push_back(op);
}

void Rar20Stream::Literal(uint8_t byte) {
  ops_.push_back(Op{kLiteral, byte});
}
void Rar20Stream::Literals(const std::string& text) {
  for (char ch : text) Literal(uint8_t(ch));
}
void Rar20Stream::Literals(const Bytes& bytes) {
  for (uint8_t b : bytes) Literal(b);
}
void Rar20Stream::Match(uint32_t length, uint32_t distance) {
  ops_.push_back(Op{kMatch, length, distance});
}
void Rar20Stream::Short(uint32_t distance) {
  ops_.push_back(Op{kShort, distance});
}
void Rar20Stream::Repeat() {
  ops_.push_back(Op{kRepeat});
}
void Rar20Stream::Recent(int k, uint32_t length) {
  ops_.push_back(Op{kRecent, uint32_t(k), length});
}
void Rar20Stream::Audio(const Bytes& bytes) {
  for (uint8_t b : bytes) ops_.push_back(Op{kAudio, b});
}

// Runs the model over the operations and turns each into the symbols and
// extra bits that code it.
void Rar20Stream::Symbolize(std::vector<Token>& tokens) {
  for (size_t i = 0; i < ops_.size(); ++i) {
    Op& op = ops_[i];
    bool audio = model_.audioMode();
    Require(op.kind == kTable || (op.kind == kAudio) == audio, "operation does not fit the mode");
    switch (op.kind) {
      case kTable:
        // The channel whose table codes 256 when the block ends audio.
        tokens.push_back(Token{-1, 0, uint32_t(model_.currentChannel()), 0, int(i)});
        model_.SetAudio(op.audio, int(op.a));
        break;
      case kLiteral:
        tokens.push_back(Token{0, op.a});
        model_.Literal(uint8_t(op.a));
        break;
      case kMatch: {
        uint32_t length = op.a, distance = op.b;
        Require(distance >= 1 && distance <= kWindow, "long match distance 1..0x100000");
        uint32_t extra = (distance >= 0x2000) + (distance >= 0x40000);
        Require(length >= 3 + extra && length - 3 - extra <= 255, "long match length");
        uint32_t l = length - 3 - extra;
        int lc = ClassOf(
            l, 28, [](int c) { return kLengthBase[c]; }, LengthBits);
        tokens.push_back(Token{0, uint32_t(270 + lc), l - kLengthBase[lc], LengthBits(lc)});
        int dc = ClassOf(distance - 1, 48, DistanceBase, DistanceBits);
        tokens.push_back(Token{1, uint32_t(dc), distance - 1 - DistanceBase(dc), DistanceBits(dc)});
        model_.Match(length, distance);
        break;
      }
      case kShort: {
        Require(op.a >= 1 && op.a <= 256, "short distance 1..256");
        int c = ClassOf(
            op.a - 1, 8, [](int c) { return kShortBase[c]; }, [](int c) { return kShortBits[c]; });
        tokens.push_back(Token{0, uint32_t(261 + c), op.a - 1 - kShortBase[c], kShortBits[c]});
        model_.Match(2, op.a);
        break;
      }
      case kRepeat:
        tokens.push_back(Token{0, 256});
        model_.Repeat();
        break;
      case kRecent: {
        uint32_t distance = model_.RecentDistance(int(op.a));
        uint32_t extra = (distance >= 0x101) + (distance >= 0x2000) + (distance >= 0x40000);
        Require(op.b >= 2 + extra && op.b - 2 - extra <= 255, "recent match length");
        uint32_t l = op.b - 2 - extra;
        int lc = ClassOf(
            l, 28, [](int c) { return kLengthBase[c]; }, LengthBits);
        tokens.push_back(Token{0, 256 + op.a});
        tokens.push_back(Token{2, uint32_t(lc), l - kLengthBase[lc], LengthBits(lc)});
        model_.Match(op.b, distance);
        break;
      }
      case kAudio: {
        int channel = model_.currentChannel();
        tokens.push_back(Token{3 + channel, model_.AudioByte(uint8_t(op.a))});
        break;
      }
    }
  }
}

// Gives every table block without explicit lengths codes fitted to the
// symbols up to the next block.
void Rar20Stream::FitLengths(const std::vector<Token>& tokens) {
  for (size_t t = 0; t < tokens.size(); ++t) {
    if (tokens[t].table != -1) continue;
    Op& op = ops_[tokens[t].op];
    if (!op.lengths.empty()) continue;
    std::vector<std::vector<uint64_t>> freq = {std::vector<uint64_t>(298), std::vector<uint64_t>(48),
                                               std::vector<uint64_t>(28)};
    for (int c = 0; c < 4; ++c) freq.push_back(std::vector<uint64_t>(kAudioCodes));
    for (size_t u = t + 1; u < tokens.size() && tokens[u].table != -1; ++u) {
      freq[tokens[u].table][tokens[u].symbol] += 64;
    }
    freq[0][269] += 1;
    for (int c = 0; c < 4; ++c) freq[3 + c][256] += 1;
    if (op.audio) {
      for (uint32_t c = 0; c < op.a; ++c) {
        Bytes l = FitCodeLengths(freq[3 + c], op.sparse);
        op.lengths.insert(op.lengths.end(), l.begin(), l.end());
      }
    } else {
      for (int k = 0; k < 3; ++k) {
        Bytes l = FitCodeLengths(freq[k], op.sparse);
        op.lengths.insert(op.lengths.end(), l.begin(), l.end());
      }
    }
  }
}

// The block head, the code-length code and the lengths, run-length coded
// with codes 16 (repeat the previous length), 17 and 18 (zeros).
void Rar20Stream::WriteTableBlock(BitWriter& out, Op& op) {
  out.Put(op.audio ? 1 : 0, 1);
  out.Put(op.delta ? 1 : 0, 1);
  if (op.audio) out.Put(op.a - 1, 2);
  if (!op.delta) std::fill(prevLengths_.begin(), prevLengths_.end(), 0);
  const Bytes& lengths = op.lengths;
  int count = int(lengths.size());

  struct Item {
    uint32_t code, extra;
    int bits;
  };
  std::vector<Item> items;
  for (int i = 0; i < count;) {
    int zeros = 0;
    while (i + zeros < count && lengths[i + zeros] == 0) zeros++;
    int same = 0;
    while (i > 0 && i + same < count && lengths[i + same] == lengths[i - 1]) same++;
    if (zeros >= 11) {
      int n = std::min(zeros, 138);
      items.push_back({18, uint32_t(n - 11), 7});
      i += n;
    } else if (zeros >= 3) {
      items.push_back({17, uint32_t(zeros - 3), 3});
      i += zeros;
    } else if (same >= 3) {
      int n = std::min(same, 6);
      items.push_back({16, uint32_t(n - 3), 2});
      i += n;
    } else {
      items.push_back({uint32_t((lengths[i] - prevLengths_[i]) & 15), 0, 0});
      i++;
    }
  }
  std::vector<uint64_t> freq(19);
  for (const Item& item : items) freq[item.code] += 64;
  Bytes bitLengths = FitCodeLengths(freq);
  for (uint8_t l : bitLengths) out.Put(l, 4);
  std::vector<uint32_t> codes = CanonicalCodes(bitLengths.data(), 19);
  for (const Item& item : items) {
    out.Put(codes[item.code], bitLengths[item.code]);
    out.Put(item.extra, item.bits);
  }
  std::copy(lengths.begin(), lengths.end(), prevLengths_.begin());
  if (op.audio) {
    std::copy(lengths.begin(), lengths.end(), audio_.begin());
    for (uint32_t c = 0; c < op.a; ++c) SetCodes(3 + c, &audio_[kAudioCodes * c], kAudioCodes);
  } else {
    lz_ = lengths;
    SetCodes(0, &lz_[0], 298);
    SetCodes(1, &lz_[298], 48);
    SetCodes(2, &lz_[346], 28);
  }
}

void Rar20Stream::SetCodes(int table, const uint8_t* lengths, int count) {
  codes_[table].lengths.assign(lengths, lengths + count);
  codes_[table].codes = CanonicalCodes(lengths, count);
}

void Rar20Stream::PutSymbol(BitWriter& out, int table, uint32_t symbol) {
  const Codes& codes = codes_[table];
  Require(symbol < codes.lengths.size() && codes.lengths[symbol] != 0, "symbol without a code");
  out.Put(codes.codes[symbol], codes.lengths[symbol]);
}

Entry Rar20Stream::End() {
  std::vector<Token> tokens;
  Require(solid_ || (!ops_.empty() && ops_[0].kind == kTable), "a new entry starts with tables");
  Symbolize(tokens);
  FitLengths(tokens);

  BitWriter out;
  for (size_t t = 0; t < tokens.size(); ++t) {
    const Token& token = tokens[t];
    if (token.table == -1) {
      // The table code of the mode in force, except for an entry's first
      // block, which the decoder reads unasked.
      if (solid_ || t > 0) {
        if (writerAudio_) {
          PutSymbol(out, 3 + int(token.extra), 256);
        } else {
          PutSymbol(out, 0, 269);
        }
      }
      Op& op = ops_[token.op];
      WriteTableBlock(out, op);
      writerAudio_ = op.audio;
      continue;
    }
    PutSymbol(out, token.table, token.symbol);
    out.Put(token.extra, token.extraBits);
  }
  Entry entry;
  entry.packed = out.Take();
  entry.expected = model_.TakeOutput();
  entry.solid = solid_;
  return entry;
}

}  // namespace rar20test
