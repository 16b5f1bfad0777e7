#include "config/ServiceCommands.h"

#include <algorithm>
#include <charconv>

#include "common/CheckedFormat.h"
#include "config/Selection.h"

namespace tolvane::config {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return out;
}

}  // namespace

int ServiceDateNumber(const std::tm& local) {
  return (local.tm_year % 100) * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday;
}

int ServiceCodeNumber(int yymmdd) {
  // An affine map modulo 10^6 with a multiplier coprime to 10 is one to one
  // on 0..999999, and every date number lies there: two different dates never
  // share a code, so the code changes every day. The constants are our own.
  constexpr long long kMultiplier = 48271;
  constexpr long long kOffset = 20231;
  constexpr long long kModulus = 1000000;
  const long long n = ((static_cast<long long>(yymmdd) % kModulus) + kModulus) % kModulus;
  return static_cast<int>((n * kMultiplier + kOffset) % kModulus);
}

std::string ServiceCode(const std::tm& local) { return Format("TS%06d", ServiceCodeNumber(ServiceDateNumber(local))); }

SERVICE_COMMAND RecognizeServiceCommand(std::string_view boxText, const APP_SETTINGS& settings, const std::tm& today) {
  const std::string text = Lower(boxText);
  if (settings.kestrineMode) {
    if (text == "test configurations") {
      return SERVICE_COMMAND::TestConfigurations;
    }
    if (text == "info memory") {
      return SERVICE_COMMAND::InfoMemory;
    }
    if (text == "tech support") {
      return SERVICE_COMMAND::ShowServiceCode;
    }
  }
  if (text == "cal pages") {
    return SERVICE_COMMAND::CalPages;
  }
  if (text == "direct entry") {
    return SERVICE_COMMAND::DirectEntry;
  }
  if (settings.techSupport && text.starts_with("ts") && text == Lower(ServiceCode(today))) {
    return SERVICE_COMMAND::TechSupport;
  }
  if (text == "code revision") {
    return SERVICE_COMMAND::CodeRevision;
  }
  if (text == "restart") {
    return SERVICE_COMMAND::Restart;
  }
  return SERVICE_COMMAND::None;
}

int TakeTestConfiguration(const MODEL_DEFINITION& model, TEST_AID_COUNTERS& counters, CONFIG_RECORD& record) {
  const int count = ConfigurationSlots(model);
  if (counters.configuration < 1 || counters.configuration > count) {
    counters.configuration = 1;
  }
  const int position = counters.configuration;
  const CONFIGURATION_ENTRY* c = ConfigurationAt(model, position - 1);
  for (int i = 0; i < kMaxItems; ++i) {
    const auto at = static_cast<std::size_t>(i);
    if (!model.items[at].present) {
      continue;
    }
    const std::int32_t required = c != nullptr ? c->requiredOption[at] : 0;
    record.selection[at] = required <= 0 ? 1 : required;
  }
  counters.configuration = position >= count ? 1 : position + 1;
  return position;
}

int TakeTankPicture(TEST_AID_COUNTERS& counters) {
  const int shown = counters.picture & 0xFF;
  counters.picture = (shown + 1) & 0xFF;
  return shown;
}

std::optional<std::array<int, 4>> VersionNumbers(std::string_view version) {
  std::array<int, 4> numbers{};
  std::size_t at = 0;
  for (std::size_t n = 0; n < numbers.size(); ++n) {
    const std::size_t end = n + 1 < numbers.size() ? version.find('.', at) : version.size();
    if (end == std::string_view::npos || end == at) {
      return std::nullopt;
    }
    const std::string_view part = version.substr(at, end - at);
    const auto [ptr, ec] = std::from_chars(part.data(), part.data() + part.size(), numbers[n]);
    if (ec != std::errc() || ptr != part.data() + part.size() || numbers[n] < 0) {
      return std::nullopt;
    }
    at = end + 1;
  }
  return numbers;
}

std::optional<std::string> CodeRevisionText(std::string_view pattern, const std::string& programId,
                                            std::string_view version) {
  const auto v = VersionNumbers(version);
  if (!v) {
    return std::nullopt;
  }
  return Format(pattern, programId, (*v)[0], (*v)[1], (*v)[2], (*v)[3]);
}

}  // namespace tolvane::config
