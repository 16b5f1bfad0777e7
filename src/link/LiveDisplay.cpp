#include "link/LiveDisplay.h"

#include <cmath>
#include <cstdio>

#include "common/CheckedFormat.h"

namespace tolvane::link {

using namespace std::chrono_literals;

LIVE_SCALE LiveScale(const MODEL_DEFINITION& model, int unitsIndex, double sensorHeight) {
  LIVE_SCALE s;
  if (unitsIndex < 0 || unitsIndex >= kMaxUnits || unitsIndex > model.unitsLast) {
    return s;
  }
  const double factor = model.unitFactors[static_cast<std::size_t>(unitsIndex)];
  if (!std::isfinite(factor) || factor <= 0.0) {
    return s;
  }
  s.scale = factor;
  const double height = std::isfinite(sensorHeight) && sensorHeight > 0.0 ? sensorHeight : 0.0;
  s.rawHeight = height * factor;
  s.valid = std::isfinite(s.rawHeight);
  if (!s.valid) {
    s.rawHeight = 0.0;
  }
  return s;
}

std::vector<std::string> LiveUnitNames(const MODEL_DEFINITION& model) {
  std::vector<std::string> names;
  for (int u = 0; u <= model.unitsLast && u < kMaxUnits; ++u) {
    names.push_back(model.unitNames[static_cast<std::size_t>(u)]);
  }
  return names;
}

std::string LiveValueText(double value) {
  // Nine characters hold -999999.9 .. 9999999.9; wider values would push the
  // digits out of their field. The width is judged on the text itself, so a
  // value that rounds up to another digit (9999999.96) is caught as well.
  if (!std::isfinite(value) || std::fabs(value) >= 1e7) {
    return kNoValueText;
  }
  char text[32];
  const int length = std::snprintf(text, sizeof text, "%#07.1f", value);
  if (length < 0 || length > 9) {
    return kNoValueText;
  }
  return text;
}

const char* LiveStatusWord(unsigned distance) {
  switch (distance) {
    case 0:
      return "LOST";
    case 1:
      return "FULL";
    case 2:
      return "EMPTY";
    default:
      return nullptr;
  }
}

LIVE_READING DecodeLivePacket(int check, const std::array<std::uint8_t, 6>& packet, const LIVE_SCALE& scale) {
  LIVE_READING r;
  r.check = check;
  r.bytes = packet;
  r.distance = static_cast<unsigned>(packet[2]) + 256u * static_cast<unsigned>(packet[3]);
  const double d = static_cast<double>(r.distance);
  if (scale.valid) {
    r.distanceUnits = d / scale.scale;
    r.distanceText = LiveValueText(*r.distanceUnits);
  } else {
    r.distanceText = kNoValueText;
  }
  if (const char* word = LiveStatusWord(r.distance)) {
    r.levelText = word;
  } else if (scale.valid) {
    r.level = (scale.rawHeight - d) / scale.scale;
    r.levelText = LiveValueText(*r.level);
  } else {
    r.levelText = kNoValueText;
  }
  for (std::size_t i = 0; i < 4; ++i) {
    r.relays[i] = ((static_cast<unsigned>(packet[4]) >> i) & 1u) != 0;
  }
  return r;
}

std::string PacketBytesText(const std::array<std::uint8_t, 6>& packet) {
  std::string text;
  for (const std::uint8_t b : packet) {
    text += Format("%02X ", b);
  }
  return text;
}

bool CLedState::SetState(bool on) {
  if (on == state_) {
    return false;
  }
  state_ = on;
  return true;
}

bool CLedState::Flash() {
  if (state_) {
    return false;
  }
  state_ = true;
  return true;
}

void CLiveDisplayState::Activate(int unitsIndex, double sensorHeight, IClock::time_point now) {
  unitsIndex_ = unitsIndex;
  scale_ = LiveScale(model_, unitsIndex, sensorHeight);
  lastPacket_ = now;
}

void CLiveDisplayState::SelectUnits(int unitsIndex) {
  // The raw height stays as taken at activation.
  const double rawHeight = scale_.rawHeight;
  unitsIndex_ = unitsIndex;
  scale_ = LiveScale(model_, unitsIndex, 0.0);
  scale_.rawHeight = scale_.valid ? rawHeight : 0.0;
}

LIVE_UPDATE CLiveDisplayState::OnPacket(int check, const std::array<std::uint8_t, 6>& packet, IClock::time_point now) {
  LIVE_UPDATE u;
  if (!readerStarted_) {
    return u;
  }
  u.ignored = false;
  u.flash = true;
  lastPacket_ = now;
  if (rawBytes_) {
    if (check != 6) {
      u.checkError = true;  // the readings keep their last values
      return u;
    }
    u.statusText = PacketBytesText(packet);
  }
  u.values = true;
  u.reading = DecodeLivePacket(check, packet, scale_);
  return u;
}

bool CLiveDisplayState::Silent(IClock::time_point now) const {
  return readerStarted_ && now - lastPacket_ >= kSilenceLimit;
}

CLiveDisplayState::Watch CLiveDisplayState::Check(IClock::time_point now, bool adapterGone) const {
  if (!readerStarted_) {
    return Watch::Fine;
  }
  if (adapterGone) {
    return Watch::Unplugged;
  }
  return Silent(now) ? Watch::Silent : Watch::Fine;
}

bool CLiveReaderThread::Start(ILiveSink& sink) {
  if (thread_.joinable()) {
    return false;
  }
  link_.SetNotificationSink(&sink);
  link_.ArmReader();
  ended_.store(false);
  thread_ = std::thread([this] {
    link_.RunLiveReader();
    ended_.store(true);
  });
  // Until the reader runs it does not take part in the clock's time: a
  // simulated clock would let the caller's waits pass as if the reader
  // were there and silent. The reader is running within microseconds.
  while (!link_.ReaderRunning() && !ended_.load()) {
    std::this_thread::yield();
  }
  return true;
}

void CLiveReaderThread::Stop() {
  if (!thread_.joinable()) {
    return;
  }
  link_.RequestReaderStop();
  clock_.sleep_for(100ms);
  while (!ended_.load()) {
    clock_.sleep_for(100ms);
  }
  clock_.sleep_for(500ms);
  thread_.join();
  link_.SetNotificationSink(nullptr);
}

}  // namespace tolvane::link
