#include <string.h>

#include <algorithm>
#include <string>

#include "archive/crc32.h"
#include "archive/rar20_subst.h"
#include "archive/rar_cipher.h"
#include "testing.h"

namespace osin {
namespace {

TEST(Crc32, KnownChecksumsAndSplitUpdates) {
  EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
  EXPECT_EQ(Crc32("", 0), 0u);
  // The sample archives' contents: "file1\r\n".
  EXPECT_EQ(Crc32("file1\r\n", 7), 0x7A197DBAu);
  const char* text = "The quick brown fox jumps over the lazy dog";
  uint32_t whole = UpdateCrc32(0xFFFFFFFFu, text, strlen(text));
  uint32_t split = UpdateCrc32(UpdateCrc32(0xFFFFFFFFu, text, 10), text + 10, strlen(text) - 10);
  EXPECT_EQ(whole, split);
  EXPECT_EQ(~whole, 0x414FA339u);
}

// Bit by bit, as the polynomial defines it: the reference for the fast path.
uint32_t BitwiseCrc(uint32_t crc, const uint8_t* p, size_t n) {
  while (n--) {
    crc ^= *p++;
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  return crc;
}

TEST(Crc32, LongRunsAgreeWithTheBitwiseDefinitionAtEveryOffsetAndLength) {
  std::string data(3000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = char((i * 131 + (i >> 3) * 7) & 0xFF);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(data.data());
  for (size_t offset : {0u, 1u, 3u, 7u}) {
    for (size_t length : {0u, 63u, 64u, 65u, 71u, 1000u, 2993u}) {
      ASSERT_EQ(UpdateCrc32(0xFFFFFFFFu, bytes + offset, length),
                BitwiseCrc(0xFFFFFFFFu, bytes + offset, length))
          << "offset " << offset << ", length " << length;
    }
  }
}

TEST(Crc32, TableIsTheReflectedPolynomial) {
  EXPECT_EQ(CrcTableEntry(0), 0u);
  EXPECT_EQ(CrcTableEntry(128), 0xEDB88320u);
  EXPECT_EQ(CrcTableEntry(256 + 1), CrcTableEntry(1));
}

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = char((i * 7 + i / 251) & 0xFF);
  return s;
}

uint8_t* Bytes(std::string& s) {
  return reinterpret_cast<uint8_t*>(&s[0]);
}

TEST(Rar20Cipher, DecipheringUndoesEncipheringInPiecesOfAnySize) {
  std::string plain = Pattern(16 * 140);
  std::string data = plain;
  Rar20Cipher enc;
  enc.SetPassword("secret", 6);
  enc.Encipher(Bytes(data), data.size());
  EXPECT_NE(data, plain);
  // Equal plaintext blocks give different ciphertext: the key moves on.
  EXPECT_NE(data.substr(0, 16), data.substr(16 * 36, 16));
  // Deciphering runs several blocks side by side, and sixteen at a time
  // where the processor allows; pieces of one to five blocks and of 16 to
  // 33 must agree with block after block, the keys carried between them.
  std::string whole = data;
  Rar20Cipher dec;
  dec.SetPassword("secret", 6);
  dec.Decipher(Bytes(whole), whole.size());
  EXPECT_EQ(whole, plain);
  dec.SetPassword("secret", 6);
  size_t at = 0;
  const size_t pieces[] = {1, 2, 16, 3, 17, 4, 33, 5};
  for (size_t i = 0; at < data.size(); ++i) {
    size_t blocks = pieces[i % 8];
    size_t n = std::min(blocks * 16, data.size() - at);
    dec.Decipher(Bytes(data) + at, n);
    at += n;
  }
  EXPECT_EQ(data, plain);
}

TEST(Rar20Cipher, KeysDependOnEveryPasswordByteAndAreFreshPerSetUp) {
  Rar20Cipher a, b, c;
  a.SetPassword("password", 8);
  b.SetPassword("passworc", 8);
  c.SetPassword("password", 8);
  EXPECT_NE(0, memcmp(a.key, b.key, sizeof(a.key)));
  EXPECT_EQ(0, memcmp(a.key, c.key, sizeof(a.key)));
  EXPECT_EQ(0, memcmp(a.subst, c.subst, sizeof(a.subst)));
  EXPECT_NE(0, memcmp(a.subst, kRar20InitialSubst, sizeof(a.subst)));
  // Longer than the buffer: cut at 127 bytes.
  std::string longer(200, 'x'), cut(127, 'x');
  a.SetPassword(longer.data(), 200);
  b.SetPassword(cut.data(), 127);
  EXPECT_EQ(0, memcmp(a.key, b.key, sizeof(a.key)));
}

TEST(Rar15Cipher, SameOperationBothWaysWithFreshKeys) {
  std::string plain = Pattern(1000), data = plain;
  Rar15Cipher c;
  c.SetPassword("pw", 2);
  c.Crypt(reinterpret_cast<uint8_t*>(&data[0]), data.size());
  EXPECT_NE(data, plain);
  c.SetPassword("pw", 2);
  c.Crypt(reinterpret_cast<uint8_t*>(&data[0]), 300);
  c.Crypt(reinterpret_cast<uint8_t*>(&data[300]), 700);  // a stream: pieces continue
  EXPECT_EQ(data, plain);
}

TEST(Rar13Cipher, DecipherUndoesEncipher) {
  std::string plain = Pattern(500), data = plain;
  Rar13Cipher c;
  c.SetPassword("abc", 3);
  c.Encipher(reinterpret_cast<uint8_t*>(&data[0]), data.size());
  EXPECT_NE(data, plain);
  c.SetPassword("abc", 3);
  c.Decipher(reinterpret_cast<uint8_t*>(&data[0]), data.size());
  EXPECT_EQ(data, plain);
}

TEST(EntryCipher, VersionSelectsTheCipherAndEmptyPasswordSelectsNone) {
  EntryCipher c;
  c.Start(15, "", 0);
  EXPECT_FALSE(c.Active());
  c.Start(15, "pw", 2);
  EXPECT_EQ(c.BlockSize(), 1);
  std::string a = Pattern(64), b = a;
  c.Encipher(reinterpret_cast<uint8_t*>(&a[0]), a.size());
  Rar15Cipher direct;
  direct.SetPassword("pw", 2);
  direct.Crypt(reinterpret_cast<uint8_t*>(&b[0]), b.size());
  EXPECT_EQ(a, b);
  // Versions other than 15 below 20 take the RAR 1.3 cipher.
  c.Start(13, "pw", 2);
  a = b = Pattern(64);
  c.Encipher(reinterpret_cast<uint8_t*>(&a[0]), a.size());
  Rar13Cipher old;
  old.SetPassword("pw", 2);
  old.Encipher(reinterpret_cast<uint8_t*>(&b[0]), b.size());
  EXPECT_EQ(a, b);
  // Version 20 and above: the block cipher. Entries of one archive share the
  // password, and each starts from the same keys.
  std::string first = Pattern(64), second = first, alone = first;
  c.Start(20, "pw", 2);
  EXPECT_EQ(c.BlockSize(), 16);
  c.Encipher(Bytes(first), first.size());
  c.Start(15, "other", 5);
  c.Start(20, "pw", 2);
  c.Encipher(Bytes(second), second.size());
  EXPECT_EQ(first, second);
  Rar20Cipher block;
  block.SetPassword("pw", 2);
  block.Encipher(Bytes(alone), alone.size());
  EXPECT_EQ(first, alone);
  c.Start(29, "pX", 2);  // a new password sets up anew
  second = Pattern(64);
  c.Encipher(Bytes(second), second.size());
  EXPECT_NE(first, second);
}

}  // namespace
}  // namespace osin
