#include <windows.h>

#include <commctrl.h>

#include "config/profile.h"
#include "config/registry.h"
#include "install/copyentry.h"
#include "install/filephase.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "platform/filefind.h"
#include "platform/osversion.h"
#include "platform/runlog.h"
#include "platform/strutils.h"
#include "platform/sysutils.h"
#include "ui/msgbox.h"
#include "ui/pagetext.h"
#include "ui/wintext.h"

namespace osin {

String SystemTempFile(const String& folder, const char* prefix) {
  char name[MAX_PATH];
  if (!GetTempFileNameA(folder.c_str(), prefix, 0, name)) return String();
  return String(name);
}

namespace {

// Controls of the progress page the worker drives.
enum : int { kActionText = 106, kFileBar = 107, kTotalBar = 109 };
// Texts of section DLG_PROGRESS.
enum : int { kExtractingText = 200, kSkippingText = 201, kCopyingText = 202 };
// Message 11: an entry that cannot be written.
const int kCannotExtractMessage = 11;

// Text with its first "%s" replaced by Arg. The format comes from the
// language file, so it is never handed to printf: a stray "%n" or a second
// "%s" must not read or write beyond the one argument.
String FormatOne(const String& format, const String& arg) {
  int at = format.Pos("%s");
  if (!at) return format;
  String result = format;
  result.Delete(at, 2);
  result.Insert(arg, at);
  return result;
}

int Percent(int64_t done, int64_t size) {
  if (size <= 0) return done > 0 ? 100 : 0;
  if (done >= size) return 100;
  if (done <= 0) return 0;
  // Both scaled into 31 bits for the system's rounded MulDiv: a 64-bit
  // division would link the compiler's support routine into 32-bit builds.
  while (size > 0x7FFFFFFF) {
    size >>= 1;
    done >>= 1;
  }
  return MulDiv(int(done), 100, int(size));
}

// How often the page is brought up to date while files go by.
const uint32_t kRefreshMs = 50;

void SetBar(TFilePhase& phase, int id, int position, int& shown) {
  if (position == shown) return;
  shown = position;
  SendMessageA(GetDlgItem(phase.ProgressWindow, id), PBM_SETPOS, WPARAM(position), 0);
}

bool Counted(TFilePhase& phase, int64_t count) {
  phase.FileDone += count;
  phase.TotalDone += count;
  RefreshPage(phase, false);
  return !PhaseCancelled(phase);
}

class PhaseProgress : public TArcProgress {
 public:
  explicit PhaseProgress(TFilePhase& phase) : phase_(phase) {}
  bool OnProgress(const String&, uint32_t count, bool) override { return Counted(phase_, count); }

 private:
  TFilePhase& phase_;
};

bool CopyProgress(void* context, const String&, const String&, int64_t written, int64_t, int64_t) {
  return Counted(*static_cast<TFilePhase*>(context), written);
}

void ShowAction(TFilePhase& phase, int id, const String& fileName) {
  if (!phase.ProgressWindow) return;
  phase.action = FormatOne(phase.actionFormats[id - kExtractingText], fileName);
  RefreshPage(phase, false);
}

void CannotWrite(TFilePhase& phase, const String& target) {
  String format = phase.Texts ? MessageString(*phase.Texts, kCannotExtractMessage).Text : String();
  if (format.IsEmpty()) format = "Can't extract file \"%s\".";
  String text = FormatOne(format, target);
  RefreshPage(phase, true);
  TWorkerSignals* signals = phase.Signals;
  if (signals) InterlockedExchange(const_cast<long*>(&signals->Asking), 1);
  ShowBox(phase.ProgressWindow, "Error", text, kBoxIconError | kBoxLanguageText);
  if (signals) InterlockedExchange(const_cast<long*>(&signals->Asking), 0);
}

// Puts Temp in Target's place now; false when Target is in use (or cannot
// be replaced for another reason), the system's reason then being the
// thread's last error. MoveFileEx replaces in one step on the NT line; the
// 95 line lacks it and deletes first, a new file having nothing to delete.
bool ReplaceNow(const String& temp, const String& target) {
  SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (OSVersion().IsNTLine()) return MoveFileExA(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
  return (DeleteFileA(target.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) &&
         MoveFileA(temp.c_str(), target.c_str());
}

struct WriteRequest {
  TArchive* archive;
  const String& source;  // the external file
  const String& target;
  bool logged;
};

// Writes the file to Target (step 8 of the file routine); InUse tells that
// it waits for the next start under a temporary name.
bool WriteFile(TFilePhase& phase, const WriteRequest& request, bool& inUse) {
  String folder = PathFolder(request.target);
  if (request.logged) {
    ForceFolderLogged(*phase.Log, folder);
  } else {
    // Not logged: made silently, so a temporary file has its folder too.
    ForceFolders(folder);
  }
  // Every file is written under a temporary name first, a new one too: a
  // run killed halfway (or the power gone) must not leave a part under the
  // file's own name, which a later run would take for a newer installed
  // copy and keep.
  String temp = (phase.MakeTempFile ? phase.MakeTempFile : SystemTempFile)(folder, "Osin");
  // Without a temporary file there is nowhere safe to write: never the
  // current folder, which an empty name would mean.
  if (temp.IsEmpty()) return false;
  PhaseProgress progress(phase);
  bool ok = request.archive ? request.archive->Process(aoExtract, temp, &progress)
                            : CopyFileWithProgress(request.source, temp, CopyProgress, &phase, false);
  // A cancel that came while the last piece was written still keeps the
  // installed file.
  if (!ok || PhaseCancelled(phase)) {
    RemoveFileForced(temp);
    return false;
  }
  if (ReplaceNow(temp, request.target)) return true;
  // Only a file in use waits for the next start. A name the system refuses
  // (a "|", a "?") would be refused then too, and so would a folder in the
  // file's place (named so, or by a trailing "\"): the restart would bring
  // nothing but a stray temporary file.
  DWORD error = GetLastError();
  bool held = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
  if (!held || FolderExists(request.target) || !ReplaceAtReboot(temp, request.target)) {
    RemoveFileForced(temp);
    return false;
  }
  inUse = true;
  *phase.NeedReboot = true;
  return true;
}

void RaiseSharedCount(const TFilePhase& phase, const String& target) {
  String path = SharedDllsValuePath(target);
  int count = ReadRegInteger(path, 0);
  // The uninstaller lowers the count once for each file its log names, and
  // a log names a file once: a program installed again over itself (a
  // reinstall, an update, a run that failed before) must not raise it again,
  // or the file would outlive every program that uses it.
  // (A logged record's value is empty, never "1".)
  if (count == 0 || ReadIniBool(phase.Log->FileName, LogSectionName(kLogSharedFiles), target.c_str(), true))
    WriteRegInteger(path, count + 1);
  // A run that fails later still keeps this record: without it, the next
  // run into the same folder would count the file a second time.
  phase.Log->Changed = true;
  WriteLogEntry(*phase.Log, kLogSharedFiles, target, kNoText);
}

// Why the file to install must give way to the installed one (step 5), as
// the run log's words, or null when it is written.
const char kSkippedSame[] = "Skipped, same: ";
const char* KeepInstalled(TFilePhase& phase, TArchive* archive, const String& name, const String& target,
                          int flags) {
  String version;
  uint32_t date = 0;
  if (archive) {
    version = ReadIniString(phase.ConfigFile, "VersionInfo", name.Copy(6, name.Length()).c_str(), kNoText);
    date = archive->Header.ModTime;
  } else {
    GetFileVersionString(name, version);
    FileDosTime(name, date);
  }
  int order = 0;
  if (!CompareInstalled(version, target, date, order)) return nullptr;
  if (order > 0) {
    // Keep-installed (16) decides alone: no answer given for another file
    // may overwrite it.
    const char* newer = "Skipped, newer installed: ";
    if (flags & kKeepNewer) return newer;
    if (phase.Choice != kReplaceAll && phase.Choice != kKeepAllInstalled) {
      RefreshPage(phase, true);
      phase.Choice = phase.AskConflict
                         ? phase.AskConflict(phase.AskContext, target)
                         : AskVersionConflict(phase.ConflictOwner, target, *phase.Texts, phase.Signals);
    }
    return phase.Choice != kReplace && phase.Choice != kReplaceAll ? newer : nullptr;
  }
  return order == 0 && FileSizeOf(target) == phase.FileSize ? kSkippedSame : nullptr;
}

// A folder's identity on its volume, to recognise a folder met again
// through a link that the system does not mark as one.
struct FolderId {
  DWORD volume;
  DWORD high;
  DWORD low;
  bool operator==(const FolderId& o) const { return volume == o.volume && high == o.high && low == o.low; }
};

bool IdentifyFolder(const String& folder, FolderId& id) {
  HANDLE h = CreateFileA(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  bool ok = GetFileInformationByHandle(h, &info) != 0;
  CloseHandle(h);
  id = FolderId{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
  return ok;
}

void SearchTree(const String& folder, const String& mask, TWorkerSignals* signals, FoundFileFn found,
                void* context, Array<FolderId>& ancestors) {
  if (signals && signals->Cancel) return;
  // Links are not followed: a junction or symbolic link may lead anywhere,
  // back up the tree too. Where the system shows a link as a plain folder,
  // a folder that is one of its own ancestors still ends the descent.
  FolderId id;
  if (IdentifyFolder(folder, id)) {
    for (const FolderId& seen : ancestors) {
      if (seen == id) return;
    }
    ancestors.Add(id);
  }
  int depth = ancestors.Count();
  TSearchRecEx rec;
  for (uint32_t r = SearchFirst(folder + mask, 0, kAttrDirectory | kAttrVolumeLabel, rec); r == 0;
       r = SearchNext(rec)) {
    if (signals && signals->Cancel) return;
    found(context, folder + rec.Name);
  }
  for (uint32_t r = SearchFirst(folder + mask, kAttrDirectory, kAttrReparsePoint, rec); r == 0;
       r = SearchNext(rec)) {
    SearchTree(folder + rec.Name + "\\", mask, signals, found, context, ancestors);
    while (ancestors.Count() > depth) ancestors.Delete(ancestors.Count() - 1);
  }
}

void ProcessExternal(void* context, const String& path) {
  TFilePhase& phase = *static_cast<TFilePhase*>(context);
  if (!PhaseCancelled(phase) && !ProcessFile(phase, nullptr, path, true)) phase.externalFailed = true;
}

}  // namespace

void RefreshPage(TFilePhase& phase, bool now) {
  if (!phase.ProgressWindow) return;
  uint32_t tick = GetTickCount();
  if (!now && phase.refreshed && tick - phase.refreshedAt < kRefreshMs) return;
  phase.refreshed = true;
  phase.refreshedAt = tick;
  if (phase.action != phase.shownAction) {
    phase.shownAction = phase.action;
    SetText(GetDlgItem(phase.ProgressWindow, kActionText), phase.action);
  }
  SetBar(phase, kFileBar, Percent(phase.FileDone, phase.FileSize), phase.shownFile);
  SetBar(phase, kTotalBar, Percent(phase.TotalDone, phase.TotalSize), phase.shownTotal);
}

bool SafePoint(TWorkerSignals& signals) {
  if (signals.PauseWanted) {
    SetEvent(signals.Paused);
    WaitForSingleObject(signals.Resume, INFINITE);
  }
  return signals.Cancel != 0;
}

bool PhaseCancelled(TFilePhase& phase) {
  return phase.Signals && SafePoint(*phase.Signals);
}

bool ProcessFile(TFilePhase& phase, TArchive* archive, const String& name, bool external) {
  bool skip = true;
  const char* why = nullptr;
  int flags = 0;
  bool logged = true;
  bool exists = false;
  phase.FileSize = external ? FileSizeOf(name) : int64_t(archive->Header.UnpackedSize);
  if (phase.FileSize < 0) phase.FileSize = 0;
  phase.FileDone = 0;
  String target = PathFileName(name);

  const TPendingList& list = external ? *phase.ExternalCopies : *phase.ArchiveCopies;
  int index = FindCopyEntry(list, name);
  if (index >= 0) {
    const TPendingEntry& entry = list[index];
    skip = false;
    flags = entry.NumberField(2);
    logged = !(flags & kNoLog);
    if (!CopyTarget(entry.Name, entry.Field(1), name, target)) {
      CannotWrite(phase, name);
      return false;
    }
    // Named as the system names the file it writes (a "..", a "." or a "/"
    // in the target resolved): the log must name it so, or the uninstaller
    // takes the record for no full path and leaves the file.
    target = FullPathOf(target);
    // Looked up once: every lookup is a trip to the file system, and a
    // missing name, the rule on a first install, is the slowest kind.
    exists = EntryExists(target);
    if ((flags & kOnlyIfMissing) && exists) why = "Skipped, exists: ";
    if (!why && exists && !(flags & kNoVersionCheck))
      why = KeepInstalled(phase, archive, name, target, flags);
    skip = why != nullptr;
    if (skip) RunLog(why, target);
    // The uninstaller leaves what the log does not name: a file this
    // release installs unlogged (its user's data, say) though an earlier
    // release logged it, and one kept because its user changed it after
    // the last installation (an edited settings file, newer now, or one
    // installed only when missing). The uninstaller would take the latter
    // for unchanged, judging by the log's date, which this run makes later.
    uint32_t changedAt, loggedAt;
    if (phase.Log->Active() &&
        (!logged ||
         (skip && why != kSkippedSame && !(flags & kSharedFile) && FileDosTime(target, changedAt) &&
          FileDosTime(phase.Log->FileName, loggedAt) && changedAt > loggedAt)))
      OpenStore(phase.Log->FileName, false)->DeleteKey(LogSectionName(kLogCopyFiles), target);
  }

  ShowAction(phase, skip ? kSkippingText : external ? kCopyingText : kExtractingText, PathFileName(target));
  bool ok = true;
  bool inUse = false;
  if (skip) {
    if (external) {
      Counted(phase, phase.FileSize);
    } else {
      PhaseProgress progress(phase);
      ok = archive->Process(aoSkip, kNoText, &progress);
    }
  } else {
    ok = WriteFile(phase, WriteRequest{archive, name, target, logged}, inUse);
    if (ok) {
      phase.Log->Changed = true;
      RunLog(inUse ? "Written at restart: " : "Written: ", target);
      if (logged) WriteLogEntry(*phase.Log, kLogCopyFiles, target, kNoText);
      Array<String> fields;
      if (flags & kRegisterServer) {
        fields.Add(inUse ? "0" : "1");
        fields.Add(logged ? "1" : "0");
        phase.OleServers->Set(target, std::move(fields));
      }
      if (flags & kRegisterFont) phase.Fonts->Set(target, Array<String>());
    }
  }
  bool cancelled = PhaseCancelled(phase);
  if (!ok && !cancelled) CannotWrite(phase, target);
  if (!ok || cancelled) return false;
  if (flags & kSharedFile) RaiseSharedCount(phase, target);
  return true;
}

bool ArchivePass(TFilePhase& phase) {
  if (phase.ProgressWindow) {
    for (int id : {int(kFileBar), int(kTotalBar)}) {
      SendMessageA(GetDlgItem(phase.ProgressWindow, id), PBM_SETRANGE, 0, MAKELPARAM(0, 100));
      SendMessageA(GetDlgItem(phase.ProgressWindow, id), PBM_SETSTEP, 1, 0);
    }
  }
  phase.TotalDone = 0;
  for (int id = kExtractingText; id <= kCopyingText; ++id) {
    if (phase.Texts)
      phase.actionFormats[id - kExtractingText] = LanguageString(*phase.Texts, "DLG_PROGRESS", id).Text;
  }
  TArchive archive(phase.ArchiveFile, kOpenExtract);
  if (FaultPending()) return false;
  archive.SetPassword(phase.Password);
  while (!archive.Eof) {
    if (PhaseCancelled(phase) || FaultPending()) return false;
    // Whatever the reader reported, the entry counts whole once it is done.
    int64_t done = phase.TotalDone + archive.Header.UnpackedSize;
    if (!ProcessFile(phase, &archive, archive.Header.EntryName, false)) return false;
    phase.TotalDone = done;
    RefreshPage(phase, false);
  }
  return !FaultPending();
}

bool ExternalPass(TFilePhase& phase) {
  for (int i = 0; i < phase.ExternalCopies->Count(); ++i) {
    if (PhaseCancelled(phase)) return false;
    ForEachExternalFile((*phase.ExternalCopies)[i].Name, phase.Signals, ProcessExternal, &phase);
  }
  return !PhaseCancelled(phase) && !phase.externalFailed;
}

void ForEachExternalFile(const String& key, TWorkerSignals* signals, FoundFileFn found, void* context) {
  if (!NameHasWildcards(key)) {
    if (FileExists(key)) found(context, key);
    return;
  }
  Array<FolderId> ancestors;
  SearchTree(PathFolder(key), PathFileName(key), signals, found, context, ancestors);
}

}  // namespace osin
