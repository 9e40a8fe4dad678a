// The program entry of osin.exe.
#include <windows.h>

#include "platform/fault.h"
#include "platform/osversion.h"
#include "platform/shelllink.h"
#include "setup/run.h"
#include "ui/msgbox.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Classified before any second thread can exist.
  osin::OSVersion();
  // Shortcuts are made on this thread; the shell's execution of programs
  // wants COM too.
  osin::StartCom();
  osin::RunSetup();
  osin::EndCom();
  // A failure that ended the run is shown after the clean-up, so the
  // temporary folder is already gone when the user reads it.
  if (osin::FaultPending()) osin::ErrorBox(osin::TakeFault());
  // Whatever happened, the process ends with 0.
  return 0;
}
