// Finding, opening and closing adapters.
#include <gtest/gtest.h>

#include "link/LinkRig.h"

namespace tolvane::link::test {
namespace {

using namespace std::chrono_literals;

sim::SimAdapter Adapter(std::string vid, std::string pid, std::string description) {
  sim::SimAdapter a;
  a.vendorId = std::move(vid);
  a.productId = std::move(pid);
  a.description = std::move(description);
  a.peer = std::make_shared<ScriptedPeer>();
  return a;
}

TEST(FindAdapters, NoAdapterLeavesTheListAsGiven) {
  LinkRig rig(false);
  std::vector<std::string> list{"kept"};
  EXPECT_EQ(rig.link.FindAdapters(list, kAdapterVendorId, kAdapterProductId), 0);
  EXPECT_EQ(list, std::vector<std::string>{"kept"});
}

TEST(FindAdapters, UnavailableBackendAndFailedCount) {
  LinkRig rig(false);
  std::vector<std::string> list{"kept"};
  rig.bridge.SetAvailable(false);
  EXPECT_EQ(rig.link.FindAdapters(list, kAdapterVendorId, kAdapterProductId), -1);
  rig.bridge.SetAvailable(true);
  rig.bridge.FailDeviceCount(true);
  EXPECT_EQ(rig.link.FindAdapters(list, kAdapterVendorId, kAdapterProductId), 0);
  EXPECT_EQ(list.size(), 1u);
}

TEST(FindAdapters, FiltersByIdsAndProductWords) {
  LinkRig rig(false);
  rig.bridge.AddAdapter(Adapter("xyz", "807f", "Quenby USB Device"));         // vendor id not hexadecimal
  rig.bridge.AddAdapter(Adapter("10c4", "8070", "Quenby USB Device"));        // other product
  rig.bridge.AddAdapter(Adapter("10c4", "807f", "CP2102 USB to UART"));       // no product word
  rig.bridge.AddAdapter(Adapter("0x10C4", "807F", "Acme Ravilink Rev B"));    // substring matches
  rig.bridge.AddAdapter(Adapter("110c4", "1807f", "Quenby USB Device #2"));   // low 16 bits compared
  rig.bridge.AddAdapter(Adapter("10c4", "807f", "quenby usb device"));        // case matters
  auto noSerial = Adapter("10c4", "807f", "Quenby USB Device #3");
  noSerial.serialReadable = false;                                            // option 0 fails
  rig.bridge.AddAdapter(noSerial);
  std::vector<std::string> list{"old"};
  EXPECT_EQ(rig.link.FindAdapters(list, kAdapterVendorId, kAdapterProductId), 2);
  EXPECT_EQ(list, (std::vector<std::string>{"Acme Ravilink Rev B", "Quenby USB Device #2"}));
  EXPECT_EQ(rig.link.AdapterCount(), 7u);
}

TEST(FindAdapters, TwoAdaptersMakeTwoEntriesInOrder) {
  const auto ports = BuildPortList({"Quenby USB Device A", "Quenby USB Device B"});
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_EQ(ports[0].description, "Quenby USB Device A");
  EXPECT_EQ(ports[0].label, "UNIT 1");
  EXPECT_EQ(ports[1].description, "Quenby USB Device B");
  EXPECT_EQ(ports[1].label, "UNIT 2");
}

TEST(OpenLink, OpensWithPauseAndFlushesOnlyWhenOpen) {
  LinkRig rig(false);
  rig.AddScripted();
  const auto t0 = rig.clock.now();
  EXPECT_EQ(rig.link.OpenLink(), 0);
  EXPECT_TRUE(rig.link.IsLinkOpen());
  EXPECT_EQ(rig.MsSince(t0), 100);
  const auto t1 = rig.clock.now();
  EXPECT_EQ(rig.link.OpenLink(), 0);
  EXPECT_EQ(rig.MsSince(t1), 0);
  EXPECT_EQ(rig.bridge.OpenHandles(), 1);
}

TEST(OpenLink, NoDeviceOfTheDescription) {
  LinkRig rig(false);
  rig.AddScripted("Quenby USB Device A");
  rig.link.SetSelectedDescription("Quenby USB Device B");
  EXPECT_EQ(rig.link.OpenLink(), 1);
  EXPECT_FALSE(rig.link.IsLinkOpen());
  // An enumeration that fails opens nothing and says so.
  rig.link.SetSelectedDescription("Quenby USB Device A");
  rig.bridge.FailDeviceCount(true);
  EXPECT_EQ(rig.link.OpenLink(), 1);
  EXPECT_FALSE(rig.link.IsLinkOpen());
}

TEST(OpenLink, SetupFailuresLeaveTheHandleOpen) {
  LinkRig rig(false);
  rig.AddScripted();
  rig.bridge.FailFlowControl(true);
  EXPECT_EQ(rig.link.OpenLink(), 3);
  EXPECT_TRUE(rig.link.IsLinkOpen());
  rig.link.CloseLink();
  rig.bridge.FailFlowControl(false);
  rig.bridge.FailLineControl(true);
  EXPECT_EQ(rig.link.OpenLink(), 4);
  rig.link.CloseLink();
  rig.bridge.FailLineControl(false);
  rig.bridge.FailTimeouts(true);
  EXPECT_EQ(rig.link.OpenLink(), 5);
  rig.link.CloseLink();
  EXPECT_EQ(rig.bridge.OpenHandles(), 0);
}

TEST(OpenLink, KeepsTheLastOfSeveralWithTheSameDescription) {
  LinkRig rig(false);
  auto first = rig.AddScripted();
  auto second = rig.AddScripted();
  second->Script({0x42});
  ASSERT_EQ(rig.link.OpenLink(), 0);
  EXPECT_EQ(rig.bridge.OpenHandles(), 1);
  ASSERT_EQ(rig.link.SendFrame(Bytes{1}), 0);
  rig.clock.advance(1ms);
  std::array<std::uint8_t, 8> buf{};
  // The byte comes from the second adapter: the hunt reads it as its one attempt.
  EXPECT_EQ(rig.link.ReceiveFrame(buf, 8, 1), -1);
  EXPECT_EQ(buf[0], 0x42);
}

TEST(CloseLink, ClosedLinkIsLeftAloneWithoutWaiting) {
  LinkRig rig(false);
  rig.AddScripted();
  const auto t0 = rig.clock.now();
  rig.link.CloseLink();
  EXPECT_EQ(rig.MsSince(t0), 0);
  ASSERT_EQ(rig.link.OpenLink(), 0);
  const auto t1 = rig.clock.now();
  rig.link.CloseLink();
  EXPECT_EQ(rig.MsSince(t1), 100);
  EXPECT_FALSE(rig.link.IsLinkOpen());
  EXPECT_EQ(rig.bridge.OpenHandles(), 0);
}

TEST(FlushQueues, ReportsTheBridgeFailureAndDropsKeptBytes) {
  LinkRig rig(false);
  auto peer = rig.AddScripted();
  ASSERT_EQ(rig.link.OpenLink(), 0);
  // An acknowledgement followed at once by a ready frame: the 7-byte read
  // takes in the ready frame's start byte, which the flush must drop too.
  peer->Put(Concat({Ack(0x10, 0), Bytes{0xA5, 0x01, 0x10, 0xB6}}), rig.clock.now());
  std::array<std::uint8_t, 7> ack{};
  EXPECT_EQ(rig.link.ReceiveFrame(ack, 7, 25), 6);
  EXPECT_EQ(rig.link.FlushQueues(), 0);
  std::array<std::uint8_t, 16> next{};
  EXPECT_EQ(rig.link.ReceiveFrame(next, 16, 25), -1);
  rig.bridge.FailFlush(true);
  EXPECT_EQ(rig.link.FlushQueues(), -1);
}

}  // namespace
}  // namespace tolvane::link::test
