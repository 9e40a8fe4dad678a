// The install worker (Windows only): the thread that runs the file phase
// while the progress page is shown, and the calls the page reaches it by.
//
// The worker is created held. The page, once open, starts it with its own
// window; the worker runs the archive pass and the external pass, waits
// 100 ms and posts WM_COMMAND 102 to the page, whatever the outcome. The
// page's cancel pauses the worker, asks, may set the cancel flag and lets it
// go on. Pausing never stops the worker at an arbitrary instruction: the
// worker waits at its next safe point (between files and in each progress
// report), where it holds no lock of the heap and no shared structure, so
// the question on the main thread cannot deadlock with it. While the main
// thread waits for the worker it still handles the messages the worker
// sends to the page.
#pragma once

#include "install/filephase.h"

struct HWND__;

namespace osin {

class TInstallWorker {
 public:
  TInstallWorker() = default;
  TInstallWorker(const TInstallWorker&) = delete;
  TInstallWorker& operator=(const TInstallWorker&) = delete;
  // Ends a worker that is still held (it does no work) and waits for it.
  ~TInstallWorker();

  // Creates the thread, held, to run Phase; false when the system gives no
  // thread (nothing is then waiting to be started).
  bool Create(TFilePhase& phase);

  // The page's calls, each with the worker as Context. Start with no window
  // (the page could not open) ends the held worker without work.
  static void Start(void* context, HWND__* page);
  static void Pause(void* context);
  static void Resume(void* context);
  static void Cancel(void* context);

  // Waits for the worker to end, handling messages sent to this thread's
  // windows meanwhile; true when both passes succeeded. A worker that was
  // never started is ended first, so this returns at once.
  bool Finish();

  TWorkerSignals& Signals() { return signals_; }

 private:
  static unsigned long __stdcall Main(void* context);
  // Waits for the worker's end, or when Pausing also for it to pause or to
  // be asking the user, while messages sent to this thread are handled.
  void WaitHandlingSent(bool pausing);

  TFilePhase* phase_ = nullptr;
  void* thread_ = nullptr;
  bool started_ = false;
  bool finished_ = false;
  volatile long idle_ = 0;  // set: the worker ends without working
  TWorkerSignals signals_;
};

}  // namespace osin
