// Writing a configuration into a unit against tolvane-sim paced at 9600 baud
// over a pseudo-terminal: identity check, page image, write through the
// scratch area, copy, verify, decode and log lines, against the time the
// bytes of the run need on the line (goal: at most 1.15 times that).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <stdlib.h>

#include "BenchSupport.h"
#include "common/Clock.h"
#include "config/PageMapping.h"
#include "config/Selection.h"
#include "config/WriteToUnit.h"
#include "link/TtyBridge.h"
#include "link/sim/SimProcess.h"
#include "shell/ProgramCore.h"

namespace {

using tolvane::bench::CountingBridge;

namespace fs = std::filesystem;
using namespace tolvane;
using namespace tolvane::config;

class Quiet : public IMessageBox, public IErrorDetail, public IBusyWindow, public IWriteView {
 public:
  int Show(const std::string& text, unsigned) override {
    std::fprintf(stderr, "bench_write: %s\n", text.c_str());
    return RESULT_NO;
  }
  void Show(const std::string& message, const std::string&) override {
    std::fprintf(stderr, "bench_write: %s\n", message.c_str());
  }
  void SetMessage(const std::string&) override {}
  void SetProgress(int) override {}
  void ShowValues() override {}
  void ClearFileName() override {}
  void SetWritePushed(bool) override {}
  void ShowIdentity() override {}
  void ShowDecoded() override {}
  bool NextUnit() override { return false; }
  void CloseBusy() override {}
};

double Ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

int main(int /*argc*/, char** argv) {
  link::sim::SimProcess simulator(link::sim::SimProgramBeside(argv[0]), {"--pace"});
  if (!simulator.Running()) {
    std::fprintf(stderr, "bench_write: tolvane-sim did not start\n");
    return 1;
  }
  char pattern[] = "/tmp/tolvane-bench-XXXXXX";
  const fs::path dir = mkdtemp(pattern);
  FOLDERS folders;
  folders.models = fs::path(TOLVANE_SOURCE_DATA) / "Models";
  folders.logs = dir;
  folders.settings = dir / "Settings";
  CUserRegistry registry(folders.settings);
  registry.CreateKey({"Software", "Kestrine", "Tolvane", "01"});

  RealClock clock;
  link::TtyBridge tty(simulator.root());
  CountingBridge bridge(tty);
  Quiet quiet;
  int status = 0;
  {
    CProgramCore core(folders, PROGRAM_SERVICES{quiet, quiet, quiet, bridge, clock, registry, SystemLocalTime()});
    int code = 0;
    core.Start(code);
    std::vector<std::string> found;
    core.link.FindAdapters(found, link::kAdapterVendorId, link::kAdapterProductId);
    if (found.empty()) {
      std::fprintf(stderr, "bench_write: the simulated adapter was not found\n");
      return 1;
    }
    core.link.SetSelectedDescription(found.front());
    core.StartWorker();
    IDENTIFY_RESULT result;
    if (core.IdentifyUnit(false, nullptr, result) != 1) {
      std::fprintf(stderr, "bench_write: the unit was not identified\n");
      return 1;
    }
    StartSelections(core.tables.model, core.record);
    CONFIG_NONLINEAR nonLinear;
    DecodeFromPage(core.tables.model, core.record, nonLinear.page, core.memory.Page(link::PAGE_CUSTOMER));

    std::vector<double> ratios;
    std::vector<double> walls;
    std::size_t bytes = 0;
    for (int run = 0; run < 5 && status == 0; ++run) {
      // A different height each time, so every run changes the page.
      core.record.sensorHeight = 200.0 + run;
      CNoUpload upload;
      WRITE_CONTEXT context{core.tables.model, core.record, nonLinear, core.memory, core.log, core.language,
                            core.settings,     quiet,       quiet,     quiet,       nullptr,  upload};
      bool inProgress = false;
      bridge.sent = 0;
      bridge.received = 0;
      const auto t0 = std::chrono::steady_clock::now();
      const WRITE_RUN r = WriteToUnit(context, quiet, inProgress);
      const double wall = Ms(std::chrono::steady_clock::now() - t0);
      if (r.unitsWritten != 1) {
        std::fprintf(stderr, "bench_write: the write failed: %s\n", r.failure.c_str());
        status = 1;
        break;
      }
      bytes = bridge.sent + bridge.received;
      const double line = static_cast<double>(bytes) * 10.0 / 9600.0 * 1000.0;
      walls.push_back(wall);
      ratios.push_back(wall / line);
    }
    if (status == 0) {
      std::sort(walls.begin(), walls.end());
      std::sort(ratios.begin(), ratios.end());
      const double line = static_cast<double>(bytes) * 10.0 / 9600.0 * 1000.0;
      std::printf(
          "Write to unit (identity, encode, write, verify, decode): median %.1f ms; %zu bytes on the wire, "
          "line-rate minimum %.1f ms, ratio median %.3f (min %.3f, max %.3f; target <= 1.15)\n",
          walls[walls.size() / 2], bytes, line, ratios[ratios.size() / 2], ratios.front(), ratios.back());
    }
    core.link.CloseLink();
    core.StopWorker();
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
  return status;
}
