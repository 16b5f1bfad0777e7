// The configuration form's service commands and test aids: what a technician
// types into the file name box instead of a file name, and the two buttons
// that step through the configurations and the tank picture's overlays. The
// decisions are the core's (config/ServiceCommands); this file runs the
// dialogs and shows the results.
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "common/CheckedFormat.h"
#include "config/PageMapping.h"
#include "config/ui/GenericForm.h"
#include "config/ui/TankPicture.h"
#include "link/MemoryEdits.h"
#include "link/ui/CalPages.h"
#include "link/ui/DirectEntry.h"
#include "link/ui/InfoMemory.h"
#include "net/ui/TechSupport.h"
#include "shell/ui/BusyWindow.h"

namespace tolvane {

using config::SERVICE_COMMAND;

namespace {

// A busy window over `owner` while one short sensor operation runs.
class OperationBusy {
 public:
  OperationBusy(const CProgramCore& core, QWidget* owner, const char* key)
      : window_(core.language, core.settings, owner) {
    window_.SetMessage(core.Text(key));
    window_.show();
    window_.raise();
  }

 private:
  CBusyWindow window_;
};

}  // namespace

bool CGenericForm::RunServiceCommand(const std::string& text) {
  const SERVICE_COMMAND command = config::RecognizeServiceCommand(text, core_.settings, core_.services.now());
  bool clearBox = true;
  switch (command) {
    case SERVICE_COMMAND::None:
      return false;
    case SERVICE_COMMAND::TestConfigurations:
      testConfigs_->show();
      viewTanks_->show();
      viewCounter_->show();
      break;
    case SERVICE_COMMAND::InfoMemory:
      RunInfoMemory();
      break;
    case SERVICE_COMMAND::ShowServiceCode:
      core_.services.messages.Show(Format(Text("STATUS_MESSAGE40"), config::ServiceCode(core_.services.now())),
                                   MB_INFO);
      break;
    case SERVICE_COMMAND::CalPages: {
      link::CCalPages viewer(core_.memory.Pages(), core_.language, core_.settings, Text("IDD_CALPAGES"), this);
      viewer.exec();
      break;
    }
    case SERVICE_COMMAND::DirectEntry:
      RunDirectEntry();
      break;
    case SERVICE_COMMAND::TechSupport:
      RunTechSupport();
      break;
    case SERVICE_COMMAND::CodeRevision:
      clearBox = ShowCodeRevision();
      break;
    case SERVICE_COMMAND::Restart:
      Restart();
      break;
  }
  if (clearBox) {
    fileName_->clear();
  }
  return true;
}

void CGenericForm::RunInfoMemory() {
  link::CUnitMemory& memory = core_.memory;
  int rc = 0;
  {
    OperationBusy busy(core_, this, "BUSY_MESSAGE4");
    rc = memory.ReadInfoMemory(memory.Info());
  }
  if (rc != 0) {
    core_.services.messages.Show(Text("SERVICE_MESSAGE2"), MB_ERROR);
    return;
  }
  link::CInfoMemory dialog(memory.Info(), core_.language, core_.settings, core_.services.messages, this);
  if (dialog.exec() != RESULT_OK) {
    return;
  }
  {
    OperationBusy busy(core_, this, "SERVICE_MESSAGE14");
    rc = memory.WriteInfoMemory(memory.Info());
  }
  if (rc != 0) {
    core_.services.messages.Show(Format(Text("ERROR_MESSAGE76"), rc), MB_ERROR);
  }
}

void CGenericForm::RunDirectEntry() {
  link::CDirectEntry dialog(core_.language, core_.settings, core_.services.messages, this);
  if (dialog.exec() != RESULT_OK) {
    return;
  }
  const link::DIRECT_ENTRY& e = dialog.Entry();
  int rc = 0;
  {
    OperationBusy busy(core_, this, "SERVICE_MESSAGE14");
    rc = link::ApplyDirectEntry(core_.memory, e);
  }
  if (rc != 0) {
    core_.services.messages.Show(Format(Text("ERROR_MESSAGE77"), rc, e.page, e.address, e.value), MB_ERROR);
  }
  // Whatever the result, the form shows what the cached Customer page holds now.
  config::DecodeFromPage(model_, record_, nonLinear_.page, core_.memory.Page(link::PAGE_CUSTOMER));
  AfterRecordChanged();
}

void CGenericForm::RunTechSupport() {
  link::CUnitMemory& memory = core_.memory;
  net::CTechSupport dialog(
      net::TECH_SUPPORT_CONTEXT{net::SUPPORT_MEMORY{memory.Info(), memory.Page(link::PAGE_CUSTOMER),
                                                    memory.Page(link::PAGE_FACTORY), memory.Page(link::PAGE_HISTORY)},
                                core_.folders.logs, contact_, core_.tables.program.supportMail,
                                core_.tables.program.corporateId, core_.language, core_.settings,
                                core_.services.messages, core_.services.clock},
      this);
  dialog.exec();
}

bool CGenericForm::ShowCodeRevision() {
  const auto text = config::CodeRevisionText(Text("STATUS_MESSAGE41"), core_.tables.program.programId, TOLVANE_VERSION);
  if (!text) {
    return false;
  }
  core_.services.messages.Show(*text, MB_INFO);
  return true;
}

void CGenericForm::Restart() {
  // The main window opens on this page again once the unit is identified anew.
  core_.settings.startPage = 0;
  if (auto* sheet = qobject_cast<QDialog*>(window()); sheet != nullptr && window() != this) {
    sheet->done(RESULT_OK);
  }
}

void CGenericForm::OnTestConfigs() {
  config::TEST_AID_COUNTERS& counters = s_.testAids != nullptr ? *s_.testAids : ownTestAids_;
  ResetSelections();
  config::TakeTestConfiguration(model_, counters, record_);
  Evaluate(true);
}

void CGenericForm::OnViewTanks() {
  config::TEST_AID_COUNTERS& counters = s_.testAids != nullptr ? *s_.testAids : ownTestAids_;
  const int shown = config::TakeTankPicture(counters);
  tank_->SetPicture(pictures_->ViewTanksPicture(shown));
  viewCounter_->setText(QString::number(shown));
  logo_->SetPicture(pictures_->Logo());
}

}  // namespace tolvane
