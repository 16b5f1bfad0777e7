// The web session against the tests' HTTP peer: the directory request and
// its failures, the download into the Programs folder, the start-up check,
// the updates page's button, and the upload queue. Request lines and header
// blocks are checked as the peer received them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>

#include "HttpPeer.h"
#include "net/UploadServer.h"
#include "shell/UserRegistry.h"
#include "support/TestSupport.h"

namespace tolvane::net {
namespace {

namespace fs = std::filesystem;
using test::HttpPeer;
using tolvane::test::ReadBytes;
using tolvane::test::TempDir;

const CLanguageFile& Language() {
  static const CLanguageFile language = [] {
    CLanguageFile file(fs::path(TOLVANE_SOURCE_DATA) / "Models", nullptr);
    EXPECT_EQ(file.Load("Tolvane_Language.txt"), 0);
    return file;
  }();
  return language;
}

std::string Text(const char* key) { return Language().Text(key, 0); }

class RecordingOpener final : public IDocumentOpener {
 public:
  bool Open(const fs::path& file) override {
    opened.push_back(file);
    return result;
  }
  std::vector<fs::path> opened;
  bool result = true;
};

class RecordingBusyHost final : public IBusyHost {
 public:
  IBusyWindow& OpenBusy() override {
    ++opened;
    return window;
  }
  void CloseBusy() override { ++closed; }
  tolvane::test::RecordingBusy window;
  int opened = 0;
  int closed = 0;
};

// A clock that moves a whole second on at every look, so that the stall
// limits are reached after a few looks instead of seconds of waiting.
class SteppingClock final : public IClock {
 public:
  time_point now() const override { return start_ + std::chrono::seconds(++looks_); }
  void sleep_until(time_point) override {}
  bool wait_until(std::unique_lock<std::mutex>&, std::condition_variable&, time_point,
                  const std::function<bool()>& ready) override {
    return ready();
  }

 private:
  time_point start_ = std::chrono::steady_clock::now();
  mutable std::atomic<long long> looks_{0};
};

class WebSession : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GT(peer_.Port(), 0) << "the HTTP peer did not start";
    ASSERT_TRUE(registry_.CreateKey({"Software", corporate_, programName_, "01"}));
    program_.programId = "Tolvane";
    program_.programName = programName_;
    program_.installerId = "TOL";
    program_.corporateId = corporate_;
    program_.mainHelp = "Tolvane.chm";
    program_.server = peer_.Server();
    program_.subDir = "downloads";
    folders_.programs = home_ / "Programs";
    folders_.logs = home_ / "Logs";
    folders_.help = home_ / "Help";
    fs::create_directories(folders_.programs);
    fs::create_directories(folders_.logs);
    ASSERT_TRUE(log_.Open());
    settings_.version = "5.20.1.3";
    settings_.dbVersion = "5.0.0";
    // The values a first start writes.
    int code = 0;
    ASSERT_FALSE(store_.WriteBool("OPTOUT", false, &code)) << code;
    ASSERT_FALSE(store_.WriteBool("PENDING", false, &code)) << code;
    ASSERT_FALSE(store_.WriteString("DBVERSION", "5.0.0", &code)) << code;
  }

  UPLOAD_CONTEXT Context() {
    UPLOAD_CONTEXT c{program_, folders_, Language(), settings_, store_, messages_, errors_, clock_};
    c.log = &log_;
    c.opener = &opener_;
    c.busy = &busy_;
    c.limits = limits_;
    return c;
  }
  CUploadServer Session(const char* agent = kAgentApplication) { return CUploadServer(agent, Context()); }

  bool StoredBool(const char* name) {
    bool v = false;
    int code = 0;
    EXPECT_FALSE(store_.ReadBool(name, v, &code));
    return v;
  }
  std::string LogText() { return ReadBytes(folders_.logs / "logfile.txt"); }
  std::vector<std::string> QueueLines() {
    std::vector<std::string> lines;
    CPendingUploads(PendingFilePath(folders_.logs, corporate_)).Read(lines);
    return lines;
  }

  TempDir home_;
  TempDir peerFolder_;
  HttpPeer peer_{peerFolder_.path()};
  std::string corporate_ = "Kestrine";
  std::string programName_ = "Tolvane Configurator";
  CUserRegistry registry_{home_ / "Settings"};
  APP_SETTINGS settings_;
  CSettingsStore store_{registry_, corporate_,       programName_,
                        settings_, home_ / "Models", [](const fs::path&, APP_SETTINGS&) { return false; }};
  PROGRAM_INFO program_;
  FOLDERS folders_;
  tolvane::test::RecordingMessages messages_;
  tolvane::test::RecordingErrorDetail errors_;
  RealClock clock_;
  CLogFile log_{home_ / "Logs", [] {
                  std::tm t{};
                  t.tm_year = 126;
                  t.tm_mday = 1;
                  return t;
                }};
  RecordingOpener opener_;
  RecordingBusyHost busy_;
  HTTP_LIMITS limits_{std::chrono::milliseconds(2000), std::chrono::milliseconds(2000)};
};

// ---- the directory -------------------------------------------------------

TEST_F(WebSession, DirectoryRequestLineHeadersAndTheNewestInstaller) {
  peer_.SetDirectory("TOLver5p23.deb%0DTOLver6p1.deb%0DOTHERver9p9.deb%0D");
  auto session = Session(kAgentUpdatesPage);
  int outcome = 0, major = 0, minor = 0;
  std::string file;
  EXPECT_FALSE(session.CheckDirectory("TOL*.deb", 5, 20, outcome, major, minor, file));
  EXPECT_EQ(outcome, UPDATE_NEWER_MAJOR);
  EXPECT_EQ(major, 6);
  EXPECT_EQ(minor, 1);
  EXPECT_EQ(file, "TOLver6p1.deb");
  const auto requests = peer_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].line, "GET //swdirectory.lasso HTTP/1.0");
  // The agent is the User-Agent; the three call headers add only what is new.
  EXPECT_TRUE(requests[0].HasHeader("User-Agent: CheckForUpdates"));
  EXPECT_FALSE(requests[0].HasHeader("User-Agent: HttpCall"));
  EXPECT_TRUE(requests[0].HasHeader("Accept: text/*"));
  EXPECT_TRUE(requests[0].HasHeader("Accept-Language: en-us"));
  EXPECT_TRUE(requests[0].HasHeader("Pragma: no-cache"));
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(WebSession, DirectoryStatusErrorsAndOversizedBodies) {
  auto session = Session();
  for (const int status : {301, 404, 500}) {
    messages_.shown.clear();
    peer_.SetBehaviour("{\"status\": " + std::to_string(status) + "}");
    int outcome = 7, major = 7, minor = 7;
    std::string file = "untouched";
    EXPECT_TRUE(session.CheckDirectory("TOL*.deb", 5, 20, outcome, major, minor, file));
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].first, Format(Text("ERROR_MESSAGE12"), status));
    EXPECT_EQ(messages_.shown[0].second, MB_ERROR);
    EXPECT_EQ(outcome, 7);
  }
  // 2 MiB of body: refused before it is kept, outputs untouched, nothing shown.
  messages_.shown.clear();
  peer_.SetBehaviour("{\"oversize\": 2097152}");
  int outcome = 7, major = 7, minor = 7;
  std::string file = "untouched";
  EXPECT_FALSE(session.CheckDirectory("TOL*.deb", 5, 20, outcome, major, minor, file));
  EXPECT_EQ(outcome, 7);
  EXPECT_EQ(file, "untouched");
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(WebSession, BadDirectoryBodiesYieldNothingNewer) {
  const std::string bodies[] = {
      "TOLver6p1.deb TOLver7p1.deb",                       // no %0D: one line, "ver" twice
      "TOLverver9p1.deb%0D",                               // "ver" twice in a line
      "ver9p9TOL.deb%0D",                                  // begins with "ver"
      std::string(10 * 1024 * 1024, 'x'),                  // 10 MiB of one line (over the bound)
      std::string("\x00\xff\x80TOLver\x01p\xfe.deb", 16),  // binary bytes
      "",                                                  // empty
  };
  auto session = Session();
  for (const std::string& body : bodies) {
    peer_.SetDirectory(body);
    int outcome = 0, major = 5, minor = 20;
    std::string file;
    EXPECT_FALSE(session.CheckDirectory("TOL*.deb", 5, 20, outcome, major, minor, file)) << body.substr(0, 40);
    EXPECT_EQ(outcome, UPDATE_NOTHING_NEWER) << body.substr(0, 40);
    EXPECT_TRUE(file.empty());
  }
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(WebSession, NetworkFailuresOfTheDirectory) {
  // A name that cannot be resolved: success, nothing shown, outputs untouched.
  program_.server = "no-such-host.invalid";
  int outcome = 0, major = 0, minor = 0;
  std::string file;
  EXPECT_FALSE(Session().CheckDirectory("TOL*.deb", 5, 20, outcome, major, minor, file));
  EXPECT_TRUE(messages_.shown.empty());
  // Nobody listening: an internet error with the library's text.
  program_.server = "127.0.0.1:1";
  EXPECT_TRUE(Session().CheckDirectory("TOL*.deb", 5, 20, outcome, major, minor, file));
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].first.rfind("Cannot reach the update server:\n", 0), 0u);
}

TEST_F(WebSession, AServerThatAcceptsAndNeverAnswersEndsAsAnInternetError) {
  peer_.SetBehaviour("{\"stall_before_reply\": true}");
  SteppingClock stepping;
  UPLOAD_CONTEXT c = Context();
  c.limits = HTTP_LIMITS{};  // the real limits: 5 s connect, 10 s stall, on the stepping clock
  UPLOAD_CONTEXT stepped{c.program, c.folders, c.language, c.settings, c.store, c.messages, c.errors, stepping};
  stepped.limits = c.limits;
  CUploadServer session(kAgentApplication, stepped);
  int outcome = 0, major = 0, minor = 0;
  std::string file;
  const auto started = std::chrono::steady_clock::now();
  EXPECT_TRUE(session.CheckDirectory("TOL*.deb", 5, 20, outcome, major, minor, file));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_NE(messages_.shown[0].first.find("Timeout was reached"), std::string::npos) << messages_.shown[0].first;
}

// ---- the download --------------------------------------------------------

TEST_F(WebSession, DownloadStreamsTheInstallerReportsProgressAndRemovesOlderCopies) {
  const std::size_t size = 300000;
  peer_.AddInstaller("downloads", "TOLver6p1.deb", size);
  for (const char* old : {"TOLver5p23.deb", "TOLver6p0.deb", "OTHERver1p0.deb", "TOLver4p0.txt"}) {
    std::ofstream(folders_.programs / old) << "old";
  }
  auto session = Session();
  session.SetProgressWindow(&busy_.window);
  EXPECT_FALSE(session.DownloadProgram("TOLver6p1.deb"));
  const std::string got = ReadBytes(folders_.programs / "TOLver6p1.deb");
  ASSERT_EQ(got.size(), size);
  EXPECT_EQ(got, ReadBytes(peer_.InstallerFile("downloads", "TOLver6p1.deb")));
  EXPECT_FALSE(fs::exists(folders_.programs / "TOLver5p23.deb"));
  EXPECT_FALSE(fs::exists(folders_.programs / "TOLver6p0.deb"));
  EXPECT_TRUE(fs::exists(folders_.programs / "OTHERver1p0.deb"));
  EXPECT_TRUE(fs::exists(folders_.programs / "TOLver4p0.txt"));
  const auto& progress = busy_.window.progress;
  ASSERT_GE(progress.size(), 3u);
  EXPECT_EQ(progress.front(), 0);
  EXPECT_EQ(progress.back(), 100);
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
  EXPECT_GT(std::count_if(progress.begin(), progress.end(), [](int p) { return p > 0 && p < 100; }), 0);
  ASSERT_FALSE(busy_.window.messages.empty());
  EXPECT_EQ(busy_.window.messages.front(), Format(Text("STATUS_MESSAGE50"), corporate_));
  EXPECT_EQ(busy_.window.messages.back(), "Download finished");
  const auto requests = peer_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].line, "GET /downloads/TOLver6p1.deb HTTP/1.0");
  EXPECT_TRUE(requests[0].HasHeader("Accept: */*"));
  EXPECT_FALSE(requests[0].HasHeader("Accept-Language: en-us"));
}

TEST_F(WebSession, WithoutAContentLengthTheProgressStaysZeroUntilTheEnd) {
  peer_.AddInstaller("downloads", "TOLver6p1.deb", 200000);
  peer_.SetBehaviour("{\"no_length\": true}");
  auto session = Session();
  session.SetProgressWindow(&busy_.window);
  EXPECT_FALSE(session.DownloadProgram("TOLver6p1.deb"));
  EXPECT_EQ(ReadBytes(folders_.programs / "TOLver6p1.deb").size(), 200000u);
  EXPECT_EQ(busy_.window.progress, (std::vector<int>{0, 100}));
}

TEST_F(WebSession, ABrokenDownloadLeavesNoFileBehind) {
  peer_.AddInstaller("downloads", "TOLver6p1.deb", 200000);
  limits_.stall = std::chrono::milliseconds(300);
  struct Case {
    const char* behaviour;
    const char* what;
  };
  for (const Case& c :
       {Case{"{\"length_delta\": 1000}", "wrong length"}, Case{"{\"close_after\": 5000}", "closed mid-body"},
        Case{"{\"stall_after\": 5000}", "stalled mid-body"}}) {
    messages_.shown.clear();
    peer_.SetBehaviour(c.behaviour);
    EXPECT_TRUE(Session().DownloadProgram("TOLver6p1.deb")) << c.what;
    ASSERT_EQ(messages_.shown.size(), 1u) << c.what;
    EXPECT_EQ(messages_.shown[0].first.rfind("Network error:\n", 0), 0u) << c.what << messages_.shown[0].first;
    EXPECT_TRUE(fs::is_empty(folders_.programs)) << c.what;
  }
}

TEST_F(WebSession, DownloadStatusAndNamesThatMustNotReachTheFileSystem) {
  auto session = Session();
  EXPECT_TRUE(session.DownloadProgram("TOLver6p1.deb"));  // not on the server
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].first, Format(Text("ERROR_MESSAGE113"), 404));
  for (const std::string& name :
       {std::string("../../x.deb"), std::string("/etc/x.deb"), std::string(300, 'a'), std::string("a\0b", 3)}) {
    messages_.shown.clear();
    EXPECT_TRUE(session.DownloadProgram(name));
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].first.rfind("The server named an installer", 0), 0u);
  }
  EXPECT_EQ(peer_.Requests().size(), 1u);  // only the first reached the server
  EXPECT_TRUE(fs::is_empty(folders_.programs));
  EXPECT_FALSE(fs::exists(home_ / "x.deb"));
  // The Programs folder cannot take the file.
  peer_.AddInstaller("downloads", "TOLver6p1.deb", 1000);
  fs::remove_all(folders_.programs);
  std::ofstream(folders_.programs) << "a file where the folder should be";
  messages_.shown.clear();
  EXPECT_TRUE(session.DownloadProgram("TOLver6p1.deb"));
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].first, Text("ERROR_MESSAGE114"));
}

// ---- the start-up check ----------------------------------------------------

TEST_F(WebSession, StartupOffersOnlyWhatWasNotDeclined) {
  settings_.version = "5.20.0.0";
  settings_.dbVersion = "5.30";
  peer_.SetDirectory("TOLver5p30.deb");
  EXPECT_EQ(Session().CheckServerForUpdates().result, 0);
  EXPECT_TRUE(messages_.shown.empty());
  peer_.SetDirectory("TOLver5p31.deb");
  messages_.answer = RESULT_NO;
  EXPECT_EQ(Session().CheckServerForUpdates().result, 0);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].first, Format(Text("STATUS_MESSAGE2"), "Tolvane", 5, 31));
  EXPECT_EQ(messages_.shown[0].second, MB_YESNO);
  // Declined: remembered, in memory and in the store.
  EXPECT_EQ(settings_.dbVersion, "5.31");
  std::string stored;
  EXPECT_FALSE(store_.ReadString("DBVERSION", stored));
  EXPECT_EQ(stored, "5.31");
  // Declining a major offer writes it too.
  peer_.SetDirectory("TOLver6p1.deb");
  messages_.shown.clear();
  EXPECT_EQ(Session().CheckServerForUpdates().result, 0);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].first, Format(Text("STATUS_MESSAGE3"), "Tolvane", 6, 1, "Tolvane", corporate_));
  EXPECT_EQ(settings_.dbVersion, "6.1");
  EXPECT_TRUE(peer_.Requests().back().HasHeader("User-Agent: tolvane"));
}

TEST_F(WebSession, StartupUpToDateBoxAndNoNetwork) {
  settings_.version = "5.20.1.3";
  settings_.dbVersion = "5.0";
  peer_.SetDirectory("TOLver5p20.deb");
  EXPECT_EQ(Session().CheckServerForUpdates().result, 0);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].first, Format(Text("STATUS_MESSAGE1"), "Tolvane", 5, 20, 1, 3));
  EXPECT_EQ(messages_.shown[0].second, MB_INFO);
  EXPECT_EQ(settings_.dbVersion, "5.0");
  // No name resolution: nothing at all at start-up ...
  messages_.shown.clear();
  program_.server = "no-such-host.invalid";
  EXPECT_EQ(Session().CheckServerForUpdates().result, 0);
  EXPECT_TRUE(messages_.shown.empty());
  // ... while the page's button says the program is up to date.
  EXPECT_FALSE(Session(kAgentUpdatesPage).OnCheckForUpdates());
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].first, Format(Text("STATUS_MESSAGE46"), programName_, 5, 20, 1, 3));
  // A server error: its own message, then ERROR_MESSAGE11, and 1.
  program_.server = peer_.Server();
  peer_.SetBehaviour("{\"status\": 500}");
  messages_.shown.clear();
  EXPECT_EQ(Session().CheckServerForUpdates().result, 1);
  ASSERT_EQ(messages_.shown.size(), 2u);
  EXPECT_EQ(messages_.shown[1].first, Text("ERROR_MESSAGE11"));
}

TEST_F(WebSession, StartupDownloadAndInstallLogsWhatHappened) {
  settings_.version = "5.20.0.0";
  peer_.SetDirectory("TOLver6p1.deb%0D");
  peer_.AddInstaller("downloads", "TOLver6p1.deb", 50000);
  messages_.answer = RESULT_YES;
  STARTUP_CHECK r = Session().CheckServerForUpdates();
  EXPECT_EQ(r.result, 0);
  EXPECT_TRUE(r.closeProgram);
  ASSERT_EQ(opener_.opened.size(), 1u);
  EXPECT_EQ(opener_.opened[0], folders_.programs / "TOLver6p1.deb");
  EXPECT_EQ(busy_.opened, 1);
  EXPECT_EQ(busy_.closed, 1);
  EXPECT_EQ(busy_.window.messages.front(), Format(Text("STATUS_MESSAGE4"), corporate_));
  std::string logText = LogText();
  EXPECT_NE(logText.find("CHECKSERVERFORUPDATES->" + Format(Text("STATUS_MESSAGE4"), corporate_)), std::string::npos);
  EXPECT_NE(logText.find("CHECKSERVERFORUPDATES->Download success - Tolvane version 6.1"), std::string::npos);
  EXPECT_NE(logText.find("CHECKSERVERFORUPDATES->Install success - Tolvane version 6.1"), std::string::npos);
  EXPECT_EQ(settings_.dbVersion, "5.0.0");  // accepted: nothing declined

  // The opener cannot start it: the failure is logged, not a success.
  opener_.result = false;
  errors_.shown.clear();
  r = Session().CheckServerForUpdates();
  ASSERT_EQ(errors_.shown.size(), 1u);
  EXPECT_EQ(errors_.shown[0].first, Text("ERROR_MESSAGE19"));
  EXPECT_EQ(errors_.shown[0].second, Format(Text("ERROR_MESSAGE20"), (folders_.programs / "TOLver6p1.deb").string()));
  logText = LogText();
  EXPECT_NE(logText.find("Install failed - Tolvane version 6.1"), std::string::npos);
  EXPECT_EQ(logText.find("Install success"), logText.rfind("Install success"));

  // A failed download: its message, ERROR_MESSAGE18, the log line, 1.
  fs::remove(peer_.InstallerFile("downloads", "TOLver6p1.deb"));
  messages_.shown.clear();
  r = Session().CheckServerForUpdates();
  EXPECT_EQ(r.result, 1);
  EXPECT_FALSE(r.closeProgram);
  ASSERT_GE(messages_.shown.size(), 3u);
  EXPECT_EQ(messages_.shown[messages_.shown.size() - 2].first, Format(Text("ERROR_MESSAGE113"), 404));
  EXPECT_EQ(messages_.shown.back().first, Text("ERROR_MESSAGE18"));
  EXPECT_NE(LogText().find("CHECKSERVERFORUPDATES->Download failed"), std::string::npos);
  EXPECT_EQ(busy_.opened, busy_.closed);
}

TEST_F(WebSession, PageButtonDownloadsAndAsksBeforeTheInstall) {
  settings_.version = "5.20.0.0";
  settings_.dbVersion = "9.9";  // plays no part on the page
  peer_.SetDirectory("TOLver5p23.deb");
  peer_.AddInstaller("downloads", "TOLver5p23.deb", 1000);
  messages_.answer = RESULT_YES;
  EXPECT_TRUE(Session(kAgentUpdatesPage).OnCheckForUpdates());
  ASSERT_EQ(messages_.shown.size(), 2u);
  EXPECT_EQ(messages_.shown[0].first, Format(Text("STATUS_MESSAGE47"), programName_, 5, 23));
  EXPECT_EQ(messages_.shown[1].first.rfind("In order to proceed with the installation,\n", 0), 0u);
  EXPECT_EQ(opener_.opened.size(), 1u);
  EXPECT_EQ(busy_.window.messages.front(), Format(Text("STATUS_MESSAGE49"), corporate_));
  // The installer does not start: the page stays.
  opener_.result = false;
  EXPECT_FALSE(Session(kAgentUpdatesPage).OnCheckForUpdates());
  ASSERT_EQ(errors_.shown.size(), 1u);
  EXPECT_EQ(errors_.shown[0].first, Text("ERROR_MESSAGE73"));
  // Declined: nothing downloaded again, nothing written.
  messages_.answer = RESULT_NO;
  peer_.ClearRequests();
  EXPECT_FALSE(Session(kAgentUpdatesPage).OnCheckForUpdates());
  EXPECT_EQ(peer_.Requests().size(), 1u);
  EXPECT_EQ(settings_.dbVersion, "9.9");
  // A failed directory: its message, then ERROR_MESSAGE107 as it stands.
  peer_.SetBehaviour("{\"status\": 404}");
  messages_.shown.clear();
  EXPECT_FALSE(Session(kAgentUpdatesPage).OnCheckForUpdates());
  ASSERT_EQ(messages_.shown.size(), 2u);
  EXPECT_EQ(messages_.shown[1].first, Text("ERROR_MESSAGE107"));
  // A failed download: "Download failed."
  peer_.SetBehaviour("{}");
  fs::remove(peer_.InstallerFile("downloads", "TOLver5p23.deb"));
  messages_.shown.clear();
  messages_.answer = RESULT_YES;
  EXPECT_FALSE(Session(kAgentUpdatesPage).OnCheckForUpdates());
  EXPECT_EQ(messages_.shown.back().first, "Download failed.");
}

// ---- the upload queue ----------------------------------------------------

CONFIG_RECORD Record(int serial) {
  CONFIG_RECORD r;
  r.modelName = "QR25";
  r.serialNumber = serial;
  r.unitDescription = "Tank 1";
  r.firmwareName = "A/B";
  r.configIndex = 0;
  return r;
}

TEST_F(WebSession, QueuedRecordsAreSentAsPostsOnOneConnectionAndTheQueueEmpties) {
  MODEL_DEFINITION model;
  auto writer = Session(kAgentWrite);
  EXPECT_FALSE(writer.QueueRecord(Record(1), model));
  EXPECT_FALSE(writer.QueueRecord(Record(2), model));
  EXPECT_TRUE(StoredBool("PENDING"));
  const std::vector<std::string> lines = QueueLines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1].rfind("M=QR25&S=0001&U=Tank%201&", 0), 0u);
  EXPECT_EQ(ReadBytes(PendingFilePath(folders_.logs, corporate_)).substr(0, 4), "\r\nM=");

  UPLOAD_REPORT report;
  EXPECT_FALSE(Session().UploadPending(&report));
  EXPECT_EQ(report.recordsSent, 2);
  EXPECT_EQ(report.recordsKept, 0);
  EXPECT_FALSE(StoredBool("PENDING"));
  EXPECT_FALSE(fs::exists(PendingFilePath(folders_.logs, corporate_)));
  const auto requests = peer_.Requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0].line, "POST //tamsel_config.lasso? HTTP/1.0");
  EXPECT_EQ(requests[1].line, "POST //tamsel_config.lasso?" + lines[1] + " HTTP/1.0");
  EXPECT_NE(requests[1].line.find("FWN=A%2FB"), std::string::npos);
  for (const auto& r : requests) {
    EXPECT_TRUE(r.HasHeader("Accept: text/*"));
    EXPECT_TRUE(r.HasHeader("User-Agent: tolvane"));
    EXPECT_TRUE(r.HasHeader("Accept-Language: en-us"));
    EXPECT_TRUE(r.HasHeader("Content-Length: 0"));
    EXPECT_EQ(r.clientPort, requests[0].clientPort) << "a second connection";
  }
  // Nothing pending: nothing sent.
  peer_.ClearRequests();
  EXPECT_FALSE(Session().UploadPending());
  EXPECT_TRUE(peer_.Requests().empty());
}

TEST_F(WebSession, ARefusedRecordStaysQueuedInOrderAndTheOthersGo) {
  MODEL_DEFINITION model;
  auto writer = Session(kAgentWrite);
  for (int serial : {1, 2, 3}) {
    ASSERT_FALSE(writer.QueueRecord(Record(serial), model));
  }
  peer_.SetBehaviour("{\"upload_status\": {\"S=0002\": 500}}");
  UPLOAD_REPORT report;
  EXPECT_FALSE(Session().UploadPending(&report));
  EXPECT_EQ(report.recordsSent, 2);
  EXPECT_EQ(report.recordsKept, 1);
  EXPECT_EQ(report.refusedStatus, (std::vector<int>{500}));
  EXPECT_TRUE(StoredBool("PENDING"));
  const std::vector<std::string> lines = QueueLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[1].find("S=0002"), std::string::npos);
  // The next attempt, accepted, sends only that one.
  peer_.SetBehaviour("{}");
  peer_.ClearRequests();
  EXPECT_FALSE(Session().UploadPending(&report));
  EXPECT_FALSE(StoredBool("PENDING"));
  const auto requests = peer_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(requests[1].line.find("S=0002"), std::string::npos);
}

TEST_F(WebSession, ServerDownKeepsEveryRecordAndShowsTheNetworkError) {
  MODEL_DEFINITION model;
  ASSERT_FALSE(Session(kAgentWrite).QueueRecord(Record(7), model));
  const std::string before = ReadBytes(PendingFilePath(folders_.logs, corporate_));
  program_.server = "127.0.0.1:1";
  UPLOAD_REPORT report;
  EXPECT_TRUE(Session().UploadPending(&report));
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].first.rfind("Network error:\n", 0), 0u);
  EXPECT_TRUE(StoredBool("PENDING"));
  EXPECT_EQ(ReadBytes(PendingFilePath(folders_.logs, corporate_)), before);
}

TEST_F(WebSession, OptOutPendingWithoutFileAndForeignLines) {
  MODEL_DEFINITION model;
  ASSERT_FALSE(store_.WriteBool("OPTOUT", true));
  EXPECT_FALSE(Session(kAgentWrite).QueueRecord(Record(1), model));
  EXPECT_FALSE(fs::exists(PendingFilePath(folders_.logs, corporate_)));
  EXPECT_FALSE(StoredBool("PENDING"));
  ASSERT_FALSE(store_.WriteBool("PENDING", true));
  EXPECT_FALSE(Session().UploadPending());
  EXPECT_TRUE(peer_.Requests().empty());
  // Opted in again: PENDING without a file fails silently and stays.
  ASSERT_FALSE(store_.WriteBool("OPTOUT", false));
  EXPECT_TRUE(Session().UploadPending());
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_TRUE(StoredBool("PENDING"));
  // A 1 MiB line and a line with a space are no records of ours: kept, not sent.
  tolvane::test::WriteBytes(PendingFilePath(folders_.logs, corporate_),
                            "\r\n" + std::string(1024 * 1024, 'x') + "\r\n\r\nM=ok\r\n\r\nM=a b\r\n");
  UPLOAD_REPORT report;
  EXPECT_FALSE(Session().UploadPending(&report));
  EXPECT_EQ(report.recordsSent, 1);
  EXPECT_EQ(report.recordsKept, 2);
  EXPECT_EQ(peer_.Requests().size(), 4u);  // three empty lines and M=ok
  EXPECT_TRUE(StoredBool("PENDING"));
  const std::vector<std::string> lines = QueueLines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1].size(), 1024u * 1024u);
  EXPECT_EQ(lines[3], "M=a b");
}

TEST_F(WebSession, QueueFailuresAreShownAndATooLongValueIsRefused) {
  MODEL_DEFINITION model;
  CONFIG_RECORD r = Record(1);
  r.unitDescription = std::string(34, ' ');
  EXPECT_TRUE(Session(kAgentWrite).QueueRecord(r, model));
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].first, Format(Text("UPLOAD_MESSAGE1"), "U", 99));
  EXPECT_FALSE(fs::exists(PendingFilePath(folders_.logs, corporate_)));
  // The queue's place is a folder: ERROR_MESSAGE110 with the system's text.
  fs::create_directories(PendingFilePath(folders_.logs, corporate_));
  messages_.shown.clear();
  EXPECT_TRUE(Session(kAgentWrite).QueueRecord(Record(1), model));
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].first.rfind("Cannot open the upload queue file:\n", 0), 0u);
  // The settings cannot be read: ERROR_MESSAGE107 with the store's code.
  fs::remove_all(home_ / "Settings");
  messages_.shown.clear();
  EXPECT_TRUE(Session(kAgentWrite).QueueRecord(Record(1), model));
  EXPECT_TRUE(Session().UploadPending());
  ASSERT_EQ(messages_.shown.size(), 2u);
  EXPECT_EQ(messages_.shown[0].first.rfind("Cannot read the upload settings (error ", 0), 0u);
}

TEST_F(WebSession, OptOutBoxAsksBeforeItSwitchesTheUploadOff) {
  auto session = Session(kAgentUpdatesPage);
  bool checked = false;
  messages_.answer = RESULT_YES;  // keep the upload on
  session.OnOptOutClicked(checked);
  EXPECT_TRUE(checked);
  EXPECT_FALSE(settings_.optOut);
  EXPECT_FALSE(StoredBool("OPTOUT"));
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].first, Format(Text("ERROR_MESSAGE106"), "Tolvane", corporate_));
  messages_.answer = RESULT_NO;
  checked = false;
  session.OnOptOutClicked(checked);
  EXPECT_FALSE(checked);
  EXPECT_TRUE(settings_.optOut);
  EXPECT_TRUE(StoredBool("OPTOUT"));
  checked = true;  // checking asks nothing
  messages_.shown.clear();
  session.OnOptOutClicked(checked);
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_FALSE(StoredBool("OPTOUT"));
  EXPECT_EQ(session.ContextHelpTopic(), (folders_.help / "Tolvane.chm").string() + "::/UPDATE_PROGRAM.htm");
}

}  // namespace
}  // namespace tolvane::net
