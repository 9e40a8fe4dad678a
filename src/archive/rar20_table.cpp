#include "archive/rar20_table.h"

namespace osin {
namespace rar20dec {

void BuildHuffTable(HuffTable& table, const uint8_t* lengths, uint32_t size) {
  uint32_t count[16] = {};
  for (uint32_t i = 0; i < size; ++i) count[lengths[i] & 15]++;
  count[0] = 0;

  // At most 298 symbols: Codes stays below 2^16 x 600, so the shifted
  // bound fits 32 bits before it is clamped.
  uint32_t next[16];
  uint32_t codes = 0;
  table.limits[0] = 0;
  table.firstIndex[0] = 0;
  next[0] = 0;
  for (int len = 1; len < 16; ++len) {
    codes = 2 * (codes + count[len]);
    uint32_t limit = codes << (15 - len);
    table.limits[len] = limit < 0xFFFF ? limit : 0xFFFF;
    table.firstIndex[len] = table.firstIndex[len - 1] + count[len - 1];
    next[len] = table.firstIndex[len];
  }
  for (uint32_t symbol = 0; symbol < size; ++symbol) {
    uint32_t len = lengths[symbol] & 15;
    if (len != 0) table.symbols[next[len]++] = uint16_t(symbol);
  }
  table.size = size;

  // The prefixes of codes of length L run from Limits[L-1] up to Limits[L]
  // (the clamp stands for the end); each index fills 2^(kFastBits - L) of
  // them. Both bounds are whole prefixes for L <= kFastBits.
  uint32_t prefix = 0;
  for (uint32_t len = 1; len <= uint32_t(kFastBits); ++len) {
    uint32_t limit = table.limits[len] == 0xFFFF ? 0x10000 : table.limits[len];
    uint32_t end = limit >> (16 - kFastBits);
    uint32_t repeat = 1u << (kFastBits - len);
    for (uint32_t index = table.firstIndex[len]; prefix < end; ++index) {
      uint16_t entry = uint16_t(table.symbols[index < size ? index : 0] | (len << 12));
      for (uint32_t r = 0; r < repeat; ++r) table.fast[prefix++] = entry;
    }
  }
  for (; prefix < (1u << kFastBits); ++prefix) table.fast[prefix] = 0;
}

uint32_t DecodeLongCode(const HuffTable& table, uint32_t v) {
  v &= 0xFFFE;
  // Every shorter length was ruled out by the lookup.
  uint32_t len = kFastBits + 1;
  while (len < 15 && v >= table.limits[len]) ++len;
  uint32_t index = table.firstIndex[len] + ((v - table.limits[len - 1]) >> (16 - len));
  if (index >= table.size) index = 0;
  return table.symbols[index] | len << 12;
}

}  // namespace rar20dec
}  // namespace osin
