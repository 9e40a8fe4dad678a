#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include "archive/arcfile.h"

namespace osin {

const char kArcPathDelimiter = '/';

bool ArcFile::OpenRead(const char* path) {
  Close();
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  handle_ = fd;
  position_ = 0;
  return true;
}

bool ArcFile::Create(const char* path) {
  Close();
  int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  handle_ = fd;
  position_ = 0;
  return true;
}

void ArcFile::Close() {
  if (handle_ != kNoHandle) close(int(handle_));
  handle_ = kNoHandle;
}

int ArcFile::Read(void* buffer, int count) {
  int done = 0;
  while (done < count) {
    ssize_t n = read(int(handle_), static_cast<char*>(buffer) + done, size_t(count - done));
    if (n <= 0) break;
    done += int(n);
  }
  position_ += done;
  return done;
}

bool ArcFile::Write(const void* data, int count) {
  int done = 0;
  while (done < count) {
    ssize_t n = write(int(handle_), static_cast<const char*>(data) + done, size_t(count - done));
    if (n <= 0) break;
    done += int(n);
  }
  position_ += done;
  return done == count;
}

bool ArcFile::Seek(int64_t position) {
  if (position < 0 || lseek(int(handle_), off_t(position), SEEK_SET) < 0) return false;
  position_ = position;
  return true;
}

int64_t ArcFile::Size() {
  struct stat st;
  return fstat(int(handle_), &st) == 0 ? int64_t(st.st_size) : -1;
}

bool ArcFile::SetDosTime(uint32_t dosTime) {
  struct tm t = {};
  t.tm_year = int((dosTime >> 25) & 0x7F) + 80;
  t.tm_mon = int((dosTime >> 21) & 0x0F) - 1;
  t.tm_mday = int((dosTime >> 16) & 0x1F);
  t.tm_hour = int((dosTime >> 11) & 0x1F);
  t.tm_min = int((dosTime >> 5) & 0x3F);
  t.tm_sec = int(dosTime & 0x1F) * 2;
  t.tm_isdst = -1;
  time_t when = mktime(&t);
  if (when == time_t(-1)) return false;
  struct timespec times[2] = {{when, 0}, {when, 0}};
  return futimens(int(handle_), times) == 0;
}

bool ArcMakeDirectory(const char* path) {
  return mkdir(path, 0777) == 0;
}

bool ArcSetAttributes(const char* path, uint32_t attributes) {
  struct stat st;
  if (stat(path, &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  mode = (attributes & 0x01) ? mode & ~mode_t(0222) : mode | S_IWUSR;
  return chmod(path, mode) == 0;
}

bool ArcDeleteFile(const char* path) {
  return unlink(path) == 0;
}

String ArcModulePath() {
  char buffer[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  return n > 0 ? String(buffer, int(n)) : String();
}

}  // namespace osin
