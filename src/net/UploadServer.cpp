#include "net/UploadServer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/CheckedFormat.h"
#include "net/UploadRecord.h"

namespace tolvane::net {

namespace {

constexpr const char* kDirectoryPath = "//swdirectory.lasso";
constexpr const char* kUploadPath = "//tamsel_config.lasso?";
constexpr const char* kUpdateTag = "CHECKSERVERFORUPDATES";

// The directory's reply: kept only with the status 200.
class DirectoryBody final : public IHttpBody {
 public:
  bool Start(int status, long long) override { return status == 200; }
  bool Data(const char* bytes, std::size_t size) override {
    text.append(bytes, size);
    return true;
  }
  std::string text;
};

// The installer's reply: streamed into a temporary file beside the target,
// which gets the target's name only when the body is complete.
class InstallerBody final : public IHttpBody {
 public:
  InstallerBody(std::filesystem::path target, IBusyWindow* progress) : target_(std::move(target)), progress_(progress) {
    temporary_ = target_.parent_path() / ("." + target_.filename().string() + ".part");
  }
  ~InstallerBody() override { Discard(); }
  InstallerBody(const InstallerBody&) = delete;
  InstallerBody& operator=(const InstallerBody&) = delete;

  bool Start(int status, long long contentLength) override {
    status_ = status;
    if (status != 200) {
      return false;
    }
    total_ = contentLength;
    std::error_code ec;
    std::filesystem::create_directories(target_.parent_path(), ec);
    // O_NOFOLLOW: a link planted under the temporary name is not followed.
    const int fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
      createFailed_ = true;
      return false;
    }
    file_.Reset(fd);
    return true;
  }

  bool Data(const char* bytes, std::size_t size) override {
    if (!WriteAllBytes(file_.Get(), std::string_view(bytes, size))) {
      writeFailed_ = true;
      return false;
    }
    received_ += static_cast<long long>(size);
    if (progress_ != nullptr && total_ > 0) {
      const int percent = static_cast<int>(static_cast<double>(received_) * 100.0 / static_cast<double>(total_));
      if (percent != shown_) {
        shown_ = percent;
        progress_->SetProgress(percent);
      }
    }
    return true;
  }

  // The body is complete: the file gets its name.
  bool Finish() {
    if (!file_.IsOpen()) {
      return false;
    }
    // Not flushed to the disk: an installer cut short by a crash is fetched
    // again by the next check; the rename only marks it complete.
    const int fd = file_.Release();
    if (::close(fd) != 0) {
      return false;
    }
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
      return false;
    }
    done_ = true;
    return true;
  }

  void Discard() {
    if (done_) {
      return;
    }
    file_.Reset();
    std::error_code ec;
    std::filesystem::remove(temporary_, ec);
  }

  int Status() const { return status_; }
  bool CreateFailed() const { return createFailed_; }
  bool WriteFailed() const { return writeFailed_; }
  long long Received() const { return received_; }

 private:
  std::filesystem::path target_;
  std::filesystem::path temporary_;
  IBusyWindow* progress_;
  CFileHandle file_;
  int status_ = 0;
  long long total_ = -1;
  long long received_ = 0;
  int shown_ = 0;
  bool createFailed_ = false;
  bool writeFailed_ = false;
  bool done_ = false;
};

std::string Truncated(std::string text, std::size_t max) {
  if (text.size() > max) {
    text.resize(max);
  }
  return text;
}

}  // namespace

std::vector<std::string> CallHeaderLines() {
  return {"Accept: text/*", "User-Agent: HttpCall", "Accept-Language: en-us"};
}

CUploadServer::CUploadServer(std::string agent, UPLOAD_CONTEXT context) : agent_(std::move(agent)), ctx_(context) {}

std::string CUploadServer::Text(const char* key) const { return ctx_.language.Text(key, ctx_.settings.languageNumber); }

void CUploadServer::Log(const std::string& text) {
  if (ctx_.log != nullptr) {
    ctx_.log->Write(kUpdateTag, "%s", text);
  }
}

std::filesystem::path CUploadServer::DownloadPath(const std::string& fileName) const {
  return ctx_.folders.programs / fileName;
}

std::filesystem::path CUploadServer::PendingFile() const {
  return PendingFilePath(ctx_.folders.logs, ctx_.program.corporateId);
}

bool CUploadServer::CheckDirectory(const std::string& pattern, int major, int minor, int& outcome, int& newMajor,
                                   int& newMinor, std::string& fileName) {
  CHttpSession session(agent_, ctx_.program.server, ctx_.clock, ctx_.limits);
  HTTP_REQUEST request;
  request.path = kDirectoryPath;
  request.noCache = true;
  request.addIfNew = CallHeaderLines();
  request.maxBody = static_cast<long long>(kMaxDirectoryBytes);
  DirectoryBody body;
  const HTTP_RESULT reply = session.Send(request, &body);
  if (reply.status != 0 && reply.status != 200) {
    Error(Format(Text("ERROR_MESSAGE12"), reply.status));
    return true;
  }
  switch (reply.failure) {
    case HttpFailure::None:
      break;
    case HttpFailure::Resolve:
      return false;
    case HttpFailure::Internet:
      Error(Format(Text("ERROR_MESSAGE13"), Truncated(reply.errorText, 1024)));
      return true;
    case HttpFailure::TooLarge:
    case HttpFailure::Refused:
      return false;
  }
  const DIRECTORY_RESULT found = ScanDirectory(DecodeDirectoryBody(body.text), pattern, major, minor);
  outcome = found.outcome;
  newMajor = found.newMajor;
  newMinor = found.newMinor;
  fileName = found.fileName;
  return false;
}

bool CUploadServer::DownloadProgram(const std::string& fileName) {
  if (!IsSafeInstallerName(fileName)) {
    Error(Format(Text("UPLOAD_MESSAGE2"), Truncated(fileName, 300)));
    return true;
  }
  std::string escaped;
  if (!EscapeValue(fileName, false, escaped)) {
    Error(Format(Text("UPLOAD_MESSAGE2"), fileName));
    return true;
  }
  const std::filesystem::path target = DownloadPath(fileName);
  CHttpSession session(agent_, ctx_.program.server, ctx_.clock, ctx_.limits);
  HTTP_REQUEST request;
  request.path = "/" + ctx_.program.subDir + "/" + escaped;
  request.accept = "*/*";
  request.noCache = true;
  request.maxBody = kMaxInstallerBytes;
  if (progress_ != nullptr) {
    progress_->SetMessage(Format(Text("STATUS_MESSAGE50"), ctx_.program.corporateId));
    progress_->SetProgress(0);
  }
  InstallerBody body(target, progress_);
  const HTTP_RESULT reply = session.Send(request, &body);
  if (reply.status != 0 && reply.status != 200) {
    Error(Format(Text("ERROR_MESSAGE113"), reply.status));
    return true;
  }
  if (body.CreateFailed()) {
    Error(Text("ERROR_MESSAGE114"));
    return true;
  }
  switch (reply.failure) {
    case HttpFailure::None:
      break;
    case HttpFailure::Resolve:
    case HttpFailure::Internet:
      Error(Format(Text("ERROR_MESSAGE109"), Truncated(reply.errorText, 1024)));
      return true;
    case HttpFailure::TooLarge:
      Error(Format(Text("UPLOAD_MESSAGE3"), static_cast<long long>(kMaxInstallerBytes / (1024 * 1024))));
      return true;
    case HttpFailure::Refused:
      Error(body.WriteFailed() ? Text("ERROR_MESSAGE114") : std::string("No internet access available."));
      return true;
  }
  // A body that ended short of its length is no installer.
  if (reply.contentLength >= 0 && body.Received() != reply.contentLength) {
    Error(Format(Text("ERROR_MESSAGE109"), "The download ended short of its length"));
    return true;
  }
  if (!body.Finish()) {
    Error(Text("ERROR_MESSAGE114"));
    return true;
  }
  if (progress_ != nullptr) {
    progress_->SetMessage("Download finished");
    progress_->SetProgress(100);
  }
  // Older copies of the installer go.
  std::error_code ec;
  for (std::filesystem::directory_iterator it(ctx_.folders.programs, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.' || !IsOlderCopy(name, fileName)) {
      continue;
    }
    std::error_code ignored;
    if (it->is_regular_file(ignored)) {
      std::filesystem::remove(it->path(), ignored);
    }
  }
  return false;
}

STARTUP_CHECK CUploadServer::CheckServerForUpdates() {
  STARTUP_CHECK result;
  const std::vector<int> running = ReadVersionNumbers(ctx_.settings.version, 4);
  const std::vector<int> declined = ReadVersionNumbers(ctx_.settings.dbVersion, 2);
  int outcome = 0;
  int newMajor = 0;
  int newMinor = 0;
  std::string fileName;
  if (CheckDirectory(InstallerPattern(ctx_.program.installerId), running[0], running[1], outcome, newMajor, newMinor,
                     fileName)) {
    Error(Text("ERROR_MESSAGE11"));
    result.result = 1;
    return result;
  }
  bool declinedNow = false;
  const bool offered = !(newMajor < declined[0] || (newMajor == declined[0] && declined[1] >= newMinor));
  if (offered) {
    const std::string& id = ctx_.program.programId;
    int answer = RESULT_YES;
    if (outcome == UPDATE_NOTHING_NEWER) {
      ctx_.messages.Show(Format(Text("STATUS_MESSAGE1"), id, running[0], running[1], running[2], running[3]), MB_INFO);
      answer = RESULT_NO;
    } else if (outcome == UPDATE_NEWER_MINOR) {
      answer = ctx_.messages.Show(Format(Text("STATUS_MESSAGE2"), id, newMajor, newMinor), MB_YESNO);
      declinedNow = answer != RESULT_YES;
    } else {
      answer = ctx_.messages.Show(Format(Text("STATUS_MESSAGE3"), id, newMajor, newMinor, id, ctx_.program.corporateId),
                                  MB_YESNO);
      declinedNow = answer != RESULT_YES;
    }
    if (outcome != UPDATE_NOTHING_NEWER && answer == RESULT_YES) {
      const std::string busyText = Format(Text("STATUS_MESSAGE4"), ctx_.program.corporateId);
      IBusyWindow* window = ctx_.busy != nullptr ? &ctx_.busy->OpenBusy() : nullptr;
      if (window != nullptr) {
        window->SetProgress(0);
        window->SetMessage(busyText);
      }
      Log(busyText);
      SetProgressWindow(window);
      const bool failed = DownloadProgram(fileName);
      SetProgressWindow(nullptr);
      if (failed) {
        Error(Text("ERROR_MESSAGE18"));
        Log("Download failed");
        if (ctx_.busy != nullptr) {
          ctx_.busy->CloseBusy();
        }
        result.result = 1;
        return result;
      }
      Log(Format("Download success - %s version %d.%d", id, newMajor, newMinor));
      if (ctx_.busy != nullptr) {
        ctx_.busy->CloseBusy();
      }
      if (ctx_.messages.Show(Text("STATUS_MESSAGE5"), MB_YESNO) == RESULT_YES) {
        const std::filesystem::path installer = DownloadPath(fileName);
        const bool started = ctx_.opener != nullptr && ctx_.opener->Open(installer);
        if (started) {
          Log(Format("Install success - %s version %d.%d", id, newMajor, newMinor));
        } else {
          ctx_.errors.Show(Text("ERROR_MESSAGE19"), Format(Text("ERROR_MESSAGE20"), installer.string()));
          Log(Format("Install failed - %s version %d.%d", id, newMajor, newMinor));
        }
        result.closeProgram = true;
      }
    }
  }
  if (declinedNow) {
    const std::string version = Format("%d.%d", newMajor, newMinor);
    ctx_.settings.dbVersion = version;
    ctx_.store.WriteString("DBVERSION", version);
  }
  return result;
}

bool CUploadServer::OnCheckForUpdates() {
  const std::vector<int> running = ReadVersionNumbers(ctx_.settings.version, 4);
  int outcome = 0;
  int newMajor = 0;
  int newMinor = 0;
  std::string fileName;
  if (CheckDirectory(InstallerPattern(ctx_.program.installerId), running[0], running[1], outcome, newMajor, newMinor,
                     fileName)) {
    Error(Text("ERROR_MESSAGE107"));
    return false;
  }
  const std::string& name = ctx_.program.programName;
  if (outcome == UPDATE_NOTHING_NEWER) {
    ctx_.messages.Show(Format(Text("STATUS_MESSAGE46"), name, running[0], running[1], running[2], running[3]), MB_INFO);
    return false;
  }
  const std::string question =
      outcome == UPDATE_NEWER_MINOR
          ? Format(Text("STATUS_MESSAGE47"), name, newMajor, newMinor)
          : Format(Text("STATUS_MESSAGE48"), name, newMajor, newMinor, name, ctx_.program.corporateId);
  if (ctx_.messages.Show(question, MB_YESNO) != RESULT_YES) {
    return false;
  }
  IBusyWindow* window = ctx_.busy != nullptr ? &ctx_.busy->OpenBusy() : nullptr;
  if (window != nullptr) {
    window->SetProgress(0);
    window->SetMessage(Format(Text("STATUS_MESSAGE49"), ctx_.program.corporateId));
  }
  SetProgressWindow(window);
  const bool failed = DownloadProgram(fileName);
  SetProgressWindow(nullptr);
  if (failed) {
    Error("Download failed.");
    if (ctx_.busy != nullptr) {
      ctx_.busy->CloseBusy();
    }
    return false;
  }
  if (ctx_.busy != nullptr) {
    ctx_.busy->CloseBusy();
  }
  if (ctx_.messages.Show("In order to proceed with the installation,\nthis program must be closed.  Do you\nwish to "
                         "proceed?",
                         MB_YESNO) != RESULT_YES) {
    return false;
  }
  const std::filesystem::path installer = DownloadPath(fileName);
  if (ctx_.opener != nullptr && ctx_.opener->Open(installer)) {
    return true;
  }
  ctx_.errors.Show(Text("ERROR_MESSAGE73"), Format(Text("ERROR_MESSAGE74"), installer.string()));
  return false;
}

bool CUploadServer::ReadFlagOrSay(const char* key, bool& value) {
  int code = 0;
  if (ctx_.store.ReadBool(key, value, &code)) {
    Error(Format(Text("ERROR_MESSAGE107"), code));
    return true;
  }
  return false;
}

bool CUploadServer::QueueRecord(const CONFIG_RECORD& record, const MODEL_DEFINITION& model) {
  bool optOut = false;
  if (ReadFlagOrSay("OPTOUT", optOut)) {
    return true;
  }
  if (optOut) {
    return false;
  }
  const UPLOAD_RECORD built = BuildUploadRecord(record, model);
  if (!built.badField.empty()) {
    std::string key = built.badField;
    key.erase(0, key.find_first_not_of('&'));
    if (!key.empty() && key.back() == '=') {
      key.pop_back();
    }
    Error(Format(Text("UPLOAD_MESSAGE1"), key, static_cast<long long>(kMaxEscapedValue)));
    return true;
  }
  CPendingUploads queue(PendingFile());
  const CPendingUploads::CLock lock = queue.Lock();
  // The flag goes up before the record is written, so a record in the file
  // never waits with the flag down, whenever the program is stopped.
  bool pending = false;
  if (ReadFlagOrSay("PENDING", pending)) {
    return true;
  }
  if (!pending && ctx_.store.WriteBool("PENDING", true)) {
    Error(Text("ERROR_MESSAGE112"));
    return true;
  }
  int error = 0;
  switch (queue.Append(built.line, error)) {
    case CPendingUploads::AppendResult::Ok:
      break;
    case CPendingUploads::AppendResult::OpenFailed:
    case CPendingUploads::AppendResult::WriteFailed:
      Error(Format(Text("ERROR_MESSAGE110"), Truncated(std::strerror(error), 256)));
      return true;
    case CPendingUploads::AppendResult::CloseFailed:
      Error(Format(Text("ERROR_MESSAGE111"), Truncated(std::strerror(error), 256)));
      break;
  }
  if (ctx_.store.WriteBool("PENDING", true)) {
    Error(Text("ERROR_MESSAGE112"));
    return true;
  }
  ctx_.settings.pending = true;
  return false;
}

bool CUploadServer::UploadPending(UPLOAD_REPORT* report) {
  UPLOAD_REPORT local;
  UPLOAD_REPORT& r = report != nullptr ? *report : local;
  bool optOut = false;
  int code = 0;
  if (ReadFlagOrSay("OPTOUT", optOut)) {
    return true;
  }
  if (optOut) {
    return false;
  }
  CPendingUploads queue(PendingFile());
  const CPendingUploads::CLock lock = queue.Lock();
  bool pending = false;
  if (ReadFlagOrSay("PENDING", pending)) {
    return true;
  }
  if (!pending) {
    return false;
  }
  // What an earlier run had sent completely and set aside.
  queue.RemoveSetAside();
  std::vector<std::string> lines;
  if (!queue.Exists() || queue.Read(lines) != ReadResult::Ok) {
    return true;
  }

  CHttpSession session(agent_, ctx_.program.server, ctx_.clock, ctx_.limits);
  std::vector<std::string> kept;
  bool failed = false;
  std::size_t next = 0;
  for (; next < lines.size(); ++next) {
    const std::string& line = lines[next];
    if (!IsSendableLine(line)) {
      kept.push_back(line);  // not ours to send; it is not dropped either
      continue;
    }
    HTTP_REQUEST request;
    request.method = "POST";
    request.path = kUploadPath + line;
    request.addIfNew = CallHeaderLines();
    request.keepAlive = true;
    request.maxBody = 64 * 1024;
    const HTTP_RESULT reply = session.Send(request, nullptr);
    if (reply.failure == HttpFailure::Resolve || reply.failure == HttpFailure::Internet) {
      r.internetError = reply.errorText;
      Error(Format(Text("ERROR_MESSAGE109"), Truncated(reply.errorText, 1024)));
      failed = true;
      break;
    }
    ++r.requests;
    const bool delivered = reply.status >= 200 && reply.status < 300;
    if (line.empty()) {
      continue;
    }
    if (delivered) {
      ++r.recordsSent;
    } else {
      r.refusedStatus.push_back(reply.status);
      kept.push_back(line);
    }
  }
  for (; next < lines.size(); ++next) {
    if (!lines[next].empty()) {
      kept.push_back(lines[next]);
    }
  }
  r.recordsKept = static_cast<int>(kept.size());
  if (!kept.empty()) {
    // Only the records the server has not taken stay queued.
    if (r.recordsSent > 0) {
      queue.Replace(kept);
    }
    return failed;
  }
  // Everything was delivered: the queue is set aside before the flag goes
  // down, so the flag is never down with records in the queue.
  if (!queue.SetAside()) {
    return failed;
  }
  if (ctx_.store.WriteBool("PENDING", false, &code)) {
    queue.Restore();
    Error(Format(Text("ERROR_MESSAGE108"), code));
    return true;
  }
  ctx_.settings.pending = false;
  queue.RemoveSetAside();
  return failed;
}

void CUploadServer::OnOptOutClicked(bool& checked) {
  if (!checked) {
    if (ctx_.messages.Show(Format(Text("ERROR_MESSAGE106"), ctx_.program.programId, ctx_.program.corporateId),
                           MB_YESNO) == RESULT_YES) {
      checked = true;
    }
  }
  ctx_.settings.optOut = !checked;
  ctx_.store.WriteBool("OPTOUT", !checked);
}

std::string CUploadServer::ContextHelpTopic() const {
  return (ctx_.folders.help / ctx_.program.mainHelp).string() + "::/UPDATE_PROGRAM.htm";
}

}  // namespace tolvane::net
