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
using rar20dec::BitReader;
using rar20dec::BuildHuffTable;
using rar20dec::DecodeSymbol;
using rar20dec::HuffTable;
using rar20dec::PredictAudioByte;

namespace {

constexpr uint32_t kWindowSize = rar20::kWindowSize;
constexpr uint32_t kWindowMask = kWindowSize - 1;
// Pending window bytes are handed to the writer once this many have gathered.
constexpr uint32_t kHandOverSize = 0x10000;
constexpr uint32_t kProgressStep = 1024;
// How far a match copy may write past its end (see CopyMatch).
constexpr uint32_t kCopyOverrun = 16;

// Input. The packed bytes pass through one buffer of kInputSize bytes; the
// stream position is a bit count from its start (byte index * 8 + bits used
// of that byte), most significant bit first. A refill keeps the buffer's
// last 32 bytes, moved to its start, and reads behind them, so the byte
// position becomes its value modulo 32. It happens only at three points,
// each before a step whose reads stay inside the buffer when the position
// is at or below the point: a main-loop symbol (at most 7 bytes with all its
// extra bits), the head of a table block (10 bytes), one code-length symbol
// (3 bytes). Where a refill happens shows in the trailing table switch
// (which looks only at the bytes in the buffer), so the points are kept
// exactly. In between, the bits come through a BitReader, whose word loads
// look up to 16 bytes ahead of the position: hence the slack.
//
// A sound stream never takes a bit beyond its packed data, though it may
// peek there. A damaged one that does ends the entry at the next symbol (it
// then fails its CRC check): going on over stale buffer bytes, as the input
// carry-over would allow, only produces more wrong bytes and could loop
// forever on zero-length matches or table blocks.
constexpr int kInputSize = 8192;
constexpr int kInputCarry = 32;
constexpr int kInputSlack = 2 * sizeof(rar20dec::BitWord);
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
  uint8_t windowSlack[kCopyOverrun];
  uint32_t windowPos;
  uint32_t flushedPos;
  // Bytes at and beyond this position are still zero since the last reset,
  // so a reset need not clear the whole window after a small entry.
  uint32_t dirtyEnd;

  uint8_t input[kInputSize + kInputSlack];
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

BitReader FirstRefill(DecoderState& s) {
  s.inputTop = ReadInput(s, s.input, kInputSize);
  s.dataEnd = uint32_t(s.inputTop);
  BitReader in;
  in.Seek(s.input, 0);
  return in;
}

BitReader Refill(DecoderState& s, BitReader in) {
  memmove(s.input, s.input + kInputSize - kInputCarry, kInputCarry);
  // The byte index modulo 32, bits used kept.
  uint32_t position = in.Position(s.input) & (kInputCarry * 8 - 1);
  uint32_t carried = s.dataEnd > kInputSize - kInputCarry ? s.dataEnd - (kInputSize - kInputCarry) : 0;
  int got = ReadInput(s, s.input + kInputCarry, kInputSize - kInputCarry);
  if (got > 0) {
    s.inputTop = got + kInputCarry;
    s.dataEnd = uint32_t(s.inputTop);
  } else {
    s.inputTop = int(position >> 3);
    s.dataEnd = carried;
  }
  in.Seek(s.input, position);
  return in;
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
BitReader ReadTables(DecoderState& s, BitReader in) {
  if ((in.Position(s.input) >> 3) > kTableRefillAt) in = Refill(s, in);
  in.Refill();
  uint32_t head = in.Peek16();
  s.audioMode = (head & 0x8000) != 0;
  if ((head & 0x4000) == 0) memset(s.prevCodeLengths, 0, sizeof(s.prevCodeLengths));
  in.Skip(2);
  uint32_t count = kLzLengths;
  if (s.audioMode) {
    s.channels = int((head >> 12) & 3) + 1;
    if (s.currentChannel >= s.channels) s.currentChannel = 0;
    in.Skip(2);
    count = kAudioCodes * uint32_t(s.channels);
  }

  uint8_t bitLengths[kBitLengthCodes];
  for (uint8_t& len : bitLengths) {
    in.Refill();
    len = uint8_t(in.Take(4));
  }
  BuildHuffTable(s.bitLengthTable, bitLengths, kBitLengthCodes);

  uint8_t lengths[kMaxLengths];
  uint32_t i = 0;
  while (i < count) {
    if ((in.Position(s.input) >> 3) > kLengthRefillAt) in = Refill(s, in);
    // One refill covers the symbol and its extra bits (22 bits at most).
    in.Refill();
    uint32_t code = DecodeSymbol(s.bitLengthTable, in);
    if (code < 16) {
      lengths[i] = uint8_t((code + s.prevCodeLengths[i]) & 15);
      i++;
      continue;
    }
    uint32_t run;
    uint8_t value = 0;
    if (code == 16) {
      run = in.Take(2) + 3;
      // A repeat before the first length has nothing to repeat: zeros.
      if (i > 0) value = lengths[i - 1];
    } else if (code == 17) {
      run = in.Take(3) + 3;
    } else {
      run = in.Take(7) + 11;
    }
    for (; run > 0 && i < count; --run) lengths[i++] = value;
  }

  if (s.audioMode) {
    for (int c = 0; c < s.channels; ++c)
      BuildHuffTable(s.audioTables[c], lengths + kAudioCodes * c, kAudioCodes);
  } else {
    BuildHuffTable(s.literalTable, lengths, kMainCodes);
    BuildHuffTable(s.distanceTable, lengths + kMainCodes, kDistanceCodes);
    BuildHuffTable(s.lengthTable, lengths + kMainCodes + kDistanceCodes, kLengthCodes);
  }
  memcpy(s.prevCodeLengths, lengths, count);
  return in;
}

// The bit position beyond which the main loop must look at its input before
// the next symbol: to refill, or to stop past the end of the packed data.
inline uint32_t InputCheckAt(const DecoderState& s) {
  uint32_t refillAt = kSymbolRefillAt * 8 + 7;
  return s.dataEnd * 8 < refillAt ? s.dataEnd * 8 : refillAt;
}

inline void CopyEight(uint8_t* to, const uint8_t* from) {
  uint64_t word;
  memcpy(&word, from, 8);
  memcpy(to, &word, 8);
}

// Copies Length bytes from Distance behind WindowPos with the result of a
// byte-by-byte copy: an overlapping match repeats its pattern, and a
// distance of 0 or of the whole window leaves the bytes as they were.
//
// Most matches go eight bytes a step, the first two steps always: that
// reads only bytes already final when the source is at least eight bytes
// behind, or ahead of everything written (a source in the window's previous
// lap), and keeps the loop's branch for matches over 16 bytes. The steps run
// up to 15 bytes past the match into what is still history to be read (a
// distance near the whole window reaches it), so those bytes are put back
// after it; the window's slack takes the steps past its end.
void CopyMatch(uint8_t* window, uint32_t windowPos, uint32_t distance, uint32_t length) {
  uint32_t from = (windowPos - distance) & kWindowMask;
  uint8_t* to = window + windowPos;
  const uint8_t* src = window + from;
  if (windowPos - from >= 8 && windowPos + length <= kWindowSize && from + length <= kWindowSize) {
    uint8_t beyond[kCopyOverrun];
    memcpy(beyond, to + length, kCopyOverrun);
    CopyEight(to, src);
    CopyEight(to + 8, src + 8);
    for (uint32_t i = 16; i < length; i += 8) CopyEight(to + i, src + i);
    memcpy(to + length, beyond, kCopyOverrun);
  } else if (from != windowPos) {
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
  BitReader in = FirstRefill(s);
  if (!solid) in = ReadTables(s, in);

  const bool reports = io.HasProgress();
  uint8_t* const window = s.window;
  uint32_t windowPos = s.windowPos;
  uint32_t reportedPos = windowPos;
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
    uint32_t position = in.Position(s.input);
    if (position > checkAt) {
      if (position > s.dataEnd * 8) break;
      in = Refill(s, in);
      checkAt = InputCheckAt(s);
    }
    uint32_t pending = (windowPos - s.flushedPos) & kWindowMask;
    if (pending >= kHandOverSize) {
      HandOver(s, windowPos);
      pending = 0;
    }

    // The symbols up to the next point where one of the checks above has
    // work to do run in one stretch, with the window position unmasked:
    // while Pos stays below PosLimit, the bytes since the last report and
    // hand-over stay below their steps, the entry is not done and a literal
    // does not reach the window's end (a match that crosses it ends the
    // stretch). While Next stays at or below NextLimit, the input position
    // stays at or below CheckAt.
    uint32_t room = kHandOverSize - pending;
    if (reports) {
      uint32_t toReport = kProgressStep - ((windowPos - reportedPos) & kWindowMask);
      if (toReport < room) room = toReport;
    }
    if (room > kWindowSize - windowPos) room = kWindowSize - windowPos;
    if (room > remaining) room = uint32_t(remaining) + 1;
    const uint32_t posLimit = windowPos + room;
    const uint8_t* const nextLimit = s.input + (checkAt >> 3);
    uint32_t pos = windowPos;

    if (s.audioMode) {
      // The channel and the cross delta stay in registers.
      int channel = s.currentChannel;
      int32_t cross = s.crossChannelDelta;
      const int channels = s.channels;
      uint32_t code;
      do {
        in.Refill();
        code = DecodeSymbol(s.audioTables[channel], in);
        if (code == kAudioNewTables) break;
        window[pos++] = PredictAudioByte(s.audio[channel], cross, code);
        channel = channel + 1 < channels ? channel + 1 : 0;
      } while (pos < posLimit && in.next <= nextLimit);
      s.currentChannel = channel;
      s.crossChannelDelta = cross;
      if (code == kAudioNewTables) {
        in = ReadTables(s, in);
        checkAt = InputCheckAt(s);
      }
    } else {
      // The distance history in locals: window stores cannot touch them.
      uint32_t recent[4];
      memcpy(recent, s.recentDistances, sizeof(recent));
      uint32_t recentIndex = s.recentIndex;
      uint32_t lastLength = s.prevMatchLength;
      uint32_t lastDistance = s.prevMatchDistance;
      do {
        in.Refill();
        uint32_t code = DecodeSymbol(s.literalTable, in);
        if (code < kRepeatLast) {
          window[pos++] = uint8_t(code);
          continue;
        }
        uint32_t length;
        uint32_t distance;
        if (code >= kLongFirst) {
          uint32_t n = code - kLongFirst;
          length = kLengthBase[n] + 3 + in.Take(kLengthBits[n]);
          in.RefillIfNarrow();
          uint32_t c = DecodeSymbol(s.distanceTable, in);
          in.RefillIfNarrow();
          distance = kDistBase[c] + 1 + in.Take(kDistBits[c]);
          length += uint32_t(distance >= kLongerFrom) + uint32_t(distance >= kLongerStillFrom);
        } else if (code == kNewTables) {
          // The block may switch to audio mode: back to the checks.
          in = ReadTables(s, in);
          checkAt = InputCheckAt(s);
          break;
        } else if (code == kRepeatLast) {
          length = lastLength;
          distance = lastDistance;
        } else if (code < kShortFirst) {
          // The most recent distance is kRecentFirst's.
          distance = recent[(recentIndex - (code - kRecentFirst + 1)) & 3];
          in.RefillIfNarrow();
          uint32_t c = DecodeSymbol(s.lengthTable, in);
          length = kLengthBase[c] + 2 + in.Take(kLengthBits[c]);
          length += uint32_t(distance >= kRecentLongerFrom) + uint32_t(distance >= kLongerFrom) +
                    uint32_t(distance >= kLongerStillFrom);
        } else {
          uint32_t n = code - kShortFirst;
          distance = kShortBase[n] + 1 + in.Take(kShortBits[n]);
          length = 2;
        }
        recent[recentIndex & 3] = distance;
        recentIndex++;
        lastDistance = distance;
        lastLength = length;
        CopyMatch(window, pos, distance, length);
        pos += length;
      } while (pos < posLimit && in.next <= nextLimit);
      memcpy(s.recentDistances, recent, sizeof(recent));
      s.recentIndex = recentIndex;
      s.prevMatchLength = lastLength;
      s.prevMatchDistance = lastDistance;
    }
    remaining -= pos - windowPos;
    windowPos = pos & kWindowMask;
  }

  // A table block placed right after the entry's last symbol sets up the
  // tables the next solid entry starts with.
  if (s.inputTop >= int(in.Position(s.input) >> 3) + 5) {
    const HuffTable& table = s.audioMode ? s.audioTables[s.currentChannel] : s.literalTable;
    in.Refill();
    uint32_t code = DecodeSymbol(table, in);
    if (code == (s.audioMode ? kAudioNewTables : kNewTables)) in = ReadTables(s, in);
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
