#include "common/Clock.h"

namespace tolvane {

IClock::time_point RealClock::now() const { return std::chrono::steady_clock::now(); }

void RealClock::sleep_until(time_point t) { std::this_thread::sleep_until(t); }

bool RealClock::wait_until(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, time_point deadline,
                           const std::function<bool()>& ready) {
  if (deadline == time_point::max()) {
    cv.wait(lock, ready);
    return true;
  }
  return cv.wait_until(lock, deadline, ready);
}

SimulatedClock::SimulatedClock() : start_(std::chrono::steady_clock::now()), now_(start_) {}

IClock::time_point SimulatedClock::now() const {
  std::lock_guard lock(m_);
  return now_;
}

IClock::duration SimulatedClock::elapsed() const {
  std::lock_guard lock(m_);
  return now_ - start_;
}

bool SimulatedClock::IsJoined() const { return joined_.count(std::this_thread::get_id()) != 0; }

void SimulatedClock::AdvanceIfAllAsleep() {
  if (!joined_.empty() && sleepers_.size() == joined_.size()) {
    const time_point earliest = *sleepers_.begin();
    // time_point::max() is a wait without deadline: nothing to advance to.
    if (earliest > now_ && earliest != time_point::max()) {
      now_ = earliest;
    }
    cv_.notify_all();
  }
}

void SimulatedClock::sleep_until(time_point t) {
  std::unique_lock lock(m_);
  if (!IsJoined()) {
    if (t > now_) {
      now_ = t;
      cv_.notify_all();
    }
    return;
  }
  const auto mine = sleepers_.insert(t);
  AdvanceIfAllAsleep();
  cv_.wait(lock, [&] { return now_ >= t; });
  sleepers_.erase(mine);
}

void SimulatedClock::advance(duration d) {
  std::lock_guard lock(m_);
  if (d.count() > 0) {
    now_ += d;
  }
  cv_.notify_all();
}

void SimulatedClock::join_thread() {
  std::lock_guard lock(m_);
  joined_.insert(std::this_thread::get_id());
}

void SimulatedClock::leave_thread() {
  std::lock_guard lock(m_);
  const auto it = joined_.find(std::this_thread::get_id());
  if (it != joined_.end()) {
    joined_.erase(it);
  }
  AdvanceIfAllAsleep();
}

bool SimulatedClock::wait_until(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                                time_point deadline, const std::function<bool()>& ready) {
  using namespace std::chrono_literals;
  // The condition is polled in short real slices: whoever makes it true
  // notifies `cv`, which the clock does not know about.
  constexpr auto kSlice = 1ms;
  bool joined = false;
  std::multiset<time_point>::iterator mine;
  {
    std::lock_guard clockLock(m_);
    joined = IsJoined();
    if (joined) {
      // A joined thread waiting counts as asleep until its deadline.
      mine = sleepers_.insert(deadline);
      AdvanceIfAllAsleep();
    }
  }
  const auto finish = [&](bool result) {
    if (joined) {
      std::lock_guard clockLock(m_);
      sleepers_.erase(mine);
    }
    return result;
  };
  // How long time may stand still, in real time, before a waiter that has not
  // joined, with no joined thread around, takes its deadline.
  constexpr auto kStill = 250ms;
  time_point seen = now();
  auto stillSince = std::chrono::steady_clock::now();
  for (;;) {
    if (ready()) {
      return finish(true);
    }
    const time_point t = now();
    if (t >= deadline) {
      return finish(ready());
    }
    if (t != seen) {
      seen = t;
      stillSince = std::chrono::steady_clock::now();
    } else if (!joined && std::chrono::steady_clock::now() - stillSince >= kStill) {
      std::lock_guard clockLock(m_);
      if (joined_.empty() && now_ < deadline) {
        now_ = deadline;
        cv_.notify_all();
      }
    }
    cv.wait_for(lock, kSlice);
  }
}

}  // namespace tolvane
