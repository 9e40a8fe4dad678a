// CRC-32 as the RAR format uses it: the reflected polynomial 0xEDB88320,
// started at 0xFFFFFFFF. The archive's file checksum is the inverted final
// value; a header checksum is the low 16 bits of that inverted value.
//
// The legacy ciphers take individual entries of the table as key material,
// so the table is part of the interface.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace osin {

// Entry I of the 256-entry table (I is taken modulo 256).
uint32_t CrcTableEntry(uint32_t i);
// The whole table, for loops that take many entries.
const uint32_t* CrcTable();

// Continues a running CRC over Size bytes; no inversion on either side.
// Start with 0xFFFFFFFF and invert the final value to get the checksum.
uint32_t UpdateCrc32(uint32_t crc, const void* data, size_t size);

// The finished checksum of one buffer: ~UpdateCrc32(0xFFFFFFFF, ...).
uint32_t Crc32(const void* data, size_t size);

}  // namespace osin
