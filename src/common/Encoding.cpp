#include "common/Encoding.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdint>

namespace tolvane {
namespace {

// Decodes one UTF-8 sequence at s[i]. Returns the code point and advances i;
// returns -1 (and advances by one byte) for a malformed sequence.
long DecodeOne(std::string_view s, std::size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int len = 0;
  unsigned long cp = 0;
  unsigned long min = 0;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2;
    cp = b0 & 0x1Fu;
    min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3;
    cp = b0 & 0x0Fu;
    min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4;
    cp = b0 & 0x07u;
    min = 0x10000;
  } else {
    ++i;
    return -1;
  }
  if (i + static_cast<std::size_t>(len) > s.size()) {
    ++i;
    return -1;
  }
  for (int k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return -1;
    }
    cp = (cp << 6) | (b & 0x3Fu);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return -1;
  }
  i += static_cast<std::size_t>(len);
  return static_cast<long>(cp);
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Converts with iconv; where a character cannot be converted, writes
// `replacement` and skips `skip` input bytes (one character), then goes on.
std::string IconvLoop(const char* to, const char* from, std::string_view in,
                      std::string_view replacement, std::size_t (*skip)(std::string_view)) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    return std::string(replacement);
  }
  std::string out;
  out.reserve(in.size() * 2);
  std::array<char, 1024> buf{};
  std::string_view rest = in;
  while (!rest.empty()) {
    char* inp = const_cast<char*>(rest.data());
    std::size_t inleft = rest.size();
    char* outp = buf.data();
    std::size_t outleft = buf.size();
    const std::size_t rc = iconv(cd, &inp, &inleft, &outp, &outleft);
    out.append(buf.data(), buf.size() - outleft);
    rest.remove_prefix(rest.size() - inleft);
    if (rc == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) {
        continue;
      }
      // EILSEQ or EINVAL: unmappable or malformed character.
      out.append(replacement);
      rest.remove_prefix(std::min(rest.size(), skip(rest)));
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}

std::size_t SkipOneUtf8(std::string_view s) {
  std::size_t i = 0;
  DecodeOne(s, i);
  return i == 0 ? 1 : i;
}

std::size_t SkipOneByte(std::string_view) { return 1; }

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    if (DecodeOne(bytes, i) < 0) {
      return false;
    }
  }
  return true;
}

std::string Cp1252ToUtf8(std::string_view bytes) {
  return IconvLoop("UTF-8", "WINDOWS-1252", bytes, "?", SkipOneByte);
}

std::string Utf8ToCp1252(std::string_view utf8) {
  return IconvLoop("WINDOWS-1252", "UTF-8", utf8, "?", SkipOneUtf8);
}

std::string Decode8Bit(std::string_view bytes) {
  bool ascii = true;
  for (const char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      ascii = false;
      break;
    }
  }
  if (ascii || IsValidUtf8(bytes)) {
    return std::string(bytes);
  }
  return Cp1252ToUtf8(bytes);
}

std::string Utf16LeToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  const std::size_t units = bytes.size() / 2;
  for (std::size_t u = 0; u < units; ++u) {
    const auto lo = static_cast<unsigned char>(bytes[2 * u]);
    const auto hi = static_cast<unsigned char>(bytes[2 * u + 1]);
    const char32_t w = static_cast<char32_t>(lo | (hi << 8));
    if (w >= 0xD800 && w <= 0xDBFF && u + 1 < units) {
      const auto lo2 = static_cast<unsigned char>(bytes[2 * u + 2]);
      const auto hi2 = static_cast<unsigned char>(bytes[2 * u + 3]);
      const char32_t w2 = static_cast<char32_t>(lo2 | (hi2 << 8));
      if (w2 >= 0xDC00 && w2 <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((w - 0xD800) << 10) + (w2 - 0xDC00));
        ++u;
        continue;
      }
    }
    if (w >= 0xD800 && w <= 0xDFFF) {
      AppendUtf8(out, 0xFFFD);
    } else {
      AppendUtf8(out, w);
    }
  }
  return out;
}

std::string Utf8ToUtf16Le(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() * 2);
  auto put = [&out](char32_t w) {
    out.push_back(static_cast<char>(w & 0xFF));
    out.push_back(static_cast<char>((w >> 8) & 0xFF));
  };
  std::size_t i = 0;
  while (i < utf8.size()) {
    const long cp = DecodeOne(utf8, i);
    if (cp < 0) {
      put(U'?');
    } else if (cp >= 0x10000) {
      const auto v = static_cast<char32_t>(cp - 0x10000);
      put(0xD800 + (v >> 10));
      put(0xDC00 + (v & 0x3FF));
    } else {
      put(static_cast<char32_t>(cp));
    }
  }
  return out;
}

std::u32string Utf8ToU32(std::string_view utf8) {
  std::u32string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const long cp = DecodeOne(utf8, i);
    out.push_back(cp < 0 ? U'\uFFFD' : static_cast<char32_t>(cp));
  }
  return out;
}

std::string U32ToUtf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char32_t c : text) {
    AppendUtf8(out, (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) ? U'\uFFFD' : c);
  }
  return out;
}

}  // namespace tolvane
