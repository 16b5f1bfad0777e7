// The web session's commands: the software directory check and the download
// of the newest installer, and the configuration upload queue (send it, show
// it).
#include <cstdio>
#include <memory>
#include <string>

#include "app/cli/CliCore.h"
#include "app/cli/Commands.h"
#include "net/PendingUploads.h"
#include "net/UploadServer.h"

namespace tolvane::cli {
namespace {

// The download's progress as a bar on standard error.
class ConsoleProgress final : public net::IBusyHost, public IBusyWindow {
 public:
  IBusyWindow& OpenBusy() override { return *this; }
  void CloseBusy() override {}
  void SetMessage(const std::string& text) override {
    EndBar();
    std::fprintf(stderr, "%s\n", text.c_str());
  }
  void SetProgress(int percent) override {
    percent = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
    const int filled = percent / 5;
    std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(20 - filled), ' ').c_str(), percent);
    std::fflush(stderr);
    bar_ = true;
  }
  void EndBar() {
    if (bar_) {
      std::fputc('\n', stderr);
      bar_ = false;
    }
  }
  ~ConsoleProgress() override { EndBar(); }

 private:
  bool bar_ = false;
};

class NoOpener final : public IDocumentOpener {
 public:
  bool Open(const std::filesystem::path&) override { return false; }
};

struct Session {
  RealClock clock;
  CConsoleErrors errors;
  ConsoleProgress progress;
  std::unique_ptr<net::CUploadServer> server;
};

void OpenSession(CProgramCore& core, Session& s, const char* agent) {
  net::UPLOAD_CONTEXT context{core.tables.program, core.folders,           core.language, core.settings,
                              core.store,          core.services.messages, s.errors,      s.clock};
  context.log = &core.log;
  context.busy = &s.progress;
  s.server = std::make_unique<net::CUploadServer>(agent, context);
}

const char* OutcomeText(int outcome) {
  switch (outcome) {
    case net::UPDATE_NEWER_MINOR:
      return "newer minor version";
    case net::UPDATE_NEWER_MAJOR:
      return "newer major version";
    default:
      return "nothing newer";
  }
}

struct CHECKED {
  int outcome = 0, major = 0, minor = 0;
  std::string file;
};

// 0 with the check's outputs, or 1 after the failure was printed.
int Check(CProgramCore& core, net::CUploadServer& server, CHECKED& c) {
  const std::vector<int> running = net::ReadVersionNumbers(core.settings.version, 4);
  if (server.CheckDirectory(net::InstallerPattern(core.tables.program.installerId), running[0], running[1], c.outcome,
                            c.major, c.minor, c.file)) {
    std::fprintf(stderr, "error: the software directory of %s could not be checked\n",
                 core.tables.program.server.c_str());
    return 1;
  }
  std::printf("running: %s\n", core.settings.version.c_str());
  std::printf("outcome: %d (%s)\n", c.outcome, OutcomeText(c.outcome));
  std::printf("newest: %d.%d\n", c.major, c.minor);
  std::printf("file: %s\n", c.file.empty() ? "-" : c.file.c_str());
  return 0;
}

int RunUpdate(bool download) {
  CliCore cli;
  if (const int rc = cli.Start(); rc != 0) {
    return rc;
  }
  CProgramCore& core = cli.core();
  Session s;
  OpenSession(core, s, net::kAgentApplication);
  CHECKED c;
  if (const int rc = Check(core, *s.server, c); rc != 0 || !download) {
    return rc;
  }
  if (c.outcome == net::UPDATE_NOTHING_NEWER) {
    std::printf("nothing to download\n");
    return 0;
  }
  s.server->SetProgressWindow(&s.progress);
  const bool failed = s.server->DownloadProgram(c.file);
  s.progress.EndBar();
  if (failed) {
    std::fprintf(stderr, "error: the download of %s failed\n", c.file.c_str());
    return 1;
  }
  std::printf("downloaded: %s\n", s.server->DownloadPath(c.file).c_str());
  return 0;
}

int RunUploadPending() {
  CliCore cli;
  if (const int rc = cli.Start(); rc != 0) {
    return rc;
  }
  CProgramCore& core = cli.core();
  Session s;
  OpenSession(core, s, net::kAgentApplication);
  net::UPLOAD_REPORT report;
  const bool failed = s.server->UploadPending(&report);
  std::printf("sent: %d records\n", report.recordsSent);
  std::printf("queued: %d records\n", report.recordsKept);
  for (const int status : report.refusedStatus) {
    std::printf("refused: HTTP status %d\n", status);
  }
  if (failed) {
    return 1;
  }
  return report.recordsKept == 0 ? 0 : 1;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A record line with its fields apart and their escapes undone.
std::string DecodedRecord(const std::string& line) {
  std::string out;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '&') {
      out += "  ";
    } else if (c == '%' && i + 2 < line.size() + 0 && HexValue(line[i + 1]) >= 0 && HexValue(line[i + 2]) >= 0) {
      const char decoded = static_cast<char>(HexValue(line[i + 1]) * 16 + HexValue(line[i + 2]));
      out += (static_cast<unsigned char>(decoded) < 0x20 || decoded == 0x7F) ? '?' : decoded;
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

int RunUploadShow() {
  CliCore cli;
  if (const int rc = cli.Start(); rc != 0) {
    return rc;
  }
  CProgramCore& core = cli.core();
  bool pending = false;
  int code = 0;
  if (core.store.ReadBool("PENDING", pending, &code)) {
    std::fprintf(stderr, "error: PENDING cannot be read (error %d)\n", code);
    return 1;
  }
  const net::CPendingUploads queue(net::PendingFilePath(core.folders.logs, core.tables.program.corporateId));
  std::printf("pending: %s\n", pending ? "TRUE" : "FALSE");
  std::vector<std::string> lines;
  if (!queue.Exists()) {
    std::printf("records: 0\n");
    return 0;
  }
  if (queue.Read(lines) != ReadResult::Ok) {
    std::fprintf(stderr, "error: %s cannot be read\n", queue.File().c_str());
    return 1;
  }
  int records = 0;
  for (const std::string& line : lines) {
    records += line.empty() ? 0 : 1;
  }
  std::printf("records: %d\n", records);
  for (const std::string& line : lines) {
    if (line.empty()) {
      continue;
    }
    if (!net::IsSendableLine(line)) {
      std::printf("(not a record: %zu bytes)\n", line.size());
    } else {
      std::printf("%s\n", DecodedRecord(line).c_str());
    }
  }
  return 0;
}

}  // namespace

CommandRunner AddUpdateCommands(CLI::App& app) {
  struct Options {
    CLI::App* check = nullptr;
    CLI::App* download = nullptr;
    CLI::App* pending = nullptr;
    CLI::App* show = nullptr;
  };
  auto o = std::make_shared<Options>();
  auto* update = app.add_subcommand("update", "Check the maker's server for a newer program and download it");
  update->require_subcommand(1);
  o->check = update->add_subcommand(
      "check", "Check the software directory: the outcome, the newest version and its file (nothing is downloaded)");
  o->download = update->add_subcommand("download", "Download the newest installer into the Programs folder");
  auto* upload = app.add_subcommand("upload", "The queue of configuration records for the maker's server");
  upload->require_subcommand(1);
  o->pending = upload->add_subcommand("pending", "Send the queued records; prints how many were sent and stay queued");
  o->show = upload->add_subcommand("show", "List the queued records, one per line, decoded");
  return [o]() -> std::optional<int> {
    if (o->check->parsed()) {
      return RunUpdate(false);
    }
    if (o->download->parsed()) {
      return RunUpdate(true);
    }
    if (o->pending->parsed()) {
      return RunUploadPending();
    }
    if (o->show->parsed()) {
      return RunUploadShow();
    }
    return std::nullopt;
  };
}

}  // namespace tolvane::cli
