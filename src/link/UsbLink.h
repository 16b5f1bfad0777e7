// The sensor link: adapter discovery, the serial line, the frame protocol,
// the connect procedure, the link worker and the live reader.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "link/Bridge.h"
#include "link/ManualResetEvent.h"

namespace tolvane::link {

// One entry of the adapter list shown to the user.
struct PORTID {
  std::string description;  // product description, used to open the adapter
  std::string label;        // shown in the list
};

// The adapter list, in the order the adapters were found.
std::vector<PORTID> BuildPortList(const std::vector<std::string>& descriptions);

// Receiver of the live reader's streaming packets. Called on the reader's
// thread; the packet is a copy.
class ILiveSink {
 public:
  virtual ~ILiveSink() = default;
  // check: 6 when the packet's zero-sum check holds, -6 when it does not.
  virtual void OnStreamPacket(int check, const std::array<std::uint8_t, 6>& packet) = 0;
};

// Fixed settings of the sensor's line and adapter.
inline constexpr std::uint16_t kAdapterVendorId = 0x10C4;
inline constexpr std::uint16_t kAdapterProductId = 0x807F;
inline constexpr std::uint32_t kLinkBaud = 9600;
inline constexpr std::uint16_t kLineControl8N1 = 0x0800;
inline constexpr std::uint32_t kReadTimeoutMs = 300;
inline constexpr std::uint32_t kWriteTimeoutMs = 100;

// Command codes.
enum : std::uint8_t {
  CMD_SYNC = 0x10,
  CMD_ERASE_PROGRAM = 0x17,
  CMD_RESUME_STREAMING = 0x21,
  CMD_PROGRAM_DATA = 0x24,
  CMD_VERIFY_CRC = 0x28,
  CMD_ACK = 0x2F,
  CMD_READ_BLOCK = 0x31,
  CMD_WRITE_SCRATCH = 0x32,
  CMD_ERASE_SCRATCH = 0x33,
  CMD_COPY_SCRATCH = 0x34,
  CMD_ERASE_HISTORY = 0x36,
  CMD_READ_INFO = 0x37,
  CMD_COPY_SCRATCH_INFO = 0x38,
  CMD_END_PROGRAMMING = 0x49,
};

inline constexpr std::uint8_t kFrameStart = 0xA5;
inline constexpr std::array<std::uint8_t, 5> kSyncFrame{0xA5, 0x01, 0x10, 0xB6, 0x00};
inline constexpr std::array<std::uint8_t, 6> kSyncAck{0xA5, 0x03, 0x2F, 0x10, 0x00, 0xE7};
inline constexpr std::array<std::uint8_t, 4> kReadyFrame{0xA5, 0x01, 0x10, 0xB6};
inline constexpr std::array<std::uint8_t, 7> kWakePacketW{0xA5, 0xA5, 0x57, 0x00, 0x00, 0x00, 0xA9};
inline constexpr std::array<std::uint8_t, 7> kWakePacketL{0xA5, 0xA5, 0x4C, 0x00, 0x00, 0x00, 0xB4};

// Sum of bytes modulo 256.
std::uint8_t ByteSum(std::span<const std::uint8_t> bytes);

class CUsbLink {
 public:
  CUsbLink(IBridge& bridge, IClock& clock);
  ~CUsbLink();
  CUsbLink(const CUsbLink&) = delete;
  CUsbLink& operator=(const CUsbLink&) = delete;

  // Adapter discovery: fills `list` with the descriptions of the matching
  // adapters; -1 when adapters cannot be driven here, else the match count.
  int FindAdapters(std::vector<std::string>& list, std::uint16_t vendorId, std::uint16_t productId);

  int OpenLink();
  void CloseLink();
  bool IsLinkOpen() const { return handle_.load() != kClosedHandle; }
  int FlushQueues();

  int SendFrame(std::span<const std::uint8_t> bytes);
  // Frame length, -1 (no start byte) or -2 (frame incomplete). `maximum` 0
  // means 100; it never exceeds the buffer.
  int ReceiveFrame(std::span<std::uint8_t> buffer, int maximum, int attemptLimit);
  // 0 when accepted, -1, 10, 11, 12 or the sensor's status byte. The payload
  // sits at buffer[3 .. length+1]; the buffer holds at least length+4 bytes.
  int ExecuteCommand(int length, std::uint8_t code, std::span<std::uint8_t> buffer, int attemptLimit);
  // 0 when the sensor is in command mode, else -1, -2 or -3.
  int ConnectUnit();
  // A packet length, or 20; the buffer holds at least 20 bytes.
  int ReadStreamPacket(std::span<std::uint8_t> buffer, int idleBudget);

  // Body of the link worker thread: runs probes until the quit event.
  void RunWorker();
  // Body of the live reader thread; returns 0.
  int RunLiveReader();

  // The events of the worker.
  ManualResetEvent& ProbeRequestEvent() { return probeRequest_; }
  ManualResetEvent& ProbeDoneEvent() { return probeDone_; }
  ManualResetEvent& QuitEvent() { return quit_; }
  ManualResetEvent& QuitDoneEvent() { return quitDone_; }

  void SetSelectedDescription(std::string description);
  std::string SelectedDescription() const;
  std::uint32_t AdapterCount() const { return adapterCount_.load(); }
  const std::array<std::uint8_t, 7>& Acknowledgement() const { return ack_; }
  int ProbeResult() const { return probeResult_.load(); }

  void SetNotificationSink(ILiveSink* sink) { notify_.store(sink); }
  bool ReaderRunning() const { return readerRunning_.load(); }
  // True once the adapter was found gone (unplugged) since the link opened.
  bool AdapterGone() const { return deviceGone_.load(); }
  void RequestReaderStop() { readerStopRequest_.store(true); }
  // Clears the stop request before the reader's thread is started, so that a
  // stop asked for before the thread runs is not lost (the reader then keeps
  // the request instead of clearing it at its start).
  void ArmReader() {
    readerStopRequest_.store(false);
    readerArmed_.store(true);
  }

 private:
  void RunProbe();
  void ProbeSender();
  // Bytes waiting: kept bytes plus the adapter's receive queue. Marks a gone adapter.
  bool DataWaiting(std::uint32_t& count);
  // Reads up to `max` bytes, kept bytes first.
  int ReadSome(std::uint8_t* dst, std::size_t max, std::size_t& got);
  // Keeps bytes that followed a frame for the next receive.
  void Keep(const std::uint8_t* bytes, std::size_t count);
  void ClearKept();
  // A polling wait: ends early when data arrives.
  void PollWait(std::chrono::milliseconds timeout);
  void NoteStatus(int status);
  void CloseIfGone();
  int ReceiveFrameImpl(std::span<std::uint8_t> buffer, int maximum, int attemptLimit);
  int ExecuteCommandImpl(int length, std::uint8_t code, std::span<std::uint8_t> buffer, int attemptLimit);

  IBridge& bridge_;
  IClock& clock_;

  std::array<std::uint8_t, 7> ack_{};
  std::atomic<std::uint32_t> adapterCount_{0};
  mutable std::mutex descriptionMutex_;
  std::string selectedDescription_;
  std::atomic<BridgeHandle> handle_{kClosedHandle};
  std::atomic<bool> readerRunning_{false};
  std::atomic<bool> readerStopRequest_{false};
  std::atomic<bool> readerArmed_{false};
  std::atomic<ILiveSink*> notify_{nullptr};
  std::atomic<std::int32_t> senderStop_{0};
  std::atomic<std::int32_t> probeResult_{0};
  std::shared_ptr<EventGroup> events_ = std::make_shared<EventGroup>();
  ManualResetEvent probeRequest_{events_};
  ManualResetEvent probeDone_{events_};
  ManualResetEvent quit_{events_};
  ManualResetEvent quitDone_{events_};

  // Bytes received after the end of a frame, handed to the next receive.
  std::mutex keptMutex_;
  std::vector<std::uint8_t> kept_;
  std::atomic<bool> deviceGone_{false};

  // ReadStreamPacket's counts, kept between calls.
  int streamFill_ = 0;
  int streamIdle_ = 0;
};

}  // namespace tolvane::link
