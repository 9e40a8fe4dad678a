#include "archive/rar20.h"
#include "archive/rar20_format.h"

#include <stdlib.h>
#include <string.h>

#include "archive/rar20_audio.h"
#include "archive/rar20_table.h"

// Damaged data cannot lead outside the state: every decoded symbol is below
// its table's alphabet size (so class tables and channel records are
// indexed in range), runs of code lengths are clipped to the block's count,
// and window positions are taken modulo the window size. Nothing in the
// format is an error here; the entry's CRC-32 judges the output.

namespace osin {

using rar20dec::AudioChannel;
using rar20dec::BuildHuffTable;
using rar20dec::DecodeSymbol;
using rar20dec::HuffTable;
using rar20dec::PeekBits;
using rar20dec::PredictAudioByte;

namespace {

constexpr uint32_t kWindowSize = rar20::kWindowSize;
constexpr uint32_t kWindowMask = kWindowSize - 1;
// Pending window bytes are handed to the writer once this many have gathered.
constexpr uint32_t kHandOverSize = 0x10000;
constexpr uint32_t kProgressStep = 1024;

// Input bit reader. The packed bytes pass through one buffer of kInputSize
// bytes; the position is one bit counter (byte index * 8 + bits used of that
// byte), most significant bit first. A refill keeps the buffer's last 32
// bytes, moved to its start, and reads behind them, so the byte position
// becomes its value modulo 32. It happens only at three points, each before a
// step whose reads stay inside the buffer when the position is at or below
// the point: a main-loop symbol (at most 7 bytes with all its extra bits),
// the head of a table block (10 bytes), one code-length symbol (3 bytes).
// PeekBits reads one byte beyond what counts, hence the slack.
//
// A sound stream never takes a bit beyond its packed data, though it may
// peek there. A damaged one that does ends the entry at the next symbol (it
// then fails its CRC check): going on over stale buffer bytes, as the input
// carry-over would allow, only produces more wrong bytes and could loop
// forever on zero-length matches or table blocks.
constexpr int kInputSize = 8192;
constexpr int kInputCarry = 32;
constexpr int kInputSlack = 8;
constexpr uint32_t kSymbolRefillAt = kInputSize - 30;
constexpr uint32_t kTableRefillAt = kInputSize - 25;
constexpr uint32_t kLengthRefillAt = kInputSize - 5;

// Alphabet sizes, counted unsigned like every position here.
constexpr uint32_t kMainCodes = rar20::kMainSymbols;
constexpr uint32_t kDistanceCodes = rar20::kDistSymbols;
constexpr uint32_t kLengthCodes = rar20::kRepLenSymbols;
constexpr uint32_t kBitLengthCodes = rar20::kBitLenSymbols;
constexpr uint32_t kAudioCodes = rar20::kAudioSymbols;
constexpr uint32_t kLzLengths = rar20::kLzLengths;
constexpr int kMaxChannels = rar20::kMaxChannels;
constexpr uint32_t kMaxLengths = rar20::kMaxLengths;
static_assert(kMainCodes <= uint32_t(rar20dec::kMaxAlphabet), "symbols fit every table");

// The main alphabet's codes: literal bytes below kRepeatLast, then the
// repeat of the last match, four recent distances, eight short matches,
// new tables and the long matches. In audio mode kRepeatLast announces new
// tables.
constexpr uint32_t kRepeatLast = rar20::kRepeatLast;
constexpr uint32_t kRecentFirst = rar20::kRecentFirst;
constexpr uint32_t kShortFirst = rar20::kShortFirst;
constexpr uint32_t kNewTables = rar20::kNewTables;
constexpr uint32_t kLongFirst = rar20::kLongFirst;
constexpr uint32_t kAudioNewTables = rar20::kRepeatLast;

using rar20::kDistBase;
using rar20::kDistBits;
using rar20::kLengthBase;
using rar20::kLengthBits;
using rar20::kLongerFrom;
using rar20::kLongerStillFrom;
using rar20::kRecentLongerFrom;
using rar20::kShortBase;
using rar20::kShortBits;

// Everything an entry leaves to the next one of a solid archive.
struct DecoderState {
  uint8_t window[kWindowSize];
  uint32_t windowPos;
  uint32_t flushedPos;
  // Bytes at and beyond this position are still zero since the last reset,
  // so a reset need not clear the whole window after a small entry.
  uint32_t dirtyEnd;

  uint8_t input[kInputSize + kInputSlack];
  uint32_t bitPos;
  // The trailing table switch tests against this count of bytes in the
  // buffer, which a refill that reads nothing sets to the read position.
  int inputTop;
  uint32_t dataEnd;  // bytes of the buffer that hold packed data

  uint32_t recentDistances[4];
  uint32_t recentIndex;  // only grows; the slot is its value modulo 4
  uint32_t prevMatchLength;
  uint32_t prevMatchDistance;

  uint8_t prevCodeLengths[kMaxLengths];
  HuffTable literalTable;
  HuffTable distanceTable;
  HuffTable lengthTable;
  HuffTable bitLengthTable;
  HuffTable audioTables[kMaxChannels];

  bool audioMode;
  int channels;
  int currentChannel;
  int32_t crossChannelDelta;
  AudioChannel audio[kMaxChannels];

  PackedIo* io;
};

// Short reads from the reader are joined; fewer than Count bytes come back
// only at the end of the entry's packed data.
int ReadInput(DecoderState& s, uint8_t* to, int count) {
  int total = 0;
  while (total < count) {
    int got = s.io->ReadPacked(to + total, count - total);
    if (got <= 0) break;
    total += got;
  }
  return total;
}

void FirstRefill(DecoderState& s) {
  s.bitPos = 0;
  s.inputTop = ReadInput(s, s.input, kInputSize);
  s.dataEnd = uint32_t(s.inputTop);
}

void Refill(DecoderState& s) {
  memmove(s.input, s.input + kInputSize - kInputCarry, kInputCarry);
  // The byte index modulo 32, bits used kept.
  s.bitPos &= kInputCarry * 8 - 1;
  uint32_t carried = s.dataEnd > kInputSize - kInputCarry ? s.dataEnd - (kInputSize - kInputCarry) : 0;
  int got = ReadInput(s, s.input + kInputCarry, kInputSize - kInputCarry);
  if (got > 0) {
    s.inputTop = got + kInputCarry;
    s.dataEnd = uint32_t(s.inputTop);
  } else {
    s.inputTop = int(s.bitPos >> 3);
    s.dataEnd = carried;
  }
}

// Everything written since the last hand-over lies between FlushedPos and
// WindowPos.
void NoteWritten(DecoderState& s, uint32_t windowPos) {
  if (windowPos < s.flushedPos) {
    s.dirtyEnd = kWindowSize;
  } else if (windowPos > s.dirtyEnd) {
    s.dirtyEnd = windowPos;
  }
}

// Hands the window bytes produced since the last hand-over to the writer, in
// output order when the window wrapped in between.
void HandOver(DecoderState& s, uint32_t windowPos) {
  NoteWritten(s, windowPos);
  if (windowPos < s.flushedPos) {
    s.io->WriteOutput(s.window + s.flushedPos, int(kWindowSize - s.flushedPos));
    if (windowPos > 0) s.io->WriteOutput(s.window, int(windowPos));
  } else if (windowPos > s.flushedPos) {
    s.io->WriteOutput(s.window + s.flushedPos, int(windowPos - s.flushedPos));
  }
  s.flushedPos = windowPos;
}

void ResetHistory(DecoderState& s) {
  s.crossChannelDelta = 0;
  s.currentChannel = 0;
  memset(s.audio, 0, sizeof(s.audio));
  memset(s.recentDistances, 0, sizeof(s.recentDistances));
  s.recentIndex = 0;
  s.prevMatchLength = 0;
  s.prevMatchDistance = 0;
  memset(s.window, 0, s.dirtyEnd);
  s.dirtyEnd = 0;
  memset(s.prevCodeLengths, 0, sizeof(s.prevCodeLengths));
  s.windowPos = 0;
  s.flushedPos = 0;
}

// A table block: a 2-bit head (audio mode; lengths as deltas from the last
// block), the channel count in audio mode, 19 four-bit lengths of the
// code-length code, then the code lengths coded with it. Positions beyond the
// count read keep their previous values for the next delta block.
void ReadTables(DecoderState& s) {
  if ((s.bitPos >> 3) > kTableRefillAt) Refill(s);
  const uint8_t* in = s.input;
  uint32_t bits = s.bitPos;

  uint32_t head = PeekBits(in, bits);
  s.audioMode = (head & 0x8000) != 0;
  if ((head & 0x4000) == 0) memset(s.prevCodeLengths, 0, sizeof(s.prevCodeLengths));
  bits += 2;
  uint32_t count = kLzLengths;
  if (s.audioMode) {
    s.channels = int((head >> 12) & 3) + 1;
    if (s.currentChannel >= s.channels) s.currentChannel = 0;
    bits += 2;
    count = kAudioCodes * uint32_t(s.channels);
  }

  uint8_t bitLengths[kBitLengthCodes];
  for (uint8_t& len : bitLengths) {
    len = uint8_t(PeekBits(in, bits) >> 12);
    bits += 4;
  }
  BuildHuffTable(s.bitLengthTable, bitLengths, kBitLengthCodes);

  uint8_t lengths[kMaxLengths];
  uint32_t i = 0;
  while (i < count) {
    if ((bits >> 3) > kLengthRefillAt) {
      s.bitPos = bits;
      Refill(s);
      bits = s.bitPos;
    }
    uint32_t code = DecodeSymbol(s.bitLengthTable, in, bits);
    if (code < 16) {
      lengths[i] = uint8_t((code + s.prevCodeLengths[i]) & 15);
      i++;
      continue;
    }
    uint32_t run;
    uint8_t value = 0;
    if (code == 16) {
      run = (PeekBits(in, bits) >> 14) + 3;
      bits += 2;
      // A repeat before the first length has nothing to repeat: zeros.
      if (i > 0) value = lengths[i - 1];
    } else if (code == 17) {
      run = (PeekBits(in, bits) >> 13) + 3;
      bits += 3;
    } else {
      run = (PeekBits(in, bits) >> 9) + 11;
      bits += 7;
    }
    for (; run > 0 && i < count; --run) lengths[i++] = value;
  }
  s.bitPos = bits;

  if (s.audioMode) {
    for (int c = 0; c < s.channels; ++c)
      BuildHuffTable(s.audioTables[c], lengths + kAudioCodes * c, kAudioCodes);
  } else {
    BuildHuffTable(s.literalTable, lengths, kMainCodes);
    BuildHuffTable(s.distanceTable, lengths + kMainCodes, kDistanceCodes);
    BuildHuffTable(s.lengthTable, lengths + kMainCodes + kDistanceCodes, kLengthCodes);
  }
  memcpy(s.prevCodeLengths, lengths, count);
}

// The bit position beyond which the main loop must look at its input before
// the next symbol: to refill, or to stop past the end of the packed data.
inline uint32_t InputCheckAt(const DecoderState& s) {
  uint32_t refillAt = kSymbolRefillAt * 8 + 7;
  return s.dataEnd * 8 < refillAt ? s.dataEnd * 8 : refillAt;
}

inline uint32_t ReadExtraBits(const uint8_t* in, uint32_t& bits, uint32_t count) {
  if (count == 0) return 0;
  uint32_t value = PeekBits(in, bits) >> (16 - count);
  bits += count;
  return value;
}

inline void CopyEight(uint8_t* to, const uint8_t* from) {
  uint64_t word;
  memcpy(&word, from, 8);
  memcpy(to, &word, 8);
}

// Copies Length bytes from Distance behind WindowPos with the result of a
// byte-by-byte copy: an overlapping match repeats its pattern, and a
// distance of 0 or of the whole window leaves the bytes as they were. The
// bytes beyond the match are history still to be read (a distance near the
// whole window reaches them), so they must come out unchanged.
void CopyMatch(uint8_t* window, uint32_t windowPos, uint32_t distance, uint32_t length) {
  uint32_t from = (windowPos - distance) & kWindowMask;
  if (from == windowPos) return;
  uint8_t* to = window + windowPos;
  const uint8_t* src = window + from;
  bool roomForSteps = windowPos + length + 8 <= kWindowSize && from + length + 8 <= kWindowSize;
  // Eight at a time reads only bytes already final when the source is at
  // least eight bytes behind, or ahead of everything written. The last step
  // may run up to seven bytes past the match; they are put back after it.
  if (roomForSteps && (from > windowPos || windowPos - from >= 8)) {
    uint8_t beyond[8];
    memcpy(beyond, to + length, 8);
    for (uint32_t i = 0; i < length; i += 8) CopyEight(to + i, src + i);
    memcpy(to + length, beyond, 8);
  } else if (roomForSteps) {
    for (uint32_t i = 0; i < length; ++i) to[i] = src[i];
  } else {
    for (uint32_t i = 0; i < length; ++i) {
      window[(windowPos + i) & kWindowMask] = window[(from + i) & kWindowMask];
    }
  }
}

}  // namespace

struct Rar20Decoder::State : DecoderState {};

Rar20Decoder::Rar20Decoder() = default;

Rar20Decoder::~Rar20Decoder() {
  Free();
}

bool Rar20Decoder::Allocate() {
  if (!state_) state_ = static_cast<State*>(calloc(1, sizeof(State)));
  return state_ != nullptr;
}

void Rar20Decoder::Free() {
  free(state_);
  state_ = nullptr;
}

DecodeResult Rar20Decoder::DecodeEntry(PackedIo& io, bool solid, uint32_t unpackedSize) {
  if (!state_) return DecodeResult::kDone;
  DecoderState& s = *state_;
  s.io = &io;
  if (!solid) ResetHistory(s);
  FirstRefill(s);
  if (!solid) ReadTables(s);

  const bool reports = io.HasProgress();
  uint8_t* const window = s.window;
  const uint8_t* const in = s.input;
  uint32_t windowPos = s.windowPos;
  uint32_t reportedPos = windowPos;
  uint32_t bits = s.bitPos;
  uint32_t checkAt = InputCheckAt(s);
  int64_t remaining = int64_t(unpackedSize) - 1;

  while (remaining >= 0) {
    if (reports) {
      uint32_t produced = (windowPos - reportedPos) & kWindowMask;
      if (produced >= kProgressStep) {
        if (!io.Progress(produced)) {
          s.windowPos = windowPos;
          NoteWritten(s, windowPos);
          return DecodeResult::kStopped;
        }
        reportedPos = windowPos;
      }
    }
    if (bits > checkAt) {
      if (bits > s.dataEnd * 8) break;
      s.bitPos = bits;
      Refill(s);
      bits = s.bitPos;
      checkAt = InputCheckAt(s);
    }
    if (((windowPos - s.flushedPos) & kWindowMask) >= kHandOverSize) HandOver(s, windowPos);

    if (s.audioMode) {
      // A run of audio bytes up to the next point where the checks above
      // have work to do; the channel and the cross delta stay in registers.
      int channel = s.currentChannel;
      int32_t cross = s.crossChannelDelta;
      const int channels = s.channels;
      uint32_t code;
      for (;;) {
        code = DecodeSymbol(s.audioTables[channel], in, bits);
        if (code == kAudioNewTables) break;
        window[windowPos] = PredictAudioByte(s.audio[channel], cross, code);
        windowPos = (windowPos + 1) & kWindowMask;
        channel = channel + 1 < channels ? channel + 1 : 0;
        if (--remaining < 0 || bits > checkAt ||
            ((windowPos - s.flushedPos) & kWindowMask) >= kHandOverSize ||
            (reports && ((windowPos - reportedPos) & kWindowMask) >= kProgressStep)) {
          break;
        }
      }
      s.currentChannel = channel;
      s.crossChannelDelta = cross;
      if (code == kAudioNewTables) {
        s.bitPos = bits;
        ReadTables(s);
        bits = s.bitPos;
        checkAt = InputCheckAt(s);
      }
      continue;
    }

    uint32_t code = DecodeSymbol(s.literalTable, in, bits);
    if (code < kRepeatLast) {
      window[windowPos] = uint8_t(code);
      windowPos = (windowPos + 1) & kWindowMask;
      remaining--;
      continue;
    }
    uint32_t length;
    uint32_t distance;
    if (code >= kLongFirst) {
      uint32_t n = code - kLongFirst;
      length = kLengthBase[n] + 3 + ReadExtraBits(in, bits, kLengthBits[n]);
      uint32_t c = DecodeSymbol(s.distanceTable, in, bits);
      distance = kDistBase[c] + 1 + ReadExtraBits(in, bits, kDistBits[c]);
      if (distance >= kLongerFrom) length++;
      if (distance >= kLongerStillFrom) length++;
    } else if (code == kNewTables) {
      s.bitPos = bits;
      ReadTables(s);
      bits = s.bitPos;
      checkAt = InputCheckAt(s);
      continue;
    } else if (code == kRepeatLast) {
      length = s.prevMatchLength;
      distance = s.prevMatchDistance;
    } else if (code < kShortFirst) {
      // The most recent distance is kRecentFirst's.
      distance = s.recentDistances[(s.recentIndex - (code - kRecentFirst + 1)) & 3];
      uint32_t c = DecodeSymbol(s.lengthTable, in, bits);
      length = kLengthBase[c] + 2 + ReadExtraBits(in, bits, kLengthBits[c]);
      if (distance >= kRecentLongerFrom) length++;
      if (distance >= kLongerFrom) length++;
      if (distance >= kLongerStillFrom) length++;
    } else {
      uint32_t n = code - kShortFirst;
      distance = kShortBase[n] + 1 + ReadExtraBits(in, bits, kShortBits[n]);
      length = 2;
    }
    s.recentDistances[s.recentIndex & 3] = distance;
    s.recentIndex++;
    s.prevMatchDistance = distance;
    s.prevMatchLength = length;
    remaining -= length;
    CopyMatch(window, windowPos, distance, length);
    windowPos = (windowPos + length) & kWindowMask;
  }
  s.bitPos = bits;

  // A table block placed right after the entry's last symbol sets up the
  // tables the next solid entry starts with.
  if (s.inputTop >= int(bits >> 3) + 5) {
    const HuffTable& table = s.audioMode ? s.audioTables[s.currentChannel] : s.literalTable;
    uint32_t code = DecodeSymbol(table, in, bits);
    s.bitPos = bits;
    if (code == (s.audioMode ? kAudioNewTables : kNewTables)) ReadTables(s);
  }

  s.windowPos = windowPos;
  if (reports) {
    uint32_t produced = (windowPos - reportedPos) & kWindowMask;
    if (produced != 0 && !io.Progress(produced)) {
      NoteWritten(s, windowPos);
      return DecodeResult::kStopped;
    }
  }
  HandOver(s, windowPos);
  return DecodeResult::kDone;
}

}  // namespace osin
