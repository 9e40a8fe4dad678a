// Table blocks: the header that starts a new set of codes.
//
// Layout: one bit "audio", one bit "delta" (lengths are added mod 16 to the
// previous block's), in audio mode two bits "channels - 1"; then 19 4-bit
// lengths of the bit-length code; then the code lengths in that code, with
// run codes 16 (repeat the previous length 3..6 times, 2 extra bits),
// 17 (3..10 zeros, 3 bits) and 18 (11..138 zeros, 7 bits).
//
// The writer tries both the absolute and the delta form and keeps the
// shorter one; within a form the run codes are chosen by a shortest-path
// search over the positions, so the block is as small as this layout allows
// for the bit-length code it settles on.
#pragma once

#include <stdint.h>

#include "bit_writer.h"
#include "rar20_format.h"

namespace osin {

// What the reader remembers between table blocks: the lengths of the last
// block, the base of the next delta block. Cleared by an absolute block.
struct TableHistory {
  uint8_t prev[rar20::kMaxLengths] = {};
};

// Bits a table block for Lengths[0..Count-1] would take (the better form).
uint32_t TableBlockBits(const TableHistory& history, bool audio, const uint8_t* lengths, int count);

// Writes the table block and updates History as the reader does.
// Count is 374 for LZ tables, 257 x Channels for audio tables.
void WriteTableBlock(BitWriter& out, TableHistory& history, bool audio, int channels, const uint8_t* lengths,
                     int count);

}  // namespace osin
