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
  // A system without the tables of that code page (East Asian support not
  // installed) would convert every text to nothing: its own code page
  // shows them as the ANSI calls did.
  bool known = charset != DEFAULT_CHARSET &&
               TranslateCharsetInfo(reinterpret_cast<DWORD*>(uintptr_t(charset)), &info, TCI_SRCCHARSET) &&
               IsValidCodePage(info.ciACP);
  languageCodePage = known ? info.ciACP : CP_ACP;
}

UINT LanguageCodePage() {
  return languageCodePage;
}

// One byte is at most one UTF-16 unit: the room is known without asking.
String Widen(const String& text, bool language) {
  String wide;
  wide.SetLength(2 * text.Length() + 2);
  MultiByteToWideChar(language ? languageCodePage : CP_ACP, 0, text.c_str(), -1,
                      reinterpret_cast<LPWSTR>(wide.Buffer()), text.Length() + 1);
  return wide;
}

void SetText(HWND window, const String& text) {
  if (HoldsAnsiText(window)) {
    SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  } else {
    SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Widen(text, true).c_str()));
  }
}

// As long as the text is: a welcome text of a few paragraphs runs past any
// fixed room, and its expanded form replaces it whole. A UTF-16 unit
// becomes at most two bytes.
String WindowText(HWND window) {
  bool ansi = HoldsAnsiText(window);
  auto send = ansi ? &SendMessageA : &SendMessageW;
  int room = int(send(window, WM_GETTEXTLENGTH, 0, 0)) + 1;
  String got;
  got.SetLength(2 * room);
  int count = int(send(window, WM_GETTEXT, room, reinterpret_cast<LPARAM>(got.Buffer())));
  if (ansi) {
    got.SetLength(count);
    return got;
  }
  String text;
  text.SetLength(2 * count);
  text.SetLength(WideCharToMultiByte(languageCodePage, 0, reinterpret_cast<LPCWSTR>(got.c_str()), count,
                                     text.Buffer(), text.Length(), nullptr, nullptr));
  return text;
}

INT_PTR ShowDialog(const char* name, HWND owner, DLGPROC proc, LPARAM param) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!OSVersion().IsNTLine()) return DialogBoxParamA(instance, name, owner, proc, param);
  return DialogBoxParamW(instance, reinterpret_cast<LPCWSTR>(Widen(name, false).c_str()), owner, proc, param);
}

// Unicode when its dialog is, as the controls of a dialog are.
HWND CreatePushButton(HWND parent, int id, int x, int y, int width, int height) {
  bool unicode = IsWindowUnicode(parent);
  auto create = unicode ? reinterpret_cast<decltype(&CreateWindowExA)>(&CreateWindowExW) : &CreateWindowExA;
  return create(0, unicode ? reinterpret_cast<LPCSTR>(L"BUTTON") : "BUTTON", nullptr,
                WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, x, y, width, height, parent,
                reinterpret_cast<HMENU>(INT_PTR(id)), GetModuleHandleA(nullptr), nullptr);
}

}  // namespace osin
