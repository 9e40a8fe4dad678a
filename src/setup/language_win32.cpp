#include <windows.h>

#include "setup/language.h"

#include "config/variables.h"
#include "platform/file.h"
#include "setup/session.h"
#include "ui/font.h"
#include "ui/msgbox.h"
#include "ui/pagetext.h"

namespace osin {

void SetLanguage(const String& code) {
  TSetupSession& session = Session();
  session.Language = code;
  String file = session.PresetupDir + code + ".lng";
  session.LanguageFile = FileExists(file) ? file : session.PresetupDir + "Enu.lng";
  ApplyLanguageCharset(code, session.MainTitleFont, session.DialogFont, session.DialogTitleFont);
  StringList runaways;
  BuildVariables(session.Variables,
                 VariableSources{session.SourceFile, session.InstallPath, session.PresetupDir,
                                 session.ConfigFile, session.Language},
                 runaways);
  for (int i = 0; i < runaways.Count(); ++i) ErrorBox(RunawayMessage(runaways[i]));
  session.ProgramName = ReportRunaway(ExpandString("%ProgramName%", session.Variables));
  SetMessageCaption(session.ProgramName);
  HWND window = session.MainWindow;
  if (window && WindowText(window) != session.ProgramName) {
    SetWindowTextA(window, session.ProgramName.c_str());
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
  }
}

}  // namespace osin
