// The TCP connection under the mail client: connect by name or address (IPv4
// or IPv6), send, wait until data can be read, receive, close. An interface,
// so that tests can stand a scripted server on simulated time in for it.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace tolvane::net {

// Failure codes of the mail client, kept as its last error. They follow the
// socket error numbers of the platform the mail client was first written for,
// so that logs and support staff read the same numbers everywhere.
enum : int {
  SMTP_OK = 0,
  SMTP_ERROR_BAD_COMMAND = 22,        // a reply with another code while sending or quitting
  SMTP_ERROR_INVALID_FIELD = 87,      // an address, name, subject or title with a line break
  SMTP_ERROR_LOOKUP = 10022,          // the host name does not resolve
  SMTP_ERROR_REPLY_TOO_LONG = 10040,  // a reply beyond any sane length
  SMTP_ERROR_WRONG_REPLY = 10043,     // a reply with another code than expected
  SMTP_ERROR_SEND = 10053,            // the connection broke while sending
  SMTP_ERROR_CLOSED = 10054,          // the server closed the connection
  SMTP_ERROR_NOT_CONNECTED = 10057,   // no connection
  SMTP_ERROR_TIMED_OUT = 10060,       // no data within the time-out
  SMTP_ERROR_CONNECT = 10061,         // no address of the host accepted the connection
};

class ISmtpSocket {
 public:
  virtual ~ISmtpSocket() = default;
  // Connects to `host` (a name, a dotted IPv4 address or an IPv6 address) on
  // `port`, trying the host's addresses in the resolver's order. SMTP_OK,
  // SMTP_ERROR_LOOKUP or SMTP_ERROR_CONNECT.
  virtual int Connect(const std::string& host, int port) = 0;
  // Sends all of `bytes`; false when the connection broke.
  virtual bool Send(std::string_view bytes) = 0;
  // Waits at most `limit` until data (or the end of the stream) can be read:
  // 1 readable, 0 not within the limit, -1 failure. Returns as soon as data
  // is there.
  virtual int WaitReadable(std::chrono::milliseconds limit) = 0;
  // Receives at most `size` bytes: their number, 0 at the end of the stream,
  // -1 on failure.
  virtual long Receive(char* buffer, std::size_t size) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
};

// POSIX sockets: getaddrinfo, a connect with a time limit, poll.
class CSMTPSocket final : public ISmtpSocket {
 public:
  // A connection attempt to one address gives up after `connectLimit`.
  explicit CSMTPSocket(std::chrono::milliseconds connectLimit = std::chrono::seconds(15))
      : connectLimit_(connectLimit) {}
  ~CSMTPSocket() override;
  CSMTPSocket(const CSMTPSocket&) = delete;
  CSMTPSocket& operator=(const CSMTPSocket&) = delete;

  int Connect(const std::string& host, int port) override;
  bool Send(std::string_view bytes) override;
  int WaitReadable(std::chrono::milliseconds limit) override;
  long Receive(char* buffer, std::size_t size) override;
  void Close() override;
  bool IsOpen() const override { return fd_ >= 0; }

 private:
  std::chrono::milliseconds connectLimit_;
  int fd_ = -1;
};

}  // namespace tolvane::net
