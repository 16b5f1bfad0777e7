#include "link/MemoryEdits.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>

#include "common/CheckedFormat.h"
#include "common/Encoding.h"

namespace tolvane::link {
namespace {

constexpr std::size_t kModelOffset = 14;
constexpr std::size_t kSerialWordHigh = 5;
constexpr std::size_t kSerialWordLow = 6;
constexpr std::size_t kCalDoneWord = 15;

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
    s.remove_prefix(1);
  }
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
    s.remove_suffix(1);
  }
  return s;
}

// A plain unsigned decimal number of at most `max`; nullopt for anything else.
std::optional<int> PlainNumber(std::string_view text, int max) {
  const std::string_view s = TrimBlanks(text);
  if (s.empty()) {
    return std::nullopt;
  }
  long long value = 0;
  for (const char c : s) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    value = value * 10 + (c - '0');
    if (value > max) {
      return std::nullopt;
    }
  }
  return static_cast<int>(value);
}

// A number as the C library's strtoul and strtol read it on the platform the
// sensors' tools come from: leading blanks, an optional sign, then as many
// digits of `base` as there are. The magnitude stops growing at `cap`.
struct SCANNED {
  bool negative = false;
  std::uint64_t magnitude = 0;
};

SCANNED ScanNumber(std::string_view s, int base, std::uint64_t cap) {
  std::size_t i = 0;
  while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])) != 0) {
    ++i;
  }
  SCANNED n;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    n.negative = s[i] == '-';
    ++i;
  }
  for (; i < s.size(); ++i) {
    const char c = s[i];
    int digit = -1;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    }
    if (digit < 0 || digit >= base) {
      break;
    }
    n.magnitude = std::min(n.magnitude * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit), cap);
  }
  return n;
}

// strtoul with a 32-bit unsigned long: beyond 32 bits the value saturates, a
// minus negates modulo 2^32.
std::uint32_t ReadUnsigned32(std::string_view s, int base) {
  const SCANNED n = ScanNumber(s, base, 0x100000000ull);
  if (n.magnitude > 0xFFFFFFFFull) {
    return 0xFFFFFFFFu;
  }
  const auto v = static_cast<std::uint32_t>(n.magnitude);
  return n.negative ? static_cast<std::uint32_t>(0u - v) : v;
}

std::uint16_t Word(std::span<const std::uint8_t, kInfoBytes> info, std::size_t word) {
  return static_cast<std::uint16_t>(info[2 * word] | (info[2 * word + 1] << 8));
}

void PutWord(std::span<std::uint8_t> bytes, std::size_t word, std::uint16_t value) {
  bytes[2 * word] = static_cast<std::uint8_t>(value & 0xFF);
  bytes[2 * word + 1] = static_cast<std::uint8_t>(value >> 8);
}

// The information memory word of a plain word field.
std::size_t WordOf(int field) { return field == INFO_CALDONE ? kCalDoneWord : static_cast<std::size_t>(field); }

constexpr const char* kFieldNames[INFO_FIELD_COUNT] = {"TCAL", "TVAL",     "CALA",    "CALC",
                                                       "CALD", "HWSERIAL", "HWMODEL", "CALDONE"};

}  // namespace

const char* CheckDirectEntry(std::string_view addressText, std::string_view valueText, int page, DIRECT_ENTRY& entry) {
  const auto address = PlainNumber(addressText, 255);
  if (!address) {
    return "ERROR_MESSAGE67";
  }
  const auto value = PlainNumber(valueText, 65535);
  if (!value) {
    return "ERROR_MESSAGE68";
  }
  if (page != 1 && page != 2) {
    return "ERROR_MESSAGE69";
  }
  entry = DIRECT_ENTRY{page, *address, *value};
  return nullptr;
}

int ApplyDirectEntry(CUnitMemory& memory, const DIRECT_ENTRY& entry) {
  PageImage& page = memory.Page(entry.page - 1);
  PutWord(page, static_cast<std::size_t>(entry.address), static_cast<std::uint16_t>(entry.value));
  memory.Staging() = page;
  return memory.WritePage(entry.page);
}

const char* InfoFieldName(int field) { return field >= 0 && field < INFO_FIELD_COUNT ? kFieldNames[field] : ""; }

std::optional<int> InfoFieldByName(std::string_view name) {
  std::string upper(name);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
  for (int f = 0; f < INFO_FIELD_COUNT; ++f) {
    if (upper == kFieldNames[f]) {
      return f;
    }
  }
  return std::nullopt;
}

INFO_TEXTS InfoMemoryTexts(std::span<const std::uint8_t, kInfoBytes> info) {
  INFO_TEXTS texts;
  for (const int f : {INFO_TCAL, INFO_TVAL, INFO_CALA, INFO_CALC, INFO_CALD, INFO_CALDONE}) {
    texts[static_cast<std::size_t>(f)] = Format("0x%04X", Word(info, WordOf(f)));
  }
  const auto serial = static_cast<std::int32_t>((static_cast<std::uint32_t>(Word(info, kSerialWordHigh)) << 16) |
                                                Word(info, kSerialWordLow));
  texts[INFO_HWSERIAL] = Format("%d", serial);
  const auto* model = info.data() + kModelOffset;
  const auto* end = std::find(model, model + kHardwareModelBytes, 0);
  texts[INFO_HWMODEL] =
      Cp1252ToUtf8(std::string_view(reinterpret_cast<const char*>(model), static_cast<std::size_t>(end - model)));
  return texts;
}

std::uint16_t ParseInfoWord(std::string_view text) {
  std::string upper(text);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
  const std::uint32_t value =
      upper.starts_with("0X") ? ReadUnsigned32(std::string_view(upper).substr(2), 16) : ReadUnsigned32(upper, 10);
  return static_cast<std::uint16_t>(value & 0xFFFF);
}

std::int32_t ParseInfoSerial(std::string_view text) {
  // strtol with a 32-bit long: saturates at either end.
  constexpr std::uint64_t kLimit = 1ull << 31;
  const SCANNED n = ScanNumber(text, 10, kLimit);
  if (n.negative) {
    return static_cast<std::int32_t>(-static_cast<std::int64_t>(n.magnitude));
  }
  return static_cast<std::int32_t>(std::min(n.magnitude, kLimit - 1));
}

const char* CheckInfoText(int field, std::string_view text) {
  if (field == INFO_HWMODEL && Utf8ToCp1252(text).size() >= kHardwareModelBytes) {
    return "SERVICE_MESSAGE1";
  }
  return nullptr;
}

void StoreInfoText(int field, std::string_view text, std::span<std::uint8_t, kInfoBytes> info) {
  switch (field) {
    case INFO_HWSERIAL: {
      const auto serial = static_cast<std::uint32_t>(ParseInfoSerial(text));
      PutWord(info, kSerialWordLow, static_cast<std::uint16_t>(serial & 0xFFFF));
      PutWord(info, kSerialWordHigh, static_cast<std::uint16_t>(serial >> 16));
      break;
    }
    case INFO_HWMODEL: {
      const std::string bytes = Utf8ToCp1252(text);
      auto* model = info.data() + kModelOffset;
      std::memset(model, 0, kHardwareModelBytes);
      std::memcpy(model, bytes.data(), std::min(bytes.size(), kHardwareModelBytes - 1));
      break;
    }
    default:
      if (field >= 0 && field < INFO_FIELD_COUNT) {
        PutWord(info, WordOf(field), ParseInfoWord(text));
      }
      break;
  }
}

const char* ApplyInfoMemoryTexts(const INFO_TEXTS& texts, std::span<std::uint8_t, kInfoBytes> info) {
  for (int f = 0; f < INFO_FIELD_COUNT; ++f) {
    if (const char* refused = CheckInfoText(f, texts[static_cast<std::size_t>(f)])) {
      return refused;
    }
  }
  for (int f = 0; f < INFO_FIELD_COUNT; ++f) {
    StoreInfoText(f, texts[static_cast<std::size_t>(f)], info);
  }
  return nullptr;
}

}  // namespace tolvane::link
