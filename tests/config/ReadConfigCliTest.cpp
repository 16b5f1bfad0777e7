// tolvane-cli read-config as a user runs it, against tolvane-sim.
#include <gtest/gtest.h>

#include <chrono>

#include "link/sim/SimProcess.h"
#include "link/sim/SimSensor.h"
#include "support/TestSupport.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;

class ReadConfig : public ::testing::Test {
 protected:
  std::pair<int, std::string> Run(const std::string& args, const fs::path& deviceRoot) {
    return home_.RunCli(args, deviceRoot);
  }
  test::PortableHome home_{TOLVANE_PROTECTED_MODELS_DIR};
};

TEST_F(ReadConfig, ListsTheUnitsConfigurationInDisplayUnits) {
  link::sim::SimProcess sim(TOLVANE_SIM_PATH, {"--identity", "qr30"});
  ASSERT_TRUE(sim.Running());
  auto [rc, out] = Run("read-config", sim.root());
  EXPECT_EQ(rc, 0);
  for (const char* line :
       {"Configuration:  Valid configuration #7\n", "  Alarm Relays:          Lo and Hi Alarm\n",
        "Units:          Inches\n", "Sensor height:  240.0\n", "  Pump Off:              24.0\n",
        "  Pump Run-On:           10\n", "  Echo Lock:             on\n", "Notes:          Simulated QR30 unit\n"}) {
    EXPECT_NE(out.find(line), std::string::npos) << line << "in\n" << out;
  }
  std::tie(rc, out) = Run("read-config --units Millimeters", sim.root());
  EXPECT_EQ(rc, 0);
  EXPECT_NE(out.find("Sensor height:  6096.0\n"), std::string::npos) << out;
  EXPECT_EQ(Run("read-config --units Parsecs", sim.root()).first, 2);
}

TEST_F(ReadConfig, APageThatHoldsNoConfigurationIsAFailure) {
  // A QR25 whose loop alarm word holds a code the model does not know.
  link::sim::SimOptions options;
  options.identity = *link::sim::ShippedIdentity("qr25");
  link::sim::CSimSensor unit(options, std::chrono::steady_clock::now());
  unit.Page(1)[20] = 99;
  const fs::path state = home_ / "unit.state";
  ASSERT_TRUE(unit.SaveState(state));
  link::sim::SimProcess sim(TOLVANE_SIM_PATH, {"--state", state.string()});
  ASSERT_TRUE(sim.Running());
  const auto [rc, out] = Run("read-config", sim.root());
  EXPECT_EQ(rc, 1);
  EXPECT_NE(out.find("  Loop Alarm:            <Select>\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Configuration:  Several configurations match"), std::string::npos) << out;

  // Without an adapter nothing can be read.
  test::TempDir emptyRoot;
  fs::create_directories(emptyRoot / "sys/class/tty");
  EXPECT_EQ(Run("read-config", emptyRoot.path()).first, 1);
}

}  // namespace
}  // namespace tolvane
