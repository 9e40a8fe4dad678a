#include <windows.h>

#include "config/inifile.h"
#include "config/profile.h"
#include "platform/strutils.h"
#include "setup/display.h"
#include "setup/session.h"
#include "ui/bitmap.h"
#include "ui/msgwindow.h"

namespace osin {

namespace {

const char kDisplay[] = "Display";

TFontDescription ConfiguredFont(const String& file, const char* key, const char* fallback) {
  String text = ReadIniString(file, kDisplay, key, String());
  return ParseFontDescription(text.IsEmpty() ? String(fallback) : text);
}

}  // namespace

void ReadDisplaySettings(TSetupSession& session) {
  const String& file = session.ConfigFile;
  TBackgroundLook& look = session.Background;
  look.Title = &session.ProgramName;
  look.TitleFont = &session.MainTitleFont;
  look.StaticBitmaps = &session.StaticBitmaps;
  look.ShowTitle = ReadIniBool(file, kDisplay, "ShowMainTitle", true);
  look.TitleShadow = ReadIniBool(file, kDisplay, "MainTitleShadow", false);
  look.TitleShadowColor = ReadIniInteger(file, kDisplay, "MainTitleShadowColor", 0xC0C0C0);
  look.GradientTopColor = ReadIniInteger(file, kDisplay, "GradientTopColor", 0);
  look.GradientBottomColor = ReadIniInteger(file, kDisplay, "GradientBottomColor", 0xFF8000);
  session.DialogTitleShadow = ReadIniBool(file, kDisplay, "DialogTitleShadow", true);
  session.DialogTitleShadowColor = ReadIniInteger(file, kDisplay, "DialogTitleShadowColor", 0xC0C0C0);
  const CharSet comma(",");
  String position = ReadIniString(file, kDisplay, "DialogPosition", "1,1");
  session.DialogPositionH = IniStrToInt(GetField(1, position, comma), 1);
  session.DialogPositionV = IniStrToInt(GetField(2, position, comma), 1);
}

void LoadDisplayBitmaps(TSetupSession& session) {
  const String& file = session.ConfigFile;
  String background = ReadIniString(file, kDisplay, "BackgroundBitmap", String());
  if (!background.IsEmpty()) session.Background.Bitmap = LoadBitmapFile(session.PresetupDir + background);
  StringList& lines = session.StaticBitmaps;
  ReadIniSectionValues(file, "StaticBitmap", lines);
  const CharSet comma(",");
  for (int i = 0; i < lines.Count(); ++i) {
    String name = GetField(1, lines.ValueFromIndex(i), comma);
    if (!name.IsEmpty()) lines.SetObject(i, LoadBitmapFile(session.PresetupDir + name));
  }
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
  RepaintNow(session.MainWindow);
}

}  // namespace osin
