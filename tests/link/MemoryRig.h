// A simulated sensor on simulated time with the program's memory copy, and a
// bridge in between that can spoil chosen block reads.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "defs/AppSettings.h"
#include "defs/LanguageFile.h"
#include "link/LinkRig.h"
#include "link/UnitMemory.h"
#include "support/TestSupport.h"

namespace tolvane::link::test {

// Passes everything to the simulated adapters, except that the next
// `failReads[page]` block reads of a page (wire number) go out with a broken
// checksum, so the sensor refuses them, and that the scratch block numbered
// `spoilBlock` goes out with one data byte changed and a fitting checksum: a
// fault no frame check can see.
class SpoilingBridge final : public CForwardingBridge {
 public:
  using CForwardingBridge::CForwardingBridge;
  std::map<int, int> failReads;
  std::map<int, int> readsSent;  // block read commands per page
  int spoilBlock = -1;

  int Write(BridgeHandle h, const std::uint8_t* b, std::size_t c, std::size_t& w) override {
    std::vector<std::uint8_t> bytes(b, b + c);
    if (c >= 6 && bytes[0] == kFrameStart && bytes[2] == CMD_READ_BLOCK) {
      const int page = bytes[3];
      ++readsSent[page];
      if (failReads[page] > 0) {
        --failReads[page];
        bytes[4] ^= 0x80;  // the checksum no longer fits
      }
    }
    if (c >= 70 && bytes[0] == kFrameStart && bytes[1] == 66 && bytes[2] == CMD_WRITE_SCRATCH &&
        bytes[3] == spoilBlock) {
      bytes[40] ^= 0x01;
      bytes[68] = ByteSum(std::span<const std::uint8_t>(bytes).first(68));
      spoilBlock = -1;
    }
    return inner_.Write(h, bytes.data(), bytes.size(), w);
  }
};

class RecordingBox : public IMessageBox {
 public:
  int Show(const std::string& text, unsigned type) override {
    shown.emplace_back(text, type);
    return RESULT_OK;
  }
  std::vector<std::pair<std::string, unsigned>> shown;
};

struct MemoryRig {
  SimulatedClock clock;
  sim::CSimBridge simBridge{clock};
  SpoilingBridge bridge{simBridge};
  CUsbLink link{bridge, clock};
  std::thread worker{[this] { link.RunWorker(); }};
  CLanguageFile language{std::filesystem::path(TOLVANE_SOURCE_DATA) / "Models", nullptr};
  APP_SETTINGS settings;
  tolvane::test::RecordingErrorDetail errors;
  RecordingBox box;
  CUnitMemory memory{link, language, settings, errors, box};
  std::shared_ptr<sim::CSimSensor> sensor;

  explicit MemoryRig(sim::SimOptions options = {}) {
    language.Load("Tolvane_Language.txt");
    sensor = std::make_shared<sim::CSimSensor>(std::move(options), clock.now());
    sim::SimAdapter a;
    a.peer = sensor;
    simBridge.AddAdapter(std::move(a));
    link.SetSelectedDescription("Quenby USB Device");
  }
  ~MemoryRig() {
    link.QuitEvent().Set();
    worker.join();
  }
};

}  // namespace tolvane::link::test
