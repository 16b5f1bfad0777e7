// Frames from the sensor: receive, the command exchange and bad input.
#include <gtest/gtest.h>

#include "link/LinkRig.h"

namespace tolvane::link::test {
namespace {

using namespace std::chrono_literals;

class Frames : public ::testing::Test {
 protected:
  void SetUp() override {
    peer = rig.AddScripted();
    ASSERT_EQ(rig.link.OpenLink(), 0);
  }
  void Arrive(const Bytes& bytes) { peer->Put(bytes, rig.clock.now()); }

  LinkRig rig{false};
  std::shared_ptr<ScriptedPeer> peer;
};

TEST_F(Frames, AcknowledgementReadKeepsTheFollowingFrame) {
  // Acknowledgement, trailing zero, data frame, all in one burst.
  Arrive(Concat({Ack(0x31, 0), Bytes{0}, DataFrame(0x11)}));
  std::array<std::uint8_t, 7> ack{};
  EXPECT_EQ(rig.link.ReceiveFrame(ack, 7, 25), 6);
  EXPECT_EQ(ack[3], 0x31);
  std::array<std::uint8_t, 100> data{};
  ASSERT_EQ(rig.link.ReceiveFrame(data, 100, 200), 69);
  EXPECT_EQ(data[4], 0x11);
  EXPECT_EQ(ByteSum(std::span<const std::uint8_t>(data).first(68)), data[68]);
}

TEST_F(Frames, AcknowledgementWithoutTrailingZeroLendsNoByte) {
  // The 7-byte read takes in the ready frame's start byte; the ready frame
  // must still be whole for the next receive.
  Arrive(Concat({Ack(0x32, 0), Bytes{0xA5, 0x01, 0x10, 0xB6}}));
  std::array<std::uint8_t, 7> ack{};
  EXPECT_EQ(rig.link.ReceiveFrame(ack, 7, 25), 6);
  std::array<std::uint8_t, 100> ready{};
  ASSERT_EQ(rig.link.ReceiveFrame(ready, 100, 25), 4);
  EXPECT_EQ((Bytes{ready.begin(), ready.begin() + 4}), (Bytes{0xA5, 0x01, 0x10, 0xB6}));
}

TEST_F(Frames, StartByteHuntEndsAtTheAttemptLimit) {
  Arrive(Bytes(40, 0x55));
  std::array<std::uint8_t, 100> buf{};
  const auto t0 = rig.clock.now();
  EXPECT_EQ(rig.link.ReceiveFrame(buf, 0, 0), -1);  // 25 attempts although more is waiting
  EXPECT_LT(rig.MsSince(t0), 1000);
  // 15 bytes are left before an acknowledgement: a hunt limited to 15
  // attempts uses them all up; the next one finds the frame.
  Arrive(Concat({Ack(0x10, 0)}));
  EXPECT_EQ(rig.link.ReceiveFrame(buf, 0, 15), -1);
  EXPECT_EQ(rig.link.ReceiveFrame(buf, 0, 200), 6);
}

TEST_F(Frames, ThousandBytesWithoutStartByte) {
  Arrive(Bytes(1000, 0x5A));
  std::array<std::uint8_t, 100> buf{};
  for (int i = 0; i < 40; ++i) {
    const auto t0 = rig.clock.now();
    ASSERT_EQ(rig.link.ReceiveFrame(buf, 100, 200), -1);
    ASSERT_LE(rig.MsSince(t0), 1010);
  }
}

TEST_F(Frames, SilenceEndsAfterTheStartByteBudget) {
  std::array<std::uint8_t, 100> buf{};
  const auto t0 = rig.clock.now();
  EXPECT_EQ(rig.link.ReceiveFrame(buf, 100, 200), -1);
  EXPECT_GE(rig.MsSince(t0), 1000);
  EXPECT_LE(rig.MsSince(t0), 1010);
}

TEST_F(Frames, HalfAFrameThenSilence) {
  const Bytes frame = DataFrame(0x22);
  Arrive(Bytes(frame.begin(), frame.begin() + 30));
  std::array<std::uint8_t, 100> buf{};
  const auto t0 = rig.clock.now();
  EXPECT_EQ(rig.link.ReceiveFrame(buf, 100, 200), -2);
  EXPECT_GE(rig.MsSince(t0), 1000);
  EXPECT_LE(rig.MsSince(t0), 1040);
}

TEST_F(Frames, LongFrameIsCutAtTheMaximum) {
  Arrive(DataFrame(0x33));
  std::array<std::uint8_t, 5> buf{};
  EXPECT_EQ(rig.link.ReceiveFrame(buf, 5, 200), 5);
  // The maximum never exceeds the buffer.
  Arrive(DataFrame(0x33));
  rig.link.FlushQueues();
  Arrive(DataFrame(0x34));
  std::array<std::uint8_t, 10> small{};
  EXPECT_EQ(rig.link.ReceiveFrame(small, 100, 200), 10);
}

TEST_F(Frames, GarbageAroundAFrame) {
  Arrive(Concat({Bytes{0x00, 0x13, 0x77}, Ack(0x10, 0), Bytes{0x99, 0x98}}));
  std::array<std::uint8_t, 7> ack{};
  EXPECT_EQ(rig.link.ReceiveFrame(ack, 7, 200), 6);
  EXPECT_EQ((Bytes{ack.begin(), ack.begin() + 6}), Ack(0x10, 0));
}

TEST_F(Frames, ExecuteCommandWritesTheFrame) {
  peer->Script(Ack(0x31, 0));
  std::array<std::uint8_t, 8> buf{};
  buf[3] = 0x01;
  buf[4] = 0x00;
  EXPECT_EQ(rig.link.ExecuteCommand(3, 0x31, buf, 200), 0);
  EXPECT_EQ(rig.bridge.Written(), (Bytes{0xA5, 0x03, 0x31, 0x01, 0x00, 0xDA, 0x00}));
}

TEST_F(Frames, ExecuteCommandResults) {
  std::array<std::uint8_t, 80> buf{};
  peer->Script(Ack(0x31, 5));
  EXPECT_EQ(rig.link.ExecuteCommand(3, 0x31, buf, 200), 5);
  peer->Script(Ack(0x33, 0));
  EXPECT_EQ(rig.link.ExecuteCommand(66, 0x32, buf, 200), 12);
  peer->Script(DataFrame(0));  // not an acknowledgement
  EXPECT_EQ(rig.link.ExecuteCommand(1, 0x33, buf, 200), 11);
  rig.link.FlushQueues();
  peer->Script(Bytes{0xA5, 0x01, 0x10, 0xB6, 0x00});  // a ready frame is too short
  EXPECT_EQ(rig.link.ExecuteCommand(1, 0x33, buf, 200), 10);
  peer->Script(Bytes{0xA5, 0x03, 0x2F});  // half an acknowledgement
  EXPECT_EQ(rig.link.ExecuteCommand(1, 0x10, buf, 200), 10);
  peer->Script({});
  EXPECT_EQ(rig.link.ExecuteCommand(1, 0x10, buf, 200), 10);
  // The buffer must hold the whole frame.
  EXPECT_EQ(rig.link.ExecuteCommand(80, 0x32, buf, 200), -1);
}

TEST_F(Frames, ExecuteCommandAfterAStatusByteStaysUsable) {
  std::array<std::uint8_t, 8> buf{};
  peer->Script(Concat({Ack(0x10, 0x80)}));
  peer->Script(Ack(0x10, 0));
  EXPECT_EQ(rig.link.ExecuteCommand(1, 0x10, buf, 200), 0x80);
  EXPECT_EQ(rig.link.ExecuteCommand(1, 0x10, buf, 200), 0);
}

TEST_F(Frames, EraseWaitsBeforeTheAcknowledgementIsAwaited) {
  peer->Script(Ack(0x17, 0));
  std::array<std::uint8_t, 8> buf{};
  const auto t0 = rig.clock.now();
  EXPECT_EQ(rig.link.ExecuteCommand(1, 0x17, buf, 200), 0);
  EXPECT_GE(rig.MsSince(t0), 1000);
  EXPECT_LT(rig.MsSince(t0), 1100);
}

TEST_F(Frames, DataFrameWithWrongChecksumKeepsItsLength) {
  Bytes bad = DataFrame(0x44);
  bad[68] ^= 0x01;
  peer->Script(Concat({Ack(0x31, 0), Bytes{0}, bad}));
  std::array<std::uint8_t, 8> cmd{};
  ASSERT_EQ(rig.link.ExecuteCommand(3, 0x31, cmd, 200), 0);
  std::array<std::uint8_t, 100> data{};
  ASSERT_EQ(rig.link.ReceiveFrame(data, 100, 200), 69);
  EXPECT_NE(ByteSum(std::span<const std::uint8_t>(data).first(68)), data[68]);
}

TEST_F(Frames, SendFrameReportsAGoneAdapterAndClosesTheLink) {
  peer->Unplug();
  EXPECT_EQ(rig.link.SendFrame(kSyncFrame), kBridgeDeviceGone);
  EXPECT_FALSE(rig.link.IsLinkOpen());
  std::array<std::uint8_t, 8> buf{};
  EXPECT_EQ(rig.link.ExecuteCommand(1, 0x10, buf, 200), -1);
}

TEST_F(Frames, PacedBytesArriveAtTheLineRate) {
  auto paced = std::make_shared<ScriptedPeer>(true);
  rig.link.CloseLink();
  sim::SimAdapter a;
  a.description = "Quenby USB Device paced";
  a.peer = paced;
  rig.bridge.AddAdapter(a);
  rig.link.SetSelectedDescription(a.description);
  ASSERT_EQ(rig.link.OpenLink(), 0);
  paced->Put(DataFrame(0x55), rig.clock.now());
  std::array<std::uint8_t, 100> data{};
  const auto t0 = rig.clock.now();
  ASSERT_EQ(rig.link.ReceiveFrame(data, 100, 200), 69);
  // 69 bytes of 10 bits at 9600 baud: 71.9 ms; the waits end when bytes arrive.
  EXPECT_GE(rig.MsSince(t0), 71);
  EXPECT_LE(rig.MsSince(t0), 75);
}

}  // namespace
}  // namespace tolvane::link::test
