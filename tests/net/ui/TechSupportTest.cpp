// The technical support dialog offscreen: its fields and the contact record,
// the question about missing data, and a submission to aiosmtpd.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "common/CheckedFormat.h"
#include "net/SmtpPeers.h"
#include "net/ui/TechSupport.h"
#include "shell/ui/DialogTestSupport.h"
#include "support/TestSupport.h"

namespace tolvane::net {
namespace {

namespace fs = std::filesystem;
using tolvane::test::ShippedLanguage;

std::string Lang(const char* key) { return ShippedLanguage().Text(key, 0); }
std::string Utf8(const QString& s) { return s.toUtf8().toStdString(); }

struct DialogRig {
  tolvane::test::TempDir logs;
  std::array<std::uint8_t, 128> info{};
  std::array<std::uint8_t, 512> customer{}, factory{}, history{};
  CONTACT_RECORD contact;
  APP_SETTINGS settings;
  tolvane::test::RecordingMessages messages;
  RealClock clock;
  std::string mailbox = "Kestrine Technical Support|support@kestrine.example";
  std::unique_ptr<CTechSupport> dialog;

  DialogRig() {
    customer[0] = 0x39;  // word 0 = 12345
    customer[1] = 0x30;
  }
  CTechSupport& Open() {
    dialog = std::make_unique<CTechSupport>(
        TECH_SUPPORT_CONTEXT{SUPPORT_MEMORY{info, customer, factory, history}, logs.path(), contact, mailbox,
                             "Kestrine", ShippedLanguage(), settings, messages, clock},
        nullptr);
    dialog->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    return *dialog;
  }
  QLineEdit* Edit(int id) { return FindControlAs<QLineEdit>(dialog.get(), id); }
  void Fill(const std::string& server, const std::string& name, const std::string& phone, const std::string& email,
            const std::string& description) {
    Edit(CTechSupport::IDC_SERVER)->setText(QString::fromStdString(server));
    Edit(CTechSupport::IDC_NAME)->setText(QString::fromStdString(name));
    Edit(CTechSupport::IDC_PHONE)->setText(QString::fromStdString(phone));
    Edit(CTechSupport::IDC_EMAIL)->setText(QString::fromStdString(email));
    FindControlAs<QPlainTextEdit>(dialog.get(), CTechSupport::IDC_DESCRIPTION)
        ->setPlainText(QString::fromStdString(description));
  }
  void Send() { tolvane::test::ClickControl(*dialog, CTechSupport::IDC_SEND); }
};

TEST(TechSupportDialog, MissingDataIsAskedAboutAndTheContactIsKept) {
  DialogRig rig;
  CTechSupport& d = rig.Open();
  EXPECT_EQ(ControlId(&d), 118);
  EXPECT_EQ(Utf8(d.windowTitle()), Lang("IDD_TECHSUPPORT"));
  EXPECT_EQ(Utf8(tolvane::test::ControlText(d, CTechSupport::IDC_SEND)), "&Upload Data to Kestrine");
  rig.Fill("mail.example.org", "", "+49 30 1", "ann@example.org", "");

  rig.messages.answer = RESULT_YES;
  rig.Send();
  ASSERT_EQ(rig.messages.shown.size(), 1u);
  EXPECT_EQ(rig.messages.shown[0].first, "Data incomplete.\n\t- contact name\n\t- description of the problem\nRetry?");
  EXPECT_EQ(rig.messages.shown[0].second, MB_YESNO);
  // Yes: the dialog stays for corrections; the record took the edits.
  EXPECT_TRUE(d.isVisible());
  EXPECT_EQ(rig.contact.server, "mail.example.org");
  EXPECT_EQ(rig.contact.email, "ann@example.org");
  EXPECT_TRUE(fs::is_empty(rig.logs.path()));  // nothing written

  // No: the dialog closes.
  rig.messages.answer = RESULT_NO;
  rig.Send();
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(d.result(), RESULT_CANCEL);

  // The next opening offers the record again (the description is not kept).
  CTechSupport& again = rig.Open();
  EXPECT_EQ(rig.Edit(CTechSupport::IDC_SERVER)->text(), "mail.example.org");
  EXPECT_EQ(rig.Edit(CTechSupport::IDC_PHONE)->text(), "+49 30 1");
  EXPECT_EQ(rig.Edit(CTechSupport::IDC_NAME)->text(), "");
  EXPECT_TRUE(FindControlAs<QPlainTextEdit>(&again, CTechSupport::IDC_DESCRIPTION)->toPlainText().isEmpty());
  tolvane::test::Snapshot(again, "tech_support");
}

TEST(TechSupportDialog, SendsTheMailAndRemovesTheDumps) {
  DialogRig rig;
  tolvane::test::TempDir mails, parsed;
  test::AiosmtpdPeer peer(mails.path());
  ASSERT_NE(peer.Port(), 0);
  rig.Open();
  rig.Fill(peer.Server(), "Ann Example", "+49 30 1", "ann@example.org", "It stopped.");
  rig.Send();
  EXPECT_TRUE(rig.messages.shown.empty()) << rig.messages.shown[0].first;
  EXPECT_FALSE(rig.dialog->isVisible());
  EXPECT_EQ(rig.dialog->result(), RESULT_OK);
  EXPECT_FALSE(rig.dialog->Sending());
  EXPECT_TRUE(fs::is_empty(rig.logs.path()));
  ASSERT_TRUE(test::ParseMail(peer.Mail(1), parsed.path()));
  EXPECT_TRUE(tolvane::test::ReadBytes(parsed / "CustomerDataPage.txt").starts_with("0000 - 12345 00000 "));
  EXPECT_EQ(rig.contact.name, "Ann Example");
}

TEST(TechSupportDialog, FailuresShowTheirMessageCloseAndKeepTheDumps) {
  {
    DialogRig rig;
    rig.Open();
    rig.Fill("127.0.0.1:1", "Ann", "1", "ann@example.org", "x");
    rig.Send();
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0].first, Format(Lang("ERROR_MESSAGE100"), "127.0.0.1:1"));
    EXPECT_EQ(rig.messages.shown[0].second, MB_PLAIN);
    EXPECT_FALSE(rig.dialog->isVisible());
    EXPECT_TRUE(fs::exists(rig.logs / "HistoryPage.txt"));
  }
  {
    // A pasted line break in a single-line field is refused; the dialog stays.
    DialogRig rig;
    rig.Open();
    rig.Fill("127.0.0.1:1", "Ann", "1", "ann@example.org", "x");
    rig.Edit(CTechSupport::IDC_EMAIL)->setText("ann@example.org\r\nRCPT TO:<x@example.org>");
    ASSERT_TRUE(rig.Edit(CTechSupport::IDC_EMAIL)->text().contains('\n'));
    rig.Send();
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0].first, Lang("SERVICE_MESSAGE12"));
    EXPECT_TRUE(rig.dialog->isVisible());
    EXPECT_TRUE(fs::is_empty(rig.logs.path()));
  }
}

}  // namespace
}  // namespace tolvane::net
