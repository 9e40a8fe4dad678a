// Prefix-code decoding tables of the RAR 2.0 method (internal to the
// decoder; the tests include it to hold the lookup against the plain search).
//
// A table is built from one code length per symbol (0..15, 0 = unused) as a
// canonical code: Limits[L] is the left-justified 16-bit upper bound of the
// codes of length L (clamped to 0xFFFF), FirstIndex[L] the position in
// Symbols of the first symbol of length L. A 16-bit peek V (bit 0 cleared)
// decodes to the smallest length L in 1..14 with V < Limits[L] (15 when there
// is none) and to Symbols[FirstIndex[L] + ((V - Limits[L-1]) >> (16 - L))],
// where an index at or beyond the alphabet size means Symbols[0]. Damaged
// streams rely on those rules, and so do the slots of Symbols beyond the used
// symbols: a build writes only the used ones, so the others keep what an
// earlier build of the same table left there (zero at first).
//
// Lookup: Limits only grows with L, and for L <= kFastBits each bound is a
// multiple of 2^(16 - kFastBits) (or the clamp, which every V is below), so
// the top kFastBits bits of V alone decide whether the code is that short,
// and if so its length and index. Fast[] holds the symbol and length for
// every such prefix and 0 for longer codes, which go through the search.
#pragma once

#include <stdint.h>
#include <string.h>

namespace osin {
namespace rar20dec {

constexpr int kMaxAlphabet = 298;
constexpr int kFastBits = 10;

struct HuffTable {
  uint32_t size;  // the alphabet size, not the count of used symbols
  uint32_t limits[16];
  uint32_t firstIndex[16];
  uint16_t symbols[kMaxAlphabet];
  // symbol | length << 12, or 0 for a code longer than kFastBits.
  uint16_t fast[1 << kFastBits];
};

// Lengths holds Size values 0..15; Size is at most kMaxAlphabet.
void BuildHuffTable(HuffTable& table, const uint8_t* lengths, uint32_t size);

// The search for codes longer than kFastBits: V is the 16-bit peek; returns
// the symbol and the bits it takes as a Fast entry would.
uint32_t DecodeLongCode(const HuffTable& table, uint32_t v);

// Input bits, most significant first, through a machine word.
//
// Word holds the next Left bits of the stream at its top; the bits below
// them are the stream's following bits or zeros. Next is the first byte not
// yet counted in Left, so the stream position is (Next - buffer) * 8 - Left.
// Refill loads a whole word at Next and counts the bytes that fit: after it
// Left is at least kWordBits - 8 (56 natively, 24 on 32-bit builds), enough
// for a whole long match natively and for one code or one run of extra bits
// (16 at most) on 32-bit builds, which refill between fields
// (RefillIfNarrow). A refill reads up to 2 * sizeof(BitWord) bytes beyond
// the stream position; the buffer owner keeps that much slack.
typedef uintptr_t BitWord;
constexpr uint32_t kWordBits = sizeof(BitWord) * 8;

// The word at P, its first byte on top (all our targets are little-endian).
inline BitWord LoadWord(const uint8_t* p) {
  BitWord w;
  memcpy(&w, p, sizeof(w));
  if (sizeof(w) == 8) return BitWord(__builtin_bswap64(uint64_t(w)));
  return BitWord(__builtin_bswap32(uint32_t(w)));
}

struct BitReader {
  const uint8_t* next;
  BitWord word;
  uint32_t left;

  void Refill() {
    word |= LoadWord(next) >> left;
    next += (kWordBits - 1 - left) >> 3;
    left |= kWordBits - 8;
  }
  void RefillIfNarrow() {
    if (kWordBits < 64) Refill();
  }
  // Starts reading Buffer at bit Position.
  void Seek(const uint8_t* buffer, uint32_t position) {
    next = buffer + (position >> 3);
    word = 0;
    left = 0;
    Refill();
    Skip(position & 7);
  }
  uint32_t Position(const uint8_t* buffer) const { return uint32_t(next - buffer) * 8 - left; }
  uint32_t Peek16() const { return uint32_t(word >> (kWordBits - 16)); }
  void Skip(uint32_t count) {
    word <<= count;
    left -= count;
  }
  // Count (0..16) bits as a number.
  uint32_t Take(uint32_t count) {
    uint32_t value = uint32_t(word >> (kWordBits - 1 - count) >> 1);
    Skip(count);
    return value;
  }
};

// One symbol; the reader holds at least 16 bits.
inline uint32_t DecodeSymbol(const HuffTable& table, BitReader& in) {
  uint32_t entry = table.fast[in.word >> (kWordBits - kFastBits)];
  if (entry == 0) entry = DecodeLongCode(table, in.Peek16());
  in.Skip(entry >> 12);
  return entry & 0xFFF;
}

}  // namespace rar20dec
}  // namespace osin
