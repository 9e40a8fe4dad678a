#include "rar20_encoder.h"

#include <string.h>

#include <algorithm>

#include "audio_model.h"
#include "bit_writer.h"
#include "huffman.h"
#include "match_finder.h"
#include "rar20_format.h"
#include "table_block.h"

namespace osin {

namespace {

using namespace rar20;

// Levels: search depth and "nice" length of the match finder, and the parse.
struct LevelParams {
  int depth;
  int nice;
  uint32_t lazy;  // a match shorter than this is checked against the next position's
  int passes;     // 0: greedy or lazy matching; n: cost-based parse, n passes
  bool tree;      // binary-tree match finder rather than hash chains
};
constexpr LevelParams kLevels[6] = {
    {0, 0, 0, 0, false},     {4, 32, 0, 0, false},  {12, 64, 16, 0, false},
    {48, 128, 64, 0, false}, {32, 96, 0, 1, false}, {48, 257, 0, 2, true},
};

// The input is parsed and coded in segments; each segment's codes are split
// into blocks that get their own tables when that pays.
constexpr uint32_t kSegment = 128 * 1024;
constexpr size_t kSplitChunk = 2048;      // codes per split candidate
constexpr uint32_t kAudioChunk = 8192;    // bytes per audio split candidate
constexpr uint32_t kAudioMinimum = 1024;  // smaller spans are not worth a mode switch
constexpr int kOptimalWindow = 8192;      // positions per cost-based parse window
// Padding behind every entry's last code. Other readers peek a little past
// the last code (unar fails without it, at the end of an audio run always,
// after an LZ code now and then); the runtime's reader looks for trailing
// tables only when five or more bytes remain, so two zero bytes are inert.
constexpr size_t kTrailingZeros = 2;

// One parsed step: a literal (Length 0, Distance the byte) or a match.
struct Op {
  uint32_t length;
  uint32_t distance;
};

// The distance history as the reader keeps it: the last four distances
// (newest first) and the last match for code 256.
struct Recent {
  uint32_t rep[4] = {};
  uint32_t lastLength = 0, lastDistance = 0;

  void Push(uint32_t length, uint32_t distance) {
    rep[3] = rep[2];
    rep[2] = rep[1];
    rep[1] = rep[0];
    rep[0] = distance;
    lastLength = length;
    lastDistance = distance;
  }
};

// One coded LZ step: the main symbol, an optional second symbol (distance
// class of a long match, length class of a recent-distance match) and up to
// two runs of extra bits, in stream order.
struct Code {
  uint16_t main;
  int8_t aux;
  uint8_t bits1, bits2;
  uint32_t extra1, extra2;
};

Code ToCode(Recent& r, const Op& op) {
  Code c{0, -1, 0, 0, 0, 0};
  if (op.length == 0) {
    c.main = static_cast<uint16_t>(op.distance);
    return c;
  }
  uint32_t len = op.length, d = op.distance;
  if (len == r.lastLength && d == r.lastDistance) {
    c.main = kRepeatLast;
    r.Push(len, d);
    return c;
  }
  for (int k = 0; k < 4; ++k) {
    if (r.rep[k] != d) continue;
    uint32_t v = len - 2 - RecentAdjust(d);
    int lc = LengthClass(v);
    c.main = static_cast<uint16_t>(kRecentFirst + k);
    c.aux = static_cast<int8_t>(lc);
    c.bits1 = kLengthBits[lc];
    c.extra1 = v - kLengthBase[lc];
    r.Push(len, d);
    return c;
  }
  if (len == 2) {
    int n = ShortClass(d - 1);
    c.main = static_cast<uint16_t>(kShortFirst + n);
    c.bits1 = kShortBits[n];
    c.extra1 = d - 1 - kShortBase[n];
  } else {
    uint32_t v = len - 3 - LongAdjust(d);
    int lc = LengthClass(v);
    int dc = DistanceClass(d - 1);
    c.main = static_cast<uint16_t>(kLongFirst + lc);
    c.bits1 = kLengthBits[lc];
    c.extra1 = v - kLengthBase[lc];
    c.aux = static_cast<int8_t>(dc);
    c.bits2 = kDistBits[dc];
    c.extra2 = d - 1 - kDistBase[dc];
  }
  r.Push(len, d);
  return c;
}

// Symbol counts of a run of LZ codes, in the layout of a table block.
struct LzStats {
  uint32_t freq[kLzLengths] = {};
  uint64_t extraBits = 0;

  void Add(const Code& c) {
    freq[c.main]++;
    if (c.aux >= 0) freq[(c.main >= kLongFirst ? kMainSymbols : kMainSymbols + kDistSymbols) + c.aux]++;
    extraBits += c.bits1 + c.bits2;
  }
  void Add(const LzStats& o) {
    for (int i = 0; i < kLzLengths; ++i) freq[i] += o.freq[i];
    extraBits += o.extraBits;
  }
};

// Builds code lengths for Count symbols whose table code (the symbol that
// announces new tables) must always be present, and keeps that code off the
// all-zero bit pattern: zero padding behind an entry then never reads as a
// request for new tables.
void BuildWithTableCode(const uint32_t* freqs, int count, int tableCode, uint8_t* lengths) {
  std::vector<uint32_t> f(freqs, freqs + count);
  f[tableCode] = std::max<uint32_t>(f[tableCode], 1);
  bool below = false;
  for (int i = 0; i < tableCode; ++i) below |= f[i] != 0;
  if (!below) f[0] = 1;
  BuildCodeLengths(f.data(), count, kMaxCodeBits, lengths);
  int shortest = -1;
  for (int i = 0; i < tableCode; ++i)
    if (lengths[i] && (shortest < 0 || lengths[i] < lengths[shortest])) shortest = i;
  if (lengths[shortest] > lengths[tableCode]) std::swap(lengths[shortest], lengths[tableCode]);
}

void BuildLzLengths(const LzStats& s, uint8_t* lengths) {
  BuildWithTableCode(s.freq, kMainSymbols, kNewTables, lengths);
  BuildCodeLengths(s.freq + kMainSymbols, kDistSymbols, kMaxCodeBits, lengths + kMainSymbols);
  BuildCodeLengths(s.freq + kMainSymbols + kDistSymbols, kRepLenSymbols, kMaxCodeBits,
                   lengths + kMainSymbols + kDistSymbols);
}

bool Covers(const uint8_t* lengths, const uint32_t* freq, int count) {
  for (int i = 0; i < count; ++i)
    if (freq[i] && !lengths[i]) return false;
  return true;
}

// Where a run of Total symbols gets new tables: fixed chunks are merged
// greedily, a chunk joining the open block when one set of tables for both
// is cheaper than two. Count(from, to) gives the statistics of a range,
// Merge(a, b) those of both, Bits(s) the coded size of a block with its own
// tables. Returns the block starts followed by Total.
template <class Count, class Merge, class Bits>
std::vector<size_t> SplitBlocks(size_t total, size_t chunkSize, Count count, Merge merge, Bits bits) {
  std::vector<size_t> cuts{0};
  auto open = count(0, std::min(total, chunkSize));
  uint64_t openBits = bits(open);
  for (size_t at = chunkSize; at < total; at += chunkSize) {
    auto chunk = count(at, std::min(total, at + chunkSize));
    auto merged = merge(open, chunk);
    uint64_t mergedBits = bits(merged);
    uint64_t chunkBits = bits(chunk);
    if (mergedBits <= openBits + chunkBits) {
      open = std::move(merged);
      openBits = mergedBits;
    } else {
      cuts.push_back(at);
      open = std::move(chunk);
      openBits = chunkBits;
    }
  }
  cuts.push_back(total);
  return cuts;
}

// Everything the reader holds between symbols and between solid entries,
// mirrored so that every choice the encoder makes is one the reader follows.
struct Mirror {
  Recent recent;
  TableHistory history;
  bool bare = true;  // the next table block starts the entry: no table code before it
  bool haveTables = false;
  bool audio = false;
  int channels = 1;
  int current = 0;
  uint8_t lengths[kMaxLengths] = {};
  uint16_t codes[kMaxLengths] = {};
  AudioModel model;

  void Put(BitWriter& out, int index, BitKind kind) const { out.Put(codes[index], lengths[index], kind); }

  // The symbol that announces a table block, unless the block starts the entry.
  void Announce(BitWriter& out) {
    if (bare) {
      bare = false;
    } else if (audio) {
      Put(out, current * kAudioSymbols + kRepeatLast, kBitsTables);
    } else {
      Put(out, kNewTables, kBitsTables);
    }
  }

  void SetLz(BitWriter& out, const uint8_t* lz) {
    Announce(out);
    WriteTableBlock(out, history, false, 1, lz, kLzLengths);
    audio = false;
    haveTables = true;
    memcpy(lengths, lz, kLzLengths);
    BuildCanonicalCodes(lengths, kMainSymbols, codes);
    BuildCanonicalCodes(lengths + kMainSymbols, kDistSymbols, codes + kMainSymbols);
    BuildCanonicalCodes(lengths + kMainSymbols + kDistSymbols, kRepLenSymbols,
                        codes + kMainSymbols + kDistSymbols);
  }

  void SetAudio(BitWriter& out, int count, const uint8_t* au) {
    Announce(out);
    WriteTableBlock(out, history, true, count, au, count * kAudioSymbols);
    audio = true;
    haveTables = true;
    channels = count;
    if (current >= channels) current = 0;
    memcpy(lengths, au, count * kAudioSymbols);
    for (int c = 0; c < count; ++c)
      BuildCanonicalCodes(lengths + c * kAudioSymbols, kAudioSymbols, codes + c * kAudioSymbols);
  }

  void PutCode(BitWriter& out, const Code& c) const {
    Put(out, c.main, c.main < kRepeatLast ? kBitsLiteral : kBitsMatch);
    if (c.main >= kRecentFirst && c.main < kShortFirst) {
      Put(out, kMainSymbols + kDistSymbols + c.aux, kBitsMatch);
      out.Put(c.extra1, c.bits1);
    } else if (c.main >= kShortFirst && c.main < kNewTables) {
      out.Put(c.extra1, c.bits1, kBitsDistance);
    } else if (c.main >= kLongFirst) {
      out.Put(c.extra1, c.bits1);
      Put(out, kMainSymbols + c.aux, kBitsDistance);
      out.Put(c.extra2, c.bits2);
    }
  }
};

// Bit costs of every code kind under a set of LZ code lengths, for the
// cost-based parse. Symbols the tables lack get a pessimistic price so the
// parse still considers them.
struct Prices {
  uint32_t main[kMainSymbols];
  uint32_t dist[kDistSymbols];
  uint32_t repLen[kRepLenSymbols];
  // The length part of a long match's price by LongAdjust and length, and of
  // a recent distance's by RecentAdjust and length: the parse asks for
  // every length of every match.
  uint32_t longLength[3][kMaxMatch + 1];
  uint32_t recentLength[4][kMaxMatch + 1];

  void From(const uint8_t* lengths) {
    for (int i = 0; i < kMainSymbols; ++i) main[i] = lengths[i] ? lengths[i] : 14;
    for (int i = 0; i < kDistSymbols; ++i)
      dist[i] = lengths[kMainSymbols + i] ? lengths[kMainSymbols + i] : 9;
    for (int i = 0; i < kRepLenSymbols; ++i) {
      uint8_t l = lengths[kMainSymbols + kDistSymbols + i];
      repLen[i] = l ? l : 7;
    }
    Tabulate();
  }
  void Defaults() {
    for (int i = 0; i < kMainSymbols; ++i) main[i] = i < 256 ? 9 : 8;
    main[kNewTables] = 15;
    for (uint32_t& d : dist) d = 5;
    for (uint32_t& r : repLen) r = 4;
    Tabulate();
  }
  void Tabulate() {
    for (uint32_t adjust = 0; adjust < 4; ++adjust) {
      for (uint32_t len = 0; len <= uint32_t(kMaxMatch); ++len) {
        if (adjust < 3) {
          int lc = LengthClass(len >= 3 + adjust ? len - 3 - adjust : 0);
          longLength[adjust][len] = main[kLongFirst + lc] + kLengthBits[lc];
        }
        int lc = LengthClass(len >= 2 + adjust ? len - 2 - adjust : 0);
        recentLength[adjust][len] = repLen[lc] + kLengthBits[lc];
      }
    }
  }
  uint32_t Short(uint32_t d) const {
    int n = ShortClass(d - 1);
    return main[kShortFirst + n] + kShortBits[n];
  }
};

// Where audio mode may pay: the sample data of an entry and its channels.
struct AudioSpan {
  uint32_t begin = 0, end = 0;
  int channels = 0;
};

uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}
uint32_t Le16(const uint8_t* p) {
  return p[0] | (p[1] << 8);
}

// PCM WAV (8/16-bit samples, 1..4 byte channels in all) or uncompressed
// 24/32-bit BMP pixels in Size bytes of Source; Channels 0 when the header
// is neither. Only the headers are read.
AudioSpan DetectLayout(ByteSource& source, uint64_t size) {
  AudioSpan s;
  uint8_t d[54];
  size_t have = source.Peek(0, d, std::min<uint64_t>(size, sizeof(d)));
  if (have >= 44 && !memcmp(d, "RIFF", 4) && !memcmp(d + 8, "WAVE", 4)) {
    int channels = 0;
    uint8_t c[24];  // a chunk's header, and the format's fields
    for (uint64_t at = 12; at + 8 <= size;) {
      size_t n = source.Peek(at, c, std::min<uint64_t>(sizeof(c), size - at));
      if (n < 8) break;
      uint32_t len = Le32(c + 4);
      if (!memcmp(c, "fmt ", 4) && len >= 16 && n == sizeof(c)) {
        uint32_t tag = Le16(c + 8), nch = Le16(c + 10), bits = Le16(c + 22);
        if ((tag == 1 || tag == 0xFFFE) && (bits == 8 || bits == 16))
          channels = static_cast<int>(nch * bits / 8);
      } else if (!memcmp(c, "data", 4)) {
        if (channels >= 1 && channels <= kMaxChannels) {
          s.begin = static_cast<uint32_t>(at + 8);
          s.end = static_cast<uint32_t>(std::min<uint64_t>(size, uint64_t(s.begin) + len));
          s.channels = channels;
        }
        break;
      }
      at += 8 + static_cast<uint64_t>(len) + (len & 1);
    }
  } else if (have >= 54 && d[0] == 'B' && d[1] == 'M') {
    uint32_t offset = Le32(d + 10), header = Le32(d + 14), bpp = Le16(d + 28), compression = Le32(d + 30);
    if (header >= 40 && compression == 0 && (bpp == 24 || bpp == 32) && offset < size) {
      s.begin = offset;
      s.end = static_cast<uint32_t>(size);
      s.channels = static_cast<int>(bpp / 8);
    }
  }
  if (s.end - s.begin < kAudioMinimum) s.channels = 0;
  return s;
}

// Bits the prediction errors of a sample would take with a given channel
// count (one table per channel, its size guessed), for data whose layout no
// header tells. Integer Huffman costs keep the choice the same everywhere.
uint64_t AudioEstimate(const AudioModel& start, const uint8_t* d, uint32_t n, int channels) {
  AudioModel model = start;
  std::vector<uint32_t> freq(kMaxChannels * 256, 0);
  for (uint32_t i = 0; i < n; ++i)
    freq[(i % channels) * 256 + model.Encode(static_cast<int>(i % channels), d[i])]++;
  uint64_t bits = 0;
  uint8_t lengths[256];
  for (int c = 0; c < channels; ++c) {
    BuildCodeLengths(&freq[c * 256], 256, kMaxCodeBits, lengths);
    bits += CodedBits(&freq[c * 256], lengths, 256) + 600;
  }
  return bits;
}

}  // namespace

struct Rar20Encoder::Impl {
  LevelParams params;
  Multimedia multimedia;
  MatchFinder finder;
  Mirror mirror;
  bool started = false;

  // Scratch of the cost-based parse.
  struct Node {
    uint32_t cost;
    uint32_t from;
    Op op;
    Recent recent;
  };
  std::vector<Node> nodes;
  std::vector<uint32_t> matchStart;
  std::vector<Match> matches;
  std::vector<uint8_t> committed;
  std::vector<uint8_t> input;      // the piece being read
  uint64_t tally[kBitKinds] = {};  // of the entry packed last

  Impl(int level, Multimedia mm)
      : params(kLevels[std::min(std::max(level, 1), 5)]),
        multimedia(mm),
        finder(params.depth, params.nice, params.tree) {}

  // --- parsing -------------------------------------------------------------

  // Savings (in rough bits against literals) of the best step at Pos for the
  // greedy and lazy parses; Best receives it.
  int Evaluate(uint32_t pos, uint32_t end, const Recent& r, Op& best) {
    Match found[MatchFinder::kMaxFound];
    int n = finder.Find(pos, end, found);
    const uint8_t* data = finder.Data();
    best = Op{0, data[pos]};
    int bestGain = 0;
    uint32_t avail = finder.Available(pos), max = std::min<uint32_t>(kMaxMatch, end - pos);
    auto consider = [&](uint32_t len, uint32_t d, int cost) {
      int gain = static_cast<int>(len) * 9 - cost;
      if (gain > bestGain) {
        bestGain = gain;
        best = Op{len, d};
      }
    };
    if (r.lastLength && r.lastDistance <= avail && r.lastLength <= max &&
        finder.MatchLength(pos, r.lastDistance, r.lastLength) >= r.lastLength)
      consider(r.lastLength, r.lastDistance, 6);
    for (int k = 0; k < 4; ++k) {
      uint32_t d = r.rep[k];
      if (!d || d > avail) continue;
      uint32_t len = finder.MatchLength(pos, d, max);
      if (len >= static_cast<uint32_t>(MinMatchLength(d))) {
        int lc = LengthClass(len - 2 - RecentAdjust(d));
        consider(len, d, 10 + kLengthBits[lc] + k);
      }
    }
    for (int i = n - 1; i >= 0 && i >= n - 2; --i) {
      uint32_t len = found[i].length, d = found[i].distance;
      if (len == 2) {
        consider(2, d, 7 + kShortBits[ShortClass(d - 1)]);
      } else {
        int lc = LengthClass(len - 3 - LongAdjust(d));
        consider(len, d, 12 + kLengthBits[lc] + kDistBits[DistanceClass(d - 1)]);
      }
    }
    return bestGain;
  }

  void ParseLazy(uint32_t a, uint32_t b, Recent r, std::vector<Op>& ops) {
    uint32_t pos = a;
    Op cur;
    int gain = Evaluate(pos, b, r, cur);
    while (pos < b) {
      if (cur.length == 0) {
        ops.push_back(cur);
        if (++pos < b) gain = Evaluate(pos, b, r, cur);
        continue;
      }
      if (cur.length < params.lazy && pos + 1 < b) {
        Op next;
        int nextGain = Evaluate(pos + 1, b, r, next);
        if (nextGain > gain) {
          ops.push_back(Op{0, finder.Data()[pos]});
          ++pos;
          cur = next;
          gain = nextGain;
          continue;
        }
      }
      ops.push_back(cur);
      ToCode(r, cur);
      pos += cur.length;
      finder.SkipTo(pos);
      if (pos < b) gain = Evaluate(pos, b, r, cur);
    }
  }

  // Collects the matches of every position of [A, B) once, for all passes.
  // A match of the nice length or more is taken as it is: the positions it
  // covers are only indexed, and the parse windows end at it.
  void CollectMatches(uint32_t a, uint32_t b) {
    uint32_t n = b - a;
    matchStart.assign(n + 1, 0);
    committed.assign(n, 0);
    matches.clear();
    uint32_t skipUntil = a;
    Match found[MatchFinder::kMaxFound];
    for (uint32_t pos = a; pos < b; ++pos) {
      matchStart[pos - a] = static_cast<uint32_t>(matches.size());
      if (pos < skipUntil) continue;
      finder.SkipTo(pos);
      int count = finder.Find(pos, b, found);
      matches.insert(matches.end(), found, found + count);
      if (count && found[count - 1].length >= static_cast<uint32_t>(params.nice)) {
        committed[pos - a] = 1;
        skipUntil = pos + found[count - 1].length;
      }
    }
    matchStart[n] = static_cast<uint32_t>(matches.size());
    finder.SkipTo(b);
  }

  // The cheapest steps from Pos to End under Prices, by a forward search
  // over the positions that carries the distance history along each path.
  void ParseWindow(uint32_t base, uint32_t pos, uint32_t end, Recent& r, const Prices& p,
                   std::vector<Op>& ops) {
    uint32_t n = end - pos;
    nodes.assign(n + kMaxMatch + 1, Node{UINT32_MAX, 0, Op{0, 0}, Recent()});
    nodes[0].cost = 0;
    nodes[0].recent = r;
    const uint8_t* data = finder.Data();
    for (uint32_t i = 0; i < n; ++i) {
      Node& node = nodes[i];
      if (i > 0) {
        Node& from = nodes[node.from];
        node.recent = from.recent;
        if (node.op.length) ToCode(node.recent, node.op);
      }
      const Recent& st = node.recent;
      uint32_t at = pos + i, cost = node.cost;
      uint32_t max = std::min<uint32_t>(kMaxMatch, end - at), avail = finder.Available(at);
      auto relax = [&](uint32_t len, uint32_t dist, uint32_t price) {
        Node& to = nodes[i + len];
        if (cost + price < to.cost) {
          to.cost = cost + price;
          to.from = i;
          to.op = Op{len, dist};
        }
      };
      {
        Node& to = nodes[i + 1];
        uint32_t price = p.main[data[at]];
        if (cost + price < to.cost) {
          to.cost = cost + price;
          to.from = i;
          to.op = Op{0, data[at]};
        }
      }
      if (st.lastLength && st.lastDistance <= avail && st.lastLength <= max &&
          finder.MatchLength(at, st.lastDistance, st.lastLength) >= st.lastLength)
        relax(st.lastLength, st.lastDistance, p.main[kRepeatLast]);
      for (int k = 0; k < 4; ++k) {
        uint32_t d = st.rep[k];
        if (!d || d > avail) continue;
        bool seen = false;
        for (int j = 0; j < k; ++j) seen |= st.rep[j] == d;
        if (seen) continue;
        uint32_t len = finder.MatchLength(at, d, max);
        const uint32_t* lengthPrice = p.recentLength[RecentAdjust(d)];
        uint32_t codePrice = p.main[kRecentFirst + k];
        for (uint32_t l = MinMatchLength(d); l <= len; ++l) relax(l, d, codePrice + lengthPrice[l]);
      }
      uint32_t prev = 1;
      for (uint32_t m = matchStart[at - base]; m < matchStart[at - base + 1]; ++m) {
        uint32_t len = std::min(matches[m].length, max), d = matches[m].distance;
        uint32_t from = std::max<uint32_t>(prev + 1, MinMatchLength(d));
        if (from == 2) {
          relax(2, d, p.Short(d));
          from = 3;
        }
        if (from <= len) {
          uint32_t dc = DistanceClass(d - 1), distPrice = p.dist[dc] + kDistBits[dc];
          const uint32_t* lengthPrice = p.longLength[LongAdjust(d)];
          for (uint32_t l = from; l <= len; ++l) relax(l, d, lengthPrice[l] + distPrice);
        }
        prev = std::max(prev, len);
      }
    }
    size_t first = ops.size();
    for (uint32_t at = n; at > 0; at = nodes[at].from) ops.push_back(nodes[at].op);
    std::reverse(ops.begin() + first, ops.end());
    for (size_t k = first; k < ops.size(); ++k)
      if (ops[k].length) ToCode(r, ops[k]);
  }

  void ParseOptimal(uint32_t a, uint32_t b, Recent r, const Prices& p, std::vector<Op>& ops) {
    uint32_t pos = a;
    while (pos < b) {
      uint32_t end = std::min<uint32_t>(pos + kOptimalWindow, b);
      for (uint32_t at = pos; at < end; ++at)
        if (committed[at - a]) {
          end = at;
          break;
        }
      if (end > pos) ParseWindow(a, pos, end, r, p, ops);
      pos = end;
      if (pos < b && committed[pos - a]) {
        const Match& m = matches[matchStart[pos - a + 1] - 1];
        Op op{m.length, m.distance};
        ops.push_back(op);
        ToCode(r, op);
        pos += m.length;
      }
    }
  }

  void Parse(uint32_t a, uint32_t b, std::vector<Op>& ops) {
    if (params.passes == 0) {
      ParseLazy(a, b, mirror.recent, ops);
      return;
    }
    CollectMatches(a, b);
    Prices prices;
    int passes = params.passes;
    if (mirror.haveTables && !mirror.audio) {
      prices.From(mirror.lengths);
    } else {
      prices.Defaults();
      ++passes;
    }
    for (int pass = 0; pass < passes; ++pass) {
      ops.clear();
      ParseOptimal(a, b, mirror.recent, prices, ops);
      if (pass + 1 == passes) break;
      LzStats stats;
      Recent r = mirror.recent;
      for (const Op& op : ops) stats.Add(ToCode(r, op));
      uint8_t lengths[kLzLengths];
      BuildLzLengths(stats, lengths);
      prices.From(lengths);
    }
  }

  // --- LZ blocks -------------------------------------------------------------

  uint64_t LzBlockBits(const LzStats& s, uint8_t* lengths) {
    BuildLzLengths(s, lengths);
    return CodedBits(s.freq, lengths, kLzLengths) + s.extraBits +
           TableBlockBits(mirror.history, false, lengths, kLzLengths) + 12;
  }

  void EmitLz(BitWriter& out, const std::vector<Code>& codes) {
    uint8_t lengths[kLzLengths];
    std::vector<size_t> cuts = SplitBlocks(
        codes.size(), kSplitChunk,
        [&](size_t from, size_t to) {
          LzStats s;
          for (size_t k = from; k < to; ++k) s.Add(codes[k]);
          return s;
        },
        [](const LzStats& a, const LzStats& b) {
          LzStats s = a;
          s.Add(b);
          return s;
        },
        [&](const LzStats& s) { return LzBlockBits(s, lengths); });
    for (size_t b = 0; b + 1 < cuts.size(); ++b) {
      LzStats s;
      for (size_t k = cuts[b]; k < cuts[b + 1]; ++k) s.Add(codes[k]);
      uint64_t newBits = LzBlockBits(s, lengths);
      bool keep = !mirror.bare && mirror.haveTables && !mirror.audio &&
                  Covers(mirror.lengths, s.freq, kLzLengths) &&
                  CodedBits(s.freq, mirror.lengths, kLzLengths) + s.extraBits <= newBits;
      if (!keep) mirror.SetLz(out, lengths);
      for (size_t k = cuts[b]; k < cuts[b + 1]; ++k) mirror.PutCode(out, codes[k]);
    }
  }

  void EncodeLz(BitWriter& out, uint32_t a, uint32_t b) {
    std::vector<Op> ops;
    std::vector<Code> codes;
    for (uint32_t s = a; s < b; s += kSegment) {
      uint32_t e = std::min(b, s + kSegment);
      ops.clear();
      Parse(s, e, ops);
      codes.clear();
      for (const Op& op : ops) codes.push_back(ToCode(mirror.recent, op));
      EmitLz(out, codes);
    }
  }

  // --- audio blocks ----------------------------------------------------------

  uint64_t AudioBlockBits(const std::vector<uint32_t>& f, int channels, uint8_t* lengths) {
    for (int c = 0; c < channels; ++c)
      BuildWithTableCode(&f[c * kAudioSymbols], kAudioSymbols, kRepeatLast, lengths + c * kAudioSymbols);
    return CodedBits(f.data(), lengths, channels * kAudioSymbols) +
           TableBlockBits(mirror.history, true, lengths, channels * kAudioSymbols) + 12;
  }

  void EncodeAudio(BitWriter& out, uint32_t a, uint32_t b, int channels) {
    finder.SkipTo(b);
    const uint8_t* data = finder.Data();
    // The reader falls back to channel 0 only when the current channel is
    // past the new count; the symbols follow the channel it will be on.
    int channel = mirror.current >= channels ? 0 : mirror.current;
    std::vector<uint16_t> symbols(b - a);
    for (uint32_t i = a; i < b; ++i) {
      symbols[i - a] = static_cast<uint16_t>(channel * kAudioSymbols + mirror.model.Encode(channel, data[i]));
      if (++channel == channels) channel = 0;
    }
    size_t total = channels * kAudioSymbols;
    std::vector<uint8_t> lengths(total);
    std::vector<size_t> cuts = SplitBlocks(
        symbols.size(), kAudioChunk,
        [&](size_t from, size_t to) {
          std::vector<uint32_t> f(total, 0);
          for (size_t k = from; k < to; ++k) f[symbols[k]]++;
          return f;
        },
        [&](const std::vector<uint32_t>& x, const std::vector<uint32_t>& y) {
          std::vector<uint32_t> f(total);
          for (size_t k = 0; k < total; ++k) f[k] = x[k] + y[k];
          return f;
        },
        [&](const std::vector<uint32_t>& f) { return AudioBlockBits(f, channels, lengths.data()); });
    std::vector<uint32_t> open(total);
    for (size_t b2 = 0; b2 + 1 < cuts.size(); ++b2) {
      std::fill(open.begin(), open.end(), 0);
      for (size_t k = cuts[b2]; k < cuts[b2 + 1]; ++k) open[symbols[k]]++;
      uint64_t newBits = AudioBlockBits(open, channels, lengths.data());
      bool keep = !mirror.bare && mirror.haveTables && mirror.audio && mirror.channels == channels &&
                  Covers(mirror.lengths, open.data(), static_cast<int>(total)) &&
                  CodedBits(open.data(), mirror.lengths, static_cast<int>(total)) <= newBits;
      if (!keep) mirror.SetAudio(out, channels, lengths.data());
      for (size_t k = cuts[b2]; k < cuts[b2 + 1]; ++k) {
        mirror.Put(out, symbols[k], kBitsAudio);
        mirror.current = symbols[k] / kAudioSymbols + 1 == channels ? 0 : symbols[k] / kAudioSymbols + 1;
      }
    }
  }

  // --- entries ---------------------------------------------------------------

  // Packs [A, B) of the finder's buffer in audio mode with Channels, or in
  // LZ mode (Channels 0); with Trial, both ways, keeping the smaller.
  void EncodeSpan(BitWriter& out, uint32_t a, uint32_t b, int channels, bool trial) {
    if (channels == 0) {
      EncodeLz(out, a, b);
      return;
    }
    if (!trial) {
      EncodeAudio(out, a, b, channels);
      return;
    }
    Mirror before = mirror;
    BitWriter lz;
    EncodeLz(lz, a, b);
    Mirror afterLz = mirror;
    mirror = before;
    BitWriter au;
    EncodeAudio(au, a, b, channels);
    if (lz.BitCount() < au.BitCount()) {
      mirror = afterLz;
      out.Append(lz);
    } else {
      out.Append(au);
    }
  }

  // A span of the entry and its mode; the last one reaches past any size,
  // so bytes a growing file adds after its size was taken are packed too.
  struct Region {
    uint64_t begin, end;
    int channels;
  };

  std::vector<Region> Plan(ByteSource& source, uint64_t size) {
    AudioSpan span;
    if (multimedia != Multimedia::kOff) span = DetectLayout(source, size);
    if (multimedia == Multimedia::kForce && span.channels == 0 && size >= kAudioMinimum) {
      uint64_t best = 0;
      std::vector<uint8_t> sample(std::min<uint64_t>(size, 65536));
      sample.resize(source.Peek(0, sample.data(), sample.size()));
      for (int c = 1; c <= kMaxChannels; ++c) {
        uint64_t bits = AudioEstimate(mirror.model, sample.data(), static_cast<uint32_t>(sample.size()), c);
        if (c == 1 || bits < best) {
          best = bits;
          span.channels = c;
        }
      }
      span.begin = 0;
      span.end = static_cast<uint32_t>(size);
    }
    if (span.channels == 0) return {Region{0, UINT64_MAX, 0}};
    // Start the audio run early enough that the first sample byte lands on
    // channel 0, when the header leaves room for it.
    int current = mirror.current >= span.channels ? 0 : mirror.current;
    uint32_t shift = static_cast<uint32_t>((span.channels - current) % span.channels);
    if (shift <= span.begin) span.begin -= shift;
    std::vector<Region> regions;
    if (span.begin > 0) regions.push_back(Region{0, span.begin, 0});
    regions.push_back(Region{span.begin, span.end, span.channels});
    regions.push_back(Region{span.end, UINT64_MAX, 0});
    return regions;
  }

  bool Pack(ByteSource& source, bool solid, const Output& output) {
    if (!solid || !started) {
      mirror = Mirror();
      finder.Reset();
    }
    started = true;
    BitWriter out;
    std::vector<Region> regions = Plan(source, source.Size());
    // The input goes through in the finder's pieces, each read whole: the
    // segments, blocks and trials then fall where they would on the entry
    // held in memory.
    uint32_t piece = MatchFinder::MaxAppend();
    input.resize(piece);
    uint64_t at = 0;
    for (;;) {
      uint32_t n = static_cast<uint32_t>(source.Read(input.data(), input.size()));
      if (n == 0) break;
      finder.Append(input.data(), n);
      uint32_t base = finder.Size() - n;  // buffer position of the entry's byte At
      for (const Region& r : regions) {
        uint64_t lo = std::max(r.begin, at), hi = std::min(r.end, at + n);
        if (lo >= hi) continue;
        uint32_t a = base + static_cast<uint32_t>(lo - at), b = base + static_cast<uint32_t>(hi - at);
        EncodeSpan(out, a, b, r.channels, multimedia == Multimedia::kAuto);
      }
      at += n;
      if (!out.Drain(output)) return false;
    }
    if (at == 0 && mirror.bare) {
      // A non-solid entry always starts with tables, even an empty one.
      uint32_t none[kLzLengths] = {};
      uint8_t lengths[kLzLengths];
      BuildWithTableCode(none, kMainSymbols, kNewTables, lengths);
      memset(lengths + kMainSymbols, 0, kLzLengths - kMainSymbols);
      mirror.SetLz(out, lengths);
    }
    out.Flush();
    memcpy(tally, out.Tally(), sizeof(tally));
    for (size_t k = 0; k < kTrailingZeros; ++k) out.Bytes().push_back(0);
    return out.Drain(output);
  }
};

Rar20Encoder::Rar20Encoder(int level, Multimedia multimedia) : impl_(new Impl(level, multimedia)) {}

Rar20Encoder::~Rar20Encoder() = default;

std::vector<uint8_t> Rar20Encoder::Pack(const uint8_t* data, size_t size, bool solid) {
  MemorySource source(data, size);
  std::vector<uint8_t> packed;
  impl_->Pack(source, solid, [&](const uint8_t* bytes, size_t count) {
    packed.insert(packed.end(), bytes, bytes + count);
    return true;
  });
  return packed;
}

bool Rar20Encoder::Pack(ByteSource& source, bool solid, const Output& output) {
  return impl_->Pack(source, solid, output);
}

const uint64_t* Rar20Encoder::BitTally() const {
  return impl_->tally;
}

}  // namespace osin
