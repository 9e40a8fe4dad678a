#include "ui/wintext.h"

#include "platform/osversion.h"

namespace osin {

namespace {

UINT languageCodePage = CP_ACP;

// Edit boxes and list boxes take typed characters; a multi-line box also
// takes every key, and holds a document.
bool HoldsAnsiText(HWND window) {
  if (!IsWindowUnicode(window)) return true;
  LRESULT code = SendMessageW(window, WM_GETDLGCODE, 0, 0);
  return (code & (DLGC_WANTCHARS | DLGC_WANTALLKEYS)) == DLGC_WANTCHARS;
}

}  // namespace

void SetLanguageCharset(uint8_t charset) {
  CHARSETINFO info;
  bool known = charset != DEFAULT_CHARSET &&
               TranslateCharsetInfo(reinterpret_cast<DWORD*>(uintptr_t(charset)), &info, TCI_SRCCHARSET);
  languageCodePage = known ? info.ciACP : CP_ACP;
}

String Widen(const String& text, bool language) {
  UINT codePage = language ? languageCodePage : CP_ACP;
  int count = MultiByteToWideChar(codePage, 0, text.c_str(), -1, nullptr, 0);
  String wide;
  wide.SetLength(2 * count);
  MultiByteToWideChar(codePage, 0, text.c_str(), -1, reinterpret_cast<LPWSTR>(wide.Buffer()), count);
  return wide;
}

void SetText(HWND window, const String& text) {
  if (HoldsAnsiText(window)) {
    SetWindowTextA(window, text.c_str());
  } else {
    SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Widen(text, true).c_str()));
  }
}

// As long as the text is: a welcome text of a few paragraphs runs past any
// fixed room, and its expanded form replaces it whole.
String WindowText(HWND window) {
  String text;
  if (HoldsAnsiText(window)) {
    text.SetLength(GetWindowTextLengthA(window));
    text.SetLength(GetWindowTextA(window, text.Buffer(), text.Length() + 1));
    return text;
  }
  String wide;
  int count = int(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0)) + 1;
  wide.SetLength(2 * count);
  LPWSTR buffer = reinterpret_cast<LPWSTR>(wide.Buffer());
  count = int(SendMessageW(window, WM_GETTEXT, count, reinterpret_cast<LPARAM>(buffer)));
  text.SetLength(WideCharToMultiByte(languageCodePage, 0, buffer, count, nullptr, 0, nullptr, nullptr));
  WideCharToMultiByte(languageCodePage, 0, buffer, count, text.Buffer(), text.Length(), nullptr, nullptr);
  return text;
}

INT_PTR ShowDialog(const char* name, HWND owner, DLGPROC proc, LPARAM param) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!OSVersion().IsNTLine()) return DialogBoxParamA(instance, name, owner, proc, param);
  return DialogBoxParamW(instance, reinterpret_cast<LPCWSTR>(Widen(name, false).c_str()), owner, proc, param);
}

HWND CreatePushButton(HWND parent, int id, int x, int y, int width, int height) {
  const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
  HMENU menu = reinterpret_cast<HMENU>(INT_PTR(id));
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!OSVersion().IsNTLine())
    return CreateWindowExA(0, "BUTTON", nullptr, style, x, y, width, height, parent, menu, instance, nullptr);
  return CreateWindowExW(0, L"BUTTON", nullptr, style, x, y, width, height, parent, menu, instance, nullptr);
}

}  // namespace osin
