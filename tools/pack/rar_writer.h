// Writes RAR 2.x archives (ordinary C++, for osin-pack, the compressor and
// tests).
//
// The writer lays out the blocks; it never compresses. The caller hands in
// each entry's packed bytes and says how they were packed:
//   - stored (method 0x30): Packed holds the file's bytes;
//   - any other method byte: Packed holds that method's stream as produced
//     elsewhere (the compressor, or a hand-made stream in a test).
// UnpackedSize and Crc always describe the unpacked file.
//
// An archive is: the 7-byte marker, a 13-byte main header (flag 0x0008 when
// the archive is solid), one file header plus packed data per entry, and an
// end-of-archive block. Every header carries its HEAD_CRC (the low 16 bits of
// the CRC-32 of the header from byte 2 on, name included).
//
// File header fields the writer fills:
//   HEAD_FLAGS  0x8000 always (data follow), 0x0010 when Entry.solid,
//               0x0004 when Entry.encrypt, 0x00E0 for a directory entry,
//               plus Entry.extraFlags (for example dictionary-size bits);
//   PACK_SIZE   size of the packed data as written (after cipher padding);
//   UNP_SIZE, HOST_OS, FILE_CRC, FTIME, UNP_VER, METHOD, ATTR from Entry;
//   NAME_SIZE, FILE_NAME from Entry.name with every '/' written as '\'.
// Names are written as given: converting them to an OEM code page is the
// caller's business (see oem.h). Names longer than 259 bytes, entries of 4 GB
// or more and a name that is empty are refused.
//
// Encryption (Entry.encrypt) uses the writer's password and the cipher that
// Entry.unpackVersion selects (src/archive/rar_cipher.h); keys are set afresh
// per entry. The RAR 2.0 cipher works on 16-byte blocks, so the packed data
// are padded with zero bytes to a multiple of 16 before they are enciphered
// and PACK_SIZE counts the padding. Readers stop at UNP_SIZE.
//
// Failures (a refused entry, an output stream that fails) throw RarWriteError with a message that names the
// entry.
#pragma once

#include <stdint.h>

#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>

#include "archive/rar_cipher.h"

namespace osin {

class RarWriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

constexpr uint8_t kMethodStored = 0x30;
constexpr uint8_t kHostWin32 = 2;

struct RarEntry {
  std::string name;    // archive name, '/' or '\' separated
  std::string packed;  // the packed bytes (see above)
  uint32_t unpackedSize = 0;
  uint32_t crc = 0;      // CRC-32 of the unpacked bytes
  uint32_t dosTime = 0;  // MS-DOS date (high 16 bits) and time (low 16 bits)
  uint32_t attributes = 0x20;
  uint8_t hostOs = kHostWin32;
  uint8_t unpackVersion = 20;
  uint8_t method = kMethodStored;
  bool solid = false;       // continues the previous entry's decoder state
  bool encrypt = false;     // encipher with the writer's password
  bool directory = false;   // a folder entry: flags 0x00E0, no data
  uint16_t extraFlags = 0;  // ORed into HEAD_FLAGS as given
};

// A stored entry of Data: method 0x30, sizes and CRC-32 filled in.
RarEntry StoredEntry(const std::string& name, const std::string& data, uint32_t dosTime,
                     uint32_t attributes = 0x20);

// MS-DOS date and time of a Unix time, in the machine's local time zone (as
// RAR keeps times). Times before 1980 give 1980-01-01 00:00:00; seconds are
// rounded down to even.
uint32_t DosTimeFromUnix(int64_t unixTime);

class RarWriter {
 public:
  // Writes the marker and the main header to Out at once. Out must outlive
  // the writer.
  RarWriter(std::ostream& out, bool solidArchive);

  // The password for entries with encrypt set (at most 127 bytes are used).
  void SetPassword(const std::string& password) { password_ = password; }

  void Add(const RarEntry& entry);

  // An entry whose packed data come in pieces, for data too large to hold:
  // Open leaves room for the header, Write appends packed bytes (enciphered
  // on the way when Entry.encrypt), Restart drops those written since Open,
  // Close writes the header into its room from Entry, PACK_SIZE from what
  // was written. Entry.packed is not used; Open and Close must agree on the
  // name, encrypt and unpackVersion. Out must be seekable.
  void Open(const RarEntry& entry);
  void Write(const uint8_t* bytes, size_t count);
  void Restart();
  // Packed bytes written since Open or Restart (before cipher padding).
  uint64_t Written() const { return written_; }
  void Close(const RarEntry& entry);

  // Writes the end-of-archive block and flushes. Add must not follow.
  void Finish();

  // Bytes written so far.
  uint64_t Size() const { return size_; }

 private:
  void Write(const std::string& bytes);
  void Emit(const char* bytes, size_t count);
  void CheckAdd(const RarEntry& entry) const;
  void StartCipher(const RarEntry& entry);
  std::string FileHeader(const RarEntry& entry, uint64_t packSize) const;

  std::ostream& out_;
  std::string password_;
  std::unique_ptr<EntryCipher> cipher_{new EntryCipher};  // one set-up per password
  uint64_t size_ = 0;
  bool finished_ = false;
  // The open entry: where its header and its data start, and the packed
  // bytes not yet enciphered (less than a block).
  bool open_ = false, encipher_ = false;
  uint8_t version_ = 0;
  std::streampos headerAt_, dataAt_;
  uint64_t sizeAtData_ = 0, written_ = 0;
  std::string pending_;
};

// A whole archive in memory, for tests and small tools.
std::string WriteRarArchive(const RarEntry* entries, size_t count, bool solidArchive,
                            const std::string& password = std::string());

}  // namespace osin
