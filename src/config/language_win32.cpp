#include <windows.h>

#include "config/language.h"
#include "config/profile.h"
#include "config/variables.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "setup/session.h"
#include "ui/font.h"
#include "ui/msgbox.h"

namespace osin {

namespace {

// Room for a control's text: 1023 characters and the zero.
const int kItemTextRoom = 1024;
// The page header control, whose text is the default title.
const int kHeaderControl = 100;

String WindowText(HWND window) {
  char text[kItemTextRoom];
  int length = GetWindowTextA(window, text, kItemTextRoom);
  return String(text, length > 0 ? length : 0);
}

void SetTextSelected(HWND window, const String& text) {
  SetWindowTextA(window, text.c_str());
  SendMessageA(window, EM_SETSEL, 0, text.Length());
}

BOOL CALLBACK ExpandChildText(HWND child, LPARAM) {
  String text = WindowText(child);
  String expanded = ExpandString(text);
  if (expanded != text) SetTextSelected(child, expanded);
  return TRUE;
}

// Sets every control that a numeric key of Section names.
void SetControlTexts(HWND page, const String& file, const String& section) {
  StringList lines;
  ReadIniSectionValues(file, section, lines);
  for (int i = 0; i < lines.Count(); ++i) {
    int id = IniStrToInt(lines.Name(i), 0);
    if (id != 0) SetItemText(page, id, lines.ValueFromIndex(i));
  }
}

}  // namespace

void SetLanguage(const String& code) {
  TSetupSession& session = Session();
  session.Language = code;
  String file = session.PresetupDir + code + ".lng";
  session.LanguageFile = FileExists(file) ? file : session.PresetupDir + "Enu.lng";
  ApplyLanguageCharset(code);
  BuildVariables();
  session.ProgramName = ExpandString("%ProgramName%");
  SetMessageCaption(session.ProgramName);
  HWND window = session.MainWindow;
  if (window && WindowText(window) != session.ProgramName) {
    SetWindowTextA(window, session.ProgramName.c_str());
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
  }
}

bool LoadPageTexts(HWND page, const String& pageName) {
  TSetupSession& session = Session();
  const String& file = session.LanguageFile;
  String caption = ReadIniString(file, "Dialogs", "Caption", String());
  if (FaultPending()) return false;
  caption = ExpandString(ReadIniString(file, pageName, "Caption", caption));
  if (!caption.IsEmpty()) SetWindowTextA(page, caption.c_str());

  String title = ReadIniString(file, "Dialogs", "Title", GetItemText(page, kHeaderControl));
  session.PageTitle = ExpandString(ReadIniString(file, pageName, "Title", title));

  SetControlTexts(page, file, "Dialogs");
  SetControlTexts(page, file, pageName);
  EnumChildWindows(page, ExpandChildText, 0);
  return !FaultPending();
}

void SetItemText(HWND window, int id, const String& text) {
  SetDlgItemTextA(window, id, text.c_str());
  SendDlgItemMessageA(window, id, EM_SETSEL, 0, text.Length());
}

String GetItemText(HWND window, int id) {
  char text[kItemTextRoom];
  UINT length = GetDlgItemTextA(window, id, text, kItemTextRoom);
  return String(text, static_cast<int>(length));
}

String GetListSelection(HWND listBox) {
  LRESULT index = SendMessageA(listBox, LB_GETCURSEL, 0, 0);
  if (index == LB_ERR) return String();
  LRESULT length = SendMessageA(listBox, LB_GETTEXTLEN, index, 0);
  if (length == LB_ERR) return String();
  String text(static_cast<int>(length), '\0');
  LRESULT got = SendMessageA(listBox, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.Buffer()));
  text.SetLength(got == LB_ERR ? 0 : static_cast<int>(got));
  return text;
}

}  // namespace osin
