#include "common/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <random>
#include <utility>

namespace tolvane {
namespace {

namespace fs = std::filesystem;

// Room left in a file name (255 bytes) for what a temporary adds to the
// target's name: ".", ".tolvane-", a process id and "-XXXXXX".
constexpr std::size_t kMaxTargetPart = 200;
constexpr std::string_view kTemporaryMark = ".tolvane-";
constexpr std::size_t kRandomLetters = 6;

// The target's name as a temporary carries it: at most kMaxTargetPart bytes,
// not cut inside a UTF-8 character.
std::string_view TargetPart(std::string_view name) {
  if (name.size() <= kMaxTargetPart) {
    return name;
  }
  std::size_t cut = kMaxTargetPart;
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) {
    --cut;
  }
  return name.substr(0, cut);
}

std::string TemporaryPrefix(std::string_view targetName) {
  std::string prefix = ".";
  prefix.append(TargetPart(targetName));
  prefix.append(kTemporaryMark);
  return prefix;
}

bool IsAlnum(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The process id in a leftover's name; 0 when `name` is none of `targetName`.
pid_t LeftoverWriter(std::string_view name, std::string_view targetName) {
  const std::string prefix = TemporaryPrefix(targetName);
  if (!name.starts_with(prefix)) {
    return 0;
  }
  const std::string_view rest = name.substr(prefix.size());
  const std::size_t dash = rest.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash > 10 || rest.size() != dash + 1 + kRandomLetters) {
    return 0;
  }
  for (std::size_t i = dash + 1; i < rest.size(); ++i) {
    if (!IsAlnum(rest[i])) {
      return 0;
    }
  }
  long long pid = 0;
  const auto [end, ec] = std::from_chars(rest.data(), rest.data() + dash, pid);
  if (ec != std::errc() || end != rest.data() + dash || pid <= 0 || pid > 0x7FFFFFFF) {
    return 0;
  }
  return static_cast<pid_t>(pid);
}

// Removes the temporaries that killed writers of `targetName` left in the
// folder. A temporary of a process that still runs (it may be writing the
// same target right now) stays.
void RemoveLeftovers(int dirFd, std::string_view targetName) {
  const int listFd = ::dup(dirFd);
  if (listFd < 0) {
    return;
  }
  DIR* dir = ::fdopendir(listFd);
  if (dir == nullptr) {
    ::close(listFd);
    return;
  }
  const pid_t self = ::getpid();
  while (const dirent* e = ::readdir(dir)) {
    const pid_t writer = LeftoverWriter(e->d_name, targetName);
    if (writer == 0 || writer == self || ::kill(writer, 0) == 0 || errno != ESRCH) {
      continue;
    }
    struct stat st {};
    if (::fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode)) {
      ::unlinkat(dirFd, e->d_name, 0);
    }
  }
  ::closedir(dir);
}

std::string TemporaryName(std::string_view targetName) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937_64 random(
      std::random_device{}() ^ static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::string name = TemporaryPrefix(targetName) + std::to_string(::getpid()) + "-";
  for (std::size_t i = 0; i < kRandomLetters; ++i) {
    name.push_back(kLetters[random() % (sizeof(kLetters) - 1)]);
  }
  return name;
}

// Content, permissions and a flush to disk, so that a name given to the file
// afterwards always names whole content.
bool FillFile(int fd, std::string_view bytes, mode_t mode) {
  return WriteAllBytes(fd, bytes) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
}

// Gives the complete temporary `tmp` the target's name.
bool RenameOver(int dirFd, const std::string& tmp, const std::string& targetName) {
  if (::renameat(dirFd, tmp.c_str(), dirFd, targetName.c_str()) == 0) {
    return true;
  }
  ::unlinkat(dirFd, tmp.c_str(), 0);
  return false;
}

enum class Unnamed { Written, Failed, Unsupported };

// The unnamed file: it has no name until it is complete, so a kill before
// that leaves nothing. A missing target gets its name directly; an existing
// one is replaced through a named link that lives only for the rename.
Unnamed WriteUnnamed(int dirFd, const std::string& targetName, std::string_view bytes, mode_t mode) {
  CFileHandle file(::openat(dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
  if (!file.IsOpen()) {
    return Unnamed::Unsupported;
  }
  if (!FillFile(file.Get(), bytes, mode)) {
    return Unnamed::Failed;
  }
  const std::string self = "/proc/self/fd/" + std::to_string(file.Get());
  if (::linkat(AT_FDCWD, self.c_str(), dirFd, targetName.c_str(), AT_SYMLINK_FOLLOW) == 0) {
    return Unnamed::Written;
  }
  if (errno != EEXIST) {
    return Unnamed::Unsupported;  // no /proc, or links refused: the named way
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string tmp = TemporaryName(targetName);
    if (::linkat(AT_FDCWD, self.c_str(), dirFd, tmp.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      return RenameOver(dirFd, tmp, targetName) ? Unnamed::Written : Unnamed::Failed;
    }
    if (errno != EEXIST) {
      return Unnamed::Failed;
    }
  }
  return Unnamed::Failed;
}

bool WriteNamed(int dirFd, const std::string& targetName, std::string_view bytes, mode_t mode) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string tmp = TemporaryName(targetName);
    CFileHandle file(::openat(dirFd, tmp.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!file.IsOpen()) {
      if (errno == EEXIST) {
        continue;
      }
      return false;
    }
    const bool filled = FillFile(file.Get(), bytes, mode);
    file.Reset();
    if (!filled) {
      ::unlinkat(dirFd, tmp.c_str(), 0);
      return false;
    }
    return RenameOver(dirFd, tmp, targetName);
  }
  return false;
}

}  // namespace

bool WriteAllBytes(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

CFileHandle::~CFileHandle() { Reset(); }

CFileHandle::CFileHandle(CFileHandle&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

CFileHandle& CFileHandle::operator=(CFileHandle&& other) noexcept {
  if (this != &other) {
    Reset(std::exchange(other.fd_, -1));
  }
  return *this;
}

void CFileHandle::Reset(int fd) {
  if (fd_ >= 0) {
    ::close(fd_);
  }
  fd_ = fd;
}

OpenResult OpenRegularFile(const fs::path& path, CFileHandle& file, OpenMode mode, int* error) {
  file.Reset();
  int reason = 0;
  const OpenResult result = [&] {
    auto failed = [&](int e) {
      reason = e;
      return e == ENOENT || e == ENOTDIR ? OpenResult::NotFound : OpenResult::Error;
    };
    auto notRegular = [&](const struct stat& st) {
      reason = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
      return OpenResult::NotRegular;
    };
    // A look first, so that a device is not even opened (opening one can
    // have effects of its own); the descriptor is checked again after the
    // open, in case the name was changed in between.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
      if (!S_ISREG(st.st_mode)) {
        return notRegular(st);
      }
    } else if (errno != ENOENT || mode != OpenMode::AppendOrCreate) {
      return failed(errno);
    }
    int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    flags |= mode == OpenMode::Read ? O_RDONLY : (O_RDWR | O_CREAT | O_APPEND);
    CFileHandle opened(::open(path.c_str(), flags, 0644));
    if (!opened.IsOpen()) {
      return failed(errno);
    }
    if (::fstat(opened.Get(), &st) != 0) {
      return failed(errno);
    }
    if (!S_ISREG(st.st_mode)) {
      return notRegular(st);
    }
    const int status = ::fcntl(opened.Get(), F_GETFL);
    if (status < 0 || ::fcntl(opened.Get(), F_SETFL, status & ~O_NONBLOCK) != 0) {
      return failed(errno);
    }
    file = std::move(opened);
    return OpenResult::Ok;
  }();
  if (error != nullptr) {
    *error = reason;
  }
  return result;
}

ReadResult ReadFileBounded(const fs::path& path, std::size_t maxBytes, std::string& out) {
  out.clear();
  CFileHandle file;
  switch (OpenRegularFile(path, file)) {
    case OpenResult::Ok:
      break;
    case OpenResult::NotFound:
      return ReadResult::NotFound;
    default:
      return ReadResult::Error;
  }
  struct stat st {};
  if (::fstat(file.Get(), &st) != 0) {
    return ReadResult::Error;
  }
  if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
    return ReadResult::TooLarge;
  }
  out.resize(static_cast<std::size_t>(st.st_size));
  std::size_t got = 0;
  while (got < out.size()) {
    const ssize_t n = ::read(file.Get(), out.data() + got, out.size() - got);
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
  return ReadResult::Ok;
}

bool WriteFileReplacing(const fs::path& target, std::string_view bytes, ReplaceMethod method) {
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  const std::string name = target.filename().string();
  if (name.empty() || name == "." || name == "..") {
    return false;
  }
  CFileHandle dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dir.IsOpen()) {
    return false;
  }
  RemoveLeftovers(dir.Get(), name);
  // Keep the permissions of the file being replaced; a new file gets the usual ones.
  struct stat st {};
  const mode_t mode = ::fstatat(dir.Get(), name.c_str(), &st, 0) == 0 ? (st.st_mode & 07777) : 0644;
  if (method == ReplaceMethod::Automatic) {
    switch (WriteUnnamed(dir.Get(), name, bytes, mode)) {
      case Unnamed::Written:
        return true;
      case Unnamed::Failed:
        return false;
      case Unnamed::Unsupported:
        break;
    }
  }
  return WriteNamed(dir.Get(), name, bytes, mode);
}

bool IsRewriteLeftover(std::string_view name, std::string_view targetName) {
  return LeftoverWriter(name, targetName) != 0;
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
