#include <windows.h>

#include "resources/ids.h"
#include "ui/mainwindow.h"
#include "ui/msgbox.h"

namespace osin {

const char kMainWindowClass[] = "OsinMainWindow";

namespace {

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
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

HWND CreateBackgroundWindow() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!RegisterMainWindowClass(instance)) {
    ErrorBox("Cannot register main window class!");
    return nullptr;
  }
  return CreateWindowExA(0, kMainWindowClass, "", WS_POPUP, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                         GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, instance, nullptr);
}

}  // namespace osin
