// File helpers shared by every subsystem: opens of files from outside that
// never wait on a pipe or a device, bounded reads, writes that replace a file
// only once the new content is complete, and checks on names that come from
// outside the program.
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace tolvane {

// A C file that is closed when it goes out of scope.
struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f != nullptr) {
      std::fclose(f);
    }
  }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// A file descriptor that is closed with its owner.
class CFileHandle {
 public:
  CFileHandle() = default;
  explicit CFileHandle(int fd) : fd_(fd) {}
  ~CFileHandle();
  CFileHandle(CFileHandle&& other) noexcept;
  CFileHandle& operator=(CFileHandle&& other) noexcept;
  CFileHandle(const CFileHandle&) = delete;
  CFileHandle& operator=(const CFileHandle&) = delete;

  int Get() const { return fd_; }
  bool IsOpen() const { return fd_ >= 0; }
  void Reset(int fd = -1);
  // Gives the descriptor up to the caller, who closes it.
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_ = -1;
};

enum class OpenResult { Ok, NotFound, NotRegular, Error };
enum class OpenMode {
  Read,            // read only
  AppendOrCreate,  // read and append; created (0644) when missing
};

// Opens a file that comes from outside the program (a path a user, a model
// or the environment names). The open never waits (a named pipe without a
// writer, a terminal, a device), and the file is kept only when it is a
// regular file (or a link to one): anything else gives NotRegular and is
// closed again without a byte read. The descriptor is close-on-exec and
// blocking for the reads and writes that follow. `error`, when given,
// receives the reason as an errno value: 0, the open's own error, EISDIR for
// a folder or EINVAL for anything else that is not a regular file.
OpenResult OpenRegularFile(const std::filesystem::path& path, CFileHandle& file, OpenMode mode = OpenMode::Read,
                           int* error = nullptr);

// Writes all of `bytes` to `fd` (a short write is continued); false on an error.
bool WriteAllBytes(int fd, std::string_view bytes);

enum class ReadResult { Ok, NotFound, TooLarge, Error };

// Reads a whole regular file of at most `maxBytes` bytes. The size is checked
// before anything is allocated; a pipe, a device or a folder gives Error.
ReadResult ReadFileBounded(const std::filesystem::path& path, std::size_t maxBytes, std::string& out);

enum class ReplaceMethod {
  // An unnamed file in the target's folder, given its name only when it is
  // complete; a named temporary where the file system has no unnamed files.
  Automatic,
  // Always the named temporary.
  NamedTemporary,
};

// Writes `bytes` into a new file beside `target` and renames it over the
// target, so the old content stays whole until the new one is complete.
// Returns false (and leaves the target as it was) on any failure.
//
// A process killed while it writes leaves at most one temporary file, named
// "." + the target's name + ".tolvane-" + its process id + "-" + six letters
// or digits (the target's name shortened to fit); every write of the same
// target first removes such files of processes that no longer run.
bool WriteFileReplacing(const std::filesystem::path& target, std::string_view bytes,
                        ReplaceMethod method = ReplaceMethod::Automatic);

// True when `name` is the temporary file a rewrite of the file `targetName`
// in the same folder leaves when it is killed.
bool IsRewriteLeftover(std::string_view name, std::string_view targetName);

// A name from outside (a server, a model file) that may be used as the last
// part of a path inside one folder: not empty, no separators, not "." or
// "..", no NUL or control characters.
bool IsSafeLeafName(std::string_view name);

}  // namespace tolvane
