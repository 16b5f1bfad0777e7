#include "defs/FileCipher.h"

#include "common/FileSystem.h"

namespace tolvane {
namespace {

constexpr std::uint32_t kDelta = 0x9E3779B9u;
constexpr int kRounds = 32;
constexpr std::uint32_t kDecipherStart = 0xC6EF3720u;  // kRounds * kDelta modulo 2^32

// Key words of the protected model files. Whoever produces ".fmf" files uses
// the same four words (the build does, through tolvane-encipher).
constexpr std::uint32_t kKeyWord0 = 0x5EC7A11Bu;
constexpr std::uint32_t kKeyWord1 = 0x0D3F9C42u;
constexpr std::uint32_t kKeyWord2 = 0xB1E8276Du;
constexpr std::uint32_t kKeyWord3 = 0x7A64D5F0u;

inline std::uint32_t Mix(std::uint32_t x, std::uint32_t a, std::uint32_t b, std::uint32_t s) {
  return ((x << 4) + a) ^ (x + s) ^ ((x >> 5) + b);
}

CipherBlock LoadBlock(std::string_view bytes, std::size_t offset) {
  CipherBlock v{};
  for (std::size_t i = 0; i < v.size(); ++i) {
    std::uint32_t w = 0;
    for (std::size_t b = 0; b < 4; ++b) {
      const std::size_t at = offset + 4 * i + b;
      const std::uint32_t byte = at < bytes.size() ? static_cast<unsigned char>(bytes[at]) : 0u;
      w |= byte << (8 * b);
    }
    v[i] = w;
  }
  return v;
}

void StoreBlock(const CipherBlock& v, std::string& out) {
  for (const std::uint32_t w : v) {
    for (int b = 0; b < 4; ++b) {
      out.push_back(static_cast<char>((w >> (8 * b)) & 0xFFu));
    }
  }
}

template <typename Step>
std::string Transform(std::string_view bytes, Step step) {
  std::string out;
  const std::size_t blocks = (bytes.size() + kCipherBlockBytes - 1) / kCipherBlockBytes;
  out.reserve(blocks * kCipherBlockBytes);
  for (std::size_t n = 0; n < blocks; ++n) {
    CipherBlock v = LoadBlock(bytes, n * kCipherBlockBytes);
    step(v);
    StoreBlock(v, out);
  }
  return out;
}

}  // namespace

CipherKey ModelFileKey() { return {kKeyWord0, kKeyWord1, kKeyWord2, kKeyWord3}; }

void DecipherBlock(CipherBlock& v, const CipherKey& k) {
  std::uint32_t s = kDecipherStart;
  for (int round = 0; round < kRounds; ++round) {
    for (std::size_t n = 16; n-- > 0;) {
      const std::uint32_t prev = v[(n + 15) % 16];
      v[n] -= Mix(prev, k[2], k[3], s);
      const std::uint32_t next = v[(n + 1) % 16];
      v[n] -= Mix(next, k[0], k[1], s);
    }
    s -= kDelta;
  }
}

void EncipherBlock(CipherBlock& v, const CipherKey& k) {
  std::uint32_t s = 0;
  for (int round = 0; round < kRounds; ++round) {
    s += kDelta;
    for (std::size_t n = 0; n < 16; ++n) {
      v[n] += Mix(v[(n + 1) % 16], k[0], k[1], s) + Mix(v[(n + 15) % 16], k[2], k[3], s);
    }
  }
}

std::string DecipherBytes(std::string_view bytes, const CipherKey& k) {
  return Transform(bytes, [&k](CipherBlock& v) { DecipherBlock(v, k); });
}

std::string EncipherBytes(std::string_view bytes, const CipherKey& k) {
  return Transform(bytes, [&k](CipherBlock& v) { EncipherBlock(v, k); });
}

bool DecipherFileToMemory(const std::filesystem::path& input, const CipherKey& k, std::string& plain) {
  std::string bytes;
  if (ReadFileBounded(input, kMaxProtectedFileBytes, bytes) != ReadResult::Ok) {
    plain.clear();
    return false;
  }
  plain = DecipherBytes(bytes, k);
  return true;
}

bool DecipherFile(const std::filesystem::path& input, const std::filesystem::path& output, const CipherKey& k) {
  std::string plain;
  if (!DecipherFileToMemory(input, k, plain)) {
    return false;
  }
  return WriteFileReplacing(output, plain);
}

}  // namespace tolvane
