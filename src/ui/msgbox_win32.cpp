#include <windows.h>

#include "platform/osversion.h"
#include "ui/msgbox.h"
#include "ui/msgbox_internal.h"
#include "ui/wintext.h"

namespace osin {

static_assert(kBoxYesNo == MB_YESNO && kBoxIconError == MB_ICONERROR && kBoxIconQuestion == MB_ICONQUESTION &&
                  kBoxIconWarning == MB_ICONWARNING && kBoxTaskModal == MB_TASKMODAL &&
                  kBoxSetForeground == MB_SETFOREGROUND,
              "box flags are the system's");
static_assert(kBoxResultOk == IDOK && kBoxResultYes == IDYES && kBoxResultNo == IDNO,
              "box results are the system's");

namespace {

// The hook of the box being opened. Boxes are not opened by two threads at
// the same moment, so one variable serves.
HHOOK centringHook = nullptr;

void RemoveCentringHook() {
  if (centringHook) UnhookWindowsHookEx(centringHook);
  centringHook = nullptr;
}

// Centres the first window activated while the box opens, which is the box,
// then removes itself.
LRESULT CALLBACK CentreBoxHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code != HCBT_ACTIVATE) return CallNextHookEx(centringHook, code, wParam, lParam);
  CenterOnScreen(reinterpret_cast<HWND>(wParam));
  LRESULT result = CallNextHookEx(centringHook, code, wParam, lParam);
  RemoveCentringHook();
  return result;
}

}  // namespace

// The caption is the program's name, a language text like the page
// captions that carry it.
int ShowSystemBox(HWND__* owner, const String& caption, const String& text, uint32_t flags, bool language) {
  // Without the hook the box still opens, only not centred.
  centringHook = SetWindowsHookExA(WH_CBT, CentreBoxHook, nullptr, GetCurrentThreadId());
  int result = OSVersion().IsNTLine()
                   ? MessageBoxW(owner, reinterpret_cast<LPCWSTR>(Widen(text, language).c_str()),
                                 reinterpret_cast<LPCWSTR>(Widen(caption, true).c_str()), flags)
                   : MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
  RemoveCentringHook();
  return result;
}

void CenterOnScreen(HWND__* window) {
  RECT rect;
  if (!GetWindowRect(window, &rect)) return;
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  if (x < 0) x = 0;
  if (y < 0) y = 0;
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace osin
