// One HTTP session of the program on libcurl: blocking requests to one
// server ("host" or "host:port"), one easy handle so that the requests of a
// session reuse their connection, the request lines and header lines the
// maker's server expects, and time limits on every request: the connect, and
// a reply that stalls (no byte in either direction for a while).
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/Clock.h"

namespace tolvane::net {

struct HTTP_LIMITS {
  std::chrono::milliseconds connect{5000};
  std::chrono::milliseconds stall{10000};
};

enum class HttpFailure {
  None,
  Resolve,   // the server's name cannot be resolved
  Internet,  // any other error of the transfer: connect, time-out, closed
  TooLarge,  // the body is larger than the request's bound
  Refused,   // the body's receiver refused the data (a local error)
};

struct HTTP_REQUEST {
  std::string method = "GET";  // GET or POST (an empty POST)
  std::string path;            // the object path, sent as it stands
  bool http10 = true;          // "HTTP/1.0" on the request line
  std::string accept;          // Accept header from the accept types; empty: none
  bool noCache = false;        // always from the server, never from a cache
  bool keepAlive = false;      // ask the server to keep the connection open
  // Header lines "Name: value" added only when the request has no header
  // of that name yet.
  std::vector<std::string> addIfNew;
  long long maxBody = 0;  // 0: no bound
};

// Receives the reply's body as it arrives.
class IHttpBody {
 public:
  virtual ~IHttpBody() = default;
  // The status line and headers have arrived. `contentLength` is -1 when
  // the reply has none. False stops the transfer (no data is then passed).
  virtual bool Start(int status, long long contentLength) = 0;
  // A piece of the body; false stops the transfer (HttpFailure::Refused).
  virtual bool Data(const char* bytes, std::size_t size) = 0;
};

// Keeps the whole body in memory (for small bodies under maxBody).
class CHttpBodyText final : public IHttpBody {
 public:
  bool Start(int, long long) override { return true; }
  bool Data(const char* bytes, std::size_t size) override {
    text.append(bytes, size);
    return true;
  }
  std::string text;
};

struct HTTP_RESULT {
  HttpFailure failure = HttpFailure::None;
  std::string errorText;  // the library's text for the error
  int status = 0;         // 0 when no status line arrived
  long long contentLength = -1;
  long long received = 0;  // body bytes received
  bool Ok() const { return failure == HttpFailure::None; }
};

class CHttpSession {
 public:
  // `agent` is sent as the User-Agent header.
  CHttpSession(std::string agent, std::string server, IClock& clock, HTTP_LIMITS limits = {});
  ~CHttpSession();
  CHttpSession(const CHttpSession&) = delete;
  CHttpSession& operator=(const CHttpSession&) = delete;

  // Sends `request` and passes the reply to `body` (may be null: the body
  // is read and dropped). Reuses the session's connection when it is open.
  HTTP_RESULT Send(const HTTP_REQUEST& request, IHttpBody* body);

  const std::string& Agent() const { return agent_; }

  // The header lines a request carries besides Host (the test of the
  // add-if-new rule reads them).
  std::vector<std::string> HeaderLines(const HTTP_REQUEST& request) const;

 private:
  struct Impl;
  std::string agent_;
  std::string server_;
  IClock& clock_;
  HTTP_LIMITS limits_;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tolvane::net
