// SIGINT and SIGTERM held back while the command works and taken only where
// it can stop without harm (between two units, between two records of a
// combined file, after a failure). Made before any thread starts, so every
// thread inherits the blocked signals.
#pragma once

#include <pthread.h>

#include <csignal>
#include <ctime>

namespace tolvane::cli {

class CInterruptGate {
 public:
  CInterruptGate() {
    sigemptyset(&set_);
    sigaddset(&set_, SIGINT);
    sigaddset(&set_, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set_, &old_);
  }
  ~CInterruptGate() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
  CInterruptGate(const CInterruptGate&) = delete;
  CInterruptGate& operator=(const CInterruptGate&) = delete;

  // Waits up to `ms` for an interrupt; true once one came.
  bool Wait(int ms) {
    if (interrupted_) {
      return true;
    }
    const timespec t{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    if (sigtimedwait(&set_, nullptr, &t) > 0) {
      interrupted_ = true;
    }
    return interrupted_;
  }
  // True once an interrupt came, taken without waiting.
  bool Pending() { return Wait(0); }

 private:
  sigset_t set_{};
  sigset_t old_{};
  bool interrupted_ = false;
};

}  // namespace tolvane::cli
