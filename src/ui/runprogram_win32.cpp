#include <windows.h>

#include "platform/file.h"
#include "platform/runlog.h"
#include "platform/sysutils.h"
#include "ui/msgbox.h"
#include "ui/msgwindow.h"
#include "ui/runprogram.h"

namespace osin {

int32_t RunProgramSpec(const String& spec, bool wait, HWND owner) {
  TRunSpec run = ParseRunSpec(spec);
  bool message = !run.Message.IsEmpty();
  if (message) ShowMessageWindow(run.Message, 750);
  // Unattended, the shell's own box about a program it cannot start would
  // wait for a user who is not there, whether or not the run waits for it.
  int32_t result =
      RunAndWait(owner, run.Program, run.Parameters, run.Show, run.Directory, BoxesSuppressed(), wait);
  if (message) HideMessageWindow();
  if (result == -1) RunLog("Cannot start: ", run.Program);
  // The shell opens a folder in a window of its own, which needs a moment.
  if (FolderExists(run.Program)) Sleep(300);
  return result;
}

}  // namespace osin
