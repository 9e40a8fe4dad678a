// The archive reader: finds a RAR 2.x archive in a file (bare, or appended
// to an executable), walks its blocks and extracts, tests or passes over
// its file entries one after the other.
//
// One RarReader holds everything of one open archive: the file, the walk's
// position, the current entry, the password, and the RAR 2.0 decoder with
// its 1 MB window. Only one archive is open per reader; open another one
// after CloseArchiveFile (or in another reader).
//
// Locating (OpenArchiveFile): a file that starts with the 7-byte marker
// "Rar!" 1A 07 00 is a bare archive. Otherwise the 0x1FFF0 bytes after the
// file's first 7 are searched for the marker followed by a main header
// (type 0x73 at marker + 9); an archive that starts later is not found. The
// older RAR format (52 45 7E 5E, also behind a self-extractor) is refused.
//
// Walking (ReadNextFileHeader): every block is read through a 32-byte
// prefix; the next block starts HEAD_SIZE bytes later, plus ADD_SIZE when
// flag 0x8000 is set. The walk ends at the end of the file, at a HEAD_SIZE
// below 7, at a next-block position that does not advance, and at a file
// header cut short. Blocks other than file headers and directory entries
// (flags 0x00E0, or, before unpack version 20, an MS-DOS entry with the
// folder attribute) are passed over. Header checksums are not enforced.
//
// Entry names: at most 259 bytes, ending at a zero byte; '/' becomes '\'; a
// leading drive ("C:"), one leading ".\" or "..\" and then one leading '\'
// are dropped; the result is converted from the OEM to the ANSI code page.
//
// Results of ProcessEntry (EntryResult):
//   kEntryOk          extracted, tested or passed over;
//   kEntryBadData     the CRC-32 does not match or fewer than UNP_SIZE
//                     bytes came out (damaged data, wrong password,
//                     another compression method, data that continue in
//                     another volume, an aborted decode);
//   kEntryCannotCreate the output file cannot be created or written, or its
//                     name would leave the destination (see below);
//   kEntryNoMemory    the copy buffer cannot be allocated (the archive is
//                     closed);
//   kEntryAborted     the progress callback said stop where no CRC check
//                     follows.
// A failed extraction leaves no output file behind.
//
// Names that climb out: when the output name is built from the entry name
// (no DestName), an entry whose cleaned name is empty, still has a ".."
// component, still starts with '\' or holds a ':' is not written
// (kEntryCannotCreate), and nothing is created for it.
#pragma once

#include <stdint.h>

#include "archive/rar20.h"
#include "archive/rar_cipher.h"
#include "platform/file.h"
#include "platform/str.h"

namespace osin {

enum EntryResult : int {
  kEntryOk = 0,
  kEntryBadData = 3,
  kEntryCannotCreate = 6,
  kEntryNoMemory = 9,
  kEntryAborted = 255,
};

// Open modes.
enum : int { kOpenList = 0, kOpenExtract = 1 };
// What ProcessEntry does with an entry.
enum TArchiveOperation : int {
  aoSkip = 0,     // pass over it (a solid archive still decodes it)
  aoExtract = 1,  // write the entry to a file
  aoTest = 2,     // decode and check it like extraction, write nothing
};

// Header flags.
enum : uint32_t {
  kFlagEncrypted = 0x0004,
  kFlagSolid = 0x0010,
  kFlagDirectory = 0x00E0,
  kFlagLongBlock = 0x8000,
};
constexpr uint32_t kMethodStore = 0x30;

// What callers of an archive pass look at: name, sizes, time, attributes.
struct TArcFileHeader {
  String EntryName;  // cleaned, ANSI
  uint32_t PackedSize;
  uint32_t UnpackedSize;
  uint32_t ModTime;
  uint32_t Attributes;
};

// Every field of an entry's header, for the reader and for listings.
struct TRARHeader : TArcFileHeader {
  uint32_t HeaderFlags;
  uint32_t HostSystem;
  uint32_t DataCRC;
  uint32_t UnpackVersion;
  uint32_t MethodCode;
};

// Progress of an entry being extracted, tested or passed over: Count bytes
// since the last call; Skipping is true when the bytes are only tested or
// passed over, false when they are written. False stops the entry.
class TArcProgress {
 public:
  virtual bool OnProgress(const String& entryName, uint32_t count, bool skipping) = 0;

 protected:
  ~TArcProgress() = default;
};

// Whether a cleaned entry name may be put below a destination folder: not
// empty, no ".." part, not rooted, no drive or stream colon.
bool StaysInside(const String& name);

class RarReader : private PackedIo {
 public:
  RarReader() = default;
  ~RarReader() { CloseArchiveFile(); }
  RarReader(const RarReader&) = delete;
  RarReader& operator=(const RarReader&) = delete;

  // Opens and locates the archive in FileName; Mode is kOpenList (entries
  // can only be passed over) or kOpenExtract. False when the file cannot be
  // opened, no archive is found, the archive is of the older format, or the
  // decoder's window cannot be allocated.
  bool OpenArchiveFile(const char* fileName, int mode);
  void CloseArchiveFile();
  bool IsOpen() const { return IsOpenFile(file_); }

  // Where the archive's marker starts in the file, and whether the archive
  // is solid. Valid while open.
  int64_t ArchiveOffset() const { return archiveOffset_; }
  bool IsSolidArchive() const { return solidArchive_; }

  // The next file entry that is not a directory: 0 and Header filled, or -1
  // when there is none.
  int ReadNextFileHeader(TRARHeader& header);
  // After -1: whether the walk stopped inside a block, the file ending in
  // its header or before the data a header announced (a setup cut short in
  // a download).
  bool EndedCutShort() const { return cutShort_; }

  // Processes the entry read last and moves to the next block. Output name:
  // DestName when not empty; else DestPath (a '\' is added when missing)
  // followed by the entry name; else the entry name alone. Missing folders
  // along the output name are created. Password (may be null or empty)
  // deciphers entries with flag 0x0004. Progress may be null. In list mode
  // nothing is done but moving on (kEntryOk).
  int ProcessEntry(TArchiveOperation operation, const char* destPath, const char* destName,
                   const char* password, TArcProgress* progress);

 private:
  bool Locate();
  bool ReadAt(int64_t position, uint8_t* buffer, int count);
  // Bytes read from the archive, fewer at its end, 0 at the end or on an
  // error.
  int Read(void* buffer, int count);
  bool Seek(int64_t position);
  int CreateOutput(const char* destPath, const char* destName);
  int CopyStored();
  void FinishOutput(int result);

  // PackedIo: the decoder's side of the seam.
  int ReadPacked(uint8_t* buffer, int count) override;
  void WriteOutput(const uint8_t* data, int count) override;
  bool HasProgress() const override { return progress_ != nullptr; }
  bool Progress(uint32_t count) override;

  static constexpr int kReadAhead = 0x8000;
  FileHandle file_ = nullptr;
  int64_t filePos_ = -1;  // of file_ itself, -1 when not known
  // Ahead_[AheadPos_ .. AheadEnd_) are the bytes just before FilePos_.
  uint8_t* ahead_ = nullptr;
  int aheadPos_ = 0;
  int aheadEnd_ = 0;
  FileHandle output_ = nullptr;
  Rar20Decoder decoder_;
  EntryCipher cipher_;
  int mode_ = kOpenList;
  bool solidArchive_ = false;
  int64_t archiveOffset_ = 0;
  int64_t blockStart_ = 0;  // of the entry read last
  int64_t nextBlock_ = 0;
  bool haveEntry_ = false;
  bool cutShort_ = false;
  TRARHeader header_ = {};
  String outputName_;
  bool testMode_ = false;
  bool writeFailed_ = false;
  uint32_t packedLeft_ = 0;
  uint32_t unpackedLeft_ = 0;
  uint32_t crc_ = 0;
  uint64_t produced_ = 0;
  TArcProgress* progress_ = nullptr;
  // The RAR 2.0 cipher works on whole blocks; a read that ends inside one
  // keeps the rest of the deciphered block here for the next read.
  uint8_t pending_[kRar20BlockSize] = {};
  int pendingPos_ = 0;
  int pendingEnd_ = 0;
};

}  // namespace osin
