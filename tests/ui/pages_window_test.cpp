// The sequence runner and the progress page under Wine, with the program's
// own page templates linked into the test: the contract with the
// installation's worker, and names that name no page.
#include <windows.h>

#include <string>
#include <vector>

#include "files.h"
#include "platform/fault.h"
#include "platform/osversion.h"
#include "resources/ids.h"
#include "testing.h"
#include "ui/msgbox.h"
#include "ui/pages.h"
#include "ui/wintext.h"

using namespace osin;

namespace {

// A worker that plays the installation: once started it presses Cancel on
// the page twice (the first question answered No, the second Yes), and
// ends the page as the engine's worker does once its cancel flag is set.
struct FakeWorker {
  std::vector<std::string> calls;
  HWND page = nullptr;
  volatile bool cancelled = false;
  HANDLE thread = nullptr;

  static DWORD WINAPI Run(void* self) {
    auto* worker = static_cast<FakeWorker*>(self);
    PostMessageA(worker->page, WM_COMMAND, 103, 0);
    PostMessageA(worker->page, WM_COMMAND, 103, 0);
    for (int i = 0; i < 500 && !worker->cancelled; ++i) Sleep(10);
    PostMessageA(worker->page, WM_COMMAND, 102, 0);
    return 0;
  }
  static void Start(void* self, HWND__* page) {
    auto* worker = static_cast<FakeWorker*>(self);
    worker->calls.push_back(page ? "start" : "start without page");
    worker->page = page;
    if (page) worker->thread = CreateThread(nullptr, 0, Run, worker, 0, nullptr);
  }
  static void Pause(void* self) { static_cast<FakeWorker*>(self)->calls.push_back("pause"); }
  static void Resume(void* self) { static_cast<FakeWorker*>(self)->calls.push_back("resume"); }
  static void Cancel(void* self) {
    auto* worker = static_cast<FakeWorker*>(self);
    worker->calls.push_back("cancel");
    worker->cancelled = true;
  }
  ~FakeWorker() {
    if (thread) {
      WaitForSingleObject(thread, 10000);
      CloseHandle(thread);
    }
  }
};

struct Boxes {
  std::vector<std::string> texts;
  std::vector<int> answers;
  static int Answer(void* self, const String&, const String& text, uint32_t) {
    auto* boxes = static_cast<Boxes*>(self);
    boxes->texts.push_back(ToStd(text));
    int answer = boxes->answers.empty() ? kBoxResultOk : boxes->answers.front();
    if (!boxes->answers.empty()) boxes->answers.erase(boxes->answers.begin());
    return answer;
  }
};

// The run's fields the pages work on, none of them configured.
class Pages : public ::testing::Test {
 protected:
  void SetUp() override { SetBoxHook(Boxes::Answer, &boxes); }
  void TearDown() override {
    SetBoxHook(nullptr, nullptr);
    if (FaultPending()) TakeFault();
  }
  bool Run(const char* page, const TProgressWorker* worker) {
    sequence.Clear();
    sequence.Add(page);
    TPageRun run{sequence,  nullptr,   folder,      folder,   folder, LanguageTexts{file, code, variables},
                 variables, languages, installPath, password, reboot, confirm,
                 title,     font,      font,        true,     0,      1,
                 1,         nullptr,   worker};
    return RunDialogSequence(run);
  }

  StringList sequence, variables, languages;
  String folder, file, code = "ENU", installPath, password, title;
  bool reboot = false, confirm = true;
  TFontDescription font;
  Boxes boxes;
};

TEST_F(Pages, TheProgressPageHoldsTheWorkerWhileItAsksAndEndsWhenTheWorkerSaysSo) {
  FakeWorker fake;
  TProgressWorker worker{&fake, FakeWorker::Start, FakeWorker::Pause, FakeWorker::Resume, FakeWorker::Cancel};
  boxes.answers = {kBoxResultNo, kBoxResultYes};
  // The page ends with the worker's Next, whatever the worker decided.
  EXPECT_TRUE(Run("DLG_PROGRESS", &worker));
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"start", "pause", "resume", "pause", "cancel", "resume"}));
  EXPECT_EQ(boxes.texts.size(), 2u);
}

TEST_F(Pages, AProgressPageThatCannotOpenStillLetsTheWorkerEnd) {
  // A language file that cannot be opened ends the page as it opens.
  RaiseFault("Cannot open file X");
  FakeWorker fake;
  TProgressWorker worker{&fake, FakeWorker::Start, FakeWorker::Pause, FakeWorker::Resume, FakeWorker::Cancel};
  EXPECT_FALSE(Run("DLG_PROGRESS", &worker));
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"cancel", "start without page"}));
}

TEST_F(Pages, ANameThatNamesNoPageEndsTheSequenceAfterSayingWhich) {
  FakeWorker fake;
  TProgressWorker worker{&fake, FakeWorker::Start, FakeWorker::Pause, FakeWorker::Resume, FakeWorker::Cancel};
  EXPECT_FALSE(Run(" DLG_WELCOME", &worker));
  EXPECT_EQ(boxes.texts,
            std::vector<std::string>{
                "Cannot show the page \" DLG_WELCOME\": the setup program has no page of that name."});
  EXPECT_TRUE(fake.calls.empty());
}

// What the destination page shows once it is open, read as the screen has
// it; then Next.
struct Shown {
  std::wstring caption, next, text, folder;
};
Shown shown;
HWND openPage = nullptr;
HHOOK readHook = nullptr;

std::wstring ScreenText(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

// Runs from the page's message loop, after the page has done its opening.
void CALLBACK ReadPage(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  HWND page = openPage;
  shown = {ScreenText(page), ScreenText(GetDlgItem(page, IDC_PAGE_NEXT)),
           ScreenText(GetDlgItem(page, IDC_DIR_TEXT)), ScreenText(GetDlgItem(page, IDC_DIR_EDIT))};
  PostMessageA(page, WM_COMMAND, IDC_PAGE_NEXT, 0);
}

LRESULT CALLBACK WatchActivation(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && wParam) {
    openPage = reinterpret_cast<HWND>(wParam);
    SetTimer(nullptr, 0, 0, ReadPage);
  }
  return CallNextHookEx(readHook, code, wParam, lParam);
}

// A Russian language file (code page 1251) on a system with another ANSI
// code page: the page shows Cyrillic letters, a variable of the language's
// own section expanded into a control's text included, while the folder
// stays the system's path, shown and read back. The 95 line, without
// Unicode windows, takes every text as it is.
TEST_F(Pages, LanguageTextsShowInTheLanguagesCodePageAndTheFolderStaysAnsi) {
  if (GetACP() == 1251) GTEST_SKIP() << "the system's code page is the language's";
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  file = String(temp) + "osin-wide-test.lng";
  const std::string caption = "\xD3\xF1\xF2\xE0\xED\xEE\xE2\xEA\xE0";  // Установка
  ASSERT_TRUE(WriteBytes(file, "[Dialogs]\r\nCaption=" + caption +
                                   "\r\n102=\xC4\xE0\xEB\xE5\xE5 >\r\n"
                                   "[DLG_DIR]\r\n108=\xCF\xE0\xEF\xEA\xE0 %ProgramName%\r\n"));
  variables.Add("ProgramName=\xD2\xE5\xF1\xF2");
  code = "RUS";
  SetLanguageCharset(204);
  readHook = SetWindowsHookExA(WH_CBT, WatchActivation, nullptr, GetCurrentThreadId());
  const String typed = "C:\\Caf\xE9";  // in code page 1252; 0xE9 would be a letter in 1251
  installPath = typed;
  EXPECT_TRUE(Run(DLG_DIR, nullptr));
  EXPECT_EQ(shown.caption, L"Установка");
  EXPECT_EQ(shown.next, L"Далее >");
  EXPECT_EQ(shown.text, L"Папка Тест");
  wchar_t ansiFolder[16] = {};
  MultiByteToWideChar(CP_ACP, 0, typed.c_str(), -1, ansiFolder, 16);
  EXPECT_EQ(shown.folder, ansiFolder);
  EXPECT_EQ(ToStd(installPath), ToStd(typed));

  TOSVersion win95 = ClassifyOS(kPlatformWindows, 4, 0, 950, "");
  SubstituteOSVersion(&win95);
  EXPECT_TRUE(Run(DLG_DIR, nullptr));
  SubstituteOSVersion(nullptr);
  wchar_t asItIs[16] = {};
  MultiByteToWideChar(CP_ACP, 0, caption.c_str(), -1, asItIs, 16);
  EXPECT_EQ(shown.caption, asItIs);
  EXPECT_EQ(ToStd(installPath), ToStd(typed));

  UnhookWindowsHookEx(readHook);
  SetLanguageCharset(1);
  DeleteFileA(file.c_str());
}

INT_PTR CALLBACK IgnoreAll(HWND, UINT, WPARAM, LPARAM) {
  return FALSE;
}

// Texts that carry the user's names and folders (Tom & Jerry) show an "&"
// as it is, not as the mark of a shortcut key.
TEST(Templates, TextsShowAnAmpersandAsItIs) {
  const struct {
    const char* dialog;
    int id;
  } texts[] = {{DLG_WELCOME, IDC_PAGE_TEXT},
               {DLG_DIR, IDC_DIR_TEXT},
               {DLG_PROGRESS, IDC_PROGRESS_ACTION},
               {DLG_FINISH, IDC_FINAL_TEXT},
               {DLG_VERSIONCONFLICT, IDC_CONFLICT_TEXT},
               {DLG_MESSAGE, IDC_MESSAGE_TEXT}};
  for (const auto& t : texts) {
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), t.dialog, nullptr, IgnoreAll, 0);
    ASSERT_NE(dialog, nullptr) << t.dialog;
    EXPECT_TRUE(GetWindowLongA(GetDlgItem(dialog, t.id), GWL_STYLE) & SS_NOPREFIX) << t.dialog;
    DestroyWindow(dialog);
  }
}

}  // namespace
