// Sensor link commands: list the adapters, connect to a sensor, follow its
// streaming packets.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/cli/CliCore.h"
#include "app/cli/Commands.h"
#include "common/Clock.h"
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

// Prints each streaming packet and counts them.
class PrintingSink : public ILiveSink {
 public:
  void OnStreamPacket(int check, const std::array<std::uint8_t, 6>& p) override {
    std::printf("%02X %02X %02X %02X %02X %02X %s\n", p[0], p[1], p[2], p[3], p[4], p[5],
                check == 6 ? "ok" : "check failed");
    std::fflush(stdout);
    std::lock_guard lock(m_);
    ++count_;
    cv_.notify_all();
  }
  bool WaitFor(int n, std::chrono::seconds limit) {
    std::unique_lock lock(m_);
    return cv_.wait_for(lock, limit, [&] { return count_ >= n; });
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  int count_ = 0;
};

}  // namespace

CommandRunner AddLinkCommands(CLI::App& app) {
  struct Options {
    std::string adapter;
    int count = 10;
    int timeout = 10;
  };
  auto opts = std::make_shared<Options>();
  auto* adapters = app.add_subcommand("adapters", "List the sensor adapters that are plugged in");
  auto* connect = app.add_subcommand("connect", "Bring the sensor into command mode and report how long it took");
  connect->add_option("--adapter", opts->adapter, "Description of the adapter to use when there are several");
  auto* live = app.add_subcommand("live", "Print the sensor's streaming packets");
  live->add_option("--adapter", opts->adapter, "Description of the adapter to use when there are several");
  live->add_option("--count", opts->count, "Number of packets to print")->check(CLI::Range(1, 1000000));
  live->add_option("--timeout", opts->timeout, "Give up after this many seconds without the packets")
      ->check(CLI::Range(1, 3600));

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
      LinkSession session;
      if (const int rc = session.SelectAdapter(opts->adapter); rc != 0) {
        return rc;
      }
      CUsbLink& link = session.link();
      const int connected = link.ConnectUnit();
      if (connected != 0) {
        std::fprintf(stderr, "error: the sensor does not answer (ConnectUnit %d)\n", connected);
        return 1;
      }
      // Back to the running state, then read what it streams.
      std::array<std::uint8_t, 8> frame{};
      link.ExecuteCommand(1, CMD_RESUME_STREAMING, frame, 200);
      if (link.OpenLink() != 0) {
        std::fprintf(stderr, "error: the adapter cannot be opened\n");
        return 1;
      }
      PrintingSink sink;
      link.SetNotificationSink(&sink);
      std::thread reader([&link] { link.RunLiveReader(); });
      const bool all = sink.WaitFor(opts->count, std::chrono::seconds(opts->timeout));
      link.RequestReaderStop();
      reader.join();
      link.SetNotificationSink(nullptr);
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
