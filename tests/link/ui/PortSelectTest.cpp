#include "link/ui/PortSelect.h"

#include <QComboBox>
#include <QTest>

#include <gtest/gtest.h>

#include "shell/ui/DialogSupport.h"

namespace tolvane::link {
namespace {

std::string Lookup(std::string_view key) { return key == "IDD_SESSIONOPTS" ? "Select Device" : "?"; }

QComboBox* List(QWidget& dialog) {
  for (auto* combo : dialog.findChildren<QComboBox*>()) {
    if (combo->property("controlId").toInt() == 1001) {
      return combo;
    }
  }
  return nullptr;
}

TEST(PortSelect, ShowsTheLabelsInListOrderWithTheFirstChosen) {
  // Labels that a sorting list would reorder.
  const std::vector<PORTID> ports{
      {"Quenby USB Device B", "UNIT 2"}, {"Quenby USB Device A", "UNIT 10"}, {"Quenby USB Device C", "UNIT 1"}};
  CPortSelect dialog(ports, Lookup);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  EXPECT_EQ(dialog.windowTitle(), "Select Device");
  EXPECT_EQ(dialog.property("controlId").toInt(), 129);
  QComboBox* list = List(dialog);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->count(), 3);
  EXPECT_EQ(list->itemText(0), "UNIT 2");
  EXPECT_EQ(list->itemText(1), "UNIT 10");
  EXPECT_EQ(list->itemText(2), "UNIT 1");
  EXPECT_EQ(list->currentIndex(), 0);
  ASSERT_NE(dialog.Choice(), nullptr);
  EXPECT_EQ(dialog.Choice()->description, "Quenby USB Device B");
  EXPECT_TRUE(dialog.isVisible());  // filling the list did not close it
}

TEST(PortSelect, PickingTheSecondEntryClosesWithOk) {
  const auto ports = BuildPortList({"Quenby USB Device 1", "Quenby USB Device 2"});
  CPortSelect dialog(ports, Lookup);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  QComboBox* list = List(dialog);
  ASSERT_NE(list, nullptr);
  // The user opens the list, moves down one entry and takes it.
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(dialog.isVisible());
  ASSERT_NE(dialog.Choice(), nullptr);
  EXPECT_EQ(dialog.Choice()->description, "Quenby USB Device 2");
}

TEST(PortSelect, AsWideAsItsTitleAndEnterTakesTheEntryShown) {
  const auto ports = BuildPortList({"Quenby USB Device 1", "Quenby USB Device 2"});
  // A title longer than the list's width.
  CPortSelect dialog(ports,
                     [](std::string_view) { return std::string("Ger\xc3\xa4t ausw\xc3\xa4hlen (USB-Adapter)"); });
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  EXPECT_GE(dialog.width(), TitleBarWidth(&dialog, dialog.windowTitle()));
  EXPECT_FALSE(dialog.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(dialog.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  QComboBox* list = List(dialog);
  ASSERT_NE(list, nullptr);
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(dialog.isVisible());
  ASSERT_NE(dialog.Choice(), nullptr);
  EXPECT_EQ(dialog.Choice()->description, "Quenby USB Device 1");
}

TEST(PortSelect, ClosingOtherwiseIsCancel) {
  const auto ports = BuildPortList({"Quenby USB Device 1", "Quenby USB Device 2"});
  CPortSelect dialog(ports, Lookup);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  QTest::keyClick(&dialog, Qt::Key_Escape);
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_EQ(dialog.Choice()->description, "Quenby USB Device 1");
}

TEST(PortSelect, EmptyListHasNoChoice) {
  const std::vector<PORTID> none;
  CPortSelect dialog(none, Lookup);
  EXPECT_EQ(dialog.Choice(), nullptr);
  EXPECT_EQ(List(dialog)->count(), 0);
}

}  // namespace
}  // namespace tolvane::link
