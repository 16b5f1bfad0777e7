// The two text forms of a memory page the data pages viewer shows: words in
// hexadecimal and decimal, or a hex dump with the bytes as text.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tolvane::link {

// A header line and one row per 16-bit little-endian word: "%03d: 0x%04X  %05d".
std::string FormatPageWords(std::span<const std::uint8_t> bytes);

// A header line and one row per 16 bytes: offset, the bytes in hexadecimal
// (two extra spaces after the eighth), and the bytes as text ("." for bytes
// outside 0x20..0x7E).
std::string FormatPageHex(std::span<const std::uint8_t> bytes);

}  // namespace tolvane::link
