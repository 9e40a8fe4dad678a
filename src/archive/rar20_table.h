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
// the symbol and sets Length to the bits it takes.
uint32_t DecodeLongCode(const HuffTable& table, uint32_t v, uint32_t& length);

// The 16 bits at BitPos of a buffer read most significant bit first. Reads
// the bytes at BitPos / 8 up to 3 beyond it; only the first three count.
inline uint32_t PeekBits(const uint8_t* buffer, uint32_t bitPos) {
  const uint8_t* p = buffer + (bitPos >> 3);
  uint32_t word = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
  return (word << (bitPos & 7)) >> 16;
}

inline uint32_t DecodeSymbol(const HuffTable& table, const uint8_t* buffer, uint32_t& bitPos) {
  uint32_t v = PeekBits(buffer, bitPos);
  uint32_t entry = table.fast[v >> (16 - kFastBits)];
  if (entry != 0) {
    bitPos += entry >> 12;
    return entry & 0xFFF;
  }
  uint32_t length;
  uint32_t symbol = DecodeLongCode(table, v, length);
  bitPos += length;
  return symbol;
}

}  // namespace rar20dec
}  // namespace osin
