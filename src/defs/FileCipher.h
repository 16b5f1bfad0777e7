// The cipher of protected model files (".fmf"): the plain text in 64-byte
// blocks, each taken as sixteen little-endian 32-bit words and mixed with a
// 128-bit key in 32 rounds. Deciphering is done in memory, so no plain copy of
// a protected file is ever written to disk by the program.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tolvane {

using CipherKey = std::array<std::uint32_t, 4>;
using CipherBlock = std::array<std::uint32_t, 16>;

inline constexpr std::size_t kCipherBlockBytes = 64;
// Protected files larger than this are refused before anything is read.
inline constexpr std::size_t kMaxProtectedFileBytes = 4u << 20;

// The one key of all protected model files.
CipherKey ModelFileKey();

void DecipherBlock(CipherBlock& v, const CipherKey& k);
void EncipherBlock(CipherBlock& v, const CipherKey& k);

// Whole texts: the input is taken in 64-byte pieces, a short last piece
// filled up with zero bytes, so the result is always a whole number of blocks.
std::string DecipherBytes(std::string_view bytes, const CipherKey& k);
std::string EncipherBytes(std::string_view bytes, const CipherKey& k);

// Deciphers the file `input` into a new file `output` (an existing one is
// replaced once the new content is complete). Nothing is created when the
// input cannot be read or is larger than kMaxProtectedFileBytes. Returns true
// when the output was written.
bool DecipherFile(const std::filesystem::path& input, const std::filesystem::path& output, const CipherKey& k);

// Reads and deciphers a protected file into memory. False when it cannot be
// read or is too large.
bool DecipherFileToMemory(const std::filesystem::path& input, const CipherKey& k, std::string& plain);

}  // namespace tolvane
