// An auto-reset event: Set wakes one waiter (or lets the next Wait pass at
// once) and the event resets itself as the waiter passes. Setting an event
// that is already set changes nothing, so at most one wake-up is pending.
#pragma once

#include <condition_variable>
#include <mutex>

namespace zarv {

class TAutoResetEvent {
public:
  TAutoResetEvent() = default;
  // Holds a mutex and waiters: neither copyable nor movable.
  TAutoResetEvent(const TAutoResetEvent&) = delete;
  TAutoResetEvent& operator=(const TAutoResetEvent&) = delete;

  void Set() {
    {
      std::lock_guard<std::mutex> lock(fMutex);
      fSignalled = true;
    }
    fCond.notify_one();
  }
  // Blocks until set, then resets.
  void Wait() {
    std::unique_lock<std::mutex> lock(fMutex);
    fCond.wait(lock, [this] { return fSignalled; });
    fSignalled = false;
  }
  bool IsSet() const {
    std::lock_guard<std::mutex> lock(fMutex);
    return fSignalled;
  }

private:
  mutable std::mutex fMutex;
  std::condition_variable fCond;
  bool fSignalled = false;
};

} // namespace zarv
