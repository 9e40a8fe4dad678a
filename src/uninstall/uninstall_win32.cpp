#include <string.h>
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include "config/profile.h"
#include "config/registry.h"
#include "install/copyentry.h"
#include "install/filephase.h"
#include "install/log.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "platform/osversion.h"
#include "platform/runlog.h"
#include "platform/security.h"
#include "platform/strutils.h"
#include "platform/sysutils.h"
#include "platform/text.h"
#include "resources/ids.h"
#include "ui/font.h"
#include "ui/msgbox.h"
#include "ui/wintext.h"
#include "uninstall/guard.h"
#include "uninstall/uninstall.h"

namespace osin {

namespace {

const char kRunOnceKey[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\";

enum TextId {
  kTextCaption = 1,
  kTextQuestion,
  kTextProgress,
  kTextDone,
  kTextNotRemoved,
  kTextRestart,
  kTextSharedQuestion,
  kTextSharedCaption,
  kTextRemove,
  kTextKeep,
  kTextKeepAll,
  kTextNotEmpty,
  kTextRefused,
  kTextStillRegistered,
  kTextOthersEntries,
  kTextChanged,
  kTextWaiting,
  kTextCutShort,
  kTextCancel,
};
// The English texts, by number from 1; the log's Strings section overrides
// each.
const char* const kEnglish[] = {
    "%ProgramName% Uninstall",
    "Do you want to remove %ProgramName% and all of its components from your computer?",
    "Removing %ProgramName%...",
    "%ProgramName% has been removed from your computer.",
    "Some items could not be removed:",
    "Some files are in use. They will be removed when the computer restarts.||Restart the computer now?",
    "The shared file below is no longer used by any other program. Other programs may still need it: "
    "when in doubt, keep it.||||Remove the shared file?",
    "Remove shared file?",
    "&Remove",
    "&Keep",
    "Keep &all",
    "These folders still hold other files and were left in place:",
    "%s (left in place: a system folder or key, or not a full path)",
    "%s (its OLE registration could not be removed)",
    "These files also hold entries of other programs and were left in place:",
    "These files were changed after the installation and were left in place:",
    "Another setup is installing a program. Removing %ProgramName% begins when it has finished.",
    "%s (the install log ends here, cut short: what the installation did after it was left in place)",
    "Cancel",
};
static_assert(sizeof(kEnglish) / sizeof(kEnglish[0]) == kTextCancel, "one English text per id");

// A record of the log, and whether it goes back into the log because its
// removal failed.
struct TRecord : TLogRecord {
  bool Stays = false;
};

// The Windows folder, with a "\"; empty when the system cannot tell.
String WindowsFolder() {
  char windows[MAX_PATH + 1];
  UINT n = GetWindowsDirectoryA(windows, MAX_PATH);
  return n > 0 && n < MAX_PATH ? AddBackslash(String(windows, static_cast<int>(n))) : String();
}

// Whether A and B name the same file or folder, whatever the letter case
// and whether either gives it in its long or short form.
bool SameFile(const String& a, const String& b) {
  return SameText(a, b) || SameText(ShortPathOf(a), ShortPathOf(b));
}

// The folders only an administrator may change: the system's, the program
// files folders (both of a 64-bit system) and those of all users.
void GatherMachineFolders(StringList& folders) {
  folders.Add(StripBackslash(WindowsFolder()));
  folders.Add(ReadRegString(String(kCurrentVersionKey) + "ProgramFilesDir", String()));
  folders.Add(ReadRegString(String(kCurrentVersionKey) + "CommonFilesDir", String()));
  const int kMachine[] = {CSIDL_SYSTEM,
                          CSIDL_PROGRAM_FILES,
                          CSIDL_PROGRAM_FILESX86,
                          CSIDL_PROGRAM_FILES_COMMON,
                          CSIDL_COMMON_PROGRAMS,
                          CSIDL_COMMON_STARTMENU,
                          CSIDL_COMMON_DESKTOPDIRECTORY,
                          CSIDL_COMMON_STARTUP,
                          CSIDL_COMMON_APPDATA};
  for (int csidl : kMachine) folders.Add(ShellFolderPath(csidl));
}

// The folders that are never removed, even when empty: the machine's, the
// temporary folder and the user's own.
void GatherSystemFolders(StringList& folders) {
  GatherMachineFolders(folders);
  char buffer[MAX_PATH + 1];
  DWORD t = GetTempPathA(MAX_PATH, buffer);
  if (t > 0 && t < MAX_PATH) folders.Add(String(buffer, static_cast<int>(t)));
  for (int i = 0; i < kSpecialFolderCount; ++i) folders.Add(SpecialFolderPath(i));
  for (int csidl : {CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_PROFILE}) folders.Add(ShellFolderPath(csidl));
}

// The question about one shared file, with its texts.
struct TSharedQuestion {
  String Caption, Text, Name, Remove, Keep, KeepAll;
};

INT_PTR CALLBACK SharedFileProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const TSharedQuestion& q = *reinterpret_cast<const TSharedQuestion*>(lParam);
      SetText(dialog, q.Caption);
      // The file's name goes into an edit box, which holds ANSI text.
      const String* texts[] = {&q.Text, &q.Name, &q.Remove, &q.Keep, &q.KeepAll};
      const int ids[] = {IDC_SHARED_TEXT, IDC_SHARED_NAME, IDC_SHARED_REMOVE, IDC_SHARED_KEEP,
                         IDC_SHARED_KEEP_ALL};
      for (int i = 0; i < 5; ++i) SetText(GetDlgItem(dialog, ids[i]), *texts[i]);
      CenterOnScreen(dialog);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_SHARED_REMOVE:
        case IDC_SHARED_KEEP:
        case IDC_SHARED_KEEP_ALL:
          EndDialog(dialog, LOWORD(wParam));
          return TRUE;
        case IDCANCEL:
          // Closing the question keeps the file: the safe answer.
          EndDialog(dialog, IDC_SHARED_KEEP);
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

// A file that is no library, or a library without either entry point, was
// never registered by its installation (which said so then): there is
// nothing to take back. One that registered but cannot unregister itself
// is reported. The library is only mapped, none of its code runs.
bool CanUnregister(const String& path) {
  HMODULE library = LoadLibraryExA(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  if (!library) return false;
  bool entry = GetProcAddress(library, "DllUnregisterServer") || GetProcAddress(library, "DllRegisterServer");
  FreeLibrary(library);
  return entry;
}

// The data of the value that loads the font at Path when the system
// starts, as the installation wrote it: the NT line names a file in the
// fonts folder by its file name alone.
bool NamesFont(const String& data, const String& path) {
  return SameText(data, path) || (SameText(data, PathFileName(path)) &&
                                  SameText(PathFolder(path), AddBackslash(ShellFolderPath(CSIDL_FONTS))));
}

// Whether the file holds anything but blanks; true when it cannot be read,
// which keeps it.
bool HoldsText(const String& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return true;
  char buffer[4096];
  DWORD got = 0;
  bool text = false;
  while (!text && ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
    for (DWORD i = 0; i < got && !text; ++i) text = strchr(" \t\r\n", buffer[i]) == nullptr || buffer[i] == 0;
  }
  CloseHandle(file);
  return text;
}

// Installed files keep the times they were packed or copied with, and the
// log is written last: a file written after the log was changed since, by
// its user or a program. On the log's own volume the times compare as they
// stand: another setup run right after the installation writes within a
// second of it. Between volumes, one may keep coarse times (FAT's two
// seconds) and the other not, so a later write must be this much later
// (in 100 ns units).
const uint64_t kChangedAcrossVolumes = 30000000;

// Chars UTF-16 characters in the system's code page; false when the
// system cannot convert them.
bool FromWide(const wchar_t* wide, int chars, String& ansi) {
  int n = WideCharToMultiByte(CP_ACP, 0, wide, chars, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return false;
  ansi = String(n, '\0');
  return WideCharToMultiByte(CP_ACP, 0, wide, chars, ansi.Buffer(), n, nullptr, nullptr) == n;
}

// Text in UTF-8 in the system's code page; as it stands when it is no UTF-8.
String FromUtf8(const String& text) {
  int wide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.c_str(), text.Length(), nullptr, 0);
  if (wide <= 0) return text;
  HANDLE heap = GetProcessHeap();
  auto* buffer = static_cast<wchar_t*>(HeapAlloc(heap, 0, wide * sizeof(wchar_t)));
  if (!buffer) return text;
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), text.Length(), buffer, wide);
  String result;
  if (!FromWide(buffer, wide, result)) result = text;
  HeapFree(heap, 0, buffer);
  return result;
}

// Whether a log saved again without a mark is UTF-8: some line holds a
// letter past ASCII and every such line reads as UTF-8. The setup writes the
// system's code page, whose accented text almost never forms valid UTF-8.
bool SavedAsUtf8(const TSectionList& sections) {
  bool wide = false;
  for (int s = 0; s < sections.Count(); ++s) {
    const StringList& lines = *sections.SectionAt(s);
    for (int i = -1; i < lines.Count(); ++i) {
      const String& line = i < 0 ? sections[s] : lines[i];
      bool ascii = true;
      for (int c = 0; c < line.Length(); ++c) ascii = ascii && static_cast<unsigned char>(line[c]) < 0x80;
      if (ascii) continue;
      if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, line.c_str(), line.Length(), nullptr, 0) <= 0)
        return false;
      wide = true;
    }
  }
  return wide;
}

// The log section of the shared counts a run lowered (LowerSharedCounts).
const char kLoweredSection[] = "SharedCountsLowered";

// Sets the file's last write time, in 100 ns units.
void SetLastWrite(const String& path, uint64_t time) {
  HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  FILETIME written{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
  SetFileTime(file, nullptr, nullptr, &written);
  CloseHandle(file);
}

// The ways a text editor may have saved the log again.
enum class TSavedAs { kAsWritten, kUtf8, kUtf16 };

// The whole of an open log as the setup wrote it, from a copy saved again
// by a text editor: how it was saved, with Text holding the log without
// its mark (and in the system's code page, from UTF-16); kAsWritten when
// it carries no mark or cannot be read or converted.
TSavedAs ReadSaved(HANDLE file, String& text) {
  DWORD got = 0, size = GetFileSize(file, nullptr);
  if (size == INVALID_FILE_SIZE || size < 2) return TSavedAs::kAsWritten;
  String bytes(static_cast<int>(size), '\0');
  if (!ReadFile(file, bytes.Buffer(), size, &got, nullptr) || got != size) return TSavedAs::kAsWritten;
  if (bytes.StartsWith("\xEF\xBB\xBF")) {
    text = bytes.Copy(4, bytes.Length());
    return TSavedAs::kUtf8;
  }
  bool big = bytes.StartsWith("\xFE\xFF");
  if (!big && !bytes.StartsWith("\xFF\xFE")) return TSavedAs::kAsWritten;
  // Notepad's "Unicode big endian" puts the high byte first.
  for (int i = 2; big && i + 1 < bytes.Length(); i += 2) {
    char high = bytes[i];
    bytes[i] = bytes[i + 1];
    bytes[i + 1] = high;
  }
  auto* wide = reinterpret_cast<const wchar_t*>(bytes.c_str() + 2);
  return FromWide(wide, static_cast<int>(size - 2) / 2, text) ? TSavedAs::kUtf16 : TSavedAs::kAsWritten;
}

// A log saved again by a text editor may begin with the UTF-8 mark, which
// would hide its first section, and then holds its names in UTF-8; saved
// as "Unicode" (UTF-16 with its mark, in either byte order), it reads as
// no log at all. The mark is taken out, and UTF-16 turned back into the
// system's code page as the setup wrote it; the file keeps its time, by
// which later changes to the files are told.
TSavedAs TakeOutMark(const String& path, uint64_t written) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return TSavedAs::kAsWritten;
  String text;
  TSavedAs saved = ReadSaved(file, text);
  DWORD put = 0, length = static_cast<DWORD>(text.Length());
  bool moved = saved != TSavedAs::kAsWritten && SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0 &&
               WriteFile(file, text.c_str(), length, &put, nullptr) && put == length && SetEndOfFile(file);
  CloseHandle(file);
  if (!moved) return TSavedAs::kAsWritten;
  SetLastWrite(path, written);
  return saved;
}

// Where the log ends when it was cut short while it was written (the disk
// full, the computer stopped), or empty. The setup ends every line with a
// line break and writes no record section without records: a log that
// ends inside a line, in the zeros a file system leaves of data it had no
// time to write, or in the header of a record section was cut short. Its
// last line that holds more than blanks or zeros (or that header) tells
// where.
String CutShortAt(const String& path, const TSectionList& sections, bool utf8) {
  int s = sections.Count() - 1;
  if (s < 0) return String();
  const StringList& lines = *sections.SectionAt(s);
  int i = lines.Count() - 1;
  while (i >= 0 && lines[i].Trim().IsEmpty()) --i;
  String header = "[" + sections[s] + "]";
  for (int kind = 0; i < 0 && kind < kLogKindCount; ++kind) {
    if (SameText(sections[s], LogSectionName(kind))) return header;
  }
  FileHandle file = OpenFileHandle(path, kFileRead, kShareRead | kShareWrite, kAttrNormal, kOpenExisting);
  char last = '\n';
  if (FileSeek(file, -1, kSeekFromEnd) >= 0) FileRead(file, &last, 1);
  CloseFileHandle(file);
  if (last == '\n' || last == '\r' || last == '\x1A') return String();
  return i < 0 ? header : utf8 ? FromUtf8(lines[i]) : lines[i];
}

// The file's last write time in 100 ns units; 0 when it cannot be found.
uint64_t LastWrite(const String& path) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(path.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return 0;
  FindClose(find);
  return (uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

// Moves Path to a unique "UnO*.tmp" name in Folder; the new name, or empty
// when the system refuses (another volume, a file in use on the 95 line).
String MoveToUniqueName(const String& path, const String& folder) {
  String moved = SystemTempFile(folder, "UnO");
  if (moved.IsEmpty()) return String();
  DeleteFileA(moved.c_str());
  return MoveFileA(path.c_str(), moved.c_str()) ? moved : String();
}

// Moves the running program's file to a unique name in the temporary
// folder, deleted there at the next start. False when the system refuses
// (another volume, the 95 line).
bool MoveOwnCopyAway(const String& self) {
  char folder[MAX_PATH + 1];
  DWORD n = GetTempPathA(MAX_PATH, folder);
  String moved = n > 0 && n < MAX_PATH ? MoveToUniqueName(self, folder) : String();
  if (moved.IsEmpty()) return false;
  DeleteAtReboot(moved);
  return true;
}

// The log a registration's command names: its last text in double quotes.
String NamedLog(const String& command) {
  int close = command.LastPos('"');
  int open = close > 1 ? command.Copy(1, close - 1).LastPos('"') : 0;
  return open ? command.Copy(open + 1, close - open - 1) : String();
}

// Whether a registration's command names the log File: in double quotes,
// as the setup writes it, and also when File (or the command) gives it in
// its short form, as a script may have started the uninstaller.
bool CommandNamesLog(const String& command, const String& file) {
  if (UpperCase(command).Pos(UpperCase("\"" + file + "\""))) return true;
  String named = NamedLog(command);
  return !named.IsEmpty() && SameFile(named, file);
}

// The program's key under the Uninstall key whose command names the log
// File; empty when none does.
String RegistrationNaming(const String& file) {
  StringList names;
  ReadRegSubkeys(kUninstallRoot, names);
  for (int i = 0; i < names.Count(); ++i) {
    String key = kUninstallRoot + names[i];
    if (CommandNamesLog(ReadRegString(key + "\\UninstallString", String()), file)) return key;
  }
  return String();
}

// The program file a registration's command starts: the text in double
// quotes, or, as the setup writes it unquoted before the quoted log, the
// text before the first double quote (the Windows folder may hold a blank),
// or else the first word.
String CommandProgram(const String& command) {
  String c = command.Trim();
  if (c.StartsWith("\"")) return c.Copy(2, c.Pos('"', 2) - 2);
  int end = c.Pos('"');
  if (!end) end = c.Pos(' ');
  return (end ? c.Copy(1, end - 1) : c).TrimRight();
}

// Whether Command starts the program File, whatever the letter case and
// whether it names the file in its long or its short form, ShortFile
// (found once by the caller, who asks about every registration).
bool CommandStarts(const String& command, const String& file, const String& shortFile) {
  String c = command.TrimLeft();
  if (c.StartsWith("\"")) c = c.Copy(2, c.Length());
  for (const String* form : {&file, &shortFile}) {
    int n = form->Length();
    if (n && c.Length() >= n && SameText(c.Copy(1, n), *form) && (c.Length() == n || strchr("\" \t", c[n])))
      return true;
  }
  String program = CommandProgram(command);
  return !program.IsEmpty() && SameText(ShortPathOf(program), shortFile);
}

// The command in the value Name of an open registration key, its
// environment variables expanded; empty when there is none.
String ReadCommand(HKEY key, const char* name) {
  char data[2 * MAX_PATH + 1], expanded[2 * MAX_PATH + 1];
  DWORD type = 0, size = sizeof(data) - 1;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return String();
  data[size] = 0;
  DWORD x = type == REG_EXPAND_SZ ? ExpandEnvironmentStringsA(data, expanded, sizeof(expanded)) : 0;
  return x > 0 && x <= sizeof(expanded) ? expanded : data;
}

// The commands, both plain and quiet, of every registration under the
// Uninstall key, each with the name of its key. A 64-bit system keeps a
// second list for 32-bit programs, while 32-bit and 64-bit setups share the
// one copy in the Windows folder: both lists are read. False when the list
// cannot be read: then nobody can tell who still needs a program.
bool ReadUninstallCommands(StringList& names, StringList& commands) {
  const char* const kKey = kUninstallRoot + 5;  // without "HKLM\"
  const REGSAM kViews[] = {0, KEY_WOW64_64KEY, KEY_WOW64_32KEY};
  for (REGSAM view : kViews) {
    HKEY root;
    LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ | view, &root);
    // Systems without the other views refuse those flags; the plain view
    // must be readable (or not yet made, on a fresh system).
    if (opened != ERROR_SUCCESS) {
      if (view == 0 && opened != ERROR_FILE_NOT_FOUND) return false;
      continue;
    }
    char name[256];
    for (DWORD i = 0, n = sizeof(name);
         RegEnumKeyExA(root, i, name, &n, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, n = sizeof(name)) {
      HKEY key;
      if (RegOpenKeyExA(root, name, 0, KEY_READ | view, &key) != ERROR_SUCCESS) continue;
      for (const char* value : {"UninstallString", "QuietUninstallString"}) {
        String command = ReadCommand(key, value);
        if (command.IsEmpty()) continue;
        names.Add(name);
        commands.Add(command);
      }
      RegCloseKey(key);
    }
    RegCloseKey(root);
  }
  return true;
}

// A unique name MoveToUniqueName gives, "UnO*.tmp".
bool IsAsideName(const String& name) {
  return SameText(name.Copy(1, 3), "UnO") && SameText(RightStr(name, 4), ".tmp");
}

// A copy of this program that a setup put into the Windows folder for all
// the programs it registers: UnOsin.exe, or a unique "UnO*.tmp" beside it
// when that name was in use. Nothing else there is the uninstaller's to
// remove, whatever a registration names.
bool IsSharedCopy(const String& path) {
  String name = PathFileName(path), windows = WindowsFolder();
  bool inWindows = !windows.IsEmpty() && SameFile(PathFolder(path), windows);
  return inWindows && (SameText(name, "UnOsin.exe") || IsAsideName(name));
}

// Renames Path to a unique "UnO*.tmp" in its folder and has that deleted at
// the next start; the new name, or empty when the file keeps its own (the
// system refuses the rename or, without an administrator's rights, the
// deletion).
String MoveAsideForRestart(const String& path) {
  String aside = MoveToUniqueName(path, PathFolder(path));
  if (aside.IsEmpty() || DeleteAtReboot(aside)) return aside;
  MoveFileA(aside.c_str(), path.c_str());
  return String();
}

// Removes the shared copy Path once no registration names it any more, and
// says in the run log what became of it. The running program's own file
// cannot be deleted: it is renamed to a unique name in its folder (so a
// later setup can put a new copy in its place at once) and that name is
// deleted at the next start. Deleting the old name at the next start instead
// would take with it a copy a setup puts there meanwhile; where the rename
// is refused (the 95 line), the copy stays.
void RemoveSharedCopy(const String& path, const String& self) {
  if (!FileExists(path)) return;
  StringList names, commands;
  if (!ReadUninstallCommands(names, commands)) {
    RunLog("Uninstaller kept (the list of installed programs cannot be read): ", path);
    return;
  }
  String shortPath = ShortPathOf(path);
  for (int i = 0; i < commands.Count(); ++i) {
    if (CommandStarts(commands[i], path, shortPath)) {
      RunLog("Uninstaller kept, as it still serves ", names[i] + ": " + path);
      return;
    }
  }
  if (!SameFile(path, self) && RemoveFileForced(path)) {
    RunLog("Uninstaller removed, as no program uses it any more: ", path);
    return;
  }
  String aside = MoveAsideForRestart(path);
  if (!aside.IsEmpty()) {
    RunLog("Uninstaller removed at the next restart, as no program uses it any more: ",
           path + " (now " + aside + ")");
  } else {
    RunLog("Uninstaller kept (it runs, and cannot be renamed or queued for deletion): ", path);
  }
}

// A file in use (a running program, a loaded library) is deleted at the
// next start; where the system lets it go by another name, under that, so
// that its own name is free at once: a setup run again before the restart
// puts its new copy there, which the restart would otherwise take.
bool DeleteAtRestart(const String& path) {
  return !MoveAsideForRestart(path).IsEmpty() || DeleteAtReboot(path);
}

// What failed, with the system's reason ("Access is denied.") when Code
// gives one.
String WithReason(const String& what, DWORD code) {
  String reason = code ? SystemErrorText(code) : String();
  return reason.IsEmpty() ? what : what + " (" + reason + ")";
}

// The progress window's Cancel (shown only while the run waits for its
// turn) is noted in the window's user data, which the waiting loop reads.
// The registry layer tells only whether a deletion or a write worked. The
// reason is the system's answer to the same request asked again: the
// value's own deletion (for a write, the opening of its key to set
// values), or for a key that of the deepest key still below it (the first
// found), which kept every key above it. 0 when the request now works.
HKEY RootKeyOf(const TRegPath& path) {
  static const HKEY kRoots[] = {nullptr, HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE,
                                HKEY_USERS};
  return kRoots[static_cast<int>(path.Root)];
}

DWORD ValueReason(const String& path, bool remove = true) {
  TRegPath split = SplitRegPath(path);
  HKEY key;
  LONG got = RegOpenKeyExA(RootKeyOf(split), split.KeyPath.c_str(), 0, KEY_SET_VALUE, &key);
  if (got != ERROR_SUCCESS || !remove) return got;
  got = RegDeleteValueA(key, split.ValueName.c_str());
  RegCloseKey(key);
  return got;
}

DWORD KeyReason(const String& path) {
  TRegPath split = SplitRegPath(AddBackslash(path));
  HKEY root = RootKeyOf(split);
  String deepest = StripBackslash(split.KeyPath);
  for (HKEY key; RegOpenKeyExA(root, deepest.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;) {
    char name[256];
    LONG more = RegEnumKeyA(key, 0, name, sizeof(name));
    RegCloseKey(key);
    if (more != ERROR_SUCCESS) break;
    deepest += "\\" + String(name);
  }
  int slash = LastBackslash(deepest);
  HKEY parent;
  LONG got = RegOpenKeyExA(root, deepest.Copy(1, slash - 1).c_str(), 0, KEY_WRITE, &parent);
  if (got != ERROR_SUCCESS) return got;
  got = RegDeleteKeyA(parent, deepest.Copy(slash + 1, deepest.Length()).c_str());
  RegCloseKey(parent);
  return got;
}

INT_PTR CALLBACK ProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) SetWindowLongPtrA(dialog, DWLP_USER, 1);
  return message == WM_INITDIALOG;
}

// A setup takes this turn while it installs, and the uninstaller while it
// removes: each writes back the install log (and every settings file it
// keeps open) as it read it, so one working beside the other would drop
// the other's records, and an update installing while its program is
// removed would lose its files as it writes them. The name is the one the
// setup gives it. A system that refuses the mutex leaves nobody a turn to
// wait for.
class TSetupTurn {
 public:
  TSetupTurn() : mutex_(CreateMutexA(nullptr, FALSE, "OsinSetup")) {}
  ~TSetupTurn() {
    Leave();
    if (mutex_) CloseHandle(mutex_);
  }
  TSetupTurn(const TSetupTurn&) = delete;
  TSetupTurn& operator=(const TSetupTurn&) = delete;
  // Takes the turn when it is free within Ms; a wait ends early, false,
  // when a message for the thread's windows arrives. A setup ended while
  // it held the turn has left it free.
  bool Take(DWORD ms) {
    if (!mutex_ || held_) return true;
    DWORD got =
        ms ? MsgWaitForMultipleObjects(1, &mutex_, FALSE, ms, QS_ALLINPUT) : WaitForSingleObject(mutex_, 0);
    held_ = got == WAIT_OBJECT_0 || got == WAIT_ABANDONED_0;
    return held_;
  }
  bool Held() const { return held_; }
  void Leave() {
    if (held_) ReleaseMutex(mutex_);
    held_ = false;
  }

 private:
  HANDLE mutex_;
  bool held_ = false;
};

// How long a run without questions waits for a setup's turn: a setup that
// waits on its user (a question on a desktop nobody watches) must not hold
// a deployment job for good, which is told to try again later.
const DWORD kQuietWaitMs = 10 * 60 * 1000;

// Run's result when the log changed while it waited: read it again.
const int kReadAgain = -1;

class TUninstallRun {
 public:
  TUninstallRun(const TUninstallOptions& options, TSetupTurn& turn) : options_(options), turn_(turn) {}
  int Run();

 private:
  bool Load();
  int ReadSections(const TSectionList& sections, bool utf8);
  void ReportNoLog(bool readable, DWORD code);
  void FindProgram();
  bool RightsSuffice();
  void ForgetRegistration(const String& why);
  String Text(int id) const;
  String TextWith(int id, const String& value) const { return SubstituteFirstS(Text(id), value); }
  Array<TRecord>& Records(int kind) { return records_[kind]; }

  void OpenProgress();
  bool WaitForTurn(int& code);
  void Pump();
  void Step();
  void CloseProgress();

  bool InCopyFiles(const String& path) const;
  bool ChangedSinceLog(const String& path) const {
    uint64_t slack = SameText(DriveRootOf(path), DriveRootOf(options_.LogFile)) ? 0 : kChangedAcrossVolumes;
    return logWritten_ && LastWrite(path) > logWritten_ + slack;
  }
  bool Goes(const String& path) const { return InCopyFiles(path) && keptShared_.IndexOf(path) < 0; }
  bool AskRemoveShared(const String& path);
  void NoteLowered(const String& path, bool last);
  void LowerSharedCounts();
  void UnregisterServers();
  void RemoveFonts();
  // Whether a font value's Data names one of the fonts that stay.
  bool KeepsFont(const String& data) const;
  void RemoveFiles(int kind);
  bool StaysChanged(const String& path);
  void DropWaitingCopies();
  bool DeleteOrQueue(const String& path, DWORD& code);
  void RemoveAdopted();
  void RemoveIniKeys();
  void RemoveRegistryValues();
  void RemoveLog();
  void RewriteLog();
  void RemoveKeys();
  void RemoveEmptiedFolders();
  void RemoveFolders();
  void EmptyFoldersAtRestart(const String& folder);
  bool EmptiedAtRestart(const String& folder) const;
  void RemoveRegistration();
  void DeleteRegistration(const String& key);
  void RemoveSharedCopies();
  bool AnyStays() const;
  int Report();

  void Refused(const String& what) { notRemoved_.Add(TextWith(kTextRefused, what)); }
  // The record stays in the log, and the final list names it with the
  // system's reason, Code, when the failed call gave one.
  void Failed(TRecord& record, DWORD code = 0) {
    record.Stays = true;
    notRemoved_.Add(WithReason(record.Key, code));
  }
  // Has the file in use at Path deleted at the next start; false when the
  // system refuses.
  bool AtRestart(const String& path) {
    if (!DeleteAtRestart(path)) return false;
    atRestart_.Add(path);
    return true;
  }

  TUninstallOptions options_;
  TSetupTurn& turn_;
  Array<TRecord> records_[kLogKindCount];
  StringList strings_;
  StringList damaged_;
  StringList copied_;        // CopyFiles keys, sorted for lookups
  StringList shared_;        // SharedFiles keys, sorted
  StringList keptShared_;    // shared files that stay
  StringList lowered_;       // shared files whose counts an earlier run lowered:
                             // path=1 when that was the last count, else 0
  StringList adopted_;       // shared files of others that go with this program
  StringList notRemoved_;    // what the final list names
  StringList leftFolders_;   // folders that still hold files of others
  StringList iniFiles_;      // the files of the INI keys taken out, sorted
  StringList writtenIni_;    // of those, the ones written to since the installation
  StringList leftIni_;       // INI files the installation made that others wrote to
  StringList keptFonts_;     // fonts that stay (shared with another program)
  StringList changed_;       // files changed after the installation
  uint64_t logWritten_ = 0;  // the log's last write: the installation's end
  StringList atRestart_;     // deleted at the next start
  StringList systemFolders_;
  String registration_;           // the program's Uninstall key
  bool ownRegistration_ = false;  // it names this log, or has no command
  String programName_;
  String uninstaller_;  // the program the registration this run removed named
  bool keepAllShared_ = false;
  bool forgotten_ = false;  // the log was missing or no log, and the registration went
  bool keepLog_ = false;    // some records failed: the log keeps them
  HWND progress_ = nullptr;
  int done_ = 0, total_ = 0;
};

// The log's store with its lines exactly as the log writer wrote them:
// quotes kept, lines without "=" kept so that damage shows.
TztIniFile* OpenLogVerbatim(const String& file, bool readOnly) {
  TIniParseOptions& parse = ProfileParseOptions();
  TIniParseOptions saved = parse;
  parse.KeysOnly = parse.TrimEquals = parse.StripQuotes = false;
  DropStore(file);
  TztIniFile* store = OpenStore(file, readOnly);
  parse = saved;
  return store;
}

// Takes the records, the notes of lowered counts and the texts out of the
// log's sections; the number of record sections found.
int TUninstallRun::ReadSections(const TSectionList& sections, bool utf8) {
  int found = 0;
  for (int kind = 0; kind < kLogKindCount; ++kind) {
    int s = sections.IndexOf(LogSectionName(kind));
    if (s < 0) continue;
    ++found;
    const StringList& lines = *sections.SectionAt(s);
    for (int i = 0; i < lines.Count(); ++i) {
      TRecord record;
      String line = utf8 ? FromUtf8(lines[i]) : lines[i];
      if (ParseLogLine(kind, line, record)) {
        Records(kind).Add(record);
      } else if (!line.Trim().IsEmpty()) {
        damaged_.Add(line);
      }
    }
  }
  int lowered = sections.IndexOf(kLoweredSection);
  const StringList* notes = lowered >= 0 ? sections.SectionAt(lowered) : nullptr;
  for (int i = 0; notes && i < notes->Count(); ++i) {
    const String& line = (*notes)[i];
    int equals = line.LastPos('=');
    if (equals > 1)
      lowered_.Add(line.Copy(1, equals - 1) + "=" + line.Copy(equals + 1, line.Length()).Trim());
  }
  int s = sections.IndexOf("Strings");
  if (s >= 0) strings_.Assign(*sections.SectionAt(s));
  return found;
}

// A log that cannot be read (with the system's reason, Code) or reads as
// no log is reported; the user of one that will never read may take its
// registration off the list.
void TUninstallRun::ReportNoLog(bool readable, DWORD code) {
  const String& file = options_.LogFile;
  String said = "The file\r\n" + file + "\r\n" + (readable ? "is not an install log." : "cannot be read.");
  if (!readable && code) said += "\r\n" + SystemErrorText(code);
  if (FaultPending()) TakeFault();
  RunLog("Error: ", ReplaceAll(said, "\r\n", " "));
  if (options_.Silent) return;
  // A log that cannot be read now (held open) may be read later; one
  // that reads as no log (emptied when the disk was full) never will.
  if (readable) {
    ForgetRegistration(said);
  } else {
    ErrorBox(said + "\r\n\r\nNothing was removed.");
  }
}

// The program's registration, whether it is this log's, and the name the
// questions give the program.
void TUninstallRun::FindProgram() {
  const String& file = options_.LogFile;
  for (const TRecord& r : Records(kLogCreateKeys)) {
    if (IsBelow(r.Key, kUninstallRoot) && LastBackslash(r.Key) == static_cast<int>(strlen(kUninstallRoot)))
      registration_ = r.Key;
  }
  // A log cut short may have lost the record of the registration, which
  // would then stay in the list of programs, naming a log that is gone.
  if (registration_.IsEmpty()) registration_ = RegistrationNaming(file);
  // A later installation of the same program may have registered its own
  // log under the same name: then the key is not this log's to remove.
  // Told while the log is there, whose short form tells a script's path.
  // One naming a log that is gone names this one, moved by its user (to
  // keep it from the folder's deletion): the program would stay listed.
  String command = ReadRegString(registration_ + "\\UninstallString", String());
  String named = NamedLog(command);
  ownRegistration_ = command.IsEmpty() || UpperCase(command).Pos(UpperCase(file)) ||
                     CommandNamesLog(command, file) || (IsFullPath(named) && !FileExists(named));
  String name = PathFileName(registration_);
  programName_ = ReadRegString(registration_ + "\\DisplayName", name);
  // The log's texts are in the code page of the setup's language, which
  // the setup keeps with its registration.
  String language = ownRegistration_ ? ReadRegString(registration_ + "\\Language", String()) : String();
  SetLanguageCharset(CharsetForLanguage(UpperCase(language)));
  // Without a registration (taken away by hand, or a log cut short) the
  // questions would name nothing: the first folder the installation made,
  // or else the log's own, names the program.
  if (programName_.IsEmpty()) {
    const Array<TRecord>& folders = Records(kLogCreateDirs);
    programName_ = PathFileName(StripBackslash(folders.Count() ? folders[0].Key : PathFolder(file)));
  }
}

bool TUninstallRun::Load() {
  const String& file = options_.LogFile;
  if (!FileExists(file)) {
    // A quiet run keeps the registration (nobody to ask) but still says why
    // it stopped.
    RunLog("Error: Cannot find the install log ", file);
    if (!options_.Silent) ForgetRegistration("Cannot find the install log\r\n" + file);
    return false;
  }
  logWritten_ = LastWrite(file);
  bool utf8 = TakeOutMark(file, logWritten_) == TSavedAs::kUtf8;
  TztIniFile* store = OpenLogVerbatim(file, true);
  DWORD code = GetLastError();
  bool readable = !FaultPending();
  const TSectionList& sections = store->Sections();
  // Editors of today save without the mark.
  utf8 = readable && (utf8 || SavedAsUtf8(sections));
  int found = readable ? ReadSections(sections, utf8) : 0;
  // What the installation did after the cut is not known: the user learns
  // where the log ends. A record cut in two is named there, not refused.
  String end = readable ? CutShortAt(file, sections, utf8) : String();
  DropStore(file);
  if (!readable || found == 0) {
    ReportNoLog(readable, code);
    return false;
  }
  for (int i = 0; i < damaged_.Count(); ++i) {
    if (damaged_[i] != end) Refused(damaged_[i]);
  }
  if (!end.IsEmpty()) notRemoved_.Add(TextWith(kTextCutShort, end.Trim()));
  copied_.SetSorted(true);
  iniFiles_.SetSorted(true);
  writtenIni_.SetSorted(true);
  for (const TRecord& r : Records(kLogCopyFiles)) copied_.Add(r.Key);
  shared_.SetSorted(true);
  for (const TRecord& r : Records(kLogSharedFiles)) shared_.Add(r.Key);
  FindProgram();
  for (int kind = 0; kind < kLogKindCount; ++kind) total_ += Records(kind).Count();
  return true;
}

// The log is gone (its folder deleted or moved by hand) or reads as no
// log, as Why says: nothing can be taken back, but a registration that
// names it would stay in the list of installed programs for good, so the
// user may take it out of the list.
void TUninstallRun::ForgetRegistration(const String& why) {
  String missing = why + "\r\n\r\n";
  String key = RegistrationNaming(options_.LogFile);
  if (!key.IsEmpty()) {
    String name = ReadRegString(key + "\\DisplayName", PathFileName(key));
    if (QuestionBox(missing + "Nothing can be removed. Remove " + name +
                    " from the list of installed programs?") == kBoxResultYes) {
      DeleteRegistration(key);
      forgotten_ = !RegKeyExists(key);
      if (forgotten_) {
        RunLog("Taken off the list of installed programs: ", name);
      } else {
        // The user said Yes: a key that stays must not go unmentioned.
        RunLog("Error: Cannot take off the list of installed programs: ", key);
        ErrorBox(name + " could not be taken off the list of installed programs: the key\r\n" + key +
                 "\r\ncannot be removed.");
      }
    }
    return;
  }
  ErrorBox(missing + "Nothing was removed.");
}

// Without an administrator's rights every entry of the whole machine would
// fail one by one, after the user said Yes: a standard user learns it
// before anything is touched. From Vista on only: before it, Power Users
// may change much of the machine without being administrators.
bool TUninstallRun::RightsSuffice() {
  const TOSVersion& os = OSVersion();
  if (!os.IsNTLine() || os.Major < 6) return true;
  bool admin = IsAdmin();
  // Rights that cannot be told are found out entry by entry, as before.
  if (FaultPending()) TakeFault();
  if (admin) return true;
  StringList machine;
  GatherMachineFolders(machine);
  for (int kind = 0; kind < kLogKindCount; ++kind) {
    for (const TRecord& r : Records(kind)) {
      if (!NeedsAdministrator(kind, r.Key, machine)) continue;
      String why = "Removing " + programName_ + " needs an administrator's rights: it changes\r\n" + r.Key;
      RunLog("Error: ", ReplaceAll(why, "\r\n", " ") + ". Nothing was removed.");
      if (!options_.Silent)
        ErrorBox(why +
                 "\r\n\r\nStart the uninstaller again as an administrator (Run as administrator)."
                 "\r\n\r\nNothing was removed.");
      return false;
    }
  }
  return true;
}

String TUninstallRun::Text(int id) const {
  String text = strings_.Value(IntToStr(id));
  if (text.IsEmpty() && id >= 1 && id <= kTextCancel) text = kEnglish[id - 1];
  return ReplaceAll(ReplaceAll(text, "||", "\r\n"), "%ProgramName%", programName_);
}

void TUninstallRun::OpenProgress() {
  if (options_.Silent) return;
  // A Unicode window on the NT line, so the language's letters show.
  HINSTANCE instance = GetModuleHandleA(nullptr);
  progress_ =
      OSVersion().IsNTLine()
          ? CreateDialogParamW(instance, reinterpret_cast<LPCWSTR>(Widen(DLG_UNINSTALL, false).c_str()),
                               nullptr, ProgressProc, 0)
          : CreateDialogParamA(instance, DLG_UNINSTALL, nullptr, ProgressProc, 0);
  if (!progress_) return;
  SetText(progress_, Text(kTextCaption));
  SetText(GetDlgItem(progress_, IDC_UNINSTALL_TEXT), Text(kTextProgress));
  SendDlgItemMessageA(progress_, IDC_UNINSTALL_BAR, PBM_SETRANGE32, 0, total_ > 0 ? total_ : 1);
  CenterOnScreen(progress_);
  ShowWindow(progress_, SW_SHOW);
  UpdateWindow(progress_);
}

// A setup that installs now (an update or a repair of this program, or
// any other) is waited for: attended, with a message and Cancel in the
// progress window; without questions, for kQuietWaitMs. False, with the
// exit code in Code, when the user cancelled or the time ran out: nothing
// was removed.
bool TUninstallRun::WaitForTurn(int& code) {
  if (turn_.Take(0)) return true;
  RunLog("Waiting for another setup to finish its installation.", String());
  HWND bar = progress_ ? GetDlgItem(progress_, IDC_UNINSTALL_BAR) : nullptr;
  HWND cancel = progress_ ? GetDlgItem(progress_, IDCANCEL) : nullptr;
  if (progress_) {
    SetText(GetDlgItem(progress_, IDC_UNINSTALL_TEXT), Text(kTextWaiting));
    SetText(cancel, Text(kTextCancel));
    ShowWindow(bar, SW_HIDE);
    ShowWindow(cancel, SW_SHOW);
  }
  DWORD start = GetTickCount();
  while (!turn_.Take(500)) {
    Pump();
    if (progress_ && GetWindowLongPtrA(progress_, DWLP_USER)) {
      RunLog("Cancelled: nothing was removed.", String());
      code = kUninstallCancelled;
      return false;
    }
    // Without a window to cancel from (none could be made), the user is
    // told at the time limit too.
    if (!progress_ && GetTickCount() - start >= kQuietWaitMs) {
      const char* busy = "Another setup is still installing after 10 minutes. Nothing was removed.";
      RunLog("Error: ", busy);
      if (!options_.Silent) ErrorBox(busy);
      code = kUninstallBusy;
      return false;
    }
  }
  if (progress_) {
    ShowWindow(cancel, SW_HIDE);
    ShowWindow(bar, SW_SHOW);
    SetText(GetDlgItem(progress_, IDC_UNINSTALL_TEXT), Text(kTextProgress));
  }
  return true;
}

void TUninstallRun::Step() {
  ++done_;
  if (!progress_) return;
  SendDlgItemMessageA(progress_, IDC_UNINSTALL_BAR, PBM_SETPOS, done_, 0);
  Pump();
}

void TUninstallRun::Pump() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (!IsDialogMessageA(progress_, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}

void TUninstallRun::CloseProgress() {
  if (progress_) DestroyWindow(progress_);
  progress_ = nullptr;
}

bool TUninstallRun::InCopyFiles(const String& path) const {
  int index;
  return copied_.Find(path, index);
}

bool TUninstallRun::AskRemoveShared(const String& path) {
  if (options_.Silent) return true;
  if (keepAllShared_) return false;
  TSharedQuestion q{Text(kTextSharedCaption), Text(kTextSharedQuestion), path,
                    Text(kTextRemove),        Text(kTextKeep),           Text(kTextKeepAll)};
  INT_PTR answer = ShowDialog(DLG_SHAREDFILE, progress_, SharedFileProc, reinterpret_cast<LPARAM>(&q));
  // Without the dialog (no resources, no memory) a plain question serves.
  if (answer <= 0) answer = QuestionBox(q.Text + "\r\n\r\n" + path) == kBoxResultYes ? IDC_SHARED_REMOVE : 0;
  if (answer == IDC_SHARED_KEEP_ALL) keepAllShared_ = true;
  return answer == IDC_SHARED_REMOVE;
}

// A run that ends halfway (killed, the power gone) must not lower a count
// again when the user starts it anew: each lowered count is noted in the
// log at once, with whether no program counts the file any more. The log
// keeps its time, by which later changes to the files are told.
void TUninstallRun::NoteLowered(const String& path, bool last) {
  TztIniFile* store = OpenLogVerbatim(options_.LogFile, false);
  // A log that cannot be written (read-only media) only loses the note.
  if (FaultPending()) {
    TakeFault();
  } else {
    store->WriteString(kLoweredSection, path, last ? "1" : "0");
  }
  DropStore(options_.LogFile);
  SetLastWrite(options_.LogFile, logWritten_);
}

void TUninstallRun::LowerSharedCounts() {
  Array<TRecord>& shared = Records(kLogSharedFiles);
  for (int i = shared.Count() - 1; i >= 0; --i, Step()) {
    const String& path = shared[i].Key;
    String value = SharedDllsValuePath(path);
    // Whole lines are looked up: a path may hold "=".
    bool last = lowered_.IndexOf(path + "=1") >= 0;
    if (!last && lowered_.IndexOf(path + "=0") < 0) {
      // Without a count nobody can tell who else uses the file: it stays.
      if (!RegValueExists(value)) {
        keptShared_.Add(path);
        continue;
      }
      int count = ReadRegInteger(value, 0) - 1;
      last = count <= 0;
      // A count that cannot be lowered still counts this program: the file
      // stays, and so does the record, for another run.
      if (last ? !DeleteRegValue(value) : !WriteRegInteger(value, count)) {
        keptShared_.Add(path);
        shared[i].Stays = true;
        for (TRecord& copy : Records(kLogCopyFiles)) copy.Stays = copy.Stays || SameText(copy.Key, path);
        notRemoved_.Add(WithReason(value, ValueReason(value, last)));
        continue;
      }
      NoteLowered(path, last);
    }
    if (!last) {
      keptShared_.Add(path);
      continue;
    }
    if (InCopyFiles(path)) {
      if (!AskRemoveShared(path)) keptShared_.Add(path);
    } else if (!options_.Silent && FileExists(path) && AskRemoveShared(path)) {
      // Another program installed it, and this one, passing it over, was
      // the last to count it: the user decides, as for the program's own
      // (without questions it stays, not being this program's).
      adopted_.Add(path);
    }
  }
}

void TUninstallRun::UnregisterServers() {
  Array<TRecord>& servers = Records(kLogRegServers);
  for (int i = servers.Count() - 1; i >= 0; --i, Step()) {
    const String& path = servers[i].Key;
    // A server that stays (shared with another program) keeps its
    // registration, and a file this installation did not write is not its.
    if (!Goes(path)) continue;
    String queued = kRunOnceKey + ("'" + ReplaceAll(path, "'", "''") + "'");
    if (RegValueExists(queued)) DeleteRegValue(queued);
    if (FileExists(path) && CanUnregister(path) && !UnregisterServer(path))
      notRemoved_.Add(TextWith(kTextStillRegistered, path));
  }
}

void TUninstallRun::RemoveFonts() {
  Array<TRecord>& fonts = Records(kLogRegFonts);
  bool any = false;
  for (int i = fonts.Count() - 1; i >= 0; --i, Step()) {
    if (!Goes(fonts[i].Key)) {
      keptFonts_.Add(fonts[i].Key);
      continue;
    }
    RemoveFontResourceA(fonts[i].Key.c_str());
    any = true;
  }
  // A window that does not answer must not hold the uninstaller up.
  if (any) SendMessageTimeoutA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG, 1000, nullptr);
}

void TUninstallRun::RemoveFiles(int kind) {
  Array<TRecord>& files = Records(kind);
  String self = ProgramFile();
  for (int i = files.Count() - 1; i >= 0; --i, Step()) {
    TRecord& record = files[i];
    const String& path = record.Key;
    bool shortcut = kind == kLogShortcuts;
    if (!IsFullPath(path) || (shortcut && !SameText(RightStr(path, 4), ".lnk")) || FolderExists(path)) {
      Refused(path);
      continue;
    }
    // The log goes last.
    if (SameText(path, options_.LogFile)) continue;
    // A copy of this program among the installation's files, started from
    // there, cannot delete itself; moved out, it frees its folder at once.
    // (The one in the Windows folder, which other registrations may name,
    // goes by RemoveSharedCopies.)
    if (SameText(path, self)) {
      if (!IsProtectedFolder(StripBackslash(PathFolder(path)), systemFolders_) && !MoveOwnCopyAway(path) &&
          !AtRestart(path))
        Failed(record);
      continue;
    }
    if (!shortcut && (keptShared_.IndexOf(path) >= 0 || StaysChanged(path))) continue;
    DWORD code;
    if (FileExists(path) && !DeleteOrQueue(path, code)) Failed(record, code);
  }
}

// A file the setup could replace only at the next start (an update while
// the program ran) waits beside it under a temporary name, which the
// system's list of what waits for the restart gives the file's name then:
// the program would come back. For each file this run removed, that copy
// goes now, and the restart finds nothing to rename.
void TUninstallRun::DropWaitingCopies() {
  static char data[65536];
  DWORD size = sizeof(data) - 2;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0,
                    KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return;
  LONG got = RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr,
                              reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  if (got != ERROR_SUCCESS) return;
  data[size] = data[size + 1] = 0;
  // Pairs of names (\??\C:\...), each ending in a zero: the file that
  // waits, and the name it takes (empty for a deletion). A file changed by
  // its user stays as the user left it.
  for (const char* from = data; from < data + size;) {
    const char* to = from + strlen(from) + 1;
    const char* next = to + strlen(to) + 1;
    if (*to && Goes(to + 4)) DeleteFileA(from + 4);
    from = next;
  }
}

// A file changed after the installation holds the work of its user or of a
// program, which is not the installation's to take: whether Path stays so
// (noted for the final list). An INI file the installation wrote keys to
// was just rewritten: what counts is whether others wrote to it before,
// and what they wrote stays. A shared file may since be another program's
// newer copy: its count and the question decide.
bool TUninstallRun::StaysChanged(const String& path) {
  int index;
  if (iniFiles_.Find(path, index)) {
    if (writtenIni_.IndexOf(path) < 0 || !FileExists(path) || !HoldsText(path)) return false;
    leftIni_.Add(path);
    return true;
  }
  if (shared_.Find(path, index) || !ChangedSinceLog(path)) return false;
  changed_.Add(path);
  return true;
}

// Deletes the file at Path, or has it deleted at the next start while it
// is in use; false, with the system's reason in Code, when neither works.
bool TUninstallRun::DeleteOrQueue(const String& path, DWORD& code) {
  if (RemoveFileForced(path)) return true;
  code = GetLastError();
  return AtRestart(path);
}

// A shared file another program installed takes its OLE registration and
// its font with it, which that program made and left for the other users.
void TUninstallRun::RemoveAdopted() {
  const char* const kFontKeys[] = {"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts\\",
                                   "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts\\"};
  for (int i = 0; i < adopted_.Count(); ++i) {
    const String& path = adopted_[i];
    if (CanUnregister(path) && !UnregisterServer(path)) {
      notRemoved_.Add(TextWith(kTextStillRegistered, path));
      continue;
    }
    for (const char* key : kFontKeys) {
      String value = key + ("'" + ReplaceAll(PathFileName(path), "'", "''") + "'");
      if (!NamesFont(ReadRegString(value, String()), path)) continue;
      RemoveFontResourceA(path.c_str());
      DeleteRegValue(value);
    }
    DWORD code;
    if (!DeleteOrQueue(path, code)) notRemoved_.Add(WithReason(path, code));
  }
}

void TUninstallRun::RemoveIniKeys() {
  Array<TRecord>& keys = Records(kLogAddIni);
  TIniParseOptions& parse = ProfileParseOptions();
  TIniParseOptions saved = parse;
  for (int i = keys.Count() - 1; i >= 0; --i, Step()) {
    TRecord& record = keys[i];
    String file, section, key;
    if (!SplitIniRecord(record.Key, file, section, key)) {
      Refused(record.Key);
      continue;
    }
    if (!FileExists(file)) continue;
    int known;
    if (!iniFiles_.Find(file, known)) {
      iniFiles_.Add(file);
      if (ChangedSinceLog(file)) writtenIni_.Add(file);
    }
    // The file belongs to others: every other line stays as it stands.
    parse.SkipComments = parse.KeysOnly = parse.TrimEquals = parse.StripQuotes = parse.TrimRight = false;
    parse.KeepLayout = true;
    DropStore(file);
    TztIniFile* store = OpenStore(file, false);
    DWORD code = GetLastError();
    parse = saved;
    if (FaultPending()) {
      TakeFault();
      DropStore(file);
      Failed(record, code);
      continue;
    }
    store->DeleteKey(section, key);
    int s = store->Sections().IndexOf(section);
    bool empty = s >= 0;
    const StringList* lines = s >= 0 ? store->Sections().SectionAt(s) : nullptr;
    for (int l = 0; empty && l < lines->Count(); ++l) empty = (*lines)[l].Trim().IsEmpty();
    if (empty) store->EraseSection(section);
    if (!DropStore(file)) {
      Failed(record);
    } else if (!HoldsText(file)) {
      // Its last keys were this program's (another program made the file):
      // an empty file is nobody's.
      RemoveFileForced(file);
    }
  }
}

void TUninstallRun::RemoveRegistryValues() {
  Array<TRecord>& values = Records(kLogAddReg);
  for (int i = values.Count() - 1; i >= 0; --i, Step()) {
    TRecord& record = values[i];
    if (!RegValueExists(record.Key)) continue;
    // The system loads a font that stays at its next start through its
    // value (logged without data), so the value stays with the font.
    if (record.Value.IsEmpty() && KeepsFont(ReadRegString(record.Key, String()))) continue;
    if (!DeleteRegValue(record.Key)) Failed(record, ValueReason(record.Key));
  }
}

bool TUninstallRun::KeepsFont(const String& data) const {
  for (int i = 0; i < keptFonts_.Count(); ++i) {
    if (NamesFont(data, keptFonts_[i])) return true;
  }
  return false;
}

bool TUninstallRun::AnyStays() const {
  for (int kind = 0; kind < kLogKindCount; ++kind) {
    for (const TRecord& r : records_[kind]) {
      if (r.Stays) return true;
    }
  }
  return false;
}

// Without failures the log goes before the folders, which it may keep from
// being empty.
void TUninstallRun::RemoveLog() {
  const String& file = options_.LogFile;
  if (!RemoveFileForced(file) && FileExists(file) && DeleteAtReboot(file)) atRestart_.Add(file);
}

// With failures the log keeps the records that stay, and the folders and
// keys that are still there, for another run.
void TUninstallRun::RewriteLog() {
  const String& file = options_.LogFile;
  TztIniFile* store = OpenLogVerbatim(file, false);
  for (int kind = 0; kind < kLogKindCount; ++kind) {
    store->EraseSection(LogSectionName(kind));
    for (const TRecord& r : records_[kind]) {
      if (r.Stays) store->WriteString(LogSectionName(kind), r.Key, r.Value);
    }
  }
  DropStore(file);
}

// Whether the registry key holds neither keys nor values.
bool KeyIsEmpty(const String& key) {
  StringList subkeys, values;
  ReadRegSubkeys(key, subkeys);
  ReadRegValueNames(key, values);
  return subkeys.IsEmpty() && values.IsEmpty();
}

void TUninstallRun::RemoveKeys() {
  Array<TRecord>& keys = Records(kLogCreateKeys);
  // Each key's path in capitals with a final "\", made once: a test of
  // every pair that copied both paths took minutes for thousands of keys.
  Array<String> below;
  for (const TRecord& r : keys) below.Add(UpperCase(StripBackslash(r.Key)) + "\\");
  for (int i = keys.Count() - 1; i >= 0; --i, Step()) {
    TRecord& record = keys[i];
    const String& key = record.Key;
    if (SameText(key, registration_) || !RegKeyExists(key)) continue;
    if (IsProtectedKey(key)) {
      // Even empty, the system's keys are never taken away; an emptied file
      // type or class of the installation's own goes.
      if (!KeyIsEmpty(key)) {
        Refused(key);
      } else if (IsClassKey(key) && !DeleteRegKey(key)) {
        Failed(record, KeyReason(key));
      }
    } else {
      // A key that holds another logged key was made only to hold it: it
      // goes when empty, and another product of the vendor may be in it.
      const String& mine = below[i];
      bool holder = false;
      for (int o = 0; !holder && o < below.Count(); ++o) {
        holder = below[o].Length() > mine.Length() + 1 &&
                 memcmp(below[o].c_str(), mine.c_str(), static_cast<size_t>(mine.Length())) == 0;
      }
      if (holder) {
        if (KeyIsEmpty(key) && !DeleteRegKey(key)) Failed(record, KeyReason(key));
      } else if (!DeleteRegKey(key)) {
        Failed(record, KeyReason(key));
      }
    }
    record.Stays = record.Stays || RegKeyExists(key);
  }
}

// The folders below one of the installation's own that its files needed and
// nobody logged (an INI file's folders are made when the file is written)
// go when the files that went leave them empty. So does the folder of a
// shared file that went as no program counts it any more: the program
// that made it, installed first, has gone before.
void TUninstallRun::RemoveEmptiedFolders() {
  const Array<TRecord>& folders = Records(kLogCreateDirs);
  for (const TRecord& file : Records(kLogCopyFiles)) {
    String folder = StripBackslash(PathFolder(file.Key));
    int index;
    bool lastShared =
        shared_.Find(file.Key, index) && keptShared_.IndexOf(file.Key) < 0 && !FileExists(file.Key);
    for (;;) {
      bool below = false;
      for (const TRecord& own : folders) below = below || IsBelow(folder, own.Key);
      if (!(below || lastShared) || IsProtectedFolder(folder, systemFolders_) ||
          !RemoveDirectoryA(folder.c_str()))
        break;
      folder = StripBackslash(PathFolder(folder));
      lastShared = false;
    }
  }
}

// The entries "." and ".." a folder search finds first.
bool IsDots(const WIN32_FIND_DATAA& data) {
  return strcmp(data.cFileName, ".") == 0 || strcmp(data.cFileName, "..") == 0;
}

// A folder found by a search, but no link (junction): a link is never
// entered, and counts as content.
bool IsPlainFolder(const WIN32_FIND_DATAA& data) {
  return (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
             FILE_ATTRIBUTE_DIRECTORY &&
         !IsDots(data);
}

// Whether Folder holds nothing but folders that hold nothing, at any
// depth, such as a program makes for its caches and logs while it runs;
// with Remove, they go, the deepest first, and then Folder. A file appearing
// meanwhile keeps its folders.
bool OnlyEmptyFolders(const String& folder, bool remove) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  bool empty = true;
  do {
    if (IsDots(data)) continue;
    empty = IsPlainFolder(data) && OnlyEmptyFolders(folder + "\\" + data.cFileName, remove);
  } while (empty && FindNextFileA(find, &data));
  FindClose(find);
  return empty && (!remove || RemoveDirectoryA(folder.c_str()));
}

// A folder that waits for the next start to go, as a file in it does, goes
// then only if the folders in it that hold nothing went before it: the
// system deletes in the order it was asked. They are asked for the deepest
// first.
void TUninstallRun::EmptyFoldersAtRestart(const String& folder) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    String inner = folder + "\\" + data.cFileName;
    if (!IsPlainFolder(data) || !OnlyEmptyFolders(inner, false)) continue;
    EmptyFoldersAtRestart(inner);
    if (DeleteAtReboot(inner)) atRestart_.Add(inner);
  } while (FindNextFileA(find, &data));
  FindClose(find);
}

// Whether all that Folder holds, at any depth, goes at the next start:
// files this run queued (under their names, or renamed aside as UnO*.tmp)
// and folders holding nothing else. A file of the user's beside them
// keeps the folder for good, which is then told as left, not as going.
bool TUninstallRun::EmptiedAtRestart(const String& folder) const {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  bool goes = true;
  do {
    String name = data.cFileName, inner = folder + "\\" + name;
    if (IsDots(data)) continue;
    goes = IsPlainFolder(data) ? EmptiedAtRestart(inner)
                               : !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                                     (atRestart_.IndexOf(inner) >= 0 || IsAsideName(name));
  } while (goes && FindNextFileA(find, &data));
  FindClose(find);
  return goes;
}

// Clears the read-only mark of Path; its attributes before, or
// INVALID_FILE_ATTRIBUTES when it cannot be found.
DWORD ClearReadOnly(const String& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  return attributes;
}

void TUninstallRun::RemoveFolders() {
  Array<TRecord>& folders = Records(kLogCreateDirs);
  for (int i = folders.Count() - 1; i >= 0; --i, Step()) {
    const String& folder = folders[i].Key;
    if (!FolderExists(folder)) continue;
    folders[i].Stays = true;
    if (IsProtectedFolder(folder, systemFolders_)) {
      Refused(folder);
      continue;
    }
    // The system keeps a folder marked read-only (by its user or a tool);
    // the installation made this one, and the mark comes back if it stays.
    DWORD attributes = ClearReadOnly(folder);
    // Folders the program made while it ran and left empty hold nothing of
    // its user's: they go with it, but only when nothing else is there.
    if (RemoveDirectoryA(folder.c_str()) ||
        (OnlyEmptyFolders(folder, false) && OnlyEmptyFolders(folder, true))) {
      folders[i].Stays = false;
      continue;
    }
    // Emptied only at the next start: it goes then, after its files.
    bool waits = EmptiedAtRestart(folder);
    if (waits) EmptyFoldersAtRestart(folder);
    if (waits && DeleteAtReboot(folder)) {
      atRestart_.Add(folder);
    } else {
      if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesA(folder.c_str(), attributes);
      leftFolders_.Add(folder);
    }
  }
}

// A registration that stays would list a program that is gone: it is
// named among what was not removed, and another run offers to take it off
// the list.
void TUninstallRun::RemoveRegistration() {
  if (!ownRegistration_ || registration_.IsEmpty() || !RegKeyExists(registration_)) return;
  DeleteRegistration(registration_);
  if (RegKeyExists(registration_)) notRemoved_.Add(WithReason(registration_, KeyReason(registration_)));
}

// The program the registration names may have served it alone: it is
// looked at once the key is gone.
void TUninstallRun::DeleteRegistration(const String& key) {
  String program = CommandProgram(ReadRegString(key + "\\UninstallString", String()));
  if (DeleteRegKey(key) && IsSharedCopy(program)) uninstaller_ = program;
}

// The copy in the Windows folder that the removed registration named, and
// this program's own file when it is such a copy (started by hand, or by
// a registration in another form), go when no registration needs them.
void TUninstallRun::RemoveSharedCopies() {
  String self = ProgramFile();
  if (!uninstaller_.IsEmpty()) RemoveSharedCopy(uninstaller_, self);
  if (!SameFile(self, uninstaller_) && IsSharedCopy(self)) RemoveSharedCopy(self, self);
}

// The lines of List, one per line; a long list is cut, so the box still fits
// on the screen.
String ListText(const StringList& list) {
  String text;
  for (int i = 0; i < list.Count() && i < 20; ++i) text += (i ? "\r\n" : "") + list[i];
  if (list.Count() > 20) text += "\r\n...";
  return text;
}

void LogEach(const char* what, const StringList& list) {
  for (int i = 0; i < list.Count(); ++i) RunLog(what, list[i]);
}

int TUninstallRun::Report() {
  int code = !notRemoved_.IsEmpty()  ? kUninstallIncomplete
             : !atRestart_.IsEmpty() ? kUninstallRestart
                                     : kUninstallDone;
  LogEach("Left, changed after the installation: ", changed_);
  LogEach("Left, not empty: ", leftFolders_);
  LogEach("Left, holds entries of other programs: ", leftIni_);
  LogEach("Not removed: ", notRemoved_);
  LogEach("Removed at the next restart: ", atRestart_);
  RunLog(code == kUninstallIncomplete ? "Not completely removed." : "Removed.", String());
  if (options_.Silent) return code;
  String caption = Text(kTextCaption);
  // Folders that hold the user's own files are no failure, but the user
  // learns where they are, also beside a list of failures.
  String folders;
  if (!changed_.IsEmpty()) folders = "\r\n\r\n" + Text(kTextChanged) + "\r\n" + ListText(changed_);
  if (!leftFolders_.IsEmpty()) folders += "\r\n\r\n" + Text(kTextNotEmpty) + "\r\n" + ListText(leftFolders_);
  if (!leftIni_.IsEmpty()) folders += "\r\n\r\n" + Text(kTextOthersEntries) + "\r\n" + ListText(leftIni_);
  if (!notRemoved_.IsEmpty()) {
    ShowBox(nullptr, caption, Text(kTextNotRemoved) + "\r\n\r\n" + ListText(notRemoved_) + folders,
            kBoxIconWarning | kBoxTaskModal | kBoxLanguageText);
  } else if (atRestart_.IsEmpty() || !folders.IsEmpty()) {
    // (Before a restart question too: what stays is told either way.)
    ShowBox(nullptr, caption, Text(kTextDone) + folders,
            MB_ICONINFORMATION | kBoxTaskModal | kBoxLanguageText);
  }
  if (!atRestart_.IsEmpty() && QuestionBox(Text(kTextRestart)) == kBoxResultYes) RebootSystem(false);
  return code;
}

// A current folder is held open: one inside the installation (the user's
// command prompt, a shortcut's working folder) would stay behind, empty.
void LeaveCurrentFolder(String& logFile) {
  char buffer[MAX_PATH + 1];
  DWORD n = GetFullPathNameA(logFile.c_str(), MAX_PATH, buffer, nullptr);
  if (n == 0 || n >= MAX_PATH) return;
  logFile = String(buffer, static_cast<int>(n));
  String windows = WindowsFolder();
  if (!windows.IsEmpty()) SetCurrentDirectoryA(windows.c_str());
}

// Two runs on one log (a double click in the list of programs) would lower
// the shared counts twice: the later one stops before it changes anything.
// The log is known by its short form, which the list of programs' long
// name and a script's short one share.
class TOneRunPerLog {
 public:
  explicit TOneRunPerLog(const String& log) {
    String name = "OsinUninstall:" + ReplaceAll(UpperCase(ShortPathOf(log)), "\\", "/");
    // The system takes names up to MAX_PATH: a log deep in folders is
    // named by its path's hash instead, which two runs share as well.
    if (name.Length() >= MAX_PATH) {
      uint32_t hash = 2166136261u;
      for (int i = 0; i < name.Length(); ++i) hash = (hash ^ static_cast<unsigned char>(name[i])) * 16777619u;
      name = "OsinUninstall:" + IntToStr(hash) + ":" + RightStr(name, 100);
    }
    mutex_ = CreateMutexA(nullptr, FALSE, name.c_str());
    alone_ = mutex_ && GetLastError() != ERROR_ALREADY_EXISTS;
  }
  ~TOneRunPerLog() {
    if (mutex_) CloseHandle(mutex_);
  }
  bool Alone() const { return alone_; }

 private:
  HANDLE mutex_;
  bool alone_;
};

int TUninstallRun::Run() {
  if (!Load()) {
    if (!forgotten_) return kUninstallNoLog;
    // The copy a setup installing now has just put there may be about to
    // be registered: it stays then.
    if (turn_.Take(0)) RemoveSharedCopies();
    return kUninstallDone;
  }
  SetMessageCaption(Text(kTextCaption));
  if (!RightsSuffice()) return kUninstallNoLog;
  // Holding the turn, the run read the log again after the user said Yes.
  bool asked = turn_.Held();
  if (!options_.Silent && !asked && QuestionBox(Text(kTextQuestion)) != kBoxResultYes) {
    RunLog("Cancelled: nothing was removed.", String());
    return kUninstallCancelled;
  }
  OpenProgress();
  int code;
  if (!WaitForTurn(code)) {
    CloseProgress();
    return code;
  }
  // A setup that wrote the log meanwhile (an update adding files, a
  // repair writing them again) made it another log: its files would be
  // left as changed after the installation, its new ones unknown.
  if (!asked && LastWrite(options_.LogFile) != logWritten_) {
    RunLog("The install log changed meanwhile: read again.", String());
    CloseProgress();
    return kReadAgain;
  }
  // A log marked read-only (copied from a CD, or by its user) must still
  // take the notes of lowered counts and the records that stay, or another
  // run would lower the counts again. It is this program's to delete anyway.
  ClearReadOnly(options_.LogFile);
  GatherSystemFolders(systemFolders_);
  LowerSharedCounts();
  UnregisterServers();
  RemoveFonts();
  RemoveFiles(kLogShortcuts);
  RemoveIniKeys();
  RemoveRegistryValues();
  RemoveFiles(kLogCopyFiles);
  DropWaitingCopies();
  RemoveAdopted();
  keepLog_ = AnyStays();
  if (!keepLog_) RemoveLog();
  RemoveKeys();
  RemoveEmptiedFolders();
  RemoveFolders();
  if (keepLog_) {
    // The registration stays with the log, so the user can run it again.
    for (TRecord& r : Records(kLogCreateKeys)) r.Stays = r.Stays || SameText(r.Key, registration_);
    RewriteLog();
  } else {
    RemoveRegistration();
  }
  DropAllStores();
  CloseProgress();
  RemoveSharedCopies();
  // A setup waiting meanwhile need not wait for the user to read the end.
  turn_.Leave();
  return Report();
}

}  // namespace

int RunUninstall(const TUninstallOptions& given) {
  TUninstallOptions options = given;
  LeaveCurrentFolder(options.LogFile);
  TOneRunPerLog guard(options.LogFile);
  if (!guard.Alone()) {
    String busy = "The uninstaller is already working on\r\n" + options.LogFile;
    RunLog("Error: ", ReplaceAll(busy, "\r\n", " "));
    if (!options.Silent) ErrorBox(busy + "\r\n\r\nNothing was removed by this run.");
    return kUninstallNoLog;
  }
  // The turn is taken after the question and held through the second
  // reading of a log that changed meanwhile, which asks no more.
  TSetupTurn turn;
  int code;
  do {
    TUninstallRun run(options, turn);
    code = run.Run();
  } while (code == kReadAgain);
  return code;
}

}  // namespace osin
