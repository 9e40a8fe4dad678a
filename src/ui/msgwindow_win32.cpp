#include <windows.h>

#include "platform/measure.h"
#include "platform/strutils.h"
#include "resources/ids.h"
#include "ui/font.h"
#include "ui/msgbox.h"
#include "ui/msgwindow.h"
#include "ui/pagetext.h"
#include "ui/wintext.h"

namespace osin {

namespace {

// The text control's width limits, in pixels.
const int kMinTextWidth = 50;
const int kMaxTextWidth = 300;
// The pause after a message hides, so the screen settles before the next
// step draws.
const DWORD kAfterHideMs = 50;

enum VerticalMode { kTop = 0, kCentred = 1, kBottom = 2 };
enum Alignment { kLeft = 0, kRight = 1, kCentre = 2 };

struct MessageWindow {
  HWND owner = nullptr;
  const TFontDescription* fontDescription = nullptr;
  bool hidden = false;
  HWND window = nullptr;
  HFONT font = nullptr;
  // The character set the window's font was made with; -1 before it has
  // one.
  int fontCharset = -1;
  String text;
  DWORD minimum = 0;
  DWORD shownAt = 0;
  // Window width minus the text control's width, measured at creation.
  int widthMargin = 0;
  String queryOk = "OK";
  String queryCancel = "Cancel";
};

MessageWindow& State() {
  static MessageWindow state;
  return state;
}

int WidthOf(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  return r.right - r.left;
}

int HeightOf(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  return r.bottom - r.top;
}

void PaintMessageText(HWND control) {
  PAINTSTRUCT paint;
  HDC surface = BeginPaint(control, &paint);
  HGDIOBJ old = SelectObject(surface, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
  RECT client;
  GetClientRect(control, &client);
  DrawWrappedText(surface, State().text, client, true, kCentred, kCentre);
  SelectObject(surface, old);
  EndPaint(control, &paint);
}

INT_PTR CALLBACK MessageWindowProc(HWND window, UINT message, WPARAM, LPARAM) {
  if (message != WM_PAINT) return 0;
  // The dialog's own background first: painted afterwards by the default
  // handling, it would cover the text (the dialog does not clip its
  // children).
  PAINTSTRUCT paint;
  BeginPaint(window, &paint);
  EndPaint(window, &paint);
  PaintMessageText(GetDlgItem(window, IDC_MESSAGE_TEXT));
  return TRUE;
}

void CreateMessageWindow(MessageWindow& state) {
  state.window =
      CreateDialogParamA(GetModuleHandleA(nullptr), DLG_MESSAGE, state.owner, MessageWindowProc, 0);
  if (!state.window) return;
  state.widthMargin = WidthOf(state.window) - WidthOf(GetDlgItem(state.window, IDC_MESSAGE_TEXT));
  state.fontCharset = -1;
}

// The text is drawn in the code page of the font's character set, so the
// font follows the language: a message shown before the language page (a
// program run first) made it with the first language's set.
void FollowLanguage(MessageWindow& state) {
  const TFontDescription* description = state.fontDescription;
  if (!description || state.fontCharset == description->Charset) return;
  DeleteObject(state.font);
  state.font = MakeFont(*description, state.owner);
  state.fontCharset = description->Charset;
  ApplyFontToChildren(state.window, state.font);
}

BOOL CALLBACK SetChildFont(HWND child, LPARAM font) {
  SendMessageA(child, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
  return TRUE;
}

// The query's working values, for one call on one thread.
struct Query {
  HFONT font;
  String caption;
  String prompt;
  String value;
};

void InitQuery(HWND dialog, const Query& query) {
  if (query.font) ApplyFontToChildren(dialog, query.font);
  SetText(dialog, query.caption);
  SetItemText(dialog, IDC_QUERY_PROMPT, query.prompt);
  SetItemText(dialog, IDC_QUERY_VALUE, query.value);
  SetItemText(dialog, IDC_QUERY_OK, State().queryOk);
  SetItemText(dialog, IDC_QUERY_CANCEL, State().queryCancel);
  SetFocus(GetDlgItem(dialog, IDC_QUERY_VALUE));
}

INT_PTR CALLBACK QueryProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      InitQuery(dialog, *reinterpret_cast<Query*>(lParam));
      return FALSE;  // the focus is set
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDCANCEL:
        case IDC_QUERY_CANCEL:
          EndDialog(dialog, IDCANCEL);
          return TRUE;
        case IDC_QUERY_OK:
          reinterpret_cast<Query*>(GetWindowLongPtrA(dialog, DWLP_USER))->value =
              GetItemText(dialog, IDC_QUERY_VALUE);
          EndDialog(dialog, IDOK);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

void SetMessageWindowOwner(HWND owner, const TFontDescription* font, bool hidden) {
  State().owner = owner;
  State().fontDescription = font;
  State().hidden = hidden;
}

void ShowMessageWindow(const String& text, uint32_t minimumMs) {
  MessageWindow& state = State();
  if (state.hidden) return;
  // The owner's destruction takes the window with it.
  if (!state.window || !IsWindow(state.window)) CreateMessageWindow(state);
  if (!state.window) {
    ErrorBox("Cannot create message window!");
    return;
  }
  FollowLanguage(state);
  state.text = text;
  state.minimum = minimumMs;
  HWND control = GetDlgItem(state.window, IDC_MESSAGE_TEXT);
  int width = WindowTextExtent(control, text).cx;
  if (width < kMinTextWidth) width = kMinTextWidth;
  if (width > kMaxTextWidth) width = kMaxTextWidth;
  const UINT resize = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW;
  SetWindowPos(control, nullptr, 0, 0, width, HeightOf(control), resize);
  SetWindowPos(state.window, nullptr, 0, 0, width + state.widthMargin, HeightOf(state.window), resize);
  CenterOnScreen(state.window);
  ShowWindow(state.window, SW_SHOW);
  SetForegroundWindow(state.window);
  RepaintNow(state.window);
  state.shownAt = GetTickCount();
}

void HideMessageWindow() {
  MessageWindow& state = State();
  if (!state.window || !IsWindowVisible(state.window)) return;
  // Short sleeps rather than zero-length ones: the wait gives the processor
  // away instead of spinning on it for the whole minimum time.
  while (!MinimumTimeShown(state.shownAt, GetTickCount(), state.minimum)) Sleep(1);
  ShowWindow(state.window, SW_HIDE);
  if (state.owner) RepaintNow(state.owner);
  Sleep(kAfterHideMs);
}

bool AskString(HWND owner, const String& caption, const String& prompt, String& value) {
  Query query = {nullptr, caption, prompt, value};
  if (owner) query.font = reinterpret_cast<HFONT>(SendMessageA(owner, WM_GETFONT, 0, 0));
  INT_PTR result = ShowDialog(DLG_INPUTQUERYSTR, owner, QueryProc, reinterpret_cast<LPARAM>(&query));
  if (result != IDOK) return false;
  value = query.value;
  return true;
}

void SetQueryButtonTexts(const String& ok, const String& cancel) {
  State().queryOk = ok;
  State().queryCancel = cancel;
}

void ApplyFontToChildren(HWND window, HFONT font) {
  SetChildFont(window, reinterpret_cast<LPARAM>(font));
  EnumChildWindows(window, SetChildFont, reinterpret_cast<LPARAM>(font));
}

void DrawWrappedText(HDC surface, const String& text, const RECT& rect, bool transparent, int verticalMode,
                     int alignment) {
  String wrapped = WrapText(surface, text, rect.right - rect.left, LanguageCodePage());
  SIZE extent = TextExtent(surface, wrapped);
  static constexpr CharSet kLineBreak("\r");
  int lines = CountWords(wrapped, kLineBreak);
  int free = (rect.bottom - rect.top - extent.cy * lines) / 2;
  if (free < 0) free = 0;
  RECT box = rect;
  if (verticalMode == kCentred) {
    box.top += free;
    box.bottom -= free;
  } else if (verticalMode == kBottom) {
    box.top += 2 * free;
  }
  SetBkMode(surface, transparent ? TRANSPARENT : OPAQUE);
  UINT format = alignment == kRight ? DT_RIGHT : alignment == kCentre ? DT_CENTER : DT_LEFT;
  DrawTextA(surface, wrapped.c_str(), wrapped.Length(), &box, format | DT_NOPREFIX);
}

void RepaintNow(HWND window) {
  InvalidateRect(window, nullptr, TRUE);
  UpdateWindow(window);
}

}  // namespace osin
