// The write to unit's upload queue on the web session: each written unit's
// record queued, the queue sent when the series ends.
#pragma once

#include <cstdio>

#include "config/WriteToUnit.h"
#include "net/UploadServer.h"

namespace tolvane::cli {

class CServerUploadQueue final : public config::IUploadQueue {
 public:
  explicit CServerUploadQueue(net::CUploadServer& server) : server_(server) {}
  void QueueRecord(const CONFIG_RECORD& record, const MODEL_DEFINITION& model) override {
    if (!server_.QueueRecord(record, model)) {
      // Printed only once the record is on the disk: what a caller may count on.
      std::printf("queued upload record: serial %04d\n", static_cast<int>(record.serialNumber));
      std::fflush(stdout);
    }
  }
  void UploadPending() override { server_.UploadPending(); }

 private:
  net::CUploadServer& server_;
};

}  // namespace tolvane::cli
