// The live page keeping up with a streaming sensor, offscreen: the in-process
// simulated sensor streams (50 packets a second by default) for a minute in
// real time against the page with its trend chart. Prints how many packets
// were shown of those sent, the longest wait between the reader and the
// page, how busy the window's thread was, and the resident memory at the
// start and the end (the chart's history is bounded).
//   bench_live [seconds=60] [period-ms=20] [screenshot-folder]
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "config/ui/AdvancedForm.h"
#include "link/sim/SimBridge.h"
#include "link/sim/SimSensor.h"
#include "link/ui/BigDisplay.h"
#include "link/ui/LiveTrend.h"
#include "shell/ProgramCore.h"
#include "shell/UserRegistry.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

long ResidentKb() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

class QuietMessages : public tolvane::IMessageBox {
 public:
  int Show(const std::string& text, unsigned) override {
    std::fprintf(stderr, "message: %s\n", text.c_str());
    return tolvane::RESULT_YES;
  }
};
class QuietErrors : public tolvane::IErrorDetail {
 public:
  void Show(const std::string& m, const std::string&) override { std::fprintf(stderr, "error: %s\n", m.c_str()); }
};

}  // namespace

int main(int argc, char** argv) {
  using namespace tolvane;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
  const int periodMs = argc > 2 ? std::atoi(argv[2]) : 20;
  const std::string shots = argc > 3 ? argv[3] : "";

  const fs::path home = fs::temp_directory_path() / ("tolvane-bench-live-" + std::to_string(::getpid()));
  FOLDERS folders;
  folders.models = fs::path(TOLVANE_SOURCE_DATA) / "Models";
  folders.logs = home;
  folders.program = home;
  folders.help = home / "Help";
  folders.settings = home / "Settings";
  CUserRegistry registry(folders.settings);
  registry.CreateKey({"Software", "Kestrine", "Tolvane", "01"});

  RealClock clock;
  link::sim::CSimBridge bridge(clock);
  link::sim::SimOptions options;
  options.packetPeriod = std::chrono::milliseconds(periodMs);
  auto sensor = std::make_shared<link::sim::CSimSensor>(options, clock.now());
  link::sim::SimAdapter adapter;
  adapter.peer = sensor;
  bridge.AddAdapter(std::move(adapter));
  QuietMessages messages;
  QuietErrors errors;
  CNoBusyWindow busy;
  CProgramCore core(folders,
                    PROGRAM_SERVICES{messages, errors, busy, bridge, clock, registry, [] { return std::tm{}; }});
  int code = 0;
  if (core.Start(code) != CProgramCore::StartResult::Ok) {
    std::fprintf(stderr, "bench_live: the program core does not start\n");
    return 1;
  }
  core.link.SetSelectedDescription("Quenby USB Device");
  core.StartWorker();
  IDENTIFY_RESULT identified;
  if (core.IdentifyUnit(false, nullptr, identified) != 1) {
    std::fprintf(stderr, "bench_live: the simulated unit is not identified\n");
    return 1;
  }

  int result = 0;
  {
    CBigDisplay page(core, false, [] {});
    page.resize(1100, 560);
    page.show();
    const long rssStart = ResidentKb();
    const double cpu0 = ThreadCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    page.Activate();
    const auto t0 = std::chrono::steady_clock::now();
    // The run ends at the quit: closing the page afterwards stops the reader
    // and gives the sensor its pause, which is no time of streaming. Precise
    // timers: a coarse one may fire up to 5 % late.
    double ran = 0.0;
    double busyFraction = 0.0;
    QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &app, [&] {
      ran = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      busyFraction = (ThreadCpuSeconds() - cpu0) / (static_cast<double>(wall.elapsed()) / 1000.0);
      app.quit();
    });
    long rssMid = 0;
    QTimer::singleShot(std::min(10, seconds) * 1000, Qt::PreciseTimer, &app, [&] { rssMid = ResidentKb(); });
    app.exec();
    const long long expected = static_cast<long long>(ran * 1000.0 / periodMs);
    const LIVE_PAGE_STATS& s = page.Stats();
    if (!shots.empty()) {
      page.grab().save(QString::fromStdString(shots + "/live-page.png"));
    }
    page.Deactivate();
    const long rssEnd = ResidentKb();
    std::printf("live page, %d s at one packet per %d ms (%.0f packets/s)\n", seconds, periodMs, 1000.0 / periodMs);
    std::printf("  packets sent      ~%lld\n", expected);
    std::printf("  packets shown      %lld (%.1f %%)\n", s.packets,
                100.0 * static_cast<double>(s.packets) / static_cast<double>(std::max(expected, 1LL)));
    std::printf("  reader -> label    longest %.1f ms\n", static_cast<double>(s.maxDelay.count()) / 1000.0);
    std::printf("  window thread busy %.1f %%\n", 100.0 * busyFraction);
    std::printf("  chart redraws      %lld, history %zu of %zu points\n", page.Trend()->Redraws(),
                page.Trend()->History().Size(), page.Trend()->History().Capacity());
    std::printf("  resident memory    %ld kB at start, %ld kB after 10 s, %ld kB at the end\n", rssStart, rssMid,
                rssEnd);
    result = s.packets > 0 ? 0 : 1;
  }
  if (!shots.empty()) {
    for (const int n : {core.tables.model.advancedLast + 1, 31}) {
      MODEL_DEFINITION model = core.tables.model;
      for (int r = model.advancedLast + 1; r < n; ++r) {
        ADVANCED_ENTRY& a = model.advanced[static_cast<std::size_t>(r)];
        a = model.advanced[static_cast<std::size_t>(r % (core.tables.model.advancedLast + 1))];
        a.label += " " + std::to_string(r + 1);
      }
      model.advancedInputCount = n;
      model.advancedLast = n - 1;
      std::array<ADVANCED_SLOT, kMaxAdvanced> copy = core.record.advanced;
      CAdvancedForm form(model, copy, "Inches", "Inches", core.language, core.settings, [] {});
      form.show();
      QApplication::processEvents();
      form.grab().save(QString::fromStdString(shots + "/advanced-" + std::to_string(n) + ".png"));
    }
  }
  core.StopWorker();
  fs::remove_all(home);
  return result;
}
