#include "support/TestSupport.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "common/Encoding.h"

namespace tolvane::test {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "tolvane-test-XXXXXX").string();
  if (::mkdtemp(tmpl.data()) == nullptr) {
    throw std::runtime_error("cannot create a temporary folder");
  }
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void WriteBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Utf16File(std::string_view utf8) { return std::string("\xFF\xFE", 2) + Utf8ToUtf16Le(utf8); }

PortableHome::PortableHome(const std::filesystem::path& protectedModels) {
  namespace fs = std::filesystem;
  fs::create_directories(dir_ / "Models");
  fs::create_directories(dir_ / "Logs");
  for (const auto& from : {fs::path(TOLVANE_SOURCE_DATA) / "Models", protectedModels}) {
    if (from.empty()) {
      continue;
    }
    for (const auto& e : fs::directory_iterator(from)) {
      fs::copy_file(e.path(), dir_ / "Models" / e.path().filename());
    }
  }
  // The shipped configuration files, as a portable tree has them.
  fs::create_directories(dir_ / "Configs");
  if (fs::is_directory(fs::path(TOLVANE_SOURCE_DATA) / "Configs")) {
    for (const auto& e : fs::directory_iterator(fs::path(TOLVANE_SOURCE_DATA) / "Configs")) {
      fs::copy_file(e.path(), dir_ / "Configs" / e.path().filename());
    }
  }
  fs::create_directories(dir_ / "Settings/Software/Kestrine/Tolvane/01");
}

std::pair<int, std::string> PortableHome::RunCli(const std::string& args,
                                                 const std::filesystem::path& deviceRoot) const {
  return RunCommand("TOLVANE_HOME='" + path().string() + "' TOLVANE_DEVICE_ROOT='" + deviceRoot.string() + "' '" +
                    TOLVANE_CLI_PATH + "' " + args + " 2>/dev/null");
}

std::pair<int, std::string> PortableHome::RunCliErrors(const std::string& args,
                                                       const std::filesystem::path& deviceRoot) const {
  return RunCommand("TOLVANE_HOME='" + path().string() + "' TOLVANE_DEVICE_ROOT='" + deviceRoot.string() + "' '" +
                    TOLVANE_CLI_PATH + "' " + args + " 2>&1 >/dev/null");
}

std::pair<int, std::string> RunCommandErrors(const std::string& command) {
  return RunCommand("(" + command + ") 2>&1 >/dev/null");
}

std::optional<int> RunInChild(const std::function<int()>& body, std::chrono::milliseconds limit) {
  const pid_t child = ::fork();
  if (child < 0) {
    return std::nullopt;
  }
  if (child == 0) {
    ::_exit(body() & 0xFF);
  }
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done == child) {
      return WIFEXITED(status) ? std::optional<int>(WEXITSTATUS(status)) : std::nullopt;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      return std::nullopt;
    }
    // Polls for a child that normally ends at once.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

bool MakeFifo(const std::filesystem::path& path) { return ::mkfifo(path.c_str(), 0600) == 0; }

std::pair<int, std::string> RunCommand(const std::string& command) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) {
    return {-1, {}};
  }
  std::string out;
  std::array<char, 4096> buf{};
  std::size_t n = 0;
  while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0) {
    out.append(buf.data(), n);
  }
  const int status = ::pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

}  // namespace tolvane::test
