#include <windows.h>

#include "config/inifile.h"
#include "platform/osversion.h"
#include "platform/strutils.h"
#include "resources/ids.h"
#include "ui/draw.h"
#include "ui/mainwindow.h"
#include "ui/msgbox.h"

namespace osin {

const char kMainWindowClass[] = "OsinMainWindow";

namespace {

// The title's place, and its shadow's three pixels further right and down.
const int kTitleAt = 20;
const int kShadowAt = 23;
// The gradient has one band for every three rows.
const int kRowsPerBand = 3;

// What a window made without a look draws: the default gradient.
const TBackgroundLook kPlainLook;

// What one background window keeps: what it draws and the rendered
// background, made at the first paint.
struct WindowState {
  const TBackgroundLook* look;
  HDC cache = nullptr;
  HBITMAP cacheBitmap = nullptr;
  HGDIOBJ cacheOld = nullptr;
};

WindowState* StateOf(HWND window) {
  return reinterpret_cast<WindowState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

void BitmapSize(HBITMAP bitmap, int& width, int& height) {
  BITMAP info = {};
  GetObjectA(bitmap, sizeof info, &info);
  width = info.bmWidth;
  height = info.bmHeight;
}

// Copies Bitmap whole to (X, Y) of Surface.
void CopyBitmap(HDC surface, HBITMAP bitmap, int x, int y, int width, int height) {
  HDC from = CreateCompatibleDC(surface);
  HGDIOBJ old = SelectObject(from, bitmap);
  BitBlt(surface, x, y, width, height, from, 0, 0, SRCCOPY);
  SelectObject(from, old);
  DeleteDC(from);
}

// The bitmap at every multiple of its size from the top left corner. The
// first copy is doubled across the first row of tiles and that row down
// the surface: the same pixels as one copy per tile, in a few dozen copies
// even for a bitmap of a single pixel.
void TileBitmap(HDC surface, HBITMAP bitmap, int width, int height) {
  int bw, bh;
  BitmapSize(bitmap, bw, bh);
  if (bw <= 0 || bh <= 0) return;
  CopyBitmap(surface, bitmap, 0, 0, bw, bh);
  for (int done = bw; done < width; done *= 2) BitBlt(surface, done, 0, done, bh, surface, 0, 0, SRCCOPY);
  for (int done = bh; done < height; done *= 2) BitBlt(surface, 0, done, width, done, surface, 0, 0, SRCCOPY);
}

void DrawStaticBitmap(HDC surface, HBITMAP bitmap, const String& fields, int width, int height) {
  // Fields 2 to 5 of file,x,y,anchor,transparent, with their defaults.
  int value[4] = {0, 0, 0, -1};
  for (int i = 0; i < 4; ++i) value[i] = IniStrToInt(GetField(i + 2, fields, kCommaSet), value[i]);
  int x = value[0], y = value[1], anchor = value[2];
  int32_t transparent = value[3];
  int bw, bh;
  BitmapSize(bitmap, bw, bh);
  if (anchor == 1 || anchor == 3) x = width - x - bw;
  if (anchor == 2 || anchor == 3) y = height - y - bh;
  if (transparent == -1) {
    CopyBitmap(surface, bitmap, x, y, bw, bh);
  } else {
    DrawTransparentBitmap(surface, x, y, transparent, nullptr, bitmap, 0, 0, bw, bh, bw, bh);
  }
}

void RenderBackground(HDC surface, const TBackgroundLook& look, int width, int height) {
  if (look.Bitmap) {
    TileBitmap(surface, look.Bitmap, width, height);
  } else {
    RECT all = {0, 0, width, height};
    PaintGradient(surface, all, look.GradientTopColor, look.GradientBottomColor, kTopToBottom,
                  static_cast<uint16_t>(height / kRowsPerBand));
  }
  if (!look.StaticBitmaps) return;
  const StringList& lines = *look.StaticBitmaps;
  for (int i = 0; i < lines.Count(); ++i) {
    HBITMAP bitmap = static_cast<HBITMAP>(lines.Object(i));
    if (bitmap) DrawStaticBitmap(surface, bitmap, lines.ValueFromIndex(i), width, height);
  }
}

void DrawTitle(HDC surface, HWND window, const TBackgroundLook& look) {
  if (!look.ShowTitle || !look.TitleFont || !look.Title) return;
  const String& title = *look.Title;
  SetBkMode(surface, TRANSPARENT);
  HFONT font = MakeFont(*look.TitleFont, window);
  HGDIOBJ old = SelectObject(surface, font);
  if (look.TitleShadow) {
    SetTextColor(surface, ResolveColor(look.TitleShadowColor));
    TextOutA(surface, kShadowAt, kShadowAt, title.c_str(), title.Length());
  }
  SetTextColor(surface, ResolveColor(look.TitleFont->Color));
  TextOutA(surface, kTitleAt, kTitleAt, title.c_str(), title.Length());
  SelectObject(surface, old);
  DeleteObject(font);
}

void PaintBackground(HWND window, WindowState& state) {
  RECT client;
  GetClientRect(window, &client);
  int width = client.right, height = client.bottom;
  PAINTSTRUCT paint;
  HDC screen = BeginPaint(window, &paint);
  if (!state.cache) {
    state.cache = CreateCompatibleDC(screen);
    state.cacheBitmap = CreateCompatibleBitmap(screen, width, height);
    state.cacheOld = SelectObject(state.cache, state.cacheBitmap);
    RenderBackground(state.cache, *state.look, width, height);
  }
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  const RECT& dirty = paint.rcPaint;
  BitBlt(memory, dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top, state.cache,
         dirty.left, dirty.top, SRCCOPY);
  DrawTitle(memory, window, *state.look);
  BitBlt(screen, 0, 0, width, height, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  EndPaint(window, &paint);
}

void FreeState(WindowState* state) {
  if (!state) return;
  if (state->cache) {
    SelectObject(state->cache, state->cacheOld);
    DeleteObject(state->cacheBitmap);
    DeleteDC(state->cache);
  }
  delete state;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE: {
      auto* look =
          static_cast<const TBackgroundLook*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
      if (!look) look = &kPlainLook;
      SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new WindowState{look}));
      break;
    }
    case WM_PAINT:
      PaintBackground(window, *StateOf(window));
      break;
    case WM_CLOSE:
      // Alt+F4 must not take the window away from the run that still owns
      // pages and messages with it; the run's clean-up destroys it.
      return 0;
    case WM_NCDESTROY:
      FreeState(StateOf(window));
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      break;
  }
  return (IsWindowUnicode(window) ? DefWindowProcW : DefWindowProcA)(window, message, wParam, lParam);
}

bool RegisterMainWindowClass(HINSTANCE instance) {
  HICON icon = LoadIconA(instance, IDI_MAINICON);
  WNDCLASSEXA extended = {};
  extended.cbSize = sizeof extended;
  extended.lpfnWndProc = MainWindowProc;
  extended.hInstance = instance;
  extended.hIcon = icon;
  extended.lpszClassName = kMainWindowClass;
  if (RegisterClassExA(&extended)) return true;
  // Systems without the extended call get the same data the old way.
  WNDCLASSA plain = {};
  plain.lpfnWndProc = MainWindowProc;
  plain.hInstance = instance;
  plain.hIcon = icon;
  plain.lpszClassName = kMainWindowClass;
  return RegisterClassA(&plain) != 0;
}

}  // namespace

HWND CreateBackgroundWindow(const TBackgroundLook* look) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!RegisterMainWindowClass(instance)) {
    ErrorBox("Cannot register main window class!");
    return nullptr;
  }
  HWND window = CreateWindowExA(0, kMainWindowClass, "", WS_POPUP, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                                GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, instance,
                                const_cast<TBackgroundLook*>(look));
  // The taskbar shows the title, the program's name in the language's
  // letters: on the NT line the procedure set through the wide call makes
  // the window a Unicode one, which keeps a Russian name on a Western
  // system (SetText converts it from the language's code page).
  if (window && OSVersion().IsNTLine())
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MainWindowProc));
  return window;
}

void BackgroundClientSize(HWND window, int& width, int& height) {
  RECT client;
  if (window && GetClientRect(window, &client)) {
    width = client.right;
    height = client.bottom;
    return;
  }
  width = GetSystemMetrics(SM_CXSCREEN);
  height = GetSystemMetrics(SM_CYSCREEN);
}

}  // namespace osin
