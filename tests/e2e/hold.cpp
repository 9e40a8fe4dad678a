// The hook library the driver places in a program under test (the "hold"
// command): once a window of the class named in the environment has handled
// the named message, the program's thread holds there until the driver
// releases it, so the test sees the screen exactly at that moment.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "hold.h"

namespace {

bool held = false;

// Whether Window of the class named in the environment just handled the
// named message.
bool HoldPoint(HWND window, UINT message) {
  char want[256];
  DWORD n = GetEnvironmentVariableA(kHoldAtVariable, want, sizeof want);
  if (n == 0 || n >= sizeof want) return false;
  char* blank = std::strrchr(want, ' ');
  if (!blank) return false;
  *blank = 0;
  char cls[256];
  GetClassNameA(window, cls, sizeof cls);
  return message == static_cast<UINT>(std::atoi(blank + 1)) && std::strcmp(cls, want) == 0;
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK OsinHoldHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && !held) {
    const CWPRETSTRUCT& sent = *reinterpret_cast<CWPRETSTRUCT*>(lParam);
    if (HoldPoint(sent.hwnd, sent.message)) {
      held = true;
      HoldForTest();
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
