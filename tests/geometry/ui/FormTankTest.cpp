// The configuration form's Tank Shapes button on a simulated QR27: a
// horizontal cylinder chosen and dimensioned through the windows, the heights
// from the calculation with their boxes disabled, levels in volume units and
// back, and no shape again.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include "config/ui/FormRig.h"
#include "geometry/ui/TankDialogs.h"

namespace tolvane::geometry {
namespace {

// Answers the picker and the dimension form as they open.
class Answerer : public QObject {
 public:
  std::function<void(CNonLinear2&)> picker;
  std::function<void(CDimensionForm&)> dimensions;
  Answerer() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible()) {
          continue;
        }
        if (auto* p = qobject_cast<CNonLinear2*>(w)) {
          picker(*p);
        } else if (auto* d = qobject_cast<CDimensionForm*>(w)) {
          dimensions(*d);
        }
      }
    });
    timer_.start();
  }

 private:
  QTimer timer_;
};

TEST(FormTank, ChooseAHorizontalCylinderAndUseVolumeUnits) {
  test::FormRig rig("qr27");
  rig.core->folders.components = TOLVANE_TEST_COMPONENTS_DIR;
  CGenericForm& form = rig.Form();
  auto* button = rig.Control<QPushButton>(CGenericForm::IDC_NONLINEAR);
  ASSERT_NE(button, nullptr);
  EXPECT_TRUE(button->isEnabled());
  EXPECT_EQ(button->text(), "Tank Shapes");
  auto* units = rig.Control<QComboBox>(CGenericForm::IDC_UNITS);
  ASSERT_EQ(units->count(), 5);

  Answerer answer;
  answer.picker = [](CNonLinear2& p) {
    p.Tabs()->setCurrentIndex(0);
    p.Pages()[0]->List()->setCurrentRow(0);
    FindControlAs<QPushButton>(&p, RESULT_OK)->click();
  };
  answer.dimensions = [](CDimensionForm& d) {
    FindControlAs<QComboBox>(&d, CDimensionForm::IDC_UNITS)->setCurrentIndex(0);  // inches
    FindControlAs<QLineEdit>(&d, 100)->setText("48");
    FindControlAs<QLineEdit>(&d, 101)->setText("120");
    FindControlAs<QLineEdit>(&d, 103)->setText("12");
    FindControlAs<QPushButton>(&d, RESULT_OK)->click();
  };
  form.OnNonLinear();
  const CONFIG_RECORD& r = rig.core->record;
  EXPECT_TRUE(form.NonLinear().on);
  EXPECT_EQ(form.NonLinear().structureType, 1);
  EXPECT_FLOAT_EQ(form.NonLinear().page.dimensions[0], 48.0f);
  // Heights in the form's unit from results 12 and 13.
  const double f = *config::HeightFactor(rig.core->tables.model, r);
  EXPECT_NEAR(r.fillHeight, 48.0 * 25.4 / f, 0.11);
  EXPECT_NEAR(r.sensorHeight, 60.0 * 25.4 / f, 0.11);
  EXPECT_FALSE(rig.Control<QLineEdit>(CGenericForm::IDC_SENSORHEIGHT)->isEnabled());
  EXPECT_FALSE(rig.Control<QLineEdit>(CGenericForm::IDC_FILLHEIGHT)->isEnabled());
  ASSERT_EQ(units->count(), 10);
  EXPECT_EQ(units->itemText(5), "Gallons");
  EXPECT_EQ(rig.messages.shown.size(), 0u);
  // Volume units are offered now and taken; a linear unit again after them.
  const double sensor = r.sensorHeight;
  form.OnUnitsChange(5);
  EXPECT_TRUE(r.volumeUnits);
  EXPECT_DOUBLE_EQ(r.sensorHeight, sensor);  // heights stay in the last linear unit
  form.OnUnitsChange(0);
  EXPECT_FALSE(r.volumeUnits);

  // No shape again: Reset in the picker... then OK with nothing selected.
  answer.picker = [](CNonLinear2& p) {
    for (CAlternatePage* page : p.Pages()) {
      page->List()->clearSelection();
    }
    FindControlAs<QPushButton>(&p, RESULT_OK)->click();
  };
  form.OnNonLinear();
  EXPECT_FALSE(form.NonLinear().on);
  EXPECT_TRUE(rig.Control<QLineEdit>(CGenericForm::IDC_SENSORHEIGHT)->isEnabled());
  EXPECT_EQ(units->count(), 5);
}

// A file saved with its levels in gallons opens in a form that has no tank
// shape yet: the shape's volume units are loaded before the file is read, so
// the levels stay gallons (not inches), and Write to Unit converts them
// through the tank's table.
TEST(FormTank, AFileWithLevelsInGallonsOpensInGallonsAndIsWritten) {
  test::TempDir keep;
  const std::filesystem::path file = keep / "tank.txt";
  std::array<double, kLevelRows> gallons{};
  {
    test::FormRig rig("qr27");
    rig.core->folders.components = TOLVANE_TEST_COMPONENTS_DIR;
    CGenericForm& form = rig.Form();
    Answerer answer;
    answer.picker = [](CNonLinear2& p) {
      p.Tabs()->setCurrentIndex(0);
      p.Pages()[0]->List()->setCurrentRow(0);
      FindControlAs<QPushButton>(&p, RESULT_OK)->click();
    };
    answer.dimensions = [](CDimensionForm& d) {
      FindControlAs<QComboBox>(&d, CDimensionForm::IDC_UNITS)->setCurrentIndex(0);
      FindControlAs<QLineEdit>(&d, 100)->setText("48");
      FindControlAs<QLineEdit>(&d, 101)->setText("120");
      FindControlAs<QLineEdit>(&d, 103)->setText("12");
      FindControlAs<QPushButton>(&d, RESULT_OK)->click();
    };
    form.OnNonLinear();
    form.OnUnitsChange(5);
    CONFIG_RECORD r = rig.core->record;
    ASSERT_TRUE(r.volumeUnits);
    r.level[5] = 300.0;
    r.level[4] = 250.0;
    r.level[1] = 60.0;
    r.level[0] = 20.0;
    gallons = r.level;
    ASSERT_TRUE(config::WriteConfigFile(file, rig.core->tables.model, r, form.NonLinear()));
  }

  test::FormRig rig("qr27");
  rig.core->folders.components = TOLVANE_TEST_COMPONENTS_DIR;
  CGenericForm& form = rig.Form();
  auto* units = rig.Control<QComboBox>(CGenericForm::IDC_UNITS);
  ASSERT_EQ(units->count(), 5) << "no tank shape yet";
  rig.files.choose = file;
  form.OnOpenConfigFile();
  EXPECT_TRUE(rig.messages.shown.empty()) << rig.messages.shown.front().first;
  const CONFIG_RECORD& r = rig.core->record;
  EXPECT_TRUE(form.NonLinear().on);
  EXPECT_TRUE(r.volumeUnits);
  EXPECT_EQ(units->currentText(), "Gallons");
  for (const int k : {5, 4, 1, 0}) {
    EXPECT_DOUBLE_EQ(r.level[static_cast<std::size_t>(k)], gallons[static_cast<std::size_t>(k)]) << k;
  }
  rig.messages.answer = RESULT_NO;  // no further unit
  form.OnWriteToUnit();
  EXPECT_TRUE(rig.errors.shown.empty()) << rig.errors.shown.front().first;
  EXPECT_EQ(rig.upload.serials.size(), 1u);
}

}  // namespace
}  // namespace tolvane::geometry

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
