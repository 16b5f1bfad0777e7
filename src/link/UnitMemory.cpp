#include "link/UnitMemory.h"

#include <algorithm>
#include <cstring>

#include "common/CheckedFormat.h"
#include "common/Encoding.h"

namespace tolvane::link {
namespace {

constexpr int kAttempts = 5;
constexpr int kDataFrameBytes = 69;  // A5, length, code, block, 64 data bytes, checksum
constexpr std::size_t kBlockBytes = 64;

// A 32-bit value stored as two little-endian words, high word first.
std::int32_t SplitWords(const std::uint8_t* b) {
  const std::uint32_t high = static_cast<std::uint32_t>(b[0] | (b[1] << 8));
  const std::uint32_t low = static_cast<std::uint32_t>(b[2] | (b[3] << 8));
  return static_cast<std::int32_t>((high << 16) | low);
}

// A zero-terminated ANSI text of at most 14 characters. -1 when no
// terminator is found within the first 15 bytes (or `available`).
int TakeText(const std::uint8_t* text, std::size_t available, std::string& out) {
  const std::size_t limit = std::min<std::size_t>(15, available);
  const auto* end = std::find(text, text + limit, 0);
  if (end == text + limit) {
    return -1;
  }
  out = Cp1252ToUtf8(std::string_view(reinterpret_cast<const char*>(text), static_cast<std::size_t>(end - text)));
  return 0;
}

}  // namespace

CUnitMemory::CUnitMemory(CUsbLink& link, const CLanguageFile& language, const APP_SETTINGS& settings,
                         IErrorDetail& errors, IMessageBox& messages)
    : link_(link), language_(language), settings_(settings), errors_(errors), messages_(messages) {}

int CUnitMemory::Fail(int result) {
  link_.CloseLink();
  return result;
}

std::string CUnitMemory::Text(const char* key) const { return language_.Text(key, settings_.languageNumber); }

int CUnitMemory::ReceiveDataBlock(std::uint8_t* dst) {
  std::array<std::uint8_t, 100> frame{};
  const int got = link_.ReceiveFrame(frame, 100, 0);
  if (got < 2) {
    // A frame of no or one byte is no data: never let it pass as success.
    return got <= -1 ? got : -2;
  }
  // Only a whole data frame with the right checksum is taken; anything else
  // reports the length received.
  if (got != kDataFrameBytes ||
      ByteSum(std::span<const std::uint8_t>(frame.data(), kDataFrameBytes - 1)) != frame[kDataFrameBytes - 1]) {
    return got;
  }
  std::memcpy(dst, frame.data() + 4, kBlockBytes);
  return 0;
}

int CUnitMemory::ReadPageRaw(int index, std::span<std::uint8_t, kPageBytes> buffer) {
  if (const int rc = link_.ConnectUnit(); rc != 0) {
    return rc;
  }
  std::array<std::uint8_t, 8> cmd{};
  for (int b = 0; b < 8; ++b) {
    cmd[3] = static_cast<std::uint8_t>(index + 1);
    cmd[4] = static_cast<std::uint8_t>(b);
    if (const int rc = link_.ExecuteCommand(3, CMD_READ_BLOCK, cmd, 0); rc != 0) {
      return rc;
    }
    if (const int rc = ReceiveDataBlock(buffer.data() + kBlockBytes * static_cast<std::size_t>(b)); rc != 0) {
      return rc;
    }
  }
  return 0;
}

int CUnitMemory::ReadPage(int index, std::span<std::uint8_t, kPageBytes> buffer) {
  if (index < 0 || index >= kPageCount) {
    return -1;
  }
  const int rc = ReadPageRaw(index, buffer);
  return rc == 0 ? 0 : Fail(rc);
}

int CUnitMemory::ReadPages(int index, std::span<PageImage> buffers, IBusyWindow* busy, int p1, int p2, int p3,
                           IProgressBar* mainWindow) {
  if (buffers.empty() || (index == -1 && buffers.size() < static_cast<std::size_t>(kPageCount)) || index < -1 ||
      index >= kPageCount) {
    return Fail(1);
  }
  if (link_.ConnectUnit() != 0) {
    return Fail(1);
  }
  if (index == -1) {
    const int progress[kPageCount] = {p1, p2, p3, p3};
    int ocmAttempts = kAttempts;
    for (int page = 0; page < kPageCount; ++page) {
      // The OCM page has no budget of its own: it lives on what the History
      // page leaves. A History page read at once leaves all five attempts;
      // each failed History read takes two of them.
      const int budget = page == PAGE_OCM ? ocmAttempts : kAttempts;
      int failures = 0;
      bool done = false;
      while (failures < budget && !done) {
        done = ReadPage(page, buffers[static_cast<std::size_t>(page)]) == 0;
        if (!done) {
          ++failures;
        }
      }
      if (!done) {
        return Fail(2 + page);
      }
      if (page == PAGE_HISTORY) {
        ocmAttempts = std::max(0, kAttempts - 2 * failures);
      }
      if (busy != nullptr) {
        busy->SetProgress(progress[page]);
      }
      if (mainWindow != nullptr) {
        mainWindow->SetProgress(progress[page]);
      }
    }
    return 0;
  }
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const int rc = ReadPage(index, buffers[0]);
    if (rc == 0) {
      return 0;
    }
    errors_.Show(Format(Text("ERROR_MESSAGE64"), rc), Text("ERROR_MESSAGE65"));
  }
  return Fail(6);
}

int CUnitMemory::WriteScratchBlock(int block, const std::uint8_t* data) {
  std::array<std::uint8_t, 70> cmd{};
  cmd[3] = static_cast<std::uint8_t>(block);
  std::memcpy(cmd.data() + 4, data, kBlockBytes);
  if (link_.ExecuteCommand(66, CMD_WRITE_SCRATCH, cmd, 0) != 0) {
    return 1;
  }
  std::array<std::uint8_t, 100> frame{};
  if (link_.ReceiveFrame(frame, 100, 0) < 4) {
    return 2;
  }
  if (!std::equal(kReadyFrame.begin(), kReadyFrame.end(), frame.begin())) {
    return 3;
  }
  return 0;
}

int CUnitMemory::WritePage(int wirePage) {
  if (link_.ConnectUnit() != 0) {
    return Fail(1);
  }
  std::array<std::uint8_t, 8> cmd{};
  if (link_.ExecuteCommand(1, CMD_ERASE_SCRATCH, cmd, 0) != 0) {
    return Fail(2);
  }
  for (int b = 0; b < 8; ++b) {
    if (const int rc = WriteScratchBlock(b, staging_.data() + kBlockBytes * static_cast<std::size_t>(b)); rc != 0) {
      return Fail(2 + rc);
    }
  }
  cmd[3] = static_cast<std::uint8_t>(wirePage);
  if (link_.ExecuteCommand(2, CMD_COPY_SCRATCH, cmd, 0) != 0) {
    return Fail(6);
  }
  return 0;
}

int CUnitMemory::VerifyPage(int index) {
  if (index < 0 || index >= kPageCount) {
    return 0;
  }
  std::array<PageImage, 1> read{};
  if (ReadPages(index, read, nullptr, 0, 0, 0, nullptr) != 0) {
    messages_.Show(Text("ERROR_MESSAGE66"), MB_ERROR);
    return 0;
  }
  if (read[0] != staging_) {
    return 0;
  }
  cache_[static_cast<std::size_t>(index)] = read[0];
  return 1;
}

int CUnitMemory::ReadInfoMemory(std::span<std::uint8_t, kInfoBytes> buffer) {
  if (link_.ConnectUnit() != 0) {
    return Fail(1);
  }
  std::array<std::uint8_t, 8> cmd{};
  for (int b = 0; b < 2; ++b) {
    cmd[3] = static_cast<std::uint8_t>(b);
    if (link_.ExecuteCommand(2, CMD_READ_INFO, cmd, 0) != 0) {
      return Fail(2);
    }
    const int rc = ReceiveDataBlock(buffer.data() + kBlockBytes * static_cast<std::size_t>(b));
    if (rc != 0) {
      return Fail(rc < 2 ? 3 : 4);
    }
  }
  return 0;
}

int CUnitMemory::WriteInfoMemory(std::span<const std::uint8_t, kInfoBytes> buffer) {
  if (link_.ConnectUnit() != 0) {
    return Fail(1);
  }
  std::array<std::uint8_t, 8> cmd{};
  if (link_.ExecuteCommand(1, CMD_ERASE_SCRATCH, cmd, 0) != 0) {
    return Fail(2);
  }
  for (int b = 0; b < 2; ++b) {
    // 1: block refused, 2: no ready frame, 3: wrong ready frame.
    if (const int rc = WriteScratchBlock(b, buffer.data() + kBlockBytes * static_cast<std::size_t>(b)); rc != 0) {
      return Fail(1 + 2 * rc + b);
    }
  }
  cmd[3] = 0x5A;
  if (link_.ExecuteCommand(2, CMD_COPY_SCRATCH_INFO, cmd, 0) != 0) {
    return Fail(9);
  }
  return 0;
}

int ParseFactoryIdentity(std::span<const std::uint8_t, kPageBytes> page, std::int32_t& serial, std::string& name,
                         std::uint32_t& revision) {
  serial = SplitWords(page.data() + 96);
  if (TakeText(page.data() + 138, kPageBytes - 138, name) != 0) {
    return -1;
  }
  revision = static_cast<std::uint32_t>(page[26] | (page[27] << 8));
  return 0;
}

int ParseInfoIdentity(std::span<const std::uint8_t, kInfoBytes> info, std::int32_t& serial, std::string& model) {
  serial = SplitWords(info.data() + 10);
  return TakeText(info.data() + 14, kInfoBytes - 14, model);
}

}  // namespace tolvane::link
