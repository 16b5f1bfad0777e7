// tolvane-sim as a child process, on a pseudo-terminal below a temporary
// device root: for the end-to-end tests and the benchmarks.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace tolvane::link::sim {

class SimProcess {
 public:
  // Starts the program `sim` with `extra` options and waits up to 5 s for
  // its adapter to appear.
  SimProcess(const std::filesystem::path& sim, std::vector<std::string> extra) {
    namespace fs = std::filesystem;
    std::string rootText = (fs::temp_directory_path() / "tolvane-bench-XXXXXX").string();
    if (::mkdtemp(rootText.data()) == nullptr) {
      return;
    }
    root_ = rootText;
    std::vector<std::string> args{sim.string(), "--device-root", root_.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (auto& a : args) {
      argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (pid_ > 0 && !fs::is_symlink(node()) && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  ~SimProcess() {
    Stop();
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  bool Running() const { return pid_ > 0 && std::filesystem::is_symlink(node()); }
  const std::filesystem::path& root() const { return root_; }
  // The device node of the first simulated adapter.
  std::filesystem::path node() const { return root_ / "dev/ttySIM0"; }

  // Ends the program (SIGTERM); returns its exit status, -1 when it did not run or was killed.
  int Stop() {
    if (pid_ <= 0) {
      return -1;
    }
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  std::filesystem::path root_;
  pid_t pid_ = -1;
};

// tolvane-sim as the benchmarks find it: named by TOLVANE_SIM, or built beside
// them (<build>/bench/x -> <build>/src/app/sim/tolvane-sim).
inline std::filesystem::path SimProgramBeside(const char* argv0) {
  if (const char* named = std::getenv("TOLVANE_SIM")) {
    return named;
  }
  return std::filesystem::absolute(argv0).parent_path().parent_path() / "src/app/sim/tolvane-sim";
}

}  // namespace tolvane::link::sim
