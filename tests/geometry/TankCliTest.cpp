// tolvane-cli tank shapes and tank table, end to end on a portable tree.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "support/TestSupport.h"

namespace tolvane::test {
namespace {

TEST(TankCli, ShapesAndTables) {
  PortableHome home;
  const auto [rc, out] = home.RunCli("tank shapes --model QRModel_QR27");
  EXPECT_EQ(rc, 0);
  EXPECT_NE(out.find("2      Cylinders        Horizontal Cylinder, Dished Ends"), std::string::npos) << out;
  EXPECT_NE(out.find("5      Rectangular"), std::string::npos) << out;

  // 4 ft × 10 ft with 1 ft dished ends: 217147 + 28953 cubic inches = 1065.4 gallons.
  const auto [trc, csv] = home.RunCli("tank table --type 2 --dims 4,10,1 --dim-unit Feet --volume-unit Gallons --csv");
  ASSERT_EQ(trc, 0);
  std::istringstream lines(csv);
  std::string line, last;
  std::getline(lines, line);
  EXPECT_EQ(line, "\"Level (Feet)\",\"Volume (Gallons)\"");
  int rows = 0;
  while (std::getline(lines, line)) {
    last = line;
    ++rows;
  }
  EXPECT_EQ(rows, 245);
  const double full = std::stod(last.substr(last.find(',') + 1));
  EXPECT_NEAR(full, 1065.37, 0.1);

  // Liters by number, the plain listing.
  const auto [lrc, listing] = home.RunCli("tank table --type 4 --dims 1 --dim-unit Meters --volume-unit 2");
  EXPECT_EQ(lrc, 0);
  EXPECT_NE(listing.find("Sphere"), std::string::npos);
  EXPECT_NE(listing.find("523.5"), std::string::npos) << listing;  // pi/6 m³
}

TEST(TankCli, RefusedInput) {
  PortableHome home;
  EXPECT_EQ(home.RunCli("tank table --type 2 --dims 4,10,3 --dim-unit Feet").first, 4);  // end deeper than the radius
  EXPECT_NE(home.RunCliErrors("tank table --type 2 --dims 4,10,3").second.find("deeper than the radius"),
            std::string::npos);
  EXPECT_EQ(home.RunCli("tank table --type 4 --dims 0").first, 4);
  EXPECT_EQ(home.RunCli("tank table --type 4 --dims nan").first, 4);
  EXPECT_EQ(home.RunCli("tank table --type 99 --dims 1").first, 2);
  EXPECT_EQ(home.RunCli("tank table --type 4 --dims 1,x").first, 2);
  EXPECT_EQ(home.RunCli("tank table --type 4 --dims 1 --dim-unit Parsecs").first, 2);
  EXPECT_EQ(home.RunCli("tank table --type 4 --dims 1 --volume-unit 9").first, 2);
  EXPECT_EQ(home.RunCli("tank shapes --model QRModel_None").first, 2);
}

}  // namespace
}  // namespace tolvane::test
