// Arbitrary bytes from the sensor through the link's receive paths: frame
// receive, the command exchange and the streaming packet reader. The bytes
// arrive over simulated time through a scripted bridge, so budgets cost
// nothing.
//
// Input: byte 0 picks the operations and the frame maximum; the rest is what
// the sensor sends, one byte every (byte 1 % 4) milliseconds.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

#include "common/Clock.h"
#include "link/UsbLink.h"

namespace {

using namespace tolvane;
using namespace tolvane::link;

class ScriptedBridge final : public IBridge {
 public:
  explicit ScriptedBridge(IClock& clock) : clock_(clock) {}
  void Load(const std::uint8_t* data, std::size_t size, std::chrono::milliseconds gap) {
    std::lock_guard lock(m_);
    auto t = clock_.now();
    for (std::size_t i = 0; i < size; ++i) {
      bytes_.emplace_back(data[i], t);
      t += gap;
    }
  }
  bool Drained() const {
    std::lock_guard lock(m_);
    return bytes_.empty();
  }

  bool Available() const override { return true; }
  int GetDeviceCount(std::uint32_t& count) override {
    count = 1;
    return kBridgeOk;
  }
  int GetProductString(std::uint32_t, std::string& text, int option) override {
    text = option == kProductVendorId ? "10c4" : option == kProductProductId ? "807f" : "Quenby USB Device";
    return kBridgeOk;
  }
  int Open(std::uint32_t, BridgeHandle& handle) override {
    handle = 1;
    return kBridgeOk;
  }
  int Close(BridgeHandle) override { return kBridgeOk; }
  int Read(BridgeHandle, std::uint8_t* buffer, std::size_t count, std::size_t& read) override {
    std::lock_guard lock(m_);
    read = 0;
    while (read < count && !bytes_.empty() && bytes_.front().second <= clock_.now()) {
      buffer[read++] = bytes_.front().first;
      bytes_.pop_front();
    }
    return kBridgeOk;
  }
  int Write(BridgeHandle, const std::uint8_t*, std::size_t count, std::size_t& written) override {
    written = count;
    return kBridgeOk;
  }
  int CheckRxQueue(BridgeHandle, std::uint32_t& waiting, std::uint32_t& status) override {
    std::lock_guard lock(m_);
    waiting = 0;
    for (const auto& [b, t] : bytes_) {
      if (t > clock_.now()) {
        break;
      }
      ++waiting;
    }
    status = waiting > 0 ? kQueueReady : 0;
    return kBridgeOk;
  }
  int FlushBuffers(BridgeHandle, bool, bool) override { return kBridgeOk; }
  int SetTimeouts(std::uint32_t, std::uint32_t) override { return kBridgeOk; }
  int SetBaudRate(BridgeHandle, std::uint32_t) override { return kBridgeOk; }
  int SetLineControl(BridgeHandle, std::uint16_t) override { return kBridgeOk; }
  int SetFlowControl(BridgeHandle, std::uint8_t, std::uint8_t, std::uint8_t, std::uint8_t, std::uint8_t,
                     bool) override {
    return kBridgeOk;
  }
  void WaitForData(BridgeHandle, std::chrono::milliseconds timeout) override {
    IClock::time_point target;
    {
      std::lock_guard lock(m_);
      target = clock_.now() + timeout;
      if (!bytes_.empty() && bytes_.front().second < target) {
        target = bytes_.front().second;
      }
    }
    clock_.sleep_until(target);
  }

 private:
  IClock& clock_;
  mutable std::mutex m_;
  std::deque<std::pair<std::uint8_t, IClock::time_point>> bytes_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) {
    return 0;
  }
  SimulatedClock clock;
  ScriptedBridge bridge(clock);
  CUsbLink link(bridge, clock);
  link.SetSelectedDescription("Quenby USB Device");
  if (link.OpenLink() != 0) {
    __builtin_trap();
  }
  const std::uint8_t mode = data[0];
  bridge.Load(data + 2, size - 2, std::chrono::milliseconds(data[1] % 4));
  const int maximum = (mode & 0x07) == 0 ? 0 : (mode & 0x07) * 15;
  std::array<std::uint8_t, 100> frame{};
  std::array<std::uint8_t, 24> packet{};
  // Every operation ends within its budgets, so a bounded number of rounds
  // drains any input of this size.
  for (std::size_t round = 0; round < size + 4 && !bridge.Drained(); ++round) {
    const auto t0 = clock.now();
    int n = 0;
    switch ((mode >> 3) % 3) {
      case 0:
        n = link.ReceiveFrame(frame, maximum, mode >> 5);
        if (n > static_cast<int>(maximum == 0 ? 100 : maximum)) {
          __builtin_trap();
        }
        break;
      case 1:
        n = link.ExecuteCommand(1, 0x10, frame, 200);
        if (n < -1 || n > 255) {
          __builtin_trap();
        }
        break;
      default:
        n = link.ReadStreamPacket(packet, 1000);
        if (n < 0 || n > 20) {
          __builtin_trap();
        }
        break;
    }
    // No single operation outlasts its budgets (two of 1000 ms, the erase
    // pause is not used here, the stream reader's idle budget).
    if (clock.now() - t0 > std::chrono::milliseconds(4000)) {
      __builtin_trap();
    }
  }
  return 0;
}
