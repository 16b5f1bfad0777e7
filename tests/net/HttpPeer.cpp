#include "HttpPeer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>

extern char** environ;

namespace tolvane::net::test {

namespace fs = std::filesystem;

bool LOGGED_REQUEST::HasHeader(const std::string& header) const {
  return std::find(headers.begin(), headers.end(), header) != headers.end();
}

HttpPeer::HttpPeer(const fs::path& folder, const fs::path& script) : folder_(folder) {
  fs::create_directories(folder_ / "files");
  std::string scriptPath = script.empty() ? std::string(TOLVANE_HTTP_PEER) : script.string();
  std::string python = "/usr/bin/python3";
  std::string folderArg = folder_.string();
  int in[2] = {-1, -1};
  int out[2] = {-1, -1};
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  char* argv[] = {python.data(), scriptPath.data(), folderArg.data(), nullptr};
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ) != 0) {
    pid = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  stdin_ = in[1];
  pid_ = pid;
  std::string line;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (pid_ > 0 && line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < until) {
    pollfd p{out[0], POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) {
      continue;
    }
    char buf[64];
    const ssize_t n = ::read(out[0], buf, sizeof buf);
    if (n <= 0) {
      break;
    }
    line.append(buf, static_cast<std::size_t>(n));
  }
  ::close(out[0]);
  port_ = std::atoi(line.c_str());
}

HttpPeer::~HttpPeer() {
  if (stdin_ >= 0) {
    ::close(stdin_);
  }
  if (pid_ > 0) {
    // The peer ends when its input closes; a stalled reply does not hold it.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > until) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        break;
      }
      ::usleep(5000);
    }
  }
}

void HttpPeer::SetDirectory(const std::string& body) const {
  std::ofstream(folder_ / "directory.body", std::ios::binary) << body;
}

void HttpPeer::SetBehaviour(const std::string& json) const {
  // Written beside and renamed, so the peer never reads half a file.
  const fs::path tmp = folder_ / "behaviour.json.tmp";
  std::ofstream(tmp, std::ios::binary) << json;
  fs::rename(tmp, folder_ / "behaviour.json");
}

fs::path HttpPeer::InstallerFile(const std::string& subdir, const std::string& name) const {
  return folder_ / "files" / subdir / name;
}

void HttpPeer::AddInstaller(const std::string& subdir, const std::string& name, std::size_t size) const {
  fs::create_directories(folder_ / "files" / subdir);
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = InstallerByte(i);
  }
  std::ofstream(InstallerFile(subdir, name), std::ios::binary) << bytes;
}

std::vector<LOGGED_REQUEST> HttpPeer::Requests() const {
  std::vector<LOGGED_REQUEST> requests;
  std::ifstream in(folder_ / "requests.log", std::ios::binary);
  std::string line;
  LOGGED_REQUEST current;
  while (std::getline(in, line)) {
    if (line.rfind("LINE ", 0) == 0) {
      current = LOGGED_REQUEST{};
      current.line = line.substr(5);
    } else if (line.rfind("FROM ", 0) == 0) {
      current.clientPort = std::atoi(line.c_str() + 5);
    } else if (line.rfind("H ", 0) == 0) {
      current.headers.push_back(line.substr(2));
    } else if (line == "END") {
      requests.push_back(current);
    }
  }
  return requests;
}

void HttpPeer::ClearRequests() const {
  std::error_code ec;
  fs::remove(folder_ / "requests.log", ec);
}

}  // namespace tolvane::net::test
