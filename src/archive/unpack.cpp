#include "archive/unpack.h"

#include <stdlib.h>
#include <string.h>

#include "archive/crc32.h"
#include "platform/text.h"

namespace osin {

namespace {

// The marker block. It is compared byte by byte and never stored as one
// sequence: osin.exe must not find it in its own image.
const uint8_t kMarkerTail[] = {0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};  // after 'R'
const uint8_t kOldTail[] = {0x45, 0x7E, 0x5E};                       // "RE~^" after 'R'
const uint8_t kOldSfxTag[] = {0x52, 0x53, 0x46, 0x58};               // "RSFX" at file offset 28
static_assert(sizeof(kMarkerTail) == 6 && sizeof(kOldTail) == 3 && sizeof(kOldSfxTag) == 4, "format tags");

constexpr int kMarkerSize = 7;
constexpr int kMainHeaderSize = 13;
constexpr int kPrefixSize = 32;  // a file header's fixed part
constexpr int kMaxNameSize = 259;
constexpr int kSearchWindow = 0x1FFF0;
constexpr int kSearchBuffer = 0x20000;
constexpr int kStorePiece = 0x8000;
constexpr uint8_t kTypeMain = 0x73;
constexpr uint8_t kTypeFile = 0x74;
// Whatever follows the end block is not the archive's: a signed setup has
// its Authenticode signature there, which must never be read as blocks.
constexpr uint8_t kTypeEnd = 0x7B;
constexpr uint32_t kHostUnix = 3;
constexpr uint32_t kUnixTypeMask = 0xF000;   // S_IFMT
constexpr uint32_t kUnixDirectory = 0x4000;  // S_IFDIR
constexpr uint32_t kUnixOwnerWrite = 0x80;   // S_IWUSR

// Forced inline: the byte-wise forms look dearer than a call to the
// inliner, which does not see that they become one load.
[[gnu::always_inline]] inline uint32_t Get16(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}
[[gnu::always_inline]] inline uint32_t Get32(const uint8_t* p) {
  return Get16(p) | Get16(p + 2) << 16;
}

bool IsMarkerAt(const uint8_t* p) {
  return p[0] == 0x52 && memcmp(p + 1, kMarkerTail, 6) == 0;
}
bool IsOldFormatAt(const uint8_t* p) {
  return p[0] == 0x52 && memcmp(p + 1, kOldTail, 3) == 0;
}

// Drive, one ".\" or "..\", then one '\': what the archive may say about
// where its names start. Separators are already '\'.
String CleanName(const String& name) {
  int i = 0;
  if (name.Length() >= 2 && name[1] == ':') i = 2;
  if (name[i] == '.' && name[i + 1] == '\\') i += 1;
  if (name[i] == '.' && name[i + 1] == '.' && name[i + 2] == '\\') i += 2;
  if (name[i] == '\\') i += 1;
  return name.Copy(i + 1, name.Length() - i);
}

// Entries made on Unix carry the file's mode in ATTR: 0x81B4, a file with
// rw-rw-r--, would make a Windows file system and temporary. Only what both
// systems know is carried over: a directory stays one, and a file its owner
// may not write is read-only.
uint32_t AttributesToApply(const TRARHeader& h) {
  if (h.HostSystem != kHostUnix) return h.Attributes;
  uint32_t a = 0;
  if ((h.Attributes & kUnixTypeMask) == kUnixDirectory) a |= kAttrDirectory;
  if (!(h.Attributes & kUnixOwnerWrite)) a |= kAttrReadOnly;
  return a ? a : kAttrNormal;
}

}  // namespace

// A cleaned name that may be put below a destination: not empty, no ".."
// component, not rooted, no drive or stream colon. Cleaning removes one
// level of each; a name that still has one would land outside.
bool StaysInside(const String& name) {
  if (name.IsEmpty() || name[0] == '\\' || name.Pos(':') != 0) return false;
  int start = 0;
  for (int i = 0; i <= name.Length(); ++i) {
    if (i == name.Length() || name[i] == '\\') {
      if (i - start == 2 && name[start] == '.' && name[start + 1] == '.') return false;
      start = i + 1;
    }
  }
  return true;
}

bool RarReader::OpenArchiveFile(const char* fileName, int mode) {
  CloseArchiveFile();
  if (!decoder_.Allocate()) return false;
  if (!ahead_) ahead_ = static_cast<uint8_t*>(malloc(kReadAhead));
  if (!ahead_) return false;
  mode_ = mode;
  file_ = OpenFileHandle(fileName, kFileRead, kShareRead, kAttrNormal, kOpenExisting);
  filePos_ = 0;
  aheadPos_ = aheadEnd_ = 0;
  if (!IsOpenFile(file_) || !Locate()) {
    CloseArchiveFile();
    return false;
  }
  return true;
}

void RarReader::CloseArchiveFile() {
  CloseFileHandle(output_);
  CloseFileHandle(file_);
  decoder_.Free();
  free(ahead_);
  ahead_ = nullptr;
  cipher_.Clear();
  haveEntry_ = false;
  cutShort_ = false;
  solidArchive_ = false;
}

bool RarReader::ReadAt(int64_t position, uint8_t* buffer, int count) {
  return Seek(position) && Read(buffer, count) == count;
}

// Headers, names and the packed data of small entries come from one
// read-ahead buffer: a solid archive of many small files then costs one
// system call per kReadAhead bytes rather than three per entry. Reads of a
// whole buffer or more go straight to the caller.
int RarReader::Read(void* buffer, int count) {
  uint8_t* to = static_cast<uint8_t*>(buffer);
  int done = 0;
  while (done < count) {
    int want = count - done;
    if (aheadPos_ < aheadEnd_) {
      int n = aheadEnd_ - aheadPos_ < want ? aheadEnd_ - aheadPos_ : want;
      memcpy(to + done, ahead_ + aheadPos_, size_t(n));
      aheadPos_ += n;
      done += n;
      continue;
    }
    bool direct = want >= kReadAhead;
    int n = FileRead(file_, direct ? to + done : ahead_, direct ? want : kReadAhead);
    if (n <= 0) {
      // After an error the file position is not known.
      if (n < 0) filePos_ = -1;
      break;
    }
    filePos_ += n;
    if (direct) {
      done += n;
      aheadPos_ = aheadEnd_ = 0;  // no longer the bytes just before FilePos_
    } else {
      aheadPos_ = 0;
      aheadEnd_ = n;
    }
  }
  return done;
}

bool RarReader::Seek(int64_t position) {
  // Entries are mostly read in file order: the next block or an entry's
  // data usually start in the bytes already read ahead.
  int64_t aheadStart = filePos_ - aheadEnd_;
  if (filePos_ >= 0 && position >= aheadStart && position <= filePos_) {
    aheadPos_ = int(position - aheadStart);
    return true;
  }
  aheadPos_ = aheadEnd_ = 0;
  filePos_ = FileSeek(file_, position, kSeekFromStart);
  return filePos_ == position;
}

bool RarReader::Locate() {
  uint8_t head[kMarkerSize + kMainHeaderSize];
  if (!ReadAt(0, head, kMarkerSize) || IsOldFormatAt(head)) return false;
  int64_t found = -1;
  if (IsMarkerAt(head)) {
    found = 0;
  } else {
    uint8_t* buffer = static_cast<uint8_t*>(malloc(kSearchBuffer));
    if (!buffer) return false;
    int n = Read(buffer, kSearchWindow);  // file offsets 7 .. 7 + n - 1
    for (int i = 0; i < n; ++i) {
      if (buffer[i] != 0x52) continue;
      if (i + 3 < n && IsOldFormatAt(buffer + i) && n >= 25 && memcmp(buffer + 21, kOldSfxTag, 4) == 0) break;
      if (i + 9 < n && IsMarkerAt(buffer + i) && buffer[i + 9] == kTypeMain) {
        found = kMarkerSize + i;
        break;
      }
    }
    free(buffer);
    if (found < 0) return false;
  }
  if (!ReadAt(found, head, sizeof(head))) return false;
  archiveOffset_ = found;
  solidArchive_ = (Get16(head + kMarkerSize + 3) & 0x0008) != 0;
  nextBlock_ = found + kMarkerSize + kMainHeaderSize;
  return true;
}

int RarReader::ReadNextFileHeader(TRARHeader& header) {
  haveEntry_ = false;
  if (!IsOpenFile(file_)) return -1;
  for (;;) {
    int64_t start = nextBlock_;
    uint8_t p[kPrefixSize];
    if (!Seek(start)) return -1;
    int n = Read(p, kPrefixSize);
    // Ending exactly at the file's end is an archive without an end block;
    // ending in a block, its header or its data, is a file cut short.
    if (n == 0) cutShort_ = start > FileHandleSize(file_);
    if (n > 0) cutShort_ = n < 7;
    if (n < 7) return -1;
    uint32_t flags = Get16(p + 3);
    uint32_t headSize = Get16(p + 5);
    if (headSize < 7 || p[2] == kTypeEnd) return -1;
    int64_t next = start + headSize;
    if (flags & kFlagLongBlock) {
      cutShort_ = n < 11;
      if (cutShort_) return -1;
      next += Get32(p + 7);
    }
    if (next <= start) return -1;
    nextBlock_ = next;
    if (p[2] != kTypeFile) continue;
    cutShort_ = n < kPrefixSize;
    if (cutShort_) return -1;

    uint8_t name[kMaxNameSize + 1];
    int nameSize = int(Get16(p + 26));
    if (nameSize > kMaxNameSize) nameSize = kMaxNameSize;
    cutShort_ = Read(name, nameSize) != nameSize;
    if (cutShort_) return -1;
    // Archivers before unpack version 20 mark a folder made on MS-DOS only
    // by its attribute; unpacked as a file it would stand where the
    // folder's own entries must go.
    bool dosFolder = p[24] < 20 && p[15] == 0 && (p[28] & kAttrDirectory);
    if ((flags & kFlagDirectory) == kFlagDirectory || dosFolder) continue;

    String raw(reinterpret_cast<const char*>(name), nameSize);
    raw.TrimAtZero();
    for (int i = 0; i < raw.Length(); ++i)
      if (raw[i] == '/') raw[i] = '\\';
    header_.EntryName = OemToAnsiStr(CleanName(raw));
    header_.HeaderFlags = flags;
    header_.PackedSize = Get32(p + 7);
    header_.UnpackedSize = Get32(p + 11);
    header_.HostSystem = p[15];
    header_.DataCRC = Get32(p + 16);
    header_.ModTime = Get32(p + 20);
    header_.UnpackVersion = p[24];
    header_.MethodCode = p[25];
    header_.Attributes = Get32(p + 28);
    if (header_.HostSystem > 3) {
      header_.HostSystem = 0;
      header_.Attributes = kAttrArchive;
    }
    blockStart_ = start;
    haveEntry_ = true;
    header = header_;
    return 0;
  }
}

int RarReader::ProcessEntry(TArchiveOperation operation, const char* destPath, const char* destName,
                            const char* password, TArcProgress* progress) {
  if (!haveEntry_) return kEntryOk;
  progress_ = progress;
  if (mode_ == kOpenList) {
    haveEntry_ = false;
    return kEntryOk;
  }
  testMode_ = operation != aoExtract;
  if (operation == aoExtract) {
    int created = CreateOutput(destPath, destName);
    if (created != kEntryOk) return created;  // still on this entry
  } else if (operation == aoSkip && !solidArchive_) {
    haveEntry_ = false;
    if (progress && !progress->OnProgress(header_.EntryName, header_.UnpackedSize, true))
      return kEntryAborted;
    return kEntryOk;
  }
  haveEntry_ = false;

  // Packed data end where the next block starts.
  int64_t dataStart = nextBlock_ - int64_t(header_.PackedSize);
  packedLeft_ = dataStart >= blockStart_ && Seek(dataStart) ? header_.PackedSize : 0;
  unpackedLeft_ = header_.UnpackedSize;
  crc_ = 0xFFFFFFFFu;
  produced_ = 0;
  writeFailed_ = false;
  pendingPos_ = pendingEnd_ = 0;
  cipher_.Clear();
  if (password && *password && (header_.HeaderFlags & kFlagEncrypted))
    cipher_.Start(int(header_.UnpackVersion), password, int(strlen(password)));

  int result;
  if (header_.MethodCode == kMethodStore) {
    result = CopyStored();
    if (result == kEntryNoMemory) return result;
  } else {
    bool solid = (header_.HeaderFlags & kFlagSolid) != 0;
    result = decoder_.DecodeEntry(*this, solid, header_.UnpackedSize) == DecodeResult::kStopped
                 ? kEntryAborted
                 : kEntryOk;
  }
  cipher_.Clear();
  // A part of a file split over volumes carries the CRC of its own bytes:
  // the size tells that the file is not all here.
  if (~crc_ != header_.DataCRC || produced_ < header_.UnpackedSize) result = kEntryBadData;
  if (writeFailed_) result = kEntryCannotCreate;
  if (IsOpenFile(output_)) FinishOutput(result);
  return result;
}

int RarReader::CreateOutput(const char* destPath, const char* destName) {
  String name;
  if (destName && *destName) {
    name = destName;
  } else {
    if (!StaysInside(header_.EntryName)) return kEntryCannotCreate;
    if (destPath && *destPath) {
      name = destPath;
      if (name.Last() != '/') name = AddBackslash(name);
    }
    name += header_.EntryName;
  }
  for (int i = 0; i < name.Length(); ++i) {
    if (name[i] == '\\' || name[i] == '/') name[i] = kPathDelimiter;
  }
  // Mostly the folders exist and no file is in the way: one call. Else every
  // folder along the way is made (those that exist, and a drive, just fail),
  // a read-only, hidden or system file in the place is made normal, and the
  // file is created again.
  output_ = OpenFileHandle(name, kFileWrite, kShareNone, kAttrNormal, kCreateAlways);
  if (!IsOpenFile(output_)) {
    for (int i = 0; i < name.Length(); ++i) {
      if (IsLeadByte(name[i])) {
        ++i;
      } else if (i > 0 && name[i] == kPathDelimiter) {
        CreateFolder(name.Copy(1, i));
      }
    }
    SetEntryAttributes(name, kAttrNormal);
    output_ = OpenFileHandle(name, kFileWrite, kShareNone, kAttrNormal, kCreateAlways);
  }
  if (!IsOpenFile(output_)) return kEntryCannotCreate;
  outputName_ = name;
  return kEntryOk;
}

void RarReader::FinishOutput(int result) {
  SetFileDosTime(output_, header_.ModTime);
  CloseFileHandle(output_);
  if (result == kEntryOk) {
    uint32_t attributes = AttributesToApply(header_);
    if (!CreatedWith(attributes)) SetEntryAttributes(outputName_, attributes);
  } else {
    RemoveFileForced(outputName_);
  }
}

int RarReader::CopyStored() {
  uint8_t* piece = static_cast<uint8_t*>(malloc(kStorePiece));
  if (!piece) {
    if (IsOpenFile(output_)) FinishOutput(kEntryNoMemory);
    CloseArchiveFile();
    return kEntryNoMemory;
  }
  // Only UNP_SIZE bytes are the file: an enciphered entry's packed data are
  // padded to whole cipher blocks.
  // Each piece is reported, as decoded data are: a large stored file moves
  // the caller's progress and can be stopped while it is written.
  int n;
  int result = kEntryOk;
  while (unpackedLeft_ > 0 && (n = ReadPacked(piece, kStorePiece)) > 0) {
    if (uint32_t(n) > unpackedLeft_) n = int(unpackedLeft_);
    WriteOutput(piece, n);
    if (!Progress(uint32_t(n))) {
      result = kEntryAborted;
      break;
    }
  }
  free(piece);
  return result;
}

int RarReader::ReadPacked(uint8_t* buffer, int count) {
  int block = cipher_.Active() ? cipher_.BlockSize() : 1;
  int done = 0;
  while (done < count) {
    if (pendingPos_ < pendingEnd_) {
      buffer[done++] = pending_[pendingPos_++];
      continue;
    }
    if (packedLeft_ == 0) break;
    uint32_t want = uint32_t(count - done);
    if (want > packedLeft_) want = packedLeft_;
    want -= want % uint32_t(block);
    if (want == 0) {
      // Less than one cipher block asked for or left: decipher a whole
      // block aside and hand it out from there.
      memset(pending_, 0, sizeof(pending_));
      int got = Read(pending_, packedLeft_ < uint32_t(block) ? int(packedLeft_) : block);
      packedLeft_ = got > 0 ? packedLeft_ - uint32_t(got) : 0;
      cipher_.Decipher(pending_, size_t(block));
      pendingPos_ = 0;
      pendingEnd_ = got;
      continue;
    }
    int got = Read(buffer + done, int(want));
    if (got <= 0) {
      packedLeft_ = 0;
      break;
    }
    packedLeft_ -= uint32_t(got);
    cipher_.Decipher(buffer + done, size_t(got - got % block));
    done += got;
  }
  return done;
}

void RarReader::WriteOutput(const uint8_t* data, int count) {
  crc_ = UpdateCrc32(crc_, data, size_t(count));
  produced_ += uint32_t(count);
  unpackedLeft_ = uint32_t(count) < unpackedLeft_ ? unpackedLeft_ - uint32_t(count) : 0;
  if (!testMode_ && IsOpenFile(output_) && !writeFailed_ && !FileWrite(output_, data, count))
    writeFailed_ = true;
}

bool RarReader::Progress(uint32_t count) {
  return !progress_ || progress_->OnProgress(header_.EntryName, count, testMode_);
}

}  // namespace osin
