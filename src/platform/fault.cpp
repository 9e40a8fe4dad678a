#include "platform/fault.h"

#include <atomic>

namespace osin {

namespace {

// A spin flag rather than a mutex: the C++ thread library is not available to
// osin.exe, and raising is rare and short.
std::atomic_flag busy = ATOMIC_FLAG_INIT;
std::atomic<bool> pending{false};
String kept;

class Guard {
 public:
  Guard() {
    while (busy.test_and_set(std::memory_order_acquire)) {
    }
  }
  ~Guard() { busy.clear(std::memory_order_release); }
};

}  // namespace

void RaiseFault(const String& message) {
  Guard guard;
  if (pending.load()) return;
  kept = message;
  pending.store(true);
}

bool FaultPending() {
  return pending.load();
}

String TakeFault() {
  Guard guard;
  String message = std::move(kept);
  kept.Clear();
  pending.store(false);
  return message;
}

}  // namespace osin
