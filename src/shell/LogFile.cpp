#include "shell/LogFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <fmt/format.h>

#include <array>
#include <cerrno>

#include "common/Encoding.h"
#include "common/FileSystem.h"

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
  // Only a regular file: a pipe in its place would take the lines until it
  // is full and then hold up every part of the program that logs.
  CFileHandle file;
  if (OpenRegularFile(path_, file, OpenMode::AppendOrCreate) != OpenResult::Ok) {
    return false;
  }
  // Writes by another instance are refused, as the file is held for this run.
  if (::flock(file.Get(), LOCK_EX | LOCK_NB) != 0) {
    return false;
  }
  fd_ = file.Release();
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
  // At most kMaxMessage characters (each one byte in the file).
  std::size_t characters = 0;
  for (std::size_t i = 0; i < message.size(); ++i) {
    if ((static_cast<unsigned char>(message[i]) & 0xC0) != 0x80 && ++characters > kMaxMessage) {
      message.resize(i);
      break;
    }
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

void CLogFile::WriteBytesLocked(std::string_view bytes) { WriteAllBytes(fd_, bytes); }

}  // namespace tolvane
