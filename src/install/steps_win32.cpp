// The system-change steps after the file phase.
#include <windows.h>

#include "config/profile.h"
#include "config/registry.h"
#include "install/pending.h"
#include "platform/file.h"
#include "platform/osversion.h"
#include "platform/shelllink.h"
#include "platform/strutils.h"
#include "platform/sysutils.h"
#include "platform/text.h"
#include "ui/msgbox.h"

namespace osin {

namespace {

const char kRunOnceKey[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\";
// Where the system looks for fonts to load at its start: the 95 line's key,
// and the NT line's, which never reads the other one.
const char kFontsKey9x[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts\\";
const char kFontsKeyNT[] = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts\\";

// Says what failed, then where.
void StepError(const char* text, const String& where) {
  ErrorBox(String(text) + "\r\r" + where);
}

// A value name as the last element of a registry path: in apostrophes, an
// apostrophe inside doubled, when it holds a backslash or a quote, which
// would otherwise move the split between key and name.
String RegValueNameElement(const String& name) {
  if (!name.Pos('\\') && !name.Pos('\'') && !name.Pos('"')) return name;
  return QuoteApostrophes(name);
}

String SystemFolder() {
  char buffer[MAX_PATH];
  UINT n = GetSystemDirectoryA(buffer, MAX_PATH);
  return StripBackslash(String(buffer, n < MAX_PATH ? static_cast<int>(n) : 0));
}

// Servers --------------------------------------------------------------

// Registers Path when the system next starts, through regsvr32 under
// RunOnce: the file waits for its replacement at restart.
bool QueueRegistration(const String& path) {
  String command = SystemFolder() + "\\regsvr32.exe /s \"" + path + "\"";
  return WriteRegString(kRunOnceKey + RegValueNameElement(path), command);
}

// INI files ------------------------------------------------------------

// The options of the stores of the INI files the step changes: other
// programs' files keep every line as it stands.
TIniParseOptions KeepLinesOptions() {
  TIniParseOptions options;
  options.SkipComments = options.KeysOnly = options.TrimEquals = options.StripQuotes = options.TrimRight =
      false;
  options.KeepLayout = true;
  return options;
}

// A text no INI value holds: the moment, to the millisecond.
String NowText() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return String::Format("%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                        t.wSecond, t.wMilliseconds);
}

// An existing file that its store could not open would raise a run-ending
// fault (the file is read-only, held by its program, or denied to the
// user), and one in UTF-16 would be ruined; asked first, it is one failed
// step instead. The read-only mark is
// looked at itself, as an administrator may be let through where the
// file's program would be refused.
bool CanOpenExisting(const String& file, bool write) {
  DWORD attributes = GetFileAttributesA(file.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  if (write && (attributes & FILE_ATTRIBUTE_READONLY)) return false;
  // The access and sharing the stores ask for.
  FileHandle h = write ? OpenFileHandle(file, kFileRead | kFileWrite, kShareRead, 0, kOpenExisting)
                       : OpenFileHandle(file, kFileRead, kShareRead | kShareWrite, 0, kOpenExisting);
  bool ok = IsOpenFile(h);
  // A file in UTF-16 (the system's profile functions keep that form) would
  // be ruined by lines in the ANSI code page: its program's settings lost.
  uint16_t mark = 0;
  if (ok && write && FileRead(h, &mark, 2) == 2 && (mark == 0xFEFF || mark == 0xFFFE)) ok = false;
  CloseFileHandle(h);
  return ok;
}

enum class IniOutcome { kLeft, kWritten, kFailed };

// One AddIni entry, its file loaded, changed and written back on its own:
// a key counts as written only once it is on the disk. Existed and Created
// tell whether the key was there before and whether the file was new.
IniOutcome WriteIniEntry(const TPendingEntry& entry, const String& sentinel, bool& existed, bool& created) {
  const String file = entry.NamePart(1);
  TIniParseOptions& options = ProfileParseOptions();
  TIniParseOptions saved = options;
  options = KeepLinesOptions();
  // A store of this file opened before with other options goes first.
  DropStore(file);
  IniOutcome outcome = IniOutcome::kFailed;
  if (CanOpenExisting(file, false)) {
    existed = ReadIniString(file, entry.NamePart(2).c_str(), entry.NamePart(3).c_str(), sentinel) != sentinel;
    outcome = IniOutcome::kLeft;
  }
  if (outcome == IniOutcome::kLeft && (!existed || !(entry.NumberField(2) & kOnlyIfMissing))) {
    created = !FileExists(file);
    bool written =
        CanOpenExisting(file, true) && WriteIni(file, entry.NamePart(2), entry.NamePart(3), entry.Field(1));
    outcome = DropStore(file) && written ? IniOutcome::kWritten : IniOutcome::kFailed;
  }
  DropStore(file);
  options = saved;
  return outcome;
}

}  // namespace

bool RegisterServers(const TPendingList& servers, const TInstallLog& log) {
  for (int i = 0; i < servers.Count(); ++i) {
    const TPendingEntry& server = servers[i];
    bool now = server.NumberField(1) != 0;
    if (!(now ? RegisterServer(server.Name) : QueueRegistration(server.Name))) {
      ErrorBox(
          "Cannot register OLE server!\r\r"
          "After install try to register it manually:\r"
          "regsvr32.exe \"" +
          server.Name + "\"");
    }
    if (server.NumberField(2) != 0) WriteLogEntry(log, kLogRegServers, server.Name, kNoText);
  }
  return true;
}

bool ApplyRegistryChanges(const TPendingList& additions, const TPendingList& deletions,
                          const TInstallLog& log) {
  for (int i = 0; i < additions.Count(); ++i) {
    const TPendingEntry& value = additions[i];
    const String data = value.Field(1);
    int flags = value.NumberField(2);
    bool existed = RegValueExists(value.Name);
    if (existed && (flags & kOnlyIfMissing)) continue;
    if (!(flags & kNoLog)) ForceKeyLogged(log, RegKeyPart(value.Name));
    bool written = data.StartsWith("#")
                       ? WriteRegInteger(value.Name, StrToIntDef(data.Copy(2, data.Length()), 0))
                       : WriteRegString(value.Name, data);
    if (!written) {
      StepError("Error on changing registry data!", value.Name);
      return false;
    }
    if (!existed && !(flags & kNoLog)) WriteLogEntry(log, kLogAddReg, value.Name, data);
  }
  for (int i = 0; i < deletions.Count(); ++i) DeleteRegEntry(deletions[i].Name);
  return true;
}

bool ApplyIniChanges(const TPendingList& changes, const TInstallLog& log) {
  const String sentinel = NowText();
  bool ok = true;
  for (int i = 0; i < changes.Count() && ok; ++i) {
    const TPendingEntry& entry = changes[i];
    bool existed = false, created = false;
    // The folders a new file needs are the installation's too: made here,
    // they are logged; the store would make them unrecorded, and they
    // would outlive the uninstallation.
    bool logged = !(entry.NumberField(2) & kNoLog);
    // Logged as the system names the file (a ".." resolved): the
    // uninstaller leaves a record that is no plain full path.
    const String file = FullPathOf(entry.NamePart(1));
    if (logged) ForceFolderLogged(log, PathFolder(file));
    IniOutcome outcome = WriteIniEntry(entry, sentinel, existed, created);
    if (outcome == IniOutcome::kFailed) {
      StepError("Error on changing ini-file!", file);
      ok = false;
    } else if (outcome == IniOutcome::kWritten && !existed && logged) {
      // A file the step made goes with the uninstallation.
      if (created) WriteLogEntry(log, kLogCopyFiles, file, kNoText);
      WriteLogEntry(log, kLogAddIni,
                    file + entry.Name.Copy(entry.NameParts[0].Length() + 1, entry.Name.Length()),
                    entry.Field(1));
    }
  }
  DropAllStores();
  return ok;
}

bool RegisterFonts(const TPendingList& fonts, const String& fontsFolder, const TInstallLog& log) {
  bool nt = OSVersion().IsNTLine();
  for (int i = 0; i < fonts.Count(); ++i) {
    const String& path = fonts[i].Name;
    AddFontResourceA(path.c_str());
    // Without its value the font is gone after the next restart. The NT
    // line names a file in the fonts folder by its name alone.
    const String name = PathFileName(path);
    String value = (nt ? kFontsKeyNT : kFontsKey9x) + RegValueNameElement(name);
    WriteRegString(value, nt && SameText(PathFolder(path), fontsFolder) ? name : path);
    WriteLogEntry(log, kLogAddReg, value, kNoText);
    WriteLogEntry(log, kLogRegFonts, path, kNoText);
  }
  // A window that does not answer must not hold the setup up.
  SendMessageTimeoutA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG, 1000, nullptr);
  return true;
}

bool CreateShortcuts(const TPendingList& shortcuts, const TInstallLog& log) {
  for (int i = 0; i < shortcuts.Count(); ++i) {
    const TPendingEntry& entry = shortcuts[i];
    // As the system names it (a ".." resolved), which the log must: the
    // uninstaller leaves a record that is no plain full path.
    const String file = FullPathOf(entry.Name + ".lnk");
    int flags = entry.NumberField(7);
    if ((flags & kOnlyIfMissing) && FileExists(file)) continue;
    String folder = StripBackslash(PathFolder(file));
    if (flags & kNoLog) {
      ForceFolders(folder);
    } else {
      ForceFolderLogged(log, folder);
    }
    TztShellLink link;
    link.Target = entry.Field(1);
    link.Arguments = entry.Field(2);
    link.WorkingDirectory = entry.Field(3);
    link.IconLocation = entry.Field(4);
    link.IconIndex = entry.NumberField(5);
    link.HotKey = static_cast<uint16_t>(entry.NumberField(6));
    if (!link.SaveToFile(file)) {
      StepError("Error on creating shortcut!", file);
      return false;
    }
    if (!(flags & kNoLog)) WriteLogEntry(log, kLogShortcuts, file, kNoText);
  }
  return true;
}

}  // namespace osin
