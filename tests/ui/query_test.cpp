// The text query from its real template: what it shows, and what OK,
// Cancel and Esc give. A timer plays the user.
#include <windows.h>

#include <string>

#include "testing.h"
#include "ui/msgwindow.h"

using namespace osin;

namespace {

struct Play {
  std::string typed;  // typed before pressing, when not empty
  WPARAM press = IDOK;
  std::string caption, prompt, value, ok, cancel;
  DWORD selection = 0;
};
Play play;

std::string Text(HWND window) {
  char text[256];
  GetWindowTextA(window, text, sizeof text);
  return text;
}

BOOL CALLBACK FindQuery(HWND window, LPARAM found) {
  char cls[64];
  GetClassNameA(window, cls, sizeof cls);
  if (IsWindowVisible(window) && std::string(cls) == "#32770") *reinterpret_cast<HWND*>(found) = window;
  return TRUE;
}

void CALLBACK PlayUser(HWND, UINT, UINT_PTR id, DWORD) {
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindQuery, reinterpret_cast<LPARAM>(&dialog));
  if (!dialog) return;
  KillTimer(nullptr, id);
  play.caption = Text(dialog);
  play.prompt = Text(GetDlgItem(dialog, 100));
  play.value = Text(GetDlgItem(dialog, 101));
  play.ok = Text(GetDlgItem(dialog, 102));
  play.cancel = Text(GetDlgItem(dialog, 103));
  play.selection = static_cast<DWORD>(SendDlgItemMessageA(dialog, 101, EM_GETSEL, 0, 0));
  if (!play.typed.empty()) SetDlgItemTextA(dialog, 101, play.typed.c_str());
  PostMessageA(dialog, WM_COMMAND, play.press, 0);
}

bool Ask(String& value) {
  SetTimer(nullptr, 0, 30, PlayUser);
  return AskString(nullptr, "Create directory", "Name", value);
}

TEST(AskString, ShowsItsTextsAndOkReturnsTheEdit) {
  play = Play();
  play.typed = "New folder";
  play.press = 102;
  SetQueryButtonTexts("Fine", "Stop");
  String value = "Old";
  EXPECT_TRUE(Ask(value));
  SetQueryButtonTexts("OK", "Cancel");
  EXPECT_EQ(value, "New folder");
  EXPECT_EQ(play.caption, "Create directory");
  EXPECT_EQ(play.prompt, "Name");
  EXPECT_EQ(play.value, "Old");
  EXPECT_EQ(play.selection, static_cast<DWORD>(MAKELONG(0, 3))) << "the whole value selected";
  EXPECT_EQ(play.ok, "Fine");
  EXPECT_EQ(play.cancel, "Stop");
}

TEST(AskString, CancelAndEscLeaveTheValueAlone) {
  for (WPARAM press : {WPARAM(103), WPARAM(IDCANCEL)}) {
    play = Play();
    play.typed = "ignored";
    play.press = press;
    String value = "Kept";
    EXPECT_FALSE(Ask(value));
    EXPECT_EQ(value, "Kept");
    EXPECT_EQ(play.ok, "OK");
  }
}

}  // namespace
