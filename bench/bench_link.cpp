// The link against tolvane-sim paced at 9600 baud over a pseudo-terminal:
// how long ConnectUnit takes on a sensor in command mode, and how close 32
// block reads come to the line rate.

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "common/Clock.h"
#include "link/TtyBridge.h"
#include "link/UsbLink.h"
#include "link/sim/SimProcess.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace tolvane;
using namespace tolvane::link;

double Ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

int main(int /*argc*/, char** argv) {
  sim::SimProcess simulator(sim::SimProgramBeside(argv[0]), {"--pace"});
  if (!simulator.Running()) {
    std::fprintf(stderr, "bench_link: tolvane-sim did not start\n");
    return 1;
  }
  const fs::path root = simulator.root();

  int status = 0;
  {
    RealClock clock;
    TtyBridge bridge(root);
    CUsbLink link(bridge, clock);
    std::thread worker([&link] { link.RunWorker(); });
    std::vector<std::string> found;
    if (link.FindAdapters(found, kAdapterVendorId, kAdapterProductId) != 1) {
      std::fprintf(stderr, "bench_link: the simulated adapter was not found\n");
      status = 1;
    } else {
      link.SetSelectedDescription(found.front());

      // ConnectUnit on a sensor in command mode, several times.
      std::vector<double> connect;
      for (int i = 0; i < 7 && status == 0; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        const int rc = link.ConnectUnit();
        connect.push_back(Ms(std::chrono::steady_clock::now() - t0));
        if (rc != 0) {
          std::fprintf(stderr, "bench_link: ConnectUnit returned %d\n", rc);
          status = 1;
        }
        link.CloseLink();
      }
      std::sort(connect.begin(), connect.end());
      if (status == 0) {
        std::printf(
            "ConnectUnit, sensor in command mode: median %.1f ms, min %.1f ms, max %.1f ms "
            "(target <= 250 ms, 200 ms of it the protocol's own pauses)\n",
            connect[connect.size() / 2], connect.front(), connect.back());
      }

      // 32 block reads: command 0x31, acknowledgement, data frame.
      if (status == 0 && link.ConnectUnit() == 0) {
        link.FlushQueues();
        std::this_thread::sleep_for(50ms);  // let the probe's last answers drain
        link.FlushQueues();
        constexpr int kBlocks = 32;
        std::size_t wireBytes = 0;
        const auto t0 = std::chrono::steady_clock::now();
        for (int b = 0; b < kBlocks && status == 0; ++b) {
          std::array<std::uint8_t, 8> cmd{};
          cmd[3] = static_cast<std::uint8_t>(b / 8 + 1);
          cmd[4] = static_cast<std::uint8_t>(b % 8);
          std::array<std::uint8_t, 100> frame{};
          if (link.ExecuteCommand(3, CMD_READ_BLOCK, cmd, 200) != 0 || link.ReceiveFrame(frame, 100, 200) != 69 ||
              ByteSum(std::span<const std::uint8_t>(frame).first(68)) != frame[68]) {
            std::fprintf(stderr, "bench_link: block read %d failed\n", b);
            status = 1;
          }
          // Command (7), acknowledgement with its trailing zero (7), data frame with its zero (70).
          wireBytes += 7 + 7 + 70;
        }
        const double wall = Ms(std::chrono::steady_clock::now() - t0);
        const auto lineMs = [](std::size_t bytes) { return static_cast<double>(bytes) * 10.0 / 9600.0 * 1000.0; };
        // The line is full duplex: a frame's trailing zero overlaps the next
        // transfer. What must pass one after the other per read: the 6 bytes
        // the sensor needs before it answers, its acknowledgement with the
        // zero (7) and the 69 bytes of the data frame.
        const std::size_t criticalBytes = static_cast<std::size_t>(kBlocks) * (6 + 7 + 69);
        if (status == 0) {
          std::printf(
              "32 block reads: %.1f ms; %zu bytes on the wire, line-rate minimum %.1f ms, ratio %.3f "
              "(target <= 1.15)\n",
              wall, wireBytes, lineMs(wireBytes), wall / lineMs(wireBytes));
          std::printf("32 block reads: %zu bytes in sequence (trailing zeros overlap), minimum %.1f ms, ratio %.3f\n",
                      criticalBytes, lineMs(criticalBytes), wall / lineMs(criticalBytes));
        }
      }
    }
    link.CloseLink();
    link.QuitEvent().Set();
    worker.join();
  }
  return status;
}
