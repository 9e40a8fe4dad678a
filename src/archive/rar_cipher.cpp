#include "archive/rar_cipher.h"

#include <string.h>

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

inline uint32_t Load32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void Store32(uint8_t* p, uint32_t v) {
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

inline uint32_t Substitute(const uint8_t* subst, uint32_t t) {
  return uint32_t(subst[t & 0xFF]) | uint32_t(subst[(t >> 8) & 0xFF]) << 8 |
         uint32_t(subst[(t >> 16) & 0xFF]) << 16 | uint32_t(subst[t >> 24]) << 24;
}

// The key takes in every block's ciphertext, byte k of each 4-byte group
// into key word k.
void UpdateKey(uint32_t* key, const uint8_t* cipherBlock) {
  for (int g = 0; g < kRar20BlockSize; g += 4)
    for (int k = 0; k < 4; ++k) key[k] ^= CrcTableEntry(cipherBlock[g + k]);
}

// 32 rounds over (A, B, C, D); enciphering counts the rounds up, deciphering
// down, everything else is the same.
void Rounds(Rar20Cipher& c, uint8_t* block, bool encipher) {
  uint32_t a = Load32(block) ^ c.key[0];
  uint32_t b = Load32(block + 4) ^ c.key[1];
  uint32_t cc = Load32(block + 8) ^ c.key[2];
  uint32_t d = Load32(block + 12) ^ c.key[3];
  for (int n = 0; n < 32; ++n) {
    uint32_t k = c.key[(encipher ? n : 31 - n) & 3];
    uint32_t ta = a ^ Substitute(c.subst, (cc + Rotl32(d, 11)) ^ k);
    uint32_t tb = b ^ Substitute(c.subst, (d ^ Rotl32(cc, 17)) + k);
    a = cc;
    b = d;
    cc = ta;
    d = tb;
  }
  Store32(block, cc ^ c.key[0]);
  Store32(block + 4, d ^ c.key[1]);
  Store32(block + 8, a ^ c.key[2]);
  Store32(block + 12, b ^ c.key[3]);
}

}  // namespace

void Rar20Cipher::SetPassword(const char* password, int length, const uint8_t* initialSubst) {
  length = ClampLength(length);
  memcpy(key, kRar20InitialKey, sizeof(key));
  memcpy(subst, initialSubst, sizeof(subst));
  // One spare byte past the password: the loop below reads pairs.
  uint8_t psw[256] = {};
  memcpy(psw, password, length);
  for (int j = 0; j < 256; ++j) {
    for (int i = 0; i < length; i += 2) {
      uint32_t n1 = CrcTableEntry((psw[i] - j) & 0xFF) & 0xFF;
      uint32_t n2 = CrcTableEntry((psw[i + 1] + j) & 0xFF) & 0xFF;
      for (uint32_t k = 1; n1 != n2; n1 = (n1 + 1) & 0xFF, ++k) {
        uint8_t& x = subst[n1];
        uint8_t& y = subst[(n1 + i + k) & 0xFF];
        uint8_t t = x;
        x = y;
        y = t;
      }
    }
  }
  for (int i = 0; i < length; i += kRar20BlockSize) EncipherBlock(psw + i);
}

void Rar20Cipher::EncipherBlock(uint8_t* block) {
  Rounds(*this, block, true);
  UpdateKey(key, block);
}

void Rar20Cipher::DecipherBlock(uint8_t* block) {
  uint8_t cipherText[kRar20BlockSize];
  memcpy(cipherText, block, sizeof(cipherText));
  Rounds(*this, block, false);
  UpdateKey(key, cipherText);
}

bool Rar20Available() {
  return Rar20InitialSubst() != nullptr;
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

bool EntryCipher::Start(int unpackVersion, const char* password, int length) {
  kind_ = kNone;
  if (ClampLength(length) == 0) return true;
  if (unpackVersion >= 20) {
    if (!Rar20Available()) return false;
    rar20_.SetPassword(password, length, Rar20InitialSubst());
    kind_ = kRar20;
  } else if (unpackVersion == 15) {
    rar15_.SetPassword(password, length);
    kind_ = kRar15;
  } else {
    rar13_.SetPassword(password, length);
    kind_ = kRar13;
  }
  return true;
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
      for (size_t i = 0; i + kRar20BlockSize <= size; i += kRar20BlockSize) rar20_.EncipherBlock(data + i);
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
      for (size_t i = 0; i + kRar20BlockSize <= size; i += kRar20BlockSize) rar20_.DecipherBlock(data + i);
      break;
  }
}

}  // namespace osin
