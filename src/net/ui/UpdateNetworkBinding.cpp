#include "net/ui/UpdateNetworkBinding.h"

#include <QCoreApplication>

#include "shell/ui/BusyWindow.h"

namespace tolvane::net {

namespace {

// How often the program's windows are repainted during a download.
constexpr auto kRepaintInterval = std::chrono::milliseconds(40);

// A busy host that tells an observer when its window has opened.
class ObservedHost final : public IBusyHost {
 public:
  ObservedHost(CDownloadBusyHost& host, const std::function<void(CDownloadBusyHost&)>& observer)
      : host_(host), observer_(observer) {}
  IBusyWindow& OpenBusy() override {
    IBusyWindow& window = host_.OpenBusy();
    if (observer_) {
      observer_(host_);
    }
    return window;
  }
  void CloseBusy() override { host_.CloseBusy(); }

 private:
  CDownloadBusyHost& host_;
  const std::function<void(CDownloadBusyHost&)>& observer_;
};

}  // namespace

CDownloadBusyHost::CDownloadBusyHost(const CLanguageFile& language, const APP_SETTINGS& settings, QWidget* parent)
    : language_(language), settings_(settings), parent_(parent) {}

CDownloadBusyHost::~CDownloadBusyHost() = default;

IBusyWindow& CDownloadBusyHost::OpenBusy() {
  window_ = std::make_unique<CBusyWindow>(language_, settings_, parent_);
  window_->show();
  window_->raise();
  Repaint();
  return *this;
}

void CDownloadBusyHost::CloseBusy() { window_.reset(); }

void CDownloadBusyHost::SetMessage(const std::string& text) {
  if (window_) {
    window_->SetMessage(text);
  }
  Repaint();
}

void CDownloadBusyHost::SetProgress(int percent) {
  if (window_) {
    window_->SetProgress(percent);
  }
  const auto now = std::chrono::steady_clock::now();
  if (now - lastRepaint_ >= kRepaintInterval || percent >= 100) {
    Repaint();
  }
}

void CDownloadBusyHost::Repaint() {
  lastRepaint_ = std::chrono::steady_clock::now();
  // Paint and layout only: no click reaches the program while it downloads.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

CUpdateNetworkBinding::CUpdateNetworkBinding(CProgramCore& core, IDocumentOpener& opener, IClock& clock,
                                             HTTP_LIMITS limits)
    : core_(core), opener_(opener), clock_(clock), limits_(limits) {}

UPLOAD_CONTEXT CUpdateNetworkBinding::Context(IBusyHost* busy) const {
  UPLOAD_CONTEXT c{core_.tables.program, core_.folders,           core_.language,        core_.settings,
                   core_.store,          core_.services.messages, core_.services.errors, clock_};
  c.log = &core_.log;
  c.opener = &opener_;
  c.busy = busy;
  c.limits = limits_;
  return c;
}

bool CUpdateNetworkBinding::CheckServerForUpdates(QWidget* parent) {
  CDownloadBusyHost host(core_.language, core_.settings, parent);
  ObservedHost observed(host, observer_);
  CUploadServer session(kAgentApplication, Context(&observed));
  return session.CheckServerForUpdates().closeProgram;
}

void CUpdateNetworkBinding::UploadPending() {
  CUploadServer session(kAgentApplication, Context(nullptr));
  session.UploadPending();
}

bool CUpdateNetworkBinding::QueueRecord(const CONFIG_RECORD& record, const MODEL_DEFINITION& model) {
  CUploadServer session(kAgentWrite, Context(nullptr));
  return session.QueueRecord(record, model);
}

void CUpdateNetworkBinding::UploadPendingAfterWrite() {
  CUploadServer session(kAgentWrite, Context(nullptr));
  session.UploadPending();
}

bool CUpdateNetworkBinding::OnCheckForUpdates(QWidget* parent) {
  CDownloadBusyHost host(core_.language, core_.settings, parent);
  ObservedHost observed(host, observer_);
  CUploadServer session(kAgentUpdatesPage, Context(&observed));
  return session.OnCheckForUpdates();
}

bool CUpdateNetworkBinding::UploadOptOut() const { return core_.settings.optOut; }

void CUpdateNetworkBinding::SetUploadOptOut(bool optOut) {
  CUploadServer session(kAgentUpdatesPage, Context(nullptr));
  bool checked = !optOut;
  session.OnOptOutClicked(checked);
}

std::string CUpdateNetworkBinding::ContextHelpTopic() const {
  CUploadServer session(kAgentUpdatesPage, Context(nullptr));
  return session.ContextHelpTopic();
}

}  // namespace tolvane::net
