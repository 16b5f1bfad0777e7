#include "link/PageText.h"

#include <fmt/format.h>

namespace tolvane::link {

std::string FormatPageWords(std::span<const std::uint8_t> bytes) {
  std::string out = "       HEX    DEC\r\n";
  for (std::size_t w = 0; 2 * w + 1 < bytes.size(); ++w) {
    const unsigned value = static_cast<unsigned>(bytes[2 * w] | (bytes[2 * w + 1] << 8));
    out += fmt::format("{:03d}: 0x{:04X}  {:05d}\r\n", w, value, value);
  }
  return out;
}

std::string FormatPageHex(std::span<const std::uint8_t> bytes) {
  std::string out = "      0  1  2  3  4  5  6  7    8  9  A  B  C  D  E  F\r\n";
  for (std::size_t row = 0; row * 16 < bytes.size(); ++row) {
    const auto line = bytes.subspan(row * 16, std::min<std::size_t>(16, bytes.size() - row * 16));
    out += fmt::format("{:03X}: ", row * 16);
    std::string text;
    for (std::size_t i = 0; i < line.size(); ++i) {
      out += fmt::format("{:02X} ", line[i]);
      if (i == 7) {
        out += "  ";
      }
      text.push_back(line[i] < 0x20 || line[i] > 0x7E ? '.' : static_cast<char>(line[i]));
    }
    out += ' ' + text + "\r\n";
  }
  return out;
}

}  // namespace tolvane::link
