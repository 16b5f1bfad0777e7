#include "firmware/ProgramFiles.h"

#include <fmt/format.h>
#include <algorithm>
#include <array>
#include <cctype>
#include <memory>

#include "common/FileSystem.h"
#include "firmware/Crc32.h"

namespace tolvane::firmware {

namespace {

// Opens a regular file for reading; null for anything else.
FilePtr OpenRegular(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    return nullptr;
  }
  return FilePtr(std::fopen(path.c_str(), "rb"));
}

bool ReadExact(std::FILE* file, std::uint8_t* dst, std::size_t count) {
  return std::fread(dst, 1, count, file) == count;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

}  // namespace

std::uint32_t ReadLe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void PutLe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) {
    p[i] = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFFu);
  }
}

std::string TagName(std::uint32_t tag) {
  const std::array<char, 3> letters{static_cast<char>(tag & 0xFFu), static_cast<char>((tag >> 8) & 0xFFu),
                                    static_cast<char>((tag >> 16) & 0xFFu)};
  const bool plain =
      (tag >> 24) == 0 && std::all_of(letters.begin(), letters.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
  if (plain) {
    return std::string(letters.begin(), letters.end());
  }
  return fmt::format("0x{:08X}", tag);
}

FrameTake TakePacketFrame(std::span<const std::uint8_t> data, std::size_t& pos, PACKET_FRAME& frame) {
  std::size_t at = pos;
  std::size_t skipped = 0;
  while (at < data.size() && data[at] != 0xA5) {
    if (++skipped > kMaxSkipped) {
      return FrameTake::End;
    }
    ++at;
  }
  if (at + 1 >= data.size()) {
    return FrameTake::End;
  }
  const std::size_t length = data[at + 1];
  if (length == 0 || length > kMaxFrameLength) {
    return FrameTake::BadLength;
  }
  // Start, length, code, L-1 payload bytes and the stored checksum.
  if (at + length + 3 > data.size()) {
    return FrameTake::End;
  }
  frame.length = static_cast<std::uint8_t>(length);
  frame.code = data[at + 2];
  frame.payload.assign(data.begin() + static_cast<std::ptrdiff_t>(at + 3),
                       data.begin() + static_cast<std::ptrdiff_t>(at + 2 + length));
  frame.consumed = at + length + 3 - pos;
  pos = at + length + 3;
  return FrameTake::Frame;
}

std::string PidText(std::span<const std::uint8_t> body) {
  std::string text;
  for (std::uint8_t b : body) {
    if (b == 0 || text.size() >= kPidTextChars) {
      break;
    }
    text.push_back(static_cast<char>(b));
  }
  return text;
}

std::string ProgramNameOf(std::string_view pidText) { return std::string(pidText.substr(0, pidText.find('-'))); }

bool ReadFirstPid(const std::filesystem::path& path, std::string& pidText) {
  FilePtr file = OpenRegular(path);
  if (file == nullptr) {
    return false;
  }
  std::array<std::uint8_t, 8> header{};
  if (!ReadExact(file.get(), header.data(), header.size()) || ReadLe32(header.data()) != TAG_PID) {
    return false;
  }
  const std::size_t length = std::min<std::size_t>(ReadLe32(header.data() + 4), kMaxPidBody);
  std::array<std::uint8_t, kMaxPidBody> body{};
  if (!ReadExact(file.get(), body.data(), length)) {
    return false;
  }
  pidText = PidText(std::span(body.data(), length));
  return true;
}

// ---------------------------------------------------------------- combined file

VERIFY_RESULT VerifyCombined(std::FILE* file) {
  VERIFY_RESULT result;
  const auto fail = [&](VerifyFault fault) {
    result.fault = fault;
    result.code = (fault == VerifyFault::CannotOpen || fault == VerifyFault::UnknownTag) ? COMBINED_OPEN_OR_TAG
                                                                                         : COMBINED_INVALID;
    return result;
  };
  if (file == nullptr) {
    return fail(VerifyFault::CannotOpen);
  }
  std::uint32_t crc = 0xFFFFFFFFu;
  std::uint64_t offset = 0;
  std::array<std::uint8_t, kCopyPiece> piece{};
  for (;;) {
    std::array<std::uint8_t, 8> header{};
    if (!ReadExact(file, header.data(), header.size())) {
      return fail(VerifyFault::Truncated);
    }
    COMBINED_RECORD record{ReadLe32(header.data()), ReadLe32(header.data() + 4), offset, true};
    offset += 8;
    if (record.tag == TAG_CRC) {
      if (record.length != 4) {
        result.records.push_back(record);
        return fail(VerifyFault::BadCrcLength);
      }
      std::array<std::uint8_t, 4> body{};
      if (!ReadExact(file, body.data(), body.size())) {
        result.records.push_back(record);
        return fail(VerifyFault::Truncated);
      }
      result.records.push_back(record);
      result.stored = ReadLe32(body.data());
      result.computed = ~crc;
      if (result.stored != result.computed) {
        return fail(VerifyFault::CrcMismatch);
      }
      return result;
    }
    if (record.tag != TAG_PID && record.tag != TAG_FEP && record.tag != TAG_PKT) {
      result.records.push_back(record);
      return fail(VerifyFault::UnknownTag);
    }
    result.records.push_back(record);
    CCRC_32::Fold(header.data(), header.size(), crc);
    std::uint32_t left = record.length;
    while (left > 0) {
      const std::size_t n = std::min<std::size_t>(left, piece.size());
      if (!ReadExact(file, piece.data(), n)) {
        return fail(VerifyFault::Truncated);
      }
      CCRC_32::Fold(piece.data(), n, crc);
      left -= static_cast<std::uint32_t>(n);
    }
    offset += record.length;
  }
}

VERIFY_RESULT VerifyCombinedFile(const std::filesystem::path& path) {
  FilePtr file = OpenRegular(path);
  return VerifyCombined(file.get());
}

std::vector<COMBINED_RECORD> ListCombinedRecords(const std::filesystem::path& path, bool& whole) {
  std::vector<COMBINED_RECORD> records;
  whole = false;
  FilePtr file = OpenRegular(path);
  if (file == nullptr) {
    return records;
  }
  std::error_code ec;
  const std::uint64_t size = std::filesystem::file_size(path, ec);
  if (ec) {
    return records;
  }
  std::uint64_t offset = 0;
  bool covered = true;
  while (offset < size) {
    std::array<std::uint8_t, 8> header{};
    if (std::fseek(file.get(), static_cast<long>(offset), SEEK_SET) != 0 ||
        !ReadExact(file.get(), header.data(), header.size())) {
      return records;
    }
    COMBINED_RECORD record{ReadLe32(header.data()), ReadLe32(header.data() + 4), offset, covered};
    if (offset + 8 + record.length > size) {
      records.push_back(record);
      return records;
    }
    records.push_back(record);
    if (record.tag == TAG_CRC) {
      covered = false;
    }
    offset += 8 + static_cast<std::uint64_t>(record.length);
  }
  whole = true;
  return records;
}

std::vector<std::uint8_t> PackCombined(std::string_view pid, const std::vector<PACK_PART>& parts) {
  if (pid.size() > kMaxPidBody) {
    return {};
  }
  std::vector<std::uint8_t> out;
  const auto record = [&out](std::uint32_t tag, std::span<const std::uint8_t> body) {
    std::array<std::uint8_t, 8> header{};
    PutLe32(header.data(), tag);
    PutLe32(header.data() + 4, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), header.begin(), header.end());
    out.insert(out.end(), body.begin(), body.end());
  };
  record(TAG_PID, std::span(reinterpret_cast<const std::uint8_t*>(pid.data()), pid.size()));
  for (const PACK_PART& part : parts) {
    if (part.body.size() > kMaxProgramFile || (part.tag != TAG_FEP && part.tag != TAG_PKT)) {
      return {};
    }
    record(part.tag, part.body);
  }
  std::array<std::uint8_t, 4> crc{};
  PutLe32(crc.data(), Crc32Of(out));
  record(TAG_CRC, crc);
  return out;
}

// ---------------------------------------------------------------- file names

RunKind RunKindOf(std::string_view path) {
  if (path.find(".fp2") != std::string_view::npos) {
    return RunKind::Combined;
  }
  if (path.find(".pkt") != std::string_view::npos) {
    return RunKind::Packet;
  }
  if (path.find(".fep") != std::string_view::npos) {
    return RunKind::Encrypted;
  }
  return RunKind::None;
}

std::string CheckProgramPath(std::string_view path) {
  if (path.empty()) {
    return "ERROR_MESSAGE75";
  }
  if (path.size() <= 5) {
    return "ERROR_MESSAGE102";
  }
  // Ending in an extension: its first occurrence in the path is at the end.
  for (std::string_view ext : {".fp2", ".pkt", ".fep"}) {
    if (path.find(ext) == path.size() - ext.size()) {
      return "";
    }
  }
  return "ERROR_MESSAGE103";
}

std::string VersionText(std::string_view fileName) {
  const std::string_view name = fileName.size() >= 4 ? fileName.substr(0, fileName.size() - 4) : std::string_view{};
  const std::size_t ver = name.find("ver");
  if (ver != std::string_view::npos) {
    return Lower(name.substr(ver + 3));
  }
  return Lower(name.size() > 2 ? name.substr(2) : std::string_view{});
}

std::string RangeText(std::string_view fileName) {
  const std::string_view before = fileName.substr(0, fileName.find("ver"));
  std::string out;
  for (char c : before) {
    if (c == 'p') {
      c = '.';
    }
    if ((c >= '0' && c <= '9') || c == '.') {
      out.push_back(c);
    }
  }
  if (!out.empty()) {
    out.push_back('M');
  }
  return out;
}

double VersionNumber(std::string_view versionText) {
  if (versionText.size() >= 6) {
    return 0.0;
  }
  double number = 0.0;
  bool seenP = false;
  for (std::size_t i = 0; i < versionText.size(); ++i) {
    int count = static_cast<unsigned char>(versionText[i]) - 48;
    if (count >= 49 && count <= 72) {
      count -= 48;
    }
    if (i == 0) {
      number = count;
      continue;
    }
    if (count >= 0 && count < 10) {
      if (!seenP) {
        number = number * 10 + count;
      } else if (i == 3) {
        number += count / 10.0;
      }
    } else if (count == 16) {
      seenP = true;
    }
  }
  return number;
}

std::string ProgramItemText(std::string_view fileName) {
  std::string version = VersionText(fileName);
  std::replace(version.begin(), version.end(), 'p', '.');
  return RangeText(fileName) + "  Version: " + version;
}

void SortProgramNames(std::vector<std::string>& names) {
  for (std::size_t i = 1; i < names.size(); ++i) {
    for (std::size_t j = i; j > 0 && VersionText(names[j]) > VersionText(names[j - 1]); --j) {
      std::swap(names[j], names[j - 1]);
    }
  }
}

}  // namespace tolvane::firmware
