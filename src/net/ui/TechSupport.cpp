#include "net/ui/TechSupport.h"

#include <QEventLoop>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <atomic>
#include <thread>

#include "common/CheckedFormat.h"
#include "shell/ui/BusyWindow.h"

namespace tolvane::net {
namespace {

std::string Utf8(const QString& s) { return s.toUtf8().toStdString(); }

}  // namespace

CTechSupport::CTechSupport(TECH_SUPPORT_CONTEXT context, QWidget* parent)
    : CKitDialog(parent),
      c_(context),
      server_(WithControlId(new QLineEdit(this), IDC_SERVER)),
      name_(WithControlId(new QLineEdit(this), IDC_NAME)),
      phone_(WithControlId(new QLineEdit(this), IDC_PHONE)),
      email_(WithControlId(new QLineEdit(this), IDC_EMAIL)),
      description_(WithControlId(new QPlainTextEdit(this), IDC_DESCRIPTION)),
      send_(WithControlId(new QPushButton(this), IDC_SEND)) {
  WithControlId(this, IDD);
  setModal(true);
  auto text = [this](const char* key) { return LanguageText(c_.language, c_.settings, key); };
  setWindowTitle(text("IDD_TECHSUPPORT"));

  server_->setText(FromUtf8(c_.contact.server));
  name_->setText(FromUtf8(c_.contact.name));
  phone_->setText(FromUtf8(c_.contact.phone));
  email_->setText(FromUtf8(c_.contact.email));
  for (QLineEdit* e : {server_, name_, phone_, email_}) {
    e->setMinimumWidth(fontMetrics().averageCharWidth() * 36);
  }
  description_->setTabChangesFocus(true);
  description_->setMinimumHeight(fontMetrics().lineSpacing() * 6);

  auto* fields = new QFormLayout;
  // Room between the longest label and its field, in either language.
  fields->setHorizontalSpacing(fontMetrics().averageCharWidth() * 2);
  fields->addRow(text("IDC_TS_SERVER"), server_);
  fields->addRow(text("IDC_TS_NAME"), name_);
  fields->addRow(text("IDC_TS_PHONE"), phone_);
  fields->addRow(text("IDC_TS_EMAIL"), email_);
  auto* describe = new QLabel(text("IDC_TS_DESCRIPTION"), this);
  describe->setBuddy(description_);

  send_->setText(FromUtf8(Format(c_.language.Text("IDC_TS_SEND", c_.settings.languageNumber), c_.corporateId)));
  send_->setDefault(true);
  connect(send_, &QPushButton::clicked, this, &CTechSupport::OnSend);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(send_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(18, 18, 18, 14);
  layout->setSpacing(10);
  layout->addLayout(fields);
  layout->addWidget(describe);
  layout->addWidget(description_, 1);
  layout->addLayout(buttons);
  if (c_.contact.server.empty()) {
    server_->setFocus();
  } else {
    description_->setFocus();
  }
}

void CTechSupport::reject() {
  if (!sending_) {
    CKitDialog::reject();
  }
}

void CTechSupport::Finish(bool sent) {
  send_->setDown(false);
  sent ? accept() : CKitDialog::reject();
}

void CTechSupport::OnSend() {
  if (sending_) {
    return;
  }
  send_->setDown(true);
  c_.contact = CONTACT_RECORD{Utf8(server_->text()), Utf8(name_->text()), Utf8(phone_->text()), Utf8(email_->text())};
  const std::string description = Utf8(description_->toPlainText());
  const int lang = c_.settings.languageNumber;

  if (const unsigned missing = MissingFields(c_.contact, description); missing != 0) {
    send_->setDown(false);
    if (c_.messages.Show(IncompleteQuestion(missing, c_.language, lang), MB_YESNO) != RESULT_YES) {
      CKitDialog::reject();
    }
    return;
  }
  if (!ContactIsSingleLines(c_.contact)) {
    send_->setDown(false);
    c_.messages.Show(c_.language.Text("SERVICE_MESSAGE12", lang), MB_ERROR);
    return;
  }
  CSMTPAddress mailbox;
  if (!ParseSupportMailbox(c_.mailbox, mailbox)) {
    c_.messages.Show(c_.language.Text("SERVICE_MESSAGE11", lang), MB_ERROR);
    Finish(false);
    return;
  }
  if (const auto failed = WriteDumpsForRequest(c_.memory, c_.logs, c_.messages, c_.language, lang)) {
    c_.messages.Show(failed->message, MB_PLAIN);
    Finish(false);
    return;
  }
  const SUPPORT_RESULT result = SendInBackground(mailbox, description);
  if (result.outcome != SUPPORT_OUTCOME::Sent) {
    c_.messages.Show(result.message, MB_PLAIN);
  }
  Finish(result.outcome == SUPPORT_OUTCOME::Sent);
}

SUPPORT_RESULT CTechSupport::SendInBackground(const CSMTPAddress& mailbox, const std::string& description) {
  sending_ = true;
  setEnabled(false);
  CBusyWindow busy(c_.language, c_.settings, this);
  busy.SetMessage(c_.language.Text("SERVICE_MESSAGE13", c_.settings.languageNumber));
  busy.show();

  // The worker only reads what it is given and writes `result`; the loop
  // ends when it is done, and the windows stay responsive meanwhile.
  SUPPORT_RESULT result;
  QEventLoop loop;
  const CONTACT_RECORD contact = c_.contact;
  std::thread worker([&] {
    CSMTPConnection connection(c_.clock);
    // Progress reaches the busy window on its own thread.
    auto progress = [&busy](int percent) {
      QMetaObject::invokeMethod(
          &busy, [&busy, percent] { busy.SetProgress(percent); }, Qt::QueuedConnection);
    };
    result = SendSupportMail(contact, description, c_.logs, mailbox, connection, c_.language,
                             c_.settings.languageNumber, progress);
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  worker.join();
  setEnabled(true);
  sending_ = false;
  return result;
}

}  // namespace tolvane::net
