// A manual-reset event: stays signalled until reset. Events that share one
// EventGroup can be waited on together (WaitAny).
#pragma once

#include <chrono>
#include <condition_variable>
#include <initializer_list>
#include <memory>
#include <mutex>

#include "common/Clock.h"

namespace tolvane::link {

struct EventGroup {
  std::mutex mutex;
  std::condition_variable changed;
};

class ManualResetEvent {
 public:
  explicit ManualResetEvent(std::shared_ptr<EventGroup> group = std::make_shared<EventGroup>())
      : group_(std::move(group)) {}
  ManualResetEvent(const ManualResetEvent&) = delete;
  ManualResetEvent& operator=(const ManualResetEvent&) = delete;

  void Set() {
    {
      std::lock_guard lock(group_->mutex);
      signalled_ = true;
    }
    group_->changed.notify_all();
  }
  void Reset() {
    std::lock_guard lock(group_->mutex);
    signalled_ = false;
  }
  bool IsSet() const {
    std::lock_guard lock(group_->mutex);
    return signalled_;
  }

  // Waits up to `timeout` of the clock's time; true when signalled.
  bool WaitFor(IClock& clock, std::chrono::milliseconds timeout) {
    std::unique_lock lock(group_->mutex);
    return clock.wait_until(lock, group_->changed, clock.now() + timeout, [this] { return signalled_; });
  }

  // Waits without time limit until one of `events` (all of this group) is
  // signalled; returns its position, the first in the list when several are.
  static std::size_t WaitAny(IClock& clock, std::initializer_list<ManualResetEvent*> events) {
    auto& group = *(*events.begin())->group_;
    std::unique_lock lock(group.mutex);
    std::size_t found = 0;
    clock.wait_until(lock, group.changed, IClock::time_point::max(), [&] {
      std::size_t i = 0;
      for (auto* e : events) {
        if (e->signalled_) {
          found = i;
          return true;
        }
        ++i;
      }
      return false;
    });
    return found;
  }

 private:
  std::shared_ptr<EventGroup> group_;
  bool signalled_ = false;  // guarded by group_->mutex
};

}  // namespace tolvane::link
