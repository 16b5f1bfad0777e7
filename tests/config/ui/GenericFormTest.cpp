// The configuration form offscreen: its start on a simulated unit of every
// shipped model, the item boxes' close-up, drop-down and typing, units,
// heights, Clear Screen, writing, files, help and the keyboard.
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "common/CheckedFormat.h"
#include "config/ConfigValues.h"
#include "config/Selection.h"
#include "config/ui/FormRig.h"
#include "shell/ui/DialogTestSupport.h"

namespace tolvane::test {
namespace {

using namespace tolvane::config;

std::string Utf8(const QString& s) { return s.toUtf8().toStdString(); }

class ShippedUnitForm : public ::testing::TestWithParam<const char*> {};

TEST_P(ShippedUnitForm, StartShowsWhatTheUnitHolds) {
  FormRig rig(GetParam());
  CGenericForm& form = rig.Form();
  const MODEL_DEFINITION& model = rig.core->tables.model;
  const CONFIG_RECORD& r = rig.core->record;

  ASSERT_TRUE(r.valid);
  ASSERT_TRUE(r.complete);
  const CONFIGURATION_ENTRY* c = ConfigurationAt(model, r.configIndex);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(Utf8(rig.Control<QLabel>(CGenericForm::IDC_STATUSLINE)->text()),
            Format("%s #%d", rig.Text("IDC_VALIDCFG"), c->number));
  // Each defined item box shows the decoded option; the others are hidden.
  for (int i = 0; i < kMaxItems; ++i) {
    auto* box = rig.Control<QComboBox>(CGenericForm::kItemBoxes[static_cast<std::size_t>(i)]);
    const CONFIG_ITEM& item = model.items[static_cast<std::size_t>(i)];
    EXPECT_EQ(box->isVisibleTo(&form), item.present) << i;
    if (item.present) {
      EXPECT_EQ(Utf8(box->currentText()),
                item.optionText[static_cast<std::size_t>(r.selection[static_cast<std::size_t>(i)])]);
    }
  }
  // Level rows with a label show their value; the others are hidden.
  for (int k = 0; k < kLevelRows; ++k) {
    auto* box = rig.Control<QLineEdit>(CGenericForm::kLevelBoxes[static_cast<std::size_t>(k)]);
    const bool used = !c->levelLabel[static_cast<std::size_t>(k)].empty();
    EXPECT_EQ(box->isVisibleTo(&form), used) << k;
    if (c->levelWord[static_cast<std::size_t>(k)] > 0) {
      EXPECT_EQ(Utf8(box->text()), FormatValue(r.level[static_cast<std::size_t>(k)]));
    }
  }
  EXPECT_EQ(Utf8(rig.Control<QLineEdit>(CGenericForm::IDC_SENSORHEIGHT)->text()), FormatValue(r.sensorHeight));
  EXPECT_EQ(Utf8(rig.Control<QLabel>(CGenericForm::IDC_PNSN)->text()),
            Format(rig.Text("IDC_PNSN"), r.modelName, r.serialNumber));
  EXPECT_TRUE(rig.Control<QPushButton>(CGenericForm::IDC_WRITETARGET)->isEnabled());
  EXPECT_FALSE(form.TankPicture().isNull());
  EXPECT_FALSE(form.Unsaved());
  EXPECT_NE(rig.Log().find("INITDIALOG->Test unit read:"), std::string::npos);
  EXPECT_TRUE(rig.errors.shown.empty());
  EXPECT_TRUE(rig.messages.shown.empty());
  Snapshot(form, std::string("configuration_form_") + GetParam());
}

INSTANTIATE_TEST_SUITE_P(EveryShippedUnit, ShippedUnitForm, ::testing::Values("qr25", "qr27", "qr30"));

// Chooses `text` in item `item` as the user does: the list opens, the entry
// is selected, the list closes.
void Choose(CGenericForm& form, FormRig& rig, int item, const std::string& text) {
  form.OnItemDropDown(item);
  auto* box = rig.Control<QComboBox>(CGenericForm::kItemBoxes[static_cast<std::size_t>(item)]);
  const int entry = box->findText(QString::fromStdString(text));
  ASSERT_GE(entry, 0) << text;
  box->setCurrentIndex(entry);
  form.OnItemCloseUp(item);
}

std::vector<std::string> EntryTexts(FormRig& rig, int item) {
  auto* box = rig.Control<QComboBox>(CGenericForm::kItemBoxes[static_cast<std::size_t>(item)]);
  std::vector<std::string> texts;
  for (int e = 0; e < box->count(); ++e) {
    texts.push_back(Utf8(box->itemText(e)));
  }
  return texts;
}

TEST(ConfigurationForm, ChoicesNarrowTheBoxesAndFindOneConfiguration) {
  FormRig rig("qr27");
  CGenericForm& form = rig.Form();
  form.OnClearScreen();
  const CONFIG_RECORD& r = rig.core->record;
  EXPECT_FALSE(r.valid);
  EXPECT_FALSE(rig.Control<QPushButton>(CGenericForm::IDC_WRITETARGET)->isEnabled());
  // Relay 1 as a pump: relay 2 can no longer be a second pump, and the
  // status asks for more.
  Choose(form, rig, 2, "Pump Down");
  EXPECT_EQ(r.configIndex, -1);
  const auto relay2 = EntryTexts(rig, 3);
  EXPECT_EQ(std::count(relay2.begin(), relay2.end(), "Disabled"), 1);
  EXPECT_EQ(std::count(relay2.begin(), relay2.end(), "Pump Down"), 0);
  for (const auto& [item, text] : std::vector<std::pair<int, std::string>>{
           {0, "Level"}, {1, "4-20 mA"}, {3, "Hi Alarm"}, {4, "Hold Last Value"}, {5, "De-energize"}, {6, "Fast"}}) {
    Choose(form, rig, item, text);
  }
  ASSERT_TRUE(r.valid);
  const CONFIGURATION_ENTRY* c = ConfigurationAt(rig.core->tables.model, r.configIndex);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->number, 6);
  EXPECT_EQ(Utf8(rig.Control<QLabel>(CGenericForm::IDC_STATUSLINE)->text()),
            Format("%s #%d", rig.Text("IDC_VALIDCFG"), 6));
  // The wiring diagram is there as soon as the configuration is; writing
  // waits for the heights and levels.
  EXPECT_TRUE(rig.Control<QPushButton>(CGenericForm::IDC_VIEWDRAWING)->isEnabled());
  rig.Control<QPushButton>(CGenericForm::IDC_VIEWDRAWING)->click();
  ASSERT_EQ(rig.opener.opened.size(), 1U);
  EXPECT_EQ(rig.opener.opened[0].filename(), "QR27_Wiring_PumpDown.pdf");
}

TEST(ConfigurationForm, AnOpenListOffersTheBoxesBelowAsIfItsItemWereNotChosen) {
  FormRig rig("qr27");
  CGenericForm& form = rig.Form();
  const CONFIG_RECORD& r = rig.core->record;
  const auto before = r.selection;
  const auto relay2Before = EntryTexts(rig, 3);
  // Relay 1's list opens: relay 2 offers what it offers with relay 1 open.
  form.OnItemDropDown(2);
  EXPECT_EQ(r.selection[2], 0);
  const auto relay2Open = EntryTexts(rig, 3);
  EXPECT_GT(relay2Open.size(), relay2Before.size());
  // Closing it on the same option restores everything.
  form.OnItemCloseUp(2);
  EXPECT_EQ(r.selection, before);
  EXPECT_EQ(EntryTexts(rig, 3), relay2Before);
  EXPECT_TRUE(r.valid);
}

TEST(ConfigurationForm, TypingFindsAnEntryByItsBeginningAndNonsenseIsReported) {
  FormRig rig("qr27");
  CGenericForm& form = rig.Form();
  const CONFIG_RECORD& r = rig.core->record;
  auto* box = rig.Control<QComboBox>(CGenericForm::kItemBoxes[6]);
  form.OnItemEditChange(6, QStringLiteral("s"));
  EXPECT_EQ(Utf8(box->currentText()), "Slow");
  EXPECT_EQ(r.selection[6], 3);
  form.OnItemEditChange(6, QStringLiteral("ME"));
  EXPECT_EQ(r.selection[6], 2);
  // Text that begins no entry stays in the box; closing the list reports it
  // and takes nothing.
  form.OnItemEditChange(6, QStringLiteral("Sideways"));
  EXPECT_EQ(Utf8(box->currentText()), "Sideways");
  form.OnItemCloseUp(6);
  ASSERT_EQ(rig.errors.shown.size(), 1U);
  EXPECT_EQ(rig.errors.shown[0].first, rig.Text("ERROR_MESSAGE9"));
  EXPECT_EQ(rig.errors.shown[0].second, Format(rig.Text("ERROR_MESSAGE10"), "Kestrine"));
  EXPECT_FALSE(r.valid);
  EXPECT_EQ(Utf8(box->currentText()), "Sideways");
}

TEST(ConfigurationForm, UnitsConvertTheShownValuesAndBecomeThePreference) {
  FormRig rig("qr27");
  CGenericForm& form = rig.Form();
  CONFIG_RECORD& r = rig.core->record;
  auto* sensor = rig.Control<QLineEdit>(CGenericForm::IDC_SENSORHEIGHT);
  sensor->setText(QStringLiteral("100"));
  form.StoreValue(7);
  EXPECT_DOUBLE_EQ(r.sensorHeight, 100.0);
  // Inches (25.4 counts) to millimetres (1 count): 100 in = 2540 mm.
  form.OnUnitsChange(2);
  EXPECT_EQ(Utf8(sensor->text()), "2540.0");
  EXPECT_EQ(rig.core->settings.prefUnits, "Millimeters");
  std::string stored;
  rig.core->store.ReadString("PREF_UNITS", stored);
  EXPECT_EQ(stored, "Millimeters");
  // A box that holds no number reads as 0.
  sensor->setText(QStringLiteral("abc"));
  form.StoreValue(7);
  EXPECT_DOUBLE_EQ(r.sensorHeight, 0.0);
}

TEST(ConfigurationForm, ClearScreenTakesTheHeightsOfTheDefaultFileAndKeepsTheNotes) {
  FormRig rig("qr27");
  CGenericForm& form = rig.Form();
  CONFIG_RECORD& r = rig.core->record;
  auto* notes = rig.Control<QWidget>(CGenericForm::IDC_NOTES);
  ASSERT_NE(notes, nullptr);
  r.sensorHeight = 1.0;
  form.OnClearScreen();
  EXPECT_FALSE(r.valid);
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(r.selection[static_cast<std::size_t>(i)], 0);
  }
  EXPECT_GT(r.sensorHeight, 1.0);
  EXPECT_GE(r.fillHeight, 0.0);
  EXPECT_EQ(rig.Control<QLineEdit>(CGenericForm::IDC_FILENAME)->text(), QString());
  EXPECT_FALSE(rig.Control<QWidget>(CGenericForm::kLevelBoxes[0])->isVisibleTo(&form));
}

TEST(ConfigurationForm, WriteToUnitWritesTheFormIntoTheUnit) {
  FormRig rig("qr27");
  CGenericForm& form = rig.Form();
  auto* sensor = rig.Control<QLineEdit>(CGenericForm::IDC_SENSORHEIGHT);
  sensor->setText(QStringLiteral("200.04"));
  form.StoreValue(7);
  rig.messages.answer = RESULT_NO;  // no further unit
  rig.Control<QPushButton>(CGenericForm::IDC_WRITETARGET)->click();
  EXPECT_TRUE(rig.errors.shown.empty());
  // Snapped, written, read back and shown.
  EXPECT_EQ(Utf8(sensor->text()), "200.0");
  const auto& page = rig.sensor->Page(1);
  EXPECT_EQ(page[2] | (page[3] << 8), ToCounts(25.4, 200.0));
  EXPECT_EQ(rig.upload.serials, (std::vector<std::int32_t>{270042}));
  EXPECT_NE(rig.Log().find("WRITETARGET->Successful Write:"), std::string::npos);
  EXPECT_TRUE(rig.Control<QPushButton>(CGenericForm::IDC_WRITETARGET)->isEnabled());
}

TEST(ConfigurationForm, SaveThenOpenRestoresTheForm) {
  FormRig rig("qr27");
  CGenericForm& form = rig.Form();
  CONFIG_RECORD& r = rig.core->record;
  rig.Control<QPlainTextEdit>(CGenericForm::IDC_NOTES)->setPlainText(QStringLiteral("Lift station 4"));
  rig.Control<QLineEdit>(CGenericForm::IDC_FILENAME)->setText(QStringLiteral("Lift"));
  form.OnSaveConfigFile();
  ASSERT_EQ(rig.files.proposed, (std::vector<std::string>{"Lift[0].txt"}));
  EXPECT_TRUE(std::filesystem::exists(rig.folders.configs / "Lift[0].txt"));
  EXPECT_FALSE(form.Unsaved());
  EXPECT_EQ(rig.messages.shown.back(),
            std::make_pair(Format(rig.Text("STATUS_MESSAGE42"), "Lift[0].txt"), static_cast<unsigned>(MB_INFO)));
  const CONFIG_RECORD saved = r;

  form.OnClearScreen();
  ASSERT_FALSE(r.valid);
  rig.files.choose = rig.folders.configs / "Lift[0].txt";
  form.OnOpenConfigFile();
  EXPECT_TRUE(r.valid);
  EXPECT_EQ(r.selection, saved.selection);
  EXPECT_EQ(r.level, saved.level);
  EXPECT_DOUBLE_EQ(r.sensorHeight, saved.sensorHeight);
  EXPECT_EQ(r.tankDescription, "Lift station 4");
  EXPECT_EQ(r.fileName, "Lift[0].txt");
  EXPECT_NE(rig.Log().find("LOADCONFIG->Config file 'Lift[0].txt' loaded"), std::string::npos);
  EXPECT_FALSE(rig.Control<QLabel>(CGenericForm::IDC_FILEDATE)->text().isEmpty());
  // Print hands the file to the print dialog.
  form.OnPrintConfigFile();
  EXPECT_EQ(rig.files.printed, (std::vector<std::filesystem::path>{rig.folders.configs / "Lift[0].txt"}));
}

// An Open that fails, for any reason, leaves the form as it was: the
// selections, the values, the advanced entries, the notes, the file name and
// the unsaved work (so that leaving the page still asks).
TEST(ConfigurationForm, AFailedOpenLeavesTheFormAsItWas) {
  FormRig rig("qr27");
  CGenericForm& form = rig.Form();
  CONFIG_RECORD& r = rig.core->record;
  ASSERT_TRUE(r.valid);
  for (std::size_t a = 0; a < 3; ++a) {
    r.advanced[a] = ADVANCED_SLOT{true, 5.0 + static_cast<double>(a)};
  }
  auto* sensor = rig.Control<QLineEdit>(CGenericForm::IDC_SENSORHEIGHT);
  sensor->setText(QStringLiteral("150.0"));
  form.StoreValue(7);
  ASSERT_TRUE(r.valid && r.complete);
  ASSERT_TRUE(form.Unsaved());
  auto* fileName = rig.Control<QLineEdit>(CGenericForm::IDC_FILENAME);
  fileName->setText(QStringLiteral("Pump Station"));
  const CONFIG_RECORD before = r;
  const QString levelShown = rig.Control<QLineEdit>(CGenericForm::IDC_LEVEL0)->text();

  auto unchanged = [&](const char* what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(r.selection, before.selection);
    EXPECT_EQ(r.configIndex, before.configIndex);
    EXPECT_TRUE(r.valid);
    EXPECT_TRUE(r.complete);
    EXPECT_DOUBLE_EQ(r.sensorHeight, 150.0);
    EXPECT_EQ(r.level, before.level);
    for (std::size_t a = 0; a < r.advanced.size(); ++a) {
      EXPECT_EQ(r.advanced[a].present, before.advanced[a].present) << "advanced entry " << a;
      EXPECT_EQ(r.advanced[a].value, before.advanced[a].value) << "advanced entry " << a;
    }
    EXPECT_EQ(r.factorySerial, before.factorySerial);
    EXPECT_EQ(r.firmwareName, before.firmwareName);
    EXPECT_EQ(r.fileName, before.fileName);
    EXPECT_TRUE(form.Unsaved());
    EXPECT_EQ(fileName->text(), QStringLiteral("Pump Station"));
    EXPECT_EQ(sensor->text(), QStringLiteral("150.0"));
    EXPECT_EQ(rig.Control<QLineEdit>(CGenericForm::IDC_LEVEL0)->text(), levelShown);
  };

  // A file of another model: its serial and firmware come before the MODEL line.
  rig.files.choose = rig.folders.configs / "QR25_Factory.cfg";
  form.OnOpenConfigFile();
  ASSERT_EQ(rig.messages.shown.size(), 2U);
  EXPECT_EQ(rig.messages.shown[0], std::make_pair(rig.Text("ERROR_MESSAGE54"), static_cast<unsigned>(MB_ERROR)));
  EXPECT_EQ(rig.messages.shown[1], std::make_pair(rig.Text("ERROR_MESSAGE53"), static_cast<unsigned>(MB_ERROR)));
  unchanged("another model");

  // A file that cannot be read.
  rig.files.choose = rig.folders.configs / "missing.txt";
  form.OnOpenConfigFile();
  EXPECT_EQ(rig.messages.shown.back(), std::make_pair(rig.Text("ERROR_MESSAGE53"), static_cast<unsigned>(MB_ERROR)));
  unchanged("no file");
  EXPECT_NE(rig.Log().find("LOADCONFIG->Error opening config file:  " + rig.Text("ERROR_MESSAGE53")),
            std::string::npos);
}

TEST(ConfigurationForm, FactoryConfigLoadsTheDefaultFileAndPrintingThenAsksForAFile) {
  FormRig rig("qr27");
  CGenericForm& form = rig.Form();
  form.OnClearScreen();
  form.OnFactoryConfig();
  const CONFIG_RECORD& r = rig.core->record;
  EXPECT_TRUE(r.valid);
  EXPECT_TRUE(r.complete);
  EXPECT_EQ(r.fileName, (rig.folders.configs / "QR27_Factory.cfg").string());
  EXPECT_NE(rig.Log().find("LOADCONFIG->Default Config file 'QR27_Factory.cfg' loaded"), std::string::npos);
  form.OnPrintConfigFile();
  EXPECT_TRUE(rig.files.printed.empty());
  EXPECT_EQ(rig.messages.shown.back().first, "First open a configuration file to print");
}

TEST(ConfigurationForm, DemonstrationStartsAtThePromptsAndTheTimerLoadsTheDefaults) {
  FormRig rig("");
  CGenericForm& form = rig.Form();
  const CONFIG_RECORD& r = rig.core->record;
  EXPECT_FALSE(r.valid);
  form.OnDemonstrationTimer();
  EXPECT_TRUE(r.valid);
  // No unit to write into: only the message.
  rig.Control<QPushButton>(CGenericForm::IDC_WRITETARGET)->click();
  ASSERT_EQ(rig.messages.shown.size(), 1U);
  EXPECT_EQ(rig.messages.shown[0].first, rig.Text("STATUS_MESSAGE9"));
  Snapshot(form, "configuration_form_demo");
}

TEST(ConfigurationForm, LeavingWithUnsavedWorkAsks) {
  FormRig rig("qr27");
  CGenericForm& form = rig.Form();
  EXPECT_TRUE(form.CanLeave());
  auto* sensor = rig.Control<QLineEdit>(CGenericForm::IDC_SENSORHEIGHT);
  sensor->setText(QStringLiteral("150"));
  form.StoreValue(7);
  ASSERT_TRUE(form.Unsaved());
  rig.messages.answer = RESULT_NO;
  EXPECT_FALSE(form.CanLeave());
  EXPECT_EQ(rig.messages.shown.back(), std::make_pair(rig.Text("STATUS_MESSAGE27"), static_cast<unsigned>(MB_YESNO)));
  rig.messages.answer = RESULT_YES;
  EXPECT_TRUE(form.CanLeave());
}

TEST(ConfigurationForm, RightClickAndF1AskForTheControlsTopic) {
  FormRig rig("qr27");
  CGenericForm& form = rig.Form();
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  auto* units = rig.Control<QComboBox>(CGenericForm::IDC_UNITS);
  QTest::mouseClick(units, Qt::RightButton);
  // The item box's edit field speaks for its box.
  auto* item = rig.Control<QComboBox>(CGenericForm::kItemBoxes[1]);
  QTest::mouseClick(item->lineEdit(), Qt::RightButton);
  auto* sensor = rig.Control<QLineEdit>(CGenericForm::IDC_SENSORHEIGHT);
  sensor->setFocus();
  QTest::keyClick(sensor, Qt::Key_F1);
  EXPECT_EQ(rig.help.controls, (std::vector<int>{CGenericForm::IDC_UNITS, 1007, CGenericForm::IDC_SENSORHEIGHT}));
}

TEST(ConfigurationForm, EnterMovesOnAndEscapeStaysOnThePage) {
  FormRig rig("qr27");
  CGenericForm& form = rig.Form();
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  auto* sensor = rig.Control<QLineEdit>(CGenericForm::IDC_SENSORHEIGHT);
  sensor->setFocus();
  sensor->setText(QStringLiteral("123.4"));
  QTest::keyClick(sensor, Qt::Key_Return);
  EXPECT_FALSE(sensor->hasFocus());
  // Leaving the box stored its value.
  EXPECT_DOUBLE_EQ(rig.core->record.sensorHeight, 123.4);
  // Enter in the file name box opens a file.
  auto* name = rig.Control<QLineEdit>(CGenericForm::IDC_FILENAME);
  name->setFocus();
  rig.files.choose.clear();
  QTest::keyClick(name, Qt::Key_Escape);
  EXPECT_FALSE(name->hasFocus());
  EXPECT_TRUE(form.isVisible());
}

TEST(ConfigurationForm, AChoiceWithTheArrowKeysReachesTheRecord) {
  FormRig rig("qr27");
  CGenericForm& form = rig.Form();
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  const CONFIG_RECORD& r = rig.core->record;
  auto* speed = rig.Control<QComboBox>(CGenericForm::kItemBoxes[6]);
  speed->setFocus();
  const std::int32_t before = r.selection[6];
  QTest::keyClick(speed, Qt::Key_Down);
  EXPECT_EQ(r.selection[6], before + 1);
  EXPECT_EQ(Utf8(speed->currentText()),
            rig.core->tables.model.items[6].optionText[static_cast<std::size_t>(r.selection[6])]);
}

TEST(ConfigurationForm, AModelWithoutItemsShowsAnEmptyFormWithoutHarm) {
  FormRig rig("");
  MODEL_DEFINITION& model = rig.core->tables.model;
  for (CONFIG_ITEM& item : model.items) {
    item.present = false;
  }
  model.itemCount = 0;
  model.configurationCount = 0;
  for (CONFIGURATION_ENTRY& c : model.configurations) {
    c.present = false;
  }
  CGenericForm& form = rig.Form();
  EXPECT_FALSE(rig.core->record.valid);
  for (int id : CGenericForm::kItemBoxes) {
    EXPECT_FALSE(rig.Control<QWidget>(id)->isVisibleTo(&form));
  }
  form.OnClearScreen();
  form.OnWiringDiagram();
  EXPECT_EQ(rig.messages.shown.back().first, rig.Text("ERROR_MESSAGE58"));
  EXPECT_FALSE(rig.Control<QPushButton>(CGenericForm::IDC_WRITETARGET)->isEnabled());
}

}  // namespace
}  // namespace tolvane::test
