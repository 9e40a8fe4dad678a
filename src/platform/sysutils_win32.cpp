#include "platform/sysutils.h"

#include <shellapi.h>
#include <shlobj.h>
#include <stdlib.h>

#include "platform/file.h"
#include "platform/osversion.h"
#include "platform/strutils.h"
#include "platform/winproc.h"

namespace osin {

// Restarting ------------------------------------------------------------

namespace {

// The restart call; tests put a recorder in its place.
ExitWindowsFn exitWindowsCall = nullptr;

using OpenProcessTokenFn = BOOL(WINAPI*)(HANDLE, DWORD, PHANDLE);
using LookupPrivilegeValueFn = BOOL(WINAPI*)(LPCSTR, LPCSTR, PLUID);
using AdjustTokenPrivilegesFn = BOOL(WINAPI*)(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES,
                                              PDWORD);

// Enables SeShutdownPrivilege for the process. False only when the token
// and the privilege were found but the adjustment failed. The entry points
// are looked up at run time: the 95 line does not have them all.
bool EnableShutdownPrivilege() {
  HMODULE advapi = LoadLibraryA("advapi32.dll");
  auto openToken = ProcAddress<OpenProcessTokenFn>(advapi, "OpenProcessToken");
  auto lookup = ProcAddress<LookupPrivilegeValueFn>(advapi, "LookupPrivilegeValueA");
  auto adjust = ProcAddress<AdjustTokenPrivilegesFn>(advapi, "AdjustTokenPrivileges");
  bool ok = true;
  HANDLE token = nullptr;
  TOKEN_PRIVILEGES privileges;
  if (openToken && lookup && adjust && openToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token)) {
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (lookup(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
      ok = adjust(token, FALSE, &privileges, 0, nullptr, nullptr) != 0;
    }
    CloseHandle(token);
  }
  if (advapi) FreeLibrary(advapi);
  return ok;
}

// Reboot kinds indexed by Force; EWX_REBOOT is added to either.
const UINT kRebootKinds[] = {0, EWX_FORCE};
static_assert(sizeof(kRebootKinds) / sizeof(kRebootKinds[0]) == 2, "without and with force");

}  // namespace

bool ShutdownWindows(uint32_t flags) {
  const uint32_t kEndsTheSystem = EWX_SHUTDOWN | EWX_REBOOT | EWX_POWEROFF;
  if (OSVersion().IsNTLine() && (flags & kEndsTheSystem) && !EnableShutdownPrivilege()) return false;
  ExitWindowsFn exitWindows = exitWindowsCall ? exitWindowsCall : ExitWindowsEx;
  return exitWindows(flags, 0) != 0;
}

bool RebootSystem(bool force) {
  return ShutdownWindows(kRebootKinds[force ? 1 : 0] | EWX_REBOOT);
}

void SubstituteExitWindows(ExitWindowsFn exitWindows) {
  exitWindowsCall = exitWindows;
}

// OLE servers -----------------------------------------------------------

namespace {

// Loads the library (the altered search path finds the libraries the
// server needs in its own folder, where an installation puts them), calls
// the entry point Name and frees it again.
bool CallServerEntry(const String& path, const char* name) {
  HMODULE library = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!library) return false;
  using EntryFn = HRESULT(STDAPICALLTYPE*)();
  auto entry = ProcAddress<EntryFn>(library, name);
  bool ok = entry && SUCCEEDED(entry());
  FreeLibrary(library);
  return ok;
}

}  // namespace

bool RegisterServer(const String& path) {
  return CallServerEntry(path, "DllRegisterServer");
}

bool UnregisterServer(const String& path) {
  return CallServerEntry(path, "DllUnregisterServer");
}

// Versions --------------------------------------------------------------

bool GetFileVersion(const String& path, uint32_t& versionMS, uint32_t& versionLS) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return false;
  void* info = malloc(size + 1);
  if (!info) return false;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  bool ok = GetFileVersionInfoA(path.c_str(), 0, size, info) &&
            VerQueryValueA(info, "\\", reinterpret_cast<void**>(&fixed), &length) && fixed &&
            length >= sizeof(VS_FIXEDFILEINFO);
  if (ok) {
    versionMS = fixed->dwFileVersionMS;
    versionLS = fixed->dwFileVersionLS;
  }
  free(info);
  return ok;
}

bool GetFileVersionString(const String& path, String& version) {
  uint32_t ms = 0, ls = 0;
  if (!GetFileVersion(path, ms, ls)) {
    version.Clear();
    return false;
  }
  version = String::Format("%d.%d.%d.%d", static_cast<int>(ms >> 16), static_cast<int>(ms & 0xFFFF),
                           static_cast<int>(ls >> 16), static_cast<int>(ls & 0xFFFF));
  return true;
}

void ParseVersion(const String& version, int32_t& versionMS, int32_t& versionLS) {
  uint32_t words[4];
  for (int i = 0; i < 4; ++i)
    words[i] = static_cast<uint32_t>(StrToIntDef(GetWord(i + 1, version, kDotSet), 0));
  versionMS = static_cast<int32_t>((words[0] << 16) + words[1]);
  versionLS = static_cast<int32_t>((words[2] << 16) + words[3]);
}

bool FileDosTime(const String& path, uint32_t& dosTime) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(path.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  FILETIME local;
  WORD date = 0, time = 0;
  if (!FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) ||
      !FileTimeToDosDateTime(&local, &date, &time)) {
    return false;
  }
  dosTime = (static_cast<uint32_t>(date) << 16) | time;
  return true;
}

namespace {

// Negative, zero or positive as A's version is below, equal to or above B's.
// The four numbers are unsigned 16-bit words: a release such as 50727 is
// above 100, not below it.
int CompareVersions(uint32_t msA, uint32_t lsA, uint32_t msB, uint32_t lsB) {
  if (msA != msB) return msA < msB ? -1 : 1;
  if (lsA != lsB) return lsA < lsB ? -1 : 1;
  return 0;
}

}  // namespace

bool CompareInstalled(const String& version, const String& installedPath, uint32_t newDate, int& order) {
  uint32_t ms = 0, ls = 0;
  if (!FileExists(installedPath)) return false;
  if (!version.IsEmpty() && GetFileVersion(installedPath, ms, ls)) {
    int32_t newMS = 0, newLS = 0;
    ParseVersion(version, newMS, newLS);
    order = CompareVersions(ms, ls, static_cast<uint32_t>(newMS), static_cast<uint32_t>(newLS));
    return true;
  }
  uint32_t installedDate = 0;
  if (!FileDosTime(installedPath, installedDate)) return false;
  order = installedDate < newDate ? -1 : (installedDate > newDate ? 1 : 0);
  return true;
}

bool ShouldReplace(const String& newPath, const String& installedPath) {
  if (!FileExists(installedPath)) return true;
  uint32_t newMS = 0, newLS = 0, oldMS = 0, oldLS = 0;
  if (GetFileVersion(newPath, newMS, newLS) && GetFileVersion(installedPath, oldMS, oldLS)) {
    return CompareVersions(newMS, newLS, oldMS, oldLS) > 0;
  }
  uint32_t newDate = 0, oldDate = 0;
  return FileDosTime(newPath, newDate) && FileDosTime(installedPath, oldDate) && newDate > oldDate;
}

// Running programs ------------------------------------------------------

bool WaitDispatching(HANDLE object) {
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return false;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    DWORD woken = MsgWaitForMultipleObjects(1, &object, FALSE, INFINITE, QS_ALLINPUT);
    // Signalled, or a mutex whose owner ended without letting it go: ours
    // now either way.
    if ((woken | WAIT_ABANDONED_0) == WAIT_ABANDONED_0) return true;
    if (woken != WAIT_OBJECT_0 + 1) return false;
  }
}

int32_t RunAndWait(HWND owner, const String& file, const String& parameters, int showCommand,
                   const String& directory, bool quiet, bool wait) {
  SHELLEXECUTEINFOA info;
  ZeroMemory(&info, sizeof(info));
  info.cbSize = sizeof(info);
  info.fMask = (wait ? SEE_MASK_NOCLOSEPROCESS : 0) | (quiet ? SEE_MASK_FLAG_NO_UI : 0);
  info.hwnd = owner;
  info.lpFile = file.c_str();
  info.lpParameters = parameters.IsEmpty() ? nullptr : parameters.c_str();
  info.lpDirectory = directory.IsEmpty() ? nullptr : directory.c_str();
  info.nShow = showCommand;
  if (!ShellExecuteExA(&info)) return -1;
  // A folder or a document handed to a program that is already running
  // starts no process of ours: there is nothing to wait for and no exit
  // code, so the start itself counts as success.
  if (!info.hProcess) return 0;
  DWORD code = 0;
  int32_t result = WaitDispatching(info.hProcess) && GetExitCodeProcess(info.hProcess, &code)
                       ? static_cast<int32_t>(code)
                       : -1;
  CloseHandle(info.hProcess);
  return result;
}

// Special folders -------------------------------------------------------

const SpecialFolder kSpecialFolders[] = {
    {CSIDL_DESKTOPDIRECTORY}, {CSIDL_FONTS},  {CSIDL_NETHOOD},   {CSIDL_PERSONAL}, {CSIDL_PROGRAMS},
    {CSIDL_RECENT},           {CSIDL_SENDTO}, {CSIDL_STARTMENU}, {CSIDL_STARTUP},  {CSIDL_TEMPLATES},
};
static_assert(sizeof(kSpecialFolders) / sizeof(kSpecialFolders[0]) == kSpecialFolderCount,
              "every special folder");

String ShellFolderPath(int csidl) {
  // Where the shell answers with the path itself it is asked so: the way
  // through an item list costs ten times as much, since the list is built
  // from the path and turned back into one. The first shells lack the
  // call.
  typedef HRESULT(WINAPI * FolderPathFn)(HWND, int, HANDLE, DWORD, LPSTR);
  FolderPathFn folderPath = reinterpret_cast<FolderPathFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("shell32.dll"), "SHGetFolderPathA")));
  char direct[MAX_PATH + 1];
  // S_FALSE (a folder that does not exist) leaves the path unset: the
  // other way then answers as it always did.
  if (folderPath && folderPath(nullptr, csidl, nullptr, 0, direct) == S_OK) return String(direct);
  LPITEMIDLIST items = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &items)) || !items) return String();
  char path[MAX_PATH + 1] = {};
  bool ok = SHGetPathFromIDListA(items, path) != 0;
  // The shell's allocator, which every shell32 offers (CoTaskMemFree would
  // pull in ole32 here).
  IMalloc* shellMalloc = nullptr;
  if (SUCCEEDED(SHGetMalloc(&shellMalloc)) && shellMalloc) {
    shellMalloc->Free(items);
    shellMalloc->Release();
  }
  return ok ? String(path) : String();
}

String SpecialFolderPath(int index) {
  if (index < 0 || index >= kSpecialFolderCount) return String();
  return ShellFolderPath(kSpecialFolders[index].csidl);
}

}  // namespace osin
