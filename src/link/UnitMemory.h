// The program's copy of the sensor memory: the four 512-byte pages, the
// 128-byte information memory, and the staging buffer from which a page is
// written. Reads, writes and verifies go through the link's command exchange;
// any failure closes the link so the next operation reconnects.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "common/Messages.h"
#include "defs/AppSettings.h"
#include "defs/LanguageFile.h"
#include "link/UsbLink.h"

namespace tolvane::link {

inline constexpr std::size_t kPageBytes = 512;
inline constexpr std::size_t kInfoBytes = 128;
inline constexpr int kPageCount = 4;

using PageImage = std::array<std::uint8_t, kPageBytes>;
using InfoImage = std::array<std::uint8_t, kInfoBytes>;

// Cache indices of the pages; the wire number is the index + 1.
enum : int { PAGE_CUSTOMER = 0, PAGE_FACTORY = 1, PAGE_HISTORY = 2, PAGE_OCM = 3 };

// A progress bar of the window that started the operation.
class IProgressBar {
 public:
  virtual ~IProgressBar() = default;
  virtual void SetProgress(int percent) = 0;
};

class CUnitMemory {
 public:
  // `errors` and `messages` show the read failures of single pages and of
  // verifies; texts come from `language` in the settings' language.
  CUnitMemory(CUsbLink& link, const CLanguageFile& language, const APP_SETTINGS& settings, IErrorDetail& errors,
              IMessageBox& messages);

  int ReadPage(int index, std::span<std::uint8_t, kPageBytes> buffer);
  // index -1: all four pages into `buffers` (no messages); 0..3: that page into buffers[0].
  int ReadPages(int index, std::span<PageImage> buffers, IBusyWindow* busy, int p1, int p2, int p3,
                IProgressBar* mainWindow);
  int WritePage(int wirePage);
  // 1 when the unit's page equals the staging buffer (the cache then takes it), else 0.
  int VerifyPage(int index);
  int ReadInfoMemory(std::span<std::uint8_t, kInfoBytes> buffer);
  int WriteInfoMemory(std::span<const std::uint8_t, kInfoBytes> buffer);

  PageImage& Staging() { return staging_; }
  PageImage& Page(int index) { return cache_.at(static_cast<std::size_t>(index)); }
  std::array<PageImage, kPageCount>& Pages() { return cache_; }
  InfoImage& Info() { return info_; }

 private:
  int ReadPageRaw(int index, std::span<std::uint8_t, kPageBytes> buffer);
  // Receives a 69-byte data frame and copies its 64 data bytes to `dst`.
  // 0 on success, else the receive result or the received length.
  int ReceiveDataBlock(std::uint8_t* dst);
  int WriteScratchBlock(int block, const std::uint8_t* data);
  std::string Text(const char* key) const;
  // Any failed operation closes the link, so the next one reconnects.
  int Fail(int result);

  CUsbLink& link_;
  const CLanguageFile& language_;
  const APP_SETTINGS& settings_;
  IErrorDetail& errors_;
  IMessageBox& messages_;
  PageImage staging_{};
  std::array<PageImage, kPageCount> cache_{};
  InfoImage info_{};
};

// Identity fields of the Factory page and the information memory.
int ParseFactoryIdentity(std::span<const std::uint8_t, kPageBytes> page, std::int32_t& serial, std::string& name,
                         std::uint32_t& revision);
int ParseInfoIdentity(std::span<const std::uint8_t, kInfoBytes> info, std::int32_t& serial, std::string& model);

}  // namespace tolvane::link
