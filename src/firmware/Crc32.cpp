#include "firmware/Crc32.h"

#include <zlib.h>

#include <limits>

namespace tolvane::firmware {

namespace {

std::uint32_t Reflect(std::uint32_t value, int bits) {
  std::uint32_t out = 0;
  for (int i = 0; i < bits; ++i) {
    if ((value & (1u << i)) != 0) {
      out |= 1u << (bits - 1 - i);
    }
  }
  return out;
}

}  // namespace

CCRC_32::CCRC_32() {
  constexpr std::uint32_t kPolynomial = 0x04C11DB7u;
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t v = Reflect(i, 8) << 24;
    for (int k = 0; k < 8; ++k) {
      v = (v & 0x80000000u) != 0 ? (v << 1) ^ kPolynomial : v << 1;
    }
    table_[i] = Reflect(v, 32);
  }
}

void CCRC_32::Update(const std::uint8_t* bytes, std::size_t count, std::uint32_t& crc) const {
  Fold(bytes, count, crc);
}

void CCRC_32::Fold(const std::uint8_t* bytes, std::size_t count, std::uint32_t& crc) {
  // zlib's crc32 takes and gives the complemented value.
  uLong value = ~crc & 0xFFFFFFFFu;
  while (count > 0) {
    const auto piece = static_cast<uInt>(std::min<std::size_t>(count, std::numeric_limits<uInt>::max()));
    value = ::crc32(value, bytes, piece);
    bytes += piece;
    count -= piece;
  }
  crc = ~static_cast<std::uint32_t>(value);
}

std::uint32_t Crc32Of(std::span<const std::uint8_t> bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  CCRC_32::Fold(bytes.data(), bytes.size(), crc);
  return ~crc;
}

}  // namespace tolvane::firmware
