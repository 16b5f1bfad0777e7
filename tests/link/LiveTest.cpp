// Streaming packets: the live reader and ReadStreamPacket.
#include <gtest/gtest.h>

#include <condition_variable>

#include "link/LinkRig.h"

namespace tolvane::link::test {
namespace {

using namespace std::chrono_literals;

Bytes Packet(std::uint16_t distance, std::uint8_t relays, bool valid = true) {
  Bytes p{0xA5, 0xA5, static_cast<std::uint8_t>(distance & 0xFF), static_cast<std::uint8_t>(distance >> 8), relays, 0};
  p[5] = static_cast<std::uint8_t>(0x100 - ByteSum(std::span<const std::uint8_t>(p).subspan(2, 3)));
  if (!valid) {
    p[5] ^= 0x40;
  }
  return p;
}

class RecordingSink : public ILiveSink {
 public:
  explicit RecordingSink(IClock& clock) : clock_(clock) {}
  struct Entry {
    int check;
    Bytes packet;
    IClock::time_point at;
  };
  void OnStreamPacket(int check, const std::array<std::uint8_t, 6>& packet) override {
    std::lock_guard lock(m_);
    entries_.push_back({check, Bytes(packet.begin(), packet.end()), clock_.now()});
    cv_.notify_all();
  }
  // Waits in real time (at most 10 s) until `n` packets came.
  std::vector<Entry> WaitFor(std::size_t n) {
    std::unique_lock lock(m_);
    cv_.wait_for(lock, 10s, [&] { return entries_.size() >= n; });
    return entries_;
  }

 private:
  IClock& clock_;
  std::mutex m_;
  std::condition_variable cv_;
  std::vector<Entry> entries_;
};

class Live : public ::testing::Test {
 protected:
  void SetUp() override {
    peer = rig.AddScripted();
    ASSERT_EQ(rig.link.OpenLink(), 0);
    rig.link.SetNotificationSink(&sink);
  }
  void StartReader() {
    reader = std::thread([this] { rig.link.RunLiveReader(); });
  }
  void StopReader() {
    rig.link.RequestReaderStop();
    reader.join();
    EXPECT_FALSE(rig.link.ReaderRunning());
  }
  LinkRig rig{false};
  std::shared_ptr<ScriptedPeer> peer;
  RecordingSink sink{rig.clock};
  std::thread reader;
};

TEST_F(Live, StrayByteBeforeEachPacketIsSkipped) {
  const auto t0 = rig.clock.now();
  for (int i = 0; i < 5; ++i) {
    peer->Put(Concat({Bytes{0x3C}, Packet(static_cast<std::uint16_t>(1000 + i), 0x3)}), t0 + i * 100ms);
  }
  StartReader();
  const auto got = sink.WaitFor(5);
  StopReader();
  ASSERT_EQ(got.size(), 5u);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(got[static_cast<std::size_t>(i)].check, 6);
    EXPECT_EQ(got[static_cast<std::size_t>(i)].packet, Packet(static_cast<std::uint16_t>(1000 + i), 0x3));
  }
}

TEST_F(Live, FailedCheckIsPostedMarked) {
  peer->Put(Concat({Packet(1234, 0x1, false), Packet(1235, 0x2)}), rig.clock.now());
  StartReader();
  const auto got = sink.WaitFor(2);
  StopReader();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].check, -6);
  EXPECT_EQ(got[1].check, 6);
}

TEST_F(Live, TwoPacketsInOneReadArePostedInOnePass) {
  peer->Put(Concat({Packet(900, 0), Packet(901, 0)}), rig.clock.now() + 50ms);
  StartReader();
  const auto got = sink.WaitFor(2);
  StopReader();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].packet, Packet(900, 0));
  EXPECT_EQ(got[1].packet, Packet(901, 0));
  EXPECT_EQ(got[1].at, got[0].at);
}

// A sensor streaming 50 packets a second (faster than one packet per 35 ms
// pause) is followed without a backlog: every packet is posted, in order,
// and none later than 50 ms after it arrived.
TEST_F(Live, FiftyPacketsASecondAreFollowedWithoutBacklog) {
  constexpr int kCount = 500;  // ten seconds of stream
  const auto t0 = rig.clock.now() + 10ms;
  for (int i = 0; i < kCount; ++i) {
    peer->Put(Packet(static_cast<std::uint16_t>(2000 + i), static_cast<std::uint8_t>(i & 0xF)), t0 + i * 20ms);
  }
  StartReader();
  const auto got = sink.WaitFor(kCount);
  StopReader();
  ASSERT_EQ(got.size(), static_cast<std::size_t>(kCount));
  std::chrono::milliseconds worst{0};
  for (int i = 0; i < kCount; ++i) {
    const auto& e = got[static_cast<std::size_t>(i)];
    EXPECT_EQ(e.packet, Packet(static_cast<std::uint16_t>(2000 + i), static_cast<std::uint8_t>(i & 0xF)));
    worst = std::max(worst, std::chrono::duration_cast<std::chrono::milliseconds>(e.at - (t0 + i * 20ms)));
  }
  EXPECT_LE(worst, 50ms);
}

TEST_F(Live, SilenceKeepsPollingAndStopEndsWithinAPass) {
  StartReader();
  // Let several seconds of silence pass.
  while (rig.clock.elapsed() < 5s) {
    std::this_thread::sleep_for(1ms);
  }
  const auto stopAt = rig.clock.now();
  rig.link.RequestReaderStop();
  reader.join();
  EXPECT_LE(rig.MsSince(stopAt), 320);
  EXPECT_FALSE(rig.link.ReaderRunning());
  EXPECT_TRUE(sink.WaitFor(0).empty());
}

TEST_F(Live, LongGarbageDoesNotOverrunTheBuffer) {
  Bytes junk(500, 0x5A);
  junk[250] = 0xA5;
  peer->Put(Concat({junk, Packet(777, 0x8)}), rig.clock.now());
  StartReader();
  const auto got = sink.WaitFor(1);
  StopReader();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].packet, Packet(777, 0x8));
}

TEST(ReadStreamPacket, PacketsGarbageAndSilence) {
  LinkRig rig(false);
  auto peer = rig.AddScripted();
  ASSERT_EQ(rig.link.OpenLink(), 0);
  std::array<std::uint8_t, 24> buf{};

  peer->Put(Concat({Packet(1500, 0x5), Packet(1501, 0x5)}), rig.clock.now());
  EXPECT_EQ(rig.link.ReadStreamPacket(buf, 1000), 6);
  EXPECT_EQ((Bytes{buf.begin(), buf.begin() + 6}), Packet(1500, 0x5));
  EXPECT_EQ(rig.link.ReadStreamPacket(buf, 1000), 6);
  EXPECT_EQ((Bytes{buf.begin(), buf.begin() + 6}), Packet(1501, 0x5));

  peer->Put(Bytes(64, 0x11), rig.clock.now());
  EXPECT_EQ(rig.link.ReadStreamPacket(buf, 1000), 20);
  rig.link.FlushQueues();

  // Silence: ten per empty read, a 35 ms wait after each.
  const auto t0 = rig.clock.now();
  EXPECT_EQ(rig.link.ReadStreamPacket(buf, 1000), 0);
  EXPECT_GE(rig.MsSince(t0), 99 * 35);
  EXPECT_LE(rig.MsSince(t0), 100 * 35);
}

TEST(ReadStreamPacket, FromAStreamingSensor) {
  LinkRig rig(false);
  sim::SimOptions o;
  o.streaming = true;
  rig.AddSensor(o);
  ASSERT_EQ(rig.link.OpenLink(), 0);
  std::array<std::uint8_t, 24> buf{};
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(rig.link.ReadStreamPacket(buf, 1000), 6);
    EXPECT_EQ(buf[0], 0xA5);
    EXPECT_EQ(buf[1], 0xA5);
    EXPECT_EQ(ByteSum(std::span<const std::uint8_t>(buf).subspan(2, 4)), 0);
  }
}

}  // namespace
}  // namespace tolvane::link::test
