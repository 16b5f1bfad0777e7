// The configuration form's service commands and test aids, offscreen on a
// simulated unit: what the file name box recognises, the memory dialogs it
// opens and what they write, today's service code, the support dialog with
// the contact record, the version, restarting, Test Configs and View Tanks.
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include "common/CheckedFormat.h"
#include "config/Selection.h"
#include "config/ServiceCommands.h"
#include "config/ui/FormRig.h"
#include "config/ui/TankPicture.h"
#include "link/ui/CalPages.h"
#include "link/ui/DirectEntry.h"
#include "link/ui/InfoMemory.h"
#include "net/ui/TechSupport.h"
#include "shell/ui/DialogTestSupport.h"

namespace tolvane::test {
namespace {

using namespace tolvane::config;

std::string Utf8(const QString& s) { return s.toUtf8().toStdString(); }

// Types `text` into the file name box and presses Enter.
void Type(FormRig& rig, const std::string& text) {
  auto* box = rig.Control<QLineEdit>(CGenericForm::IDC_FILENAME);
  box->setText(QString::fromStdString(text));
  box->setFocus();
  QTest::keyClick(box, Qt::Key_Return);
}

std::string BoxText(FormRig& rig) { return Utf8(rig.Control<QLineEdit>(CGenericForm::IDC_FILENAME)->text()); }

// The test's date (the rig's local time source gives a zeroed date).
std::string TodaysCode() { return ServiceCode(std::tm{}); }

std::uint16_t Word(const link::PageImage& page, int w) {
  return static_cast<std::uint16_t>(page[static_cast<std::size_t>(2 * w)] |
                                    (page[static_cast<std::size_t>(2 * w + 1)] << 8));
}

TEST(FormServiceCommands, SwitchedOffCommandsAreFileNames) {
  FormRig rig("qr27");
  rig.core->settings.kestrineMode = false;
  rig.core->settings.techSupport = false;
  rig.Form();
  const std::filesystem::path file = rig.folders.configs / rig.core->tables.model.defaultFile;
  ASSERT_TRUE(std::filesystem::exists(file));
  rig.files.choose = file;
  for (const std::string& text :
       {std::string("test configurations"), std::string("info memory"), std::string("tech support"), TodaysCode()}) {
    Type(rig, text);
    // The open-file dialog ran: the file it gave is loaded and named in the box.
    EXPECT_EQ(BoxText(rig), file.filename().string()) << text;
  }
  EXPECT_FALSE(rig.Control<QPushButton>(CGenericForm::IDC_TESTCONFIGS)->isVisibleTo(rig.form.get()));
  EXPECT_TRUE(rig.messages.shown.empty());
}

TEST(FormServiceCommands, TestConfigurationsShowsTheAidsAndTheServiceCodeIsShown) {
  FormRig rig("qr27");
  rig.core->settings.kestrineMode = true;
  CGenericForm& form = rig.Form();
  EXPECT_FALSE(rig.Control<QPushButton>(CGenericForm::IDC_VIEWTANKS)->isVisibleTo(&form));
  Type(rig, "Test Configurations");
  for (int id : {CGenericForm::IDC_TESTCONFIGS, CGenericForm::IDC_VIEWTANKS, CGenericForm::IDC_VIEWCOUNTER}) {
    EXPECT_TRUE(rig.Control<QWidget>(id)->isVisibleTo(&form)) << id;
  }
  EXPECT_EQ(BoxText(rig), "");

  Type(rig, "TECH SUPPORT");
  ASSERT_EQ(rig.messages.shown.size(), 1u);
  EXPECT_EQ(rig.messages.shown[0].first, Format(rig.Text("STATUS_MESSAGE40"), TodaysCode()));
  EXPECT_EQ(rig.messages.shown[0].second, MB_INFO);
  EXPECT_EQ(BoxText(rig), "");
}

TEST(FormServiceCommands, CalPagesOpensTheViewerOnThePageCacheInAnyCase) {
  FormRig rig("qr27");
  rig.Form();
  bool opened = false;
  WhenModalOpens([&](QDialog& d) {
    opened = true;
    EXPECT_EQ(ControlId(&d), link::CCalPages::IDD);
    EXPECT_EQ(Utf8(d.windowTitle()), rig.Text("IDD_CALPAGES"));
    auto* viewer = qobject_cast<link::CCalPages*>(&d);
    ASSERT_NE(viewer, nullptr);
    EXPECT_NE(viewer->Text().find(Format("000: 0x%04X", Word(rig.core->memory.Page(0), 0))), std::string::npos);
    Snapshot(d, "cal_pages_from_form");
    ClickControl(d, link::CCalPages::IDC_OK);
  });
  Type(rig, "cAL pAGES");
  EXPECT_TRUE(opened);
  EXPECT_EQ(BoxText(rig), "");
}

TEST(FormServiceCommands, DirectEntryWritesTheWordAndTheFormShowsThePageAgain) {
  FormRig rig("qr27");
  rig.Form();
  const MODEL_DEFINITION& model = rig.core->tables.model;
  const CONFIG_ITEM& item = model.items[0];
  ASSERT_TRUE(item.present);
  ASSERT_GE(item.optionCount, 3);
  const int word = item.wordIndex;
  // Item 0 takes option 2 through its word in the Customer page.
  const int value = item.optionCode[2];
  WhenModalOpens([&](QDialog& d) {
    FindControlAs<QLineEdit>(&d, link::CDirectEntry::IDC_ADDRESS)->setText(QString::number(word));
    FindControlAs<QLineEdit>(&d, link::CDirectEntry::IDC_VALUE)->setText(QString::number(value));
    ClickControl(d, link::CDirectEntry::IDC_UPDATE);
  });
  Type(rig, "direct entry");
  EXPECT_TRUE(rig.messages.shown.empty());
  EXPECT_EQ(Word(rig.sensor->Page(1), word), value);
  EXPECT_EQ(Word(rig.core->memory.Page(link::PAGE_CUSTOMER), word), value);
  EXPECT_EQ(rig.core->record.selection[0], 2);
  EXPECT_EQ(Utf8(rig.Control<QComboBox>(CGenericForm::kItemBoxes[0])->currentText()), item.optionText[2]);

  // A write that fails shows what was to be written; the cache keeps it.
  rig.sensor->Faults().noReady = true;
  WhenModalOpens([&](QDialog& d) {
    FindControlAs<QLineEdit>(&d, link::CDirectEntry::IDC_ADDRESS)->setText("200");
    FindControlAs<QLineEdit>(&d, link::CDirectEntry::IDC_VALUE)->setText("4660");
    ClickControl(d, link::CDirectEntry::IDC_FACTPAGE);
    ClickControl(d, link::CDirectEntry::IDC_UPDATE);
  });
  Type(rig, "Direct Entry");
  ASSERT_EQ(rig.messages.shown.size(), 1u);
  EXPECT_EQ(rig.messages.shown[0].first, Format(rig.Text("ERROR_MESSAGE77"), 4, 2, 200, 4660));
  EXPECT_EQ(rig.messages.shown[0].second, MB_ERROR);
  EXPECT_EQ(Word(rig.core->memory.Page(link::PAGE_FACTORY), 200), 4660);
  EXPECT_NE(Word(rig.sensor->Page(2), 200), 4660);
}

TEST(FormServiceCommands, InfoMemoryReadsEditsAndWritesTheInformationMemory) {
  FormRig rig("qr27");
  rig.core->settings.kestrineMode = true;
  rig.Form();
  WhenModalOpens([&](QDialog& d) {
    EXPECT_EQ(ControlId(&d), link::CInfoMemory::IDD);
    FindControlAs<QLineEdit>(&d, link::CInfoMemory::IDC_HWSERIAL)->setText("65538");
    FindControlAs<QLineEdit>(&d, link::CInfoMemory::IDC_CALDONE)->setText("0x00FF");
    Snapshot(d, "info_memory_from_form");
    ClickControl(d, link::CInfoMemory::IDC_UPDATE);
  });
  Type(rig, "info memory");
  EXPECT_TRUE(rig.messages.shown.empty());
  const auto& info = rig.sensor->InfoMemory();
  EXPECT_EQ(info[10] | (info[11] << 8), 1);  // words 5 and 6: 65538 = 1 * 65536 + 2
  EXPECT_EQ(info[12] | (info[13] << 8), 2);
  EXPECT_EQ(info[30], 0xFF);
  EXPECT_EQ(rig.core->memory.Info(), info);

  // Cancel writes nothing.
  const auto before = info;
  WhenModalOpens([&](QDialog& d) {
    FindControlAs<QLineEdit>(&d, link::CInfoMemory::IDC_TCAL)->setText("0x1234");
    ClickControl(d, link::CInfoMemory::IDC_CANCEL);
  });
  Type(rig, "info memory");
  EXPECT_EQ(rig.sensor->InfoMemory(), before);

  // A write the unit refuses.
  rig.sensor->Faults().statusByte = 3;
  rig.sensor->Faults().statusCommand = link::CMD_COPY_SCRATCH_INFO;
  WhenModalOpens([&](QDialog& d) { ClickControl(d, link::CInfoMemory::IDC_UPDATE); });
  Type(rig, "info memory");
  ASSERT_EQ(rig.messages.shown.size(), 1u);
  EXPECT_EQ(rig.messages.shown[0].first, Format(rig.Text("ERROR_MESSAGE76"), 9));

  // An unreadable information memory: the message, no dialog.
  rig.sensor->Faults().statusCommand = link::CMD_READ_INFO;
  rig.messages.shown.clear();
  Type(rig, "info memory");
  ASSERT_EQ(rig.messages.shown.size(), 1u);
  EXPECT_EQ(rig.messages.shown[0].first, "Error reading info memory");
  EXPECT_EQ(rig.messages.shown[0].second, MB_ERROR);
}

TEST(FormServiceCommands, TodaysCodeOpensTheSupportDialogWhichKeepsTheContact) {
  FormRig rig("qr27");
  rig.core->settings.techSupport = true;
  rig.Form();
  rig.messages.answer = RESULT_NO;
  WhenModalOpens([&](QDialog& d) {
    EXPECT_EQ(ControlId(&d), net::CTechSupport::IDD);
    FindControlAs<QLineEdit>(&d, net::CTechSupport::IDC_SERVER)->setText("mail.example.org");
    FindControlAs<QLineEdit>(&d, net::CTechSupport::IDC_NAME)->setText("Ann");
    ClickControl(d, net::CTechSupport::IDC_SEND);  // incomplete: "no" closes it
  });
  Type(rig, TodaysCode());
  ASSERT_EQ(rig.messages.shown.size(), 1u);
  EXPECT_TRUE(rig.messages.shown[0].first.starts_with("Data incomplete.\n\t- phone number\n"));
  EXPECT_EQ(rig.form->Contact().server, "mail.example.org");

  std::string shownServer;
  WhenModalOpens([&](QDialog& d) {
    shownServer = Utf8(FindControlAs<QLineEdit>(&d, net::CTechSupport::IDC_SERVER)->text());
    d.done(RESULT_CANCEL);
  });
  std::string lower = TodaysCode();
  lower[0] = 't';
  lower[1] = 's';
  Type(rig, lower);
  EXPECT_EQ(shownServer, "mail.example.org");
  EXPECT_EQ(BoxText(rig), "");

  // A new form starts with an empty record.
  rig.Form();
  EXPECT_EQ(rig.form->Contact().server, "");
}

TEST(FormServiceCommands, CodeRevisionAndRestart) {
  FormRig rig("qr27");
  // The form on a sheet of its own, as the main window holds it.
  QDialog sheet;
  auto* layout = new QVBoxLayout(&sheet);
  rig.form = std::make_unique<CGenericForm>(
      GENERIC_FORM_SERVICES{*rig.core, false, rig.help, rig.opener, rig.upload, rig.files, nullptr, &rig.notice},
      &sheet);
  layout->addWidget(rig.form.get());
  ASSERT_TRUE(rig.form->Start());
  sheet.show();

  Type(rig, "code revision");
  ASSERT_EQ(rig.messages.shown.size(), 1u);
  const auto v = VersionNumbers(TOLVANE_VERSION);
  ASSERT_TRUE(v);
  EXPECT_EQ(rig.messages.shown[0].first, Format(rig.Text("STATUS_MESSAGE41"), rig.core->tables.program.programId,
                                                (*v)[0], (*v)[1], (*v)[2], (*v)[3]));
  EXPECT_EQ(rig.messages.shown[0].second, MB_INFO);
  EXPECT_EQ(BoxText(rig), "");

  rig.core->settings.startPage = 1;
  Type(rig, "restart");
  EXPECT_EQ(sheet.result(), RESULT_OK);
  EXPECT_FALSE(sheet.isVisible());
  EXPECT_EQ(rig.core->settings.startPage, 0);
  rig.form.reset();  // before the sheet that holds it
}

TEST(FormTestAids, TestConfigsStepsThroughEveryConfigurationAndAround) {
  FormRig rig("qr27");
  rig.core->settings.kestrineMode = true;
  CGenericForm& form = rig.Form();
  Type(rig, "test configurations");
  const MODEL_DEFINITION& model = rig.core->tables.model;
  const int count = ConfigurationSlots(model);
  ASSERT_GE(count, 3);
  for (int click = 0; click <= count; ++click) {
    const int position = click % count + 1;
    rig.Control<QPushButton>(CGenericForm::IDC_TESTCONFIGS)->click();
    const CONFIGURATION_ENTRY* c = ConfigurationAt(model, position - 1);
    ASSERT_NE(c, nullptr);
    for (int i = 0; i < kMaxItems; ++i) {
      const auto at = static_cast<std::size_t>(i);
      if (!model.items[at].present) {
        continue;
      }
      const int expected = c->requiredOption[at] <= 0 ? 1 : c->requiredOption[at];
      EXPECT_EQ(rig.core->record.selection[at], expected) << "configuration " << position << " item " << i;
      EXPECT_EQ(Utf8(rig.Control<QComboBox>(CGenericForm::kItemBoxes[at])->currentText()),
                model.items[at].optionText[static_cast<std::size_t>(expected)]);
    }
    EXPECT_TRUE(rig.core->record.valid) << position;
  }
  Snapshot(form, "test_configs");
}

TEST(FormTestAids, ViewTanksCountsThroughTheOverlaysAndTheCountersOutliveTheForm) {
  FormRig rig("qr27");
  TEST_AID_COUNTERS counters;
  auto makeForm = [&] {
    rig.form = std::make_unique<CGenericForm>(GENERIC_FORM_SERVICES{*rig.core, false, rig.help, rig.opener, rig.upload,
                                                                    rig.files, nullptr, &rig.notice, &counters},
                                              nullptr);
    EXPECT_TRUE(rig.form->Start());
  };
  makeForm();
  CTankPictureComposer pictures(rig.core->tables.images, rig.folders.bitmaps, rig.messages, rig.core->language, 0,
                                rig.form->palette().color(QPalette::Window));
  auto* tank = rig.Control<CPictureBox>(CGenericForm::IDC_TANKPICTURE);
  auto* counter = rig.Control<QLabel>(CGenericForm::IDC_VIEWCOUNTER);
  rig.form->OnViewTanks();
  EXPECT_EQ(counter->text(), "0");
  EXPECT_EQ(tank->Picture(), pictures.ViewTanksPicture(0));
  rig.form->OnViewTanks();
  EXPECT_EQ(counter->text(), "1");
  EXPECT_EQ(tank->Picture(), pictures.ViewTanksPicture(1));
  EXPECT_NE(tank->Picture(), pictures.ViewTanksPicture(0));

  // The next form of the run goes on counting.
  counters.picture = 255;
  makeForm();
  tank = rig.Control<CPictureBox>(CGenericForm::IDC_TANKPICTURE);
  counter = rig.Control<QLabel>(CGenericForm::IDC_VIEWCOUNTER);
  rig.form->OnViewTanks();
  EXPECT_EQ(counter->text(), "255");
  rig.form->OnViewTanks();
  EXPECT_EQ(counter->text(), "0");
  EXPECT_EQ(tank->Picture(), pictures.ViewTanksPicture(0));
  rig.form->OnTestConfigs();
  rig.form->OnTestConfigs();
  makeForm();
  rig.form->OnTestConfigs();
  EXPECT_EQ(counters.configuration, 4);
  EXPECT_TRUE(rig.messages.shown.empty());
}

TEST(FormCommands, AWiringDiagramTheDesktopCannotOpenIsReportedAndLogged) {
  FormRig rig("qr27");
  rig.Form();
  rig.opener.result = false;
  ASSERT_TRUE(rig.core->record.valid);
  rig.form->OnWiringDiagram();
  ASSERT_EQ(rig.messages.shown.size(), 1u);
  EXPECT_EQ(rig.messages.shown[0].first, rig.Text("ERROR_MESSAGE59"));
  EXPECT_EQ(rig.messages.shown[0].second, MB_ERROR);
  ASSERT_EQ(rig.opener.opened.size(), 1u);
  EXPECT_EQ(rig.opener.opened[0].parent_path(), rig.folders.drawings);
  EXPECT_NE(rig.Log().find("VIEWDWG->Error opening drawing file " + rig.opener.opened[0].string()), std::string::npos);
}

}  // namespace
}  // namespace tolvane::test
