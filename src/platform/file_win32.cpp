// File utilities on Win32. Only calls that every supported Windows has are
// used directly (no GetFileAttributesEx, SetFilePointerEx or GetFileSizeEx,
// which the 95 line lacks); GetDiskFreeSpaceExA is looked up at run time.
#include <windows.h>

#include "platform/file.h"
#include "platform/filefind.h"
#include "platform/osversion.h"
#include "platform/text.h"
#include "platform/winproc.h"

namespace osin {

static_assert(kFileRead == GENERIC_READ && kFileWrite == GENERIC_WRITE, "access values are Windows' own");
static_assert(kShareRead == FILE_SHARE_READ && kShareWrite == FILE_SHARE_WRITE,
              "sharing values are Windows' own");
static_assert(kCreateAlways == CREATE_ALWAYS && kOpenAlways == OPEN_ALWAYS && kOpenExisting == OPEN_EXISTING,
              "creation values are Windows' own");
static_assert(kSeekFromEnd == FILE_END && kSeekFromCurrent == FILE_CURRENT, "seek origins are Windows' own");

// File handles ----------------------------------------------------------

FileHandle OpenFileHandle(const String& path, uint32_t access, uint32_t share, uint32_t attributes,
                          FileCreation creation) {
  return CreateFileA(path.c_str(), access, share, nullptr, creation, attributes, nullptr);
}

void CloseFileHandle(FileHandle& handle) {
  if (IsOpenFile(handle)) CloseHandle(handle);
  handle = nullptr;
}

int FileRead(FileHandle handle, void* buffer, int count) {
  DWORD got = 0;
  if (count < 0 || !ReadFile(handle, buffer, count, &got, nullptr)) return -1;
  return static_cast<int>(got);
}

bool FileWrite(FileHandle handle, const void* buffer, int count) {
  DWORD written = 0;
  if (count < 0 || !WriteFile(handle, buffer, count, &written, nullptr)) return false;
  return written == static_cast<DWORD>(count);
}

int64_t FileSeek(FileHandle handle, int64_t offset, SeekOrigin origin) {
  LONG high = static_cast<LONG>(offset >> 32);
  // The low part may legitimately be all ones, so only the error code tells.
  SetLastError(NO_ERROR);
  DWORD low = SetFilePointer(handle, static_cast<LONG>(offset & 0xFFFFFFFF), &high, origin);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return -1;
  return (static_cast<int64_t>(high) << 32) | low;
}

int64_t CurrentOffset(FileHandle handle) {
  return FileSeek(handle, 0, kSeekFromCurrent);
}

int64_t FileHandleSize(FileHandle handle) {
  DWORD high = 0;
  SetLastError(NO_ERROR);
  DWORD low = GetFileSize(handle, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return -1;
  return (static_cast<int64_t>(high) << 32) | low;
}

bool FileTruncate(FileHandle handle) {
  return SetEndOfFile(handle) != 0;
}

bool FileFlush(FileHandle handle) {
  return FlushFileBuffers(handle) != 0;
}

bool SetFileDosTime(FileHandle handle, uint32_t dosTime) {
  // Archives keep the packer's local time, so a file packed east of here
  // minutes ago would be dated hours ahead; the uninstaller takes a file
  // dated after its log for the user's own work and would never remove it.
  // No file is dated later than now.
  SYSTEMTIME t;
  GetLocalTime(&t);
  uint32_t now = (t.wYear - 1980u) << 25 | t.wMonth << 21 | t.wDay << 16 | t.wHour << 11 | t.wMinute << 5 |
                 t.wSecond >> 1;
  if (dosTime > now) dosTime = now;
  FILETIME local, utc;
  return DosDateTimeToFileTime(static_cast<WORD>(dosTime >> 16), static_cast<WORD>(dosTime), &local) &&
         LocalFileTimeToFileTime(&local, &utc) && SetFileTime(handle, nullptr, nullptr, &utc);
}

// Paths and folders -----------------------------------------------------

String ProgramFile() {
  // The buffer grows until the name fits: GetModuleFileName cuts a longer
  // one short and reports the buffer's size.
  String path;
  for (int size = MAX_PATH;; size *= 2) {
    path.SetLength(size);
    DWORD n = GetModuleFileNameA(nullptr, path.Buffer(), size);
    if (n < static_cast<DWORD>(size)) {
      path.SetLength(static_cast<int>(n));
      break;
    }
  }
  // A download folder in another script.
  wchar_t wide[MAX_PATH];
  if (path.Pos('?') && GetModuleFileNameW(nullptr, wide, MAX_PATH)) TakeShortForm(path, wide);
  return path;
}

void TakeShortForm(String& path, wchar_t* wide) {
  char ansi[MAX_PATH];
  if (GetShortPathNameW(wide, wide, MAX_PATH) &&
      WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, MAX_PATH, nullptr, nullptr))
    path = String(ansi);
}

bool CreateFolder(const String& path) {
  return CreateDirectoryA(path.c_str(), nullptr) != 0;
}

bool SetEntryAttributes(const String& path, uint32_t attributes) {
  return SetFileAttributesA(path.c_str(), attributes) != 0;
}

bool CreatedWith(uint32_t attributes) {
  return attributes == kAttrArchive;
}

bool FolderExists(const String& path) {
  DWORD attr = GetFileAttributesA(path.c_str());
  return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileExists(const String& path) {
  DWORD attr = GetFileAttributesA(path.c_str());
  return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

bool EntryExists(const String& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

void CreateFolderChain(const String& path) {
  if (path.IsEmpty()) return;
  String folder = StripBackslash(path);
  if (folder.Length() <= 2 || FolderExists(folder)) return;
  String parent = PathFolder(folder);
  if (parent != folder) CreateFolderChain(parent);
  CreateDirectoryA(folder.c_str(), nullptr);
}

}  // namespace

bool ForceFolders(const String& path) {
  CreateFolderChain(path);
  return FolderExists(path);
}

bool DeleteTree(const String& folder, bool removeRoot) {
  if (!FolderExists(folder)) return false;
  String base = AddBackslash(folder);
  bool ok = true;
  TSearchRecEx rec;
  uint32_t result = SearchFirst(base + "*.*", 0, 0, rec);
  for (; result == 0; result = SearchNext(rec)) {
    String path = base + rec.Name;
    switch (ClassifyTreeEntry(rec.Name, rec.Attr)) {
      case TreeEntry::kPassOver:
        break;
      case TreeEntry::kFolder:
        // A junction or folder link: its target is not ours to empty.
        if (rec.Attr & kAttrReparsePoint) {
          ok = RemoveDirectoryA(path.c_str()) && ok;
        } else {
          ok = DeleteTree(path, removeRoot) && ok;
        }
        break;
      case TreeEntry::kFile:
        if (rec.Attr & kAttrReadOnly) SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_ARCHIVE);
        ok = RemoveFileForced(path) && ok;
        break;
    }
  }
  SearchClose(rec);
  bool bareDrive = folder.Length() == 2 && folder[1] == ':';
  if (removeRoot && ok && result == kNoMoreFiles && !bareDrive) {
    ok = RemoveDirectoryA(StripBackslash(folder).c_str()) != 0;
  }
  return ok;
}

String ShortPathOf(const String& path) {
  String shortPath(MAX_PATH, '\0');
  DWORD n = GetShortPathNameA(path.c_str(), shortPath.Buffer(), MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return path;
  shortPath.SetLength(static_cast<int>(n));
  return shortPath;
}

String FullPathOf(const String& path) {
  String full(MAX_PATH, '\0');
  char* name = nullptr;
  DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, full.Buffer(), &name);
  if (n >= MAX_PATH) {
    full = String(static_cast<int>(n), '\0');
    n = GetFullPathNameA(path.c_str(), n, full.Buffer(), &name);
  }
  if (n == 0 || n >= static_cast<DWORD>(full.Length() + 1)) return path;
  full.SetLength(static_cast<int>(n));
  return full;
}

int64_t FileSizeOf(const String& path) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(FullPathOf(path).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return -1;
  FindClose(find);
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool RemoveFileForced(const String& path) {
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return DeleteFileA(path.c_str()) != 0;
}

// Free space ------------------------------------------------------------

String DriveRootOf(const String& path) {
  if (path.Length() >= 2 && path[1] == ':') return path.Copy(1, 2) + "\\";
  if (!path.StartsWith("\\\\")) return String();
  int server = NextBackslash(path, 3);
  int share = server ? NextBackslash(path, server + 1) : 0;
  return share ? path.Copy(1, share) : AddBackslash(path);
}

namespace {

using GetDiskFreeSpaceExFn = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);

bool HasFreeSpaceEx(const TOSVersion& os) {
  return os.Kind >= osWin98 || os.Build >= 1111;
}

}  // namespace

int64_t FreeDiskKB(const String& folder) {
  if (!FolderExists(folder)) return 0;
  if (HasFreeSpaceEx(OSVersion())) {
    auto getFreeEx =
        ProcAddress<GetDiskFreeSpaceExFn>(GetModuleHandleA("kernel32.dll"), "GetDiskFreeSpaceExA");
    ULARGE_INTEGER available, total, free;
    if (getFreeEx && getFreeEx(AddBackslash(folder).c_str(), &available, &total, &free)) {
      return static_cast<int64_t>(available.QuadPart >> 10);
    }
    if (getFreeEx) return 0;
  }
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
  String root = DriveRootOf(folder);
  if (!GetDiskFreeSpaceA(root.IsEmpty() ? nullptr : root.c_str(), &sectorsPerCluster, &bytesPerSector,
                         &freeClusters, &clusters)) {
    return 0;
  }
  return FreeKBFromClusters(bytesPerSector, sectorsPerCluster, freeClusters);
}

String SystemErrorText(uint32_t code) {
  char text[512];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                           sizeof text, nullptr);
  return String(text, static_cast<int>(n)).TrimRight();
}

__attribute__((noinline)) uint32_t FolderUnusable(const String& folder) {
  DWORD code = 0;
  const char* p = folder.c_str();
  int start = 0;
  for (int i = 0, n = folder.Length(); i <= n && !code; ++i) {
    if (i < n && p[i] != '\\' && p[i] != '/') continue;
    // "." and ".." are steps, not names.
    char last = i > start ? p[i - 1] : 0;
    bool step = last == '.' && p[start] == '.' && i - start <= 2;
    if ((last == '.' || last == ' ') && !step) code = ERROR_INVALID_NAME;
    start = i + 1;
  }
  // Windows makes no folder whose name has 248 characters or more: told
  // here, where the name can still be shortened, not when the folder is made.
  if (folder.Length() >= MAX_PATH - 12) code = ERROR_FILENAME_EXCED_RANGE;
  String root = DriveRootOf(folder);
  // A failed look-up always leaves its reason.
  if (!code && !root.IsEmpty() && !FolderExists(root)) code = GetLastError();
  return code;
}

// Unique names ----------------------------------------------------------

namespace {

LocalStamp Now() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return LocalStamp{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

}  // namespace

String MakeUniqueName(const String& folder) {
  String base = AddBackslash(folder);
  for (;;) {
    String name = UniqueNameAt(Now());
    if (!EntryExists(base + name)) return name;
    // Taken: wait for the clock to give the next name.
    Sleep(1);
  }
}

bool MakeUniqueFolder(const String& folder, String& name) {
  String base = AddBackslash(folder);
  for (;;) {
    name = MakeUniqueName(base);
    if (CreateDirectoryA((base + name).c_str(), nullptr)) return true;
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    Sleep(1);
  }
  name.Clear();
  return false;
}

// Copying ---------------------------------------------------------------

bool CopyLastWriteTime(FileHandle from, FileHandle to) {
  FILETIME written;
  return GetFileTime(from, nullptr, nullptr, &written) && SetFileTime(to, nullptr, nullptr, &written);
}

bool CopyAttributes(const String& from, const String& to) {
  DWORD attr = GetFileAttributesA(from.c_str());
  return attr != INVALID_FILE_ATTRIBUTES && SetFileAttributesA(to.c_str(), attr);
}

// Replacement at the next start -----------------------------------------

namespace {

// Installed by the configuration layer; the 95 line cannot do without it.
IniValueWriter rebootIniWriter = nullptr;

// The rename list of the 95 line, or empty when there is no writer for it.
String WininitFile() {
  if (!rebootIniWriter) return String();
  char windows[MAX_PATH];
  UINT n = GetWindowsDirectoryA(windows, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return String();
  return AddBackslash(windows) + "wininit.ini";
}

bool ReplaceThroughWininit(const String& newFile, const String& target) {
  String wininit = WininitFile();
  if (wininit.IsEmpty()) return false;
  String oldName = ShortPathOf(target);
  return rebootIniWriter(wininit, "Rename", "NUL", oldName) &&
         rebootIniWriter(wininit, "Rename", oldName, ShortPathOf(newFile));
}

}  // namespace

bool ReplaceAtReboot(const String& newFile, const String& target) {
  if (!OSVersion().IsNTLine()) return ReplaceThroughWininit(newFile, target);
  return MoveFileExA(target.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) &&
         MoveFileExA(newFile.c_str(), target.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT);
}

bool DeleteAtReboot(const String& path) {
  if (OSVersion().IsNTLine()) return MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  String wininit = WininitFile();
  return !wininit.IsEmpty() && rebootIniWriter(wininit, "Rename", "NUL", ShortPathOf(path));
}

void SetRebootIniWriter(IniValueWriter writer) {
  rebootIniWriter = writer;
}

}  // namespace osin
