// The file phase (Windows only): every archive entry in archive order, then
// every file of the external sources, each handed to ProcessFile, which
// decides to write, skip or ask, writes the file safely, queues OLE servers
// and fonts, keeps SharedDLLs counts and logs what it wrote.
//
// It runs on the install worker while the progress page is shown. The page
// and the worker meet only at safe points: between files and in every
// progress report, the worker looks whether the page asked it to pause
// (TWorkerSignals) and waits there until it may go on, so the main thread
// never acts while the worker holds a shared structure.
//
// Writing never loses the installed file: a new file is written in place,
// a replacement first to a temporary file in the target's folder (made with
// the prefix "Osin", of which the system keeps "Osi"), which then takes the
// old file's place; a failed or cancelled
// write removes the temporary file and leaves the old one as it was. When
// the old file is in use the temporary file stays and replaces it at the
// next start of Windows (NeedReboot).
#pragma once

#include <stdint.h>

#include "archive/unrar.h"
#include "config/language.h"
#include "install/log.h"
#include "install/pending.h"
#include "platform/str.h"

struct HWND__;

namespace osin {

// What the page and the worker share. Pausing: the page sets PauseWanted and
// waits for Paused (or the worker's end); the worker, at its next safe
// point, signals Paused and waits for Resume. A worker that is asking the
// user (the version conflict, an error box) holds nothing either: Asking is
// set while its question is open, the page does not wait for it then, and
// the worker stops at the safe point right after the question. Cancel is
// set only while the worker is paused or asking, and read by the worker.
struct TWorkerSignals {
  volatile long PauseWanted = 0;
  volatile long Asking = 0;
  volatile long Cancel = 0;
  void* Paused = nullptr;  // auto-reset event
  void* Resume = nullptr;  // manual-reset event, set while the worker may run
};

// The worker's side: waits at a safe point while a pause is wanted; then
// true when the installation was cancelled.
bool SafePoint(TWorkerSignals& signals);

// Version-conflict answers; 9 and 10 stick for the rest of the phase.
enum ConflictChoice : int {
  kKeepInstalled = 6,
  kReplace = 7,
  kReplaceAll = 9,
  kKeepAllInstalled = 10,
};

// Asks whether to keep the newer installed file Target; one of the four
// answers.
using ConflictFn = int (*)(void* context, const String& target);
// A new empty file with a unique name made from Prefix in Folder: its name,
// or empty when none could be made.
using TempFileFn = String (*)(const String& folder, const char* prefix);
// The system's TempFileFn (Windows only).
String SystemTempFile(const String& folder, const char* prefix);

struct TFilePhase {
  // What the scripts gathered, and the lists the phase fills.
  const TPendingList* ArchiveCopies = nullptr;
  const TPendingList* ExternalCopies = nullptr;
  TPendingList* OleServers = nullptr;
  TPendingList* Fonts = nullptr;
  const TInstallLog* Log = nullptr;
  // The archive's file, its password, and Osin.ini (section VersionInfo).
  String ArchiveFile;
  String Password;
  String ConfigFile;
  // Texts of the progress page, message 11 and the conflict question.
  const LanguageTexts* Texts = nullptr;
  HWND__* ProgressWindow = nullptr;
  HWND__* ConflictOwner = nullptr;
  bool* NeedReboot = nullptr;
  TWorkerSignals* Signals = nullptr;
  // The question and the temporary files; null for the real ones.
  ConflictFn AskConflict = nullptr;
  void* AskContext = nullptr;
  TempFileFn MakeTempFile = nullptr;

  // State of the phase.
  int Choice = kKeepInstalled;
  int64_t FileSize = 0;
  int64_t FileDone = 0;
  int64_t TotalSize = 0;
  int64_t TotalDone = 0;
  // What the page shows, and what it is to show at its next refresh.
  int shownFile = -1;
  int shownTotal = -1;
  String shownAction;
  String action;
  // The page's three action texts (extracting, skipping, copying), read
  // once from the language file.
  String actionFormats[3];
  uint32_t refreshedAt = 0;
  bool refreshed = false;
  bool externalFailed = false;
};

// Brings the page's action text and bars up to date: at once when Now is
// set, otherwise at most every few hundredths of a second. Every change is
// a message the worker waits on while the page repaints; for thousands of
// small files that would cost more than the files themselves.
void RefreshPage(TFilePhase& phase, bool now);

// True when the phase was cancelled; waits first while a pause is wanted.
bool PhaseCancelled(TFilePhase& phase);

// One file: Name is the current entry's name (Archive positioned on it,
// External false) or the path of a file on disk (Archive null, External
// true). True: go on with the next file; false: it was not written because
// of an error (after the error box naming it) or the phase was cancelled
// (no box). The entry is moved past in every case but an error.
bool ProcessFile(TFilePhase& phase, TArchive* archive, const String& name, bool external);

// Every entry of the archive through ProcessFile, in archive order; false at
// the first failure or on cancel. The progress bars are set up first.
bool ArchivePass(TFilePhase& phase);
// Every external source's files through ProcessFile, in list order; false
// when cancelled or when a file failed: a failing file shows its error and
// the pass goes on with the others, yet the installation must not end as if
// it had succeeded.
bool ExternalPass(TFilePhase& phase);

// Calls Found for every file that an external source key stands for: the
// key itself when it has no wildcards and the file exists; with wildcards,
// the matching files of the key's folder, then recursively those of its
// subfolders whose names match the same mask. Links (junctions, symbolic
// links) are never followed. Nothing is searched once Signals says cancel.
using FoundFileFn = void (*)(void* context, const String& path);
void ForEachExternalFile(const String& key, TWorkerSignals* signals, FoundFileFn found, void* context);

// The version-conflict dialog DLG_VERSIONCONFLICT owned by Owner, its texts
// from the language file: one of the four answers (kKeepInstalled when the
// dialog cannot open). Signals (may be null) is marked Asking once the
// dialog stands, and no longer when it has ended.
int AskVersionConflict(HWND__* owner, const String& target, const LanguageTexts& texts,
                       TWorkerSignals* signals);

}  // namespace osin
