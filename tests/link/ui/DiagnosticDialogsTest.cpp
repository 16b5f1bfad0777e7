// The diagnostic dialogs of the memory, offscreen: the pages viewer's rows and
// font, the direct entry's checks, the information memory's edits.
#include <QFontInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include "link/ui/CalPages.h"
#include "link/ui/DirectEntry.h"
#include "link/ui/InfoMemory.h"
#include "shell/ui/DialogTestSupport.h"
#include "support/TestSupport.h"

namespace tolvane::link {
namespace {

using test::ShippedLanguage;

std::string Utf8(const QString& s) { return s.toUtf8().toStdString(); }
std::string Lang(const char* key) { return ShippedLanguage().Text(key, 0); }

template <typename W>
W* Control(QWidget& dialog, int id) {
  return FindControlAs<W>(&dialog, id);
}

struct PagesFixture {
  std::array<PageImage, kPageCount> pages{};
  PagesFixture() {
    pages[0][6] = 0x34;  // word 3
    pages[0][7] = 0x12;
    const std::string letters = "ABCDEFGH";
    std::copy(letters.begin(), letters.end(), pages[1].begin());
    pages[2][0] = 0x7F;
    pages[3][510] = 0xFF;
  }
};

TEST(CalPagesDialog, ShowsTheCustomerPageAsWordsFirstThenAnyPageAsAHexDump) {
  PagesFixture f;
  APP_SETTINGS settings;
  CCalPages dialog(f.pages, ShippedLanguage(), settings, "Viewer caption", nullptr);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  EXPECT_EQ(dialog.windowTitle(), "Viewer caption");
  EXPECT_EQ(ControlId(&dialog), 105);
  EXPECT_EQ(Utf8(test::ControlText(dialog, CCalPages::IDC_CUSTDP)), Lang("IDC_CUSTDP"));
  EXPECT_EQ(Utf8(test::ControlText(dialog, CCalPages::IDC_OCMDP)), Lang("IDC_OCMDP"));
  EXPECT_EQ(Utf8(test::ControlText(dialog, CCalPages::IDC_HEXDISP)), Lang("IDC_HEXDISP"));
  EXPECT_TRUE(Control<QRadioButton>(dialog, CCalPages::IDC_CUSTDP)->isChecked());
  EXPECT_TRUE(Control<QRadioButton>(dialog, CCalPages::IDC_INTEGERDISP)->isChecked());

  auto* edit = Control<QPlainTextEdit>(dialog, CCalPages::IDC_PAGETEXT);
  ASSERT_NE(edit, nullptr);
  EXPECT_TRUE(QFontInfo(edit->font()).fixedPitch());
  const QStringList lines = edit->toPlainText().split('\n');
  ASSERT_EQ(lines.size(), 257);
  EXPECT_EQ(lines[0], "       HEX    DEC");
  EXPECT_EQ(lines[4], "003: 0x1234  04660");
  EXPECT_EQ(lines[256], "255: 0x0000  00000");
  EXPECT_EQ(dialog.Text().substr(0, 19), "       HEX    DEC\r\n");

  // Hex shows the page whose button is checked; the page buttons keep the format.
  test::ClickControl(dialog, CCalPages::IDC_FACTDP);
  EXPECT_EQ(dialog.ShownPage(), 1);
  EXPECT_TRUE(edit->toPlainText().startsWith("       HEX    DEC\n000: 0x4241  16961"));
  test::ClickControl(dialog, CCalPages::IDC_HEXDISP);
  QStringList hex = edit->toPlainText().split('\n');
  ASSERT_EQ(hex.size(), 33);
  EXPECT_EQ(hex[0], "      0  1  2  3  4  5  6  7    8  9  A  B  C  D  E  F");
  EXPECT_EQ(hex[1], "000: 41 42 43 44 45 46 47 48   00 00 00 00 00 00 00 00  ABCDEFGH........");
  test::ClickControl(dialog, CCalPages::IDC_OCMDP);
  hex = edit->toPlainText().split('\n');
  EXPECT_EQ(hex[32], "1F0: 00 00 00 00 00 00 00 00   00 00 00 00 00 00 FF 00  ................");
  test::ClickControl(dialog, CCalPages::IDC_INTEGERDISP);
  EXPECT_EQ(dialog.ShownPage(), 3);
  EXPECT_TRUE(edit->toPlainText().endsWith("255: 0x00FF  00255"));
  test::Snapshot(dialog, "cal_pages");
}

// Types `address` and `value`, picks the page and presses Update.
struct EntryRun {
  test::RecordingMessages messages;
  APP_SETTINGS settings;
  CDirectEntry dialog{ShippedLanguage(), settings, messages, nullptr};
  EntryRun() {
    dialog.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  }
  void Update(const QString& address, const QString& value, int pageButton = 0) {
    Control<QLineEdit>(dialog, CDirectEntry::IDC_ADDRESS)->setText(address);
    Control<QLineEdit>(dialog, CDirectEntry::IDC_VALUE)->setText(value);
    if (pageButton != 0) {
      test::ClickControl(dialog, pageButton);
    }
    test::ClickControl(dialog, CDirectEntry::IDC_UPDATE);
  }
};

TEST(DirectEntryDialog, RefusesBadEntriesWithTheirMessageAndStaysOpen) {
  EntryRun run;
  EXPECT_EQ(Utf8(run.dialog.windowTitle()), Lang("IDD_DIRECTENTRY"));
  EXPECT_EQ(Utf8(test::ControlText(run.dialog, CDirectEntry::IDC_ADDRESS_LABEL)), Lang("IDC_ADDRESS_LABEL"));
  EXPECT_EQ(Utf8(test::ControlText(run.dialog, CDirectEntry::IDC_FACTPAGE)), Lang("IDC_FACTPAGE"));
  EXPECT_TRUE(Control<QRadioButton>(run.dialog, CDirectEntry::IDC_CUSTPAGE)->isChecked());
  // Each refusal once; the core's tests take every kind of bad text.
  const std::pair<std::pair<const char*, const char*>, const char*> cases[] = {
      {{"256", "1"}, "ERROR_MESSAGE67"}, {{"1", "65536"}, "ERROR_MESSAGE68"}, {{"abc", "1"}, "ERROR_MESSAGE67"}};
  for (const auto& [typed, key] : cases) {
    run.messages.shown.clear();
    run.Update(typed.first, typed.second);
    ASSERT_EQ(run.messages.shown.size(), 1u) << typed.first << " " << typed.second;
    EXPECT_EQ(run.messages.shown[0].first, Lang(key));
    EXPECT_EQ(run.messages.shown[0].second, MB_ERROR);
    EXPECT_TRUE(run.dialog.isVisible());
  }
}

TEST(DirectEntryDialog, UpdateClosesWithOkAndTheEntry) {
  EntryRun run;
  run.Update(" 3", "4660", CDirectEntry::IDC_FACTPAGE);
  EXPECT_TRUE(run.messages.shown.empty());
  EXPECT_FALSE(run.dialog.isVisible());
  EXPECT_EQ(run.dialog.result(), RESULT_OK);
  EXPECT_EQ(run.dialog.Entry().page, 2);
  EXPECT_EQ(run.dialog.Entry().address, 3);
  EXPECT_EQ(run.dialog.Entry().value, 4660);
}

TEST(InfoMemoryDialog, ShowsTheFieldsAndUpdateStoresThem) {
  InfoImage info{};
  info[10] = 1;  // word 5
  info[12] = 2;  // word 6
  info[30] = 0x10;
  const std::string model = "QR30";
  std::copy(model.begin(), model.end(), info.begin() + 14);
  test::RecordingMessages messages;
  APP_SETTINGS settings;
  CInfoMemory dialog(info, ShippedLanguage(), settings, messages, nullptr);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  EXPECT_EQ(Utf8(dialog.windowTitle()), Lang("IDD_INFOMEMORY"));
  auto edit = [&dialog](int id) { return Control<QLineEdit>(dialog, id); };
  EXPECT_EQ(edit(CInfoMemory::IDC_HWSERIAL)->text(), "65538");
  EXPECT_EQ(edit(CInfoMemory::IDC_HWMODEL)->text(), "QR30");
  EXPECT_EQ(edit(CInfoMemory::IDC_CALDONE)->text(), "0x0010");
  EXPECT_EQ(edit(CInfoMemory::IDC_TCAL)->text(), "0x0000");
  test::Snapshot(dialog, "info_memory");

  // Sixteen characters do not fit: refused, nothing stored, still open.
  const InfoImage before = info;
  edit(CInfoMemory::IDC_CALDONE)->setText("0x00FF");
  edit(CInfoMemory::IDC_HWMODEL)->setText("ABCDEFGHIJKLMNOP");
  test::ClickControl(dialog, CInfoMemory::IDC_UPDATE);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].first, Lang("SERVICE_MESSAGE1"));
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(info, before);

  edit(CInfoMemory::IDC_HWMODEL)->setText("ABCDEFGHIJKLMNO");
  edit(CInfoMemory::IDC_TVAL)->setText("x255");
  edit(CInfoMemory::IDC_HWSERIAL)->setText("131073");
  test::ClickControl(dialog, CInfoMemory::IDC_UPDATE);
  EXPECT_EQ(dialog.result(), RESULT_OK);
  EXPECT_EQ(info[30], 0xFF);
  EXPECT_EQ(info[31], 0x00);
  EXPECT_EQ(info[2], 0);   // "x255" reads as 0
  EXPECT_EQ(info[10], 2);  // 131073 = 2 * 65536 + 1
  EXPECT_EQ(info[12], 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(info.data() + 14)), "ABCDEFGHIJKLMNO");
}

TEST(InfoMemoryDialog, CancelLeavesTheCopyAlone) {
  InfoImage info{};
  const InfoImage before = info;
  test::RecordingMessages messages;
  APP_SETTINGS settings;
  CInfoMemory dialog(info, ShippedLanguage(), settings, messages, nullptr);
  dialog.show();
  Control<QLineEdit>(dialog, CInfoMemory::IDC_TCAL)->setText("0x1234");
  test::ClickControl(dialog, CInfoMemory::IDC_CANCEL);
  EXPECT_EQ(dialog.result(), RESULT_CANCEL);
  EXPECT_EQ(info, before);
}

}  // namespace
}  // namespace tolvane::link
