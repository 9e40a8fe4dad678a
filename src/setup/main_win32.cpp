// The program entry of osin.exe.
#include <windows.h>

#include "platform/fault.h"
#include "platform/osversion.h"
#include "platform/runlog.h"
#include "platform/shelllink.h"
#include "setup/run.h"
#include "setup/session.h"
#include "ui/msgbox.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  using namespace osin;
  // Classified before any second thread can exist.
  OSVersion();
  TSetupSession& session = Session();
  TCommandLine& options = session.Options;
  const char* arguments = SkipProgramName(GetCommandLineA());
  bool parsed = ParseCommandLine(arguments, options);
  if (!options.LogFile.IsEmpty() && !OpenRunLog(options.LogFile)) {
    parsed = false;
    options.Error = "Cannot write: " + options.LogFile;
  }
  SetUnattendedBoxes(options.LogFile.IsEmpty() ? nullptr : RunLog, options.SuppressBoxes);
  RunLog("Command line:", arguments);
  int code = 1;
  if (!parsed) {
    // Nothing on the machine has changed yet.
    if (options.VerySilent) {
      RunLog("Error: ", options.Error);
    } else {
      ErrorBox(options.Error + "\r\n\r\n" + kSwitchesHelp);
    }
  } else if (options.Help) {
    ShowBox(nullptr, "Setup", kSwitchesHelp, MB_ICONINFORMATION | kBoxTaskModal);
    code = 0;
  } else {
    // Shortcuts are made on this thread; the shell's execution of programs
    // wants COM too.
    StartCom();
    bool done = RunSetup();
    EndCom();
    // A failure that ended the run is shown after the clean-up, so the
    // temporary folder is already gone when the user reads it.
    if (FaultPending()) ErrorBox(TakeFault());
    code = RunResult(done);
  }
  return EndRunLog(code);
}
