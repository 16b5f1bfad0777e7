// The link on the Linux tty bridge: adapter discovery in a sysfs-like tree,
// and the connect procedure against tolvane-sim on a pseudo-terminal.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <thread>
#include <tuple>

#include "common/Clock.h"
#include "link/TtyBridge.h"
#include "link/UsbLink.h"
#include "link/sim/SimProcess.h"
#include "support/TestSupport.h"

namespace tolvane::link::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A USB serial adapter's entries as the kernel lays them out for cp210x.
void FakeUsbTty(const fs::path& root, const std::string& name, const std::string& vid, const std::string& pid,
                const std::string& product) {
  const fs::path usb = root / "sys/devices/pci0000:00/usb1" / ("1-" + name);
  const fs::path port = usb / ("1-" + name + ":1.0") / name;
  fs::create_directories(port);
  tolvane::test::WriteBytes(usb / "idVendor", vid + "\n");
  tolvane::test::WriteBytes(usb / "idProduct", pid + "\n");
  tolvane::test::WriteBytes(usb / "product", product + "\n");
  tolvane::test::WriteBytes(usb / "serial", "0001\n");
  fs::create_directories(root / "sys/class/tty" / name);
  fs::create_directory_symlink(fs::relative(port, root / "sys/class/tty" / name),
                               root / "sys/class/tty" / name / "device");
}

TEST(TtyBridge, FindsUsbAdaptersBelowTheRoot) {
  tolvane::test::TempDir root;
  RealClock clock;
  {
    TtyBridge nothing(root / "missing");
    CUsbLink link(nothing, clock);
    std::vector<std::string> list;
    EXPECT_EQ(link.FindAdapters(list, kAdapterVendorId, kAdapterProductId), -1);
  }
  FakeUsbTty(root.path(), "ttyUSB0", "10c4", "807f", "Quenby USB Device");
  FakeUsbTty(root.path(), "ttyUSB1", "10c4", "ea60", "CP2102 USB to UART Bridge Controller");
  FakeUsbTty(root.path(), "ttyUSB2", "10c4", "807f", "Ravilink Service Cable");
  fs::create_directories(root / "sys/class/tty/ttyS0");  // a built-in port: no USB device
  fs::create_directories(root / "sys/class/tty/tty1");
  TtyBridge bridge(root.path());
  CUsbLink link(bridge, clock);
  std::vector<std::string> list;
  EXPECT_EQ(link.FindAdapters(list, kAdapterVendorId, kAdapterProductId), 2);
  EXPECT_EQ(list, (std::vector<std::string>{"Quenby USB Device", "Ravilink Service Cable"}));
  EXPECT_EQ(link.AdapterCount(), 3u);
  // The device node is missing: the adapter cannot be opened.
  link.SetSelectedDescription("Quenby USB Device");
  EXPECT_EQ(link.OpenLink(), 1);
  EXPECT_FALSE(link.IsLinkOpen());
}

// A named pipe where an attribute should be (a device root from the
// environment can hold anything): the adapter is skipped, not waited for.
TEST(TtyBridge, AnAttributeThatIsNoFileIsNotWaitedFor) {
  tolvane::test::TempDir root;
  FakeUsbTty(root.path(), "ttyUSB0", "10c4", "807f", "Quenby USB Device");
  FakeUsbTty(root.path(), "ttyUSB1", "10c4", "807f", "Quenby USB Device B");
  const fs::path vendor = root / "sys/devices/pci0000:00/usb1/1-ttyUSB0/idVendor";
  fs::remove(vendor);
  ASSERT_TRUE(tolvane::test::MakeFifo(vendor));
  const auto found = tolvane::test::RunInChild(
      [&] {
        RealClock clock;
        TtyBridge bridge(root.path());
        CUsbLink link(bridge, clock);
        std::vector<std::string> list;
        const int n = link.FindAdapters(list, kAdapterVendorId, kAdapterProductId);
        return n == 1 && list == std::vector<std::string>{"Quenby USB Device B"} ? 1 : 0;
      },
      std::chrono::seconds(10));
  EXPECT_EQ(found, std::optional<int>(1));
}

// tolvane-sim as a child process with a device root of its own.
class SimProcess : public sim::SimProcess {
 public:
  explicit SimProcess(std::vector<std::string> extra) : sim::SimProcess(TOLVANE_SIM_PATH, std::move(extra)) {}
};

class OverTty {
 public:
  explicit OverTty(const fs::path& root) : bridge(root), link(bridge, clock) {
    worker = std::thread([this] { link.RunWorker(); });
  }
  ~OverTty() {
    link.CloseLink();
    link.QuitEvent().Set();
    worker.join();
  }
  RealClock clock;
  TtyBridge bridge;
  CUsbLink link;
  std::thread worker;
};

TEST(EndToEnd, ConnectToASensorInCommandMode) {
  SimProcess sim({"--identity", "qr25"});
  ASSERT_TRUE(sim.Running());
  OverTty tty(sim.root());
  std::vector<std::string> list;
  ASSERT_EQ(tty.link.FindAdapters(list, kAdapterVendorId, kAdapterProductId), 1);
  tty.link.SetSelectedDescription(list.front());
  const auto t0 = tty.clock.now();
  ASSERT_EQ(tty.link.ConnectUnit(), 0);
  EXPECT_EQ(tty.link.ProbeResult(), 0);  // answered the probe: no fallback
  EXPECT_LT(tty.clock.now() - t0, 2000ms);
  // Factory page block 1 holds the serial number at bytes 96..99.
  std::array<std::uint8_t, 8> cmd{};
  cmd[3] = 2;
  cmd[4] = 1;
  ASSERT_EQ(tty.link.ExecuteCommand(3, CMD_READ_BLOCK, cmd, 200), 0);
  std::array<std::uint8_t, 100> frame{};
  ASSERT_EQ(tty.link.ReceiveFrame(frame, 100, 200), 69);
  const std::uint8_t* s = frame.data() + 4 + 32;
  EXPECT_EQ(s[2] + 256u * s[3] + 65536u * s[0] + 16777216u * s[1], 250117u);
  EXPECT_EQ(sim.Stop(), 0);
  EXPECT_FALSE(fs::exists(sim.root() / "sys/class/tty/ttySIM0"));
  EXPECT_FALSE(fs::is_symlink(sim.node()));
}

TEST(EndToEnd, ConnectToAStreamingSensorThroughTheFallback) {
  SimProcess sim({"--streaming", "--period", "35"});
  ASSERT_TRUE(sim.Running());
  OverTty tty(sim.root());
  std::vector<std::string> list;
  ASSERT_EQ(tty.link.FindAdapters(list, kAdapterVendorId, kAdapterProductId), 1);
  tty.link.SetSelectedDescription(list.front());
  const auto t0 = tty.clock.now();
  ASSERT_EQ(tty.link.ConnectUnit(), 0);
  // Within the connect procedure's budget (its speed is the benchmark's business).
  EXPECT_LT(tty.clock.now() - t0, 4000ms);
  std::array<std::uint8_t, 8> cmd{};
  tty.link.FlushQueues();
  EXPECT_EQ(tty.link.ExecuteCommand(1, CMD_SYNC, cmd, 200), 0);
}

TEST(EndToEnd, AdapterUnpluggedMidFrame) {
  // After at most two probe acknowledgements (14 bytes) and the block read's
  // acknowledgement (7), byte 51 falls inside the data frame.
  SimProcess sim({"--unplug-after", "51"});
  ASSERT_TRUE(sim.Running());
  OverTty tty(sim.root());
  std::vector<std::string> list;
  ASSERT_EQ(tty.link.FindAdapters(list, kAdapterVendorId, kAdapterProductId), 1);
  tty.link.SetSelectedDescription(list.front());
  ASSERT_EQ(tty.link.ConnectUnit(), 0);
  std::array<std::uint8_t, 8> cmd{};
  cmd[3] = 1;
  cmd[4] = 0;
  ASSERT_EQ(tty.link.ExecuteCommand(3, CMD_READ_BLOCK, cmd, 200), 0);
  std::array<std::uint8_t, 100> frame{};
  const auto t0 = tty.clock.now();
  EXPECT_LT(tty.link.ReceiveFrame(frame, 100, 200), 0);
  EXPECT_LT(tty.clock.now() - t0, 1500ms);  // the vanished device ends the wait, not the 2 s budget
  EXPECT_FALSE(tty.link.IsLinkOpen());
  // The next operation tries to connect again and finds no adapter.
  EXPECT_EQ(tty.link.ConnectUnit(), -1);
}

TEST(EndToEnd, CommandLineAdaptersConnectAndLive) {
  SimProcess sim({});
  ASSERT_TRUE(sim.Running());
  const std::string env = "TOLVANE_DEVICE_ROOT='" + sim.root().string() + "' " + TOLVANE_CLI_PATH;
  auto [rc, out] = tolvane::test::RunCommand(env + " adapters");
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(out, "UNIT 1\tQuenby USB Device\n");
  std::tie(rc, out) = tolvane::test::RunCommand(env + " connect");
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(out.rfind("ConnectUnit: 0 (", 0), 0u) << out;
  // The sensor is in command mode now: --resume puts it back to streaming.
  std::tie(rc, out) = tolvane::test::RunCommand(env + " live --resume --raw --count 3");
  EXPECT_EQ(rc, 0);
  std::istringstream lines(out);
  int packets = 0;
  for (std::string line; std::getline(lines, line); ++packets) {
    EXPECT_NE(line.find("  A5 A5 "), std::string::npos) << line;
    EXPECT_EQ(line.find("check failed"), std::string::npos) << line;
  }
  EXPECT_EQ(packets, 3);
  std::tie(rc, out) = tolvane::test::RunCommand("TOLVANE_DEVICE_ROOT=/nonexistent " + std::string(TOLVANE_CLI_PATH) +
                                                " adapters 2>/dev/null");
  EXPECT_EQ(rc, 2);
}

// A sensor that streams and does not wake on the W and L packets: live reads
// it without the connect procedure, in the model's units.
TEST(EndToEnd, CommandLineLiveFollowsAStreamingSensorInDisplayUnits) {
  SimProcess sim({"--streaming", "--never-wake", "--period", "50"});
  ASSERT_TRUE(sim.Running());
  const std::string env = "TOLVANE_DEVICE_ROOT='" + sim.root().string() + "' " + TOLVANE_CLI_PATH;
  const std::string model = std::string(" --model '") + TOLVANE_SOURCE_DATA + "/Models/QRModel_QR27.txt'";
  const auto t0 = std::chrono::steady_clock::now();
  auto [rc, out] =
      tolvane::test::RunCommand(env + " live --count 4 --csv --units Centimeters --sensor-height 200" + model);
  ASSERT_EQ(rc, 0) << out;
  // No command mode and back: the reader's stop pause, not seconds of connecting.
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 2000ms);
  std::istringstream lines(out);
  std::string line;
  ASSERT_TRUE(std::getline(lines, line));
  EXPECT_EQ(line, "time,raw,level,distance,relays");
  int packets = 0;
  for (; std::getline(lines, line); ++packets) {
    // The simulator streams distances of 800..1200 mm; relay 1 below 900, 2 below 1000, 3 above 1100.
    std::istringstream fields(line);
    std::string t, raw, level, distance, relays;
    std::getline(fields, t, ',');
    std::getline(fields, raw, ',');
    std::getline(fields, level, ',');
    std::getline(fields, distance, ',');
    std::getline(fields, relays, ',');
    const int d = std::stoi(raw);
    ASSERT_GE(d, 800) << line;
    ASSERT_LE(d, 1200) << line;
    char expectLevel[32], expectDistance[32];
    std::snprintf(expectLevel, sizeof expectLevel, "%#07.1f", (2000.0 - d) / 10.0);
    std::snprintf(expectDistance, sizeof expectDistance, "%#07.1f", d / 10.0);
    EXPECT_EQ(level, expectLevel) << line;
    EXPECT_EQ(distance, expectDistance) << line;
    std::string expectRelays = std::string(d < 900 ? "1" : "0") + (d < 1000 ? "1" : "0") + (d > 1100 ? "1" : "0") + "0";
    EXPECT_EQ(relays, expectRelays) << line;
  }
  EXPECT_EQ(packets, 4);

  // Failure sides: units the model does not have, a missing model.
  std::tie(rc, out) = tolvane::test::RunCommand(env + " live --units Furlongs" + model + " 2>&1");
  EXPECT_EQ(rc, 2);
  EXPECT_NE(out.find("error: the model has no units Furlongs"), std::string::npos) << out;
  std::tie(rc, out) = tolvane::test::RunCommand(env + " live --model /nonexistent/QRModel_None.txt 2>&1");
  EXPECT_EQ(rc, 1);
  EXPECT_NE(out.find("error: no model file"), std::string::npos) << out;
}

TEST(EndToEnd, CommandLineLiveSaysWhenNoPacketsCome) {
  SimProcess sim({"--silent"});
  ASSERT_TRUE(sim.Running());
  const std::string env = "TOLVANE_DEVICE_ROOT='" + sim.root().string() + "' " + TOLVANE_CLI_PATH;
  auto [rc, out] = tolvane::test::RunCommand(env + " live --count 2 --timeout 1 2>&1");
  EXPECT_EQ(rc, 1);
  EXPECT_NE(out.find("error: fewer than 2 packets within 1 s"), std::string::npos) << out;
}

}  // namespace
}  // namespace tolvane::link::test
