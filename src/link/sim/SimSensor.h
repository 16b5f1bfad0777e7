// The simulated sensor: the four memory pages and the information memory,
// the command set with its acknowledgement, data and ready frames, streaming
// packets and the wake-up packets, pacing at the line rate and injected
// faults. It is driven by its owner (the in-process bridge or tolvane-sim):
// bytes from the host go in with their arrival time, and the sensor's bytes
// come out each with the time it is on the line.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tolvane::link::sim {

using Time = std::chrono::steady_clock::time_point;
using Duration = std::chrono::steady_clock::duration;

// One byte at 9600 baud with start and stop bit: 10 bits.
inline constexpr Duration kByteTime = std::chrono::microseconds(1042);

inline constexpr std::size_t kPageSize = 512;
inline constexpr std::size_t kPageCount = 4;
inline constexpr std::size_t kInfoSize = 128;

// Status bytes the simulated sensor answers with when it refuses a command.
enum : std::uint8_t {
  kSimStatusChecksum = 0x01,  // the frame's checksum is wrong
  kSimStatusArgument = 0x02,  // page, block or key out of range
  kSimStatusUnknown = 0x03,   // command not known
  kSimStatusFull = 0x04,      // program memory full
  kSimStatusErase = 0x05,     // the program flash could not be erased
  kSimStatusCrc = 0x06,       // the CRC given with 0x28 does not match the image received
};

// What the simulated unit's loader finds at the start of a program image once
// it has deciphered it: a magic, the software revision the image brings, the
// image's length and its program name. When the last byte of such an image has
// been flashed, the unit's software revision (Factory page word 13) becomes
// the image's.
inline constexpr std::size_t kSimImageHeader = 28;
struct SIM_IMAGE_HEADER {
  std::uint16_t revision = 0;
  std::uint32_t length = 0;
  std::string programName;
};
std::optional<SIM_IMAGE_HEADER> ParseSimImage(const std::uint8_t* bytes, std::size_t count);
// An image of `size` bytes (at least the header) for a program name and
// revision; the rest is pseudo-random from `seed`, so the same arguments give
// the same bytes.
std::vector<std::uint8_t> MakeSimImage(const std::string& programName, std::uint16_t revision, std::size_t size,
                                       std::uint32_t seed);

struct SimIdentity {
  std::string hardwareModel = "QR27-4W";
  std::string firmwareName = "QR27-LVL";
  std::uint16_t softwareRevision = 0x0203;
  std::uint32_t serial = 270042;
  std::uint32_t hardwareSerial = 270042;
};

// The shipped identities by key: "qr25", "qr27", "qr30".
std::optional<SimIdentity> ShippedIdentity(std::string_view key);

struct SimFaults {
  std::uint32_t dropEvery = 0;           // drop every Nth byte sent (0: never)
  std::uint32_t corruptEvery = 0;        // invert every Nth byte sent (0: never)
  int statusByte = 0;                    // non-zero: acknowledge with this status ...
  int statusCommand = -1;                // ... for this command code (-1: for every command)
  bool noReady = false;                  // never send a ready frame
  bool silent = false;                   // send nothing at all
  std::uint64_t unplugAfter = 0;         // unplug after this many bytes sent (0: never)
  bool neverWake = false;                // ignore the W and L packets
  int eraseFailures = 0;                 // refuse this many erases (0x17) before one succeeds
  std::uint32_t noReadyAfterPacket = 0;  // no ready frame from this data packet (0x24) on (0: never)
  std::uint32_t unplugAfterPacket = 0;   // unplug once this data packet is acknowledged (0: never)
  bool crcMismatch = false;              // refuse every CRC check (0x28)
};

struct SimOptions {
  SimIdentity identity;
  SimFaults faults;
  bool streaming = false;    // start in the running (streaming) state
  bool pace = false;         // keep the true line rate in both directions
  bool trailingZero = true;  // end every frame with 0x00, as the host does
  Duration packetPeriod = std::chrono::milliseconds(100);
  Duration eraseTime = std::chrono::milliseconds(1000);  // erasing the program flash (0x17)
  Duration flashTime = std::chrono::milliseconds(2);     // flashing one data packet (0x24)
};

// What the owner of a simulated line needs from the peer behind it.
class ISimPeer {
 public:
  virtual ~ISimPeer() = default;
  // Bytes from the host, arriving at `at`.
  virtual void HostBytes(const std::uint8_t* bytes, std::size_t count, Time at) = 0;
  // Lets time-driven output (streaming packets) happen up to `now`.
  virtual void AdvanceTo(Time now) = 0;
  // The earliest time at which more output appears, if any is pending.
  virtual std::optional<Time> NextEvent() const = 0;
  // Output bytes on the line by `now`.
  virtual std::size_t Available(Time now) const = 0;
  virtual std::size_t Take(Time now, std::uint8_t* dst, std::size_t max) = 0;
  // Drops the output that has arrived by `now` (a receive flush).
  virtual void DiscardArrived(Time now) = 0;
  // True once the adapter has been pulled out, as seen at `now`.
  virtual bool Unplugged(Time now) const = 0;
};

// Output bytes with the time each is on the line; optionally paced.
class CSimLine {
 public:
  explicit CSimLine(bool pace) : pace_(pace) {}
  // Returns the time the last byte is on the line.
  Time Send(const std::uint8_t* bytes, std::size_t count, Time at);
  std::size_t Available(Time now) const;
  std::size_t Take(Time now, std::uint8_t* dst, std::size_t max);
  void DiscardArrived(Time now);
  std::optional<Time> NextByteTime() const;
  void Clear() { bytes_.clear(); }

 private:
  bool pace_;
  Time lineFree_{};
  std::deque<std::pair<std::uint8_t, Time>> bytes_;
};

class CSimSensor final : public ISimPeer {
 public:
  CSimSensor(SimOptions options, Time start);

  void HostBytes(const std::uint8_t* bytes, std::size_t count, Time at) override;
  void AdvanceTo(Time now) override;
  std::optional<Time> NextEvent() const override;
  std::size_t Available(Time now) const override { return line_.Available(now); }
  std::size_t Take(Time now, std::uint8_t* dst, std::size_t max) override { return line_.Take(now, dst, max); }
  void DiscardArrived(Time now) override { line_.DiscardArrived(now); }
  bool Unplugged(Time now) const override { return unplugAt_.has_value() && now > *unplugAt_; }

  // Plugs the sensor in again after an unplug; the unplug fault is spent.
  void Replug();
  bool Streaming() const { return streaming_; }
  SimFaults& Faults() { return options_.faults; }

  // Memory: page by wire number 1..4, the information memory.
  std::array<std::uint8_t, kPageSize>& Page(int wireNumber);
  std::array<std::uint8_t, kInfoSize>& InfoMemory() { return info_; }
  std::size_t ProgramBytes() const { return program_.size(); }
  // The program image received since the last erase.
  const std::vector<std::uint8_t>& Program() const { return program_; }
  std::uint32_t DataPackets() const { return dataPackets_; }
  std::uint16_t SoftwareRevision() const;
  std::uint64_t BytesSent() const { return sent_; }
  std::uint64_t CommandsAnswered() const { return answered_; }

  // State file: the pages and the information memory. Save writes beside the
  // file and renames over it. Load returns false when there is no valid file.
  bool LoadState(const std::filesystem::path& file);
  bool SaveState(const std::filesystem::path& file) const;
  // Where memory changes are saved automatically ("" for nowhere).
  void SetStateFile(std::filesystem::path file) { stateFile_ = std::move(file); }

 private:
  void ApplyIdentity();
  void ProcessCommandBytes(Time at);
  void HandleFrame(const std::vector<std::uint8_t>& frame, Time at);
  void Emit(std::vector<std::uint8_t> frame, Time at);
  // Puts bytes on the line, through the injected faults.
  void Put(const std::vector<std::uint8_t>& bytes, Time at);
  void SendAck(std::uint8_t code, std::uint8_t status, Time at);
  void SendData(std::uint8_t h1, std::uint8_t h2, const std::uint8_t* data, Time at);
  void SendReady(Time at);
  void EmitPacket(Time at);
  void Persist() const;
  void ProgramPacket(const std::uint8_t* payload, Time at);

  SimOptions options_;
  CSimLine line_;
  bool streaming_;
  bool wakeArmed_ = false;
  std::optional<Time> unplugAt_;  // the adapter is gone after this time
  Time nextPacket_;
  Time inLineFree_{};
  Time partialSince_{};
  std::vector<std::uint8_t> input_;          // command bytes not yet handled
  std::array<std::uint8_t, 7> lastSeven_{};  // the last bytes heard while streaming
  std::uint64_t sent_ = 0;
  std::uint64_t answered_ = 0;
  std::uint32_t packetCounter_ = 0;
  std::uint32_t dataPackets_ = 0;

  std::array<std::array<std::uint8_t, kPageSize>, kPageCount> pages_{};
  std::array<std::uint8_t, kInfoSize> info_{};
  std::array<std::uint8_t, kPageSize> scratch_{};
  std::vector<std::uint8_t> program_;
  std::filesystem::path stateFile_;
};

}  // namespace tolvane::link::sim
