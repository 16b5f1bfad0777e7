#include "net/SmtpSocket.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace tolvane::net {
namespace {

// Connects `fd` to `address` within `limit`; true when connected.
bool ConnectWithin(int fd, const sockaddr* address, socklen_t length, std::chrono::milliseconds limit) {
  const int flags = ::fcntl(fd, F_GETFL, 0);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
    return false;
  }
  int rc = ::connect(fd, address, length);
  if (rc != 0 && errno == EINPROGRESS) {
    pollfd p{fd, POLLOUT, 0};
    do {
      rc = ::poll(&p, 1, static_cast<int>(limit.count()));
    } while (rc < 0 && errno == EINTR);
    if (rc <= 0) {
      return false;
    }
    int error = 0;
    socklen_t size = sizeof(error);
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
      return false;
    }
    rc = 0;
  }
  // Blocking again: sends wait for room, receives are guarded by poll.
  return rc == 0 && ::fcntl(fd, F_SETFL, flags) == 0;
}

}  // namespace

CSMTPSocket::~CSMTPSocket() { Close(); }

int CSMTPSocket::Connect(const std::string& host, int port) {
  Close();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (host.empty() || port <= 0 || port > 65535 || ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 ||
      found == nullptr) {
    return SMTP_ERROR_LOOKUP;
  }
  const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> list(found, &::freeaddrinfo);
  for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
    const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) {
      continue;
    }
    if (ConnectWithin(fd, a->ai_addr, a->ai_addrlen, connectLimit_)) {
      // Commands and their replies alternate: a small send must not wait for
      // the acknowledgement of the one before it.
      const int on = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      fd_ = fd;
      return SMTP_OK;
    }
    ::close(fd);
  }
  return SMTP_ERROR_CONNECT;
}

bool CSMTPSocket::Send(std::string_view bytes) {
  while (fd_ >= 0 && !bytes.empty()) {
    // No SIGPIPE when the server has gone: the failure is the result.
    const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return fd_ >= 0;
}

int CSMTPSocket::WaitReadable(std::chrono::milliseconds limit) {
  if (fd_ < 0) {
    return -1;
  }
  pollfd p{fd_, POLLIN, 0};
  int rc = 0;
  do {
    rc = ::poll(&p, 1, static_cast<int>(std::max<long long>(0, limit.count())));
  } while (rc < 0 && errno == EINTR);
  if (rc < 0 || (rc > 0 && (p.revents & POLLNVAL) != 0)) {
    return -1;
  }
  // A hang-up or an error is read as the end of the stream or a failure by Receive.
  return rc > 0 ? 1 : 0;
}

long CSMTPSocket::Receive(char* buffer, std::size_t size) {
  if (fd_ < 0) {
    return -1;
  }
  ssize_t n = 0;
  do {
    n = ::recv(fd_, buffer, size, 0);
  } while (n < 0 && errno == EINTR);
  return static_cast<long>(n);
}

void CSMTPSocket::Close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

}  // namespace tolvane::net
