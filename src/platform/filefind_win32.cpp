#include "platform/filefind.h"

namespace osin {

namespace {

// A failed call's error code; never 0, which would read as success.
uint32_t LastError() {
  DWORD error = GetLastError();
  return error ? error : ERROR_NO_MORE_FILES;
}

bool IsDotEntry(const char* name) {
  return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

bool Matches(const TSearchRecEx& rec) {
  uint32_t attr = rec.FindData.dwFileAttributes;
  return (attr & rec.IncludeAttr) != 0 && (attr & rec.ExcludeAttr) == 0 &&
         !IsDotEntry(rec.FindData.cFileName);
}

void FillFound(TSearchRecEx& rec) {
  const WIN32_FIND_DATAA& data = rec.FindData;
  FILETIME local;
  WORD date = 0;
  WORD time = 0;
  if (FileTimeToLocalFileTime(&data.ftLastWriteTime, &local)) FileTimeToDosDateTime(&local, &date, &time);
  rec.Time = (static_cast<uint32_t>(date) << 16) | time;
  rec.Size = (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  rec.Attr = data.dwFileAttributes;
  rec.Name = data.cFileName;
}

// Passes over entries that do not match, starting with the current one.
uint32_t FindMatch(TSearchRecEx& rec) {
  while (!Matches(rec)) {
    if (!FindNextFileA(rec.FindHandle, &rec.FindData)) return LastError();
  }
  FillFound(rec);
  return 0;
}

}  // namespace

TSearchRecEx::~TSearchRecEx() {
  SearchClose(*this);
}

uint32_t SearchFirst(const String& pattern, uint32_t includeAttr, uint32_t excludeAttr, TSearchRecEx& rec) {
  SearchClose(rec);
  rec.IncludeAttr = SearchIncludeMask(includeAttr);
  rec.ExcludeAttr = excludeAttr;
  rec.FindHandle = FindFirstFileA(pattern.c_str(), &rec.FindData);
  if (rec.FindHandle == INVALID_HANDLE_VALUE) return LastError();
  uint32_t result = FindMatch(rec);
  if (result != 0) SearchClose(rec);
  return result;
}

uint32_t SearchNext(TSearchRecEx& rec) {
  if (rec.FindHandle == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
  if (!FindNextFileA(rec.FindHandle, &rec.FindData)) return LastError();
  return FindMatch(rec);
}

void SearchClose(TSearchRecEx& rec) {
  if (rec.FindHandle != INVALID_HANDLE_VALUE) FindClose(rec.FindHandle);
  rec.FindHandle = INVALID_HANDLE_VALUE;
}

}  // namespace osin
