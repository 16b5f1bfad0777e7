// CRC-32 of IEEE 802.3 (reflected polynomial 0x04C11DB7), as the combined
// program file carries it. The running value starts at 0xFFFFFFFF and is
// complemented at the end; Update only folds bytes into the running value.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tolvane::firmware {

class CCRC_32 {
 public:
  CCRC_32();
  // crc = (crc >> 8) ^ table[(crc ^ b) & 0xFF] for each byte.
  void Update(const std::uint8_t* bytes, std::size_t count, std::uint32_t& crc) const;
  // The table entry the byte-wise step uses (zlib does the work; the table is
  // kept to show what the step is and for the tests).
  std::uint32_t Entry(std::size_t i) const { return table_[i & 0xFFu]; }

  // The same step without an object (zlib's own table).
  static void Fold(const std::uint8_t* bytes, std::size_t count, std::uint32_t& crc);

 private:
  std::array<std::uint32_t, 256> table_{};
};

// The finished CRC-32 of a whole buffer.
std::uint32_t Crc32Of(std::span<const std::uint8_t> bytes);

}  // namespace tolvane::firmware
