// How a program under the end-to-end driver holds still for the test: it
// signals the driver's "held" event and waits for its "release" event. The
// driver names both in the environment it gives the program.
#pragma once

#include <windows.h>

#include <string>

// The prefix of the two event names; suffixes below.
const char kHoldEventsVariable[] = "OSIN_E2E_EVENTS";
const char kHeldSuffix[] = "-held";
const char kReleaseSuffix[] = "-release";
// "CLASS MESSAGE": where the hook library holds the program.
const char kHoldAtVariable[] = "OSIN_E2E_HOLD";

// Holds until released; nothing when the program does not run under the
// driver. A program that is never released goes on after a minute, so a
// broken test cannot leave it behind.
inline void HoldForTest() {
  char prefix[128];
  DWORD n = GetEnvironmentVariableA(kHoldEventsVariable, prefix, sizeof prefix);
  if (n == 0 || n >= sizeof prefix) return;
  HANDLE held = OpenEventA(EVENT_MODIFY_STATE, FALSE, (std::string(prefix) + kHeldSuffix).c_str());
  HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, (std::string(prefix) + kReleaseSuffix).c_str());
  if (held && release) {
    SetEvent(held);
    WaitForSingleObject(release, 60000);
  }
  if (held) CloseHandle(held);
  if (release) CloseHandle(release);
}
