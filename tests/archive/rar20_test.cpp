// The RAR 2.0 decoder against streams whose output the reference model
// knows, fed through a PackedIo over memory.
#include <string.h>

#include <algorithm>
#include <random>

#include "archive/rar20.h"
#include "archive/rar20_scenarios.h"
#include "archive/rar20_stream.h"
#include "archive/rar20_table.h"
#include "testing.h"

namespace {

using rar20test::Bytes;
using rar20test::Entry;
using rar20test::Rar20Stream;

class MemoryIo : public osin::PackedIo {
 public:
  // Chunk limits every read, as a reader that returns short reads would.
  explicit MemoryIo(const Bytes& packed, int chunk = 1 << 30) : packed_(packed), chunk_(chunk) {}

  int ReadPacked(uint8_t* buffer, int count) override {
    int n = std::min({count, chunk_, int(packed_.size() - pos_)});
    if (n > 0) memcpy(buffer, packed_.data() + pos_, size_t(n));
    pos_ += size_t(n);
    return n;
  }
  void WriteOutput(const uint8_t* data, int count) override {
    EXPECT_GT(count, 0);
    output.insert(output.end(), data, data + count);
    pieces.push_back(count);
  }
  bool HasProgress() const override { return reportProgress; }
  bool Progress(uint32_t count) override {
    reports.push_back(count);
    return reports.size() < stopAfterReports;
  }

  bool reportProgress = false;
  size_t stopAfterReports = size_t(-1);
  Bytes output;
  std::vector<int> pieces;
  std::vector<uint32_t> reports;

 private:
  const Bytes& packed_;
  size_t pos_ = 0;
  int chunk_;
};

Bytes Decode(osin::Rar20Decoder& decoder, const Entry& entry, int chunk = 1 << 30,
             osin::DecodeResult* result = nullptr) {
  MemoryIo io(entry.packed, chunk);
  osin::DecodeResult r = decoder.DecodeEntry(io, entry.solid, uint32_t(entry.expected.size()));
  if (result) *result = r;
  return io.output;
}

// Compares without printing megabytes on a mismatch.
::testing::AssertionResult SameBytes(const Bytes& got, const Bytes& want) {
  if (got == want) return ::testing::AssertionSuccess();
  size_t i = 0;
  while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
  return ::testing::AssertionFailure()
         << "got " << got.size() << " bytes, want " << want.size() << ", first difference at " << i;
}

class Rar20Scenarios : public ::testing::TestWithParam<std::string> {};

TEST_P(Rar20Scenarios, DecodeAsTheModelSays) {
  const rar20test::Scenario scenario = rar20test::MakeScenario(GetParam());
  ASSERT_FALSE(scenario.entries.empty());
  osin::Rar20Decoder decoder;
  ASSERT_TRUE(decoder.Allocate());
  for (size_t i = 0; i < scenario.entries.size(); ++i) {
    osin::DecodeResult result = osin::DecodeResult::kStopped;
    EXPECT_TRUE(
        SameBytes(Decode(decoder, scenario.entries[i], 1 << 30, &result), scenario.entries[i].expected))
        << "entry " << i;
    EXPECT_EQ(result, osin::DecodeResult::kDone);
  }
  // The same run again through reads of a few bytes at a time: refills
  // that join short reads change nothing.
  for (const Entry& entry : scenario.entries) {
    EXPECT_TRUE(SameBytes(Decode(decoder, entry, 7), entry.expected));
  }
}

INSTANTIATE_TEST_SUITE_P(All, Rar20Scenarios, ::testing::ValuesIn(rar20test::ScenarioNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

// Hand-overs come in pieces of 64 KB (plus what the last symbol added), the
// two pieces of a wrapped window in order, in LZ and in audio mode alike.
TEST(Rar20Decoder, HandsOverLargePiecesOnly) {
  Rar20Stream s;
  s.Begin(false);
  s.LzTables();
  s.Literals(rar20test::RandomBytes(3000, 40));
  for (int i = 0; i < 4000; ++i) s.Match(258, 2999);
  s.AudioTables(3);
  s.Audio(rar20test::Waveform(300000, 3, 48));
  Entry entry = s.End();
  osin::Rar20Decoder decoder;
  ASSERT_TRUE(decoder.Allocate());
  MemoryIo io(entry.packed);
  ASSERT_EQ(decoder.DecodeEntry(io, false, uint32_t(entry.expected.size())), osin::DecodeResult::kDone);
  EXPECT_TRUE(SameBytes(io.output, entry.expected));
  // Short pieces other than the last: the two sides of the wrap.
  std::vector<size_t> shortPieces;
  for (size_t i = 0; i + 1 < io.pieces.size(); ++i) {
    EXPECT_LT(io.pieces[i], 0x10000 + 258) << "piece " << i;
    if (io.pieces[i] < 0x10000) shortPieces.push_back(i);
  }
  ASSERT_EQ(shortPieces.size(), 2u);
  EXPECT_EQ(shortPieces[1], shortPieces[0] + 1);
  EXPECT_GE(io.pieces[shortPieces[0]] + io.pieces[shortPieces[1]], 0x10000);
}

TEST(Rar20Decoder, ReportsProgressPerKilobyteAndStopsWhenAsked) {
  Rar20Stream s;
  s.Begin(false);
  s.LzTables();
  s.Literals(rar20test::Text(10000, 41));
  s.Match(258, 9000);
  s.AudioTables(2);
  s.Audio(rar20test::Waveform(5000, 2, 42));
  s.LzTables();
  s.Literals(rar20test::Text(77, 42));
  Entry entry = s.End();
  osin::Rar20Decoder decoder;
  ASSERT_TRUE(decoder.Allocate());

  MemoryIo io(entry.packed);
  io.reportProgress = true;
  ASSERT_EQ(decoder.DecodeEntry(io, false, uint32_t(entry.expected.size())), osin::DecodeResult::kDone);
  uint64_t total = 0;
  for (size_t i = 0; i < io.reports.size(); ++i) {
    if (i + 1 < io.reports.size()) {
      EXPECT_GE(io.reports[i], 1024u);
    }
    EXPECT_LT(io.reports[i], 1024u + 258u);
    total += io.reports[i];
  }
  EXPECT_EQ(total, entry.expected.size());

  MemoryIo stopped(entry.packed);
  stopped.reportProgress = true;
  stopped.stopAfterReports = 3;
  EXPECT_EQ(decoder.DecodeEntry(stopped, false, uint32_t(entry.expected.size())),
            osin::DecodeResult::kStopped);
  EXPECT_EQ(stopped.reports.size(), 3u);
  EXPECT_LT(stopped.output.size(), entry.expected.size());
}

// Packed data that end exactly where a buffer load ends: the refill that
// follows finds nothing, and the symbols still waiting in the carried-over
// bytes decode all the same.
TEST(Rar20Decoder, DataEndingAtABufferBoundaryDecode) {
  const Bytes data = rar20test::RandomBytes(17000, 50);
  osin::Rar20Decoder decoder;
  ASSERT_TRUE(decoder.Allocate());
  for (size_t boundary : {size_t(8192), size_t(8192 + 8160)}) {
    bool hit = false;
    // About one packed byte per random literal, after a table block.
    for (size_t k = boundary - 75; k < boundary - 25; ++k) {
      Rar20Stream s;
      s.Begin(false);
      s.LzTables();
      s.Literals(Bytes(data.begin(), data.begin() + long(k)));
      Entry entry = s.End();
      hit = hit || entry.packed.size() == boundary;
      ASSERT_TRUE(SameBytes(Decode(decoder, entry), entry.expected))
          << entry.packed.size() << " packed bytes";
    }
    EXPECT_TRUE(hit) << "no stream of exactly " << boundary << " bytes";
  }
}

// A zero-byte tail after the last symbol is too short to hold a table
// block: the next solid entry keeps the tables in force.
TEST(Rar20Decoder, TailShorterThanFiveBytesSwitchesNothing) {
  Rar20Stream s;
  s.Begin(false);
  s.AudioTables(1);
  s.Audio(rar20test::Waveform(333, 1, 43));
  Entry first = s.End();
  s.Begin(true);
  s.Audio(rar20test::Waveform(444, 1, 44));
  Entry second = s.End();
  for (int tail = 1; tail <= 3; ++tail) {
    Entry padded = first;
    padded.packed.insert(padded.packed.end(), size_t(tail), 0);
    osin::Rar20Decoder decoder;
    ASSERT_TRUE(decoder.Allocate());
    EXPECT_TRUE(SameBytes(Decode(decoder, padded), first.expected));
    EXPECT_TRUE(SameBytes(Decode(decoder, second), second.expected)) << "tail " << tail;
  }
}

// A repeat code before the first length of a block has no length to
// repeat: it repeats zero. (unar refuses such a block as damaged.)
TEST(Rar20Decoder, RepeatBeforeTheFirstLengthRepeatsZero) {
  rar20test::BitWriter w;
  w.Put(0, 2);  // LZ block, absolute lengths
  // Code-length code: symbols 0, 9, 16, 18 with 2 bits (codes 00, 01, 10, 11).
  for (int i = 0; i < 19; ++i) w.Put(i == 0 || i == 9 || i == 16 || i == 18 ? 2 : 0, 4);
  w.Put(2, 2);                                // code 16 first ...
  w.Put(3, 2);                                // ... six times: main symbols 0..5
  for (int i = 6; i < 298; ++i) w.Put(1, 2);  // length 9 for main symbols 6..297
  w.Put(3, 2);                                // code 18 ...
  w.Put(65, 7);                               // ... 11 + 65 zeros: the distance and length tables
  // With symbols 0..5 unused, symbol S has the 9-bit code S - 6.
  for (char c : std::string("HELLO")) w.Put(uint32_t(c) - 6, 9);
  Entry entry;
  entry.packed = w.Take();
  entry.expected = Bytes{'H', 'E', 'L', 'L', 'O'};
  osin::Rar20Decoder decoder;
  ASSERT_TRUE(decoder.Allocate());
  EXPECT_TRUE(SameBytes(Decode(decoder, entry), entry.expected));
}

// Cut or damaged packed data: the decoder ends, stays inside its buffers
// (the sanitizers watch), produces something else than the entry, and the
// next entry that is not solid decodes right again.
TEST(Rar20Decoder, DamagedEntriesEndAndLeaveTheDecoderUsable) {
  Rar20Stream s;
  s.Begin(false);
  s.LzTables();
  s.Literals(rar20test::Text(30000, 45));
  s.Match(100, 20000);
  s.AudioTables(2);
  s.Audio(rar20test::Waveform(3000, 2, 46));
  Entry entry = s.End();
  osin::Rar20Decoder decoder;
  ASSERT_TRUE(decoder.Allocate());
  for (size_t cut : {size_t(0), size_t(1), size_t(20), entry.packed.size() / 2, entry.packed.size() - 1}) {
    Entry damaged = entry;
    damaged.packed.resize(cut);
    osin::DecodeResult result = osin::DecodeResult::kStopped;
    EXPECT_FALSE(Decode(decoder, damaged, 1 << 30, &result) == entry.expected) << "cut at " << cut;
    EXPECT_EQ(result, osin::DecodeResult::kDone);
  }
  Entry flipped = entry;
  flipped.packed[flipped.packed.size() / 3] ^= 0x10;
  EXPECT_FALSE(Decode(decoder, flipped) == entry.expected);
  EXPECT_TRUE(SameBytes(Decode(decoder, entry), entry.expected));
}

// Noise with the largest size ends too, and its output is bounded by what
// the input can code.
TEST(Rar20Decoder, NoiseEndsOnItsOwn) {
  osin::Rar20Decoder decoder;
  ASSERT_TRUE(decoder.Allocate());
  for (uint32_t seed = 0; seed < 40; ++seed) {
    Bytes noise = rar20test::RandomBytes(seed * 97 % 3000, seed);
    MemoryIo io(noise);
    EXPECT_EQ(decoder.DecodeEntry(io, seed % 3 == 1, 0xFFFFFFFF), osin::DecodeResult::kDone);
    EXPECT_LT(io.output.size(), (noise.size() + 3 * 8192) * 8 * 260);
  }
}

// The table as the format describes it: bounds, first indices, and a
// symbol list whose unused slots keep what earlier builds left.
struct SearchTable {
  uint32_t limits[16] = {};
  uint32_t firstIndex[16] = {};
  uint16_t symbols[298] = {};
  uint32_t size = 0;

  void Build(const Bytes& lengths) {
    size = uint32_t(lengths.size());
    uint32_t count[16] = {};
    for (uint8_t l : lengths) count[l]++;
    count[0] = 0;
    uint64_t n = 0;
    for (int len = 1; len < 16; ++len) {
      n = 2 * (n + count[len]);
      limits[len] = uint32_t(std::min<uint64_t>(n << (15 - len), 0xFFFF));
      firstIndex[len] = firstIndex[len - 1] + count[len - 1];
    }
    uint32_t next[16];
    std::copy(firstIndex, firstIndex + 16, next);
    for (uint32_t sym = 0; sym < size; ++sym) {
      if (lengths[sym]) symbols[next[lengths[sym]]++] = uint16_t(sym);
    }
  }
  // A binary search over Limits[1..14], split at 8, then 4 or 12, and so on.
  uint32_t Decode(uint32_t v, uint32_t& length) const {
    v &= 0xFFFE;
    uint32_t lo = 1, hi = 15;  // the answer lies in lo..hi
    while (lo < hi) {
      uint32_t mid = (lo + hi) / 2;
      if (v < limits[mid]) {
        hi = mid;
      } else {
        lo = mid + 1;
      }
    }
    length = lo;
    uint32_t index = firstIndex[lo] + ((v - limits[lo - 1]) >> (16 - lo));
    return symbols[index < size ? index : 0];
  }
};

// The lookup of short codes gives the same symbol and length as the search
// for every 16-bit input, with complete, incomplete and oversubscribed
// lengths, and with symbol slots left from earlier builds.
TEST(Rar20Table, LookupAgreesWithTheSearch) {
  std::mt19937 rng(47);
  static osin::rar20dec::HuffTable tables[3];  // large; zeroed like the decoder's state
  static SearchTable reference[3];
  const uint32_t sizes[3] = {298, 19, 48};
  for (int round = 0; round < 240; ++round) {
    int t = round % 3;
    Bytes lengths(sizes[t]);
    unsigned maxLength = 1 + rng() % 15;
    for (uint8_t& l : lengths) l = uint8_t(rng() % 4 == 0 ? 0 : 1 + rng() % maxLength);
    if (round % 5 == 0) lengths = rar20test::FitCodeLengths(std::vector<uint64_t>(sizes[t], 1));
    if (round % 7 == 0) std::fill(lengths.begin() + 3, lengths.end(), 0);
    osin::rar20dec::BuildHuffTable(tables[t], lengths.data(), sizes[t]);
    reference[t].Build(lengths);
    for (uint32_t v = 0; v < 0x10000; ++v) {
      uint32_t wantLength;
      uint32_t want = reference[t].Decode(v, wantLength);
      uint8_t buffer[16] = {uint8_t(v >> 8), uint8_t(v)};
      osin::rar20dec::BitReader in;
      in.Seek(buffer, 0);
      uint32_t got = osin::rar20dec::DecodeSymbol(tables[t], in);
      ASSERT_EQ(got, want) << "round " << round << " peek " << v;
      ASSERT_EQ(in.Position(buffer), wantLength) << "round " << round << " peek " << v;
    }
  }
}

}  // namespace
