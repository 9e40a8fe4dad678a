// The install worker and the page's calls: pausing at safe points while
// both threads use the heap and the INI stores, cancel, and a page that
// never opens.
#include <windows.h>

#include <string>
#include <vector>

#include "config/language.h"
#include "config/profile.h"
#include "install/enginetest.h"
#include "install/worker.h"
#include "pack/rar_writer.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "testing.h"
#include "ui/msgbox.h"

using namespace osin;

namespace {

class Worker : public PhaseTest {
 protected:
  void SetUp() override {
    languageText_ = "[Strings]\r\n1=Abort %ProgramName%?\r\n[DLG_PROGRESS]\r\n200=Extracting %s...\r\n";
    PhaseTest::SetUp();
    Array<String> fields;
    fields.Add(Path("App") + "\\*");
    fields.Add("2");
    lists_.ArchiveCopies.Set("Data\\*", std::move(fields));
    page_ = CreateWindowExA(0, "STATIC", "page", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    for (int id : {106, 107, 109}) {
      CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 1, 1, page_, HMENU(INT_PTR(id)), nullptr, nullptr);
    }
  }
  void TearDown() override {
    DestroyWindow(page_);
    PhaseTest::TearDown();
  }
  // Many small files: every one costs the worker allocations and INI
  // lookups (its texts, the log).
  void ManyFiles(int count) {
    std::vector<RarEntry> entries;
    for (int i = 0; i < count; ++i) {
      entries.push_back(StoredEntry("Data\\f" + std::to_string(i), Pattern(2000 + i), 0));
    }
    ASSERT_TRUE(WriteBytes(phase_.ArchiveFile, WriteRarArchive(entries.data(), entries.size(), false)));
  }
  // Handles the messages the worker sends until Done holds.
  template <typename Done>
  void HandleSentUntil(Done done) {
    MSG message;
    while (!done()) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_SENDMESSAGE);
      PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    }
  }
  // Handles this thread's messages until the worker posts Next to the page.
  void WaitForNext() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
      if (message.hwnd == page_ && message.message == WM_COMMAND && message.wParam == 102) return;
      DispatchMessageA(&message);
    }
  }

  HWND page_ = nullptr;
};

TEST_F(Worker, PausesOnlyAtSafePointsWhileBothThreadsUseHeapAndStores) {
  const int kFiles = 200;
  ManyFiles(kFiles);
  TInstallWorker worker;
  ASSERT_TRUE(worker.Create(phase_));
  TInstallWorker::Start(&worker, page_);
  int pauses = 0;
  while (pauses < 100) {
    TInstallWorker::Pause(&worker);
    int64_t done = phase_.TotalDone;
    // What the page does while the worker waits: asks, which reads the
    // language file and allocates.
    for (int i = 0; i < 20; ++i) EXPECT_EQ(MessageString(texts_, 1).Text, "Abort %ProgramName%?");
    Sleep(2);
    EXPECT_EQ(phase_.TotalDone, done);
    TInstallWorker::Resume(&worker);
    ++pauses;
    DWORD until = GetTickCount() + 3;
    HandleSentUntil([&] { return GetTickCount() >= until; });
    if (FileExists(Path("App\\f" + IntToStr(kFiles - 1)))) break;
  }
  WaitForNext();
  EXPECT_TRUE(worker.Finish());
  EXPECT_GT(pauses, 5);
  EXPECT_TRUE(boxes_.empty());
  for (int i = 0; i < kFiles; i += 97) EXPECT_EQ(ReadBytes(Path("App\\f" + IntToStr(i))), Pattern(2000 + i));
}

// The worker's question hook stands for any work that holds a lock: it
// keeps Lock for a while once Inside is set.
struct HeldLock {
  CRITICAL_SECTION lock;
  HANDLE inside;
};

int HoldLockWhileAsked(void* context, const String&) {
  HeldLock& held = *static_cast<HeldLock*>(context);
  EnterCriticalSection(&held.lock);
  SetEvent(held.inside);
  Sleep(300);
  LeaveCriticalSection(&held.lock);
  return kReplace;
}

TEST_F(Worker, APausedWorkerHoldsNothingTheMainThreadNeeds) {
  ASSERT_TRUE(WriteBytes(phase_.ArchiveFile, [] {
    RarEntry old = StoredEntry("Data\\f0", "new", 0);
    return WriteRarArchive(&old, 1, false);
  }()));
  ASSERT_TRUE(ForceFolders(Path("App")));
  ASSERT_TRUE(WriteBytes(Path("App\\f0"), "installed, and newer"));
  lists_.ArchiveCopies.Set("Data\\*", [this] {
    Array<String> fields;
    fields.Add(Path("App") + "\\*");
    return fields;
  }());
  HeldLock held;
  InitializeCriticalSection(&held.lock);
  held.inside = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  phase_.AskConflict = HoldLockWhileAsked;
  phase_.AskContext = &held;
  TInstallWorker worker;
  ASSERT_TRUE(worker.Create(phase_));
  TInstallWorker::Start(&worker, page_);
  HandleSentUntil([&] { return WaitForSingleObject(held.inside, 0) == WAIT_OBJECT_0; });
  TInstallWorker::Pause(&worker);
  // Frozen at an arbitrary instruction the worker would still hold the lock.
  EXPECT_TRUE(TryEnterCriticalSection(&held.lock));
  LeaveCriticalSection(&held.lock);
  TInstallWorker::Resume(&worker);
  WaitForNext();
  EXPECT_TRUE(worker.Finish());
  EXPECT_EQ(ReadBytes(Path("App\\f0")), "new");
  CloseHandle(held.inside);
  DeleteCriticalSection(&held.lock);
}

TEST_F(Worker, ACancelConfirmedWhilePausedEndsThePhaseWithoutABox) {
  ManyFiles(400);
  TInstallWorker worker;
  ASSERT_TRUE(worker.Create(phase_));
  TInstallWorker::Start(&worker, page_);
  HandleSentUntil([&] { return FileExists(Path("App\\f3")); });
  TInstallWorker::Pause(&worker);
  TInstallWorker::Cancel(&worker);
  TInstallWorker::Resume(&worker);
  WaitForNext();
  EXPECT_FALSE(worker.Finish());
  EXPECT_TRUE(boxes_.empty());
  EXPECT_FALSE(FileExists(Path("App\\f399")));
}

TEST_F(Worker, APageThatNeverOpensEndsTheWaitAtOnce) {
  ManyFiles(3);
  for (bool startedWithoutPage : {false, true}) {
    TInstallWorker worker;
    ASSERT_TRUE(worker.Create(phase_));
    if (startedWithoutPage) TInstallWorker::Start(&worker, nullptr);
    DWORD before = GetTickCount();
    EXPECT_FALSE(worker.Finish());
    EXPECT_LT(GetTickCount() - before, 2000u);
    EXPECT_FALSE(FileExists(Path("App\\f0")));
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, page_, WM_COMMAND, WM_COMMAND, PM_REMOVE));
  }
}

}  // namespace
