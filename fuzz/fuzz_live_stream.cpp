// The live readings from the sensor's byte stream: the packet decoding in
// display units for any six bytes and scale, the trend's CSV text, and the
// number filter and reader of the advanced entries' boxes for any text.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "config/AdvancedEntries.h"
#include "link/LiveDisplay.h"
#include "link/LiveTrend.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tolvane;
  if (size < 6 + 2 * sizeof(double)) {
    return 0;
  }
  std::array<std::uint8_t, 6> packet{};
  std::memcpy(packet.data(), data, 6);
  double factor = 0, height = 0;
  std::memcpy(&factor, data + 6, sizeof factor);
  std::memcpy(&height, data + 6 + sizeof factor, sizeof height);
  MODEL_DEFINITION model;
  model.unitNames[0] = "u";
  model.unitFactors[0] = factor;
  model.unitsLast = 0;
  const link::LIVE_SCALE scale = link::LiveScale(model, 0, height);
  const link::LIVE_READING r = link::DecodeLivePacket(6, packet, scale);
  if (r.levelText.size() > 9 || r.distanceText.size() > 9 || r.levelText.find("inf") != std::string::npos ||
      r.levelText.find("nan") != std::string::npos) {
    __builtin_trap();
  }
  link::CTrendHistory history(4);
  history.Add(link::MakeTrendPoint(0.0, r));
  (void)link::TrendCsvText(history, "u");

  const std::string_view text(reinterpret_cast<const char*>(data) + 22, size - 22);
  const config::NUMBER_EDIT e = config::FilterAdvancedNumber(text, static_cast<int>(text.size()));
  if (!config::AdvancedNumberAccepted(e.text)) {
    __builtin_trap();
  }
  if (!std::isfinite(config::ReadAdvancedNumber(e.text))) {
    __builtin_trap();
  }
  (void)config::AdvancedHelpText(text);
  return 0;
}
