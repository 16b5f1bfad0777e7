// tolvane-cli's update and upload commands end to end: against the tests'
// HTTP peer, with write-config queueing records from tolvane-sim.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>

#include "link/sim/SimProcess.h"
#include "net/HttpPeer.h"
#include "support/TestSupport.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;

class UpdateCli : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GT(peer_.Port(), 0);
    // The corporate model of this tree names the peer as its server.
    const fs::path model = home_ / "Models" / "Corporate_Model";
    std::string text = test::ReadBytes(model);
    text = std::regex_replace(text, std::regex("SERVER = [^\r\n]*"), "SERVER = " + peer_.Server());
    test::WriteBytes(model, text);
  }
  std::pair<int, std::string> Run(const std::string& args, const fs::path& root = "/nonexistent") {
    return home_.RunCli(args, root);
  }
  std::pair<int, std::string> RunErrors(const std::string& args, const fs::path& root = "/nonexistent") {
    return home_.RunCliErrors(args, root);
  }

  test::PortableHome home_{TOLVANE_PROTECTED_MODELS_DIR};
  test::TempDir peerFolder_;
  net::test::HttpPeer peer_{peerFolder_.path()};
};

TEST_F(UpdateCli, CheckPrintsTheOutcomeAndDownloadsNothing) {
  peer_.SetDirectory("TolvaneSetupver5p3.deb%0DTolvaneSetupver7p2.deb%0D");
  auto [rc, out] = Run("update check");
  ASSERT_EQ(rc, 0) << out;
  EXPECT_NE(out.find("outcome: 2 (newer major version)\n"), std::string::npos) << out;
  EXPECT_NE(out.find("newest: 7.2\n"), std::string::npos) << out;
  EXPECT_NE(out.find("file: TolvaneSetupver7p2.deb\n"), std::string::npos) << out;
  EXPECT_FALSE(fs::exists(home_ / "Programs" / "TolvaneSetupver7p2.deb"));
  ASSERT_EQ(peer_.Requests().size(), 1u);
  EXPECT_EQ(peer_.Requests()[0].line, "GET //swdirectory.lasso HTTP/1.0");
  // The failure side: a status error is an exit status 1 with the message.
  peer_.SetBehaviour("{\"status\": 500}");
  std::tie(rc, out) = RunErrors("update check");
  EXPECT_EQ(rc, 1);
  EXPECT_NE(out.find("HTTP status 500"), std::string::npos) << out;
}

TEST_F(UpdateCli, DownloadShowsAProgressBarAndWritesTheInstaller) {
  peer_.SetDirectory("TolvaneSetupver9p1.deb");
  peer_.AddInstaller("tolvane", "TolvaneSetupver9p1.deb", 400000);
  auto [rc, err] = RunErrors("update download");
  ASSERT_EQ(rc, 0) << err;
  EXPECT_NE(err.find("] 100%"), std::string::npos) << err;
  EXPECT_EQ(test::ReadBytes(home_ / "Programs" / "TolvaneSetupver9p1.deb"),
            test::ReadBytes(peer_.InstallerFile("tolvane", "TolvaneSetupver9p1.deb")));
  // The failure side: the installer is gone from the server.
  fs::remove(peer_.InstallerFile("tolvane", "TolvaneSetupver9p1.deb"));
  std::tie(rc, err) = RunErrors("update download");
  EXPECT_EQ(rc, 1);
  EXPECT_NE(err.find("error: the download of TolvaneSetupver9p1.deb failed"), std::string::npos) << err;
}

TEST_F(UpdateCli, WrittenUnitsAreQueuedShownAndSent) {
  link::sim::SimProcess sim(TOLVANE_SIM_PATH, {"--identity", "qr25"});
  ASSERT_TRUE(sim.Running());
  // The server refuses everything while the unit is written: the record stays.
  peer_.SetBehaviour("{\"status\": 500}");
  const fs::path file = home_ / "Configs" / "QR25 Diesel Day Tank.txt";
  auto [rc, out] = Run("write-config \"" + file.string() + "\"", sim.root());
  ASSERT_EQ(rc, 0) << out;
  EXPECT_NE(out.find("queued upload record: serial "), std::string::npos) << out;
  ASSERT_GE(peer_.Requests().size(), 2u);  // the series' end sent the queue
  EXPECT_NE(peer_.Requests()[1].line.find("?M=QR25-2W&S=250117&U=Model:%20QR25-LVL"), std::string::npos)
      << peer_.Requests()[1].line;
  EXPECT_TRUE(peer_.Requests()[1].HasHeader("User-Agent: New Write"));

  std::tie(rc, out) = Run("upload show");
  ASSERT_EQ(rc, 0) << out;
  EXPECT_NE(out.find("pending: TRUE\nrecords: 1\nM=QR25-2W  S=250117  U=Model: QR25-LVL two-wire"), std::string::npos)
      << out;

  // The server down: nothing sent, the record stays, exit status 1.
  peer_.SetBehaviour("{\"stall_before_reply\": true}");
  const std::string stoppedServer = "127.0.0.1:1";
  {
    const fs::path model = home_ / "Models" / "Corporate_Model";
    test::WriteBytes(model, std::regex_replace(test::ReadBytes(model), std::regex("SERVER = [^\r\n]*"),
                                               "SERVER = " + stoppedServer));
  }
  std::tie(rc, out) = Run("upload pending");
  EXPECT_EQ(rc, 1);
  EXPECT_NE(out.find("sent: 0 records\nqueued: 1 records\n"), std::string::npos) << out;
  {
    const fs::path model = home_ / "Models" / "Corporate_Model";
    test::WriteBytes(model, std::regex_replace(test::ReadBytes(model), std::regex("SERVER = [^\r\n]*"),
                                               "SERVER = " + peer_.Server()));
  }
  peer_.SetBehaviour("{}");
  peer_.ClearRequests();
  std::tie(rc, out) = Run("upload pending");
  EXPECT_EQ(rc, 0) << out;
  EXPECT_NE(out.find("sent: 1 records\nqueued: 0 records\n"), std::string::npos) << out;
  ASSERT_EQ(peer_.Requests().size(), 2u);
  EXPECT_TRUE(peer_.Requests()[1].HasHeader("User-Agent: tolvane"));
  std::tie(rc, out) = Run("upload show");
  EXPECT_NE(out.find("pending: FALSE\nrecords: 0\n"), std::string::npos) << out;
}

}  // namespace
}  // namespace tolvane
