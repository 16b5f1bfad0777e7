// Helpers the tests share: temporary folders, recorded message boxes, files.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/Messages.h"

namespace tolvane::test {

// A fresh folder under the system's temporary folder, removed afterwards.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / std::string(name); }

 private:
  std::filesystem::path path_;
};

// A portable tree (what TOLVANE_HOME points at) with the shipped models, the
// protected models the build made (when their folder is given), a logs folder
// and the settings key an installation creates.
class PortableHome {
 public:
  explicit PortableHome(const std::filesystem::path& protectedModels = {});
  const std::filesystem::path& path() const { return dir_.path(); }
  std::filesystem::path operator/(std::string_view name) const { return dir_ / name; }
  // Runs tolvane-cli on this tree with adapters below `deviceRoot`; returns
  // its exit status and standard output.
  std::pair<int, std::string> RunCli(const std::string& args,
                                     const std::filesystem::path& deviceRoot = "/nonexistent") const;
  // The same, giving its standard error instead.
  std::pair<int, std::string> RunCliErrors(const std::string& args,
                                           const std::filesystem::path& deviceRoot = "/nonexistent") const;

 private:
  TempDir dir_;
};

// Records every message box; answers questions with `answer`.
class RecordingMessages : public IMessageBox {
 public:
  int Show(const std::string& text, unsigned type) override {
    shown.emplace_back(text, type);
    return (type & MB_YESNO) != 0 ? answer : RESULT_OK;
  }
  std::vector<std::pair<std::string, unsigned>> shown;
  int answer = RESULT_YES;
};

// Records every error-detail dialog.
class RecordingErrorDetail : public IErrorDetail {
 public:
  void Show(const std::string& message, const std::string& detail) override { shown.emplace_back(message, detail); }
  std::vector<std::pair<std::string, std::string>> shown;
};

// Records what a busy window was told.
class RecordingBusy : public IBusyWindow {
 public:
  void SetMessage(const std::string& text) override { messages.push_back(text); }
  void SetProgress(int percent) override { progress.push_back(percent); }
  std::vector<std::string> messages;
  std::vector<int> progress;
};

void WriteBytes(const std::filesystem::path& path, std::string_view bytes);
std::string ReadBytes(const std::filesystem::path& path);

// UTF-8 text as a UTF-16 LE file image with byte-order mark.
std::string Utf16File(std::string_view utf8);

// Runs a command line, returns its exit status and standard output.
std::pair<int, std::string> RunCommand(const std::string& command);
// The same with standard error in place of standard output.
std::pair<int, std::string> RunCommandErrors(const std::string& command);

// Runs `body` in a child process and gives its result (0..255), or none when
// it has not finished within `limit` (the child is then killed): for calls
// that must not hang, such as an open of a named pipe.
std::optional<int> RunInChild(const std::function<int()>& body, std::chrono::milliseconds limit);

// Creates a named pipe; false when it cannot.
bool MakeFifo(const std::filesystem::path& path);

}  // namespace tolvane::test
