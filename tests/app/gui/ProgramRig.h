// The whole program on the offscreen platform: the start dialog on the shipped
// data, a per-test settings store, and simulated adapters and sensors on
// simulated time. A driver answers the modal windows as they open.
#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/gui/MainForm.h"
#include "app/gui/OstrelDlg.h"
#include "link/sim/SimBridge.h"
#include "link/sim/SimSensor.h"
#include "shell/ui/DialogTestSupport.h"
#include "support/TestSupport.h"

namespace tolvane::test {

class RecordingNetwork : public INetworkServices {
 public:
  bool CheckForUpdates(CProgramCore&) override {
    ++checks;
    return false;
  }
  void SendPendingUploads(CProgramCore&) override { ++uploads; }
  int checks = 0;
  int uploads = 0;
};

class RecordingOpener : public IDocumentOpener {
 public:
  bool Open(const std::filesystem::path& file) override {
    opened.push_back(file);
    return true;
  }
  std::vector<std::filesystem::path> opened;
};

class RecordingHelp : public IHelpHook {
 public:
  void ShowHelp(int pageId) override { pages.push_back(pageId); }
  std::vector<int> pages;
};

struct ProgramRig {
  ProgramRig();

  // The settings key the installation creates, with these values set.
  void CreateSettingsKey(const std::vector<std::pair<std::string, std::string>>& values = {{"GUIDE", "FALSE"}});
  std::shared_ptr<link::sim::CSimSensor> AddSensor(link::sim::SimOptions options = {},
                                                   std::string description = "Quenby USB Device");
  // The start dialog on `bridge` and `clock`, or on the others when given.
  std::unique_ptr<COstrelDlg> MakeDialog(link::IBridge* otherBridge = nullptr, IClock* otherClock = nullptr);

  TempDir dir;
  FOLDERS folders;
  SimulatedClock clock;
  link::sim::CSimBridge bridge{clock};
  CUserRegistry registry;
  RecordingNetwork network;
  CUnitSummaryPages pages;
  RecordingHelp help;
  RecordingOpener opener;
  bool firstRun = true;
};

// Calls `handler` once for each modal window that opens, and on every poll
// for the start dialog while it is the active window (so the test can look at
// its state and act). Closes everything after `limit` with a failure. A
// handler that opens a modal window of its own must do so after it returns
// (queued): the poll is not called again while a call of it still runs.
class ModalDriver : public QObject {
 public:
  using Handler = std::function<void(QWidget& modal)>;
  explicit ModalDriver(Handler handler, int limitMs = 20000);
  ~ModalDriver() override;

  // Names of the window classes seen, in order of opening.
  std::vector<std::string> seen;

 private:
  void Poll();

  Handler handler_;
  void GiveUp();

  QTimer timer_;
  QTimer deadline_;
  QPointer<QWidget> handled_;
};

// True when the control `id` of `window` exists and is enabled. The other
// helpers (control texts, clicks, the shipped language, pictures) are the
// dialog tests' own (shell/ui/DialogTestSupport.h).
bool Enabled(QWidget& window, int id);

}  // namespace tolvane::test

namespace tolvane::test {

// A bridge that holds every Open until the test lets it go, so that a test
// sees the program while the link work is under way.
class GatedBridge final : public link::CForwardingBridge {
 public:
  using CForwardingBridge::CForwardingBridge;
  void Release() {
    std::lock_guard lock(m_);
    open_ = true;
    cv_.notify_all();
  }
  bool Waiting() const {
    std::lock_guard lock(m_);
    return waiting_;
  }

  int Open(std::uint32_t index, link::BridgeHandle& handle) override {
    {
      std::unique_lock lock(m_);
      waiting_ = true;
      cv_.wait(lock, [this] { return open_; });
      waiting_ = false;
    }
    return inner_.Open(index, handle);
  }

 private:
  mutable std::mutex m_;
  std::condition_variable cv_;
  bool open_ = false;
  bool waiting_ = false;
};

}  // namespace tolvane::test
