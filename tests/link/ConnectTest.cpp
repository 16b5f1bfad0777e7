// The connect procedure and the link worker.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>

#include "link/LinkRig.h"

namespace tolvane::link::test {
namespace {

using namespace std::chrono_literals;

std::size_t Count(const Bytes& haystack, std::span<const std::uint8_t> needle) {
  std::size_t n = 0;
  for (auto it = haystack.begin();; ++it) {
    it = std::search(it, haystack.end(), needle.begin(), needle.end());
    if (it == haystack.end()) {
      return n;
    }
    ++n;
  }
}

std::ptrdiff_t Find(const Bytes& haystack, std::span<const std::uint8_t> needle) {
  const auto it = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end());
  return it == haystack.end() ? -1 : it - haystack.begin();
}

// Passes everything to the sensor and keeps, in order, what the host wrote
// (with the time) and where the host flushed its receive queue.
class RecordingPeer final : public sim::ISimPeer {
 public:
  explicit RecordingPeer(std::shared_ptr<sim::CSimSensor> sensor) : sensor_(std::move(sensor)) {}
  struct EVENT {
    bool flush = false;
    Bytes bytes;
    sim::Time at{};
  };
  std::vector<EVENT> Events() const {
    std::lock_guard lock(m_);
    return events_;
  }

  void HostBytes(const std::uint8_t* b, std::size_t n, sim::Time at) override {
    {
      std::lock_guard lock(m_);
      events_.push_back(EVENT{false, Bytes(b, b + n), at});
    }
    sensor_->HostBytes(b, n, at);
  }
  void AdvanceTo(sim::Time now) override { sensor_->AdvanceTo(now); }
  std::optional<sim::Time> NextEvent() const override { return sensor_->NextEvent(); }
  std::size_t Available(sim::Time now) const override { return sensor_->Available(now); }
  std::size_t Take(sim::Time now, std::uint8_t* dst, std::size_t max) override { return sensor_->Take(now, dst, max); }
  void DiscardArrived(sim::Time now) override {
    {
      std::lock_guard lock(m_);
      events_.push_back(EVENT{true, {}, now});
    }
    sensor_->DiscardArrived(now);
  }
  bool Unplugged(sim::Time now) const override { return sensor_->Unplugged(now); }

 private:
  std::shared_ptr<sim::CSimSensor> sensor_;
  mutable std::mutex m_;
  std::vector<EVENT> events_;
};

TEST(ConnectUnit, SensorInCommandMode) {
  LinkRig rig;
  auto sensor = rig.AddSensor();
  const auto t0 = rig.clock.now();
  EXPECT_EQ(rig.link.ConnectUnit(), 0);
  EXPECT_TRUE(rig.link.IsLinkOpen());
  EXPECT_EQ(rig.link.ProbeResult(), 0);
  // Open pause, the first sync answered at once, the sender's stop pause.
  EXPECT_GE(rig.MsSince(t0), 200);
  EXPECT_LE(rig.MsSince(t0), 250);
  // An open link counts as connected without another probe.
  const auto written = rig.bridge.Written().size();
  EXPECT_EQ(rig.link.ConnectUnit(), 0);
  EXPECT_EQ(rig.bridge.Written().size(), written);
}

TEST(ConnectUnit, SilentSensorFailsAfterTheProbeWindow) {
  LinkRig rig;
  sim::SimOptions o;
  o.faults.silent = true;
  rig.AddSensor(o);
  const auto t0 = rig.clock.now();
  EXPECT_EQ(rig.link.ConnectUnit(), -1);
  EXPECT_FALSE(rig.link.IsLinkOpen());
  // 100 open + 2000 window + 100 stop pause + 100 close.
  EXPECT_GE(rig.MsSince(t0), 2300);
  EXPECT_LE(rig.MsSince(t0), 2330);
  // The probe sender kept sending syncs every 80 ms during the window.
  const auto syncs = Count(rig.bridge.Written(), kSyncFrame);
  EXPECT_GE(syncs, 25u);
  EXPECT_LE(syncs, 28u);
}

TEST(ConnectUnit, NoAdapterFails) {
  LinkRig rig;
  rig.link.SetSelectedDescription("Quenby USB Device");
  EXPECT_EQ(rig.link.ConnectUnit(), -1);
  EXPECT_FALSE(rig.link.IsLinkOpen());
}

TEST(ConnectUnit, WorkerThatNeverAnswersIsNoSuccess) {
  LinkRig rig(false);  // no worker thread
  rig.AddSensor();
  const auto t0 = rig.clock.now();
  EXPECT_EQ(rig.link.ConnectUnit(), -1);
  EXPECT_FALSE(rig.link.IsLinkOpen());
  EXPECT_GE(rig.MsSince(t0), 4100);
  EXPECT_LE(rig.MsSince(t0), 4300);
}

TEST(ConnectUnit, AcknowledgementAmongOtherBytesCounts) {
  LinkRig rig;
  auto peer = rig.AddScripted();
  peer->Script(Concat({Bytes{0x01, 0x02, 0x99}, Ack(0x10, 0), Bytes{0x07}}));
  EXPECT_EQ(rig.link.ConnectUnit(), 0);
}

TEST(ConnectUnit, StreamingSensorIsWokenWithWAndL) {
  LinkRig rig;
  sim::SimOptions o;
  o.streaming = true;
  auto sensor = std::make_shared<sim::CSimSensor>(o, rig.clock.now());
  auto peer = std::make_shared<RecordingPeer>(sensor);
  sim::SimAdapter adapter;
  adapter.peer = peer;
  rig.bridge.AddAdapter(std::move(adapter));
  rig.link.SetSelectedDescription("Quenby USB Device");
  const auto t0 = rig.clock.now();
  ASSERT_EQ(rig.link.ConnectUnit(), 0);
  EXPECT_FALSE(sensor->Streaming());
  EXPECT_TRUE(rig.link.IsLinkOpen());
  const Bytes w = rig.bridge.Written();
  EXPECT_EQ(Count(w, kWakePacketW), 1u);
  const auto wAt = Find(w, kWakePacketW);
  const auto lAt = Find(w, kWakePacketL);
  ASSERT_GE(wAt, 0);
  EXPECT_GT(lAt, wAt);

  // The fallback's own sync attempts: after the probe's flush (the first
  // flush after the probe sender's syncs, 100 ms after it was told to stop)
  // and before the W packet, 35 ms apart at least.
  const auto events = peer->Events();
  const auto isSync = [](const RecordingPeer::EVENT& e) {
    return !e.flush && std::equal(e.bytes.begin(), e.bytes.end(), kSyncFrame.begin(), kSyncFrame.end());
  };
  const auto firstSync = std::find_if(events.begin(), events.end(), isSync);
  ASSERT_NE(firstSync, events.end());
  const auto probeFlush = std::find_if(firstSync, events.end(), [](const RecordingPeer::EVENT& e) { return e.flush; });
  ASSERT_NE(probeFlush, events.end());
  const auto wake = std::find_if(probeFlush, events.end(), [](const RecordingPeer::EVENT& e) {
    return !e.flush && e.bytes == Bytes(kWakePacketW.begin(), kWakePacketW.end());
  });
  ASSERT_NE(wake, events.end());
  std::vector<sim::Time> attempts;
  for (auto it = probeFlush; it != wake; ++it) {
    if (isSync(*it)) {
      attempts.push_back(it->at);
    }
  }
  EXPECT_EQ(attempts.size(), 14u) << "the probe sender wrote " << std::count_if(firstSync, probeFlush, isSync);
  for (std::size_t i = 1; i < attempts.size(); ++i) {
    EXPECT_GE(attempts[i] - attempts[i - 1], std::chrono::milliseconds(35)) << "attempt " << i;
  }
  EXPECT_LT(rig.MsSince(t0), 10000);
  // The sensor answers commands now.
  std::array<std::uint8_t, 8> buf{};
  EXPECT_EQ(rig.link.ExecuteCommand(1, 0x10, buf, 200), 0);
}

TEST(ConnectUnit, SensorThatStreamsAndNeverWakes) {
  LinkRig rig;
  sim::SimOptions o;
  o.streaming = true;
  o.faults.neverWake = true;
  rig.AddSensor(o);
  const auto t0 = rig.clock.now();
  EXPECT_EQ(rig.link.ConnectUnit(), -3);
  EXPECT_FALSE(rig.link.IsLinkOpen());
  const Bytes w = rig.bridge.Written();
  EXPECT_EQ(Count(w, kWakePacketW), 1u);
  EXPECT_EQ(Count(w, kWakePacketL), 5u);
  // Every attempt is bounded by its receive budgets.
  EXPECT_LT(rig.MsSince(t0), 2300 + 19 * 2100);
}

TEST(ConnectUnit, ProbeSeesBytesButTheSensorFallsSilent) {
  // More than 20 bytes in the probe window, then nothing: the fallback's
  // stream read finds silence and the connect ends with -2.
  LinkRig rig;
  auto peer = rig.AddScripted();
  peer->Script(Bytes(24, 0x33));
  const auto t0 = rig.clock.now();
  EXPECT_EQ(rig.link.ConnectUnit(), -2);
  EXPECT_FALSE(rig.link.IsLinkOpen());
  EXPECT_LT(rig.MsSince(t0), 2300 + 14 * 2100 + 3600);
}

TEST(ConnectUnit, UnplugMidFrameClosesAndTheNextOperationReconnects) {
  LinkRig rig;
  sim::SimOptions o;
  o.pace = true;
  auto sensor = rig.AddSensor(o);
  ASSERT_EQ(rig.link.ConnectUnit(), 0);
  // Unplug 30 bytes into the next answer: within the data frame of a block read.
  sensor->Faults().unplugAfter = sensor->BytesSent() + 30;
  std::array<std::uint8_t, 8> cmd{};
  cmd[3] = 1;
  cmd[4] = 0;
  EXPECT_EQ(rig.link.ExecuteCommand(3, 0x31, cmd, 200), 0);
  std::array<std::uint8_t, 100> data{};
  EXPECT_LT(rig.link.ReceiveFrame(data, 100, 200), 0);
  EXPECT_FALSE(rig.link.IsLinkOpen());
  EXPECT_EQ(rig.bridge.OpenHandles(), 0);
  // Plugged in again: the next operation connects anew, probe included.
  sensor->Replug();
  ASSERT_EQ(rig.link.ConnectUnit(), 0);
  EXPECT_EQ(rig.link.ExecuteCommand(3, 0x31, cmd, 200), 0);
  EXPECT_EQ(rig.link.ReceiveFrame(data, 100, 200), 69);
}

TEST(Worker, QuitWinsOverAProbeRequest) {
  LinkRig rig(false);
  rig.AddSensor();
  rig.link.QuitEvent().Set();
  rig.link.ProbeRequestEvent().Set();
  rig.link.RunWorker();  // returns at once
  EXPECT_TRUE(rig.link.QuitDoneEvent().IsSet());
  EXPECT_FALSE(rig.link.ProbeDoneEvent().IsSet());
  EXPECT_TRUE(rig.bridge.Written().empty());
}

TEST(Worker, RunsSeveralProbesInARow) {
  LinkRig rig;
  sim::SimOptions o;
  auto sensor = rig.AddSensor(o);
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(rig.link.ConnectUnit(), 0) << i;
    rig.link.CloseLink();
  }
  sensor->Faults().silent = true;
  EXPECT_EQ(rig.link.ConnectUnit(), -1);
  sensor->Faults().silent = false;
  EXPECT_EQ(rig.link.ConnectUnit(), 0);
}

TEST(Worker, ProbeSenderEndingOnAFailedWriteDoesNotStopLaterProbes) {
  LinkRig rig;
  auto peer = rig.AddScripted();
  // The adapter vanishes during the probe: the sender's write fails.
  ASSERT_EQ(rig.link.OpenLink(), 0);
  peer->Unplug();
  rig.link.ProbeRequestEvent().Set();
  ASSERT_TRUE(rig.link.ProbeDoneEvent().WaitFor(rig.clock, 5000ms));
  rig.link.ProbeDoneEvent().Reset();
  EXPECT_EQ(rig.link.ProbeResult(), -1);
  rig.link.CloseLink();
  // A new adapter: the next probe's sender must send again.
  auto next = rig.AddScripted("Quenby USB Device 2");
  next->AnswerEveryWrite(Ack(0x10, 0));
  EXPECT_EQ(rig.link.ConnectUnit(), 0);
}

}  // namespace
}  // namespace tolvane::link::test
