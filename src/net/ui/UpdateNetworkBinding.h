// The web session's windows: the start-up check and the pending uploads of
// the main window, the write's upload queue, and the updates page's button
// and upload box, each bound to the run's objects. A download shows the busy
// window (dialog 111) with its progress, and the program's windows repaint
// while it runs.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "common/Clock.h"
#include "net/UploadServer.h"
#include "firmware/ui/UpdatePageNetwork.h"
#include "shell/GuideProcedure.h"
#include "shell/ProgramCore.h"

class QWidget;

namespace tolvane {

class CBusyWindow;

namespace net {

// Creates the busy window of a download and keeps the program's windows
// painted while the download blocks this thread.
class CDownloadBusyHost final : public IBusyHost, public IBusyWindow {
 public:
  CDownloadBusyHost(const CLanguageFile& language, const APP_SETTINGS& settings, QWidget* parent);
  ~CDownloadBusyHost() override;
  CDownloadBusyHost(const CDownloadBusyHost&) = delete;
  CDownloadBusyHost& operator=(const CDownloadBusyHost&) = delete;

  IBusyWindow& OpenBusy() override;
  void CloseBusy() override;
  void SetMessage(const std::string& text) override;
  void SetProgress(int percent) override;

  // The open busy window, null when none is open (the window tests look).
  CBusyWindow* Window() const { return window_.get(); }

 private:
  void Repaint();

  const CLanguageFile& language_;
  const APP_SETTINGS& settings_;
  QWidget* parent_;
  std::unique_ptr<CBusyWindow> window_;
  IClock::time_point lastRepaint_{};
};

class CUpdateNetworkBinding final : public firmware::IUpdatePageNetwork {
 public:
  CUpdateNetworkBinding(CProgramCore& core, IDocumentOpener& opener, IClock& clock, HTTP_LIMITS limits = {});

  // Once per start, on the main window's session. True when the installer
  // was handed on and the program is to end.
  bool CheckServerForUpdates(QWidget* parent);
  // The queue, on the main window's session.
  void UploadPending();

  // The write's session: one record queued, the queue sent at the series' end.
  bool QueueRecord(const CONFIG_RECORD& record, const MODEL_DEFINITION& model);
  void UploadPendingAfterWrite();

  bool OnCheckForUpdates(QWidget* parent) override;
  bool UploadOptOut() const override;
  void SetUploadOptOut(bool optOut) override;

  // The updates page's context help topic.
  std::string ContextHelpTopic() const;

  // Called while a download shows its busy window (the window tests look at it).
  void SetDownloadObserver(std::function<void(CDownloadBusyHost&)> observer) { observer_ = std::move(observer); }

 private:
  UPLOAD_CONTEXT Context(IBusyHost* busy) const;

  CProgramCore& core_;
  IDocumentOpener& opener_;
  IClock& clock_;
  HTTP_LIMITS limits_;
  std::function<void(CDownloadBusyHost&)> observer_;
};

}  // namespace net
}  // namespace tolvane
