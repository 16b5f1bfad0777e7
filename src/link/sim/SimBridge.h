// The bridge with simulated adapters in the same process: each adapter has
// its USB strings and a peer behind it (normally a CSimSensor). All time comes
// from the clock it is given, so with a SimulatedClock nothing really waits.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "link/Bridge.h"
#include "link/sim/SimSensor.h"

namespace tolvane::link::sim {

struct SimAdapter {
  std::string vendorId = "10c4";
  std::string productId = "807f";
  std::string description = "Quenby USB Device";
  std::string serial = "SIM0001";
  bool serialReadable = true;
  std::shared_ptr<ISimPeer> peer;
};

class CSimBridge final : public IBridge {
 public:
  explicit CSimBridge(IClock& clock) : clock_(clock) {}

  // Adds an adapter; returns its position.
  std::size_t AddAdapter(SimAdapter adapter);
  // The adapter is plugged in (true) or pulled out (false).
  void SetPresent(std::size_t adapter, bool present);

  // Failures to inject into the set-up roles and the enumeration.
  void SetAvailable(bool available);
  void FailDeviceCount(bool fail);
  void FailFlowControl(bool fail);
  void FailLineControl(bool fail);
  void FailTimeouts(bool fail);
  void FailFlush(bool fail);

  // Every byte the host wrote, in order (for tests).
  std::vector<std::uint8_t> Written() const;
  int OpenHandles() const;

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
  struct Slot {
    SimAdapter adapter;
    bool present = true;
  };
  // The peer behind an open handle, or null; mutex_ held.
  ISimPeer* PeerOf(BridgeHandle handle, int& status);
  std::vector<std::size_t> PresentSlots() const;  // mutex_ held

  IClock& clock_;
  mutable std::mutex mutex_;
  std::vector<Slot> slots_;
  std::map<BridgeHandle, std::size_t> handles_;
  BridgeHandle nextHandle_ = 100;
  std::vector<std::size_t> enumerated_;
  std::vector<std::uint8_t> written_;
  std::chrono::milliseconds readTimeout_{300};
  bool available_ = true;
  bool failCount_ = false;
  bool failFlow_ = false;
  bool failLine_ = false;
  bool failTimeouts_ = false;
  bool failFlush_ = false;
};

}  // namespace tolvane::link::sim
