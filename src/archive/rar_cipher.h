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
  uint8_t subst[256];  // the format's table permuted by the password

  // Sets the keys and the table from the password (Length bytes, cut to
  // kMaxPasswordLength).
  void SetPassword(const char* password, int length);
  // Size bytes, a multiple of kRar20BlockSize, block after block.
  void Encipher(uint8_t* data, size_t size);
  void Decipher(uint8_t* data, size_t size);

 private:
  void SpreadTable();

  // Subst four times, shifted to each byte position of a word: one lookup
  // per byte and no shifting in the rounds. Made from subst by SetPassword.
  uint32_t spread_[4][256];
};

// The wide variant of the rounds exists only in tools built for 64-bit
// Unix-like systems; there, whether this processor runs it.
#if defined(__x86_64__) && !defined(_WIN32) && defined(__GNUC__)
#define OSIN_WIDE_RAR20 1
#else
#define OSIN_WIDE_RAR20 0
#endif
bool Rar20DecipherIsWide();

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

// The cipher of one entry, chosen by its unpack version. Keep one for a
// whole archive: entries that share a password share the RAR 2.0 set-up.
class EntryCipher {
 public:
  // No cipher: Encipher and Decipher leave the bytes alone.
  void Clear() { kind_ = kNone; }
  // Selects the cipher for UnpackVersion and sets its keys from Password
  // (Length bytes, cut to kMaxPasswordLength). An empty password selects no
  // cipher.
  void Start(int unpackVersion, const char* password, int length);
  bool Active() const { return kind_ != kNone; }
  // 16 for the RAR 2.0 cipher, else 1: Encipher and Decipher take whole
  // blocks, Size must be a multiple of it.
  int BlockSize() const { return kind_ == kRar20 ? kRar20BlockSize : 1; }
  void Encipher(uint8_t* data, size_t size);
  void Decipher(uint8_t* data, size_t size);

 private:
  enum Kind : uint8_t { kNone, kRar13, kRar15, kRar20 };
  Kind kind_ = kNone;
  Rar13Cipher rar13_;
  Rar15Cipher rar15_;
  Rar20Cipher rar20_;
  // The RAR 2.0 set-up permutes the table some 100,000 times for an
  // ordinary password, as long as deciphering tens of kilobytes; the keys it
  // ends with are kept for the next entry with the same password.
  uint32_t rar20Key_[4] = {};
  char rar20Password_[kMaxPasswordLength] = {};
  int rar20Length_ = -1;
};

}  // namespace osin
