#include <windows.h>

#include "setup/language.h"

#include "config/profile.h"
#include "config/variables.h"
#include "platform/file.h"
#include "platform/osversion.h"
#include "setup/config.h"
#include "setup/session.h"
#include "ui/font.h"
#include "ui/msgbox.h"
#include "ui/pagetext.h"
#include "ui/wintext.h"

namespace osin {

namespace {

String LocaleText(LCID locale, LCTYPE type) {
  char text[128];
  int n = GetLocaleInfoA(locale, type, text, sizeof text);
  return n > 0 ? String(text, n - 1) : String();
}

String WideLocaleText(LCID locale, LCTYPE type) {
  WCHAR wide[128];
  int n = GetLocaleInfoW(locale, type, wide, 128);
  if (n <= 1) return String();
  char text[256];
  int bytes = WideCharToMultiByte(CP_ACP, 0, wide, n - 1, text, sizeof text, nullptr, nullptr);
  return String(text, bytes > 0 ? bytes : 0);
}

StringList* enumerated = nullptr;

BOOL CALLBACK AddLocale(LPSTR id) {
  LCID locale = 0;
  for (const char* p = id; *p; ++p) {
    char c = *p;
    int digit = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
    locale = locale * 16 + static_cast<LCID>(digit);
  }
  String abbreviation = LocaleText(locale, LOCALE_SABBREVLANGNAME);
  String name = OSVersion().IsNTLine() ? WideLocaleText(locale, LOCALE_SLANGUAGE)
                                       : LocaleText(locale, LOCALE_SLANGUAGE);
  if (!abbreviation.IsEmpty()) enumerated->Add(abbreviation + "=" + name);
  return TRUE;
}

}  // namespace

void BuildRunVariables() {
  TSetupSession& session = Session();
  StringList runaways;
  BuildVariables(session.Variables,
                 VariableSources{session.SourceFile, session.InstallPath, session.PresetupDir,
                                 session.ConfigFile, session.Language},
                 runaways);
  for (int i = 0; i < runaways.Count(); ++i) ErrorBox(RunawayMessage(runaways[i]));
  // As if chosen on the program group page, which still shows it.
  if (!session.Options.Group.IsEmpty()) SetVariable(session.Variables, "ProgramGroup", session.Options.Group);
}

void SetLanguage(const String& code) {
  TSetupSession& session = Session();
  session.Language = code;
  String file = session.PresetupDir + code + ".lng";
  session.LanguageFile = FileExists(file) ? file : session.PresetupDir + "Enu.lng";
  ApplyLanguageCharset(code, session.MainTitleFont, session.DialogFont, session.DialogTitleFont);
  SetLanguageCharset(session.DialogFont.Charset);
  BuildRunVariables();
  session.ProgramName = ExpandReported("%ProgramName%", session.Variables);
  SetMessageCaption(session.ProgramName);
  HWND window = session.MainWindow;
  if (window && WindowText(window) != session.ProgramName) {
    SetText(window, session.ProgramName);
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
  }
}

void InstalledLanguages(StringList& result) {
  // The enumeration's callback has no context parameter.
  enumerated = &result;
  EnumSystemLocalesA(AddLocale, LCID_INSTALLED);
  enumerated = nullptr;
}

String UserDefaultLanguage() {
  return LocaleText(LOCALE_USER_DEFAULT, LOCALE_SABBREVLANGNAME);
}

void ChooseLanguage() {
  TSetupSession& session = Session();
  StringList installed;
  InstalledLanguages(installed);
  String offered = ReadIniString(session.ConfigFile, "Config", "Languages", kNoText);
  // A language the command line names comes first, when offered.
  const String& wanted = session.Options.Lang;
  SetLanguage(MatchLanguages(offered, installed, wanted.IsEmpty() ? UserDefaultLanguage() : wanted,
                             session.Languages));
}

}  // namespace osin
