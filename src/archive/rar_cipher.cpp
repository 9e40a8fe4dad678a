#include "archive/rar_cipher.h"

#include <string.h>

#if OSIN_WIDE_RAR20
#include <immintrin.h>
#endif

#include "archive/crc32.h"
#include "archive/rar20_subst.h"

namespace osin {

namespace {

// The key words every RAR 2.0 key set-up starts from.
const uint32_t kRar20InitialKey[4] = {0xD3A3B879u, 0x3F6D12F7u, 0x7515A235u, 0xA4E7F123u};
static_assert(sizeof(kRar20InitialKey) / sizeof(kRar20InitialKey[0]) == 4, "four key words");

inline uint32_t Rotl32(uint32_t x, int n) {
  return (x << n) | (x >> (32 - n));
}
inline uint16_t Rotr16(uint16_t x) {
  return uint16_t((x >> 1) | (x << 15));
}

// Forced inline: the byte-wise forms look dearer than a call to the
// inliner, which does not see that they become one load or store.
[[gnu::always_inline]] inline uint32_t Load32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

[[gnu::always_inline]] inline void Store32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

int ClampLength(int length) {
  if (length < 0) return 0;
  return length > kMaxPasswordLength ? kMaxPasswordLength : length;
}

}  // namespace

// ---- RAR 2.0 ---------------------------------------------------------------

namespace {

inline uint32_t Substitute(const uint32_t (*spread)[256], uint32_t t) {
  return spread[0][t & 0xFF] | spread[1][(t >> 8) & 0xFF] | spread[2][(t >> 16) & 0xFF] | spread[3][t >> 24];
}

// The key takes in every block's ciphertext, byte k of each 4-byte group
// into key word k.
inline void TakeIn(uint32_t* key, const uint32_t* crc, const uint8_t* cipherBlock) {
  for (int g = 0; g < kRar20BlockSize; g += 4) {
    key[0] ^= crc[cipherBlock[g]];
    key[1] ^= crc[cipherBlock[g + 1]];
    key[2] ^= crc[cipherBlock[g + 2]];
    key[3] ^= crc[cipherBlock[g + 3]];
  }
}

// One round of N blocks side by side, block J with key word Key[J][I]. A
// round makes (A, B, C, D) into (C, D, A ^ F(C, D), B ^ G(C, D)); here the
// words stay where they are and the next round takes the pairs the other
// way round, so every two rounds leave them in order again.
template <int N>
inline void Round(const uint32_t (*spread)[256], uint32_t* a, uint32_t* b, const uint32_t* c,
                  const uint32_t* d, const uint32_t (*key)[4], int i) {
#pragma GCC unroll 4
  for (int j = 0; j < N; ++j) {
    uint32_t k = key[j][i];
    a[j] ^= Substitute(spread, (c[j] + Rotl32(d[j], 11)) ^ k);
    b[j] ^= Substitute(spread, (d[j] ^ Rotl32(c[j], 17)) + k);
  }
}

// The 32 rounds of N consecutive blocks. Enciphering counts the rounds up,
// deciphering down; everything else is the same. Each round waits on the
// lookups of the one before, so one block alone leaves the processor idle
// most of the time: deciphering, whose keys are all known beforehand, runs
// blocks side by side.
template <int N, bool kForward>
inline void Rounds(const uint32_t (*spread)[256], const uint32_t (*key)[4], uint8_t* data) {
  uint32_t a[N], b[N], c[N], d[N];
#pragma GCC unroll 4
  for (int j = 0; j < N; ++j) {
    const uint8_t* p = data + kRar20BlockSize * j;
    a[j] = Load32(p) ^ key[j][0];
    b[j] = Load32(p + 4) ^ key[j][1];
    c[j] = Load32(p + 8) ^ key[j][2];
    d[j] = Load32(p + 12) ^ key[j][3];
  }
  for (int n = 0; n < 32; n += 4) {
    Round<N>(spread, a, b, c, d, key, kForward ? 0 : 3);
    Round<N>(spread, c, d, a, b, key, kForward ? 1 : 2);
    Round<N>(spread, a, b, c, d, key, kForward ? 2 : 1);
    Round<N>(spread, c, d, a, b, key, kForward ? 3 : 0);
  }
#pragma GCC unroll 4
  for (int j = 0; j < N; ++j) {
    uint8_t* p = data + kRar20BlockSize * j;
    Store32(p, c[j] ^ key[j][0]);
    Store32(p + 4, d[j] ^ key[j][1]);
    Store32(p + 8, a[j] ^ key[j][2]);
    Store32(p + 12, b[j] ^ key[j][3]);
  }
}

template <int N>
inline void DecipherBlocks(const uint32_t (*spread)[256], uint32_t* key, const uint32_t* crc, uint8_t* data) {
  uint32_t keys[N][4];
#pragma GCC unroll 4
  for (int j = 0; j < N; ++j) {
    for (int w = 0; w < 4; ++w) keys[j][w] = key[w];
    TakeIn(key, crc, data + kRar20BlockSize * j);
  }
  Rounds<N, false>(spread, keys, data);
}

// Blocks deciphered side by side (see Rounds): with three, a 64-bit
// processor's registers hold every word; four spill and gain nothing. Tried
// and left: substituting two bytes per lookup (a 128 KB table, which misses
// the first-level cache and costs more than the halved lookups save), and
// hand-scheduled rounds (no faster: the rounds wait on their lookups, not
// on instructions).
constexpr int kSideBySide = 3;

#if OSIN_WIDE_RAR20

// The compiler's own intrinsics start some results from an undefined
// register, which its warnings then take for an uninitialized variable.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// Sixteen blocks at a time, one in each 32-bit lane of a 512-bit register,
// on processors that look up 64 bytes in a 128-byte table in one
// instruction: two lookups and a blend by the index's top bit substitute 64
// bytes, where the plain rounds take 64 loads. Four times as fast as the
// plain rounds and more; the setup program keeps only those (its size, and
// the processors it must run on), the tools on 64-bit Unix-like systems use
// this where the processor has it.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) size_t DecipherWide(const uint8_t* subst,
                                                                           uint32_t* key, const uint32_t* crc,
                                                                           uint8_t* data, size_t size) {
  const __m512i t0 = _mm512_loadu_si512(subst), t1 = _mm512_loadu_si512(subst + 64);
  const __m512i t2 = _mm512_loadu_si512(subst + 128), t3 = _mm512_loadu_si512(subst + 192);
  // Word W of four blocks sits at lanes W, W + 4, W + 8, W + 12 of a
  // register loaded straight from the data; these turn four such registers
  // into one register per word (A, B, C, D of sixteen blocks) and back.
  const __m512i ab = _mm512_setr_epi32(0, 4, 8, 12, 16, 20, 24, 28, 1, 5, 9, 13, 17, 21, 25, 29);
  const __m512i cd = _mm512_setr_epi32(2, 6, 10, 14, 18, 22, 26, 30, 3, 7, 11, 15, 19, 23, 27, 31);
  const __m512i back0 = _mm512_setr_epi32(0, 8, 16, 24, 1, 9, 17, 25, 2, 10, 18, 26, 3, 11, 19, 27);
  const __m512i back1 = _mm512_setr_epi32(4, 12, 20, 28, 5, 13, 21, 29, 6, 14, 22, 30, 7, 15, 23, 31);
  constexpr size_t kGroup = 16 * kRar20BlockSize;
  uint32_t k[4] = {key[0], key[1], key[2], key[3]};
  size_t done = 0;
  for (; done + kGroup <= size; done += kGroup) {
    uint8_t* p = data + done;
    alignas(64) uint32_t keys[4][16];
    for (int j = 0; j < 16; ++j) {
      for (int w = 0; w < 4; ++w) keys[w][j] = k[w];
      TakeIn(k, crc, p + kRar20BlockSize * j);
    }
    const __m512i k0 = _mm512_load_si512(keys[0]), k1 = _mm512_load_si512(keys[1]);
    const __m512i k2 = _mm512_load_si512(keys[2]), k3 = _mm512_load_si512(keys[3]);
    __m512i z0 = _mm512_loadu_si512(p), z1 = _mm512_loadu_si512(p + 64);
    __m512i z2 = _mm512_loadu_si512(p + 128), z3 = _mm512_loadu_si512(p + 192);
    __m512i ab0 = _mm512_permutex2var_epi32(z0, ab, z1), cd0 = _mm512_permutex2var_epi32(z0, cd, z1);
    __m512i ab1 = _mm512_permutex2var_epi32(z2, ab, z3), cd1 = _mm512_permutex2var_epi32(z2, cd, z3);
    __m512i a = _mm512_xor_si512(_mm512_shuffle_i64x2(ab0, ab1, 0x44), k0);
    __m512i b = _mm512_xor_si512(_mm512_shuffle_i64x2(ab0, ab1, 0xEE), k1);
    __m512i c = _mm512_xor_si512(_mm512_shuffle_i64x2(cd0, cd1, 0x44), k2);
    __m512i d = _mm512_xor_si512(_mm512_shuffle_i64x2(cd0, cd1, 0xEE), k3);
#define OSIN_SUBST(t)                                                                 \
  _mm512_mask_blend_epi8(_mm512_movepi8_mask(t), _mm512_permutex2var_epi8(t0, t, t1), \
                         _mm512_permutex2var_epi8(t2, t, t3))
#define OSIN_ROUND(a, b, c, d, key)                                                  \
  {                                                                                  \
    __m512i f = _mm512_xor_si512(_mm512_add_epi32(c, _mm512_rol_epi32(d, 11)), key); \
    __m512i g = _mm512_add_epi32(_mm512_xor_si512(d, _mm512_rol_epi32(c, 17)), key); \
    a = _mm512_xor_si512(a, OSIN_SUBST(f));                                          \
    b = _mm512_xor_si512(b, OSIN_SUBST(g));                                          \
  }
    for (int n = 0; n < 32; n += 4) {
      OSIN_ROUND(a, b, c, d, k3)
      OSIN_ROUND(c, d, a, b, k2)
      OSIN_ROUND(a, b, c, d, k1)
      OSIN_ROUND(c, d, a, b, k0)
    }
#undef OSIN_ROUND
#undef OSIN_SUBST
    __m512i w0 = _mm512_xor_si512(c, k0), w1 = _mm512_xor_si512(d, k1);
    __m512i w2 = _mm512_xor_si512(a, k2), w3 = _mm512_xor_si512(b, k3);
    __m512i lo01 = _mm512_shuffle_i64x2(w0, w1, 0x44), hi01 = _mm512_shuffle_i64x2(w0, w1, 0xEE);
    __m512i lo23 = _mm512_shuffle_i64x2(w2, w3, 0x44), hi23 = _mm512_shuffle_i64x2(w2, w3, 0xEE);
    _mm512_storeu_si512(p, _mm512_permutex2var_epi32(lo01, back0, lo23));
    _mm512_storeu_si512(p + 64, _mm512_permutex2var_epi32(lo01, back1, lo23));
    _mm512_storeu_si512(p + 128, _mm512_permutex2var_epi32(hi01, back0, hi23));
    _mm512_storeu_si512(p + 192, _mm512_permutex2var_epi32(hi01, back1, hi23));
  }
  memcpy(key, k, sizeof(k));
  return done;
}

#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#endif

}  // namespace

bool Rar20DecipherIsWide() {
#if OSIN_WIDE_RAR20
  return __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512bw");
#else
  return false;
#endif
}

void Rar20Cipher::SetPassword(const char* password, int length) {
  length = ClampLength(length);
  memcpy(key, kRar20InitialKey, sizeof(key));
  memcpy(subst, kRar20InitialSubst, sizeof(subst));
  // One spare byte past the password: the loop below reads pairs.
  uint8_t psw[256] = {};
  memcpy(psw, password, length);
  const uint32_t* crc = CrcTable();
  for (int j = 0; j < 256; ++j) {
    for (int i = 0; i < length; i += 2) {
      uint32_t n1 = crc[(psw[i] - j) & 0xFF] & 0xFF;
      uint32_t n2 = crc[(psw[i + 1] + j) & 0xFF] & 0xFF;
      for (uint32_t k = 1; n1 != n2; n1 = (n1 + 1) & 0xFF, ++k) {
        uint8_t& x = subst[n1];
        uint8_t& y = subst[(n1 + i + k) & 0xFF];
        uint8_t t = x;
        x = y;
        y = t;
      }
    }
  }
  SpreadTable();
  Encipher(psw, size_t((length + kRar20BlockSize - 1) / kRar20BlockSize * kRar20BlockSize));
}

void Rar20Cipher::SpreadTable() {
  for (int x = 0; x < 256; ++x)
    for (int k = 0; k < 4; ++k) spread_[k][x] = uint32_t(subst[x]) << (8 * k);
}

void Rar20Cipher::Encipher(uint8_t* data, size_t size) {
  const uint32_t* crc = CrcTable();
  for (size_t i = 0; i + kRar20BlockSize <= size; i += kRar20BlockSize) {
    Rounds<1, true>(spread_, &key, data + i);
    TakeIn(key, crc, data + i);
  }
}

void Rar20Cipher::Decipher(uint8_t* data, size_t size) {
  const uint32_t* crc = CrcTable();
  // The key words in locals: stores into Data could otherwise change them
  // for all the compiler knows, and would make it read them back each time.
  uint32_t k[4] = {key[0], key[1], key[2], key[3]};
  size_t i = 0;
#if OSIN_WIDE_RAR20
  if (size >= 16 * kRar20BlockSize && Rar20DecipherIsWide()) i = DecipherWide(subst, k, crc, data, size);
#endif
  for (; i + kSideBySide * kRar20BlockSize <= size; i += kSideBySide * kRar20BlockSize)
    DecipherBlocks<kSideBySide>(spread_, k, crc, data + i);
  for (; i + kRar20BlockSize <= size; i += kRar20BlockSize) DecipherBlocks<1>(spread_, k, crc, data + i);
  memcpy(key, k, sizeof(key));
}

// ---- RAR 1.5 ---------------------------------------------------------------

void Rar15Cipher::SetPassword(const char* password, int length) {
  length = ClampLength(length);
  const uint8_t* p = reinterpret_cast<const uint8_t*>(password);
  uint32_t crc = UpdateCrc32(0xFFFFFFFFu, p, length);
  key[0] = uint16_t(crc);
  key[1] = uint16_t(crc >> 16);
  key[2] = key[3] = 0;
  for (int i = 0; i < length; ++i) {
    uint32_t e = CrcTableEntry(p[i]);
    key[2] = uint16_t(key[2] ^ p[i] ^ uint16_t(e));
    key[3] = uint16_t(key[3] + p[i] + (e >> 16));
  }
}

void Rar15Cipher::Crypt(uint8_t* data, size_t size) {
  uint16_t k0 = key[0], k1 = key[1], k2 = key[2], k3 = key[3];
  for (size_t i = 0; i < size; ++i) {
    k0 = uint16_t(k0 + 0x1234);
    uint32_t e = CrcTableEntry((k0 & 0x1FE) >> 1);
    k1 = uint16_t(k1 ^ uint16_t(e));
    k2 = uint16_t(k2 - (e >> 16));
    k0 = uint16_t(k0 ^ k2);
    k3 = uint16_t(Rotr16(k3) ^ k1);
    k3 = Rotr16(k3);
    k0 = uint16_t(k0 ^ k3);
    data[i] ^= uint8_t(k0 >> 8);
  }
  key[0] = k0;
  key[1] = k1;
  key[2] = k2;
  key[3] = k3;
}

// ---- RAR 1.3 ---------------------------------------------------------------

void Rar13Cipher::SetPassword(const char* password, int length) {
  length = ClampLength(length);
  p1 = p2 = p3 = 0;
  for (int i = 0; i < length; ++i) {
    uint8_t c = uint8_t(password[i]);
    p1 = uint8_t(p1 + c);
    p2 = uint8_t(p2 ^ c);
    uint8_t s = uint8_t(p3 + c);
    p3 = uint8_t((s << 1) | (s >> 7));
  }
}

void Rar13Cipher::Encipher(uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    p2 = uint8_t(p2 + p3);
    p1 = uint8_t(p1 + p2);
    data[i] = uint8_t(data[i] + p1);
  }
}

void Rar13Cipher::Decipher(uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    p2 = uint8_t(p2 + p3);
    p1 = uint8_t(p1 + p2);
    data[i] = uint8_t(data[i] - p1);
  }
}

// ---- Selection by unpack version -------------------------------------------

void EntryCipher::Start(int unpackVersion, const char* password, int length) {
  kind_ = kNone;
  length = ClampLength(length);
  if (length == 0) return;
  if (unpackVersion >= 20) {
    if (length == rar20Length_ && memcmp(password, rar20Password_, size_t(length)) == 0) {
      memcpy(rar20_.key, rar20Key_, sizeof(rar20Key_));
    } else {
      rar20_.SetPassword(password, length);
      memcpy(rar20Key_, rar20_.key, sizeof(rar20Key_));
      memcpy(rar20Password_, password, size_t(length));
      rar20Length_ = length;
    }
    kind_ = kRar20;
  } else if (unpackVersion == 15) {
    rar15_.SetPassword(password, length);
    kind_ = kRar15;
  } else {
    rar13_.SetPassword(password, length);
    kind_ = kRar13;
  }
}

void EntryCipher::Encipher(uint8_t* data, size_t size) {
  switch (kind_) {
    case kNone:
      break;
    case kRar13:
      rar13_.Encipher(data, size);
      break;
    case kRar15:
      rar15_.Crypt(data, size);
      break;
    case kRar20:
      rar20_.Encipher(data, size);
      break;
  }
}

void EntryCipher::Decipher(uint8_t* data, size_t size) {
  switch (kind_) {
    case kNone:
      break;
    case kRar13:
      rar13_.Decipher(data, size);
      break;
    case kRar15:
      rar15_.Crypt(data, size);
      break;
    case kRar20:
      rar20_.Decipher(data, size);
      break;
  }
}

}  // namespace osin
