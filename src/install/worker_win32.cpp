#include "install/worker.h"

#include <windows.h>

namespace osin {

namespace {

// What the page takes as Next; the worker posts it when it ends.
const WPARAM kNextCommand = 102;
// The pause between the end of the work and the page's end, so the bars'
// last positions are seen.
const DWORD kLastLookMs = 100;
// How often a pause looks whether the worker has begun asking the user.
const DWORD kAskingLookMs = 20;

TInstallWorker& Of(void* context) {
  return *static_cast<TInstallWorker*>(context);
}

}  // namespace

unsigned long __stdcall TInstallWorker::Main(void* context) {
  TInstallWorker& worker = Of(context);
  if (worker.idle_) return 0;
  TFilePhase& phase = *worker.phase_;
  bool ok = ArchivePass(phase) && ExternalPass(phase);
  RefreshPage(phase, true);
  Sleep(kLastLookMs);
  PostMessageA(phase.ProgressWindow, WM_COMMAND, kNextCommand, 0);
  return ok ? 1 : 0;
}

bool TInstallWorker::Create(TFilePhase& phase) {
  phase_ = &phase;
  phase.Signals = &signals_;
  signals_.Paused = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  signals_.Resume = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  if (!signals_.Paused || !signals_.Resume) return false;
  DWORD id = 0;
  thread_ = CreateThread(nullptr, 0, Main, this, CREATE_SUSPENDED, &id);
  return thread_ != nullptr;
}

TInstallWorker::~TInstallWorker() {
  if (thread_) {
    Finish();
    CloseHandle(thread_);
  }
  if (signals_.Paused) CloseHandle(signals_.Paused);
  if (signals_.Resume) CloseHandle(signals_.Resume);
}

void TInstallWorker::Start(void* context, HWND__* page) {
  TInstallWorker& worker = Of(context);
  if (!worker.thread_ || worker.started_) return;
  worker.started_ = true;
  if (page) {
    worker.phase_->ProgressWindow = page;
  } else {
    worker.idle_ = 1;
  }
  ResumeThread(worker.thread_);
}

void TInstallWorker::Pause(void* context) {
  TInstallWorker& worker = Of(context);
  if (!worker.started_ || worker.finished_) return;
  ResetEvent(worker.signals_.Resume);
  ResetEvent(worker.signals_.Paused);
  InterlockedExchange(const_cast<long*>(&worker.signals_.PauseWanted), 1);
  worker.WaitHandlingSent(true);
}

void TInstallWorker::Resume(void* context) {
  TInstallWorker& worker = Of(context);
  InterlockedExchange(const_cast<long*>(&worker.signals_.PauseWanted), 0);
  SetEvent(worker.signals_.Resume);
}

void TInstallWorker::Cancel(void* context) {
  InterlockedExchange(const_cast<long*>(&Of(context).signals_.Cancel), 1);
}

bool TInstallWorker::Finish() {
  if (!thread_) return false;
  if (!started_) {
    // The page never opened: the held worker ends without doing anything.
    started_ = true;
    idle_ = 1;
    ResumeThread(thread_);
  }
  Resume(this);
  WaitHandlingSent(false);
  finished_ = true;
  DWORD code = 0;
  return GetExitCodeThread(thread_, &code) && code == 1;
}

void TInstallWorker::WaitHandlingSent(bool pausing) {
  HANDLE handles[2] = {thread_, signals_.Paused};
  DWORD count = pausing ? 2 : 1;
  for (;;) {
    // A worker that is asking the user stops nowhere else until answered:
    // a pause does not wait for it.
    if (pausing && signals_.Asking) return;
    DWORD r =
        MsgWaitForMultipleObjects(count, handles, FALSE, pausing ? kAskingLookMs : INFINITE, QS_SENDMESSAGE);
    if (r == WAIT_TIMEOUT) continue;
    if (r != WAIT_OBJECT_0 + count) return;
    // Peeking delivers the messages other threads sent to this one; posted
    // ones stay queued for the page's own loop.
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
  }
}

}  // namespace osin
