// Time as the link sees it: a steady "now", pauses, and timed waits on a
// condition. The real clock sleeps; the simulated clock used by the tests
// moves time forward instantly, so budgets of seconds cost no wall time.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

namespace tolvane {

class IClock {
 public:
  using time_point = std::chrono::steady_clock::time_point;
  using duration = std::chrono::steady_clock::duration;

  virtual ~IClock() = default;
  virtual time_point now() const = 0;
  virtual void sleep_until(time_point t) = 0;
  void sleep_for(duration d) { sleep_until(now() + d); }

  // Waits on `cv` (with `lock` held) until `ready` holds or `deadline` has
  // passed (time_point::max(): no deadline); returns the last value of `ready`.
  virtual bool wait_until(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, time_point deadline,
                          const std::function<bool()>& ready) = 0;

  // A thread that takes part in simulated time announces itself, so that the
  // simulated clock advances only when every taking part thread sleeps. The
  // real clock ignores both calls.
  virtual void join_thread() {}
  virtual void leave_thread() {}
};

// Makes the current thread take part in the clock's time for its lifetime.
class ClockThreadScope {
 public:
  explicit ClockThreadScope(IClock& clock) : clock_(clock) { clock_.join_thread(); }
  ~ClockThreadScope() { clock_.leave_thread(); }
  ClockThreadScope(const ClockThreadScope&) = delete;
  ClockThreadScope& operator=(const ClockThreadScope&) = delete;

 private:
  IClock& clock_;
};

class RealClock final : public IClock {
 public:
  time_point now() const override;
  void sleep_until(time_point t) override;
  bool wait_until(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, time_point deadline,
                  const std::function<bool()>& ready) override;
};

// Simulated steady time, safe to use from several threads.
//
// - A thread that has joined (join_thread) sleeps until the simulated time
//   reaches its wake-up time; time jumps to the earliest wake-up time as soon
//   as every joined thread sleeps. Joined threads therefore interleave as they
//   would in real time, in a fixed order.
// - A sleep of any other thread moves time forward at once.
// - A joined thread that waits on a condition counts as asleep until its
//   deadline (or for good, without one).
// - A timed wait of a thread that has not joined ends when its condition holds;
//   when no joined thread exists and time has stood still for a short real
//   moment, nothing can make the condition true any more and time jumps to the
//   deadline.
class SimulatedClock final : public IClock {
 public:
  SimulatedClock();
  time_point now() const override;
  void sleep_until(time_point t) override;
  bool wait_until(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, time_point deadline,
                  const std::function<bool()>& ready) override;
  void join_thread() override;
  void leave_thread() override;

  // Moves time forward by `d` (never backwards).
  void advance(duration d);
  // Simulated time since construction.
  duration elapsed() const;

 private:
  bool IsJoined() const;                         // m_ held
  void AdvanceIfAllAsleep();                     // m_ held

  mutable std::mutex m_;
  std::condition_variable cv_;
  time_point start_;
  time_point now_;
  std::multiset<std::thread::id> joined_;
  std::multiset<time_point> sleepers_;
};

}  // namespace tolvane
