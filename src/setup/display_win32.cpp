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

const char* const kDisplay = "Display";

// One call per key with the section filled in here keeps the many reads
// small.
int DisplayInteger(const String& file, const char* key, int fallback) {
  return ReadIniInteger(file, kDisplay, key, fallback);
}

bool DisplayBool(const String& file, const char* key, bool fallback) {
  return ReadIniBool(file, kDisplay, key, fallback);
}

String DisplayString(const String& file, const char* key, const char* fallback) {
  return ReadIniString(file, kDisplay, key, fallback);
}

TFontDescription ConfiguredFont(const String& file, const char* key, const char* fallback) {
  String text = DisplayString(file, key, "");
  if (text.IsEmpty()) text = fallback;
  return ParseFontDescription(text);
}

}  // namespace

void ReadDisplaySettings(TSetupSession& session) {
  const String& file = session.ConfigFile;
  TBackgroundLook& look = session.Background;
  look.Title = &session.ProgramName;
  look.TitleFont = &session.MainTitleFont;
  look.StaticBitmaps = &session.StaticBitmaps;
  look.ShowTitle = DisplayBool(file, "ShowMainTitle", true);
  look.TitleShadow = DisplayBool(file, "MainTitleShadow", false);
  look.TitleShadowColor = DisplayInteger(file, "MainTitleShadowColor", 0xC0C0C0);
  look.GradientTopColor = DisplayInteger(file, "GradientTopColor", 0);
  look.GradientBottomColor = DisplayInteger(file, "GradientBottomColor", 0xFF8000);
  session.DialogTitleShadow = DisplayBool(file, "DialogTitleShadow", true);
  session.DialogTitleShadowColor = DisplayInteger(file, "DialogTitleShadowColor", 0xC0C0C0);
  String position = DisplayString(file, "DialogPosition", "1,1");
  session.DialogPositionH = IniStrToInt(GetField(1, position, kCommaSet), 1);
  session.DialogPositionV = IniStrToInt(GetField(2, position, kCommaSet), 1);
}

void LoadDisplayBitmaps(TSetupSession& session) {
  const String& file = session.ConfigFile;
  String background = DisplayString(file, "BackgroundBitmap", "");
  if (!background.IsEmpty()) session.Background.Bitmap = LoadBitmapFile(session.PresetupDir + background);
  StringList& lines = session.StaticBitmaps;
  ReadIniSectionValues(file, "StaticBitmap", lines);
  for (int i = 0; i < lines.Count(); ++i) {
    String name = GetField(1, lines.ValueFromIndex(i), kCommaSet);
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
  if (!DisplayBool(session.ConfigFile, "ShowMainWindow", false)) return;
  ShowWindow(session.MainWindow, SW_SHOW);
  RepaintNow(session.MainWindow);
}

}  // namespace osin
