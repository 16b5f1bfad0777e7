// The simulated sensor, driven through the link as a real sensor would be.
#include <gtest/gtest.h>

#include <filesystem>

#include "link/LinkRig.h"
#include "support/TestSupport.h"

namespace tolvane::link::test {
namespace {

using namespace std::chrono_literals;

class Sensor : public ::testing::Test {
 protected:
  void Start(sim::SimOptions options = {}) {
    sensor = rig.AddSensor(std::move(options));
    ASSERT_EQ(rig.link.OpenLink(), 0);
  }
  // Reads 64 bytes with command 0x31 (page 1..4) or 0x37 (page 0: information memory).
  Bytes ReadBlock(int page, int block) {
    std::array<std::uint8_t, 8> cmd{};
    int rc = 0;
    if (page == 0) {
      cmd[3] = static_cast<std::uint8_t>(block);
      rc = rig.link.ExecuteCommand(2, 0x37, cmd, 200);
    } else {
      cmd[3] = static_cast<std::uint8_t>(page);
      cmd[4] = static_cast<std::uint8_t>(block);
      rc = rig.link.ExecuteCommand(3, 0x31, cmd, 200);
    }
    EXPECT_EQ(rc, 0);
    std::array<std::uint8_t, 100> frame{};
    EXPECT_EQ(rig.link.ReceiveFrame(frame, 100, 200), 69);
    EXPECT_EQ(ByteSum(std::span<const std::uint8_t>(frame).first(68)), frame[68]);
    return Bytes(frame.begin() + 4, frame.begin() + 68);
  }
  Bytes ReadArea(int page, int blocks) {
    Bytes all;
    for (int b = 0; b < blocks; ++b) {
      const Bytes part = ReadBlock(page, b);
      all.insert(all.end(), part.begin(), part.end());
    }
    return all;
  }
  int Command(int length, std::uint8_t code, Bytes payload) {
    std::array<std::uint8_t, 80> cmd{};
    std::copy(payload.begin(), payload.end(), cmd.begin() + 3);
    return rig.link.ExecuteCommand(length, code, cmd, 200);
  }
  int ReadyFrame() {
    std::array<std::uint8_t, 100> frame{};
    const int n = rig.link.ReceiveFrame(frame, 100, 200);
    if (n == 4 && Bytes(frame.begin(), frame.begin() + 4) != Bytes{0xA5, 0x01, 0x10, 0xB6}) {
      return -100;
    }
    return n;
  }
  void WriteScratch(const Bytes& image) {
    ASSERT_EQ(Command(1, 0x33, {}), 0);
    for (std::size_t b = 0; b * 64 < image.size(); ++b) {
      Bytes payload{static_cast<std::uint8_t>(b)};
      payload.insert(payload.end(), image.begin() + static_cast<std::ptrdiff_t>(64 * b),
                     image.begin() + static_cast<std::ptrdiff_t>(64 * b + 64));
      ASSERT_EQ(Command(66, 0x32, payload), 0);
      ASSERT_EQ(ReadyFrame(), 4);
    }
  }

  LinkRig rig{false};
  std::shared_ptr<sim::CSimSensor> sensor;
};

TEST_F(Sensor, ShippedIdentitiesAreInTheFactoryPageAndInfoMemory) {
  for (const char* key : {"qr25", "qr27", "qr30"}) {
    SCOPED_TRACE(key);
    const auto id = sim::ShippedIdentity(key);
    ASSERT_TRUE(id.has_value());
    sim::CSimSensor s(sim::SimOptions{*id, {}, false, false, true, 100ms}, rig.clock.now());
    const auto& factory = s.Page(2);
    EXPECT_EQ(factory[26] | (factory[27] << 8), id->softwareRevision);
    const std::uint32_t serial = factory[98] + 256u * factory[99] + 65536u * factory[96] + 16777216u * factory[97];
    EXPECT_EQ(serial, id->serial);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&factory[138])), id->firmwareName);
    const auto& info = s.InfoMemory();
    const std::uint32_t hw = info[12] + 256u * info[13] + 65536u * info[10] + 16777216u * info[11];
    EXPECT_EQ(hw, id->hardwareSerial);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&info[14])), id->hardwareModel);
  }
  EXPECT_FALSE(sim::ShippedIdentity("qr99").has_value());
  EXPECT_EQ(sim::ShippedIdentity("qr27")->hardwareModel, sim::SimIdentity{}.hardwareModel);
}

TEST_F(Sensor, BlockReadsReturnThePagesAndInfoMemory) {
  Start();
  for (int page = 1; page <= 4; ++page) {
    const Bytes read = ReadArea(page, 8);
    const auto& mine = sensor->Page(page);
    EXPECT_EQ(read, Bytes(mine.begin(), mine.end())) << page;
  }
  const Bytes info = ReadArea(0, 2);
  EXPECT_EQ(info, Bytes(sensor->InfoMemory().begin(), sensor->InfoMemory().end()));
}

TEST_F(Sensor, PageWriteThroughTheScratchArea) {
  Start();
  Bytes image(512);
  for (std::size_t i = 0; i < image.size(); ++i) {
    image[i] = static_cast<std::uint8_t>(i * 7 + 3);
  }
  WriteScratch(image);
  // Until the copy the page is unchanged.
  EXPECT_NE(ReadArea(1, 8), image);
  ASSERT_EQ(Command(2, 0x34, {1}), 0);
  EXPECT_EQ(ReadArea(1, 8), image);
  // Only the Customer and Factory pages can be written.
  EXPECT_EQ(Command(2, 0x34, {3}), sim::kSimStatusArgument);
}

TEST_F(Sensor, InfoMemoryWrite) {
  Start();
  Bytes image(128, 0x5C);
  WriteScratch(image);
  EXPECT_EQ(Command(2, 0x38, {0x00}), sim::kSimStatusArgument);  // wrong key
  ASSERT_EQ(Command(2, 0x38, {0x5A}), 0);
  EXPECT_EQ(ReadArea(0, 2), image);
}

TEST_F(Sensor, RefusedCommands) {
  Start();
  EXPECT_EQ(Command(3, 0x31, {5, 0}), sim::kSimStatusArgument);
  EXPECT_EQ(Command(3, 0x31, {1, 8}), sim::kSimStatusArgument);
  EXPECT_EQ(Command(1, 0x55, {}), sim::kSimStatusUnknown);
  // A frame with a wrong checksum.
  ASSERT_EQ(rig.link.SendFrame(Bytes{0xA5, 0x01, 0x10, 0xB7, 0x00}), 0);
  std::array<std::uint8_t, 7> ack{};
  ASSERT_EQ(rig.link.ReceiveFrame(ack, 7, 200), 6);
  EXPECT_EQ(ack[4], sim::kSimStatusChecksum);
  // Still in step afterwards.
  EXPECT_EQ(Command(1, 0x10, {}), 0);
}

TEST_F(Sensor, FirmwareDataPacketsEachEndWithAReadyFrame) {
  Start();
  ASSERT_EQ(Command(1, 0x17, {}), 0);
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(Command(65, 0x24, Bytes(64, static_cast<std::uint8_t>(i))), 0);
    EXPECT_EQ(ReadyFrame(), 4);
  }
  EXPECT_EQ(sensor->ProgramBytes(), 192u);
  // 0x28 checks the CRC-32 it is given against the image received.
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::uint8_t b : sensor->Program()) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) {
      crc = (crc & 1u) != 0 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
  }
  crc = ~crc;
  const Bytes given{static_cast<std::uint8_t>(crc), static_cast<std::uint8_t>(crc >> 8),
                    static_cast<std::uint8_t>(crc >> 16), static_cast<std::uint8_t>(crc >> 24)};
  EXPECT_EQ(Command(1, 0x28, {}), sim::kSimStatusArgument);
  EXPECT_EQ(Command(5, 0x28, {given[0], given[1], given[2], static_cast<std::uint8_t>(given[3] ^ 1)}),
            sim::kSimStatusCrc);
  EXPECT_EQ(Command(5, 0x28, given), 0);
  EXPECT_EQ(Command(1, 0x36, {}), 0);
  EXPECT_EQ(ReadArea(3, 8), Bytes(512, 0));
  EXPECT_EQ(Command(1, 0x49, {}), 0);
}

TEST_F(Sensor, ResumeStreamingSendsPackets) {
  Start();
  ASSERT_EQ(Command(1, 0x21, {}), 0);
  EXPECT_TRUE(sensor->Streaming());
  rig.link.FlushQueues();  // the acknowledgement's trailing zero
  std::array<std::uint8_t, 24> buf{};
  EXPECT_EQ(rig.link.ReadStreamPacket(buf, 1000), 6);
  // While streaming, commands are not answered.
  EXPECT_EQ(Command(1, 0x10, {}), 11);
}

TEST_F(Sensor, InjectedFaults) {
  sim::SimOptions o;
  o.faults.statusByte = 5;
  o.faults.statusCommand = 0x31;
  Start(o);
  EXPECT_EQ(Command(3, 0x31, {1, 0}), 5);
  EXPECT_EQ(Command(1, 0x10, {}), 0);

  sensor->Faults() = {};
  sensor->Faults().noReady = true;
  ASSERT_EQ(Command(1, 0x33, {}), 0);
  Bytes payload(65, 0);
  ASSERT_EQ(Command(66, 0x32, payload), 0);
  EXPECT_EQ(ReadyFrame(), -1);

  sensor->Faults() = {};
  rig.link.FlushQueues();
  auto sent = sensor->BytesSent();
  sensor->Faults().corruptEvery = static_cast<std::uint32_t>(sent + 4);  // the command code
  EXPECT_EQ(Command(1, 0x10, {}), 12);
  sensor->Faults() = {};
  sent = sensor->BytesSent();
  sensor->Faults().dropEvery = static_cast<std::uint32_t>(sent + 3);  // the 0x2F
  EXPECT_EQ(Command(1, 0x10, {}), 11);
}

TEST_F(Sensor, StateFileKeepsTheMemory) {
  tolvane::test::TempDir dir;
  const auto file = dir / "unit.state";
  Start();
  sensor->SetStateFile(file);
  Bytes image(512, 0x42);
  WriteScratch(image);
  ASSERT_EQ(Command(2, 0x34, {1}), 0);
  ASSERT_TRUE(std::filesystem::exists(file));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1)
      << "only the state file";

  sim::CSimSensor again(sim::SimOptions{}, rig.clock.now());
  ASSERT_TRUE(again.LoadState(file));
  EXPECT_EQ(Bytes(again.Page(1).begin(), again.Page(1).end()), image);
  EXPECT_EQ(again.Page(2), sensor->Page(2));

  tolvane::test::WriteBytes(file, "TOLVSIM1 too short");
  EXPECT_FALSE(again.LoadState(file));

  // A named pipe as the state file is refused, not waited for.
  const auto pipe = dir / "pipe.state";
  ASSERT_TRUE(tolvane::test::MakeFifo(pipe));
  const auto loaded = tolvane::test::RunInChild(
      [&] {
        sim::CSimSensor fromPipe(sim::SimOptions{}, std::chrono::steady_clock::now());
        return fromPipe.LoadState(pipe) ? 1 : 0;
      },
      std::chrono::seconds(10));
  EXPECT_EQ(loaded, std::optional<int>(0));
}

TEST_F(Sensor, PacingHoldsAnswersToTheLineRate) {
  sim::SimOptions o;
  o.pace = true;
  Start(o);
  const auto t0 = rig.clock.now();
  std::array<std::uint8_t, 8> cmd{};
  ASSERT_EQ(rig.link.ExecuteCommand(1, 0x10, cmd, 200), 0);
  // 4 bytes make the frame for the sensor, 6 come back before the
  // acknowledgement is whole: 10.4 ms at 9600 baud.
  EXPECT_GE(rig.MsSince(t0), 10);
  EXPECT_LE(rig.MsSince(t0), 11);
}

}  // namespace
}  // namespace tolvane::link::test
