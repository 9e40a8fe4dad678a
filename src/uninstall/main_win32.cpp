// The program entry of UnOsin.exe.
#include <windows.h>

#include <commctrl.h>

#include "platform/osversion.h"
#include "platform/runlog.h"
#include "platform/text.h"
#include "ui/msgbox.h"
#include "uninstall/uninstall.h"

namespace {

// The arguments of the whole command line: what follows the program's own
// name (in double quotes or up to the first blank).
osin::String Arguments(const char* commandLine) {
  const char* p = commandLine;
  if (*p == '"') {
    for (++p; *p && *p != '"'; ++p) {
    }
    if (*p) ++p;
  } else {
    while (*p && *p != ' ' && *p != '\t') ++p;
  }
  return p;
}

}  // namespace

// The program's entry (runtime_win32.cpp) hands over the whole command line.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR wholeLine, int) {
  const osin::String commandLine = Arguments(wholeLine);
  osin::OSVersion();
  InitCommonControls();
  osin::SetExtraBoxFlags(osin::kBoxSetForeground);
  osin::TUninstallOptions options;
  bool understood = osin::ParseUninstallCommandLine(commandLine, options);
  // A log that cannot be written must not stop the uninstallation the
  // administrator asked for; the exit code still tells the outcome.
  if (!options.RunLog.IsEmpty()) osin::OpenRunLog(options.RunLog);
  osin::RunLog("Command line: ", commandLine.Trim());
  int code = osin::kUninstallNoLog;
  if (!understood) {
    const char* usage = "Usage: UnOsin.exe [/S] [/LOG=file] \"install log\"";
    osin::RunLog("Error: ", usage);
    // A script's run, which named a quiet switch, must not hang on a box.
    if (!options.Silent) osin::ErrorBox(osin::String(usage) + "\r\n\r\nNothing was removed.");
  } else {
    code = osin::RunUninstall(options);
  }
  return osin::EndRunLog(code);
}
