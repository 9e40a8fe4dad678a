#include "setup/install.h"

#include <windows.h>

#include "config/profile.h"
#include "config/variables.h"
#include "install/copyentry.h"
#include "install/filephase.h"
#include "install/log.h"
#include "install/pending.h"
#include "install/programs.h"
#include "install/script.h"
#include "install/uninstall.h"
#include "install/worker.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "platform/osversion.h"
#include "platform/runlog.h"
#include "platform/strutils.h"
#include "platform/sysutils.h"
#include "resources/ids.h"
#include "setup/presetup.h"
#include "setup/session.h"
#include "ui/msgbox.h"
#include "ui/msgwindow.h"
#include "ui/pages.h"
#include "ui/runprogram.h"

namespace osin {

namespace {

// Message numbers of the language file's Strings.
enum : int {
  kReadingMessage = 2,
  kSizingMessage = 3,
  kNoSpaceMessage = 4,
  kRegistryMessage = 5,
  kIniMessage = 6,
  kShortcutsMessage = 7,
  kServersMessage = 8,
  kFontsMessage = 9,
  kTurnMessage = 14,
};
// How long each message window stays at least, so it can be read.
const uint32_t kMessageMs = 750;

// The log outlives the installation: the end of the run writes it out.
TInstallLog installLog;

String Expand(const String& text) {
  return ExpandReported(text, Session().Variables);
}

// The run log keeps the messages too (/VERYSILENT shows none). The wait for
// another setup is newer than many projects' language files: it has words
// of its own where they lack it.
void ShowMessage(int id) {
  String text = ReportRunaway(MessageString(SessionTexts(), id));
  if (text.IsEmpty() && id == kTurnMessage) text = "Waiting for another installation to finish...";
  RunLog("", text);
  ShowMessageWindow(text, kMessageMs);
}

// The stores opened while this stands keep the quotes around values, so the
// field splitter sees them.
class KeepQuotes {
 public:
  KeepQuotes() { ProfileParseOptions().StripQuotes = false; }
  ~KeepQuotes() { ProfileParseOptions().StripQuotes = true; }
};

bool InCopyList(void* context, const String& name) {
  return FindCopyEntry(*static_cast<const TPendingList*>(context), name) >= 0;
}

void AddExternalSize(void* context, const String& path) {
  int64_t size = FileSizeOf(path);
  if (size > 0) *static_cast<int64_t*>(context) += size;
}

// The bytes of the file phase (all entries, as a solid archive decodes them
// all, and the external files) and the bytes it writes.
void SumSizes(const TPendingLists& lists, int64_t& total, int64_t& required) {
  total = SumEntrySizes("*", nullptr, nullptr, false);
  required = SumEntrySizes("Data\\*", InCopyList, const_cast<TPendingList*>(&lists.ArchiveCopies), false);
  int64_t external = 0;
  for (int i = 0; i < lists.ExternalCopies.Count(); ++i)
    ForEachExternalFile(lists.ExternalCopies[i].Name, nullptr, AddExternalSize, &external);
  total += external;
  required += external;
}

// Runs a system-change step behind its message when its lists hold work.
// After a run-ending fault (a store that could not open its file, the
// install log's too) no later step acts: what it changed could not be
// logged for the uninstaller.
template <typename Step>
bool RunStep(bool hasWork, int message, Step step) {
  if (FaultPending()) return false;
  if (!hasWork) return true;
  ShowMessage(message);
  bool ok = step();
  HideMessageWindow();
  return ok;
}

// A run that ends before it changed the system leaves the disk as it found it:
// the folders it made go again, deepest first (one that something else has
// filled since stays), and the log, whose only new records are of them, is
// not written.
void TakeBackFolders(const StringList& made) {
  for (int i = made.Count(); i-- > 0;) RemoveDirectoryA(made[i].c_str());
  if (installLog.Active()) OpenStore(installLog.FileName, false)->DiscardChanges();
}

// The file phase on the worker while the progress page shows it.
bool RunFilePhase(TPageRun& pages, TPendingLists& lists, int64_t totalSize) {
  TSetupSession& session = Session();
  LanguageTexts texts = SessionTexts();
  TFilePhase phase;
  phase.ArchiveCopies = &lists.ArchiveCopies;
  phase.ExternalCopies = &lists.ExternalCopies;
  phase.OleServers = &lists.OleServers;
  phase.Fonts = &lists.Fonts;
  phase.Log = &installLog;
  phase.ArchiveFile = session.SourceFile;
  phase.Password = session.ArchivePassword;
  phase.ConfigFile = session.ConfigFile;
  phase.Texts = &texts;
  // The version-conflict question stands over the background, as the pages do.
  phase.ConflictOwner = session.MainWindow;
  phase.NeedReboot = &session.NeedReboot;
  phase.TotalSize = totalSize;
  // Unasked, a version conflict keeps the newer file, which is the
  // installed one.
  if (session.Options.SuppressBoxes) phase.Choice = kKeepAllInstalled;
  // Without a window there is no page to wait on and nothing to cancel
  // with: the phase runs right here.
  if (session.Options.VerySilent) {
    return ArchivePass(phase) && ExternalPass(phase);
  }
  TInstallWorker worker;
  // Without a worker nothing would ever end the page.
  if (!worker.Create(phase)) {
    ErrorBox("Cannot start the installation: no thread could be created.");
    return false;
  }
  TProgressWorker calls;
  calls.Context = &worker;
  calls.Start = TInstallWorker::Start;
  calls.Pause = TInstallWorker::Pause;
  calls.Resume = TInstallWorker::Resume;
  calls.Cancel = TInstallWorker::Cancel;
  session.DialogSequence.Clear();
  session.DialogSequence.Add(DLG_PROGRESS);
  pages.Worker = &calls;
  RunDialogSequence(pages);
  pages.Worker = nullptr;
  // A page that never opened has ended its held worker through Start; one
  // that did has had the worker's last message.
  bool done = worker.Finish();
  session.Cancelled = worker.Signals().Cancel != 0;
  return done;
}

// Two setups installing at one time would each write back the install log
// (and every other file they keep open as settings) as they read it, the
// later one dropping the other's records, and their file phases would write
// over each other. A second setup, of this program or another, waits for
// the first one's installation, saying so, with its windows kept painted;
// a run that shows no window waits unseen. The turn ends before the
// programs run at the end, which may well be setups themselves.
class InstallTurn {
 public:
  InstallTurn() : mutex_(CreateMutexA(nullptr, FALSE, "OsinSetup")) {
    if (WaitForSingleObject(mutex_, 0) != WAIT_TIMEOUT) return;
    ShowMessage(kTurnMessage);
    if (!WaitDispatching(mutex_)) WaitForSingleObject(mutex_, INFINITE);
    HideMessageWindow();
  }
  ~InstallTurn() {
    DropAllStores();
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
  }

 private:
  HANDLE mutex_;
};

bool Install(TPageRun& pages, TPendingLists& lists) {
  TSetupSession& session = Session();
  // The folder is settled before anything uses it. A relative one (typed,
  // or a project's default) would land below whatever folder the setup was
  // started in, and the log and the registered uninstall command would hold
  // paths the uninstaller refuses. One the system would not take as named
  // (trailing dots, a drive that cannot be reached, as /DIR may give) would
  // only show as a full disk later.
  // A variable the project lacks (a /DIR mistyped) stays as written, and
  // the folder would be made below the current one under its name.
  const String folder = Expand(StripBackslash(session.InstallPath));
  if (RefuseFolder(folder, folder[0] == '%' ? ERROR_BAD_PATHNAME : FolderUnusable(folder))) return false;
  session.InstallPath = FullPathOf(folder);
  SetPathVariable(session.Variables, "InstallPath", session.InstallPath);
  // Resolved like the folder: the uninstall command names the log, and the
  // uninstaller takes only a plain full path.
  installLog.FileName = FullPathOf(Expand(ReadIniString(session.ConfigFile, "Config", "LogFile", kNoText)));
  installLog.Enabled = true;

  ShowMessage(kReadingMessage);
  bool ok;
  {
    KeepQuotes quotes;
    TOSVersion os = OSVersion();
    ok = ReadInstallScripts(
        TScriptSources{session.ConfigFile, session.PresetupDir, session.Language, session.Variables, os},
        lists);
  }
  HideMessageWindow();
  // A script that could not be read leaves the fault to the run: nothing is
  // installed from what was read before it.
  if (!ok) return false;

  ShowMessage(kSizingMessage);
  int64_t totalSize = 0;
  int64_t required = 0;
  SumSizes(lists, totalSize, required);
  HideMessageWindow();
  if (FaultPending()) return false;

  RunLog("Destination folder: ", session.InstallPath);
  // The room is measured before any folder is made, on the nearest folder
  // that exists (the new ones go on its disk): a run refused for want of
  // room leaves no empty folders behind.
  String existing = session.InstallPath;
  while (!FolderExists(existing)) {
    String up = PathFolder(StripBackslash(existing));
    if (up == existing) break;
    existing = up;
  }
  if (FreeDiskKB(existing) < RequiredKB(required)) {
    // A language file without the message still says what stops the run.
    ErrorBox(ReportRunaway(MessageString(SessionTexts(), kNoSpaceMessage)), kNoSpaceText);
    return false;
  }
  // A folder that cannot be made (no rights, a device that takes no
  // folders) is told as the system words it.
  ok = ForceFolderLogged(installLog, session.InstallPath) ||
       !RefuseFolder(session.InstallPath, GetLastError());
  if (ok) {
    // The log's own folders too, so the uninstaller removes them after it.
    ForceFolderLogged(installLog, PathFolder(installLog.FileName));
    ok = RunFilePhase(pages, lists, totalSize) && !FaultPending();
  }
  if (!ok) {
    if (!installLog.Changed) TakeBackFolders(installLog.MadeFolders);
    return false;
  }

  bool registered = false;
  if (session.RegisterUninstall) {
    registered = RegisterUninstaller(
        TUninstaller{session.PresetupDir, Expand("%Windows%"), session.ProgramName, session.LanguageFile,
                     session.Language, session.InstallPath, int32_t(RequiredKB(required))},
        installLog, lists.UninstallSections);
  }
  ok = RunStep(!lists.OleServers.IsEmpty(), kServersMessage,
               [&] { return RegisterServers(lists.OleServers, installLog); }) &&
       RunStep(!lists.RegAdditions.IsEmpty() || !lists.RegDeletions.IsEmpty(), kRegistryMessage,
               [&] { return ApplyRegistryChanges(lists.RegAdditions, lists.RegDeletions, installLog); }) &&
       RunStep(!lists.IniChanges.IsEmpty(), kIniMessage,
               [&] { return ApplyIniChanges(lists.IniChanges, installLog); }) &&
       RunStep(!lists.Fonts.IsEmpty(), kFontsMessage,
               [&] { return RegisterFonts(lists.Fonts, AddBackslash(Expand("%Fonts%")), installLog); }) &&
       RunStep(!lists.Shortcuts.IsEmpty(), kShortcutsMessage,
               [&] { return CreateShortcuts(lists.Shortcuts, installLog); });
  // The uninstaller, once registered, reads its texts from the log even
  // when a later step failed.
  if (ok || registered) {
    KeepQuotes quotes;
    CopyUninstallSections(lists.UninstallSections, session.Variables, installLog);
  }
  return ok;
}

}  // namespace

bool RunInstall(TPageRun& pages) {
  TPendingLists lists;
  bool ok;
  {
    InstallTurn turn;
    ok = Install(pages, lists);
  }
  SetProgramRunner(RunProgramSpec);
  if (ok && !lists.Programs.IsEmpty()) RunPrograms(lists.Programs, Session().MainWindow);
  return ok;
}

}  // namespace osin
