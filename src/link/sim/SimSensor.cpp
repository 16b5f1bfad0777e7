#include "link/sim/SimSensor.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <string>

#include "common/FileSystem.h"

namespace tolvane::link::sim {

namespace {

constexpr std::uint8_t kStart = 0xA5;
constexpr std::array<std::uint8_t, 7> kWakeW{0xA5, 0xA5, 0x57, 0x00, 0x00, 0x00, 0xA9};
constexpr std::array<std::uint8_t, 7> kWakeL{0xA5, 0xA5, 0x4C, 0x00, 0x00, 0x00, 0xB4};
constexpr char kStateMagic[8] = {'T', 'O', 'L', 'V', 'S', 'I', 'M', '1'};
// The same with the program image received appended (its length, then the bytes).
constexpr char kStateMagic2[8] = {'T', 'O', 'L', 'V', 'S', 'I', 'M', '2'};
constexpr char kImageMagic[4] = {'T', 'V', 'F', 'W'};
constexpr std::size_t kMaxProgram = 128 * 1024;
// A command frame left incomplete for this long is thrown away.
constexpr auto kStaleInput = std::chrono::milliseconds(200);

std::uint8_t Sum(const std::uint8_t* b, std::size_t n) {
  unsigned s = 0;
  for (std::size_t i = 0; i < n; ++i) {
    s += b[i];
  }
  return static_cast<std::uint8_t>(s & 0xFFu);
}

void PutWord(std::uint8_t* page, std::size_t word, std::uint16_t value) {
  page[2 * word] = static_cast<std::uint8_t>(value & 0xFFu);
  page[2 * word + 1] = static_cast<std::uint8_t>(value >> 8);
}

// 32-bit value as two little-endian words, high word first.
void PutSerial(std::uint8_t* at, std::uint32_t value) {
  const auto high = static_cast<std::uint16_t>(value >> 16);
  const auto low = static_cast<std::uint16_t>(value & 0xFFFFu);
  at[0] = static_cast<std::uint8_t>(high & 0xFFu);
  at[1] = static_cast<std::uint8_t>(high >> 8);
  at[2] = static_cast<std::uint8_t>(low & 0xFFu);
  at[3] = static_cast<std::uint8_t>(low >> 8);
}

void PutText(std::uint8_t* at, std::size_t room, const std::string& text) {
  std::memset(at, 0, room);
  std::memcpy(at, text.data(), std::min(text.size(), room - 1));
}

// The Customer page a unit of the identity's family leaves the factory with
// (little-endian words, heights and levels in millimetres):
//   0 layout version               1 sensor height    3 fill height
//   8..14 selection items (option codes of the family's model)
//   20..25 level set-points        30 advanced flags, bit n-1 for entry bit n
//   31..37 advanced values (0xFFFF: none)
//   40..42 model code, map version, relay count
//   224..255 notes text, zero-terminated
std::array<std::uint8_t, kPageSize> DefaultCustomerPage(const SimIdentity& id) {
  struct Word {
    std::uint16_t word;
    std::uint16_t value;
  };
  // QR27: Level, 4-20 mA, relay 1 Lo Alarm, relay 2 Hi Alarm, Hold Last
  // Value, De-energize, Medium (configuration #1); damping 5 s, blanking
  // 300 mm and echo lock.
  static constexpr Word kQR27[] = {{0, 1},       {1, 5080},    {3, 4572},    {8, 1},       {9, 0},
                                   {10, 0},      {11, 1},      {12, 0},      {13, 0},      {14, 1},
                                   {20, 254},    {21, 762},    {23, 4064},   {25, 4445},   {30, 0x0007},
                                   {31, 5},      {32, 300},    {33, 0xFFFF}, {34, 0xFFFF}, {35, 0xFFFF},
                                   {36, 0xFFFF}, {37, 0xFFFF}, {40, 27},     {41, 2},      {42, 0}};
  // QR25: Level, 4-20 mA, no loop alarm, Hold Last Value, Medium
  // (configuration #1); damping 5 s, blanking 200 mm and echo lock.
  static constexpr Word kQR25[] = {{0, 1},    {1, 3048},    {3, 2540},    {8, 1},     {9, 0},       {10, 0},
                                   {12, 0},   {14, 1},      {20, 127},    {25, 2413}, {30, 0x0007}, {31, 5},
                                   {32, 200}, {33, 0xFFFF}, {35, 0xFFFF}, {40, 25},   {41, 2}};
  // QR30: Pump Down, one pump, Lo and Hi Alarm, De-energize, Level, Medium
  // (configuration #7); damping 5 s, blanking 300 mm, echo lock and a pump
  // run-on of 10 s.
  static constexpr Word kQR30[] = {{0, 1},  {1, 6096}, {3, 5588},    {8, 0},    {9, 1},     {10, 2},    {11, 0},
                                   {12, 0}, {13, 1},   {20, 305},    {21, 610}, {22, 3810}, {24, 5080}, {30, 0x0027},
                                   {31, 5}, {32, 300}, {34, 0xFFFF}, {36, 10},  {40, 30},   {41, 2},    {42, 4}};

  std::span<const Word> words(kQR27);
  std::string notes = "Simulated QR27 unit";
  if (id.hardwareModel.starts_with("QR25")) {
    words = kQR25;
    notes = "Simulated QR25 unit";
  } else if (id.hardwareModel.starts_with("QR30")) {
    words = kQR30;
    notes = "Simulated QR30 unit";
  }
  std::array<std::uint8_t, kPageSize> page{};
  for (const Word& w : words) {
    PutWord(page.data(), w.word, w.value);
  }
  PutText(page.data() + 448, 64, notes);
  return page;
}

std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint32_t Crc32(const std::uint8_t* p, std::size_t n) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) {
      crc = (crc & 1u) != 0 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
  }
  return ~crc;
}

}  // namespace

std::optional<SIM_IMAGE_HEADER> ParseSimImage(const std::uint8_t* bytes, std::size_t count) {
  if (count < kSimImageHeader || std::memcmp(bytes, kImageMagic, 4) != 0) {
    return std::nullopt;
  }
  SIM_IMAGE_HEADER h;
  h.revision = static_cast<std::uint16_t>(bytes[4] | (bytes[5] << 8));
  h.length = Le32(bytes + 8);
  const auto* name = reinterpret_cast<const char*>(bytes + 12);
  h.programName.assign(name, strnlen(name, 16));
  if (h.length < kSimImageHeader) {
    return std::nullopt;
  }
  return h;
}

std::vector<std::uint8_t> MakeSimImage(const std::string& programName, std::uint16_t revision, std::size_t size,
                                       std::uint32_t seed) {
  size = std::max(size, kSimImageHeader);
  std::vector<std::uint8_t> image(size, 0);
  std::memcpy(image.data(), kImageMagic, 4);
  image[4] = static_cast<std::uint8_t>(revision & 0xFFu);
  image[5] = static_cast<std::uint8_t>(revision >> 8);
  for (std::size_t i = 0; i < 4; ++i) {
    image[8 + i] = static_cast<std::uint8_t>((size >> (8 * i)) & 0xFFu);
  }
  std::memcpy(image.data() + 12, programName.data(), std::min<std::size_t>(programName.size(), 15));
  // A xorshift stream stands for the enciphered program.
  std::uint32_t x = seed != 0 ? seed : 0x9E3779B9u;
  for (std::size_t i = kSimImageHeader; i < size; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    image[i] = static_cast<std::uint8_t>(x >> 24);
  }
  return image;
}

std::optional<SimIdentity> ShippedIdentity(std::string_view key) {
  if (key == "qr25") {
    return SimIdentity{"QR25-2W", "QR25-LVL", 0x0102, 250117, 250117};
  }
  if (key == "qr27") {
    return SimIdentity{"QR27-4W", "QR27-LVL", 0x0203, 270042, 270042};
  }
  if (key == "qr30") {
    return SimIdentity{"QR30-RLY", "QR30-RLY", 0x0110, 300311, 300311};
  }
  return std::nullopt;
}

// ---------------------------------------------------------------- line

Time CSimLine::Send(const std::uint8_t* bytes, std::size_t count, Time at) {
  Time last = at;
  for (std::size_t i = 0; i < count; ++i) {
    Time t = at;
    if (pace_) {
      lineFree_ = std::max(lineFree_, at) + kByteTime;
      t = lineFree_;
    }
    bytes_.emplace_back(bytes[i], t);
    last = t;
  }
  return last;
}

std::size_t CSimLine::Available(Time now) const {
  std::size_t n = 0;
  for (const auto& [b, t] : bytes_) {
    if (t > now) {
      break;
    }
    ++n;
  }
  return n;
}

std::size_t CSimLine::Take(Time now, std::uint8_t* dst, std::size_t max) {
  std::size_t n = 0;
  while (n < max && !bytes_.empty() && bytes_.front().second <= now) {
    dst[n++] = bytes_.front().first;
    bytes_.pop_front();
  }
  return n;
}

void CSimLine::DiscardArrived(Time now) {
  while (!bytes_.empty() && bytes_.front().second <= now) {
    bytes_.pop_front();
  }
}

std::optional<Time> CSimLine::NextByteTime() const {
  if (bytes_.empty()) {
    return std::nullopt;
  }
  return bytes_.front().second;
}

// ---------------------------------------------------------------- sensor

CSimSensor::CSimSensor(SimOptions options, Time start)
    : options_(std::move(options)),
      line_(options_.pace),
      streaming_(options_.streaming),
      nextPacket_(start + options_.packetPeriod),
      inLineFree_(start) {
  // Customer page: a valid configuration of the unit's model, as a unit
  // leaves the factory.
  pages_[0] = DefaultCustomerPage(options_.identity);
  // History page: running hours and counts of echo losses and power cycles.
  PutWord(pages_[2].data(), 0, 1234);
  PutWord(pages_[2].data(), 1, 17);
  PutWord(pages_[2].data(), 2, 42);
  // OCM page: open-channel flow table left at its erased value.
  pages_[3].fill(0xFF);
  // Factory calibration words and the information memory's calibration.
  PutWord(pages_[1].data(), 0, 0x5A5A);
  PutWord(pages_[1].data(), 1, 340);  // speed of sound, m/s
  PutWord(pages_[1].data(), 2, 250);  // blanking distance, mm
  PutWord(info_.data(), 0, 0x0C80);   // TCAL
  PutWord(info_.data(), 1, 0x0190);   // TVAL
  PutWord(info_.data(), 2, 1000);     // CALA
  PutWord(info_.data(), 3, 2000);     // CALC
  PutWord(info_.data(), 4, 3000);     // CALD
  PutWord(info_.data(), 15, 1);       // CALDONE
  scratch_.fill(0xFF);
  ApplyIdentity();
}

void CSimSensor::ApplyIdentity() {
  const SimIdentity& id = options_.identity;
  auto& factory = pages_[1];
  PutWord(factory.data(), 13, id.softwareRevision);
  PutSerial(factory.data() + 96, id.serial);
  PutText(factory.data() + 138, 16, id.firmwareName.substr(0, 14));
  PutSerial(info_.data() + 10, id.hardwareSerial);
  PutText(info_.data() + 14, 16, id.hardwareModel.substr(0, 15));
}

std::array<std::uint8_t, kPageSize>& CSimSensor::Page(int wireNumber) {
  return pages_[static_cast<std::size_t>(std::clamp(wireNumber, 1, 4) - 1)];
}

void CSimSensor::Replug() {
  unplugAt_.reset();
  options_.faults.unplugAfter = 0;
  line_.Clear();
  input_.clear();
}

void CSimSensor::HostBytes(const std::uint8_t* bytes, std::size_t count, Time at) {
  if (unplugAt_) {
    return;
  }
  AdvanceTo(at);
  for (std::size_t i = 0; i < count; ++i) {
    Time t = at;
    if (options_.pace) {
      inLineFree_ = std::max(inLineFree_, at) + kByteTime;
      t = inLineFree_;
    }
    const std::uint8_t b = bytes[i];
    if (streaming_) {
      std::memmove(lastSeven_.data(), lastSeven_.data() + 1, 6);
      lastSeven_[6] = b;
      if (options_.faults.neverWake) {
        continue;
      }
      if (lastSeven_ == kWakeW) {
        wakeArmed_ = true;
      } else if (lastSeven_ == kWakeL && wakeArmed_) {
        streaming_ = false;
        wakeArmed_ = false;
        input_.clear();
      }
      continue;
    }
    if (!input_.empty() && t - partialSince_ > kStaleInput) {
      input_.clear();
    }
    if (input_.empty()) {
      partialSince_ = t;
    }
    input_.push_back(b);
    ProcessCommandBytes(t);
  }
}

void CSimSensor::ProcessCommandBytes(Time at) {
  for (;;) {
    const auto start = std::find(input_.begin(), input_.end(), kStart);
    input_.erase(input_.begin(), start);
    if (input_.size() < 2) {
      return;
    }
    if (input_[1] == kStart) {
      // A wake-up packet while awake: seven bytes, ignored.
      if (input_.size() < 7) {
        return;
      }
      input_.erase(input_.begin(), input_.begin() + 7);
      continue;
    }
    const std::size_t length = input_[1];
    if (length == 0) {
      input_.erase(input_.begin());
      continue;
    }
    if (input_.size() < length + 3) {
      return;
    }
    std::vector<std::uint8_t> frame(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(length + 3));
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(length + 3));
    partialSince_ = at;
    HandleFrame(frame, at);
    if (streaming_) {
      input_.clear();
      return;
    }
  }
}

void CSimSensor::HandleFrame(const std::vector<std::uint8_t>& frame, Time at) {
  const std::size_t length = frame[1];
  const std::uint8_t code = frame[2];
  const std::uint8_t* payload = frame.data() + 3;
  const std::size_t payloadSize = length - 1;
  ++answered_;
  if (Sum(frame.data(), length + 2) != frame[length + 2]) {
    SendAck(code, kSimStatusChecksum, at);
    return;
  }
  const SimFaults& f = options_.faults;
  if (f.statusByte != 0 && (f.statusCommand < 0 || f.statusCommand == code)) {
    SendAck(code, static_cast<std::uint8_t>(f.statusByte), at);
    return;
  }
  switch (code) {
    case 0x10:  // sync
      SendAck(code, 0, at);
      return;
    case 0x49:  // end of programming
      Persist();
      SendAck(code, 0, at);
      return;
    case 0x28: {  // verify the CRC (and the length, when given) of the image received
      if (payloadSize < 4) {
        SendAck(code, kSimStatusArgument, at);
        return;
      }
      std::size_t covered = program_.size();
      if (payloadSize >= 8) {
        covered = Le32(payload + 4);
      }
      const bool match =
          !f.crcMismatch && covered <= program_.size() && Crc32(program_.data(), covered) == Le32(payload);
      SendAck(code, match ? 0 : kSimStatusCrc, at);
      return;
    }
    case 0x17:  // erase program flash: the acknowledgement comes when it is done
      if (options_.faults.eraseFailures > 0) {
        --options_.faults.eraseFailures;
        SendAck(code, kSimStatusErase, at + options_.eraseTime);
        return;
      }
      program_.clear();
      dataPackets_ = 0;
      SendAck(code, 0, at + options_.eraseTime);
      return;
    case 0x21:  // resume streaming
      SendAck(code, 0, at);
      streaming_ = true;
      wakeArmed_ = false;
      lastSeven_.fill(0);
      nextPacket_ = at + options_.packetPeriod;
      return;
    case 0x24:  // firmware data packet
      if (payloadSize != 64) {
        SendAck(code, kSimStatusArgument, at);
        return;
      }
      if (program_.size() + 64 > kMaxProgram) {
        SendAck(code, kSimStatusFull, at);
        return;
      }
      ProgramPacket(payload, at);
      return;
    case 0x31: {  // read a block of a page
      if (payloadSize != 2 || payload[0] < 1 || payload[0] > 4 || payload[1] > 7) {
        SendAck(code, kSimStatusArgument, at);
        return;
      }
      SendAck(code, 0, at);
      const auto& page = pages_[payload[0] - 1u];
      SendData(payload[0], payload[1], page.data() + 64u * payload[1], at);
      return;
    }
    case 0x32:  // write a block into the scratch area
      if (payloadSize != 65 || payload[0] > 7) {
        SendAck(code, kSimStatusArgument, at);
        return;
      }
      std::memcpy(scratch_.data() + 64u * payload[0], payload + 1, 64);
      SendAck(code, 0, at);
      SendReady(at);
      return;
    case 0x33:  // erase the scratch area
      scratch_.fill(0xFF);
      SendAck(code, 0, at);
      return;
    case 0x34:  // copy the scratch area to the Customer or Factory page
      if (payloadSize != 1 || (payload[0] != 1 && payload[0] != 2)) {
        SendAck(code, kSimStatusArgument, at);
        return;
      }
      pages_[payload[0] - 1u] = scratch_;
      Persist();
      SendAck(code, 0, at);
      return;
    case 0x36:  // erase the history page
      pages_[2].fill(0);
      Persist();
      SendAck(code, 0, at);
      return;
    case 0x37:  // read a block of the information memory
      if (payloadSize != 1 || payload[0] > 1) {
        SendAck(code, kSimStatusArgument, at);
        return;
      }
      SendAck(code, 0, at);
      SendData(0, payload[0], info_.data() + 64u * payload[0], at);
      return;
    case 0x38:  // copy the scratch area to the information memory
      if (payloadSize != 1 || payload[0] != 0x5A) {
        SendAck(code, kSimStatusArgument, at);
        return;
      }
      std::memcpy(info_.data(), scratch_.data(), kInfoSize);
      Persist();
      SendAck(code, 0, at);
      return;
    default:
      SendAck(code, kSimStatusUnknown, at);
      return;
  }
}

void CSimSensor::ProgramPacket(const std::uint8_t* payload, Time at) {
  const std::size_t before = program_.size();
  program_.insert(program_.end(), payload, payload + 64);
  ++dataPackets_;
  const SimFaults& f = options_.faults;
  SendAck(0x24, 0, at);
  if (f.unplugAfterPacket != 0 && dataPackets_ >= f.unplugAfterPacket) {
    unplugAt_ = at;
    return;
  }
  // The loader deciphers the image as it comes; once its last byte is in the
  // flash, the unit runs the new program.
  const auto header = ParseSimImage(program_.data(), program_.size());
  if (header && before < header->length && program_.size() >= header->length) {
    PutWord(pages_[1].data(), 13, header->revision);
    Persist();
  }
  if (f.noReadyAfterPacket != 0 && dataPackets_ >= f.noReadyAfterPacket) {
    return;
  }
  SendReady(at + options_.flashTime);
}

std::uint16_t CSimSensor::SoftwareRevision() const {
  return static_cast<std::uint16_t>(pages_[1][26] | (pages_[1][27] << 8));
}

void CSimSensor::Emit(std::vector<std::uint8_t> frame, Time at) {
  if (options_.trailingZero) {
    frame.push_back(0);
  }
  Put(frame, at);
}

void CSimSensor::Put(const std::vector<std::uint8_t>& bytes, Time at) {
  const SimFaults& f = options_.faults;
  if (f.silent || unplugAt_) {
    return;
  }
  std::vector<std::uint8_t> out;
  out.reserve(bytes.size());
  bool unplug = false;
  for (std::uint8_t b : bytes) {
    ++sent_;
    if (f.dropEvery != 0 && sent_ % f.dropEvery == 0) {
      continue;
    }
    if (f.corruptEvery != 0 && sent_ % f.corruptEvery == 0) {
      b = static_cast<std::uint8_t>(~b);
    }
    out.push_back(b);
    if (f.unplugAfter != 0 && sent_ >= f.unplugAfter) {
      unplug = true;
      break;
    }
  }
  const Time last = line_.Send(out.data(), out.size(), at);
  if (unplug) {
    unplugAt_ = last;
  }
}

void CSimSensor::SendAck(std::uint8_t code, std::uint8_t status, Time at) {
  std::vector<std::uint8_t> f{kStart, 0x03, 0x2F, code, status, 0};
  f[5] = Sum(f.data(), 5);
  Emit(std::move(f), at);
}

void CSimSensor::SendData(std::uint8_t h1, std::uint8_t h2, const std::uint8_t* data, Time at) {
  std::vector<std::uint8_t> f{kStart, 0x42, h1, h2};
  f.insert(f.end(), data, data + 64);
  f.push_back(Sum(f.data(), f.size()));
  Emit(std::move(f), at);
}

void CSimSensor::SendReady(Time at) {
  if (options_.faults.noReady) {
    return;
  }
  Emit({kStart, 0x01, 0x10, 0xB6}, at);
}

void CSimSensor::EmitPacket(Time at) {
  // A level that rises and falls slowly; the relays follow set-points.
  const std::uint32_t step = packetCounter_++ % 80;
  const std::uint32_t distance = 800 + (step < 40 ? step : 80 - step) * 10;
  std::uint8_t relays = 0;
  if (distance < 900) relays |= 0x1;
  if (distance < 1000) relays |= 0x2;
  if (distance > 1100) relays |= 0x4;
  std::vector<std::uint8_t> p{
      kStart, kStart, static_cast<std::uint8_t>(distance & 0xFFu), static_cast<std::uint8_t>(distance >> 8), relays, 0};
  p[5] = static_cast<std::uint8_t>(0x100u - Sum(p.data() + 2, 3));
  Put(p, at);
}

void CSimSensor::AdvanceTo(Time now) {
  while (streaming_ && !unplugAt_ && nextPacket_ <= now) {
    EmitPacket(nextPacket_);
    nextPacket_ += options_.packetPeriod;
  }
}

std::optional<Time> CSimSensor::NextEvent() const {
  std::optional<Time> next = line_.NextByteTime();
  if (streaming_ && !unplugAt_ && !options_.faults.silent && (!next || nextPacket_ < *next)) {
    next = nextPacket_;
  }
  return next;
}

void CSimSensor::Persist() const {
  if (!stateFile_.empty()) {
    SaveState(stateFile_);
  }
}

bool CSimSensor::LoadState(const std::filesystem::path& file) {
  // Only a regular file of the state's size: a pipe is not waited on.
  constexpr std::size_t kStateBytes = sizeof(kStateMagic) + kPageCount * kPageSize + kInfoSize;
  std::string raw;
  if (ReadFileBounded(file, kStateBytes + 4 + kMaxProgram, raw) != ReadResult::Ok || raw.size() < kStateBytes) {
    return false;
  }
  const bool withProgram = std::memcmp(raw.data(), kStateMagic2, sizeof(kStateMagic2)) == 0;
  if (!withProgram && (std::memcmp(raw.data(), kStateMagic, sizeof(kStateMagic)) != 0 || raw.size() != kStateBytes)) {
    return false;
  }
  if (withProgram) {
    if (raw.size() < kStateBytes + 4) {
      return false;
    }
    const std::uint32_t length = Le32(reinterpret_cast<const std::uint8_t*>(raw.data()) + kStateBytes);
    if (length > kMaxProgram || raw.size() != kStateBytes + 4 + length) {
      return false;
    }
    const auto* image = reinterpret_cast<const std::uint8_t*>(raw.data()) + kStateBytes + 4;
    program_.assign(image, image + length);
  }
  const char* p = raw.data() + sizeof(kStateMagic);
  for (auto& page : pages_) {
    std::memcpy(page.data(), p, kPageSize);
    p += kPageSize;
  }
  std::memcpy(info_.data(), p, kInfoSize);
  return true;
}

bool CSimSensor::SaveState(const std::filesystem::path& file) const {
  std::string bytes(kStateMagic2, sizeof(kStateMagic2));
  for (const auto& page : pages_) {
    bytes.append(reinterpret_cast<const char*>(page.data()), page.size());
  }
  bytes.append(reinterpret_cast<const char*>(info_.data()), info_.size());
  const auto length = static_cast<std::uint32_t>(program_.size());
  for (int i = 0; i < 4; ++i) {
    bytes.push_back(static_cast<char>((length >> (8 * i)) & 0xFFu));
  }
  bytes.append(reinterpret_cast<const char*>(program_.data()), program_.size());
  return WriteFileReplacing(file, bytes);
}

}  // namespace tolvane::link::sim
