// The legacy ciphers of RAR archives up to version 2.x.
//
// An encrypted entry (file flag 0x0004) is enciphered with the cipher its
// unpack version selects:
//   20 and above   the RAR 2.0 block cipher on 16-byte blocks;
//   15             the RAR 1.5 byte stream cipher;
//   anything else  the RAR 1.3 byte stream cipher.
// Keys are set from the password afresh for every entry. None of them checks
// the password: a wrong one deciphers to other bytes, and the entry's CRC-32
// tells. The ciphers are obsolete and weak; they exist to read and write
// archives that other RAR tools understand, not to protect anything.
//
// Passwords are byte strings of at most kMaxPasswordLength bytes; longer ones
// are cut there (the reader's password buffer holds 127 bytes and a zero).
//
// The RAR 2.0 cipher starts from the format's published 256-byte initial
// substitution table. This source tree does not carry that table yet (see
// rar20_subst.h): until it does, Rar20Available() is false, Start() refuses
// versions 20 and above, and such entries can be neither read nor written.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace osin {

constexpr int kMaxPasswordLength = 127;
constexpr int kRar20BlockSize = 16;

// The RAR 2.0 block cipher. The key words move on after every block (they
// take in the block's ciphertext), so blocks must be processed in order,
// each exactly once, in the same direction.
struct Rar20Cipher {
  uint32_t key[4];
  uint8_t subst[256];

  // Starts from InitialSubst (256 bytes; the format's table, or another one
  // in tests of the cipher's own properties).
  void SetPassword(const char* password, int length, const uint8_t* initialSubst);
  void EncipherBlock(uint8_t* block);
  void DecipherBlock(uint8_t* block);
};

// The RAR 1.5 stream cipher; the same operation enciphers and deciphers.
struct Rar15Cipher {
  uint16_t key[4];

  void SetPassword(const char* password, int length);
  void Crypt(uint8_t* data, size_t size);
};

// The RAR 1.3 stream cipher.
struct Rar13Cipher {
  uint8_t p1, p2, p3;

  void SetPassword(const char* password, int length);
  void Encipher(uint8_t* data, size_t size);
  void Decipher(uint8_t* data, size_t size);
};

// Whether the RAR 2.0 initial substitution table is built in.
bool Rar20Available();

// The cipher of one entry, chosen by its unpack version.
class EntryCipher {
 public:
  // No cipher: Encipher and Decipher leave the bytes alone.
  void Clear() { kind_ = kNone; }
  // Selects the cipher for UnpackVersion and sets its keys from Password
  // (Length bytes, cut to kMaxPasswordLength). An empty password selects no
  // cipher. False (and no cipher) when the selected cipher is not available.
  bool Start(int unpackVersion, const char* password, int length);
  bool Active() const { return kind_ != kNone; }
  // 16 for the RAR 2.0 cipher, else 1: Encipher and Decipher take whole
  // blocks, Size must be a multiple of it.
  int BlockSize() const { return kind_ == kRar20 ? kRar20BlockSize : 1; }
  void Encipher(uint8_t* data, size_t size);
  void Decipher(uint8_t* data, size_t size);

 private:
  enum Kind : uint8_t { kNone, kRar13, kRar15, kRar20 };
  Kind kind_ = kNone;
  union {
    Rar13Cipher rar13_;
    Rar15Cipher rar15_;
    Rar20Cipher rar20_;
  };
};

}  // namespace osin
