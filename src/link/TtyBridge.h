// The bridge on Linux: USB serial adapters through the kernel's tty driver.
// Adapters are found below a root folder (normally "/"): every
// <root>/sys/class/tty/<name> whose device belongs to a USB device with
// idVendor and idProduct, opened as <root>/dev/<name>.
#pragma once

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "link/Bridge.h"

namespace tolvane::link {

struct TtyAdapter {
  std::string name;        // tty name, e.g. ttyUSB0
  std::string vendorId;    // idVendor text
  std::string productId;   // idProduct text
  std::string product;     // product description ("" when the device has none)
  std::string serial;      // USB serial ("" when none)
  bool hasProduct = false;
  bool hasSerial = false;
  std::filesystem::path node;
};

// Lists the USB serial adapters below `root`, sorted by tty name.
std::vector<TtyAdapter> ListTtyAdapters(const std::filesystem::path& root);

// The root folder for adapter discovery: $TOLVANE_DEVICE_ROOT, else "/".
std::filesystem::path DeviceRootFromEnvironment();

class TtyBridge final : public IBridge {
 public:
  explicit TtyBridge(std::filesystem::path root);
  ~TtyBridge() override;

  bool Available() const override;
  int GetDeviceCount(std::uint32_t& count) override;
  int GetProductString(std::uint32_t index, std::string& text, int option) override;
  int Open(std::uint32_t index, BridgeHandle& handle) override;
  int Close(BridgeHandle handle) override;
  int Read(BridgeHandle handle, std::uint8_t* buffer, std::size_t count, std::size_t& read) override;
  int Write(BridgeHandle handle, const std::uint8_t* buffer, std::size_t count, std::size_t& written) override;
  int CheckRxQueue(BridgeHandle handle, std::uint32_t& bytesWaiting, std::uint32_t& queueStatus) override;
  int FlushBuffers(BridgeHandle handle, bool transmit, bool receive) override;
  int SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) override;
  int SetBaudRate(BridgeHandle handle, std::uint32_t baud) override;
  int SetLineControl(BridgeHandle handle, std::uint16_t lineControl) override;
  int SetFlowControl(BridgeHandle handle, std::uint8_t ctsMask, std::uint8_t rtsMask, std::uint8_t dtrMask,
                     std::uint8_t dsrMask, std::uint8_t dcdMask, bool xonXoff) override;
  void WaitForData(BridgeHandle handle, std::chrono::milliseconds timeout) override;

 private:
  bool Known(BridgeHandle handle) const;

  std::filesystem::path root_;
  mutable std::mutex mutex_;
  std::vector<TtyAdapter> adapters_;   // the last enumeration
  std::vector<BridgeHandle> open_;     // descriptors this bridge opened
  std::atomic<int> readTimeoutMs_{300};
  std::atomic<int> writeTimeoutMs_{100};
};

}  // namespace tolvane::link
