// Sensor link commands: list the adapters, connect to a sensor, follow its
// streaming packets.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/cli/CliCore.h"
#include "app/cli/Commands.h"
#include "common/CheckedFormat.h"
#include "common/Clock.h"
#include "common/Folders.h"
#include "defs/AppSettings.h"
#include "defs/ConfigRecord.h"
#include "defs/LanguageFile.h"
#include "defs/ModelFile.h"
#include "link/LiveDisplay.h"
#include "link/TtyBridge.h"
#include "link/UsbLink.h"

namespace tolvane::cli {

namespace {

using namespace tolvane::link;

// The link with its worker thread, on the machine's USB serial adapters.
class LinkSession {
 public:
  LinkSession() : bridge_(DeviceRootFromEnvironment()), link_(bridge_, clock_) {
    worker_ = std::thread([this] { link_.RunWorker(); });
  }
  ~LinkSession() {
    link_.CloseLink();
    link_.QuitEvent().Set();
    link_.QuitDoneEvent().WaitFor(clock_, std::chrono::milliseconds(1000));
    worker_.join();
  }
  LinkSession(const LinkSession&) = delete;
  LinkSession& operator=(const LinkSession&) = delete;

  CUsbLink& link() { return link_; }
  IClock& clock() { return clock_; }

  // Finds the adapters and selects one; prints why when it cannot. Returns 0
  // or the program's exit status.
  int SelectAdapter(const std::string& wanted) { return cli::SelectAdapter(link_, wanted); }

 private:
  RealClock clock_;
  TtyBridge bridge_;
  CUsbLink link_;
  std::thread worker_;
};

// Prints each streaming packet in display units, as the live page computes
// them, and counts them.
class PrintingSink : public ILiveSink {
 public:
  PrintingSink(const CLiveDisplayState& state, IClock& clock, bool csv, bool raw)
      : state_(state), clock_(clock), start_(clock.now()), csv_(csv), raw_(raw) {}
  void OnStreamPacket(int check, const std::array<std::uint8_t, 6>& p) override {
    const LIVE_READING r = DecodeLivePacket(check, p, state_.Scale());
    const double t = std::chrono::duration<double>(clock_.now() - start_).count();
    std::string relays;
    for (const bool on : r.relays) {
      relays += on ? '1' : '0';
    }
    std::string line;
    if (csv_) {
      line = Format("%.3f,%u,%s,%s,%s", t, r.distance, Trim(r.levelText).c_str(), Trim(r.distanceText).c_str(),
                    relays.c_str());
    } else {
      line = Format("%9.3f  %5u  %9s  %9s  %s", t, r.distance, r.levelText.c_str(), r.distanceText.c_str(),
                    relays.c_str());
    }
    if (raw_) {
      line += (csv_ ? "," : "  ") + PacketBytesText(p);
      while (!line.empty() && line.back() == ' ') {
        line.pop_back();
      }
    }
    if (check != 6) {
      line += csv_ ? ",check failed" : "  check failed";
    }
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    std::lock_guard lock(m_);
    ++count_;
    cv_.notify_all();
  }
  bool WaitFor(int n, std::chrono::milliseconds limit) {
    std::unique_lock lock(m_);
    return cv_.wait_for(lock, limit, [&] { return count_ >= n; });
  }

 private:
  static std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(' ');
    return b == std::string::npos ? std::string() : s.substr(b);
  }
  const CLiveDisplayState& state_;
  IClock& clock_;
  IClock::time_point start_;
  bool csv_;
  bool raw_;
  std::mutex m_;
  std::condition_variable cv_;
  int count_ = 0;
};

// The model whose units the readings are shown in: a path, or a name of the
// models folder. Empty when none is asked for.
int LoadLiveModel(const std::string& file, MODEL_TABLES& tables) {
  if (file.empty()) {
    return 0;
  }
  const FOLDERS folders = ProgramFolders();
  APP_SETTINGS settings;
  CLanguageFile language(folders.models, nullptr, folders.installedModels);
  CONFIG_RECORD record;
  const std::filesystem::path path(file);
  const bool named = !path.has_parent_path();
  CModelFile parser(named ? std::filesystem::path(folders.models) : path.parent_path(), tables, settings, language,
                    record, nullptr, nullptr,
                    named ? std::filesystem::path(folders.installedModels) : path.parent_path());
  parser.ResetModel();
  const int loaded = named ? parser.LoadModelByName(file, 0) : parser.LoadModel(path, 0);
  if (loaded != 1) {
    std::fprintf(stderr, "error: no model file %s\n", file.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

CommandRunner AddLinkCommands(CLI::App& app) {
  struct Options {
    std::string adapter;
    int count = 10;
    int timeout = 10;
    std::string model, units;
    double sensorHeight = 0.0;
    bool csv = false, raw = false, resume = false;
  };
  auto opts = std::make_shared<Options>();
  auto* adapters = app.add_subcommand("adapters", "List the sensor adapters that are plugged in");
  auto* connect = app.add_subcommand("connect", "Bring the sensor into command mode and report how long it took");
  connect->add_option("--adapter", opts->adapter, "Description of the adapter to use when there are several");
  auto* live = app.add_subcommand("live",
                                  "Follow the sensor's streaming readings (time, raw distance, level, "
                                  "distance, relays 1-4) without bringing it into command mode");
  live->add_option("--adapter", opts->adapter, "Description of the adapter to use when there are several");
  live->add_option("--count", opts->count, "Number of packets to print")->check(CLI::Range(1, 1000000));
  live->add_option("--timeout", opts->timeout, "Give up after this many seconds without the packets")
      ->check(CLI::Range(1, 3600));
  live->add_option("--model", opts->model,
                   "Model file whose units convert the readings (a name of the models folder or a path)");
  live->add_option("--units", opts->units, "Units to show the level and distance in (a UNITS name of the model)");
  live->add_option("--sensor-height", opts->sensorHeight,
                   "Sensor height in those units (the level is measured from it)")
      ->check(CLI::Range(0.0, 1e6));
  live->add_flag("--csv", opts->csv, "Comma-separated lines");
  live->add_flag("--raw", opts->raw, "Also print the packet's six bytes");
  live->add_flag("--resume", opts->resume, "Send the resume-streaming command first (a sensor left in command mode)");

  return [adapters, connect, live, opts]() -> std::optional<int> {
    if (adapters->parsed()) {
      LinkSession session;
      std::vector<std::string> found;
      const int n = session.link().FindAdapters(found, kAdapterVendorId, kAdapterProductId);
      if (n < 0) {
        std::fprintf(stderr, "error: USB serial adapters cannot be found on this system\n");
        return 2;
      }
      if (n == 0) {
        std::printf("no sensor adapter found\n");
        return 1;
      }
      for (const auto& port : BuildPortList(found)) {
        std::printf("%s\t%s\n", port.label.c_str(), port.description.c_str());
      }
      return 0;
    }
    if (connect->parsed()) {
      LinkSession session;
      if (const int rc = session.SelectAdapter(opts->adapter); rc != 0) {
        return rc;
      }
      const auto t0 = session.clock().now();
      const int result = session.link().ConnectUnit();
      const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(session.clock().now() - t0).count();
      std::printf("ConnectUnit: %d (%lld ms)\n", result, static_cast<long long>(ms));
      return result == 0 ? 0 : 1;
    }
    if (live->parsed()) {
      auto tables = std::make_unique<MODEL_TABLES>();
      if (const int rc = LoadLiveModel(opts->model, *tables); rc != 0) {
        return rc;
      }
      int unitsIndex = opts->model.empty() ? -1 : 0;
      if (!opts->units.empty()) {
        const auto names = LiveUnitNames(tables->model);
        const auto it = std::find(names.begin(), names.end(), opts->units);
        if (opts->model.empty() || it == names.end()) {
          std::fprintf(stderr, "error: the model has no units %s\n", opts->units.c_str());
          return 2;
        }
        unitsIndex = static_cast<int>(it - names.begin());
      }
      LinkSession session;
      if (const int rc = session.SelectAdapter(opts->adapter); rc != 0) {
        return rc;
      }
      CUsbLink& link = session.link();
      // As the live page does: back to the running state when the link is
      // open, then open the link without the connect procedure.
      if (link.IsLinkOpen()) {
        std::array<std::uint8_t, 8> frame{};
        link.ExecuteCommand(1, CMD_RESUME_STREAMING, frame, 200);
      }
      if (link.OpenLink() != 0) {
        std::fprintf(stderr, "error: the adapter cannot be opened\n");
        return 1;
      }
      if (opts->resume) {
        std::array<std::uint8_t, 8> frame{};
        link.ExecuteCommand(1, CMD_RESUME_STREAMING, frame, 200);
      }
      CLiveDisplayState state(tables->model);
      state.Activate(unitsIndex, opts->sensorHeight, session.clock().now());
      if (opts->csv) {
        std::printf("time,raw,level,distance,relays%s\n", opts->raw ? ",bytes" : "");
      }
      PrintingSink sink(state, session.clock(), opts->csv, opts->raw);
      CLiveReaderThread reader(link, session.clock());
      reader.Start(sink);
      // Until the packets came, the time is up, or the adapter is gone.
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(opts->timeout);
      bool all = false;
      bool gone = false;
      while (!(all = sink.WaitFor(opts->count, std::chrono::milliseconds(200)))) {
        gone = link.AdapterGone();
        if (gone || std::chrono::steady_clock::now() >= deadline) {
          break;
        }
      }
      reader.Stop();
      link.CloseLink();
      if (gone) {
        std::fprintf(stderr, "error: the adapter was unplugged\n");
        return 1;
      }
      if (!all) {
        std::fprintf(stderr, "error: fewer than %d packets within %d s\n", opts->count, opts->timeout);
        return 1;
      }
      return 0;
    }
    return std::nullopt;
  };
}

}  // namespace tolvane::cli
