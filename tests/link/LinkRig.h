// A link on simulated time with simulated adapters, and a peer that answers
// with scripted bytes, for the link's tests.
#pragma once

#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/Clock.h"
#include "link/UsbLink.h"
#include "link/sim/SimBridge.h"
#include "link/sim/SimSensor.h"

namespace tolvane::link::test {

using Bytes = std::vector<std::uint8_t>;

// Answers each write of the host with the next scripted reply (or with
// `everyWrite` once the script is used up), and can put bytes on the line
// without being asked.
class ScriptedPeer final : public sim::ISimPeer {
 public:
  explicit ScriptedPeer(bool pace = false) : line_(pace) {}

  void Script(Bytes reply) {
    std::lock_guard lock(m_);
    replies_.push_back(std::move(reply));
  }
  void AnswerEveryWrite(Bytes reply) {
    std::lock_guard lock(m_);
    everyWrite_ = std::move(reply);
  }
  void Put(const Bytes& bytes, sim::Time at) {
    std::lock_guard lock(m_);
    line_.Send(bytes.data(), bytes.size(), at);
  }
  void Unplug() {
    std::lock_guard lock(m_);
    unplugged_ = true;
  }

  void HostBytes(const std::uint8_t*, std::size_t, sim::Time at) override {
    std::lock_guard lock(m_);
    if (!replies_.empty()) {
      line_.Send(replies_.front().data(), replies_.front().size(), at);
      replies_.pop_front();
    } else if (!everyWrite_.empty()) {
      line_.Send(everyWrite_.data(), everyWrite_.size(), at);
    }
  }
  void AdvanceTo(sim::Time) override {}
  std::optional<sim::Time> NextEvent() const override {
    std::lock_guard lock(m_);
    return line_.NextByteTime();
  }
  std::size_t Available(sim::Time now) const override {
    std::lock_guard lock(m_);
    return line_.Available(now);
  }
  std::size_t Take(sim::Time now, std::uint8_t* dst, std::size_t max) override {
    std::lock_guard lock(m_);
    return line_.Take(now, dst, max);
  }
  void DiscardArrived(sim::Time now) override {
    std::lock_guard lock(m_);
    line_.DiscardArrived(now);
  }
  bool Unplugged(sim::Time) const override {
    std::lock_guard lock(m_);
    return unplugged_;
  }

 private:
  mutable std::mutex m_;
  sim::CSimLine line_;
  std::deque<Bytes> replies_;
  Bytes everyWrite_;
  bool unplugged_ = false;
};

// CSimSensor is not thread-safe by itself; the bridge calls it under its lock,
// the tests only between link operations.
struct LinkRig {
  SimulatedClock clock;
  sim::CSimBridge bridge{clock};
  CUsbLink link{bridge, clock};
  std::thread worker;

  explicit LinkRig(bool startWorker = true) {
    if (startWorker) {
      worker = std::thread([this] { link.RunWorker(); });
    }
  }
  ~LinkRig() {
    link.QuitEvent().Set();
    if (worker.joinable()) {
      worker.join();
    }
  }

  std::shared_ptr<sim::CSimSensor> AddSensor(sim::SimOptions options = {},
                                             std::string description = "Quenby USB Device") {
    auto sensor = std::make_shared<sim::CSimSensor>(std::move(options), clock.now());
    sim::SimAdapter a;
    a.description = description;
    a.peer = sensor;
    bridge.AddAdapter(std::move(a));
    link.SetSelectedDescription(description);
    return sensor;
  }
  std::shared_ptr<ScriptedPeer> AddScripted(std::string description = "Quenby USB Device") {
    auto peer = std::make_shared<ScriptedPeer>();
    sim::SimAdapter a;
    a.description = description;
    a.peer = peer;
    bridge.AddAdapter(std::move(a));
    link.SetSelectedDescription(description);
    return peer;
  }
  // Simulated time since `from`, in milliseconds.
  long long MsSince(IClock::time_point from) const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(clock.now() - from).count();
  }
};

inline Bytes Ack(std::uint8_t code, std::uint8_t status) {
  Bytes f{0xA5, 0x03, 0x2F, code, status, 0};
  f[5] = ByteSum(std::span<const std::uint8_t>(f).first(5));
  return f;
}

inline Bytes DataFrame(std::uint8_t fill) {
  // Sized up front: growing a 4-byte vector by insert trips a false
  // -Warray-bounds in GCC 12 at -O3.
  Bytes f(69, fill);
  f[0] = 0xA5;
  f[1] = 0x42;
  f[2] = 0x01;
  f[3] = 0x00;
  f[68] = ByteSum(std::span<const std::uint8_t>(f).first(68));
  return f;
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& p : parts) {
    all.insert(all.end(), p.begin(), p.end());
  }
  return all;
}

}  // namespace tolvane::link::test
