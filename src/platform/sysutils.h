// System utilities (Windows only): restarting Windows, registering an
// in-process OLE server, reading and comparing file versions, starting a
// program through the shell and waiting for it, and the shell's special
// folders. They keep no state of their own, except the restart call that
// tests substitute. Failures are reported by the results; nothing raises.
#pragma once

#include <stdint.h>
#include <windows.h>

#include "platform/str.h"

namespace osin {

// Restarting ------------------------------------------------------------

// Ends the Windows session with ExitWindowsEx flags; true when the system
// accepted the request. On the NT line a shutdown, reboot or power-off
// (flag bits 1, 2, 8) first enables the process's SeShutdownPrivilege; when
// that adjustment fails nothing is asked of the system and the result is
// false (when the token cannot be opened or the privilege not looked up,
// the request is made anyway and the system decides).
bool ShutdownWindows(uint32_t flags);
// A plain (Force false) or forced restart: EWX_REBOOT, plus EWX_FORCE when
// forced.
bool RebootSystem(bool force);

// The system call that ShutdownWindows ends with.
using ExitWindowsFn = BOOL(WINAPI*)(UINT flags, DWORD reason);
// Tests put a recorder in place of ExitWindowsEx; nullptr restores it.
void SubstituteExitWindows(ExitWindowsFn exitWindows);

// OLE servers -----------------------------------------------------------

// Loads the library (its own folder first in the search for the libraries
// it needs, as regsvr32 does), calls its DllRegisterServer and frees it.
// True when the entry point exists and reports success; false when the
// library does not load, has no such export, or its registration fails.
bool RegisterServer(const String& path);
// The same with its DllUnregisterServer.
bool UnregisterServer(const String& path);

// Versions --------------------------------------------------------------

// The file version of the file's version resource: VersionMS = (major << 16)
// + minor, VersionLS = (release << 16) + build. False when the file has no
// version resource (or cannot be read).
bool GetFileVersion(const String& path, uint32_t& versionMS, uint32_t& versionLS);
// "major.minor.release.build" in decimal, or empty and false.
bool GetFileVersionString(const String& path, String& version);
// Words 1 to 4 of a version text split at ".", each 0 unless a number,
// packed like GetFileVersion's numbers (as signed 32-bit values, which is
// how versions are compared).
void ParseVersion(const String& version, int32_t& versionMS, int32_t& versionLS);

// The file's last-write time in local time as an MS-DOS date (high 16 bits)
// and time (low 16 bits); false when the file is not found. DOS date-times
// order like the moments they stand for, so they compare as numbers.
bool FileDosTime(const String& path, uint32_t& dosTime);

// The installed file against the one to install, described by its version
// text (may be empty) and its DOS date-time: Order gets the sign of
// installed minus new. With a version text and an installed file that has a
// version, the versions decide (MS first, then LS); otherwise the
// date-times. False, and Order untouched, when the installed file does not
// exist.
bool CompareInstalled(const String& version, const String& installedPath, uint32_t newDate, int& order);
// Whether the installed file is newer; false when it does not exist.
inline bool IsInstalledNewer(const String& version, const String& installedPath, uint32_t newDate) {
  int order = 0;
  return CompareInstalled(version, installedPath, newDate, order) && order > 0;
}
// Whether the versions (or, without them, the date-times) are equal.
inline bool IsSameVersion(const String& version, const String& installedPath, uint32_t newDate) {
  int order = 0;
  return CompareInstalled(version, installedPath, newDate, order) && order == 0;
}
// Whether the file on disk NewPath should replace InstalledPath: true when
// InstalledPath is missing; when both have versions, when the new one is
// higher; otherwise when the new file's date-time is later.
bool ShouldReplace(const String& newPath, const String& installedPath);

// Running programs ------------------------------------------------------

// Waits for Object while the calling thread's messages keep flowing, so its
// windows stay painted: true once it is signalled (a mutex is then owned,
// also one its last owner left without releasing), false when a WM_QUIT
// arrives (it is consumed) or waiting fails.
bool WaitDispatching(HANDLE object);

// Starts File through the shell (default verb) with the owner window,
// parameters, working folder (empty: the current one) and show command, and
// waits for it while the calling thread's messages keep flowing. Returns
// the program's exit code (any value, 259 included); -1 when it cannot be
// started (the shell then tells the user why in its own message box, unless
// Quiet) or a WM_QUIT arrives while waiting (the quit is consumed); 0 at
// once when the shell starts no process of its own, or when not Wait.
int32_t RunAndWait(HWND owner, const String& file, const String& parameters, int showCommand,
                   const String& directory, bool quiet = false, bool wait = true);

// Special folders -------------------------------------------------------

struct SpecialFolder {
  unsigned char csidl;  // the shell's folder id (every one used is below 256)
};
const int kSpecialFolderCount = 10;
// Desktop, Fonts, NetHood, Personal, ProgramsMenu, Recent, SendTo,
// StartMenu, StartupMenu, Templates, in this order: the order of their
// variables (config/variables.h).
extern const SpecialFolder kSpecialFolders[];

// The file-system path of kSpecialFolders[Index]; empty when the index is
// out of range, the folder does not exist or it has no file-system path.
String SpecialFolderPath(int index);
// The same for a shell folder id.
String ShellFolderPath(int csidl);

}  // namespace osin
