// The tank geometry's windows offscreen: the picker's ways of closing, the
// dimension edits' filter and places, the refused dimensions, the curve
// view's sliders and the strapping table export.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

#include "common/Clock.h"
#include "defs/ModelTestSupport.h"
#include "geometry/ui/TankDialogs.h"

namespace tolvane::geometry {
namespace {

namespace fs = std::filesystem;

class NoBusy : public IBusyWindowFactory {
 public:
  std::unique_ptr<IBusyWindow> OpenBusyWindow() override { return std::make_unique<test::RecordingBusy>(); }
};

struct UiRig {
  test::TempDir home;
  fs::path models = home.path() / "Models";
  std::unique_ptr<test::ModelFixture> f;
  CComponentLoader loader{fs::path(TOLVANE_TEST_COMPONENTS_DIR)};
  NoBusy busy;
  test::RecordingMessages messages;
  SimulatedClock clock;
  CNonLinearData data;
  std::unique_ptr<TANK_UI> ui;
  UiRig() {
    fs::create_directories(models);
    for (const auto& e : fs::directory_iterator(fs::path(TOLVANE_SOURCE_DATA) / "Models")) {
      fs::copy_file(e.path(), models / e.path().filename());
    }
    f = std::make_unique<test::ModelFixture>(models);
    EXPECT_EQ(f->parser.LoadCorporateModel(), 1);
    EXPECT_EQ(f->language.Load("Tolvane_Language.txt"), 0);
    EXPECT_EQ(f->parser.LoadModelByName("QRModel_QR27", 0), 1);
    ui = std::make_unique<TANK_UI>(TANK_UI{f->parser, *f->tables, data, f->language, f->settings,
                                           fs::path(TOLVANE_SOURCE_DATA) / "Bitmaps", home.path(),
                                           CALCULATE_CONTEXT{loader, busy, messages, f->language, 0, clock, false}});
  }
};

void Shot(QWidget& w, const char* name) {
  if (const char* dir = std::getenv("TOLVANE_SHOTS")) {
    w.grab().save(QString(dir) + "/" + name + ".png");
  }
}

TEST(DimensionInput, KeyFilterAndPlaces) {
  EXPECT_TRUE(AcceptDimensionKey("12", '.'));
  EXPECT_FALSE(AcceptDimensionKey("12.5", '.'));
  EXPECT_FALSE(AcceptDimensionKey("", '-'));
  EXPECT_FALSE(AcceptDimensionKey("", ' '));
  EXPECT_FALSE(AcceptDimensionKey("", '/'));
  EXPECT_FALSE(AcceptDimensionKey("", ':'));
  EXPECT_FALSE(AcceptDimensionKey("", 'e'));
  EXPECT_TRUE(AcceptDimensionKey("12.5", 8));  // backspace
  const PLACE p = PlaceInClient(500, 250, 400, 300);
  EXPECT_EQ(p.x, 200);
  EXPECT_EQ(p.y, 75);
  EXPECT_DOUBLE_EQ(DimensionFromText(""), 0.0);
  EXPECT_DOUBLE_EQ(DimensionFromText("12.53"), 12.53);
}

TEST(DimensionForm, EditsFilterKeysAndRefusedDimensionsKeepTheForm) {
  UiRig rig;
  ASSERT_TRUE(LoadStructureDefinition(rig.f->parser, *rig.f->tables, 2, rig.data));
  rig.data.structureType = 2;
  CDimensionForm form(*rig.ui, nullptr);
  form.show();
  ASSERT_EQ(form.Windows().size(), 4u);
  auto* diameter = FindControlAs<QLineEdit>(&form, 100);
  ASSERT_NE(diameter, nullptr);
  // DIMWINDOW[1] = 80|300 on the 560 × 420 client.
  EXPECT_EQ(diameter->geometry().topLeft(), QPoint(44, 126 + 16));
  // Every label over the drawing shows its whole text within the form, the
  // long ones near the right edge too.
  for (const QLabel* label : form.findChildren<QLabel*>()) {
    if (label->text().isEmpty() || !label->pixmap().isNull()) {
      continue;
    }
    EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text())) << label->text().toStdString();
    EXPECT_GE(label->x(), 0) << label->text().toStdString();
    EXPECT_LE(label->geometry().right(), form.width()) << label->text().toStdString();
  }
  EXPECT_EQ(FindControlAs<QPushButton>(&form, CDimensionForm::IDC_VIEWCURVE)->text(),
            QString::fromStdString(rig.f->language.Text("IDC_VIEWCURVE", 0)));
  diameter->clear();
  QTest::keyClicks(diameter, "12.5.3");
  EXPECT_EQ(diameter->text(), "12.53");
  QTest::keyClicks(diameter, "-x ");
  EXPECT_EQ(diameter->text(), "12.53");
  auto* units = FindControlAs<QComboBox>(&form, CDimensionForm::IDC_UNITS);
  ASSERT_NE(units, nullptr);
  units->setCurrentIndex(1);  // feet
  diameter->setText("4");
  FindControlAs<QLineEdit>(&form, 101)->setText("10");
  FindControlAs<QLineEdit>(&form, 102)->setText("3");  // deeper than the radius
  Shot(form, "dimension_form");
  FindControlAs<QPushButton>(&form, RESULT_OK)->click();
  EXPECT_TRUE(form.isVisible());
  ASSERT_EQ(rig.messages.shown.size(), 1u);
  EXPECT_NE(rig.messages.shown[0].first.find("deeper than the radius"), std::string::npos);
  FindControlAs<QLineEdit>(&form, 102)->setText("1");
  FindControlAs<QLineEdit>(&form, 103)->setText("");  // an empty edit counts as 0
  FindControlAs<QPushButton>(&form, RESULT_OK)->click();
  EXPECT_EQ(form.result(), RESULT_OK);
  EXPECT_EQ(rig.data.dimensionUnit, 1);
  EXPECT_DOUBLE_EQ(rig.data.dimensionFactor, 12.0 * 25.4);
  EXPECT_DOUBLE_EQ(rig.data.dimensions[3], 0.0);
  EXPECT_TRUE(rig.data.On());
}

TEST(DimensionForm, ABadClassEndsTheFormWithCancel) {
  UiRig rig;
  ASSERT_TRUE(LoadStructureDefinition(rig.f->parser, *rig.f->tables, 4, rig.data));
  rig.data.clsid = "broken";
  CDimensionForm form(*rig.ui, nullptr);
  bool curveOpened = false;
  form.openCurve = [&curveOpened](const QString&) { curveOpened = true; };
  form.show();
  FindControlAs<QLineEdit>(&form, 100)->setText("1");
  FindControlAs<QPushButton>(&form, CDimensionForm::IDC_VIEWCURVE)->click();
  EXPECT_FALSE(curveOpened);
  EXPECT_EQ(form.result(), RESULT_CANCEL);
}

TEST(Picker, WaysOfClosing) {
  UiRig rig;
  rig.data.structureType = 4;  // the sphere: its tab is active and its picture selected
  {
    CNonLinear2 picker(*rig.ui, "Tank Shapes", nullptr);
    ASSERT_EQ(picker.Tabs()->count(), 3);
    picker.show();
    EXPECT_EQ(picker.Tabs()->currentIndex(), 1);
    CAlternatePage* spheres = picker.Pages()[1];
    EXPECT_EQ(spheres->List()->count(), 1);
    EXPECT_EQ(spheres->SelectedType(), std::optional<std::int16_t>(4));
    EXPECT_EQ(spheres->windowTitle(), rig.ui->Text("IDD_ALTERNATEPAGE"));
    picker.Tabs()->setCurrentIndex(0);
    Shot(picker, "picker");
    CAlternatePage* cylinders = picker.Pages()[0];
    cylinders->List()->setCurrentRow(1);
    // OK: the shown page with a selection applies; the spheres page, shown
    // but emptied, does not wipe it.
    spheres->List()->clearSelection();
    FindControlAs<QPushButton>(&picker, RESULT_OK)->click();
    EXPECT_EQ(picker.Closing(), PICKER_OK);
    EXPECT_EQ(picker.ChosenType(), 2);
  }
  {
    // OK with no selection on any shown page: no shape.
    CNonLinear2 picker(*rig.ui, "Tank Shapes", nullptr);
    picker.show();
    for (CAlternatePage* page : picker.Pages()) {
      page->List()->clearSelection();
    }
    FindControlAs<QPushButton>(&picker, RESULT_OK)->click();
    EXPECT_EQ(picker.ChosenType(), -1);
    EXPECT_EQ(rig.data.selectionCode, 0);
  }
  {
    CNonLinear2 picker(*rig.ui, "Tank Shapes", nullptr);
    picker.show();
    picker.Tabs()->setCurrentIndex(1);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&picker));
    QApplication::processEvents();
    CAlternatePage* page = picker.Pages()[1];
    auto* item = page->List()->item(0);
    ASSERT_NE(item, nullptr);
    const QRect r = page->List()->visualItemRect(item);
    QTest::mouseClick(page->List()->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(page->List()->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_EQ(picker.Closing(), PICKER_DOUBLE_CLICK);
    EXPECT_EQ(picker.ChosenType(), 4);
  }
  {
    CNonLinear2 picker(*rig.ui, "Tank Shapes", nullptr);
    picker.show();
    EXPECT_EQ(
        WithoutAccessKeys(FindControlAs<QPushButton>(&picker, CNonLinear2::IDC_RESETBUTTON)->text().toStdString()),
        "Reset");
    FindControlAs<QPushButton>(&picker, CNonLinear2::IDC_RESETBUTTON)->click();
    EXPECT_EQ(picker.Closing(), PICKER_RESET);
    EXPECT_EQ(picker.result(), QDialog::Accepted);
    EXPECT_EQ(picker.ChosenType(), 4);  // nothing applied
  }
  {
    CNonLinear2 picker(*rig.ui, "Tank Shapes", nullptr);
    picker.show();
    FindControlAs<QPushButton>(&picker, RESULT_CANCEL)->click();
    EXPECT_EQ(picker.Closing(), PICKER_CANCEL);
    EXPECT_EQ(picker.result(), QDialog::Rejected);
  }
}

TEST(Picker, CancelReportsAndKeepsTheStructure) {
  UiRig rig;
  rig.data.structureType = 1;
  QTimer::singleShot(0, [] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* p = qobject_cast<CNonLinear2*>(w); p != nullptr && p->isVisible()) {
        FindControlAs<QPushButton>(p, RESULT_CANCEL)->click();
      }
    }
  });
  const TANK_CHOICE c = ChooseTankStructure(*rig.ui, nullptr, 25.4);
  EXPECT_TRUE(c.cancelled);
  ASSERT_EQ(rig.messages.shown.size(), 1u);
  EXPECT_EQ(rig.messages.shown[0].first, rig.f->language.Text("ERROR_MESSAGE72", 0));
  EXPECT_EQ(rig.data.structureType, 1);
  // No busy window is left behind.
  for (QWidget* w : QApplication::topLevelWidgets()) {
    EXPECT_FALSE(w->isVisible()) << w->metaObject()->className();
  }
}

TEST(CurveView, SlidersFollowEachOtherThroughTheTable) {
  UiRig rig;
  ASSERT_TRUE(LoadStructureDefinition(rig.f->parser, *rig.f->tables, 2, rig.data));
  rig.data.dimensionFactor = 12.0 * 25.4;
  rig.data.baseFactor = 25.4;
  rig.data.dimensions = {4.0, 10.0, 1.0};
  ASSERT_EQ(rig.data.Calculate(rig.ui->calculate), CALC_OK);
  CViewCurve view(*rig.ui, "Feet", nullptr);
  view.show();
  QApplication::processEvents();
  // The export and print buttons read the language file's captions.
  EXPECT_EQ(FindControlAs<QPushButton>(&view, CViewCurve::IDC_EXPORTCSV)->text().toStdString(),
            rig.f->language.Text("IDC_EXPORTCSV", 0));
  EXPECT_EQ(FindControlAs<QPushButton>(&view, CViewCurve::IDC_PRINTTABLE)->text().toStdString(),
            rig.f->language.Text("IDC_PRINTTABLE", 0));
  EXPECT_EQ(rig.data.curveStart, rig.data.levelRange[0]);
  EXPECT_DOUBLE_EQ(rig.data.curveStep, (rig.data.levelRange[4] - rig.data.levelRange[0]) / (rig.data.pointCount - 1));
  EXPECT_EQ(view.Graph()->Title().toStdString(), rig.data.curveCaption);
  EXPECT_EQ(view.LevelSlider()->maximum(), rig.data.maxRawLevel);
  EXPECT_EQ(view.VolumeSlider()->value(), 0xFFFF);
  // The graph fills the area right of the vertical slider and above the horizontal one.
  EXPECT_EQ(view.Graph()->geometry().left(), view.VolumeSlider()->geometry().right() + 10);
  EXPECT_EQ(view.Graph()->geometry().bottom() + 1, view.LevelSlider()->geometry().top() - 10);

  view.LevelSlider()->setValue(rig.data.maxRawLevel);
  const std::uint16_t last = rig.data.TableLevelToVolume(rig.data.maxRawLevel);
  EXPECT_EQ(view.VolumeSlider()->value(), 0xFFFF - last);
  EXPECT_EQ(view.Graph()->XText(), QString::asprintf("%3.5f", rig.data.maxRawLevel / rig.data.dimensionFactor));
  EXPECT_EQ(view.Graph()->YText().size(), 9);
  view.LevelSlider()->setValue(rig.data.maxRawLevel / 2);
  Shot(view, "curve_view");
  // Half the height of a horizontal cylinder holds half its volume.
  EXPECT_NEAR(0xFFFF - view.VolumeSlider()->value(), 32768, 120);

  // The volume slider drives the level slider; Gallons to Liters changes the text only.
  view.VolumeSlider()->setValue(0xFFFF - 1000);
  EXPECT_EQ(view.LevelSlider()->value(), rig.data.TableVolumeToLevel(1000));
  const QString gallons = view.Graph()->YText();
  FindControlAs<QComboBox>(&view, CViewCurve::IDC_VOLUMEUNITS)->setCurrentIndex(1);
  EXPECT_NE(view.Graph()->YText(), gallons);
  EXPECT_EQ(FindControlAs<QLabel>(&view, CViewCurve::IDC_VOLUMEUNIT)->text(), "Liters");

  // The painting: black ground, yellow axis, blue curve.
  const QImage image = view.Graph()->Render();
  EXPECT_EQ(image.pixelColor(2, 2), QColor(Qt::black));
  EXPECT_EQ(image.pixelColor(static_cast<int>(0.1 * image.width()), image.height() / 2), QColor(Qt::yellow));
  const QPointF mid = view.Graph()->Map(rig.data.curveStart + 120 * rig.data.curveStep,
                                        rig.data.RawToVolume(rig.data.table[120], false));
  bool blue = false;
  for (int dy = -2; dy <= 2; ++dy) {
    blue = blue || image.pixelColor(static_cast<int>(mid.x()), static_cast<int>(mid.y()) + dy) == QColor(Qt::blue);
  }
  EXPECT_TRUE(blue);

  // The export: one row per table point in the chosen volume unit.
  const fs::path csv = rig.home.path() / "table.csv";
  ASSERT_TRUE(view.ExportCsv(csv));
  const std::string text = test::ReadBytes(csv);
  EXPECT_EQ(text.rfind("\"Level (Feet)\",\"Volume (Liters)\"\n", 0), 0u);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), rig.data.pointCount + 1);
  EXPECT_FALSE(view.ExportCsv(rig.home.path() / "missing" / "table.csv"));
  EXPECT_NE(view.TableHtml().indexOf("<td align=right>"), -1);
}

TEST(CurveView, VolumeBeyondTheTable) {
  UiRig rig;
  rig.data.pointCount = 2;
  rig.data.step = 100;
  rig.data.table[0] = 0;
  rig.data.table[1] = 1000;
  rig.data.levelRange = {0, 0, 0, 0, 100};
  rig.data.maxRawLevel = 100;
  rig.data.volumeScale = 1.0f;
  CViewCurve view(*rig.ui, "Inches", nullptr);
  // Two points: the step is the whole range.
  EXPECT_DOUBLE_EQ(rig.data.curveStep, 100.0);
  const CURVE_POINT p = FromVerticalSlider(rig.data, 0xFFFF - 5000);
  EXPECT_EQ(p.rawLevel, 0xFFFF);
  view.VolumeSlider()->setValue(0xFFFF - 5000);
  EXPECT_EQ(view.LevelSlider()->value(), view.LevelSlider()->maximum());
}

}  // namespace
}  // namespace tolvane::geometry

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
