#include <windows.h>

#include "archive/arcfile.h"

namespace osin {

const char kArcPathDelimiter = '\\';

namespace {

inline HANDLE H(intptr_t h) {
  return reinterpret_cast<HANDLE>(h);
}

}  // namespace

bool ArcFile::OpenRead(const char* path) {
  Close();
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<intptr_t>(h);
  position_ = 0;
  return true;
}

bool ArcFile::Create(const char* path) {
  Close();
  HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<intptr_t>(h);
  position_ = 0;
  return true;
}

void ArcFile::Close() {
  if (handle_ != kNoHandle) CloseHandle(H(handle_));
  handle_ = kNoHandle;
}

int ArcFile::Read(void* buffer, int count) {
  DWORD n = 0;
  if (!ReadFile(H(handle_), buffer, DWORD(count), &n, nullptr)) n = 0;
  position_ += n;
  return int(n);
}

bool ArcFile::Write(const void* data, int count) {
  DWORD n = 0;
  BOOL ok = WriteFile(H(handle_), data, DWORD(count), &n, nullptr);
  position_ += n;
  return ok && int(n) == count;
}

bool ArcFile::Seek(int64_t position) {
  if (position < 0) return false;
  LONG high = LONG(position >> 32);
  DWORD low = SetFilePointer(H(handle_), LONG(position & 0xFFFFFFFF), &high, FILE_BEGIN);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return false;
  position_ = position;
  return true;
}

int64_t ArcFile::Size() {
  DWORD high = 0;
  DWORD low = GetFileSize(H(handle_), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return -1;
  return int64_t(high) << 32 | low;
}

bool ArcFile::SetDosTime(uint32_t dosTime) {
  FILETIME local, utc;
  if (!DosDateTimeToFileTime(WORD(dosTime >> 16), WORD(dosTime & 0xFFFF), &local)) return false;
  if (!LocalFileTimeToFileTime(&local, &utc)) return false;
  return SetFileTime(H(handle_), nullptr, nullptr, &utc) != 0;
}

bool ArcMakeDirectory(const char* path) {
  return CreateDirectoryA(path, nullptr) != 0;
}

bool ArcSetAttributes(const char* path, uint32_t attributes) {
  return SetFileAttributesA(path, attributes) != 0;
}

bool ArcDeleteFile(const char* path) {
  return DeleteFileA(path) != 0;
}

String ArcModulePath() {
  char buffer[MAX_PATH + 1];
  DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  return n > 0 && n < MAX_PATH ? String(buffer, int(n)) : String();
}

}  // namespace osin
