#include <windows.h>

#include "ui/pagetext.h"

#include "config/language.h"
#include "config/profile.h"
#include "config/variables.h"
#include "platform/fault.h"
#include "resources/ids.h"
#include "ui/msgbox.h"

namespace osin {

namespace {

// The page header control, whose text is the default title.
const int kHeaderControl = 100;

void SetTextSelected(HWND window, const String& text) {
  SetText(window, text);
  SendMessageA(window, EM_SETSEL, 0, text.Length());
}

BOOL CALLBACK ExpandChildText(HWND child, LPARAM variables) {
  String text = WindowText(child);
  String expanded = ExpandReported(text, *reinterpret_cast<const StringList*>(variables));
  if (expanded != text) SetTextSelected(child, expanded);
  return TRUE;
}

// Sets every control that a numeric key of Section names, in File or, where
// a partial translation lacks the key, in the English file beside it (so
// that no button stays blank).
void SetControlTexts(HWND page, const String& file, const String& section) {
  StringList lines;
  ReadIniSectionValues(EnglishFile(file), section, lines);
  ReadIniSectionValues(file, section, lines);
  for (int i = 0; i < lines.Count(); ++i) {
    int id = IniStrToInt(lines.Name(i), 0);
    if (id != 0) SetItemText(page, id, lines.ValueFromIndex(i));
  }
}

}  // namespace

bool LoadPageTexts(HWND page, const String& pageName, const LanguageTexts& texts, String& pageTitle) {
  const String& file = texts.File;
  String caption = ReadIniString(file, "Dialogs", "Caption", kNoText);
  if (FaultPending()) return false;
  caption = ExpandReported(ReadIniString(file, pageName.c_str(), "Caption", caption), texts.Variables);
  if (!caption.IsEmpty()) SetText(page, caption);

  String title = ReadIniString(file, "Dialogs", "Title", GetItemText(page, kHeaderControl));
  pageTitle = ExpandReported(ReadIniString(file, pageName.c_str(), "Title", title), texts.Variables);

  // The numbers of [Dialogs] are the pages' own buttons (101 is Back); the
  // version-conflict question is no page, and its 101 is the question.
  if (pageName != DLG_VERSIONCONFLICT) SetControlTexts(page, file, "Dialogs");
  SetControlTexts(page, file, pageName);
  EnumChildWindows(page, ExpandChildText, reinterpret_cast<LPARAM>(&texts.Variables));
  return !FaultPending();
}

void SetItemText(HWND window, int id, const String& text) {
  SetTextSelected(GetDlgItem(window, id), text);
}

String GetItemText(HWND window, int id) {
  return WindowText(GetDlgItem(window, id));
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
