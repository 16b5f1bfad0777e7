// The shipped structure files through the catalogue, the calculation at form
// start with our component, the picker's tab limit and the strapping table.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/Clock.h"
#include "defs/ModelTestSupport.h"
#include "geometry/Structures.h"
#include "geometry/TankShapes.h"

namespace tolvane::geometry {
namespace {

namespace fs = std::filesystem;

class NoBusy : public IBusyWindowFactory {
 public:
  std::unique_ptr<IBusyWindow> OpenBusyWindow() override { return std::make_unique<test::RecordingBusy>(); }
};

class ShippedStructures : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(models_);
    for (const auto& e : fs::directory_iterator(fs::path(TOLVANE_SOURCE_DATA) / "Models")) {
      fs::copy_file(e.path(), models_ / e.path().filename());
    }
    f_ = std::make_unique<test::ModelFixture>(models_);
    ASSERT_EQ(f_->parser.LoadCorporateModel(), 1);
    ASSERT_EQ(f_->language.Load("Tolvane_Language.txt"), 0);
    ASSERT_EQ(f_->parser.LoadModelByName("QRModel_QR27", 0), 1);
  }
  CALCULATE_CONTEXT Context() { return {loader_, busy_, messages_, f_->language, 0, clock_, false}; }

  test::TempDir home_;
  fs::path models_ = home_.path() / "Models";
  std::unique_ptr<test::ModelFixture> f_;
  CComponentLoader loader_{fs::path(TOLVANE_TEST_COMPONENTS_DIR)};
  NoBusy busy_;
  test::RecordingMessages messages_;
  SimulatedClock clock_;
};

TEST_F(ShippedStructures, EveryShapeIsDefinedAndCalculates) {
  const double tpf = f_->model().baseFactor;
  EXPECT_DOUBLE_EQ(tpf, 25.4);
  const MODEL_TABLES saved = *f_->tables;
  const auto shapes = ListShapes(f_->parser, *f_->tables);
  ASSERT_EQ(shapes.size(), 5u);
  EXPECT_EQ(shapes[0].tabTitle, "Cylinders");
  EXPECT_EQ(shapes[4].tabTitle, "Rectangular");
  for (const SHAPE_CHOICE& s : shapes) {
    CNonLinearData d;
    ASSERT_TRUE(LoadStructureDefinition(f_->parser, *f_->tables, s.type, d)) << s.type;
    EXPECT_EQ(d.selectionCode, s.type);  // the shipped files use the type as the code
    EXPECT_EQ(f_->tables->model.volumeUnitNames[0], "Gallons");
    // Feet, so that the factor is the unit's times TPF.
    EXPECT_DOUBLE_EQ(DimensionFactor(f_->tables->dimensions, 1, tpf), 12.0 * tpf)
        << s.type << " " << f_->tables->dimensions.dimFactorCount << " " << f_->tables->dimensions.unitWindow;
    EXPECT_DOUBLE_EQ(DimensionFactor(f_->tables->dimensions, 9, tpf), tpf);
    d.dimensionUnit = 1;
    d.structureType = s.type;
    d.dimensions = {4.0, 5.0, 1.0, 1.0, 0.5};
    STRUCTURE_HEIGHTS h;
    ASSERT_EQ(RecalculateNonLinear(f_->parser, *f_->tables, d, Context(), tpf, &h), 0) << s.caption;
    EXPECT_TRUE(d.On());
    EXPECT_GT(h.sensorHeight, h.fillHeight - 0.05);
    EXPECT_GT(h.fillHeight, 11.9);  // at least the smallest height given (one foot), in inches
  }
  // A type no file defines: nothing changes, TANK_MESSAGE2 says so.
  CNonLinearData d;
  d.selectionCode = 9;
  EXPECT_FALSE(LoadStructureDefinition(f_->parser, *f_->tables, 77, d));
  EXPECT_EQ(d.selectionCode, 9);
  d.structureType = 77;
  EXPECT_EQ(RecalculateNonLinear(f_->parser, *f_->tables, d, Context(), tpf, nullptr), CALC_UNDEFINED_TYPE);
  ASSERT_FALSE(messages_.shown.empty());
  EXPECT_NE(messages_.shown.back().first.find("77"), std::string::npos);
  d.structureType = -1;
  EXPECT_EQ(RecalculateNonLinear(f_->parser, *f_->tables, d, Context(), tpf, nullptr), 0);
  EXPECT_FALSE(d.On());
  (void)saved;
}

TEST_F(ShippedStructures, BadIdentifiersInADefinitionFile) {
  test::WriteBytes(models_ / "QRModel_Shape_Bad.txt",
                   "CLSID = 3F6A2C81-7B4E-4D19-A5C3-91E08B7D2F4\nIID = 3F6A2C81-7B4E-4D19-A5C3-91E08B7D2F41\n"
                   "NLTYPEID[1] = 40\nSELECTID[1] = 4\n");
  test::WriteBytes(models_ / "QRModel_Shape_Bad2.txt",
                   "CLSID = 3F6A2C81-7B4E-4D19-A5C3-91E08B7D2F40\nIID = nonsense\nNLTYPEID[1] = 41\nSELECTID[1] = 4\n");
  test::WriteBytes(models_ / "QRModel_Shape_Bad3.txt",
                   "CLSID = 01234567-7B4E-4D19-A5C3-91E08B7D2F40\nIID = 3F6A2C81-7B4E-4D19-A5C3-91E08B7D2F41\n"
                   "NLTYPEID[1] = 42\nSELECTID[1] = 4\n");
  const double tpf = f_->model().baseFactor;
  CNonLinearData d;
  d.dimensions = {4.0};
  d.structureType = 40;
  EXPECT_EQ(RecalculateNonLinear(f_->parser, *f_->tables, d, Context(), tpf, nullptr), CALC_BAD_CLSID);
  EXPECT_EQ(messages_.shown.back().first, f_->language.Text("ERROR_MESSAGE14", 0));
  d.structureType = 41;
  EXPECT_EQ(RecalculateNonLinear(f_->parser, *f_->tables, d, Context(), tpf, nullptr), CALC_BAD_IID);
  EXPECT_EQ(messages_.shown.back().first, f_->language.Text("ERROR_MESSAGE71", 0));
  const auto count = messages_.shown.size();
  d.structureType = 42;  // a class the registry does not know: no message
  EXPECT_EQ(RecalculateNonLinear(f_->parser, *f_->tables, d, Context(), tpf, nullptr), CALC_NO_COMPONENT);
  EXPECT_EQ(messages_.shown.size(), count);
  EXPECT_FALSE(d.On());
}

TEST_F(ShippedStructures, AtMostTenPickerTabs) {
  std::string text;
  for (int i = 1; i <= 12; ++i) {
    text += "NONLINEAR[" + std::to_string(i) + "] = QRShapes_Cylinders.txt\n";
  }
  f_->parser.ResetModel();
  f_->parser.ParseModelText(text, "QRModel_Many.txt");
  EXPECT_EQ(PickerTabCount(f_->model()), 10);
  MODEL_DEFINITION m;
  m.nonLinearCount = 12;  // even a count past the table gives ten
  EXPECT_EQ(PickerTabCount(m), 10);
}

TEST(StrappingTable, RowsAndCsv) {
  CNonLinearData d;
  d.step = 10;
  d.pointCount = 3;
  d.table[1] = 100;
  d.table[2] = 300;
  d.maxRawLevel = 20;
  d.dimensionFactor = 4.0;
  d.displayOffset = 0.0f;
  d.displayScale = 0.5f;
  const auto rows = StrappingTable(d);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_DOUBLE_EQ(rows[1].level, 2.5);
  EXPECT_DOUBLE_EQ(rows[2].volume, 150.0);
  EXPECT_EQ(StrappingCsv(d, "Feet", "Gal\"lons"),
            "\"Level (Feet)\",\"Volume (Gal\"\"lons)\"\n0.000,0.0000\n2.500,50.0000\n5.000,150.0000\n");
}

}  // namespace
}  // namespace tolvane::geometry
