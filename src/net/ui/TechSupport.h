// The technical support dialog (template 118): the customer's mail server,
// name, phone number and e-mail address, a description of the problem, and
// the button that writes the memory dumps and mails them to the maker's
// support mailbox. It is reached only through today's service code.
#pragma once

#include <filesystem>
#include <string>

#include "common/Clock.h"
#include "common/Messages.h"
#include "net/SupportRequest.h"
#include "shell/ui/DialogSupport.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tolvane::net {

struct TECH_SUPPORT_CONTEXT {
  SUPPORT_MEMORY memory;       // the unit's memory as last read
  std::filesystem::path logs;  // where the dumps are written
  CONTACT_RECORD& contact;     // the form's contact record, offered again next time
  std::string mailbox;         // SUPPORTMAIL of the corporate model
  std::string corporateId;     // named on the send button
  const CLanguageFile& language;
  const APP_SETTINGS& settings;
  IMessageBox& messages;
  IClock& clock;  // the mail client's reply time-out
};

class CTechSupport : public CKitDialog {
  Q_OBJECT

 public:
  enum : int {
    IDD = 118,
    IDC_PHONE = 1084,
    IDC_NAME = 1085,
    IDC_EMAIL = 1086,
    IDC_DESCRIPTION = 1087,
    IDC_SERVER = 1088,
    IDC_SEND = 1,
  };

  CTechSupport(TECH_SUPPORT_CONTEXT context, QWidget* parent);

  // The send button: every path but the yes to "Retry?" (and a field with a
  // line break) closes the dialog.
  void OnSend();
  // While the mail is on its way the dialog cannot be closed.
  void reject() override;
  bool Sending() const { return sending_; }

 private:
  void Finish(bool sent);
  // Runs the mail on a worker thread while a busy window shows.
  SUPPORT_RESULT SendInBackground(const CSMTPAddress& mailbox, const std::string& description);

  TECH_SUPPORT_CONTEXT c_;
  QLineEdit* server_;
  QLineEdit* name_;
  QLineEdit* phone_;
  QLineEdit* email_;
  QPlainTextEdit* description_;
  QPushButton* send_;
  bool sending_ = false;
};

}  // namespace tolvane::net
