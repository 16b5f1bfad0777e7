// The advanced entries dialog offscreen: control positions from the layout,
// the 500-pixel cap with its scroll bar, the filter with the bell, Update and
// Cancel on the working copy, help on a right click, and the button's frame.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include "config/ui/AdvancedForm.h"
#include "shell/ui/DialogSupport.h"
#include "shell/ui/DialogTestSupport.h"

namespace tolvane {
namespace {

MODEL_DEFINITION Model(int n) {
  MODEL_DEFINITION m;
  for (int r = 0; r < n; ++r) {
    ADVANCED_ENTRY& a = m.advanced[static_cast<std::size_t>(r)];
    a.label = "Entry " + std::to_string(r + 1);
    a.flagWord = 30;
    a.flagBit = r % 16 + 1;
    a.valueWord = r == 1 ? -1 : 31 + r;
    a.kind = r == 2 ? 2 : 1;
    a.secondText = "seconds";
    a.helpText = r == 0 ? "Averages\\nthe reading, 100%% of it" : (r == 1 ? "" : "One line");
  }
  m.advancedInputCount = n;
  m.advancedLast = n - 1;
  m.unitNames[0] = "Feet";
  m.unitFactors[0] = 304.8;
  m.unitsLast = 0;
  m.unitsCount = 1;
  return m;
}

struct Dialog {
  explicit Dialog(int n) : model(Model(n)) {
    copy[0] = {true, 2.5};
    form = std::make_unique<CAdvancedForm>(model, copy, "Feet", "Feet", test::ShippedLanguage(), settings,
                                           [this] { ++helps; });
  }
  template <typename W>
  W* C(int id) {
    return FindControlAs<W>(form.get(), id);
  }
  MODEL_DEFINITION model;
  APP_SETTINGS settings;
  std::array<ADVANCED_SLOT, kMaxAdvanced> copy{};
  std::unique_ptr<CAdvancedForm> form;
  int helps = 0;
};

// Texts wider than the layout's columns: the columns to their right move
// over and the dialog widens, so nothing is cut; help lines get the font's
// line spacing.
TEST(AdvancedForm, LongTextsAreShownWhole) {
  MODEL_DEFINITION m = Model(2);
  m.advanced[0].label = "Maximum Level Change per Second Allowed";
  m.advanced[0].secondText = "tenths of a percent of the span";
  m.advanced[0].helpText =
      "Readings that move faster than this are held back until the echo confirms them\\nsecond line";
  m.advanced[1].label = "Temperature Compensation Off";
  std::array<ADVANCED_SLOT, kMaxAdvanced> copy{};
  APP_SETTINGS settings;
  CAdvancedForm form(m, copy, "Feet", "Feet", test::ShippedLanguage(), settings, [] {});
  form.show();
  auto* check = FindControlAs<QCheckBox>(&form, 100);
  auto* number = FindControlAs<QLineEdit>(&form, 150);
  auto* units = FindControlAs<QLabel>(&form, 200);
  auto* help = FindControlAs<QLabel>(&form, 250);
  ASSERT_TRUE(check != nullptr && number != nullptr && units != nullptr && help != nullptr);
  EXPECT_GE(check->width(), check->sizeHint().width());
  EXPECT_GE(FindControlAs<QCheckBox>(&form, 101)->width(), FindControlAs<QCheckBox>(&form, 101)->sizeHint().width());
  EXPECT_GT(number->x(), check->geometry().right());
  EXPECT_GT(units->x(), number->geometry().right());
  EXPECT_GE(units->width(), units->fontMetrics().horizontalAdvance(units->text()));
  EXPECT_LE(units->geometry().right(), form.width());
  EXPECT_EQ(help->text().count('\n'), 1);
  EXPECT_GE(help->height(), 2 * help->fontMetrics().lineSpacing());
  EXPECT_GE(help->width(), help->fontMetrics().size(0, help->text()).width());
  EXPECT_LE(help->geometry().right(), form.width());
}

TEST(AdvancedForm, ControlsWhereTheLayoutPutsThem) {
  Dialog d(3);
  d.form->show();
  const config::ADVANCED_LAYOUT& l = d.form->Layout();
  ASSERT_EQ(l.rows.size(), 3u);
  auto* help0 = d.C<QLabel>(250);
  ASSERT_NE(help0, nullptr);
  EXPECT_EQ(help0->text(), "Averages\nthe reading, 100% of it");
  EXPECT_EQ(help0->geometry(), QRect(10, 10, 390, l.rows[0].helpBottom - 10));
  EXPECT_EQ(d.C<QLabel>(251), nullptr);  // empty help text: no static
  EXPECT_EQ(d.C<QCheckBox>(100)->geometry(), QRect(20, l.rows[0].rowTop, 180, 15));
  EXPECT_EQ(d.C<QLineEdit>(150)->geometry(), QRect(210, l.rows[0].rowTop - 2, 90, 20));
  EXPECT_EQ(d.C<QLabel>(200)->geometry().left(), 310);
  EXPECT_EQ(d.C<QLabel>(200)->text(), "seconds");
  EXPECT_EQ(d.C<QLabel>(202)->text(), "Feet");  // kind 2: the length units
  EXPECT_EQ(d.C<QLineEdit>(151), nullptr);      // no value word: no number box
  EXPECT_EQ(d.C<QLabel>(201), nullptr);
  EXPECT_EQ(d.C<QPushButton>(1088)->geometry().topLeft(), QPoint(100, l.buttonsTop));
  EXPECT_EQ(d.C<QPushButton>(2)->geometry().topLeft(), QPoint(300, l.buttonsTop));
  EXPECT_EQ(d.form->height(), l.contentHeight);
  EXPECT_FALSE(d.form->ScrollBar()->isVisible());
  // The present slot: ticked, its value "%3.1f", enabled; the others disabled.
  EXPECT_TRUE(d.C<QCheckBox>(100)->isChecked());
  EXPECT_EQ(d.C<QLineEdit>(150)->text(), "2.5");
  EXPECT_TRUE(d.C<QLineEdit>(150)->isEnabled());
  EXPECT_FALSE(d.C<QLineEdit>(152)->isEnabled());
  d.C<QCheckBox>(102)->click();
  EXPECT_TRUE(d.C<QLineEdit>(152)->isEnabled());
  EXPECT_EQ(d.form->windowTitle().toStdString(), WithoutAccessKeys(test::ShippedLanguage().Text("IDC_ADVANCED", 0)));
}

TEST(AdvancedForm, ThirtyRowsScrollInsideFiveHundredPixels) {
  Dialog d(31);
  d.form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(d.form.get()));
  EXPECT_EQ(d.form->Layout().rows.size(), 30u);
  EXPECT_NE(d.C<QCheckBox>(129), nullptr);
  EXPECT_EQ(d.C<QCheckBox>(130), nullptr);
  EXPECT_EQ(d.form->height(), 500);
  QScrollBar* bar = d.form->ScrollBar();
  EXPECT_TRUE(bar->isVisible());
  const int over = d.form->Layout().contentHeight - 500;
  EXPECT_EQ(bar->maximum(), static_cast<int>(1.1 * over));
  EXPECT_EQ(bar->singleStep(), over / 100);
  bar->setValue(bar->maximum());
  // Scrolled to the end, the buttons are inside the window.
  const QPoint buttons = d.C<QPushButton>(1088)->mapTo(d.form.get(), QPoint(0, 0));
  EXPECT_GE(buttons.y(), 0);
  EXPECT_LE(buttons.y() + d.C<QPushButton>(1088)->height(), 500);
}

TEST(AdvancedForm, FilterBellUpdateAndCancel) {
  Dialog d(3);
  d.form->show();
  QLineEdit* box = d.C<QLineEdit>(150);
  box->clear();
  QTest::keyClicks(box, "1F");
  EXPECT_EQ(box->text(), "1");
  EXPECT_EQ(d.form->Beeps(), 1);
  box->clear();
  QTest::keyClicks(box, "0x1f");
  EXPECT_EQ(box->text(), "0x1f");
  EXPECT_EQ(d.form->Beeps(), 1);
  d.C<QCheckBox>(102)->click();  // ticked, its box left empty
  d.C<QCheckBox>(101)->click();
  // Enter moves on, Escape does not close.
  QTest::keyClick(d.form.get(), Qt::Key_Escape);
  EXPECT_TRUE(d.form->isVisible());
  d.C<QPushButton>(1088)->click();
  EXPECT_EQ(d.form->result(), QDialog::Accepted);
  EXPECT_TRUE(d.copy[0].present);
  EXPECT_DOUBLE_EQ(d.copy[0].value, 31.0);
  EXPECT_TRUE(d.copy[1].present);
  EXPECT_DOUBLE_EQ(d.copy[1].value, -1.0);
  EXPECT_TRUE(d.copy[2].present);
  EXPECT_DOUBLE_EQ(d.copy[2].value, -1.0);

  Dialog c(3);
  c.form->show();
  c.C<QCheckBox>(101)->click();
  c.C<QPushButton>(2)->click();
  EXPECT_EQ(c.form->result(), QDialog::Rejected);
  EXPECT_FALSE(c.copy[1].present);  // Cancel keeps the copy as it was
  // A right click asks for help and then acts as a left click.
  QTest::mouseClick(c.C<QCheckBox>(101), Qt::RightButton, {}, QPoint(5, 5));
  EXPECT_EQ(c.helps, 1);
  EXPECT_FALSE(c.C<QCheckBox>(101)->isChecked());  // it was ticked before
}

TEST(AdvancedForm, MarkerFramesTheButton) {
  QWidget host;
  auto* button = new QPushButton("Advanced");
  auto* marker = new CAdvancedMarker(button, &host);
  host.resize(200, 80);
  marker->setGeometry(10, 10, 120, 34);
  host.show();
  QApplication::processEvents();
  EXPECT_EQ(ControlId(marker), 1124);
  EXPECT_EQ(button->geometry(), QRect(0, 0, 120, 34));
  marker->SetMarker(true);
  QApplication::processEvents();
  EXPECT_TRUE(marker->Marked());
  EXPECT_EQ(button->geometry(), QRect(2, 2, 116, 30));
  marker->SetMarker(false);
  QApplication::processEvents();
  EXPECT_EQ(button->geometry(), QRect(0, 0, 120, 34));
}

}  // namespace
}  // namespace tolvane
