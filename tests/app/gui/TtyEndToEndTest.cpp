// The program as a user runs it: tolvane-sim as a separate process on a
// pseudo-terminal, found through the tty adapter discovery, on real time.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QLabel>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "ProgramRig.h"
#include "link/TtyBridge.h"
#include "shell/ui/MessageBox.h"

extern char** environ;

namespace tolvane {
namespace {

namespace fs = std::filesystem;

class SimProcess {
 public:
  SimProcess(const fs::path& root, std::vector<std::string> extra) : root_(root) {
    std::vector<std::string> args{TOLVANE_SIM_PATH, "--device-root", root.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (auto& a : args) {
      argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (pid_ > 0 && !fs::is_symlink(root_ / "dev/ttySIM0") && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  ~SimProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      int status = 0;
      ::waitpid(pid_, &status, 0);
    }
  }
  bool Running() const { return pid_ > 0 && fs::is_symlink(root_ / "dev/ttySIM0"); }

 private:
  fs::path root_;
  pid_t pid_ = -1;
};

TEST(TtyEndToEnd, ReachesTheMainWindowWithTolvaneSim) {
  test::ProgramRig rig;
  rig.CreateSettingsKey();
  const fs::path devices = rig.dir / "Devices";
  fs::create_directories(devices);
  SimProcess sim(devices, {"--identity", "qr25"});
  ASSERT_TRUE(sim.Running());
  RealClock clock;
  link::TtyBridge bridge(devices);
  auto dialog = rig.MakeDialog(&bridge, &clock);
  QString summary;
  QString title;
  QString startText;
  test::ModalDriver driver([&](QWidget& modal) {
    if (auto* start = qobject_cast<COstrelDlg*>(&modal)) {
      startText = test::Text(*start, COstrelDlg::IDC_START_STATUS) + " | " + test::Text(*start, COstrelDlg::IDC_STATUS);
    } else if (auto* box = qobject_cast<CMessageBox*>(&modal)) {
      ADD_FAILURE() << test::Text(*box, CMessageBox::IDC_TEXT).toStdString();
      test::ClickIn(*box, CMessageBox::IDC_OKBUTTON);
    } else if (auto* form = qobject_cast<CMainForm*>(&modal)) {
      title = form->windowTitle();
      for (auto* label : form->Tabs()->widget(0)->findChildren<QLabel*>()) {
        summary += label->text() + "\n";
      }
      form->close();
    }
  });
  EXPECT_EQ(dialog->Run(), COstrelDlg::END_NORMAL);
  EXPECT_EQ(title, "Tolvane 5.0.0") << startText.toStdString() << " | windows: " << driver.seen.size();
  EXPECT_TRUE(summary.contains("QR25")) << summary.toStdString();
  EXPECT_TRUE(summary.contains("QRModel_QR25.txt")) << summary.toStdString();
}

}  // namespace
}  // namespace tolvane
