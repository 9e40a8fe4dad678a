#include <windows.h>

#include <commctrl.h>

#include "config/profile.h"
#include "platform/file.h"
#include "platform/osversion.h"
#include "platform/sysutils.h"
#include "platform/text.h"
#include "resources/ids.h"
#include "setup/display.h"
#include "setup/presetup.h"
#include "setup/run.h"
#include "setup/session.h"
#include "ui/mainwindow.h"
#include "ui/msgbox.h"
#include "ui/msgwindow.h"

namespace osin {

namespace {

// Calls of the GetTempPath kind return the size they need when the buffer
// is too small and leave the buffer alone: such a result is a failure, or
// whatever the buffer held before would be taken for the path.
template <typename Call>
String SystemPath(Call call) {
  char buffer[MAX_PATH];
  DWORD n = call(buffer, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return String();
  return String(buffer, static_cast<int>(n));
}

void PrepareTemporaryFolder(TSetupSession& session) {
  String parent = PresetupParentFolder();
  ForceFolders(StripBackslash(parent));
  String name;
  // MakeUniqueFolder claims the folder, so a second setup started in the
  // same moment cannot share it; should that fail, the name is still made
  // and the free-space check reports the missing folder.
  if (!MakeUniqueFolder(parent, name)) name = MakeUniqueName(parent);
  session.PresetupDir = parent + name + "\\";
  session.ConfigFile = session.PresetupDir + "Osin.ini";
  ForceFolders(StripBackslash(session.PresetupDir));
  session.NeedReboot = false;
  session.ArchivePassword = String();
}

void FreeBitmap(void* bitmap) {
  DeleteObject(static_cast<HGDIOBJ>(bitmap));
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
  DeleteTree(StripBackslash(session.PresetupDir), true);
  if (session.InstallSucceeded && session.NeedReboot) RebootSystem(false);
}

}  // namespace

String PresetupParentFolder() {
  String temp = SystemPath([](char* b, DWORD n) { return GetTempPathA(n, b); });
  String current = SystemPath([](char* b, DWORD n) { return GetCurrentDirectoryA(n, b); });
  if (!temp.IsEmpty() && !SameText(AddBackslash(temp), AddBackslash(current))) return AddBackslash(temp);
  if (!OSVersion().IsNTLine()) {
    String windows = SystemPath([](char* b, DWORD n) { return GetWindowsDirectoryA(b, n); });
    if (!windows.IsEmpty()) return AddBackslash(windows) + "Temp\\";
  }
  return "C:\\Temp\\";
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

  PrepareTemporaryFolder(session);

  session.MainWindow = CreateBackgroundWindow(&session.Background);
  if (!session.MainWindow) {
    // Nothing was unpacked yet; the empty folder goes at once.
    DeleteTree(StripBackslash(session.PresetupDir), true);
    return false;
  }
  SetMessageWindowOwner(session.MainWindow, &session.DialogFont);

  session.StaticBitmaps = StringList(FreeBitmap);
  if (ExtractPresetup()) {
    ReadDisplaySettings(session);
    LoadDisplayBitmaps(session);
    BuildDisplayFonts(session);
    // Languages and the checks of the system and the user's rights come
    // here as they are built.
    ShowBackground(session);
    // The programs to run first, the pages and the installation follow
    // here as they are built.
  }
  CleanUp(session);
  return session.InstallSucceeded;
}

}  // namespace osin
