// The HTTP peer of the web session tests (tests/net/http_peer.py under
// Debian's /usr/bin/python3) in a child process on a free loopback port, its
// folder, and the requests it logged as it received them.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tolvane::net::test {

struct LOGGED_REQUEST {
  std::string line;                  // the request line as received
  std::vector<std::string> headers;  // "Name: value", in order
  int clientPort = 0;                // tells the connections apart
  bool HasHeader(const std::string& header) const;
};

class HttpPeer {
 public:
  // `path` is the peer script; empty: the one of this source tree.
  explicit HttpPeer(const std::filesystem::path& folder, const std::filesystem::path& script = {});
  ~HttpPeer();
  HttpPeer(const HttpPeer&) = delete;
  HttpPeer& operator=(const HttpPeer&) = delete;

  int Port() const { return port_; }
  // "127.0.0.1:<port>": the SERVER value that reaches the peer.
  std::string Server() const { return "127.0.0.1:" + std::to_string(port_); }

  void SetDirectory(const std::string& body) const;
  void SetBehaviour(const std::string& json) const;
  // Writes an installer of `size` bytes at files/<subdir>/<name>; its bytes
  // follow from the offset, so a test can check them.
  void AddInstaller(const std::string& subdir, const std::string& name, std::size_t size) const;
  static char InstallerByte(std::size_t offset) { return static_cast<char>((offset * 7 + 3) & 0xFF); }
  std::filesystem::path InstallerFile(const std::string& subdir, const std::string& name) const;

  std::vector<LOGGED_REQUEST> Requests() const;
  void ClearRequests() const;

 private:
  std::filesystem::path folder_;
  int pid_ = -1;
  int stdin_ = -1;
  int port_ = 0;
};

}  // namespace tolvane::net::test
