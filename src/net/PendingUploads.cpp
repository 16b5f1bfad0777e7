#include "net/PendingUploads.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace tolvane::net {

std::filesystem::path PendingFilePath(const std::filesystem::path& logs, const std::string& corporateId) {
  return logs / (corporateId + "Upload.txt");
}

std::vector<std::string> SplitPendingLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    const bool last = end == std::string_view::npos;
    if (last) {
      end = text.size();
    }
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    lines.emplace_back(line);
    start = end + 1;
  }
  return lines;
}

std::string PendingText(const std::vector<std::string>& records) {
  std::string text;
  for (const std::string& r : records) {
    text += "\r\n";
    text += r;
    text += "\r\n";
  }
  return text;
}

bool IsSendableLine(std::string_view line) {
  if (line.size() > kMaxRecordChars) {
    return false;
  }
  for (const char ch : line) {
    const auto c = static_cast<unsigned char>(ch);
    if (c <= 0x20 || c >= 0x7F || c == '#') {
      return false;
    }
  }
  return true;
}

CPendingUploads::CPendingUploads(std::filesystem::path file) : file_(std::move(file)) {}

bool CPendingUploads::Exists() const {
  std::error_code ec;
  return std::filesystem::is_regular_file(file_, ec);
}

std::filesystem::path CPendingUploads::LockFile() const {
  std::filesystem::path lock = file_;
  lock += ".lock";
  return lock;
}

std::filesystem::path CPendingUploads::SetAsideFile() const {
  std::filesystem::path sent = file_;
  sent += ".sent";
  return sent;
}

CPendingUploads::CLock::CLock(const std::filesystem::path& lockFile) {
  const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
  if (fd < 0) {
    return;
  }
  fd_.Reset(fd);
  int rc = 0;
  do {
    rc = ::flock(fd, LOCK_EX);
  } while (rc != 0 && errno == EINTR);
  held_ = rc == 0;
}

CPendingUploads::AppendResult CPendingUploads::Append(std::string_view line, int& error) const {
  CFileHandle file;
  error = 0;
  if (OpenRegularFile(file_, file, OpenMode::AppendOrCreate, &error) != OpenResult::Ok) {
    if (error == 0) {
      error = EINVAL;
    }
    return AppendResult::OpenFailed;
  }
  std::string text;
  text.reserve(line.size() + 4);
  text += "\r\n";
  text += line;
  text += "\r\n";
  // One write: a kill leaves the record whole or not there at all.
  const ssize_t written = ::write(file.Get(), text.data(), text.size());
  if (written != static_cast<ssize_t>(text.size())) {
    error = written < 0 ? errno : EIO;
    if (written > 0) {
      // A short write: take the partial line back off the queue.
      struct stat st {};
      if (::fstat(file.Get(), &st) == 0 && st.st_size >= written) {
        (void)::ftruncate(file.Get(), st.st_size - written);
      }
    }
    return AppendResult::WriteFailed;
  }
  if (::fsync(file.Get()) != 0) {
    error = errno;
    return AppendResult::WriteFailed;
  }
  const int fd = file.Release();
  if (::close(fd) != 0) {
    error = errno;
    return AppendResult::CloseFailed;
  }
  // The folder's entry of a new file reaches the disk too.
  const int dir = ::open(file_.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    (void)::fsync(dir);
    ::close(dir);
  }
  return AppendResult::Ok;
}

ReadResult CPendingUploads::Read(std::vector<std::string>& lines) const {
  std::string text;
  const ReadResult r = ReadFileBounded(file_, kMaxPendingBytes, text);
  if (r == ReadResult::Ok) {
    lines = SplitPendingLines(text);
  }
  return r;
}

bool CPendingUploads::Replace(const std::vector<std::string>& records) const {
  return WriteFileReplacing(file_, PendingText(records));
}

bool CPendingUploads::SetAside() const { return std::rename(file_.c_str(), SetAsideFile().c_str()) == 0; }

bool CPendingUploads::Restore() const { return std::rename(SetAsideFile().c_str(), file_.c_str()) == 0; }

void CPendingUploads::RemoveSetAside() const {
  std::error_code ec;
  std::filesystem::remove(SetAsideFile(), ec);
}

}  // namespace tolvane::net
