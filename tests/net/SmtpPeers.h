// Mail servers for the tests of the mail client: aiosmtpd in a child process
// on the loopback interface, a scripted server on simulated time that stands
// in for the socket, and a scripted server on a real loopback socket for what
// aiosmtpd will not do (wrong greetings, refusals, a broken line).
#pragma once

#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/Clock.h"
#include "net/SmtpSocket.h"

namespace tolvane::net::test {

// aiosmtpd (tests/net/smtp_peer.py) saving every mail into `folder`.
class AiosmtpdPeer {
 public:
  // `refusedRecipient`: a recipient the server refuses with 550.
  explicit AiosmtpdPeer(const std::filesystem::path& folder, const std::string& refusedRecipient = {});
  ~AiosmtpdPeer();
  AiosmtpdPeer(const AiosmtpdPeer&) = delete;
  AiosmtpdPeer& operator=(const AiosmtpdPeer&) = delete;

  // 0 when the server did not start.
  int Port() const { return port_; }
  std::string Server() const { return "127.0.0.1:" + std::to_string(port_); }
  // The saved mail number `n` (1, 2, ...), waiting up to 5 s for it.
  std::filesystem::path Mail(int n) const;

 private:
  std::filesystem::path folder_;
  int pid_ = -1;
  int stdin_ = -1;
  int port_ = 0;
};

// Runs smtp_peer.py parse on `mail` into `folder`; true when it succeeded.
bool ParseMail(const std::filesystem::path& mail, const std::filesystem::path& folder);

// A server's answer to one command of the client (the first one is the
// greeting): its bytes, sent `delay` after the command, one byte every
// `perByte` (all at once when zero). `close` ends the connection after it.
struct SCRIPTED_REPLY {
  std::string bytes;
  std::chrono::milliseconds delay{0};
  std::chrono::milliseconds perByte{0};
  bool close = false;
};

// A scripted server on simulated time in place of the socket. Waiting moves
// the simulated clock on; nothing waits in real time.
class CScriptedSocket final : public ISmtpSocket {
 public:
  CScriptedSocket(SimulatedClock& clock, std::deque<SCRIPTED_REPLY> replies) : clock_(clock), replies_(replies) {}

  int Connect(const std::string& host, int port) override;
  bool Send(std::string_view bytes) override;
  int WaitReadable(std::chrono::milliseconds limit) override;
  long Receive(char* buffer, std::size_t size) override;
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }

  int connectResult = SMTP_OK;
  std::string sent;      // everything the client sent
  int slicesWaited = 0;  // waits that ended without data
  std::string host;
  int port = 0;

 private:
  struct PENDING {
    char byte;
    IClock::time_point at;
  };
  void ScheduleNext();

  SimulatedClock& clock_;
  std::deque<SCRIPTED_REPLY> replies_;
  std::deque<PENDING> output_;
  std::string command_;  // the client's text since the last reply
  bool data_ = false;    // inside DATA: the next reply waits for the final dot
  bool open_ = false;
  bool closing_ = false;  // the server closes once its output is read
};

// A scripted server on a real loopback socket: it accepts one connection and
// runs its steps on a thread of its own.
class ScriptedTcpPeer {
 public:
  struct STEP {
    enum Kind { Send, ReadLine, ReadData, Close } kind;
    std::string bytes{};  // Send: what to send
  };
  // Listens on `address` (127.0.0.1 or ::1); Port() is 0 when it could not.
  explicit ScriptedTcpPeer(std::vector<STEP> steps, const std::string& address = "127.0.0.1");
  ~ScriptedTcpPeer();
  ScriptedTcpPeer(const ScriptedTcpPeer&) = delete;
  ScriptedTcpPeer& operator=(const ScriptedTcpPeer&) = delete;

  int Port() const { return port_; }
  // What the client sent, once the script has ended (waits up to 10 s).
  std::string Received();

 private:
  void Run(std::vector<STEP> steps);

  int listen_ = -1;
  int port_ = 0;
  std::mutex m_;
  std::string received_;
  std::atomic<bool> done_{false};
  std::thread thread_;
};

}  // namespace tolvane::net::test
