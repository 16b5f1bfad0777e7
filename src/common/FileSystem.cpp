#include "common/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <vector>

namespace tolvane {

ReadResult ReadFileBounded(const std::filesystem::path& path, std::size_t maxBytes,
                           std::string& out) {
  out.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return errno == ENOENT ? ReadResult::NotFound : ReadResult::Error;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return ReadResult::Error;
  }
  if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
    ::close(fd);
    return ReadResult::TooLarge;
  }
  out.resize(static_cast<std::size_t>(st.st_size));
  std::size_t got = 0;
  while (got < out.size()) {
    const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      break;
    }
    got += static_cast<std::size_t>(n);
  }
  // The file may have shrunk or grown since fstat: keep what was read, never more than the bound.
  out.resize(got);
  ::close(fd);
  return ReadResult::Ok;
}

bool WriteFileReplacing(const std::filesystem::path& target, std::string_view bytes) {
  std::string tmpl = target.string() + ".XXXXXX";
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    return false;
  }
  bool ok = true;
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      ok = false;
    } else {
      done += static_cast<std::size_t>(n);
    }
  }
  // Keep the permissions of the file being replaced; a new file gets the usual ones.
  struct stat st {};
  const mode_t mode = ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
  ok = ok && ::fchmod(fd, mode) == 0;
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok && ::rename(name.data(), target.c_str()) == 0) {
    return true;
  }
  ::unlink(name.data());
  return false;
}

bool IsSafeLeafName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") {
    return false;
  }
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || u < 0x20 || u == 0x7F) {
      return false;
    }
  }
  // A drive-style name ("C:") is absolute on the machines these files come from.
  return !(name.size() >= 2 && name[1] == ':');
}

}  // namespace tolvane
