// The flash programming runs: the encrypted image (erase, then 64-byte data
// packets each answered by a ready frame), the packet file (its ready-made
// frames relayed and their acknowledgements checked) and the combined file
// (CRC verified, then its records programmed through temporary files). A run
// is the body of a worker thread; it reports progress and its result through
// IProgramEvents, which the page turns into queued signals.
#pragma once

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>

#include "common/Clock.h"
#include "common/Messages.h"
#include "defs/LanguageFile.h"
#include "firmware/ProgramFiles.h"
#include "link/UsbLink.h"
#include "shell/LogFile.h"

namespace tolvane::firmware {

// What a run tells its page. Called on the run's thread.
class IProgramEvents {
 public:
  virtual ~IProgramEvents() = default;
  // Per mille, 0..1000.
  virtual void OnProgress(int perMille) = 0;
  // Once at the end of every run: 0 success, else the run's result.
  virtual void OnFinish(int result) = 0;
  // Between records of a combined file a run can be left without harm: true
  // stops it there (the command-line program takes a held-back Ctrl+C).
  // Also called after a failure, where the run ends anyway.
  virtual bool OnSafePoint() { return false; }
  // Each line the run writes to the log.
  virtual void OnLogLine(std::string_view /*tag*/, std::string_view /*text*/) {}
};

inline constexpr char kTagEncrypted[] = "WRITEENCRYPTEDPROGRAM";
inline constexpr char kTagPacket[] = "WRITEPROGRAM";
inline constexpr char kTagCombined[] = "WRITECOMBINEDPROGRAMTARGET";

// Result of a procedure refused before its first command.
inline constexpr int kFileRefused = 20;
// A combined run stopped between two records on request.
inline constexpr int kRunStopped = -6;

// The parameter block of a run: the page fills it before it starts one.
struct CProgramTarget {
  IProgramEvents* events = nullptr;
  // The file to program; the combined run points it at the temporary files
  // while it programs them and back at the combined file at the end. The
  // page reads it after the run's thread has ended.
  std::string filePath;
  std::filesystem::path programsFolder;  // where the temporary files go
  link::CUsbLink* link = nullptr;
  CLogFile* log = nullptr;
  int language = 0;
  const CLanguageFile* catalogue = nullptr;
  IMessageBox* messages = nullptr;
  IClock* clock = nullptr;
};

// Counts of what went over the line, for the tests and the benchmark.
struct RUN_COUNTS {
  int progressReports = 0;
  int dataPackets = 0;
  int frames = 0;
  int eraseAttempts = 0;
};

class CProgramRunner {
 public:
  explicit CProgramRunner(CProgramTarget& target) : t_(target) {}

  // The three runs; each reports finish and returns its result.
  int RunEncrypted();
  int RunPacket();
  int RunCombined();
  // The run the path's extension chooses.
  int Run();

  // The procedures (progress from `start` to `end`).
  int WriteEncryptedProgram(const std::filesystem::path& path, int start, int end);
  int WritePacketProgram(const std::filesystem::path& path, int start, int end, bool erase);

  const RUN_COUNTS& Counts() const { return counts_; }

 private:
  void Progress(int value);
  // Reports p = s + (e - s) * done / total when it grows past the last report.
  void StepProgress(int start, int end, std::size_t done, std::size_t total);
  void Log(const char* tag, std::string_view text);
  std::string Text(const char* key) const;
  // The error of a procedure: the key's text shown and logged.
  void ShowError(const char* tag, const char* key);
  // Up to five erase attempts; 0, or the last attempt's result (also in `last`).
  int Erase(int& last);
  int Fail(int result);
  int Finish(int result);
  int SplitCombined(std::FILE* file);

  CProgramTarget& t_;
  RUN_COUNTS counts_;
  int lastProgress_ = -1;
};

}  // namespace tolvane::firmware
