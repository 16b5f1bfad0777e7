#include "link/UsbLink.h"

#include <algorithm>
#include <cstring>
#include <latch>
#include <thread>

namespace tolvane::link {

using namespace std::chrono_literals;

namespace {

// Budgets and pauses of the protocol.
constexpr auto kOpenPause = 100ms;
constexpr auto kClosePause = 100ms;
constexpr auto kStartByteBudget = 1000ms;
constexpr auto kRestBudget = 1000ms;
constexpr auto kHuntPoll = 10ms;
constexpr auto kRestPoll = 40ms;
constexpr auto kEraseWait = 1000ms;
constexpr auto kProbeWait = 4000ms;
constexpr auto kProbeWindow = 2000ms;
constexpr auto kProbePoll = 10ms;
constexpr auto kProbeSenderPeriod = 80ms;
constexpr auto kProbeStopPause = 100ms;
constexpr auto kSyncRetryPause = 35ms;
constexpr auto kStreamPoll = 35ms;
constexpr auto kReaderWindow = 300ms;
constexpr auto kReaderPoll = 20ms;
constexpr auto kReaderPacketPause = 35ms;

constexpr int kDefaultAttempts = 25;
constexpr int kEmptyReadLimit = 30;
constexpr std::size_t kDefaultFrameMax = 100;
constexpr std::size_t kProbeBufferSize = 4096;
constexpr int kProbeByteLimit = 20;
constexpr int kSyncAttempts = 14;
constexpr int kWakeAttempts = 5;
constexpr int kConnectAttemptLimit = 7;
constexpr std::uint32_t kMaxDevices = 256;

// Parses hexadecimal text ("10c4", "0x10C4", surrounding blanks allowed).
bool ParseHex(const std::string& text, std::uint64_t& value) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r')) {
    ++i;
  }
  if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    i += 2;
  }
  std::size_t digits = 0;
  value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    unsigned d = 0;
    if (c >= '0' && c <= '9') {
      d = static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      d = static_cast<unsigned>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      d = static_cast<unsigned>(c - 'A' + 10);
    } else {
      break;
    }
    if (++digits > 16) {
      return false;
    }
    value = value * 16 + d;
  }
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r')) {
    ++i;
  }
  return digits > 0 && i == text.size();
}

}  // namespace

std::uint8_t ByteSum(std::span<const std::uint8_t> bytes) {
  unsigned sum = 0;
  for (const auto b : bytes) {
    sum += b;
  }
  return static_cast<std::uint8_t>(sum & 0xFFu);
}

std::vector<PORTID> BuildPortList(const std::vector<std::string>& descriptions) {
  std::vector<PORTID> list;
  list.reserve(descriptions.size());
  int number = 1;
  for (const auto& d : descriptions) {
    list.push_back(PORTID{d, "UNIT " + std::to_string(number++)});
  }
  return list;
}

CUsbLink::CUsbLink(IBridge& bridge, IClock& clock) : bridge_(bridge), clock_(clock) {}

CUsbLink::~CUsbLink() {
  const BridgeHandle h = handle_.exchange(kClosedHandle);
  if (h != kClosedHandle) {
    bridge_.Close(h);
  }
}

void CUsbLink::SetSelectedDescription(std::string description) {
  std::lock_guard lock(descriptionMutex_);
  selectedDescription_ = std::move(description);
}

std::string CUsbLink::SelectedDescription() const {
  std::lock_guard lock(descriptionMutex_);
  return selectedDescription_;
}

// ---------------------------------------------------------------- adapters

int CUsbLink::FindAdapters(std::vector<std::string>& list, std::uint16_t vendorId, std::uint16_t productId) {
  if (!bridge_.Available()) {
    return -1;
  }
  std::uint32_t count = 0;
  if (bridge_.GetDeviceCount(count) != kBridgeOk) {
    return 0;
  }
  adapterCount_.store(count);
  count = std::min(count, kMaxDevices);
  int matches = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::string text;
    std::uint64_t id = 0;
    if (bridge_.GetProductString(i, text, kProductVendorId) != kBridgeOk || !ParseHex(text, id) ||
        (id & 0xFFFFu) != vendorId) {
      continue;
    }
    if (bridge_.GetProductString(i, text, kProductProductId) != kBridgeOk || !ParseHex(text, id) ||
        (id & 0xFFFFu) != productId) {
      continue;
    }
    if (bridge_.GetProductString(i, text, kProductSerial) != kBridgeOk) {
      continue;
    }
    std::string description;
    if (bridge_.GetProductString(i, description, kProductDescription) != kBridgeOk) {
      continue;
    }
    if (description.find("Ravilink") == std::string::npos &&
        description.find("Quenby USB Device") == std::string::npos) {
      continue;
    }
    if (++matches == 1) {
      list.clear();
    }
    list.push_back(description);
  }
  return matches;
}

int CUsbLink::OpenLink() {
  if (IsLinkOpen()) {
    FlushQueues();
    return 0;
  }
  std::uint32_t count = 0;
  if (bridge_.GetDeviceCount(count) != kBridgeOk) {
    // Nothing was opened: report it as such rather than as success.
    return 1;
  }
  adapterCount_.store(count);
  count = std::min(count, kMaxDevices);
  const std::string wanted = SelectedDescription();
  BridgeHandle held = kClosedHandle;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::string description;
    if (bridge_.GetProductString(i, description, kProductDescription) != kBridgeOk || description != wanted) {
      continue;
    }
    BridgeHandle opened = kClosedHandle;
    if (bridge_.Open(i, opened) == kBridgeOk && opened != kClosedHandle) {
      // Only the last matching adapter is kept; release the earlier one.
      if (held != kClosedHandle) {
        bridge_.Close(held);
      }
      held = opened;
    }
  }
  if (held == kClosedHandle) {
    return 1;
  }
  ClearKept();
  deviceGone_.store(false);
  handle_.store(held);
  bridge_.FlushBuffers(held, true, true);
  if (bridge_.SetFlowControl(held, 0, 1, 1, 0, 0, false) != kBridgeOk) {
    return 3;
  }
  bridge_.SetBaudRate(held, kLinkBaud);
  if (bridge_.SetLineControl(held, kLineControl8N1) != kBridgeOk) {
    return 4;
  }
  if (bridge_.SetTimeouts(kReadTimeoutMs, kWriteTimeoutMs) != kBridgeOk) {
    return 5;
  }
  clock_.sleep_for(kOpenPause);
  return 0;
}

void CUsbLink::CloseLink() {
  const BridgeHandle h = handle_.load();
  if (h == kClosedHandle) {
    return;
  }
  bridge_.Close(h);
  clock_.sleep_for(kClosePause);
  handle_.store(kClosedHandle);
  ClearKept();
  deviceGone_.store(false);
}

int CUsbLink::FlushQueues() {
  ClearKept();
  const int status = bridge_.FlushBuffers(handle_.load(), true, true);
  return status == kBridgeOk ? 0 : -1;
}

// ---------------------------------------------------------------- byte helpers

void CUsbLink::NoteStatus(int status) {
  if (status == kBridgeDeviceGone) {
    deviceGone_.store(true);
  }
}

void CUsbLink::CloseIfGone() {
  if (deviceGone_.load()) {
    CloseLink();
  }
}

bool CUsbLink::DataWaiting(std::uint32_t& count) {
  {
    std::lock_guard lock(keptMutex_);
    if (!kept_.empty()) {
      count = static_cast<std::uint32_t>(kept_.size());
      return true;
    }
  }
  std::uint32_t waiting = 0;
  std::uint32_t status = 0;
  const int rc = bridge_.CheckRxQueue(handle_.load(), waiting, status);
  NoteStatus(rc);
  if (rc != kBridgeOk) {
    count = 0;
    return false;
  }
  count = (status == kQueueReady) ? waiting : 0;
  return count != 0;
}

int CUsbLink::ReadSome(std::uint8_t* dst, std::size_t max, std::size_t& got) {
  got = 0;
  if (max == 0) {
    return kBridgeOk;
  }
  {
    std::lock_guard lock(keptMutex_);
    if (!kept_.empty()) {
      got = std::min(max, kept_.size());
      std::memcpy(dst, kept_.data(), got);
      kept_.erase(kept_.begin(), kept_.begin() + static_cast<std::ptrdiff_t>(got));
      return kBridgeOk;
    }
  }
  const int rc = bridge_.Read(handle_.load(), dst, max, got);
  NoteStatus(rc);
  if (rc != kBridgeOk) {
    got = 0;
  }
  return rc;
}

void CUsbLink::Keep(const std::uint8_t* bytes, std::size_t count) {
  if (count == 0) {
    return;
  }
  std::lock_guard lock(keptMutex_);
  kept_.insert(kept_.begin(), bytes, bytes + count);
}

void CUsbLink::ClearKept() {
  std::lock_guard lock(keptMutex_);
  kept_.clear();
}

void CUsbLink::PollWait(std::chrono::milliseconds timeout) {
  {
    std::lock_guard lock(keptMutex_);
    if (!kept_.empty()) {
      return;
    }
  }
  if (deviceGone_.load()) {
    // A gone adapter answers every wait at once; keep the pace.
    clock_.sleep_for(timeout);
    return;
  }
  bridge_.WaitForData(handle_.load(), timeout);
}

// ---------------------------------------------------------------- frames

int CUsbLink::SendFrame(std::span<const std::uint8_t> bytes) {
  std::size_t written = 0;
  const int rc = bridge_.Write(handle_.load(), bytes.data(), bytes.size(), written);
  NoteStatus(rc);
  CloseIfGone();
  if (rc != kBridgeOk) {
    return rc;
  }
  return written < bytes.size() ? 21 : 0;
}

int CUsbLink::ReceiveFrame(std::span<std::uint8_t> buffer, int maximum, int attemptLimit) {
  const int rc = ReceiveFrameImpl(buffer, maximum, attemptLimit);
  CloseIfGone();
  return rc;
}

int CUsbLink::ReceiveFrameImpl(std::span<std::uint8_t> buffer, int maximum, int attemptLimit) {
  std::size_t max = maximum <= 0 ? kDefaultFrameMax : static_cast<std::size_t>(maximum);
  max = std::min(max, buffer.size());
  if (max < 2) {
    return -1;
  }
  if (attemptLimit < 1 || attemptLimit == 200) {
    attemptLimit = kDefaultAttempts;
  }
  buffer[0] = 0;
  buffer[1] = 1;

  // Hunt for the start byte.
  auto start = clock_.now();
  int attempts = 0;
  while (buffer[0] != kFrameStart) {
    if (clock_.now() - start > kStartByteBudget) {
      return -1;
    }
    std::uint32_t waiting = 0;
    if (DataWaiting(waiting)) {
      std::size_t got = 0;
      ReadSome(buffer.data(), 1, got);
      if (got == 1) {
        if (++attempts >= attemptLimit) {
          return -1;
        }
        if (buffer[0] == kFrameStart) {
          break;
        }
      }
    }
    if (deviceGone_.load()) {
      return -1;
    }
    PollWait(kHuntPoll);
  }

  // Collect the rest of the frame.
  start = clock_.now();
  std::size_t held = 1;
  int emptyReads = 0;
  const auto frameLength = [&]() { return static_cast<std::size_t>(buffer[1]) + 3; };
  const auto complete = [&]() { return held >= 4 && held >= frameLength(); };
  for (;;) {
    if (complete()) {
      const std::size_t length = frameLength();
      Keep(buffer.data() + length, held - length);
      return static_cast<int>(length);
    }
    if (clock_.now() - start > kRestBudget) {
      return -2;
    }
    std::uint32_t waiting = 0;
    if (DataWaiting(waiting)) {
      std::size_t got = 0;
      ReadSome(buffer.data() + held, max - held, got);
      if (got > 0) {
        emptyReads = 0;
        held += got;
      } else if (++emptyReads >= kEmptyReadLimit) {
        return -2;
      }
      if (held >= max && !complete()) {
        // The frame is longer than the caller's room: cut at the maximum.
        return static_cast<int>(held);
      }
      if (got > 0) {
        continue;
      }
    }
    if (deviceGone_.load()) {
      return -2;
    }
    PollWait(kRestPoll);
  }
}

int CUsbLink::ExecuteCommand(int length, std::uint8_t code, std::span<std::uint8_t> buffer, int attemptLimit) {
  const int rc = ExecuteCommandImpl(length, code, buffer, attemptLimit);
  CloseIfGone();
  return rc;
}

int CUsbLink::ExecuteCommandImpl(int length, std::uint8_t code, std::span<std::uint8_t> buffer, int attemptLimit) {
  if (length < 1 || length > 255 || buffer.size() < static_cast<std::size_t>(length) + 4) {
    return -1;
  }
  const auto l = static_cast<std::size_t>(length);
  buffer[0] = kFrameStart;
  buffer[1] = static_cast<std::uint8_t>(length);
  buffer[2] = code;
  buffer[l + 2] = ByteSum(buffer.first(l + 2));
  buffer[l + 3] = 0;
  if (SendFrame(buffer.first(l + 4)) != 0) {
    return -1;
  }
  if (code == CMD_ERASE_PROGRAM) {
    clock_.sleep_for(kEraseWait);
  }
  const int n = ReceiveFrameImpl(ack_, 7, attemptLimit);
  if (n < 6) {
    return 10;
  }
  if (ack_[2] != CMD_ACK) {
    return 11;
  }
  if (ack_[3] != code) {
    return 12;
  }
  return ack_[4];
}

// ---------------------------------------------------------------- connect

int CUsbLink::ConnectUnit() {
  if (IsLinkOpen()) {
    return 0;
  }
  if (OpenLink() != 0) {
    CloseLink();
    return -1;
  }

  // The probe runs on the link worker. A worker that does not answer within
  // the wait counts as a probe that saw nothing.
  probeResult_.store(-1);
  probeDone_.Reset();
  probeRequest_.Set();
  const bool done = probeDone_.WaitFor(clock_, kProbeWait);
  probeDone_.Reset();
  const int probe = done ? probeResult_.load() : -1;
  if (probe == 0) {
    return 0;
  }
  if (probe == -1) {
    CloseLink();
    return -1;
  }

  // The sensor streams: try the sync command, then wake it.
  if (OpenLink() != 0) {
    CloseLink();
    return -1;
  }
  std::array<std::uint8_t, 8> frame{};
  for (int i = 0; i < kSyncAttempts; ++i) {
    if (ExecuteCommandImpl(1, CMD_SYNC, frame, kConnectAttemptLimit) == 0) {
      return 0;
    }
    if (deviceGone_.load()) {
      CloseLink();
      return -2;
    }
    clock_.sleep_for(kSyncRetryPause);
  }
  std::array<std::uint8_t, 24> packet{};
  if (ReadStreamPacket(packet, 1000) < 2) {
    CloseLink();
    return -2;
  }
  SendFrame(kWakePacketW);
  for (int i = 0; i < kWakeAttempts; ++i) {
    SendFrame(kWakePacketL);
    clock_.sleep_for(kSyncRetryPause);
    if (ExecuteCommandImpl(1, CMD_SYNC, frame, kConnectAttemptLimit) == 0) {
      return 0;
    }
    if (deviceGone_.load()) {
      break;
    }
  }
  CloseLink();
  return -3;
}

int CUsbLink::ReadStreamPacket(std::span<std::uint8_t> buffer, int idleBudget) {
  if (buffer.size() < 20) {
    return 0;
  }
  int readThisCall = 0;
  for (;;) {
    std::uint32_t waiting = 0;
    std::size_t got = 0;
    if (DataWaiting(waiting)) {
      ReadSome(&buffer[static_cast<std::size_t>(streamFill_)], 1, got);
    }
    if (got == 0) {
      streamIdle_ += 10;
      if (streamIdle_ >= idleBudget || deviceGone_.load()) {
        const int fill = streamFill_;
        streamFill_ = 0;
        streamIdle_ = 0;
        CloseIfGone();
        return fill;
      }
      PollWait(kStreamPoll);
      continue;
    }
    ++streamFill_;
    ++readThisCall;
    streamIdle_ = 0;
    if (streamFill_ == 2 && !(buffer[0] == kFrameStart && buffer[1] == kFrameStart)) {
      streamFill_ = 0;
      buffer[0] = kFrameStart;
      buffer[1] = kFrameStart;
    }
    if (streamFill_ > 2) {
      buffer[0] = kFrameStart;
      buffer[1] = kFrameStart;
    }
    if (streamFill_ > 19 || readThisCall > 19) {
      streamFill_ = 0;
      streamIdle_ = 0;
      return 20;
    }
    const auto fill = static_cast<std::size_t>(streamFill_);
    if (fill > 3 && buffer[fill - 2] == kFrameStart && buffer[fill - 1] == kFrameStart) {
      streamFill_ = 2;
      return static_cast<int>(fill) - 2;
    }
    if (fill == 6 && ByteSum(buffer.subspan(2, 4)) == 0) {
      streamFill_ = 0;
      return 6;
    }
  }
}

// ---------------------------------------------------------------- worker

void CUsbLink::RunWorker() {
  ClockThreadScope scope(clock_);
  for (;;) {
    const std::size_t which = ManualResetEvent::WaitAny(clock_, {&quit_, &probeRequest_});
    if (which == 0) {
      quitDone_.Set();
      return;
    }
    RunProbe();
  }
}

void CUsbLink::ProbeSender() {
  // Runs at normal priority: raising it needs privileges a desktop user lacks,
  // and the 80 ms period leaves ample slack.
  while (senderStop_.load() == 0) {
    std::size_t written = 0;
    const BridgeHandle h = handle_.load();
    if (bridge_.Write(h, kSyncFrame.data(), kSyncFrame.size(), written) != kBridgeOk ||
        written != kSyncFrame.size()) {
      break;
    }
    clock_.sleep_for(kProbeSenderPeriod);
  }
}

void CUsbLink::RunProbe() {
  senderStop_.store(0);
  std::latch senderJoined(1);
  std::thread sender([this, &senderJoined] {
    ClockThreadScope scope(clock_);
    senderJoined.count_down();
    ProbeSender();
  });
  {
    senderJoined.wait();

    // Expected text: the sync acknowledgement as decimal numbers.
    static const std::string expected = [] {
      std::string s;
      for (const auto b : kSyncAck) {
        s += std::to_string(b);
      }
      return s;
    }();
    std::int32_t result = -1;
    std::vector<std::uint8_t> received(kProbeBufferSize);
    std::size_t count = 0;
    std::string text;
    const auto start = clock_.now();
    for (;;) {
      std::uint32_t waiting = 0;
      if (DataWaiting(waiting)) {
        std::size_t got = 0;
        const std::size_t room = std::min<std::size_t>(waiting, kProbeBufferSize - count);
        if (ReadSome(received.data() + count, room, got) != kBridgeOk) {
          result = -1;
          break;
        }
        for (std::size_t i = 0; i < got; ++i) {
          text += std::to_string(received[count + i]);
        }
        count += got;
        if (text.find(expected) != std::string::npos) {
          result = 0;
          break;
        }
        if (count > static_cast<std::size_t>(kProbeByteLimit)) {
          result = -2;
          break;
        }
      } else if (deviceGone_.load()) {
        result = -1;
        break;
      }
      if (clock_.now() - start >= kProbeWindow) {
        break;
      }
      PollWait(kProbePoll);
    }
    probeResult_.store(result);
    senderStop_.store(1);
    clock_.sleep_for(kProbeStopPause);
  }
  // The sender has seen the stop flag within its 80 ms period.
  sender.join();
  // The sender clears the flag when it ends; a sender that ended early on a
  // failed write must not leave it set for the next probe.
  senderStop_.store(0);
  FlushQueues();
  probeRequest_.Reset();
  probeDone_.Set();
}

int CUsbLink::RunLiveReader() {
  ClockThreadScope scope(clock_);
  readerRunning_.store(true);
  if (!readerArmed_.exchange(false)) {
    readerStopRequest_.store(false);
  }
  std::array<std::uint8_t, 200> buffer{};
  constexpr std::size_t kFillLimit = 100;
  std::size_t fill = 0;
  std::size_t pos = 0;
  while (!readerStopRequest_.load()) {
    if (fill > 60) {
      if (pos >= fill) {
        fill = 0;
      } else {
        std::memmove(buffer.data(), buffer.data() + pos, fill - pos);
        fill -= pos;
      }
      pos = 0;
    }
    // Wait for data, at most the reader's window. A whole packet already held
    // is data that has arrived: no wait then.
    std::size_t got = 0;
    const auto deadline = clock_.now() + kReaderWindow;
    for (; fill - pos < 6;) {
      std::uint32_t waiting = 0;
      if (DataWaiting(waiting)) {
        ReadSome(buffer.data() + fill, kFillLimit - fill, got);
        break;
      }
      const auto now = clock_.now();
      if (now >= deadline || readerStopRequest_.load()) {
        break;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
      PollWait(std::min<std::chrono::milliseconds>(kReaderPoll, std::max(left, 1ms)));
    }
    fill += got;
    if (fill - pos < 6) {
      continue;
    }
    // Every whole packet held is posted in this pass, then the reader pauses
    // once. Posting one packet per 35 ms pass would cap the reader at about
    // 28 packets a second: a sensor streaming faster would build a backlog in
    // the adapter's queue that only grows, and the display would show ever
    // older readings until the queue overflowed.
    bool posted = false;
    for (;;) {
      while (!(buffer[pos] == kFrameStart && buffer[pos + 1] == kFrameStart)) {
        ++pos;
        if (fill - pos < 6) {
          break;
        }
      }
      if (fill - pos < 6) {
        break;
      }
      std::array<std::uint8_t, 6> packet{};
      std::memcpy(packet.data(), buffer.data() + pos, 6);
      const int check = ByteSum(std::span<const std::uint8_t>(packet).subspan(2, 4)) == 0 ? 6 : -6;
      if (ILiveSink* sink = notify_.load()) {
        sink->OnStreamPacket(check, packet);
      }
      pos += 6;
      posted = true;
      if (fill - pos < 6) {
        break;
      }
    }
    if (posted) {
      clock_.sleep_for(kReaderPacketPause);
    }
  }
  readerRunning_.store(false);
  return 0;
}

}  // namespace tolvane::link
