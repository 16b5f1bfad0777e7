// A programming run's surroundings for the tests: a simulated sensor behind
// the in-process bridge on simulated time, a log file, the shipped language
// file, recorded message boxes and recorded progress.
#pragma once

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/Clock.h"
#include "defs/LanguageFile.h"
#include "firmware/ProgramRun.h"
#include "link/UsbLink.h"
#include "link/sim/SimBridge.h"
#include "link/sim/SimSensor.h"
#include "shell/LogFile.h"
#include "support/TestSupport.h"

namespace tolvane::firmware::test {

using Bytes = std::vector<std::uint8_t>;

class RecordingEvents : public IProgramEvents {
 public:
  void OnProgress(int perMille) override {
    std::lock_guard lock(m_);
    progress.push_back(perMille);
  }
  void OnFinish(int result) override {
    std::lock_guard lock(m_);
    finished.push_back(result);
  }
  bool OnSafePoint() override {
    std::lock_guard lock(m_);
    ++safePoints;
    return stopAtSafePoint != 0 && safePoints >= stopAtSafePoint;
  }
  void OnLogLine(std::string_view tag, std::string_view text) override {
    std::lock_guard lock(m_);
    logLines.push_back(std::string(tag) + "->" + std::string(text));
  }
  int stopAtSafePoint = 0;
  std::vector<std::string> logLines;
  std::mutex m_;
  std::vector<int> progress;
  std::vector<int> finished;
  int safePoints = 0;
};

// The command codes the host sent, from the bytes it wrote.
inline std::vector<std::uint8_t> CommandsSent(const Bytes& written) {
  std::vector<std::uint8_t> codes;
  for (std::size_t i = 0; i + 2 < written.size();) {
    if (written[i] != 0xA5) {
      ++i;
      continue;
    }
    if (written[i + 1] == 0xA5) {
      i += 7;  // a wake-up packet
      continue;
    }
    codes.push_back(written[i + 2]);
    i += written[i + 1] + 4u;
  }
  return codes;
}

inline std::size_t CountOf(const std::vector<std::uint8_t>& codes, std::uint8_t code) {
  return static_cast<std::size_t>(std::count(codes.begin(), codes.end(), code));
}

struct FirmwareRig {
  SimulatedClock clock;
  link::sim::CSimBridge bridge{clock};
  link::CUsbLink link{bridge, clock};
  std::thread worker;
  tolvane::test::TempDir dir;
  CLogFile log{dir.path(), [] { return std::tm{}; }};
  CLanguageFile language{std::filesystem::path(TOLVANE_SOURCE_DATA) / "Models", nullptr};
  tolvane::test::RecordingMessages messages;
  RecordingEvents events;
  std::shared_ptr<link::sim::CSimSensor> sensor;
  CProgramTarget target;

  explicit FirmwareRig(link::sim::SimOptions options = {}) {
    sensor = std::make_shared<link::sim::CSimSensor>(std::move(options), clock.now());
    link::sim::SimAdapter a;
    a.peer = sensor;
    bridge.AddAdapter(std::move(a));
    link.SetSelectedDescription("Quenby USB Device");
    worker = std::thread([this] { link.RunWorker(); });
    log.Open();
    language.Load("Tolvane_Language.txt");
    target.events = &events;
    target.programsFolder = dir.path();
    target.link = &link;
    target.log = &log;
    target.catalogue = &language;
    target.messages = &messages;
    target.clock = &clock;
  }
  ~FirmwareRig() {
    link.QuitEvent().Set();
    worker.join();
  }

  std::filesystem::path File(const std::string& name, const Bytes& bytes) {
    const auto path = dir / name;
    tolvane::test::WriteBytes(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    return path;
  }
  int Run(const std::filesystem::path& path) {
    target.filePath = path.string();
    CProgramRunner runner(target);
    const int r = runner.Run();
    counts = runner.Counts();
    return r;
  }
  std::string Log() {
    log.Close();
    std::string text = tolvane::test::ReadBytes(dir / "logfile.txt");
    log.Open();
    return text;
  }
  std::string Text(const char* key) const { return language.Text(key, 0); }
  std::vector<std::string> Shown() const {
    std::vector<std::string> texts;
    for (const auto& [text, type] : messages.shown) {
      texts.push_back(text);
    }
    return texts;
  }
  std::vector<std::uint8_t> Commands() const { return CommandsSent(bridge.Written()); }
  RUN_COUNTS counts;
};

// Sized up front: growing a small vector by insert trips a false
// -Warray-bounds in GCC 12 at -O3.
inline Bytes Frame(std::uint8_t code, const Bytes& payload) {
  Bytes f(payload.size() + 4, 0x00);  // the stored checksum (last) is not trusted
  f[0] = 0xA5;
  f[1] = static_cast<std::uint8_t>(payload.size() + 1);
  f[2] = code;
  std::copy(payload.begin(), payload.end(), f.begin() + 3);
  return f;
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  std::size_t n = 0;
  for (const auto& p : parts) {
    n += p.size();
  }
  Bytes all(n);
  auto at = all.begin();
  for (const auto& p : parts) {
    at = std::copy(p.begin(), p.end(), at);
  }
  return all;
}

}  // namespace tolvane::firmware::test
