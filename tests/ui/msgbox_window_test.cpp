// Real message boxes under Wine: shown, centred and answered by a timer
// that plays the user.
#include <windows.h>

#include <string>
#include <vector>

#include "testing.h"
#include "ui/msgbox.h"

using namespace osin;

namespace {

// What the timer saw of the box and which button it pressed.
struct Seen {
  HWND box = nullptr;
  RECT rect{};
  std::string caption;
  std::vector<std::string> texts;
  WPARAM press = IDOK;
};
Seen seen;

BOOL CALLBACK CollectText(HWND child, LPARAM) {
  char text[256];
  GetWindowTextA(child, text, sizeof(text));
  seen.texts.push_back(text);
  return TRUE;
}

BOOL CALLBACK FindBox(HWND window, LPARAM) {
  char cls[64];
  GetClassNameA(window, cls, sizeof(cls));
  if (!IsWindowVisible(window) || std::string(cls) != "#32770") return TRUE;
  seen.box = window;
  return FALSE;
}

void CALLBACK PlayUser(HWND, UINT, UINT_PTR id, DWORD) {
  EnumThreadWindows(GetCurrentThreadId(), FindBox, 0);
  if (!seen.box) return;  // not open yet: the next tick looks again
  KillTimer(nullptr, id);
  GetWindowRect(seen.box, &seen.rect);
  char caption[256];
  GetWindowTextA(seen.box, caption, sizeof(caption));
  seen.caption = caption;
  EnumChildWindows(seen.box, CollectText, 0);
  PostMessageA(seen.box, WM_COMMAND, seen.press, 0);
}

class RealBoxes : public ::testing::Test {
 protected:
  void SetUp() override {
    seen = Seen();
    SetTimer(nullptr, 0, 50, PlayUser);
  }
  void TearDown() override { SetMessageCaption(String()); }

  static bool Centred(const RECT& r) {
    int w = r.right - r.left, h = r.bottom - r.top;
    return r.left == (GetSystemMetrics(SM_CXSCREEN) - w) / 2 &&
           r.top == (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  }
  static bool Holds(const std::string& text) {
    for (const std::string& t : seen.texts) {
      if (t == text) return true;
    }
    return false;
  }
};

TEST_F(RealBoxes, AnErrorBoxOpensCentredWithItsText) {
  ErrorBox("Something failed.");
  ASSERT_NE(seen.box, nullptr);
  EXPECT_EQ(seen.caption, "Error");
  EXPECT_TRUE(Holds("Something failed."));
  EXPECT_TRUE(Centred(seen.rect)) << seen.rect.left << "," << seen.rect.top;
  EXPECT_FALSE(IsWindow(seen.box));
}

TEST_F(RealBoxes, AQuestionReturnsTheButtonPressed) {
  SetMessageCaption("Demo Program");
  seen.press = IDNO;
  EXPECT_EQ(QuestionBox("Abort setup?"), kBoxResultNo);
  EXPECT_EQ(seen.caption, "Demo Program");
  EXPECT_TRUE(Centred(seen.rect));
}

TEST_F(RealBoxes, TheHookIsGoneAfterTheBox) {
  WarningBox("w");
  // A window activated after the box is left where it was put.
  HWND window = CreateWindowExA(0, "STATIC", "x", WS_POPUP | WS_VISIBLE, 5, 7, 100, 50, nullptr, nullptr,
                                nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  SetActiveWindow(window);
  RECT r;
  GetWindowRect(window, &r);
  EXPECT_EQ(r.left, 5);
  EXPECT_EQ(r.top, 7);
  DestroyWindow(window);
}

TEST(CenterOnScreen, LargerThanTheScreenGoesToZero) {
  int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
  HWND wide =
      CreateWindowExA(0, "STATIC", "", WS_POPUP, 3, 3, cx + 200, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(wide, nullptr);
  CenterOnScreen(wide);
  RECT r;
  GetWindowRect(wide, &r);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, (cy - 100) / 2);
  EXPECT_EQ(r.right - r.left, cx + 200) << "the size stays";
  DestroyWindow(wide);
}

}  // namespace
