#include "app/gui/ServerNetwork.h"

#include <QApplication>

namespace tolvane {

net::CUpdateNetworkBinding& CServerNetwork::Bind(CProgramCore& core) {
  if (core_ != &core || !binding_) {
    core_ = &core;
    binding_ = std::make_unique<net::CUpdateNetworkBinding>(core, opener_, clock_);
  }
  return *binding_;
}

bool CServerNetwork::CheckForUpdates(CProgramCore& core) {
  return Bind(core).CheckServerForUpdates(QApplication::activeWindow());
}

void CServerNetwork::SendPendingUploads(CProgramCore& core) { Bind(core).UploadPending(); }

void CServerNetwork::QueueRecord(const CONFIG_RECORD& record, const MODEL_DEFINITION& model) {
  if (binding_) {
    binding_->QueueRecord(record, model);
  }
}

void CServerNetwork::UploadPending() {
  if (binding_) {
    binding_->UploadPendingAfterWrite();
  }
}

}  // namespace tolvane
