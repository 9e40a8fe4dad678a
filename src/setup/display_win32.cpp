#include <windows.h>

#include "config/inifile.h"
#include "config/profile.h"
#include "platform/strutils.h"
#include "setup/display.h"
#include "setup/session.h"

namespace osin {

namespace {

const char kDisplay[] = "Display";

TFontDescription ConfiguredFont(const String& file, const char* key, const char* fallback) {
  String text = ReadIniString(file, kDisplay, key, "");
  return ParseFontDescription(text.IsEmpty() ? String(fallback) : text);
}

}  // namespace

void ReadDisplaySettings(TSetupSession& session) {
  const String& file = session.ConfigFile;
  session.DialogTitleShadow = ReadIniBool(file, kDisplay, "DialogTitleShadow", true);
  session.DialogTitleShadowColor = ReadIniInteger(file, kDisplay, "DialogTitleShadowColor", 0xC0C0C0);
  const CharSet comma(",");
  String position = ReadIniString(file, kDisplay, "DialogPosition", "1,1");
  session.DialogPositionH = IniStrToInt(GetField(1, position, comma), 1);
  session.DialogPositionV = IniStrToInt(GetField(2, position, comma), 1);
}

void BuildDisplayFonts(TSetupSession& session) {
  const String& file = session.ConfigFile;
  session.MainTitleFont = ConfiguredFont(file, "MainTitleFont", "Times New Roman,30,$FF0000,B");
  session.DialogFont = ConfiguredFont(file, "DialogFont", "MS Sans Serif,8");
  session.DialogTitleFont = ConfiguredFont(file, "DialogTitleFont", "Times New Roman,20,$FF5C5C,B");
}

void ShowBackground(TSetupSession& session) {
  if (!ReadIniBool(session.ConfigFile, kDisplay, "ShowMainWindow", false)) return;
  ShowWindow(session.MainWindow, SW_SHOW);
  InvalidateRect(session.MainWindow, nullptr, TRUE);
  UpdateWindow(session.MainWindow);
}

}  // namespace osin
