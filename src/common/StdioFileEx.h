// Text files as the program reads and writes them: 8-bit text, or UTF-16
// little-endian with a byte-order mark, told apart by the first two bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/FileSystem.h"
#include "common/Messages.h"

namespace tolvane {

class CStdioFileEx {
 public:
  enum : unsigned {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeCreate = 0x1000,
    // Written as UTF-16 LE with a byte-order mark and CR LF line ends.
    modeWriteUnicode = 0x20000,
  };

  // Lines longer than this are cut; the rest of such a line is skipped.
  static constexpr std::size_t kMaxLineBytes = 1 << 20;

  // `messages` receives the type-check errors; it may be null.
  explicit CStdioFileEx(IMessageBox* messages = nullptr);
  ~CStdioFileEx();
  CStdioFileEx(const CStdioFileEx&) = delete;
  CStdioFileEx& operator=(const CStdioFileEx&) = delete;

  // Opens for reading (no write or create flag) or for writing. Only a
  // regular file is read, and the open never waits on a pipe or a device. A
  // file opened for writing replaces its target only on a successful Close().
  bool Open(const std::filesystem::path& path, unsigned flags);

  // Reads the next line into `line` (UTF-8, without the line end). Returns
  // false at the end of the file.
  bool ReadString(std::string& line);

  // Appends UTF-8 text; "\n" becomes CR LF.
  void WriteString(std::string_view text);

  // For a file opened for writing: puts the written text in place. Returns
  // false when the file could not be written (the target is then unchanged).
  bool Close();

  bool IsOpen() const { return open_; }
  // The size in bytes of the file opened for reading, as it was at the open.
  std::uint64_t Size() const { return size_; }
  bool IsUnicode() const { return unicode_; }

 private:
  bool OpenForReading(const std::filesystem::path& path);
  // The next byte of the file, or -1 at its end (or on a read error).
  int NextByte();
  bool ReadLine8(std::string& line);
  bool ReadLine16(std::string& line);

  IMessageBox* messages_;
  CFileHandle in_;
  std::vector<char> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  std::uint64_t size_ = 0;
  std::filesystem::path target_;
  std::string out_;
  bool open_ = false;
  bool writing_ = false;
  bool unicode_ = false;
};

}  // namespace tolvane
