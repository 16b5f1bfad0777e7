// The web session against the tests' HTTP peer on the loopback interface:
// 1000 queued records sent (goal: at most 1 s, on one connection), and a
// 50 MiB installer downloaded (goal: at least half the speed at which a bare
// socket reads the same reply from the peer, the resident memory growing by
// less than 8 MiB: the body is streamed to disk, never held whole).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>

#include <stdlib.h>

#include "net/HttpPeer.h"
#include "net/PendingUploads.h"
#include "net/UploadServer.h"
#include "shell/UserRegistry.h"

namespace {

namespace fs = std::filesystem;
using namespace tolvane;
using namespace tolvane::net;

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

long StatusKiB(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string key = std::string(field) + ":";
  while (std::getline(in, line)) {
    if (line.rfind(key, 0) == 0) {
      return std::atol(line.c_str() + key.size());
    }
  }
  return -1;
}

// Reads the whole reply to a GET of `path` with a bare socket: the peer's
// own speed. The bytes received.
long long BareRead(int port, const std::string& path) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return -1;
  }
  const std::string request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
  (void)!::write(fd, request.data(), request.size());
  static char buffer[1 << 16];
  long long total = 0;
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) {
      break;
    }
    total += n;
  }
  ::close(fd);
  return total;
}

class Silent final : public IMessageBox, public IErrorDetail {
 public:
  int Show(const std::string& text, unsigned) override {
    std::fprintf(stderr, "message: %s\n", text.c_str());
    return RESULT_NO;
  }
  void Show(const std::string& message, const std::string& detail) override {
    std::fprintf(stderr, "error: %s %s\n", message.c_str(), detail.c_str());
  }
};

class NoBusy final : public IBusyWindow {
 public:
  void SetMessage(const std::string&) override {}
  void SetProgress(int p) override { last = p; }
  int last = -1;
};

}  // namespace

int main() {
  char pattern[] = "/tmp/tolvane-bench-XXXXXX";
  const fs::path dir = mkdtemp(pattern);
  int status = 0;
  {
    test::HttpPeer peer(dir / "peer");
    if (peer.Port() == 0) {
      std::fprintf(stderr, "bench_web_session: the HTTP peer did not start\n");
      return 1;
    }
    std::string corporate = "Kestrine";
    std::string programName = "Tolvane";
    CUserRegistry registry(dir / "Settings");
    registry.CreateKey({"Software", corporate, programName, "01"});
    APP_SETTINGS settings;
    CSettingsStore store(registry, corporate, programName, settings, dir / "Models",
                         [](const fs::path&, APP_SETTINGS&) { return false; });
    store.WriteBool("OPTOUT", false);
    PROGRAM_INFO program;
    program.corporateId = corporate;
    program.installerId = "TolvaneSetup";
    program.server = peer.Server();
    program.subDir = "tolvane";
    FOLDERS folders;
    folders.logs = dir / "Logs";
    folders.programs = dir / "Programs";
    fs::create_directories(folders.logs);
    fs::create_directories(folders.programs);
    CLanguageFile language(fs::path(TOLVANE_SOURCE_DATA) / "Models", nullptr);
    language.Load("Tolvane_Language.txt");
    Silent silent;
    RealClock clock;
    UPLOAD_CONTEXT context{program, folders, language, settings, store, silent, silent, clock};
    CUploadServer session(kAgentApplication, context);

    // 1000 queued records.
    std::vector<std::string> records;
    for (int i = 0; i < 1000; ++i) {
      records.push_back("M=QR25-2W&S=" + std::to_string(250000 + i) + "&U=Model:%20QR25-LVL&t=Tank%20" +
                        std::to_string(i) +
                        "&MFN=QRModel_QR25.txt&MFR=1.01&FWN=QR25-LVL&FWR=0258&C0=3&C1=1&C2=4&C3=3&C4=2&C5=0"
                        "&C6=0&C7=0&CN=5&UN=3&SH=150.0&FH=120.0&L5=120.0&L4=105.0&L3=-1.0&L2=-1.0&L1=20.0"
                        "&L0=0.0&A1=1&V1=5.0");
    }
    CPendingUploads(PendingFilePath(folders.logs, corporate)).Replace(records);
    store.WriteBool("PENDING", true);
    peer.ClearRequests();
    UPLOAD_REPORT report;
    const auto t0 = std::chrono::steady_clock::now();
    const bool failed = session.UploadPending(&report);
    const double sendSeconds = Seconds(std::chrono::steady_clock::now() - t0);
    std::set<int> connections;
    const auto logged = peer.Requests();
    for (const auto& r : logged) {
      connections.insert(r.clientPort);
    }
    std::printf(
        "upload: %d records in %d requests sent in %.3f s (%.0f requests/s) on %zu connection(s); "
        "goal <= 1.000 s on 1\n",
        report.recordsSent, report.requests, sendSeconds, report.requests / sendSeconds, connections.size());
    if (failed || report.recordsSent != 1000 || sendSeconds > 1.0 || connections.size() != 1) {
      status = 1;
    }

    // A 50 MiB installer.
    const std::size_t size = 50u * 1024 * 1024;
    peer.AddInstaller("tolvane", "TolvaneSetupver9p1.deb", size);
    BareRead(peer.Port(), "/tolvane/TolvaneSetupver9p1.deb");  // warm the peer's page cache
    const auto b0 = std::chrono::steady_clock::now();
    const long long bare = BareRead(peer.Port(), "/tolvane/TolvaneSetupver9p1.deb");
    const double bareSeconds = Seconds(std::chrono::steady_clock::now() - b0);
    const double bareRate = static_cast<double>(bare) / bareSeconds / (1024 * 1024);

    { std::ofstream("/proc/self/clear_refs") << "5"; }  // the peak resident size starts again here
    const long rssBefore = StatusKiB("VmRSS");
    NoBusy busy;
    session.SetProgressWindow(&busy);
    const auto d0 = std::chrono::steady_clock::now();
    const bool downloadFailed = session.DownloadProgram("TolvaneSetupver9p1.deb");
    const double downloadSeconds = Seconds(std::chrono::steady_clock::now() - d0);
    const long peak = StatusKiB("VmHWM");
    const double rate = static_cast<double>(size) / downloadSeconds / (1024 * 1024);
    const double growthMiB = static_cast<double>(peak - rssBefore) / 1024.0;
    std::error_code ec;
    const auto written = fs::file_size(folders.programs / "TolvaneSetupver9p1.deb", ec);
    std::printf(
        "download: 50 MiB in %.3f s = %.1f MiB/s; bare socket read %.1f MiB/s (ratio %.2f, goal >= 0.50); "
        "resident memory grew by %.2f MiB at its peak (goal < 8); progress ended at %d\n",
        downloadSeconds, rate, bareRate, rate / bareRate, growthMiB, busy.last);
    if (downloadFailed || written != size || rate < bareRate / 2 || growthMiB >= 8.0) {
      status = 1;
    }
  }
  fs::remove_all(dir);
  return status;
}
