#include "shell/ChmArchive.h"

#include <chm_lib.h>

#include <cstdint>
#include <utility>

namespace tolvane {
namespace {

std::string AbsoluteObjectPath(const std::string& objectPath) {
  if (!objectPath.empty() && objectPath.front() == '/') {
    return objectPath;
  }
  return "/" + objectPath;
}

unsigned Word16(std::string_view bytes, std::size_t at) {
  return static_cast<unsigned>(static_cast<unsigned char>(bytes[at])) |
         (static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 8);
}

// The text of a record up to its first NUL.
std::string RecordText(std::string_view data) {
  const std::size_t nul = data.find('\0');
  return std::string(data.substr(0, nul));
}

}  // namespace

CHM_SYSTEM_INFO ParseSystemObject(std::string_view bytes) {
  enum : unsigned { kDefaultTopic = 2, kTitle = 3 };
  CHM_SYSTEM_INFO info;
  std::size_t at = 4;  // past the version
  while (at + 4 <= bytes.size()) {
    const unsigned code = Word16(bytes, at);
    const std::size_t length = Word16(bytes, at + 2);
    at += 4;
    if (length > bytes.size() - at) {
      break;
    }
    const std::string_view data = bytes.substr(at, length);
    if (code == kDefaultTopic) {
      info.defaultTopic = RecordText(data);
    } else if (code == kTitle) {
      info.title = RecordText(data);
    }
    at += length;
  }
  return info;
}

CChmArchive::~CChmArchive() { Close(); }

CChmArchive::CChmArchive(CChmArchive&& other) noexcept : file_(std::exchange(other.file_, nullptr)) {}

CChmArchive& CChmArchive::operator=(CChmArchive&& other) noexcept {
  if (this != &other) {
    Close();
    file_ = std::exchange(other.file_, nullptr);
  }
  return *this;
}

bool CChmArchive::Open(const std::filesystem::path& file) {
  Close();
  std::error_code ec;
  // chmlib would "open" a folder and fail later; refuse anything but a file.
  if (!std::filesystem::is_regular_file(file, ec)) {
    return false;
  }
  file_ = chm_open(file.c_str());
  return file_ != nullptr;
}

void CChmArchive::Close() {
  if (file_ != nullptr) {
    chm_close(file_);
    file_ = nullptr;
  }
}

bool CChmArchive::Exists(const std::string& objectPath) const {
  if (file_ == nullptr || objectPath.size() >= CHM_MAX_PATHLEN) {
    return false;
  }
  chmUnitInfo unit{};
  return chm_resolve_object(file_, AbsoluteObjectPath(objectPath).c_str(), &unit) == CHM_RESOLVE_SUCCESS;
}

std::optional<std::string> CChmArchive::Read(const std::string& objectPath) const {
  if (file_ == nullptr || objectPath.size() >= CHM_MAX_PATHLEN) {
    return std::nullopt;
  }
  chmUnitInfo unit{};
  if (chm_resolve_object(file_, AbsoluteObjectPath(objectPath).c_str(), &unit) != CHM_RESOLVE_SUCCESS) {
    return std::nullopt;
  }
  // The length is the file's word: bounded before anything is allocated.
  if (unit.length > kMaxObjectSize) {
    return std::nullopt;
  }
  std::string bytes(static_cast<std::size_t>(unit.length), '\0');
  if (bytes.empty()) {
    return bytes;
  }
  const LONGINT64 got = chm_retrieve_object(file_, &unit, reinterpret_cast<unsigned char*>(bytes.data()), 0,
                                            static_cast<LONGINT64>(unit.length));
  if (got != static_cast<LONGINT64>(unit.length)) {
    return std::nullopt;
  }
  return bytes;
}

CHM_SYSTEM_INFO CChmArchive::SystemInfo() const {
  const auto bytes = Read("/#SYSTEM");
  return bytes ? ParseSystemObject(*bytes) : CHM_SYSTEM_INFO{};
}

}  // namespace tolvane
