// The configuration form's keyboard, hints and layout: every button has a
// tooltip and an access key in both languages, the standard keys press their
// buttons, the boxes are wide enough for every entry they can hold, and the
// columns stay where they are when the texts in them change.
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTest>

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "config/Selection.h"
#include "config/UnitsChange.h"
#include "config/ui/FormRig.h"
#include "shell/ui/DialogTestSupport.h"

namespace tolvane::test {
namespace {

std::string Utf8(const QString& s) { return s.toUtf8().toStdString(); }

// The tooltip key of each button of the form.
const std::map<int, const char*>& TooltipKeys() {
  static const std::map<int, const char*> keys{
      {CGenericForm::IDC_WRITETARGET, "TIP_WRITETARGET"},
      {CGenericForm::IDC_VIEWDRAWING, "TIP_VIEWDRAWING"},
      {CGenericForm::IDC_ADVANCED, "TIP_ADVANCED"},
      {CGenericForm::IDC_DEFAULTCFG, "TIP_DEFAULTCFG"},
      {CGenericForm::IDC_RESET, "TIP_RESET"},
      {CGenericForm::IDC_OPENFILE, "TIP_OPENFILE"},
      {CGenericForm::IDC_SAVEFILE, "TIP_SAVEFILE"},
      {CGenericForm::IDC_PRINTFILE, "TIP_PRINTFILE"},
      {CGenericForm::IDC_NONLINEAR, "TIP_NONLINEAR"},
      {CGenericForm::IDC_TESTCONFIGS, "TIP_TESTCONFIGS"},
      {CGenericForm::IDC_VIEWTANKS, "TIP_VIEWTANKS"},
  };
  return keys;
}

// The access key of a caption: the character after a single "&".
QChar AccessKey(const QString& caption) {
  for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (caption[i + 1] == '&') {
        ++i;
        continue;
      }
      return caption[i + 1].toLower();
    }
  }
  return {};
}

class FormInLanguage : public ::testing::TestWithParam<int> {};

TEST_P(FormInLanguage, EveryButtonHasATooltipAndEveryCaptionAnAccessKeyOfItsOwn) {
  FormRig rig("qr27");
  rig.core->settings.languageNumber = GetParam();
  CGenericForm& form = rig.Form();
  const CLanguageFile& language = rig.core->language;

  const auto buttons = form.findChildren<QPushButton*>();
  ASSERT_GE(buttons.size(), static_cast<qsizetype>(TooltipKeys().size()));
  std::map<QChar, std::vector<std::string>> keys;
  for (QPushButton* button : buttons) {
    const int id = ControlId(button);
    const auto tip = TooltipKeys().find(id);
    ASSERT_NE(tip, TooltipKeys().end()) << "a button without a tooltip key: " << id << " " << Utf8(button->text());
    const std::string expected = language.Text(tip->second, GetParam());
    ASSERT_FALSE(expected.empty()) << tip->second;
    EXPECT_EQ(Utf8(button->toolTip()).substr(0, expected.size()), expected) << id;
    // The button's caption is the language file's, with its access key.
    if (id != CGenericForm::IDC_NONLINEAR) {  // the model may name this one
      EXPECT_FALSE(AccessKey(button->text()).isNull()) << Utf8(button->text());
    }
    if (!AccessKey(button->text()).isNull() && button->isVisibleTo(&form)) {
      keys[AccessKey(button->text())].push_back(Utf8(button->text()));
    }
  }
  // The labels of the boxes carry access keys that move to their boxes.
  for (const int id : {CGenericForm::IDC_UNITLABEL, CGenericForm::IDC_SHLABEL, CGenericForm::IDC_FHLABEL,
                       CGenericForm::IDC_CFLABEL, CGenericForm::IDC_DSLABEL}) {
    auto* label = rig.Control<QLabel>(id);
    ASSERT_NE(label, nullptr) << id;
    EXPECT_NE(label->buddy(), nullptr) << id;
    ASSERT_FALSE(AccessKey(label->text()).isNull()) << Utf8(label->text());
    keys[AccessKey(label->text())].push_back(Utf8(label->text()));
  }
  for (const auto& [key, captions] : keys) {
    EXPECT_EQ(captions.size(), 1U) << "access key " << Utf8(QString(key)) << " taken by " << captions.front() << " and "
                                   << captions.back();
  }
  // The keys of the commands are named in their tooltips.
  EXPECT_NE(rig.Control<QPushButton>(CGenericForm::IDC_OPENFILE)->toolTip().indexOf(QStringLiteral("Ctrl+O")), -1);
  EXPECT_NE(rig.Control<QPushButton>(CGenericForm::IDC_WRITETARGET)->toolTip().indexOf(QStringLiteral("F9")), -1);
}

INSTANTIATE_TEST_SUITE_P(EnglishAndGerman, FormInLanguage, ::testing::Values(0, 1));

TEST(FormKeyboard, TheStandardKeysPressTheirButtons) {
  FormRig rig("qr27");
  CGenericForm& form = rig.Form();
  form.show();
  QApplication::setActiveWindow(&form);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  QWidget* focus = rig.Control<QLineEdit>(CGenericForm::IDC_SENSORHEIGHT);
  focus->setFocus();

  // Ctrl+S: the name dialog of the save.
  QTest::keyClick(focus, Qt::Key_S, Qt::ControlModifier);
  ASSERT_EQ(rig.files.proposed.size(), 1U);
  const std::string saved = rig.files.proposed.front();
  EXPECT_TRUE(std::filesystem::exists(rig.folders.configs / saved));
  // Ctrl+P prints the file just saved.
  QTest::keyClick(focus, Qt::Key_P, Qt::ControlModifier);
  EXPECT_EQ(rig.files.printed, (std::vector<std::filesystem::path>{rig.folders.configs / saved}));
  // Ctrl+O opens the file the open dialog gives.
  form.OnClearScreen();
  ASSERT_FALSE(rig.core->record.valid);
  rig.files.choose = rig.folders.configs / saved;
  QTest::keyClick(focus, Qt::Key_O, Qt::ControlModifier);
  EXPECT_TRUE(rig.core->record.valid);
  EXPECT_EQ(rig.core->record.fileName, saved);
  // F9 writes to the unit (Write to Unit's own key).
  rig.messages.answer = RESULT_NO;  // no further unit
  const std::size_t before = rig.bridge.Written().size();
  QTest::keyClick(focus, Qt::Key_F9);
  EXPECT_GT(rig.bridge.Written().size(), before);
  EXPECT_TRUE(rig.errors.shown.empty());
  // A disabled button's key does nothing: no configuration, no save.
  form.OnClearScreen();
  ASSERT_FALSE(rig.Control<QPushButton>(CGenericForm::IDC_SAVEFILE)->isEnabled());
  QTest::keyClick(focus, Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(rig.files.proposed.size(), 1U);
  // F1 stays the control's own help on the form.
  QTest::keyClick(focus, Qt::Key_F1);
  EXPECT_EQ(rig.help.controls, (std::vector<int>{CGenericForm::IDC_SENSORHEIGHT}));
}

// The width of the field in which a combo box shows its text.
int FieldWidth(QComboBox* box) {
  QStyleOptionComboBox option;
  option.initFrom(box);
  option.editable = box->isEditable();
  option.frame = box->hasFrame();
  return box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box).width();
}

TEST(FormLayout, EveryBoxIsWideEnoughForItsLongestEntryInBothLanguages) {
  for (const char* unit : {"qr25", "qr27", "qr30"}) {
    FormRig rig(unit);
    CGenericForm& form = rig.Form();
    form.show();
    QApplication::processEvents();
    const MODEL_DEFINITION& model = rig.core->tables.model;
    const QString select[] = {QString::fromStdString(rig.core->language.Text("SELECTSTR", 0)),
                              QString::fromStdString(rig.core->language.Text("SELECTSTR", 1))};
    for (int i = 0; i < kMaxItems; ++i) {
      const CONFIG_ITEM& item = model.items[static_cast<std::size_t>(i)];
      if (!item.present) {
        continue;
      }
      auto* box = rig.Control<QComboBox>(CGenericForm::kItemBoxes[static_cast<std::size_t>(i)]);
      const QFontMetrics fm = box->fontMetrics();
      QString longest;
      for (const QString& text : select) {
        longest = fm.horizontalAdvance(text) > fm.horizontalAdvance(longest) ? text : longest;
      }
      for (int o = 0; o < config::OptionSlots(item); ++o) {
        const QString text = QString::fromStdString(item.optionText[static_cast<std::size_t>(o)]);
        longest = fm.horizontalAdvance(text) > fm.horizontalAdvance(longest) ? text : longest;
      }
      EXPECT_GE(FieldWidth(box), fm.horizontalAdvance(longest)) << unit << " item " << i << ": " << Utf8(longest);
    }
    auto* units = rig.Control<QComboBox>(CGenericForm::IDC_UNITS);
    for (int e = 0; e < config::UnitsEntryCount(model); ++e) {
      const QString text = QString::fromStdString(config::UnitsEntryName(model, e));
      EXPECT_GE(FieldWidth(units), units->fontMetrics().horizontalAdvance(text)) << unit << ": " << Utf8(text);
    }
  }
}

// Where the form's columns stand: the left edges of the boxes and groups.
std::vector<int> ColumnEdges(FormRig& rig, CGenericForm& form) {
  std::vector<int> edges;
  for (const int id : std::initializer_list<int>{CGenericForm::kItemBoxes[0], CGenericForm::IDC_UNITS,
                                                 CGenericForm::IDC_SENSORHEIGHT, CGenericForm::IDC_TANKPICTURE,
                                                 CGenericForm::IDC_CONFIGWINDOW, CGenericForm::IDC_TANKWINDOW}) {
    QWidget* w = FindControl(&form, id);
    EXPECT_NE(w, nullptr) << id;
    edges.push_back(w == nullptr ? -1 : w->mapTo(&form, QPoint(0, 0)).x());
    edges.push_back(w == nullptr ? -1 : w->width());
  }
  (void)rig;
  return edges;
}

TEST(FormLayout, TextChangesLeaveTheColumnsWhereTheyAre) {
  FormRig rig("qr27");
  rig.core->settings.languageNumber = 1;  // the longer texts
  CGenericForm& form = rig.Form();
  form.show();
  // As narrow as the form can be without scrolling: any text that widened
  // a column would move the others.
  QWidget* content = form.findChild<QWidget*>(QStringLiteral("formContent"));
  ASSERT_NE(content, nullptr);
  form.resize(content->minimumSizeHint().width(), form.height());
  QApplication::processEvents();
  const std::vector<int> before = ColumnEdges(rig, form);

  // A status line far longer than the column.
  auto* status = rig.Control<QLabel>(CGenericForm::IDC_STATUSLINE);
  status->setText(QString(QStringLiteral("A status line that runs on and on ")).repeated(6));
  QApplication::processEvents();
  EXPECT_EQ(ColumnEdges(rig, form), before);

  // The status and the level labels as a new choice changes them.
  form.OnClearScreen();
  QApplication::processEvents();
  EXPECT_EQ(ColumnEdges(rig, form), before);
  for (const auto& [item, text] : std::vector<std::pair<int, std::string>>{{0, "Level"},
                                                                           {1, "4-20 mA"},
                                                                           {2, "Pump Down"},
                                                                           {3, "Hi Alarm"},
                                                                           {4, "Hold Last Value"},
                                                                           {5, "De-energize"},
                                                                           {6, "Fast"}}) {
    form.OnItemDropDown(item);
    auto* box = rig.Control<QComboBox>(CGenericForm::kItemBoxes[static_cast<std::size_t>(item)]);
    const int entry = box->findText(QString::fromStdString(text));
    ASSERT_GE(entry, 0) << text;
    box->setCurrentIndex(entry);
    form.OnItemCloseUp(item);
    QApplication::processEvents();
    EXPECT_EQ(ColumnEdges(rig, form), before) << "after " << text;
  }
  EXPECT_TRUE(rig.core->record.valid);

  // The file's date appears beside its name once a file is open.
  rig.files.choose = rig.folders.configs / rig.core->tables.model.defaultFile;
  ASSERT_TRUE(std::filesystem::exists(rig.files.choose));
  form.OnOpenConfigFile();
  QApplication::processEvents();
  EXPECT_FALSE(rig.Control<QLabel>(CGenericForm::IDC_FILEDATE)->text().isEmpty());
  EXPECT_EQ(ColumnEdges(rig, form), before);
  EXPECT_GT(rig.Control<QLineEdit>(CGenericForm::IDC_FILENAME)->width(), 100);
}

}  // namespace
}  // namespace tolvane::test
