// Code lengths for the RAR 2.0 alphabets: optimal prefix codes limited to a
// maximum length, always complete (the lengths fill the code space exactly),
// so every reader's canonical table build sees a well-formed code.
#pragma once

#include <stdint.h>

namespace osin {

// Fills Lengths[0..Count-1] from Freqs: 0 for unused symbols, else 1..MaxBits.
// Ties are broken by symbol value, so equal input gives equal lengths.
// A single used symbol gets length 1 together with one unused partner, so the
// code stays complete; no used symbol gives all zeros.
void BuildCodeLengths(const uint32_t* freqs, int count, int maxBits, uint8_t* lengths);

// Canonical codes for Lengths, as the reader assigns them: shorter codes
// first, symbols of one length in increasing order.
void BuildCanonicalCodes(const uint8_t* lengths, int count, uint16_t* codes);

// Bits that Freqs cost under Lengths; symbols without a code cost Missing each.
uint64_t CodedBits(const uint32_t* freqs, const uint8_t* lengths, int count, uint32_t missing = 0);

}  // namespace osin
