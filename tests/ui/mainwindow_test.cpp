// The background window: its class, shape, what closes it (only its
// destruction) and the failed registration.
#include <windows.h>

#include <string>
#include <vector>

#include "testing.h"
#include "ui/mainwindow.h"
#include "ui/msgbox.h"

using namespace osin;

namespace {

std::vector<std::string> boxes;

int RecordBox(void*, const String&, const String& text, uint32_t) {
  boxes.push_back(ToStd(text));
  return kBoxResultOk;
}

TEST(BackgroundWindow, AHiddenBorderlessPopupOverTheWholeScreen) {
  HWND window = CreateBackgroundWindow(nullptr);
  ASSERT_NE(window, nullptr);
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  EXPECT_STREQ(name, "OsinMainWindow");
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(GetWindowTextLengthA(window), 0);
  LONG style = GetWindowLongA(window, GWL_STYLE);
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_FALSE(style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME));
  RECT r;
  GetWindowRect(window, &r);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(r.bottom, GetSystemMetrics(SM_CYSCREEN));
  WNDCLASSA cls;
  ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), "OsinMainWindow", &cls));
  EXPECT_EQ(cls.hCursor, nullptr);
  EXPECT_EQ(cls.hbrBackground, nullptr);
  EXPECT_EQ(cls.style, 0u);

  // Alt+F4 and a plain close request leave it to the run.
  DefWindowProcA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  SendMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(window));

  int width = 0, height = 0;
  BackgroundClientSize(window, width, height);
  EXPECT_EQ(width, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(height, GetSystemMetrics(SM_CYSCREEN));
  DestroyWindow(window);
  // A window that is gone gives the screen's size, not garbage.
  width = height = -1;
  BackgroundClientSize(window, width, height);
  EXPECT_EQ(width, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(height, GetSystemMetrics(SM_CYSCREEN));

  // The class is taken now, so both registrations fail the second time: the
  // user is told, and there is no window.
  boxes.clear();
  SetBoxHook(RecordBox, nullptr);
  EXPECT_EQ(CreateBackgroundWindow(nullptr), nullptr);
  SetBoxHook(nullptr, nullptr);
  EXPECT_EQ(boxes, std::vector<std::string>{"Cannot register main window class!"});
}

}  // namespace
