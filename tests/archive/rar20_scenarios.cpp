#include "archive/rar20_scenarios.h"

#include <math.h>
#include <string.h>

#include <random>

namespace rar20test {

Bytes RandomBytes(size_t count, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(count);
  for (uint8_t& b : out) b = uint8_t(rng());
  return out;
}

Bytes Text(size_t count, uint32_t seed) {
  static const char* const kWords[] = {"setup", "the ", "install", "file", "folder ", "registry", "\r\n",
                                       "Osin",  "of ",  "window",  ", ",   "a ",      "version"};
  std::mt19937 rng(seed);
  Bytes out;
  while (out.size() < count) {
    const char* w = kWords[rng() % (sizeof(kWords) / sizeof(kWords[0]))];
    out.insert(out.end(), w, w + strlen(w));
  }
  out.resize(count);
  return out;
}

Bytes Waveform(size_t count, int channels, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(count);
  for (size_t i = 0; i < count; ++i) {
    int c = int(i % size_t(channels));
    double t = double(i / size_t(channels));
    double v = 128 + 90 * sin(t * (0.05 + 0.03 * c)) + 20 * sin(t * 0.31 + c);
    out[i] = uint8_t(int(v) + int(rng() % 5) - 2);
  }
  return out;
}

namespace {

// Literals, long matches of every length class at assorted distances
// (overlapping ones included), every short-match code at both ends of its
// range, the repeat code and all four recent distances.
Scenario EveryCode() {
  Rar20Stream s;
  s.Begin(false);
  s.LzTables();
  s.Literals(Text(3000, 1));
  const uint32_t lengths[] = {3,  10, 11, 12, 13, 18, 19,  26,  27,  34,  35,
                              50, 51, 66, 67, 98, 99, 130, 131, 194, 195, 258};
  uint32_t distance = 1;
  for (uint32_t length : lengths) {
    s.Match(length, distance);
    distance = distance * 3 % 2900 + 1;
  }
  s.Match(100, 1);  // one byte repeated
  s.Match(200, 7);  // a seven-byte pattern
  for (uint32_t d : {1u, 4u, 5u, 8u, 9u, 16u, 17u, 32u, 33u, 64u, 65u, 128u, 129u, 192u, 193u, 256u})
    s.Short(d);
  s.Repeat();
  s.Literals(Text(200, 2));
  s.Match(20, 1000);
  s.Match(30, 2000);
  s.Match(40, 40);
  s.Match(50, 555);
  for (int k = 1; k <= 4; ++k) s.Recent(k, 2 + uint32_t(k) * 3);
  s.Recent(1, 3);
  s.Recent(4, 257);
  s.Repeat();
  s.Literals(Text(100, 3));
  return {"EveryCode", {s.End()}};
}

// Long matches gain one byte of length from distance 0x2000 on and another
// from 0x40000; recent-distance matches also from 0x101.
Scenario DistanceThresholds() {
  Rar20Stream s;
  s.Begin(false);
  s.SetSparseTables(true);
  s.LzTables();
  s.Literals(RandomBytes(0x48000, 4));
  for (uint32_t d : {0x1FFFu, 0x2000u, 0x3FFFFu, 0x40000u, 0x47FFFu}) {
    s.Match(5, d);
    s.Match(258, d);
  }
  for (uint32_t d : {0x100u, 0x101u, 0x1FFFu, 0x2000u, 0x3FFFFu, 0x40000u}) {
    uint32_t extra = (d >= 0x101) + (d >= 0x2000) + (d >= 0x40000);
    s.Match(10, d);
    s.Recent(1, 2 + extra);
    s.Recent(1, 257 + extra);
  }
  s.Recent(3, 20);
  s.Match(200, 0x100000);  // the whole window back: the bytes stay as they were
  return {"DistanceThresholds", {s.End()}};
}

// Over a megabyte of output: the window wraps, a match runs across the end,
// and hand-overs split where the window wraps.
Scenario WindowWrap() {
  Rar20Stream s;
  s.Begin(false);
  s.LzTables();
  s.Literals(RandomBytes(5000, 5));
  uint32_t produced = 5000;
  uint32_t distance = 4999;
  while (produced < 0x100000 - 400) {
    s.Match(258, distance);
    produced += 258;
    distance = distance % 60000 + 3001;
  }
  s.Literals(RandomBytes(0x100000 - 13 - produced, 6));
  s.Match(40, 777);
  s.Match(30, 0x100000 - 5);  // reads the bytes just ahead, a megabyte old
  s.Match(258, 0x80001);
  s.Literals(Text(70000, 7));
  return {"WindowWrap", {s.End()}};
}

// New tables inside one entry: absolute, delta, and sparse ones whose
// lengths have long zero runs.
Scenario TablesInsideAnEntry() {
  Rar20Stream s;
  s.Begin(false);
  s.LzTables();
  s.Literals(Text(2000, 8));
  s.LzTables();
  s.Literals(RandomBytes(500, 9));
  s.Match(30, 100);
  s.LzTables(true);
  s.Literals(Text(800, 10));
  s.Match(60, 700);
  s.SetSparseTables(true);
  s.LzTables();
  s.Literals("abcabcabc");
  s.Match(20, 3);
  s.LzTables(true);
  s.Literals("zzz");
  s.Short(2);
  return {"TablesInsideAnEntry", {s.End()}};
}

// The repeat code first thing in a fresh entry copies nothing and puts
// distance 0 in the ring; a recent-distance match at distance 0 leaves the
// (zeroed) window bytes as they are. Also an entry with no bytes at all.
Scenario RepeatAtStart() {
  Rar20Stream s;
  s.Begin(false);
  s.LzTables();
  Entry empty = s.End();
  s.Begin(false);
  s.LzTables();
  s.Match(7, 1);  // distance 1 into the zeroed window
  Entry first = s.End();
  s.Begin(false);
  s.LzTables();
  s.Repeat();
  s.Recent(1, 5);
  s.Literals("abc");
  s.Recent(2, 4);
  s.Repeat();
  Entry second = s.End();
  return {"RepeatAtStart", {empty, first, second}};
}

// One channel: the cross-channel delta is the channel's own. Noise drives
// the weights to both ends of their range (-17 and 16, reached within the
// first 15,000 bytes of this seed) and holds them there.
Scenario AudioOneChannel() {
  Rar20Stream s;
  s.Begin(false);
  s.AudioTables(1);
  s.Audio(RandomBytes(20000, 2));
  s.Audio(Waveform(5000, 1, 11));
  return {"AudioOneChannel", {s.End()}};
}

Scenario AudioChannels() {
  Rar20Stream s;
  s.Begin(false);
  s.AudioTables(2);
  s.Audio(Waveform(3000, 2, 13));
  s.AudioTables(3, true);
  s.Audio(Waveform(3001, 3, 14));
  s.AudioTables(4);
  s.Audio(Waveform(4003, 4, 15));
  return {"AudioChannels", {s.End()}};
}

// A block with fewer channels than the next channel's number starts over at
// channel 0; one with more keeps the channel.
Scenario ChannelCountChange() {
  Rar20Stream s;
  s.Begin(false);
  s.AudioTables(3);
  s.Audio(Waveform(5, 3, 16));  // stops before channel 2
  s.AudioTables(2);
  s.Audio(Waveform(101, 2, 17));  // stops before channel 1
  s.AudioTables(4);
  s.Audio(Waveform(7, 4, 18));  // stops before channel 3
  s.AudioTables(3, true);
  s.Audio(Waveform(300, 3, 19));
  s.AudioTables(1);
  s.Audio(Waveform(64, 1, 20));
  return {"ChannelCountChange", {s.End()}};
}

// Audio, then LZ, then audio again: the channel records carry on across
// the LZ run. The second audio block is coded as deltas against lengths
// that the LZ block (374 lengths) did not overwrite.
Scenario AudioLzAudio() {
  Rar20Stream s;
  s.Begin(false);
  s.AudioTables(4);
  s.Audio(Waveform(1002, 4, 21));
  s.LzTables(true);
  s.Literals(Text(700, 22));
  s.Match(40, 300);
  s.AudioTables(4, true);
  s.Audio(Waveform(2000, 4, 23));
  s.LzTables();
  s.Literals("end");
  return {"AudioLzAudio", {s.End()}};
}

// A solid run: the second entry starts with the first one's tables and
// distances; the third changes tables by delta, switches to audio and ends
// in it; the fourth continues in audio mode, then goes back to LZ; the fifth
// is not solid and finds a zeroed window and history.
Scenario SolidRun() {
  Rar20Stream s;
  std::vector<Entry> entries;
  s.Begin(false);
  s.LzTables();
  s.Literals(Text(4000, 24));
  s.Match(100, 3000);
  entries.push_back(s.End());

  s.Begin(true);
  s.Repeat();
  s.Recent(1, 30);
  s.Match(200, 4050);
  s.Literals(Text(500, 25));
  entries.push_back(s.End());

  s.Begin(true);
  s.LzTables(true);
  s.Literals(Text(300, 26));
  s.AudioTables(2, true);
  s.Audio(Waveform(501, 2, 27));
  entries.push_back(s.End());

  s.Begin(true);
  s.Audio(Waveform(600, 2, 28));
  s.LzTables(true);
  s.Match(50, 5000);
  s.Recent(2, 10);
  entries.push_back(s.End());

  s.Begin(false);
  s.LzTables();
  s.Match(20, 10);  // before the start: zeros
  s.Recent(1, 12);
  s.Literals(Text(100, 29));
  s.Match(30, 0x100000 - 60);  // ahead, where the first entry's text was: zeros
  entries.push_back(s.End());
  return {"SolidRun", entries};
}

// Code lengths beyond the count of the last block are kept for later delta
// blocks, also across solid entries: four-channel audio, LZ by delta, then
// four-channel audio by delta again in the next entry.
Scenario KeptCodeLengths() {
  Rar20Stream s;
  std::vector<Entry> entries;
  s.Begin(false);
  s.AudioTables(4);
  s.Audio(Waveform(800, 4, 30));
  s.LzTables(true);
  s.Literals(Text(300, 31));
  entries.push_back(s.End());
  s.Begin(true);
  s.AudioTables(4, true);
  s.Audio(Waveform(800, 4, 32));
  s.LzTables(true);
  s.Literals("done");
  entries.push_back(s.End());
  return {"KeptCodeLengths", entries};
}

// Table blocks placed after an entry's last symbol set up the tables the
// next solid entry starts with.
Scenario TrailingSwitch() {
  Rar20Stream s;
  std::vector<Entry> entries;
  s.Begin(false);
  s.LzTables();
  s.Literals(Text(1000, 33));
  s.AudioTables(2);  // trailing: the next entry starts in audio mode
  entries.push_back(s.End());
  s.Begin(true);
  s.Audio(Waveform(900, 2, 34));
  s.LzTables(true);  // trailing, coded with channel 0's table
  entries.push_back(s.End());
  s.Begin(true);
  s.Literals(Text(500, 35));
  s.Match(80, 1500);
  entries.push_back(s.End());
  return {"TrailingSwitch", entries};
}

struct Maker {
  const char* name;
  Scenario (*make)();
  bool trailingSwitch;
};
const Maker kMakers[] = {
    {"EveryCode", EveryCode, false},
    {"DistanceThresholds", DistanceThresholds, false},
    {"WindowWrap", WindowWrap, false},
    {"TablesInsideAnEntry", TablesInsideAnEntry, false},
    {"RepeatAtStart", RepeatAtStart, false},
    {"AudioOneChannel", AudioOneChannel, false},
    {"AudioChannels", AudioChannels, false},
    {"ChannelCountChange", ChannelCountChange, false},
    {"AudioLzAudio", AudioLzAudio, false},
    {"SolidRun", SolidRun, false},
    {"KeptCodeLengths", KeptCodeLengths, false},
    {"TrailingSwitch", TrailingSwitch, true},
};

}  // namespace

std::vector<std::string> ScenarioNames(bool withTrailingSwitch) {
  std::vector<std::string> names;
  for (const Maker& m : kMakers) {
    if (withTrailingSwitch || !m.trailingSwitch) names.push_back(m.name);
  }
  return names;
}

Scenario MakeScenario(const std::string& name) {
  for (const Maker& m : kMakers) {
    if (name == m.name) return m.make();
  }
  return {};
}

}  // namespace rar20test
