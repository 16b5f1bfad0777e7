// The queue of configuration records that wait for the maker's server: a
// text file of CR LF lines in the logs folder, each record written as an
// empty line followed by the record line. Every change is crash-safe: a
// record is appended with one write and flushed before it is reported
// queued, and the file is only ever replaced whole. Programs that queue and
// send at the same time (the desktop tool and the command-line program) take
// turns through a lock file beside the queue.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/FileSystem.h"

namespace tolvane::net {

// A queue larger than this is not read (it is left as it is).
inline constexpr std::size_t kMaxPendingBytes = 64u * 1024 * 1024;
// A line longer than this is no record of ours: it is never sent, and it
// stays in the queue.
inline constexpr std::size_t kMaxRecordChars = 16u * 1024;

// The queue file: CORPORATEID followed by "Upload.txt" in the logs folder.
std::filesystem::path PendingFilePath(const std::filesystem::path& logs, const std::string& corporateId);

// Splits the queue's text into its lines, empty ones included, in order
// (line ends removed; a last line without a line end counts).
std::vector<std::string> SplitPendingLines(std::string_view text);

// The queue's text for the record lines `records` (each after an empty line).
std::string PendingText(const std::vector<std::string>& records);

// True when `line` can be sent as the query of a request: printable ASCII
// without spaces or "#", at most kMaxRecordChars.
bool IsSendableLine(std::string_view line);

class CPendingUploads {
 public:
  explicit CPendingUploads(std::filesystem::path file);

  const std::filesystem::path& File() const { return file_; }
  bool Exists() const;

  // Holds the queue's lock file while it lives (a missing logs folder or
  // an unusable lock file leaves it unlocked: `Held()` false).
  class CLock {
   public:
    explicit CLock(const std::filesystem::path& lockFile);
    bool Held() const { return held_; }

   private:
    CFileHandle fd_;
    bool held_ = false;
  };
  CLock Lock() const { return CLock(LockFile()); }

  enum class AppendResult { Ok, OpenFailed, WriteFailed, CloseFailed };
  // Appends one record (an empty line and `line`) with one write and flushes
  // it to the disk. `error` receives the errno of a failure.
  AppendResult Append(std::string_view line, int& error) const;

  // Reads the queue's lines.
  ReadResult Read(std::vector<std::string>& lines) const;

  // Replaces the queue with the records `records` (the file is rewritten
  // whole beside itself and renamed over it).
  bool Replace(const std::vector<std::string>& records) const;

  // Moves the queue out of the way (renamed, so the records in it are no
  // longer queued) before the pending flag is cleared; Restore undoes it.
  bool SetAside() const;
  bool Restore() const;
  // Deletes what SetAside moved.
  void RemoveSetAside() const;

 private:
  std::filesystem::path LockFile() const;
  std::filesystem::path SetAsideFile() const;
  std::filesystem::path file_;
};

}  // namespace tolvane::net
