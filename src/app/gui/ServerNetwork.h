// The network services of the desktop program on the maker's server: the
// start's update check and uploads, the write's upload queue and the updates
// page's seam, all on the run's objects once the start has loaded them.
#pragma once

#include <memory>

#include "app/gui/NetworkServices.h"
#include "config/WriteToUnit.h"
#include "net/ui/UpdateNetworkBinding.h"

namespace tolvane {

class CServerNetwork final : public INetworkServices, public config::IUploadQueue, public firmware::IUpdatePageNetwork {
 public:
  CServerNetwork(IDocumentOpener& opener, IClock& clock) : opener_(opener), clock_(clock) {}

  bool CheckForUpdates(CProgramCore& core) override;
  void SendPendingUploads(CProgramCore& core) override;

  // The write to unit's queue; nothing before the start has loaded the run.
  void QueueRecord(const CONFIG_RECORD& record, const MODEL_DEFINITION& model) override;
  void UploadPending() override;

  // The updates page's seam. The page exists only once the start has loaded
  // the run; before that there is nothing to check and uploads are off.
  bool OnCheckForUpdates(QWidget* parent) override {
    return binding_ != nullptr && binding_->OnCheckForUpdates(parent);
  }
  bool UploadOptOut() const override { return binding_ == nullptr || binding_->UploadOptOut(); }
  void SetUploadOptOut(bool optOut) override {
    if (binding_ != nullptr) {
      binding_->SetUploadOptOut(optOut);
    }
  }

 private:
  net::CUpdateNetworkBinding& Bind(CProgramCore& core);

  IDocumentOpener& opener_;
  IClock& clock_;
  CProgramCore* core_ = nullptr;
  std::unique_ptr<net::CUpdateNetworkBinding> binding_;
};

}  // namespace tolvane
