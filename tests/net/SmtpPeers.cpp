#include "net/SmtpPeers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

extern char** environ;

namespace tolvane::net::test {
namespace {

namespace fs = std::filesystem;

// Starts `args` with a pipe to its standard input and one from its standard
// output; -1 on failure.
int Spawn(std::vector<std::string> args, int& toChild, int& fromChild) {
  int in[2] = {-1, -1};
  int out[2] = {-1, -1};
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
    return -1;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  std::vector<char*> argv;
  for (auto& a : args) {
    argv.push_back(a.data());
  }
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
    pid = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  toChild = in[1];
  fromChild = out[0];
  return pid;
}

}  // namespace

AiosmtpdPeer::AiosmtpdPeer(const fs::path& folder, const std::string& refusedRecipient) : folder_(folder) {
  std::vector<std::string> args{"/usr/bin/python3", TOLVANE_SMTP_PEER, "serve", folder.string()};
  if (!refusedRecipient.empty()) {
    args.insert(args.end(), {"--refuse-rcpt", refusedRecipient});
  }
  int out = -1;
  pid_ = Spawn(args, stdin_, out);
  if (pid_ < 0) {
    return;
  }
  // The port comes on the first line once the server listens.
  std::string line;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < until) {
    pollfd p{out, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) {
      continue;
    }
    char buf[64];
    const ssize_t n = ::read(out, buf, sizeof buf);
    if (n <= 0) {
      break;
    }
    line.append(buf, static_cast<std::size_t>(n));
  }
  ::close(out);
  port_ = std::atoi(line.c_str());
}

AiosmtpdPeer::~AiosmtpdPeer() {
  if (stdin_ >= 0) {
    ::close(stdin_);  // the server ends when its input closes
  }
  if (pid_ > 0) {
    int status = 0;
    for (int i = 0; i < 200 && ::waitpid(pid_, &status, WNOHANG) == 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (i == 199) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
      }
    }
  }
}

fs::path AiosmtpdPeer::Mail(int n) const {
  const fs::path path = folder_ / (std::to_string(n) + ".eml");
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!fs::exists(path) && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return path;
}

bool ParseMail(const fs::path& mail, const fs::path& folder) {
  int in = -1;
  int out = -1;
  const int pid = Spawn({"/usr/bin/python3", TOLVANE_SMTP_PEER, "parse", mail.string(), folder.string()}, in, out);
  if (pid < 0) {
    return false;
  }
  ::close(in);
  ::close(out);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// --- the scripted socket on simulated time ------------------------------------

int CScriptedSocket::Connect(const std::string& h, int p) {
  host = h;
  port = p;
  if (connectResult != SMTP_OK) {
    return connectResult;
  }
  open_ = true;
  ScheduleNext();  // the greeting
  return SMTP_OK;
}

void CScriptedSocket::ScheduleNext() {
  if (replies_.empty()) {
    return;
  }
  const SCRIPTED_REPLY r = replies_.front();
  replies_.pop_front();
  auto at = clock_.now() + r.delay;
  for (const char c : r.bytes) {
    output_.push_back(PENDING{c, at});
    at += r.perByte;
  }
  closing_ = r.close;
}

bool CScriptedSocket::Send(std::string_view bytes) {
  if (!open_) {
    return false;
  }
  sent += bytes;
  command_ += bytes;
  const bool lineDone = command_.ends_with("\r\n");
  if (lineDone && (!data_ || command_.ends_with("\r\n.\r\n"))) {
    data_ = command_ == "DATA\r\n";
    command_.clear();
    ScheduleNext();
  }
  return true;
}

int CScriptedSocket::WaitReadable(std::chrono::milliseconds limit) {
  if (!open_) {
    return -1;
  }
  if (output_.empty()) {
    if (closing_) {
      return 1;  // the end of the stream is readable
    }
    clock_.sleep_for(limit);
    ++slicesWaited;
    return 0;
  }
  const auto next = output_.front().at;
  if (next <= clock_.now()) {
    return 1;
  }
  if (next <= clock_.now() + limit) {
    clock_.sleep_until(next);
    return 1;
  }
  clock_.sleep_for(limit);
  ++slicesWaited;
  return 0;
}

long CScriptedSocket::Receive(char* buffer, std::size_t size) {
  if (!open_) {
    return -1;
  }
  std::size_t n = 0;
  while (n < size && !output_.empty() && output_.front().at <= clock_.now()) {
    buffer[n++] = output_.front().byte;
    output_.pop_front();
  }
  return static_cast<long>(n);  // 0: the server closed the connection
}

// --- the scripted server on a real socket --------------------------------------

ScriptedTcpPeer::ScriptedTcpPeer(std::vector<STEP> steps, const std::string& address) {
  const bool v6 = address.find(':') != std::string::npos;
  listen_ = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_ < 0) {
    return;
  }
  sockaddr_storage storage{};
  socklen_t length = 0;
  if (v6) {
    auto* a = reinterpret_cast<sockaddr_in6*>(&storage);
    a->sin6_family = AF_INET6;
    ::inet_pton(AF_INET6, address.c_str(), &a->sin6_addr);
    length = sizeof(sockaddr_in6);
  } else {
    auto* a = reinterpret_cast<sockaddr_in*>(&storage);
    a->sin_family = AF_INET;
    ::inet_pton(AF_INET, address.c_str(), &a->sin_addr);
    length = sizeof(sockaddr_in);
  }
  if (::bind(listen_, reinterpret_cast<sockaddr*>(&storage), length) != 0 || ::listen(listen_, 1) != 0 ||
      ::getsockname(listen_, reinterpret_cast<sockaddr*>(&storage), &length) != 0) {
    return;
  }
  port_ = ntohs(v6 ? reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port
                   : reinterpret_cast<sockaddr_in*>(&storage)->sin_port);
  thread_ = std::thread([this, steps = std::move(steps)]() mutable { Run(std::move(steps)); });
}

ScriptedTcpPeer::~ScriptedTcpPeer() {
  if (listen_ >= 0) {
    ::shutdown(listen_, SHUT_RDWR);  // an accept that still waits ends
  }
  if (thread_.joinable()) {
    thread_.join();
  }
  if (listen_ >= 0) {
    ::close(listen_);
  }
}

void ScriptedTcpPeer::Run(std::vector<STEP> steps) {
  pollfd p{listen_, POLLIN, 0};
  if (::poll(&p, 1, 10000) <= 0 || (p.revents & POLLIN) == 0) {
    done_ = true;
    return;
  }
  const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) {
    done_ = true;
    return;
  }
  std::string buffer;
  // Reads until `until` is in the client's text; false when the client left.
  auto readUntil = [&](std::string_view until) {
    while (buffer.find(until) == std::string::npos) {
      pollfd q{fd, POLLIN, 0};
      if (::poll(&q, 1, 10000) <= 0) {
        return false;
      }
      char chunk[4096];
      const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
      if (n <= 0) {
        return false;
      }
      buffer.append(chunk, static_cast<std::size_t>(n));
      std::lock_guard lock(m_);
      received_.append(chunk, static_cast<std::size_t>(n));
    }
    buffer.erase(0, buffer.find(until) + until.size());
    return true;
  };
  for (const STEP& s : steps) {
    bool ok = true;
    switch (s.kind) {
      case STEP::Send:
        ok = ::send(fd, s.bytes.data(), s.bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(s.bytes.size());
        break;
      case STEP::ReadLine:
        ok = readUntil("\r\n");
        break;
      case STEP::ReadData:
        ok = readUntil("\r\n.\r\n");
        break;
      case STEP::Close:
        ok = false;
        break;
    }
    if (!ok) {
      break;
    }
  }
  ::close(fd);
  done_ = true;
}

std::string ScriptedTcpPeer::Received() {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done_ && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::lock_guard lock(m_);
  return received_;
}

}  // namespace tolvane::net::test
