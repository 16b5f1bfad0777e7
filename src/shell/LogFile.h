// The running log of significant events: logfile.txt in the logs folder, one
// time-stamped line per event, appended and never truncated.
#pragma once

#include <ctime>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "common/CheckedFormat.h"

namespace tolvane {

// The local date and time of "now"; a seam so tests can fix the clock.
using LocalTimeSource = std::function<std::tm()>;
LocalTimeSource SystemLocalTime();

class CLogFile {
 public:
  static constexpr std::size_t kMaxMessage = 511;

  CLogFile(const std::filesystem::path& logsFolder, LocalTimeSource now);
  ~CLogFile();
  CLogFile(const CLogFile&) = delete;
  CLogFile& operator=(const CLogFile&) = delete;

  // Opens (or creates) logfile.txt for appending. A second running instance
  // holds the lock and cannot open it. Returns false when the log cannot be
  // used; the program then runs without it.
  bool Open();
  bool IsOpen() const;
  void Close();

  // Formats the message from a pattern and its arguments, writes one line and
  // returns the number of characters written (0 when the log is not open).
  int WriteChecked(std::string_view tag, std::string_view pattern, std::span<const FormatArg> args);

  template <typename... A>
  int Write(std::string_view tag, std::string_view pattern, A&&... args) {
    const std::vector<FormatArg> list{ToFormatArg(std::forward<A>(args))...};
    return WriteChecked(tag, pattern, list);
  }

  // Writes text as it stands ("\n" becomes CR LF), without a time stamp: the
  // configuration text that follows a write or read line.
  void WriteText(std::string_view text);

  // The line Write() would write for this message at this time (without the
  // CR that the file's line end carries).
  static std::string FormatLine(const std::tm& when, std::string_view tag, std::string_view message);

 private:
  void WriteBytesLocked(std::string_view bytes);

  std::filesystem::path path_;
  LocalTimeSource now_;
  mutable std::mutex mutex_;  // lines come from the UI thread and from workers
  int fd_ = -1;
};

}  // namespace tolvane
