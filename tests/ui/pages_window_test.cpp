// The sequence runner and the progress page under Wine, with the program's
// own page templates linked into the test: the contract with the
// installation's worker, and names that name no page.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/fault.h"
#include "resources/ids.h"
#include "testing.h"
#include "ui/msgbox.h"
#include "ui/pages.h"

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
    TPageRun run{sequence,  nullptr,   folder,      folder,   folder, LanguageTexts{folder, code, variables},
                 variables, languages, installPath, password, reboot, confirm,
                 title,     font,      font,        true,     0,      1,
                 1,         nullptr,   worker};
    return RunDialogSequence(run);
  }

  StringList sequence, variables, languages;
  String folder, code = "ENU", installPath, password, title;
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
