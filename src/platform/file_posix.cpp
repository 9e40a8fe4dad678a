// File utilities on POSIX systems, for osin-pack and the native tests.
// A FileHandle holds the descriptor plus one, so that descriptor 0 does not
// read as the closed value 0.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include "platform/file.h"

namespace osin {

namespace {

int Descriptor(FileHandle handle) {
  return IsOpenFile(handle) ? static_cast<int>(reinterpret_cast<intptr_t>(handle) - 1) : -1;
}

FileHandle HandleOf(int fd) {
  return fd < 0 ? InvalidFileHandle() : reinterpret_cast<FileHandle>(static_cast<intptr_t>(fd) + 1);
}

int OpenFlags(uint32_t access, FileCreation creation) {
  int flags = O_CLOEXEC;
  bool read = access & kFileRead;
  bool write = access & kFileWrite;
  flags |= read && write ? O_RDWR : (write ? O_WRONLY : O_RDONLY);
  switch (creation) {
    case kCreateNew:
      return flags | O_CREAT | O_EXCL;
    case kCreateAlways:
      return flags | O_CREAT | O_TRUNC;
    case kOpenAlways:
      return flags | O_CREAT;
    case kTruncateExisting:
      return flags | O_TRUNC;
    case kOpenExisting:
      break;
  }
  return flags;
}

bool Stat(const String& path, struct stat& st) {
  return !path.IsEmpty() && stat(path.c_str(), &st) == 0;
}

}  // namespace

// File handles ----------------------------------------------------------

FileHandle OpenFileHandle(const String& path, uint32_t access, uint32_t /*share*/, uint32_t /*attributes*/,
                          FileCreation creation) {
  int fd = open(path.c_str(), OpenFlags(access, creation), 0666);
  // Only reading opens a folder; writing one fails by itself.
  struct stat st;
  if (fd >= 0 && !(access & kFileWrite) && fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    close(fd);
    fd = -1;
  }
  return HandleOf(fd);
}

void CloseFileHandle(FileHandle& handle) {
  if (IsOpenFile(handle)) close(Descriptor(handle));
  handle = nullptr;
}

int FileRead(FileHandle handle, void* buffer, int count) {
  if (count < 0) return -1;
  ssize_t got;
  do {
    got = read(Descriptor(handle), buffer, count);
  } while (got < 0 && errno == EINTR);
  return got < 0 ? -1 : static_cast<int>(got);
}

bool FileWrite(FileHandle handle, const void* buffer, int count) {
  const char* p = static_cast<const char*>(buffer);
  while (count > 0) {
    ssize_t n = write(Descriptor(handle), p, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    count -= static_cast<int>(n);
  }
  return count == 0;
}

int64_t FileSeek(FileHandle handle, int64_t offset, SeekOrigin origin) {
  int whence = origin == kSeekFromStart ? SEEK_SET : (origin == kSeekFromEnd ? SEEK_END : SEEK_CUR);
  off_t r = lseek(Descriptor(handle), static_cast<off_t>(offset), whence);
  return r < 0 ? -1 : static_cast<int64_t>(r);
}

int64_t CurrentOffset(FileHandle handle) {
  return FileSeek(handle, 0, kSeekFromCurrent);
}

int64_t FileHandleSize(FileHandle handle) {
  struct stat st;
  if (fstat(Descriptor(handle), &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool FileTruncate(FileHandle handle) {
  off_t here = lseek(Descriptor(handle), 0, SEEK_CUR);
  return here >= 0 && ftruncate(Descriptor(handle), here) == 0;
}

bool FileFlush(FileHandle handle) {
  return fsync(Descriptor(handle)) == 0;
}

bool SetFileDosTime(FileHandle handle, uint32_t dosTime) {
  struct tm t = {};
  t.tm_year = static_cast<int>((dosTime >> 25) & 0x7F) + 80;
  t.tm_mon = static_cast<int>((dosTime >> 21) & 0x0F) - 1;
  t.tm_mday = static_cast<int>((dosTime >> 16) & 0x1F);
  t.tm_hour = static_cast<int>((dosTime >> 11) & 0x1F);
  t.tm_min = static_cast<int>((dosTime >> 5) & 0x3F);
  t.tm_sec = static_cast<int>(dosTime & 0x1F) * 2;
  t.tm_isdst = -1;
  // The entries of an archive mostly share a few times, and each mktime
  // looks at the time zone file again.
  static uint32_t lastDosTime = 0;
  static time_t lastWhen = static_cast<time_t>(-1);
  time_t when = dosTime == lastDosTime ? lastWhen : mktime(&t);
  if (when == static_cast<time_t>(-1)) return false;
  lastDosTime = dosTime;
  lastWhen = when;
  struct timespec times[2] = {{when, 0}, {when, 0}};
  return futimens(Descriptor(handle), times) == 0;
}

// Paths and folders -----------------------------------------------------

String ProgramFile() {
  String path;
  for (int size = 256;; size *= 2) {
    path.SetLength(size);
    ssize_t n = readlink("/proc/self/exe", path.Buffer(), static_cast<size_t>(size));
    if (n <= 0) return String();
    if (n < size) {
      path.SetLength(static_cast<int>(n));
      return path;
    }
  }
}

bool CreateFolder(const String& path) {
  return mkdir(path.c_str(), 0777) == 0;
}

bool SetEntryAttributes(const String& path, uint32_t attributes) {
  struct stat st;
  if (!Stat(path, st)) return false;
  mode_t mode = st.st_mode & 07777;
  mode = (attributes & kAttrReadOnly) ? mode & ~static_cast<mode_t>(0222) : mode | S_IWUSR;
  return mode == (st.st_mode & 07777) || chmod(path.c_str(), mode) == 0;
}

bool CreatedWith(uint32_t /*attributes*/) {
  return false;
}

bool FolderExists(const String& path) {
  struct stat st;
  return Stat(path, st) && S_ISDIR(st.st_mode);
}

bool FileExists(const String& path) {
  struct stat st;
  return Stat(path, st) && !S_ISDIR(st.st_mode);
}

bool EntryExists(const String& path) {
  struct stat st;
  return !path.IsEmpty() && lstat(path.c_str(), &st) == 0;
}

bool ForceFolders(const String& path) {
  if (path.IsEmpty()) return false;
  // Each prefix ending before a "/" is a level; the path itself the last.
  for (int i = 1; i <= path.Length(); ++i) {
    if (i == path.Length() || path[i] == '/') {
      String level = path.Copy(1, i);
      if (!FolderExists(level)) mkdir(level.c_str(), 0777);
    }
  }
  return FolderExists(path);
}

bool DeleteTree(const String& folder, bool removeRoot) {
  if (!FolderExists(folder)) return false;
  String base = folder.Last() == '/' ? folder : folder + "/";
  DIR* dir = opendir(folder.c_str());
  if (!dir) return false;
  bool ok = true;
  while (struct dirent* entry = readdir(dir)) {
    String name(entry->d_name);
    String path = base + name;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) {
      ok = false;
      continue;
    }
    uint32_t attributes = S_ISDIR(st.st_mode) ? kAttrDirectory : kAttrArchive;
    switch (ClassifyTreeEntry(name, attributes)) {
      case TreeEntry::kPassOver:
        break;
      case TreeEntry::kFolder:
        ok = DeleteTree(path, removeRoot) && ok;
        break;
      case TreeEntry::kFile:
        // Symbolic links land here (lstat): the link goes, not its target.
        ok = RemoveFileForced(path) && ok;
        break;
    }
  }
  closedir(dir);
  if (removeRoot && ok) ok = rmdir(folder.c_str()) == 0;
  return ok;
}

String ShortPathOf(const String& path) {
  return path;
}

int64_t FileSizeOf(const String& path) {
  struct stat st;
  if (!Stat(path, st)) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool RemoveFileForced(const String& path) {
  // Write permission of the file itself does not matter to unlink.
  return unlink(path.c_str()) == 0;
}

int64_t FreeDiskKB(const String& folder) {
  if (!FolderExists(folder)) return 0;
  struct statvfs vfs;
  if (statvfs(folder.c_str(), &vfs) != 0) return 0;
  uint64_t blocks = vfs.f_bavail;
  uint64_t blockSize = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
  uint64_t kbPerBlock = blockSize >> 10;
  if (kbPerBlock && blocks > static_cast<uint64_t>(INT64_MAX) / kbPerBlock) return INT64_MAX;
  return static_cast<int64_t>(kbPerBlock ? blocks * kbPerBlock : (blocks * blockSize) >> 10);
}

// Copying ---------------------------------------------------------------

bool CopyLastWriteTime(FileHandle from, FileHandle to) {
  struct stat st;
  if (fstat(Descriptor(from), &st) != 0) return false;
  struct timespec times[2] = {st.st_atim, st.st_mtim};
  return futimens(Descriptor(to), times) == 0;
}

bool CopyAttributes(const String& from, const String& to) {
  struct stat st;
  return Stat(from, st) && chmod(to.c_str(), st.st_mode & 07777) == 0;
}

}  // namespace osin
