#include <windows.h>

#include <shellapi.h>

#include "platform/file.h"
#include "platform/sysutils.h"
#include "ui/runprogram.h"

namespace osin {

int32_t RunProgramSpec(const String& spec, bool wait, HWND owner) {
  TRunSpec run = ParseRunSpec(spec);
  int32_t result = 0;
  if (wait) {
    result = RunAndWait(owner, run.Program, run.Parameters, run.Show, run.Directory);
  } else {
    ShellExecuteA(owner, nullptr, run.Program.c_str(), run.Parameters.c_str(), run.Directory.c_str(),
                  run.Show);
  }
  // The shell opens a folder in a window of its own, which needs a moment.
  if (FolderExists(run.Program)) Sleep(300);
  return result;
}

}  // namespace osin
