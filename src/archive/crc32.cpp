#include "archive/crc32.h"

#include <stdlib.h>

#include <atomic>

namespace osin {

namespace {

// The byte table is built at compile time: the ciphers take single entries
// of it as key material, before any data is checked.
struct CrcTable {
  uint32_t t[256];
};

constexpr CrcTable MakeTable() {
  CrcTable r{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    r.t[i] = c;
  }
  return r;
}

constexpr CrcTable kTable = MakeTable();
static_assert(kTable.t[1] == 0x77073096u && kTable.t[255] == 0x2D02EF8Du, "the reflected CRC-32 table");

// Checking every extracted byte one at a time took over a third of the
// decoding time, so long runs go sixteen bytes per step. The fifteen extra
// tables (15 KB) are built on first use in memory of their own: stored, or
// even as zeros in a global (which the Windows linker puts in the image's
// data), they would cost osin.exe as much. Whoever finds them missing while
// another thread builds them, or finds no memory, takes the byte loop.
constexpr int kSlices = 15;
uint32_t (*slices)[256] = nullptr;
std::atomic<int> slicesState{0};  // 0 not built, 1 being built, 2 ready

const uint32_t (*Slices())[256] {
  int state = slicesState.load(std::memory_order_acquire);
  if (state == 2) return slices;
  if (state != 0 || !slicesState.compare_exchange_strong(state, 1)) return nullptr;
  uint32_t(*built)[256] = static_cast<uint32_t(*)[256]>(malloc(sizeof(uint32_t[kSlices][256])));
  if (!built) {
    slicesState.store(0, std::memory_order_release);
    return nullptr;
  }
  for (int i = 0; i < 256; ++i) {
    uint32_t c = kTable.t[i];
    for (int k = 0; k < kSlices; ++k) {
      c = (c >> 8) ^ kTable.t[c & 0xFF];
      built[k][i] = c;
    }
  }
  slices = built;
  slicesState.store(2, std::memory_order_release);
  return slices;
}

inline uint32_t Load32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

uint32_t CrcTableEntry(uint32_t i) {
  return kTable.t[i & 0xFF];
}

const uint32_t* CrcTable() {
  return kTable.t;
}

uint32_t UpdateCrc32(uint32_t crc, const void* data, size_t size) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  const uint32_t(*s)[256] = size >= 64 ? Slices() : nullptr;
  if (s) {
    for (; size >= 16; size -= 16, p += 16) {
      uint32_t a = crc ^ Load32(p);
      uint32_t b = Load32(p + 4);
      uint32_t c = Load32(p + 8);
      uint32_t d = Load32(p + 12);
      crc = s[14][a & 0xFF] ^ s[13][(a >> 8) & 0xFF] ^ s[12][(a >> 16) & 0xFF] ^ s[11][a >> 24] ^
            s[10][b & 0xFF] ^ s[9][(b >> 8) & 0xFF] ^ s[8][(b >> 16) & 0xFF] ^ s[7][b >> 24] ^
            s[6][c & 0xFF] ^ s[5][(c >> 8) & 0xFF] ^ s[4][(c >> 16) & 0xFF] ^ s[3][c >> 24] ^ s[2][d & 0xFF] ^
            s[1][(d >> 8) & 0xFF] ^ s[0][(d >> 16) & 0xFF] ^ kTable.t[d >> 24];
    }
  }
  while (size--) crc = (crc >> 8) ^ kTable.t[(crc ^ *p++) & 0xFF];
  return crc;
}

uint32_t Crc32(const void* data, size_t size) {
  return ~UpdateCrc32(0xFFFFFFFFu, data, size);
}

}  // namespace osin
