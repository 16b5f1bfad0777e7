// The web session's windows offscreen, on a run's objects loaded from a
// per-user tree whose corporate model names the tests' HTTP peer: the busy
// window of a download seen while the download runs, the start-up check's
// boxes, the upload box's question.
#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <regex>

#include "link/TtyBridge.h"
#include "net/HttpPeer.h"
#include "net/ui/UpdateNetworkBinding.h"
#include "shell/UserTree.h"
#include "shell/ui/BusyWindow.h"
#include "support/TestSupport.h"

namespace tolvane::net {
namespace {

namespace fs = std::filesystem;

class RecordingOpener final : public IDocumentOpener {
 public:
  bool Open(const fs::path& file) override {
    opened.push_back(file);
    return true;
  }
  std::vector<fs::path> opened;
};

struct SEEN {
  bool visible = false;
  int progress = 0;
  std::string message;
};

class UpdateWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GT(peer_.Port(), 0);
    const EnvLookup env = [this](std::string_view name) -> std::optional<std::string> {
      if (name == "TOLVANE_HOME") {
        return home_.path().string();
      }
      return std::nullopt;
    };
    folders_ = ResolveFolders(env, "tolvane", fs::path(TOLVANE_SOURCE_DATA));
    // A portable tree holds its own models; its corporate model names the peer.
    fs::create_directories(folders_.models);
    for (const auto& e : fs::directory_iterator(fs::path(TOLVANE_SOURCE_DATA) / "Models")) {
      fs::copy_file(e.path(), folders_.models / e.path().filename());
    }
    const fs::path corporate = folders_.models / "Corporate_Model";
    tolvane::test::WriteBytes(corporate,
                              std::regex_replace(tolvane::test::ReadBytes(corporate), std::regex("SERVER = [^\r\n]*"),
                                                 "SERVER = " + peer_.Server()));
    registry_ = std::make_unique<CUserRegistry>(folders_.settings);
    PrepareUserTree(folders_, *registry_, "5.20.1.0");
    core_ = std::make_unique<CProgramCore>(
        folders_, PROGRAM_SERVICES{messages_, errors_, busy_, bridge_, clock_, *registry_, SystemLocalTime()});
    int code = 0;
    ASSERT_EQ(core_->Start(code), CProgramCore::StartResult::Ok) << code;
    ASSERT_EQ(core_->tables.program.server, peer_.Server());
  }

  tolvane::test::TempDir home_;
  tolvane::test::TempDir peerFolder_;
  test::HttpPeer peer_{peerFolder_.path()};
  FOLDERS folders_;
  std::unique_ptr<CUserRegistry> registry_;
  tolvane::test::RecordingMessages messages_;
  tolvane::test::RecordingErrorDetail errors_;
  tolvane::test::RecordingBusy busy_;
  link::TtyBridge bridge_{"/nonexistent"};
  RealClock clock_;
  RecordingOpener opener_;
  std::unique_ptr<CProgramCore> core_;
};

TEST_F(UpdateWindows, TheButtonsDownloadShowsItsProgressWhileItRuns) {
  peer_.SetDirectory("TolvaneSetupver5p30.deb%0D");
  peer_.AddInstaller("tolvane", "TolvaneSetupver5p30.deb", 2 * 1024 * 1024);
  peer_.SetBehaviour("{\"pace_ms\": 15}");
  CUpdateNetworkBinding binding(*core_, opener_, clock_);
  std::vector<SEEN> seen;
  QTimer probe;
  CBusyWindow* window = nullptr;
  binding.SetDownloadObserver([&](CDownloadBusyHost& host) {
    window = host.Window();
    QObject::connect(&probe, &QTimer::timeout, [&] {
      if (window != nullptr) {
        seen.push_back({window->isVisible(), window->Progress(), window->Message().toStdString()});
      }
    });
    probe.start(0);
  });
  messages_.answer = RESULT_YES;
  EXPECT_TRUE(binding.OnCheckForUpdates(nullptr));
  probe.stop();
  window = nullptr;
  EXPECT_EQ(opener_.opened.size(), 1u);
  // The timer ran while the download blocked this thread: the windows were painted.
  ASSERT_GE(seen.size(), 3u);
  const auto middle =
      std::find_if(seen.begin(), seen.end(), [](const SEEN& s) { return s.progress > 0 && s.progress < 100; });
  ASSERT_NE(middle, seen.end());
  EXPECT_TRUE(middle->visible);
  EXPECT_EQ(middle->message, Format(core_->Text("STATUS_MESSAGE50"), "Kestrine"));
  EXPECT_TRUE(
      std::is_sorted(seen.begin(), seen.end(), [](const SEEN& a, const SEEN& b) { return a.progress < b.progress; }));
  ASSERT_EQ(messages_.shown.size(), 2u);
  EXPECT_EQ(messages_.shown[0].first, Format(core_->Text("STATUS_MESSAGE47"), "Tolvane", 5, 30));
}

TEST_F(UpdateWindows, StartupCheckWithNothingNewerShowsTheUpToDateBoxOnce) {
  peer_.SetDirectory("TolvaneSetupver5p20.deb%0D");
  CUpdateNetworkBinding binding(*core_, opener_, clock_);
  EXPECT_FALSE(binding.CheckServerForUpdates(nullptr));
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].second, MB_INFO);
  EXPECT_EQ(messages_.shown[0].first, Format(core_->Text("STATUS_MESSAGE1"), "Tolvane", 5, 20, 1, 0));
  ASSERT_EQ(peer_.Requests().size(), 1u);
  EXPECT_TRUE(peer_.Requests()[0].HasHeader("User-Agent: tolvane"));
}

TEST_F(UpdateWindows, TheUploadBoxAsksBeforeTheUploadGoesOff) {
  CUpdateNetworkBinding binding(*core_, opener_, clock_);
  EXPECT_FALSE(binding.UploadOptOut());
  messages_.answer = RESULT_YES;  // keep it on
  binding.SetUploadOptOut(true);
  EXPECT_FALSE(binding.UploadOptOut());
  messages_.answer = RESULT_NO;
  binding.SetUploadOptOut(true);
  EXPECT_TRUE(binding.UploadOptOut());
  bool stored = false;
  EXPECT_FALSE(core_->store.ReadBool("OPTOUT", stored));
  EXPECT_TRUE(stored);
  EXPECT_EQ(messages_.shown.size(), 2u);
  binding.SetUploadOptOut(false);
  EXPECT_FALSE(binding.UploadOptOut());
  EXPECT_EQ(binding.ContextHelpTopic(),
            (folders_.help / core_->tables.program.mainHelp).string() + "::/UPDATE_PROGRAM.htm");
}

}  // namespace
}  // namespace tolvane::net
