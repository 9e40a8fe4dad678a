// A test program for the end-to-end scenarios of the user-interface pieces
// that osin.exe does not reach on its own yet (the message window, the
// folder browser): it calls them as the run will and writes what it saw.
//
//   osin-e2e-ui message RESULTS      the message window, four times
//   osin-e2e-ui browse RESULTS PATH  the folder browser starting at PATH
//
// It holds for the driver (hold.h) while a message is shown.
#include <windows.h>

#include <cstdio>
#include <string>

#include "hold.h"
#include "ui/browse.h"
#include "ui/font.h"
#include "ui/msgwindow.h"

using namespace osin;

namespace {

const char kLongText[] =
    "Reading install information files and checking the versions of the shared components, "
    "please wait a moment while the setup program prepares the installation.";

HWND shown = nullptr;

BOOL CALLBACK FindShown(HWND window, LPARAM) {
  if (!IsWindowVisible(window)) return TRUE;
  shown = window;
  return FALSE;
}

// NAME window L T R B text L T R B (screen coordinates).
void Report(FILE* out, const char* name) {
  shown = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindShown, 0);
  RECT w = {}, t = {};
  if (shown) {
    GetWindowRect(shown, &w);
    GetWindowRect(GetDlgItem(shown, 101), &t);
  }
  std::fprintf(out, "%s window %ld %ld %ld %ld text %ld %ld %ld %ld\n", name, w.left, w.top, w.right,
               w.bottom, t.left, t.top, t.right, t.bottom);
  std::fflush(out);
}

// When the message window began to hide: the moment it is told, before
// the system takes it off the screen (which under Wine without a window
// manager waits for an answer that never comes, a while).
DWORD hideBegan = 0;

LRESULT CALLBACK WatchHide(int code, WPARAM wParam, LPARAM lParam) {
  const CWPSTRUCT& sent = *reinterpret_cast<CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && sent.message == WM_SHOWWINDOW && !sent.wParam && !hideBegan)
    hideBegan = GetTickCount();
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// NAME MS: how long after HideMessageWindow was called the window began to
// hide, the message having been shown for WaitFirst milliseconds before.
void TimeHide(FILE* out, const char* name, DWORD waitFirst) {
  ShowMessageWindow("Hi", 750);
  if (waitFirst) Sleep(waitFirst);
  hideBegan = 0;
  DWORD start = GetTickCount();
  HideMessageWindow();
  std::fprintf(out, "%s %lu\n", name, static_cast<unsigned long>(hideBegan - start));
}

int Messages(FILE* out) {
  TFontDescription font = ParseFontDescription("MS Sans Serif,8");
  SetMessageWindowOwner(nullptr, &font);
  std::fprintf(out, "screen %d %d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  ShowMessageWindow("Hi", 0);
  Report(out, "short");
  HoldForTest();
  HideMessageWindow();
  ShowMessageWindow(kLongText, 0);
  Report(out, "long");
  HoldForTest();
  HideMessageWindow();
  SetWindowsHookExA(WH_CALLWNDPROC, WatchHide, nullptr, GetCurrentThreadId());
  TimeHide(out, "hide-at-once", 0);
  TimeHide(out, "hide-later", 2000);
  return 0;
}

int Browse(FILE* out, const char* start) {
  String path = start;
  bool ok = BrowseForFolder(nullptr, "Choose a folder", "Where shall it go?", true, path);
  std::fprintf(out, "%s %s\n", ok ? "OK" : "CANCEL", path.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: osin-e2e-ui message RESULTS | browse RESULTS PATH\n");
    return 2;
  }
  FILE* out = std::fopen(argv[2], "w");
  if (!out) return 2;
  std::string mode = argv[1];
  int rc = mode == "message" ? Messages(out) : mode == "browse" && argc > 3 ? Browse(out, argv[3]) : 2;
  std::fclose(out);
  return rc;
}
