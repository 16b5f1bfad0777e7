// An upload queue that records the serials of the records it is given.
#pragma once

#include <cstdint>
#include <vector>

#include "config/WriteToUnit.h"

namespace tolvane::test {

class RecordingUpload : public config::IUploadQueue {
 public:
  void QueueRecord(const CONFIG_RECORD& record, const MODEL_DEFINITION&) override {
    serials.push_back(record.serialNumber);
  }
  void UploadPending() override { ++uploads; }
  std::vector<std::int32_t> serials;
  int uploads = 0;
};

}  // namespace tolvane::test
