#include "net/HttpSession.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <mutex>

namespace tolvane::net {

namespace {

// curl_global_init is not thread-safe; the first session of the process does it.
void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string HeaderName(std::string_view line) {
  std::string name(line.substr(0, line.find(':')));
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
  return name;
}

struct Transfer {
  IHttpBody* body = nullptr;
  CURL* curl = nullptr;
  IClock* clock = nullptr;
  std::chrono::milliseconds stall{0};
  long long maxBody = 0;
  bool started = false;
  bool tooLarge = false;
  bool refused = false;
  bool stalled = false;
  int status = 0;
  long long contentLength = -1;
  long long received = 0;
  curl_off_t lastNow = -1;
  IClock::time_point lastActivity{};

  bool StartBody() {
    started = true;
    long code = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
    status = static_cast<int>(code);
    curl_off_t length = -1;
    if (curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK && length >= 0) {
      contentLength = static_cast<long long>(length);
    }
    if (body != nullptr && !body->Start(status, contentLength)) {
      refused = true;
      return false;
    }
    if (maxBody > 0 && contentLength > maxBody) {
      tooLarge = true;
      return false;
    }
    return true;
  }

  static std::size_t Write(char* data, std::size_t, std::size_t size, void* user) {
    auto* t = static_cast<Transfer*>(user);
    if (!t->started && !t->StartBody()) {
      return CURL_WRITEFUNC_ERROR;
    }
    if (t->maxBody > 0 && t->received + static_cast<long long>(size) > t->maxBody) {
      t->tooLarge = true;
      return CURL_WRITEFUNC_ERROR;
    }
    t->received += static_cast<long long>(size);
    if (t->body != nullptr && !t->body->Data(data, size)) {
      t->refused = true;
      return CURL_WRITEFUNC_ERROR;
    }
    return size;
  }

  // Called by the library at least once a second, and whenever bytes move.
  static int Progress(void* user, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t ulnow) {
    auto* t = static_cast<Transfer*>(user);
    const IClock::time_point now = t->clock->now();
    const curl_off_t moved = dlnow + ulnow;
    if (moved != t->lastNow) {
      t->lastNow = moved;
      t->lastActivity = now;
      return 0;
    }
    if (now - t->lastActivity >= t->stall) {
      t->stalled = true;
      return 1;
    }
    return 0;
  }

  // Header lines count as activity too: a server that sends headers
  // slowly is not stalled.
  static std::size_t Header(char*, std::size_t, std::size_t size, void* user) {
    auto* t = static_cast<Transfer*>(user);
    t->lastActivity = t->clock->now();
    return size;
  }
};

}  // namespace

struct CHttpSession::Impl {
  CURL* curl = nullptr;
};

CHttpSession::CHttpSession(std::string agent, std::string server, IClock& clock, HTTP_LIMITS limits)
    : agent_(std::move(agent)), server_(std::move(server)), clock_(clock), limits_(limits), impl_(new Impl) {
  GlobalInit();
  impl_->curl = curl_easy_init();
}

CHttpSession::~CHttpSession() {
  if (impl_->curl != nullptr) {
    curl_easy_cleanup(impl_->curl);
  }
}

std::vector<std::string> CHttpSession::HeaderLines(const HTTP_REQUEST& request) const {
  std::vector<std::string> lines;
  lines.push_back("User-Agent: " + agent_);
  if (!request.accept.empty()) {
    lines.push_back("Accept: " + request.accept);
  }
  for (const std::string& line : request.addIfNew) {
    const std::string name = HeaderName(line);
    const bool present =
        std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return HeaderName(l) == name; });
    if (!present) {
      lines.push_back(line);
    }
  }
  if (request.noCache) {
    lines.push_back("Pragma: no-cache");
    lines.push_back("Cache-Control: no-cache");
  }
  if (request.keepAlive) {
    lines.push_back("Connection: keep-alive");
  }
  return lines;
}

HTTP_RESULT CHttpSession::Send(const HTTP_REQUEST& request, IHttpBody* body) {
  HTTP_RESULT result;
  CURL* curl = impl_->curl;
  if (curl == nullptr) {
    result.failure = HttpFailure::Internet;
    result.errorText = curl_easy_strerror(CURLE_FAILED_INIT);
    return result;
  }
  // A reset keeps the handle's open connections for the next request.
  curl_easy_reset(curl);
  const std::string url = "http://" + server_ + request.path;
  char errorBuffer[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http");
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits_.connect.count()));
  curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, request.http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
  // Large pieces for large bodies: fewer calls per megabyte on a fast link.
  curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, request.maxBody > (1 << 20) ? 512L * 1024 : 16L * 1024);

  curl_slist* headers = nullptr;
  std::vector<std::string> lines = HeaderLines(request);
  if (request.accept.empty()) {
    lines.emplace_back("Accept:");  // no accept types: the library's default goes
  }
  if (request.method == "POST") {
    lines.emplace_back("Content-Type:");
    lines.emplace_back("Expect:");
  }
  for (const std::string& line : lines) {
    if (line.rfind("User-Agent: ", 0) == 0) {
      continue;  // given as the agent below
    }
    headers = curl_slist_append(headers, line.c_str());
  }
  curl_easy_setopt(curl, CURLOPT_USERAGENT, agent_.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  if (request.method == "POST") {
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, "");
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, 0L);
  } else {
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  }

  Transfer t;
  t.body = body;
  t.curl = curl;
  t.clock = &clock_;
  t.stall = limits_.stall;
  t.maxBody = request.maxBody;
  t.lastActivity = clock_.now();
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Transfer::Write);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &Transfer::Header);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &t);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &Transfer::Progress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &t);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);

  CURLcode code = curl_easy_perform(curl);
  if (code == CURLE_OK && !t.started) {
    // An empty body: the receiver still hears of the status.
    if (!t.StartBody()) {
      code = CURLE_WRITE_ERROR;
    }
  }
  curl_slist_free_all(headers);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);

  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  result.status = static_cast<int>(status);
  result.contentLength = t.contentLength;
  result.received = t.received;
  if (code == CURLE_OK) {
    return result;
  }
  if (t.tooLarge) {
    result.failure = HttpFailure::TooLarge;
    result.errorText = "The reply is larger than " + std::to_string(t.maxBody) + " bytes";
  } else if (t.refused) {
    result.failure = HttpFailure::Refused;
    result.errorText = curl_easy_strerror(code);
  } else if (t.stalled) {
    result.failure = HttpFailure::Internet;
    result.errorText = std::string(curl_easy_strerror(CURLE_OPERATION_TIMEDOUT)) + ": no data for " +
                       std::to_string(limits_.stall.count()) + " ms";
  } else {
    result.failure = code == CURLE_COULDNT_RESOLVE_HOST ? HttpFailure::Resolve : HttpFailure::Internet;
    result.errorText = errorBuffer[0] != '\0' ? std::string(errorBuffer) : std::string(curl_easy_strerror(code));
  }
  return result;
}

}  // namespace tolvane::net
