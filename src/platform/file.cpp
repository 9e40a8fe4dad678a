// The parts of the file utilities that only need the handle primitives.
#include <stdlib.h>

#include "platform/file.h"
#include "platform/strutils.h"
#include "platform/text.h"

namespace osin {

// Lines -----------------------------------------------------------------

bool AtFileEnd(FileHandle handle) {
  int64_t position = CurrentOffset(handle);
  int64_t size = FileHandleSize(handle);
  return position < 0 || size < 0 || position >= size;
}

String ReadTextLine(FileHandle handle) {
  // Pieces of 100 bytes: lines are short, and the position is set back to
  // the line end after every piece anyway.
  const int kPiece = 100;
  char piece[kPiece + 1];
  String line;
  for (;;) {
    int got = FileRead(handle, piece, kPiece);
    // A failed read would leave the position where it is, and a caller
    // looping until AtFileEnd would never get there.
    if (got < 0) FileSeek(handle, 0, kSeekFromEnd);
    if (got <= 0) return line;
    int end = 0;
    while (end < got && piece[end] != '\r' && piece[end] != '\n') ++end;
    line.Append(piece, end);
    if (end == got) continue;
    int next = end + 1;
    if (piece[end] == '\r') {
      // A CR at the end of the piece: its LF, if any, is the next byte.
      if (next == got && FileRead(handle, piece + got, 1) == 1) ++got;
      if (next < got && piece[next] == '\n') ++next;
    }
    FileSeek(handle, next - got, kSeekFromCurrent);
    return line;
  }
}

bool WriteTextLine(FileHandle handle, const String& text) {
  return FileWrite(handle, text.Data(), text.Length()) && FileWrite(handle, "\r\n", 2);
}

// Paths -----------------------------------------------------------------

int NextBackslash(const String& path, int from) {
  for (int i = from - 1, n = path.Length(); i < n; ++i) {
    if (path[i] == '\\') return i + 1;
    if (IsLeadByte(path[i])) ++i;
  }
  return 0;
}

int LastBackslash(const String& path) {
  int last = 0;
  for (int at = 0; (at = NextBackslash(path, at + 1)) != 0;) last = at;
  return last;
}

String PathFileName(const String& path) {
  return path.Copy(LastBackslash(path) + 1, path.Length());
}

String PathFolder(const String& path) {
  return path.Copy(1, LastBackslash(path));
}

String AddBackslash(const String& path) {
  if (path.IsEmpty() || LastBackslash(path) == path.Length()) return path;
  return path + '\\';
}

String StripBackslash(const String& path) {
  int n = path.Length();
  if (n <= 1 || LastBackslash(path) != n) return path;
  if (n == 3 && path[1] == ':') return path;
  return path.Copy(1, n - 1);
}

TreeEntry ClassifyTreeEntry(const String& name, uint32_t attributes) {
  if (name.IsEmpty() || name == "." || name == "..") return TreeEntry::kPassOver;
  if (attributes & kAttrDirectory) return TreeEntry::kFolder;
  if (attributes & kAttrVolumeLabel) return TreeEntry::kPassOver;
  return TreeEntry::kFile;
}

// Free space ------------------------------------------------------------

int64_t FreeKBFromClusters(uint32_t bytesPerSector, uint32_t sectorsPerCluster, uint32_t freeClusters) {
  // The first product fits 64 bits; the second may not. (Checked without a
  // division, which on i686 would pull in a runtime helper.)
  uint64_t clusterBytes = static_cast<uint64_t>(bytesPerSector) * sectorsPerCluster;
  uint64_t clusterKB = clusterBytes >> 10;
  uint64_t limit = static_cast<uint64_t>(INT64_MAX);
  uint64_t kb = 0;
  if (__builtin_mul_overflow(clusterKB, static_cast<uint64_t>(freeClusters), &kb) || kb > limit)
    return INT64_MAX;
  // Whole kilobytes of the clusters' remainders are added separately, so
  // clusters smaller than 1 KB are not lost.
  uint64_t rest = (clusterBytes & 1023) * freeClusters >> 10;
  if (rest > limit - kb) return INT64_MAX;
  return static_cast<int64_t>(kb + rest);
}

// Unique names ----------------------------------------------------------

namespace {

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Days before the first of each month in a common year.
const int kDaysBeforeMonth[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
static_assert(sizeof(kDaysBeforeMonth) / sizeof(kDaysBeforeMonth[0]) == 12, "one per month");

}  // namespace

String UniqueNameAt(const LocalStamp& stamp) {
  int month = stamp.month < 1 ? 1 : (stamp.month > 12 ? 12 : stamp.month);
  int dayOfYear = kDaysBeforeMonth[month - 1] + stamp.day;
  if (month > 2 && IsLeapYear(stamp.year)) ++dayOfYear;
  int y = stamp.year % 10;
  int day = dayOfYear + 365 * y + y / 4;
  int hundredths = stamp.hour * 360000 + stamp.minute * 6000 + stamp.second * 100 + stamp.millisecond / 10;
  return IntToBase(day, 3, 32) + IntToBase(hundredths, 5, 32);
}

// Copying ---------------------------------------------------------------

namespace {

// The two open files of a copy and the way back should it fail.
struct CopyFiles {
  FileHandle source = nullptr;
  FileHandle target = nullptr;
  bool targetExisted = false;
  int64_t targetLength = 0;  // where an appended copy started
};

// Leaves Target as it was before the copy: a file the copy created is
// deleted, an appended one is cut back.
void UndoCopy(CopyFiles& files, const String& target) {
  CloseFileHandle(files.source);
  if (files.targetExisted) {
    FileSeek(files.target, files.targetLength, kSeekFromStart);
    FileTruncate(files.target);
    CloseFileHandle(files.target);
  } else {
    CloseFileHandle(files.target);
    RemoveFileForced(target);
  }
}

bool CopyContents(CopyFiles& files, const String& source, const String& target, int64_t size,
                  CopyProgressFn progress, void* context) {
  const int kChunk = 0x20000;
  char* buffer = static_cast<char*>(malloc(kChunk));
  if (!buffer) return false;
  bool ok = true;
  int64_t copied = 0;
  while (ok && copied < size) {
    int64_t left = size - copied;
    int want = left < kChunk ? static_cast<int>(left) : kChunk;
    int got = FileRead(files.source, buffer, want);
    // No bytes before the noted size is reached: the source ended early.
    ok = got > 0 && FileWrite(files.target, buffer, got);
    if (!ok) break;
    FileFlush(files.target);
    copied += got;
    if (progress) ok = progress(context, source, target, got, size, copied);
  }
  free(buffer);
  return ok;
}

}  // namespace

bool CopyFileWithProgress(const String& source, const String& target, CopyProgressFn progress, void* context,
                          bool append) {
  int64_t size = FileSizeOf(source);
  if (size < 0 || !FileExists(source)) return false;
  CopyFiles files;
  files.source = OpenFileHandle(source, kFileRead, kShareRead, kAttrNormal, kOpenExisting);
  if (!IsOpenFile(files.source)) return false;
  files.targetExisted = append && FileExists(target);
  files.target =
      OpenFileHandle(target, kFileWrite, kShareRead, kAttrNormal, append ? kOpenAlways : kCreateAlways);
  if (!IsOpenFile(files.target)) {
    CloseFileHandle(files.source);
    return false;
  }
  if (append) {
    files.targetLength = FileSeek(files.target, 0, kSeekFromEnd);
    if (files.targetLength < 0) {
      UndoCopy(files, target);
      return false;
    }
  }
  if (!CopyContents(files, source, target, size, progress, context)) {
    UndoCopy(files, target);
    return false;
  }
  CopyLastWriteTime(files.source, files.target);
  CloseFileHandle(files.source);
  CloseFileHandle(files.target);
  CopyAttributes(source, target);
  return true;
}

int64_t RequiredKB(int64_t bytes) {
  int64_t whole = bytes / 1024;
  int64_t rest = bytes % 1024;
  if (rest > 512 || (rest == 512 && (whole & 1))) ++whole;
  return whole;
}

}  // namespace osin
