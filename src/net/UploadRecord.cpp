#include "net/UploadRecord.h"

#include <fmt/printf.h>

#include <algorithm>

namespace tolvane::net {

namespace {

bool KeptAsIs(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
    return true;
  }
  switch (c) {
    case '!':
    case '\'':
    case '(':
    case ')':
    case '*':
    case '-':
    case '.':
    case '/':
    case ':':
    case '_':
    case '~':
    case '%':
      return true;
    default:
      return false;
  }
}

}  // namespace

bool EscapeValue(std::string_view value, bool escapeSlash, std::string& out) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string escaped;
  escaped.reserve(std::min<std::size_t>(value.size() * 3, kMaxEscapedValue + 3));
  for (const char ch : value) {
    const auto c = static_cast<unsigned char>(ch);
    if (escapeSlash && c == '/') {
      escaped += "%2F";
    } else if (KeptAsIs(c)) {
      escaped += ch;
    } else {
      escaped += '%';
      escaped += kHex[c >> 4];
      escaped += kHex[c & 0x0F];
    }
    if (escaped.size() > kMaxEscapedValue) {
      return false;
    }
  }
  out = std::move(escaped);
  return true;
}

bool AppendField(std::string_view key, std::string_view value, std::string& record) {
  std::string escaped;
  if (!EscapeValue(value, true, escaped)) {
    return false;
  }
  record.append(key);
  record += escaped;
  return true;
}

std::string FormatField(const char* format, long long value) { return fmt::sprintf(format, value); }

std::string FormatField(const char* format, double value) { return fmt::sprintf(format, value); }

UPLOAD_RECORD BuildUploadRecord(const CONFIG_RECORD& record, const MODEL_DEFINITION& model) {
  UPLOAD_RECORD result;
  std::string& line = result.line;
  bool ok = true;
  auto text = [&](const char* key, const std::string& value) {
    if (ok && !AppendField(key, value, line)) {
      ok = false;
      result.badField = key;
    }
  };
  auto integer = [&](const char* key, const char* format, long long value) { text(key, FormatField(format, value)); };
  auto decimal = [&](const char* key, double value) { text(key, FormatField("%#3.1f", value)); };

  text("M=", record.modelName);
  integer("&S=", "%04d", record.serialNumber);
  text("&U=", record.unitDescription);
  text("&t=", record.tankDescription);
  text("&MFN=", record.modelFileName);
  text("&MFR=", record.modelFileRevision);
  text("&FWN=", record.firmwareName);
  integer("&FWR=", "%04d", static_cast<long long>(record.softwareRevision));
  for (int i = 0; i < 8; ++i) {
    const std::string key = "&C" + std::to_string(i) + "=";
    integer(key.c_str(), "%d", record.selection[static_cast<std::size_t>(i)]);
  }
  long long number = 0;
  if (record.configIndex >= 0 && record.configIndex < kMaxConfigurations) {
    number = model.configurations[static_cast<std::size_t>(record.configIndex)].number;
  }
  integer("&CN=", "%d", number);
  integer("&UN=", "%d", record.unitsIndex);
  decimal("&SH=", record.sensorHeight);
  decimal("&FH=", record.fillHeight);
  for (int row = kLevelRows - 1; row >= 0; --row) {
    const std::string key = "&L" + std::to_string(row) + "=";
    decimal(key.c_str(), record.level[static_cast<std::size_t>(row)]);
  }
  const int entries = std::clamp(model.advancedLast + 1, 0, kMaxAdvanced);
  for (int i = 0; i < entries; ++i) {
    const ADVANCED_SLOT& slot = record.advanced[static_cast<std::size_t>(i)];
    if (!slot.present) {
      continue;
    }
    const std::string n = std::to_string(i + 1);
    integer(("&A" + n + "=").c_str(), "%d", 1);
    if (slot.value >= 0.0) {
      decimal(("&V" + n + "=").c_str(), slot.value);
    }
  }
  if (!ok) {
    result.line.clear();
  }
  return result;
}

}  // namespace tolvane::net
