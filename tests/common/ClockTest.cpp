#include "common/Clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <thread>
#include <vector>

namespace tolvane {
namespace {

using namespace std::chrono_literals;

TEST(SimulatedClock, SleepOfAnOutsideThreadMovesTimeAtOnce) {
  SimulatedClock clock;
  const auto t0 = clock.now();
  const auto real0 = std::chrono::steady_clock::now();
  clock.sleep_for(3600s);
  EXPECT_EQ(clock.now() - t0, 3600s);
  EXPECT_LT(std::chrono::steady_clock::now() - real0, 1s);
  clock.sleep_until(t0);  // never backwards
  EXPECT_EQ(clock.elapsed(), 3600s);
}

TEST(SimulatedClock, JoinedThreadsInterleaveInTimeOrder) {
  SimulatedClock clock;
  std::mutex m;
  std::vector<std::pair<long long, char>> log;
  auto body = [&](char who, std::chrono::milliseconds step, int count, std::latch& ready) {
    ClockThreadScope scope(clock);
    ready.count_down();
    ready.wait();
    for (int i = 0; i < count; ++i) {
      clock.sleep_for(step);
      std::lock_guard lock(m);
      log.emplace_back(std::chrono::duration_cast<std::chrono::milliseconds>(clock.elapsed()).count(), who);
    }
  };
  std::latch ready(2);
  std::thread a(body, 'a', 10ms, 10, std::ref(ready));
  std::thread b(body, 'b', 25ms, 4, std::ref(ready));
  a.join();
  b.join();
  ASSERT_EQ(log.size(), 14u);
  for (std::size_t i = 1; i < log.size(); ++i) {
    EXPECT_LE(log[i - 1].first, log[i].first);
  }
  EXPECT_EQ(log.back().first, 100);
}

TEST(SimulatedClock, TimedWaitEndsWhenTheConditionHolds) {
  SimulatedClock clock;
  std::mutex m;
  std::condition_variable cv;
  bool flag = false;
  std::thread setter([&] {
    std::this_thread::sleep_for(2ms);
    std::lock_guard lock(m);
    flag = true;
    cv.notify_all();
  });
  std::unique_lock lock(m);
  // A joined thread keeps time moving, so the waiter does not jump ahead.
  EXPECT_TRUE(clock.wait_until(lock, cv, clock.now() + 1h, [&] { return flag; }));
  lock.unlock();
  setter.join();
}

TEST(SimulatedClock, TimedWaitWithNothingToWaitForTakesItsDeadline) {
  SimulatedClock clock;
  std::mutex m;
  std::condition_variable cv;
  std::unique_lock lock(m);
  const auto t0 = clock.now();
  EXPECT_FALSE(clock.wait_until(lock, cv, t0 + 4s, [] { return false; }));
  EXPECT_EQ(clock.now() - t0, 4s);
}

TEST(RealClock, SleepsAndWaits) {
  RealClock clock;
  const auto t0 = clock.now();
  clock.sleep_for(2ms);
  EXPECT_GE(clock.now() - t0, 2ms);
  std::mutex m;
  std::condition_variable cv;
  std::unique_lock lock(m);
  EXPECT_FALSE(clock.wait_until(lock, cv, clock.now() + 2ms, [] { return false; }));
}

}  // namespace
}  // namespace tolvane
