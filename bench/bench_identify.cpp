// Identification of a unit against tolvane-sim paced at 9600 baud: connect,
// read the four pages and the information memory. Prints the wall time and
// its ratio to the line-rate minimum.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "common/Clock.h"
#include "defs/AppSettings.h"
#include "defs/LanguageFile.h"
#include "link/TtyBridge.h"
#include "link/UnitMemory.h"
#include "link/UsbLink.h"
#include "link/sim/SimProcess.h"

namespace {

using namespace tolvane;
using namespace tolvane::link;

class NoErrors : public IErrorDetail {
 public:
  void Show(const std::string&, const std::string&) override {}
};
class NoBox : public IMessageBox {
 public:
  int Show(const std::string&, unsigned) override { return RESULT_OK; }
};

double Ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }
double LineMs(double bytes) { return bytes * 10.0 / 9600.0 * 1000.0; }

}  // namespace

int main(int /*argc*/, char** argv) {
  sim::SimProcess sim(sim::SimProgramBeside(argv[0]), {"--pace", "--identity", "qr27"});
  if (!sim.Running()) {
    std::fprintf(stderr, "bench_identify: tolvane-sim did not start\n");
    return 1;
  }
  RealClock clock;
  TtyBridge bridge(sim.root());
  CUsbLink link(bridge, clock);
  std::thread worker([&link] { link.RunWorker(); });
  CLanguageFile language("/nonexistent", nullptr);
  APP_SETTINGS settings;
  NoErrors errors;
  NoBox box;
  CUnitMemory memory(link, language, settings, errors, box);
  std::vector<std::string> found;
  int status = 0;
  if (link.FindAdapters(found, kAdapterVendorId, kAdapterProductId) != 1) {
    std::fprintf(stderr, "bench_identify: the simulated adapter was not found\n");
    status = 1;
  } else {
    link.SetSelectedDescription(found.front());
    // What must pass the line one after the other: per block read the
    // command up to its checksum (6), the acknowledgement with its trailing
    // zero (7) and the data frame (69); 32 page blocks and 2 information
    // memory blocks. The connect procedure's own pauses are 200 ms.
    const double readBytes = 34.0 * (6 + 7 + 69);
    const double minimum = 200.0 + LineMs(readBytes);
    double best = 1e9;
    for (int run = 0; run < 3 && status == 0; ++run) {
      link.CloseLink();
      const auto t0 = std::chrono::steady_clock::now();
      const int rc = link.ConnectUnit() != 0                                                   ? 1
                     : memory.ReadPages(-1, memory.Pages(), nullptr, 30, 40, 50, nullptr) != 0 ? 2
                     : memory.ReadInfoMemory(memory.Info()) != 0                               ? 3
                                                                                               : 0;
      const double wall = Ms(std::chrono::steady_clock::now() - t0);
      if (rc != 0) {
        std::fprintf(stderr, "bench_identify: step %d failed\n", rc);
        status = 1;
      }
      best = std::min(best, wall);
      std::printf("identification run %d: %.1f ms\n", run + 1, wall);
    }
    if (status == 0) {
      std::printf(
          "identification (ConnectUnit + ReadPages(-1) + ReadInfoMemory): best %.1f ms; line-rate minimum "
          "%.1f ms (200 ms pauses + %.0f bytes at 9600 baud); ratio %.3f (target <= 1.15)\n",
          best, minimum, readBytes, best / minimum);
    }
  }
  link.CloseLink();
  link.QuitEvent().Set();
  worker.join();
  return status;
}
