#include "geometry/ClassId.h"

#include <array>
#include <cstdio>

namespace tolvane::geometry {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

}  // namespace

std::optional<TolvaneGuid> ClassIdFromString(std::string_view text) {
  // {8-4-4-4-12}: 38 characters.
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') {
    return std::nullopt;
  }
  const std::string_view body = text.substr(1, 36);
  std::array<std::uint8_t, 16> bytes{};
  std::size_t n = 0;
  for (std::size_t i = 0; i < body.size();) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (body[i] != '-') {
        return std::nullopt;
      }
      ++i;
      continue;
    }
    const int hi = HexDigit(body[i]);
    const int lo = i + 1 < body.size() ? HexDigit(body[i + 1]) : -1;
    if (hi < 0 || lo < 0 || i + 1 == 8 || i + 1 == 13 || i + 1 == 18 || i + 1 == 23) {
      return std::nullopt;
    }
    bytes[n++] = static_cast<std::uint8_t>(hi * 16 + lo);
    i += 2;
  }
  if (n != 16) {
    return std::nullopt;
  }
  TolvaneGuid g{};
  g.data1 =
      (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) | bytes[3];
  g.data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
  g.data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
  for (std::size_t i = 0; i < 8; ++i) {
    g.data4[i] = bytes[8 + i];
  }
  return g;
}

std::string ClassIdToString(const TolvaneGuid& id) {
  std::array<char, 40> b{};
  std::snprintf(b.data(), b.size(), "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", id.data1, id.data2, id.data3,
                id.data4[0], id.data4[1], id.data4[2], id.data4[3], id.data4[4], id.data4[5], id.data4[6], id.data4[7]);
  return b.data();
}

bool SameId(const TolvaneGuid& a, const TolvaneGuid& b) {
  if (a.data1 != b.data1 || a.data2 != b.data2 || a.data3 != b.data3) {
    return false;
  }
  for (std::size_t i = 0; i < 8; ++i) {
    if (a.data4[i] != b.data4[i]) {
      return false;
    }
  }
  return true;
}

}  // namespace tolvane::geometry
