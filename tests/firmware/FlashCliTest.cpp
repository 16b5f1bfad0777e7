// tolvane-cli flash and firmware against tolvane-sim: a newer combined file
// changes the unit's software revision, identify then shows it; the listing,
// packing and checking of program files; the failure sides of each.
#include <gtest/gtest.h>

#include <string>

#include "firmware/ProgramFiles.h"
#include "link/sim/SimProcess.h"
#include "support/TestSupport.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;

class FlashCli : public ::testing::Test {
 protected:
  FlashCli() {
    fs::create_directories(home_ / "Programs");
    for (const auto& e : fs::directory_iterator(fs::path(TOLVANE_SOURCE_DATA) / "Programs")) {
      fs::copy_file(e.path(), home_ / "Programs" / e.path().filename());
    }
  }
  std::string Program(const char* name) const { return "\"" + (home_ / "Programs" / name).string() + "\""; }
  test::PortableHome home_{TOLVANE_PROTECTED_MODELS_DIR};
};

TEST_F(FlashCli, NewerCombinedFileChangesTheRevisionIdentifyShows) {
  link::sim::SimProcess sim(TOLVANE_SIM_PATH, {"--identity", "qr27"});
  ASSERT_TRUE(sim.Running());
  auto [rc, out] = home_.RunCli("identify", sim.root());
  ASSERT_EQ(rc, 0) << out;
  EXPECT_NE(out.find("Software revision: 0203"), std::string::npos) << out;

  std::tie(rc, out) = home_.RunCli("firmware list", sim.root());
  ASSERT_EQ(rc, 0) << out;
  // Newest first; the old file listed, but not offered.
  const auto p524 = out.find("QRB12ver52p4.fp2\t12M  Version: 52.4");
  const auto p521 = out.find("QRB12ver52p1.fp2\t12M  Version: 52.1");
  const auto old = out.find("QRB12ver51p0old.fp2");
  ASSERT_NE(p524, std::string::npos) << out;
  ASSERT_NE(p521, std::string::npos) << out;
  ASSERT_NE(old, std::string::npos) << out;
  EXPECT_LT(p524, p521);
  EXPECT_LT(p521, old);
  EXPECT_NE(out.find("QRLVL12ver52p4.fp2"), std::string::npos) << out;
  EXPECT_EQ(out.find("QRA8ver"), std::string::npos) << out;  // another model's program
  EXPECT_NE(out.find("QRB12ver52p4.fp2 (STATUS_MESSAGE51)"), std::string::npos) << out;

  std::tie(rc, out) = home_.RunCli("flash " + Program("QRB12ver52p1.fp2"), sim.root());
  ASSERT_EQ(rc, 0) << out;
  // Standard output is no terminal here: one plain line per percent step.
  EXPECT_EQ(out.rfind("0%\n", 0), 0u) << out;
  EXPECT_NE(out.find("\n1%\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\n50%\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\n100%\n"), std::string::npos) << out;
  for (const char* line :
       {"WRITECOMBINEDPROGRAMTARGET: CRC match!", "WRITEENCRYPTEDPROGRAM: Programming Completed",
        "WRITEPROGRAM: CRC verified", "WRITECOMBINEDPROGRAMTARGET: Write completed", "Programming succeeded"}) {
    EXPECT_NE(out.find(line), std::string::npos) << line;
  }
  std::tie(rc, out) = home_.RunCli("identify", sim.root());
  ASSERT_EQ(rc, 0) << out;
  EXPECT_NE(out.find("Software revision: 0209"), std::string::npos) << out;  // 521
  EXPECT_TRUE(fs::is_empty(home_ / "Programs") == false);
  EXPECT_FALSE(fs::exists(home_ / "Programs" / "temp1.fep"));
}

TEST_F(FlashCli, FailuresNeverExitWithZero) {
  link::sim::SimProcess sim(TOLVANE_SIM_PATH, {"--identity", "qr27", "--no-ready-after-packet", "3"});
  ASSERT_TRUE(sim.Running());
  auto [rc, out] = home_.RunCli("flash " + Program("QRB12ver52p3.fep"), sim.root());
  EXPECT_EQ(rc, 1) << out;
  EXPECT_EQ(out.find("Programming succeeded"), std::string::npos) << out;
  EXPECT_EQ(out.find("Programming Completed"), std::string::npos) << out;

  // A changed byte: refused before anything is sent.
  std::string bytes = test::ReadBytes(home_ / "Programs" / "QRB12ver52p1.fp2");
  bytes[200] = static_cast<char>(bytes[200] ^ 1);
  test::WriteBytes(home_ / "bad.fp2", bytes);
  std::tie(rc, out) = home_.RunCli("flash \"" + (home_ / "bad.fp2").string() + "\"", sim.root());
  EXPECT_EQ(rc, 1) << out;
  EXPECT_NE(out.find("CRC mismatch!"), std::string::npos) << out;

  // Names refused before the unit is looked at, and no unit at all.
  for (const char* name : {"\"\"", "a.fep", "x.FP2", "missing.fp2"}) {
    std::tie(rc, out) = home_.RunCli(std::string("flash ") + name, sim.root());
    EXPECT_EQ(rc, 2) << name;
  }
  std::tie(rc, out) = home_.RunCli("flash " + Program("QRB12ver52p1.fp2"));
  EXPECT_NE(rc, 0);
  EXPECT_EQ(out.find("Programming succeeded"), std::string::npos) << out;
}

TEST_F(FlashCli, PackAndCheck) {
  const fs::path out = home_ / "made.fp2";
  auto [rc, text] = home_.RunCli("firmware pack \"" + out.string() + "\" --pid QR27-9p9 " +
                                 Program("QRB12ver52p3.pkt") + " " + Program("QRB12ver52p3.fep"));
  ASSERT_EQ(rc, 0) << text;
  std::tie(rc, text) = home_.RunCli("firmware check \"" + out.string() + "\"");
  ASSERT_EQ(rc, 0) << text;
  const auto pid = text.find("PID ");
  const auto pkt = text.find("PKT ");
  const auto fep = text.find("FEP ");
  ASSERT_NE(pid, std::string::npos) << text;
  EXPECT_LT(pid, pkt);
  EXPECT_LT(pkt, fep);
  EXPECT_NE(text.find("\"QR27-9p9\" (program QR27)"), std::string::npos) << text;
  EXPECT_NE(text.find("length      49152  covered"), std::string::npos) << text;
  EXPECT_NE(text.find("CRC match!"), std::string::npos) << text;

  const std::string whole = test::ReadBytes(out);
  test::WriteBytes(home_ / "cut.fp2", whole.substr(0, whole.size() - 3));
  std::tie(rc, text) = home_.RunCli("firmware check \"" + (home_ / "cut.fp2").string() + "\"");
  EXPECT_EQ(rc, 1) << text;
  EXPECT_NE(text.find("File is invalid!"), std::string::npos) << text;
  std::tie(rc, text) = home_.RunCli("firmware check \"" + (home_ / "none.fp2").string() + "\"");
  EXPECT_EQ(rc, 2) << text;
  // Refused parts: a PID over 100 bytes, another extension, a missing file.
  std::tie(rc, text) = home_.RunCli("firmware pack \"" + out.string() + "\" --pid " + std::string(101, 'Q') + " " +
                                    Program("QRB12ver52p3.fep"));
  EXPECT_EQ(rc, 2);
  std::tie(rc, text) = home_.RunCli("firmware pack \"" + out.string() + "\" --pid Q " + Program("QRB12ver52p1.fp2"));
  EXPECT_EQ(rc, 2);
  std::tie(rc, text) = home_.RunCli("firmware pack \"" + out.string() + "\" --pid Q " + Program("none.fep"));
  EXPECT_EQ(rc, 2);
  // The file written before is still whole.
  EXPECT_EQ(test::ReadBytes(out), whole);
}

}  // namespace
}  // namespace tolvane
