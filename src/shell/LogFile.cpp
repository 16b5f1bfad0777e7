#include "shell/LogFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <fmt/format.h>

#include <array>
#include <cerrno>

#include "common/Encoding.h"

namespace tolvane {

LocalTimeSource SystemLocalTime() {
  return [] {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
  };
}

CLogFile::CLogFile(const std::filesystem::path& logsFolder, LocalTimeSource now)
    : path_(logsFolder / "logfile.txt"), now_(std::move(now)) {}

CLogFile::~CLogFile() { Close(); }

bool CLogFile::Open() {
  const std::lock_guard lock(mutex_);
  if (fd_ >= 0) {
    return true;
  }
  const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) {
    return false;
  }
  // Writes by another instance are refused, as the file is held for this run.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

bool CLogFile::IsOpen() const {
  const std::lock_guard lock(mutex_);
  return fd_ >= 0;
}

void CLogFile::Close() {
  const std::lock_guard lock(mutex_);
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

std::string CLogFile::FormatLine(const std::tm& when, std::string_view tag, std::string_view message) {
  // "%m/%d/%y %I:%M:%S%p", spelled out so that the process locale (which the
  // windowing toolkit sets from the desktop) cannot change AM and PM.
  const int hour12 = (when.tm_hour % 12 == 0) ? 12 : when.tm_hour % 12;
  std::string line = fmt::format("{:02}/{:02}/{:02} {:02}:{:02}:{:02}{} ", when.tm_mon + 1, when.tm_mday,
                                 ((when.tm_year % 100) + 100) % 100, hour12, when.tm_min, when.tm_sec,
                                 when.tm_hour < 12 ? "AM" : "PM");
  line.append(tag);
  line.append("->");
  line.append(message);
  line.push_back('\n');
  return line;
}

int CLogFile::WriteChecked(std::string_view tag, std::string_view pattern, std::span<const FormatArg> args) {
  std::string message = FormatChecked(pattern, args);
  // Cut at the limit without splitting a character.
  if (message.size() > kMaxMessage) {
    std::size_t cut = kMaxMessage;
    while (cut > 0 && (static_cast<unsigned char>(message[cut]) & 0xC0) == 0x80) {
      --cut;
    }
    message.resize(cut);
  }
  const std::tm when = now_();
  const std::string line = FormatLine(when, tag, message);
  // The file is 8-bit text with CR LF line ends.
  std::string bytes = Utf8ToCp1252(line);
  bytes.insert(bytes.size() - 1, 1, '\r');

  const std::lock_guard lock(mutex_);
  if (fd_ < 0) {
    return 0;
  }
  WriteBytesLocked(bytes);
  return static_cast<int>(Utf8ToU32(line).size());
}

void CLogFile::WriteText(std::string_view text) {
  // Same encoding and line ends as the log lines.
  std::string bytes;
  bytes.reserve(text.size() + text.size() / 16);
  for (const char c : Utf8ToCp1252(text)) {
    if (c == '\n') {
      bytes += '\r';
    }
    bytes += c;
  }
  const std::lock_guard lock(mutex_);
  if (fd_ >= 0) {
    WriteBytesLocked(bytes);
  }
}

void CLogFile::WriteBytesLocked(std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t w = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (w < 0 && errno == EINTR) {
      continue;
    }
    if (w <= 0) {
      break;
    }
    done += static_cast<std::size_t>(w);
  }
}

}  // namespace tolvane
