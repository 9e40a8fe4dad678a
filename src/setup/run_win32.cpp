#include <windows.h>

#include <commctrl.h>

#include "config/profile.h"
#include "config/variables.h"
#include "install/log.h"
#include "platform/array.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "platform/osversion.h"
#include "platform/runlog.h"
#include "platform/security.h"
#include "platform/sysutils.h"
#include "platform/text.h"
#include "resources/ids.h"
#include "setup/config.h"
#include "setup/display.h"
#include "setup/install.h"
#include "setup/language.h"
#include "setup/presetup.h"
#include "setup/run.h"
#include "setup/session.h"
#include "ui/mainwindow.h"
#include "ui/msgbox.h"
#include "ui/msgwindow.h"
#include "ui/pages.h"
#include "ui/runprogram.h"

namespace osin {

namespace {

enum SystemFolder { kTempFolder, kCurrentFolder, kWindowsFolder };

// Calls of the GetTempPath kind return the size they need when the buffer
// is too small and leave the buffer alone: such a result is a failure, or
// whatever the buffer held before would be taken for the path. One routine
// for the three, not one each: the setup program counts its bytes.
String SystemPath(SystemFolder folder) {
  char buffer[MAX_PATH];
  DWORD n = folder == kTempFolder      ? GetTempPathA(MAX_PATH, buffer)
            : folder == kCurrentFolder ? GetCurrentDirectoryA(MAX_PATH, buffer)
                                       : GetWindowsDirectoryA(buffer, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return String();
  return String(buffer, static_cast<int>(n));
}

// The folders made to hold the temporary folder (a TEMP that did not exist
// yet), parents first; recorded as an installation's are, in no log file.
TInstallLog tempParents;

// The system's reason when the folder could not be made, else 0.
uint32_t PrepareTemporaryFolder(TSetupSession& session) {
  String parent = PresetupParentFolder();
  ForceFolderLogged(tempParents, parent);
  String name;
  uint32_t error = 0;
  // MakeUniqueFolder claims the folder, so a second setup started in the
  // same moment cannot share it. Should that fail (a temporary folder that
  // is read-only, or a file by that name), the name is still made: the
  // message names the folder, and the clean-up must never take its parent.
  if (!MakeUniqueFolder(parent, name)) {
    error = GetLastError();
    name = MakeUniqueName(parent);
  }
  session.PresetupDir = parent + name + "\\";
  session.ConfigFile = session.PresetupDir + "Osin.ini";
  ForceFolders(StripBackslash(session.PresetupDir));
  session.NeedReboot = false;
  session.ArchivePassword.Clear();
  return error;
}

void FreeBitmap(void* bitmap) {
  DeleteObject(static_cast<HGDIOBJ>(bitmap));
}

// The temporary folder goes with all it holds, and the folders made for it
// go too unless something else has put files in them since.
void DropTemporaryFolder(const TSetupSession& session) {
  DeleteTree(StripBackslash(session.PresetupDir), true);
  const StringList& made = tempParents.MadeFolders;
  for (int i = made.Count(); i-- > 0;) RemoveDirectoryA(made[i].c_str());
}

void CleanUp(TSetupSession& session) {
  DropAllStores();
  session.StaticBitmaps.Clear();
  if (session.Background.Bitmap) DeleteObject(session.Background.Bitmap);
  session.Background.Bitmap = nullptr;
  session.Languages.Clear();
  session.Variables.Clear();
  session.DialogSequence.Clear();
  if (session.MainWindow) {
    ShowWindow(session.MainWindow, SW_HIDE);
    DestroyWindow(session.MainWindow);
    session.MainWindow = nullptr;
  }
  DropTemporaryFolder(session);
  // An administrator reading the run log must learn why the machine went down.
  if (session.InstallSucceeded && session.NeedReboot && !session.Options.NoRestart && RebootSystem(false))
    RunLog("Restarting Windows.", kNoText);
}

String Message(int id) {
  return ReportRunaway(MessageString(SessionTexts(), id));
}

const char* const kConfig = "Config";

// The run's own keys of [Config] (the installation reads its scripts, the
// log file and the versions itself).
void ReadRunSettings(TSetupSession& session) {
  const String& file = session.ConfigFile;
  session.ProgramName = "Setup";
  session.InstallPath = ReadIniString(file, kConfig, "DefaultInstallPath", "Test");
  session.RegisterUninstall =
      ReadIniBool(file, kConfig, "Uninstall", false) && FileExists(session.PresetupDir + "UnOsin.exe");
  session.CheckAdminRights = ReadIniBool(file, kConfig, "CheckAdminRights", false);
  session.NeedReboot = ReadIniBool(file, kConfig, "NeedReboot", false);
  // Taken as if typed on the destination page, which still shows it.
  if (!session.Options.Dir.IsEmpty()) session.InstallPath = StripBackslash(session.Options.Dir);
}

// An unattended run has no password page: the password given (or none)
// is tried before anything is installed, rather than failing on the first
// enciphered file. An attended run only finds it filled in on the page.
bool TakePasswordSwitch(TSetupSession& session) {
  session.ArchivePassword = session.Options.Password;
  if (!session.Options.Unattended() ||
      TestArchivePassword(session.SourceFile, session.ArchivePassword, session.PresetupDir))
    return true;
  if (!FaultPending()) ErrorBox(Message(12), kWrongPassword);
  return false;
}

bool RunPreRunApps(TSetupSession& session) {
  StringList lines;
  ReadIniSectionValues(session.ConfigFile, "PreRunApp", lines);
  for (int i = 0; i < lines.Count(); ++i) {
    String spec = ExpandReported(lines.ValueFromIndex(i), session.Variables);
    if (RunProgramSpec(spec, true, session.MainWindow) != 0) return false;
  }
  return true;
}

TPageRun PageRunOf(TSetupSession& s) {
  return TPageRun{s.DialogSequence,
                  s.MainWindow,
                  s.PresetupDir,
                  s.ConfigFile,
                  s.SourceFile,
                  SessionTexts(),
                  s.Variables,
                  s.Languages,
                  s.InstallPath,
                  s.ArchivePassword,
                  s.NeedReboot,
                  s.ConfirmCancel,
                  s.PageTitle,
                  s.DialogFont,
                  s.DialogTitleFont,
                  s.DialogTitleShadow,
                  s.DialogTitleShadowColor,
                  s.DialogPositionH,
                  s.DialogPositionV,
                  SetLanguage};
}

void RunFinalPage(TSetupSession& session, TPageRun& run) {
  if (session.NeedReboot || !ReadIniBool(session.ConfigFile, "Display", "ShowFinalDialog", true)) return;
  session.ConfirmCancel = false;
  session.DialogSequence.Clear();
  session.DialogSequence.Add(session.InstallSucceeded ? DLG_FINISH : DLG_NOTFINISH);
  RunDialogSequence(run);
}

// An unattended run shows no page but the progress page.
void RunPages(TSetupSession& session) {
  TPageRun run = PageRunOf(session);
  bool attended = !session.Options.Unattended();
  session.DialogSequence.Clear();
  if (attended)
    AddListItems(ReadIniString(session.ConfigFile, kConfig, "PreInstallDialogSequence", kNoText), false, true,
                 session.DialogSequence);
  bool ok = RunDialogSequence(run) && !FaultPending();
  session.Cancelled = !ok;
  if (ok) {
    session.Stage = kStageInstalling;
    ok = RunInstall(run);
  }
  if (ok && !FaultPending() && attended) {
    session.DialogSequence.Clear();
    AddListItems(ReadIniString(session.ConfigFile, kConfig, "PostInstallDialogSequence", kNoText), false,
                 true, session.DialogSequence);
    if (session.NeedReboot) session.DialogSequence.Add(DLG_REBOOT);
    ok = RunDialogSequence(run);
  }
  session.InstallSucceeded = ok;
  if (!FaultPending() && attended) RunFinalPage(session, run);
}

// Everything after the control files are unpacked.
void RunConfiguredSetup(TSetupSession& session) {
  ReadRunSettings(session);
  ReadDisplaySettings(session);
  LoadDisplayBitmaps(session);
  BuildDisplayFonts(session);
  ChooseLanguage();
  if (FaultPending()) return;
  // /LANG names one of the languages the language page would offer.
  const String& code = session.Options.Lang;
  if (!code.IsEmpty() && !SameText(code, session.Language)) {
    ErrorBox("Language not offered: " + code);
    return;
  }
  RunLog("Language: ", session.Language);
  if (!OSSupported(ReadIniString(session.ConfigFile, kConfig, "SupportedOS", kNoText), OSVersion())) {
    WarningBox(Message(13));
    return;
  }
  if (!AdminCheckPasses(session.CheckAdminRights, IsAdmin, SessionTexts())) return;
  if (!TakePasswordSwitch(session)) return;
  if (!session.Options.Unattended()) ShowBackground(session);
  session.Stage = kStagePages;
  // A program run first that refuses ends the run as a cancel would.
  session.Cancelled = true;
  if (!RunPreRunApps(session) || FaultPending()) return;
  BuildRunVariables();
  RunPages(session);
}

}  // namespace

bool AdminCheckPasses(bool required, bool (*isAdmin)(), const LanguageTexts& texts) {
  if (!required || isAdmin()) return true;
  // A security error is already the run's fault, shown at its end; the
  // refusal would be a second box for the same cause.
  if (!FaultPending()) WarningBox(ReportRunaway(MessageString(texts, 10)));
  return false;
}

// A temporary folder is passed over, as one that is the current folder is,
// when it is so long that the control files' names below it would pass the
// system's limit of 259 characters: 60 are left for them. Such a folder
// failed the run, and the folder made in it stayed, too long to be walked.
String PresetupParentFolder() {
  String temp = SystemPath(kTempFolder);
  // The temporary folder of a user whose name is in another script, on a
  // system whose code page lacks its letters. The buffer is not on the
  // stack: there it cost the 32-bit build a kilobyte of code.
  static wchar_t wide[MAX_PATH];
  if (temp.Pos('?') && GetTempPathW(MAX_PATH, wide)) TakeShortForm(temp, wide);
  String current = SystemPath(kCurrentFolder);
  if (!temp.IsEmpty() && temp.Length() < MAX_PATH - 60 &&
      !SameText(AddBackslash(temp), AddBackslash(current)))
    return AddBackslash(temp);
  if (!OSVersion().IsNTLine()) {
    String windows = SystemPath(kWindowsFolder);
    if (!windows.IsEmpty()) return AddBackslash(windows) + "Temp\\";
  }
  return "C:\\Temp\\";
}

// Running out of memory cannot unwind to the end of the run; the clean-up
// runs from here instead, on the memory given back for it, and the user is
// told afterwards. Nothing counts as installed, so there is no restart.
void CleanUpAfterOutOfMemory() {
  TSetupSession& session = Session();
  session.InstallSucceeded = false;
  CleanUp(session);
  ErrorBox("Out of memory.");
  // The process ends here, not at the program entry: the run log and the
  // exit code still tell an unattended caller that nothing was installed.
  session.Cancelled = false;
  ExitProcess(EndRunLog(RunResult(false)));
}

int RunResult(bool done) {
  TSetupSession& session = Session();
  bool restartLeft = session.NeedReboot && session.Options.NoRestart;
  if (done && restartLeft) RunLog("Restart needed, left out by /NORESTART.", kNoText);
  RunLog(done ? "Installed." : "Not installed.", kNoText);
  // An interactive run ends with 0 whatever happened: its user saw how.
  return session.Options.Unattended()
             ? UnattendedExitCode(session.Stage, done, session.Cancelled, restartLeft)
             : 0;
}

bool RunSetup() {
  TSetupSession& session = Session();
  // The program's own file comes from the module, never from the command
  // line: started as "setup" from a console the first word names no folder
  // and no extension.
  session.SourceFile = ProgramFile();
  session.ConfirmCancel = true;
  InitCommonControls();
  SetExtraBoxFlags(kBoxSetForeground);
  session.MainIcon = LoadIconA(GetModuleHandleA(nullptr), IDI_MAINICON);

  uint32_t tempError = PrepareTemporaryFolder(session);

  session.MainWindow = CreateBackgroundWindow(&session.Background);
  if (!session.MainWindow) {
    // Nothing was unpacked yet; the empty folder goes at once.
    DropTemporaryFolder(session);
    return false;
  }
  SetMessageWindowOwner(session.MainWindow, &session.DialogFont, session.Options.VerySilent);

  session.StaticBitmaps = StringList(FreeBitmap);
  SetOutOfMemoryHandler(CleanUpAfterOutOfMemory);
  // A temporary folder that cannot be made is told as the system words it,
  // not as a full disk.
  if (!RefuseFolder(session.PresetupDir, tempError) && ExtractPresetup()) RunConfiguredSetup(session);
  SetOutOfMemoryHandler(nullptr);
  CleanUp(session);
  return session.InstallSucceeded;
}

}  // namespace osin
