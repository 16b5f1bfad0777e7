// The USB-to-UART bridge as the link drives it: the roles of the adapter's
// bridge library, one virtual function each. Backends: the Linux tty driver
// (TtyBridge) and the in-process simulated sensor (CSimBridge).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tolvane::link {

using BridgeHandle = int;
inline constexpr BridgeHandle kClosedHandle = -1;

// Status values of the bridge roles. 0 is success; the link treats every
// other value as failure, except kBridgeDeviceGone, after which it closes the
// handle (the adapter was unplugged).
enum : int {
  kBridgeOk = 0x00,
  kBridgeInvalidHandle = 0x01,
  kBridgeReadError = 0x02,
  kBridgeWriteError = 0x04,
  kBridgeInvalidParameter = 0x06,
  kBridgeDeviceGone = 0x08,
  kBridgeSystemError = 0x0C,
  kBridgeDeviceNotFound = 0xFF,
};

// Options of the product string role.
enum : int {
  kProductSerial = 0,       // a further identification string (the USB serial)
  kProductDescription = 1,  // the product description
  kProductVendorId = 3,     // vendor id as hexadecimal text
  kProductProductId = 4,    // product id as hexadecimal text
};

// Receive-queue status: data is waiting.
inline constexpr std::uint32_t kQueueReady = 0x02;

class IBridge {
 public:
  virtual ~IBridge() = default;

  // False when this backend cannot drive adapters on this machine at all.
  virtual bool Available() const = 0;

  virtual int GetDeviceCount(std::uint32_t& count) = 0;
  virtual int GetProductString(std::uint32_t index, std::string& text, int option) = 0;
  virtual int Open(std::uint32_t index, BridgeHandle& handle) = 0;
  virtual int Close(BridgeHandle handle) = 0;
  // Returns at once with what is waiting; with nothing waiting, waits up to the
  // read time-out for the first byte. May return fewer bytes, or none.
  virtual int Read(BridgeHandle handle, std::uint8_t* buffer, std::size_t count, std::size_t& read) = 0;
  virtual int Write(BridgeHandle handle, const std::uint8_t* buffer, std::size_t count, std::size_t& written) = 0;
  virtual int CheckRxQueue(BridgeHandle handle, std::uint32_t& bytesWaiting, std::uint32_t& queueStatus) = 0;
  virtual int FlushBuffers(BridgeHandle handle, bool transmit, bool receive) = 0;
  virtual int SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) = 0;
  virtual int SetBaudRate(BridgeHandle handle, std::uint32_t baud) = 0;
  // Line control word: bits 8..15 data bits, 4..7 parity (0 none), 0..3 stop bits (0 one).
  virtual int SetLineControl(BridgeHandle handle, std::uint16_t lineControl) = 0;
  // Flow control: status input handshaking of CTS and DSR, RTS and DTR output
  // states (1 = held active), DCD handshaking, XON/XOFF.
  virtual int SetFlowControl(BridgeHandle handle, std::uint8_t ctsMask, std::uint8_t rtsMask, std::uint8_t dtrMask,
                             std::uint8_t dsrMask, std::uint8_t dcdMask, bool xonXoff) = 0;

  // Waits up to `timeout` for data to arrive; returns earlier when it does.
  // The link's polling waits go through here.
  virtual void WaitForData(BridgeHandle handle, std::chrono::milliseconds timeout) = 0;
};

// A bridge that passes every role to another one: the base of bridges that
// watch or change what passes (byte counters, fault injection, gates).
class CForwardingBridge : public IBridge {
 public:
  explicit CForwardingBridge(IBridge& inner) : inner_(inner) {}

  bool Available() const override { return inner_.Available(); }
  int GetDeviceCount(std::uint32_t& count) override { return inner_.GetDeviceCount(count); }
  int GetProductString(std::uint32_t index, std::string& text, int option) override {
    return inner_.GetProductString(index, text, option);
  }
  int Open(std::uint32_t index, BridgeHandle& handle) override { return inner_.Open(index, handle); }
  int Close(BridgeHandle handle) override { return inner_.Close(handle); }
  int Read(BridgeHandle handle, std::uint8_t* buffer, std::size_t count, std::size_t& read) override {
    return inner_.Read(handle, buffer, count, read);
  }
  int Write(BridgeHandle handle, const std::uint8_t* buffer, std::size_t count, std::size_t& written) override {
    return inner_.Write(handle, buffer, count, written);
  }
  int CheckRxQueue(BridgeHandle handle, std::uint32_t& bytesWaiting, std::uint32_t& queueStatus) override {
    return inner_.CheckRxQueue(handle, bytesWaiting, queueStatus);
  }
  int FlushBuffers(BridgeHandle handle, bool transmit, bool receive) override {
    return inner_.FlushBuffers(handle, transmit, receive);
  }
  int SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) override { return inner_.SetTimeouts(readMs, writeMs); }
  int SetBaudRate(BridgeHandle handle, std::uint32_t baud) override { return inner_.SetBaudRate(handle, baud); }
  int SetLineControl(BridgeHandle handle, std::uint16_t lineControl) override {
    return inner_.SetLineControl(handle, lineControl);
  }
  int SetFlowControl(BridgeHandle handle, std::uint8_t ctsMask, std::uint8_t rtsMask, std::uint8_t dtrMask,
                     std::uint8_t dsrMask, std::uint8_t dcdMask, bool xonXoff) override {
    return inner_.SetFlowControl(handle, ctsMask, rtsMask, dtrMask, dsrMask, dcdMask, xonXoff);
  }
  void WaitForData(BridgeHandle handle, std::chrono::milliseconds timeout) override {
    inner_.WaitForData(handle, timeout);
  }

 protected:
  IBridge& inner_;
};

}  // namespace tolvane::link
