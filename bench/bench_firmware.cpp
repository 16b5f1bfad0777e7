// Programming firmware into tolvane-sim paced at 9600 baud over a
// pseudo-terminal: a 16 KiB and a 128 KiB-class encrypted image, each against
// its line-rate minimum (every byte on the wire at 10 bits, the erase's
// 1000 ms and the unit's flash time per packet; goal: ratio at most 1.05),
// with the page's progress signal count per run (at most 1001). Also the CRC
// verification and the splitting pass of 16 KiB and 128 KiB combined files.
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "common/Clock.h"
#include "common/FileSystem.h"
#include "firmware/ProgramFiles.h"
#include "firmware/ProgramRun.h"
#include "link/TtyBridge.h"
#include "link/sim/SimProcess.h"
#include "link/sim/SimSensor.h"
#include "shell/ProgramCore.h"

namespace {

using tolvane::bench::CountingBridge;

namespace fs = std::filesystem;
using namespace tolvane;
using namespace tolvane::firmware;

constexpr double kFlashMs = 2.0;     // tolvane-sim's default flash time per packet
constexpr double kEraseMs = 1000.0;  // the erase's specified time

class Quiet : public IMessageBox, public IErrorDetail, public IBusyWindow, public IProgramEvents {
 public:
  int Show(const std::string& text, unsigned) override {
    std::fprintf(stderr, "bench_firmware: %s\n", text.c_str());
    return RESULT_NO;
  }
  void Show(const std::string& message, const std::string&) override {
    std::fprintf(stderr, "bench_firmware: %s\n", message.c_str());
  }
  void SetMessage(const std::string&) override {}
  void SetProgress(int) override {}
  void OnProgress(int) override { ++progress; }
  void OnFinish(int r) override {
    result = r;
    finishedAt = std::chrono::steady_clock::now();
  }
  std::chrono::steady_clock::time_point finishedAt;
  int progress = 0;
  int result = 1;
};

double Ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void WriteAll(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  WriteFileReplacing(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void BenchFilePasses(const fs::path& dir) {
  for (std::size_t size : {std::size_t{16384}, std::size_t{131071}}) {
    const auto image = link::sim::MakeSimImage("QR27", 524, size, 3);
    const fs::path file = dir / "bench.fp2";
    WriteAll(file, PackCombined("QR27-52p4", {{TAG_FEP, image}}));
    constexpr int kRuns = 200;
    const auto t0 = std::chrono::steady_clock::now();
    int ok = 0;
    for (int i = 0; i < kRuns; ++i) {
      ok += VerifyCombinedFile(file).code == 0 ? 1 : 0;
    }
    const double verify = Ms(std::chrono::steady_clock::now() - t0) / kRuns;
    // The splitting pass's work: each record's body copied to its temporary file.
    const auto t1 = std::chrono::steady_clock::now();
    for (int i = 0; i < kRuns; ++i) {
      bool whole = false;
      for (const COMBINED_RECORD& r : ListCombinedRecords(file, whole)) {
        if (r.tag == TAG_FEP) {
          std::string bytes;
          ReadFileBounded(file, 200000, bytes);
          WriteFileReplacing(dir / "temp1.fep", std::string_view(bytes).substr(r.offset + 8, r.length));
        }
      }
    }
    const double split = Ms(std::chrono::steady_clock::now() - t1) / kRuns;
    std::printf("Combined file of a %zu-byte image: CRC verification %.3f ms, split %.3f ms (%d/%d verified)\n", size,
                verify, split, ok, kRuns);
  }
}

}  // namespace

int main(int /*argc*/, char** argv) {
  char pattern[] = "/tmp/tolvane-bench-XXXXXX";
  const fs::path dir = mkdtemp(pattern);
  BenchFilePasses(dir);

  link::sim::SimProcess simulator(link::sim::SimProgramBeside(argv[0]), {"--pace"});
  if (!simulator.Running()) {
    std::fprintf(stderr, "bench_firmware: tolvane-sim did not start\n");
    return 1;
  }
  FOLDERS folders;
  folders.models = fs::path(TOLVANE_SOURCE_DATA) / "Models";
  folders.logs = dir;
  folders.programs = dir;
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
      std::fprintf(stderr, "bench_firmware: the simulated adapter was not found\n");
      return 1;
    }
    core.link.SetSelectedDescription(found.front());
    core.StartWorker();
    for (std::size_t size : {std::size_t{16384}, std::size_t{131071}}) {
      const fs::path file = dir / ("image" + std::to_string(size) + ".fep");
      WriteAll(file, link::sim::MakeSimImage("QR27", 524, size, 11));
      // Connected first, so that the run measures the programming itself.
      core.link.ConnectUnit();
      Quiet events;
      CProgramTarget target;
      target.events = &events;
      target.filePath = file.string();
      target.programsFolder = dir;
      target.link = &core.link;
      target.log = &core.log;
      target.catalogue = &core.language;
      target.messages = &quiet;
      target.clock = &clock;
      bridge.sent = 0;
      bridge.received = 0;
      CProgramRunner runner(target);
      // The run as the page starts it, up to its finish (the link is open, so
      // the connect costs nothing).
      const auto t0 = std::chrono::steady_clock::now();
      const int r = runner.RunEncrypted();
      const double wall = Ms(events.finishedAt - t0);
      if (r != 0) {
        std::fprintf(stderr, "bench_firmware: the run failed with %d\n", r);
        status = 1;
        break;
      }
      const std::size_t bytes = bridge.sent + bridge.received;
      const int packets = runner.Counts().dataPackets;
      const double line = static_cast<double>(bytes) * 10.0 / 9600.0 * 1000.0 + kEraseMs + packets * kFlashMs;
      std::printf(
          "Encrypted image of %zu bytes (%d packets): wall %.0f ms; %zu bytes on the wire, line-rate minimum "
          "%.0f ms; ratio %.3f (target <= 1.05); progress signals per run %d (limit 1001)\n",
          size, packets, wall, bytes, line, wall / line, events.progress);
      std::fflush(stdout);
    }
    core.link.CloseLink();
    core.StopWorker();
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
  return status;
}
