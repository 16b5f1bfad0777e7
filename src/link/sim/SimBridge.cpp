#include "link/sim/SimBridge.h"

#include <algorithm>

namespace tolvane::link::sim {

std::size_t CSimBridge::AddAdapter(SimAdapter adapter) {
  std::lock_guard lock(mutex_);
  slots_.push_back(Slot{std::move(adapter), true});
  return slots_.size() - 1;
}

void CSimBridge::SetPresent(std::size_t adapter, bool present) {
  std::lock_guard lock(mutex_);
  if (adapter < slots_.size()) {
    slots_[adapter].present = present;
  }
}

void CSimBridge::SetAvailable(bool available) {
  std::lock_guard lock(mutex_);
  available_ = available;
}
void CSimBridge::FailDeviceCount(bool fail) {
  std::lock_guard lock(mutex_);
  failCount_ = fail;
}
void CSimBridge::FailFlowControl(bool fail) {
  std::lock_guard lock(mutex_);
  failFlow_ = fail;
}
void CSimBridge::FailLineControl(bool fail) {
  std::lock_guard lock(mutex_);
  failLine_ = fail;
}
void CSimBridge::FailTimeouts(bool fail) {
  std::lock_guard lock(mutex_);
  failTimeouts_ = fail;
}
void CSimBridge::FailFlush(bool fail) {
  std::lock_guard lock(mutex_);
  failFlush_ = fail;
}

std::vector<std::uint8_t> CSimBridge::Written() const {
  std::lock_guard lock(mutex_);
  return written_;
}

int CSimBridge::OpenHandles() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(handles_.size());
}

bool CSimBridge::Available() const {
  std::lock_guard lock(mutex_);
  return available_;
}

std::vector<std::size_t> CSimBridge::PresentSlots() const {
  std::vector<std::size_t> present;
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    const auto& s = slots_[i];
    if (s.present && !(s.adapter.peer && s.adapter.peer->Unplugged(clock_.now()))) {
      present.push_back(i);
    }
  }
  return present;
}

int CSimBridge::GetDeviceCount(std::uint32_t& count) {
  std::lock_guard lock(mutex_);
  if (failCount_) {
    return kBridgeSystemError;
  }
  enumerated_ = PresentSlots();
  count = static_cast<std::uint32_t>(enumerated_.size());
  return kBridgeOk;
}

int CSimBridge::GetProductString(std::uint32_t index, std::string& text, int option) {
  std::lock_guard lock(mutex_);
  if (index >= enumerated_.size()) {
    return kBridgeDeviceNotFound;
  }
  const SimAdapter& a = slots_[enumerated_[index]].adapter;
  switch (option) {
    case kProductVendorId: text = a.vendorId; return kBridgeOk;
    case kProductProductId: text = a.productId; return kBridgeOk;
    case kProductDescription: text = a.description; return kBridgeOk;
    case kProductSerial:
      if (!a.serialReadable) {
        return kBridgeDeviceNotFound;
      }
      text = a.serial;
      return kBridgeOk;
    default: return kBridgeInvalidParameter;
  }
}

int CSimBridge::Open(std::uint32_t index, BridgeHandle& handle) {
  std::lock_guard lock(mutex_);
  if (index >= enumerated_.size()) {
    return kBridgeDeviceNotFound;
  }
  const std::size_t slot = enumerated_[index];
  if (!slots_[slot].present || !slots_[slot].adapter.peer || slots_[slot].adapter.peer->Unplugged(clock_.now())) {
    return kBridgeDeviceNotFound;
  }
  handle = nextHandle_++;
  handles_[handle] = slot;
  return kBridgeOk;
}

int CSimBridge::Close(BridgeHandle handle) {
  std::lock_guard lock(mutex_);
  return handles_.erase(handle) != 0 ? kBridgeOk : kBridgeInvalidHandle;
}

ISimPeer* CSimBridge::PeerOf(BridgeHandle handle, int& status) {
  const auto it = handles_.find(handle);
  if (it == handles_.end()) {
    status = kBridgeInvalidHandle;
    return nullptr;
  }
  Slot& s = slots_[it->second];
  if (!s.present || !s.adapter.peer || s.adapter.peer->Unplugged(clock_.now())) {
    status = kBridgeDeviceGone;
    return nullptr;
  }
  status = kBridgeOk;
  s.adapter.peer->AdvanceTo(clock_.now());
  return s.adapter.peer.get();
}

int CSimBridge::Read(BridgeHandle handle, std::uint8_t* buffer, std::size_t count, std::size_t& read) {
  read = 0;
  std::optional<Time> next;
  Time deadline;
  {
    std::lock_guard lock(mutex_);
    int status = kBridgeOk;
    ISimPeer* peer = PeerOf(handle, status);
    if (peer == nullptr) {
      return status;
    }
    const Time now = clock_.now();
    if (peer->Available(now) > 0 || count == 0) {
      read = peer->Take(now, buffer, count);
      return kBridgeOk;
    }
    next = peer->NextEvent();
    deadline = now + readTimeout_;
  }
  // Nothing waiting: wait for the first byte, at most the read time-out.
  clock_.sleep_until(next && *next < deadline ? *next : deadline);
  std::lock_guard lock(mutex_);
  int status = kBridgeOk;
  ISimPeer* peer = PeerOf(handle, status);
  if (peer == nullptr) {
    return status;
  }
  read = peer->Take(clock_.now(), buffer, count);
  return kBridgeOk;
}

int CSimBridge::Write(BridgeHandle handle, const std::uint8_t* buffer, std::size_t count, std::size_t& written) {
  written = 0;
  std::lock_guard lock(mutex_);
  int status = kBridgeOk;
  ISimPeer* peer = PeerOf(handle, status);
  if (peer == nullptr) {
    return status;
  }
  written_.insert(written_.end(), buffer, buffer + count);
  peer->HostBytes(buffer, count, clock_.now());
  written = count;
  return kBridgeOk;
}

int CSimBridge::CheckRxQueue(BridgeHandle handle, std::uint32_t& bytesWaiting, std::uint32_t& queueStatus) {
  bytesWaiting = 0;
  queueStatus = 0;
  std::lock_guard lock(mutex_);
  int status = kBridgeOk;
  ISimPeer* peer = PeerOf(handle, status);
  if (peer == nullptr) {
    return status;
  }
  bytesWaiting = static_cast<std::uint32_t>(peer->Available(clock_.now()));
  queueStatus = bytesWaiting > 0 ? kQueueReady : 0;
  return kBridgeOk;
}

int CSimBridge::FlushBuffers(BridgeHandle handle, bool /*transmit*/, bool receive) {
  std::lock_guard lock(mutex_);
  if (failFlush_) {
    return kBridgeSystemError;
  }
  int status = kBridgeOk;
  ISimPeer* peer = PeerOf(handle, status);
  if (peer == nullptr) {
    return status;
  }
  if (receive) {
    peer->DiscardArrived(clock_.now());
  }
  return kBridgeOk;
}

int CSimBridge::SetTimeouts(std::uint32_t readMs, std::uint32_t /*writeMs*/) {
  std::lock_guard lock(mutex_);
  if (failTimeouts_) {
    return kBridgeSystemError;
  }
  readTimeout_ = std::chrono::milliseconds(readMs);
  return kBridgeOk;
}

int CSimBridge::SetBaudRate(BridgeHandle handle, std::uint32_t /*baud*/) {
  std::lock_guard lock(mutex_);
  int status = kBridgeOk;
  PeerOf(handle, status);
  return status;
}

int CSimBridge::SetLineControl(BridgeHandle handle, std::uint16_t /*lineControl*/) {
  std::lock_guard lock(mutex_);
  int status = kBridgeOk;
  PeerOf(handle, status);
  return failLine_ ? kBridgeSystemError : status;
}

int CSimBridge::SetFlowControl(BridgeHandle handle, std::uint8_t, std::uint8_t, std::uint8_t, std::uint8_t,
                               std::uint8_t, bool) {
  std::lock_guard lock(mutex_);
  int status = kBridgeOk;
  PeerOf(handle, status);
  return failFlow_ ? kBridgeSystemError : status;
}

void CSimBridge::WaitForData(BridgeHandle handle, std::chrono::milliseconds timeout) {
  Time target;
  {
    std::lock_guard lock(mutex_);
    const Time now = clock_.now();
    target = now + timeout;
    int status = kBridgeOk;
    ISimPeer* peer = PeerOf(handle, status);
    if (peer != nullptr) {
      if (peer->Available(now) > 0) {
        return;
      }
      const auto next = peer->NextEvent();
      if (next && *next < target) {
        target = std::max(*next, now);
      }
    }
  }
  clock_.sleep_until(target);
}

}  // namespace tolvane::link::sim
