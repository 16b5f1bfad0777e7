#include "firmware/ui/UpdateProgram.h"

#include <QCheckBox>
#include <QDialog>
#include <QEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/CheckedFormat.h"
#include "firmware/ProgramFiles.h"
#include "firmware/ui/SelectProgram.h"

namespace tolvane::firmware {

std::filesystem::path ModelFilePath(const CProgramCore& core) {
  const std::filesystem::path own = core.folders.models / core.record.modelFileName;
  std::error_code ec;
  if (std::filesystem::exists(own, ec) || core.folders.installedModels.empty()) {
    return own;
  }
  return core.folders.installedModels / core.record.modelFileName;
}

std::string ChooseFirmwareFile(CProgramCore& core, const std::vector<std::string>& names, QWidget* parent) {
  CSelectProgram dialog(core.tables.model.unitRange, CurrentVersionText(core.record.softwareRevision), names,
                        core.language, core.settings, parent);
  if (dialog.exec() != RESULT_OK || dialog.Choice().empty()) {
    return "";
  }
  return (core.folders.programs / dialog.Choice()).string();
}

int OfferNewerFirmware(CProgramCore& core, std::string& filePath,
                       const std::function<std::string(const std::vector<std::string>&)>& choose) {
  // Forms opened without a program files folder (none was set up) have
  // nothing to search.
  if (core.folders.programs.empty()) {
    return 0;
  }
  const std::vector<std::string> names =
      ListCompatibleFirmware(core.models, ModelFilePath(core), core.folders.programs);
  const FIRMWARE_OFFER offer = DecideFirmwareOffer(core.record.softwareRevision, names);
  if (offer.noFiles) {
    core.services.messages.Show("No firmware files found!", MB_PLAIN);
    return 0;
  }
  if (!offer.ask || core.services.messages.Show(core.Text(offer.question), MB_YESNO) != RESULT_YES) {
    return 0;
  }
  const std::string chosen = choose(names);
  if (chosen.empty()) {
    return 0;
  }
  filePath = chosen;
  return 1;
}

CUpdateProgram::CUpdateProgram(UPDATE_PAGE_CONTEXT context, QWidget* parent)
    : QWidget(parent),
      c_(std::move(context)),
      checkBox_(WithControlId(new QGroupBox(this), IDC_CHECKBOX)),
      download_(WithControlId(new QPushButton(this), IDC_DOWNLOAD)),
      optIn_(WithControlId(new QCheckBox(this), IDC_OPTIN)),
      updateBox_(WithControlId(new QGroupBox(this), IDC_UPDATEBOX)),
      fileLabel_(WithControlId(new QLabel(this), IDC_FILELABEL)),
      file_(WithControlId(new QLineEdit(this), IDC_FILE)),
      browse_(WithControlId(new QPushButton(this), IDC_BROWSE)),
      select_(WithControlId(new QPushButton(this), IDC_SELECTPROGRAM)),
      program_(WithControlId(new QPushButton(this), IDC_PROGRAM)),
      progress_(WithControlId(new QProgressBar(this), IDC_PROGRESS)),
      percent_(WithControlId(new QLabel(this), IDC_PERCENT)),
      status_(WithControlId(new QLabel(this), IDC_STATUS)) {
  auto* check = new QHBoxLayout(checkBox_);
  check->addWidget(download_);
  check->addWidget(optIn_);
  check->addStretch(1);
  auto* grid = new QGridLayout(updateBox_);
  grid->addWidget(fileLabel_, 0, 0, 1, 3);
  grid->addWidget(file_, 1, 0, 1, 3);
  grid->addWidget(browse_, 2, 0);
  grid->addWidget(select_, 2, 1);
  grid->addWidget(program_, 2, 2);
  grid->addWidget(progress_, 3, 0, 1, 3);
  grid->addWidget(percent_, 4, 0, 1, 3);
  grid->addWidget(status_, 5, 0, 1, 3);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(checkBox_);
  layout->addWidget(updateBox_);
  layout->addStretch(1);
  progress_->setRange(0, 1000);
  progress_->setTextVisible(false);
  // Without the network side there is no update check and no opt-in box.
  checkBox_->setVisible(c_.network != nullptr);
  if (c_.network != nullptr) {
    optIn_->setChecked(!c_.network->UploadOptOut());
    connect(optIn_, &QCheckBox::toggled, this, [this](bool on) { c_.network->SetUploadOptOut(!on); });
    connect(download_, &QPushButton::clicked, this, [this] {
      // The installer is running: the program is to end, as after a leave.
      if (c_.network->OnCheckForUpdates(this) && CanLeave()) {
        if (auto* host = qobject_cast<QDialog*>(window()); host != nullptr && host != static_cast<QWidget*>(this)) {
          host->done(1);
        }
      }
    });
  }
  connect(program_, &QPushButton::clicked, this, &CUpdateProgram::OnUpdateSensor);
  connect(browse_, &QPushButton::clicked, this, &CUpdateProgram::OnBrowse);
  connect(select_, &QPushButton::clicked, this, &CUpdateProgram::OnSelectProgram);
  connect(this, &CUpdateProgram::RunProgress, this, &CUpdateProgram::SetProgress, Qt::QueuedConnection);
  connect(this, &CUpdateProgram::RunFinished, this, &CUpdateProgram::Finish, Qt::QueuedConnection);
  connect(this, &CUpdateProgram::RunMessage, this, &CUpdateProgram::DrainMessages, Qt::QueuedConnection);
  for (QWidget* w : findChildren<QWidget*>()) {
    w->installEventFilter(this);
  }
}

CUpdateProgram::~CUpdateProgram() {
  if (worker_.joinable()) {
    worker_.join();
  }
}

QString CUpdateProgram::Text(const char* key) const { return FromUtf8(c_.core.Text(key)); }

void CUpdateProgram::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Activate();
}

void CUpdateProgram::Activate() {
  file_->setText(FromUtf8(c_.filePath));
  file_->setCursorPosition(0);
  progress_->setValue(0);
  program_->setText("Update Sensor");
  checkBox_->setTitle(Text("IDC_CHECK_TXT"));
  updateBox_->setTitle(Text("IDC_UPDATEBOX_TXT"));
  fileLabel_->setText(Text("IDC_FMWEFN_TXT"));
  download_->setText(Text("IDC_WC_UPDATE"));
  browse_->setText(Text("IDC_BROWSE2"));
  program_->setText(Text("IDC_PROGRAM"));
  select_->setText(Text("IDC_SELECTPROGRAM"));
  optIn_->setText(Text("IDC_OPTIN"));
  download_->setToolTip(Text("TIP_WC_UPDATE"));
  browse_->setToolTip(Text("TIP_BROWSE2"));
  program_->setToolTip(Text("TIP_PROGRAM"));
  select_->setToolTip(Text("TIP_SELECTPROGRAM"));
  // The label's access key moves the focus to the file name.
  fileLabel_->setBuddy(file_);
  percent_->clear();
  completed_ = true;
  if (running_) {
    return;
  }
  if (c_.core.settings.autoUpdate) {
    for (QWidget* w : std::initializer_list<QWidget*>{download_, browse_, program_, optIn_, select_}) {
      w->setEnabled(false);
    }
    OnUpdateSensor();
  } else if (c_.noSensor) {
    status_->clear();
    program_->setEnabled(false);
    select_->setEnabled(false);
  } else {
    status_->clear();
    program_->setEnabled(true);
    select_->setEnabled(true);
  }
}

void CUpdateProgram::EnableButtons(bool enable) {
  program_->setEnabled(enable);
  select_->setEnabled(enable);
  download_->setEnabled(enable);
}

void CUpdateProgram::Fail(const char* key) {
  EnableButtons(true);
  errorText_ = c_.core.Text(key);
  c_.core.services.messages.Show(errorText_, MB_ERROR);
}

void CUpdateProgram::OnUpdateSensor() {
  errorText_.clear();
  status_->setText(c_.core.settings.autoUpdate ? LanguageTextOr(c_.core.language, c_.core.settings, "STATUS_MESSAGE53",
                                                                "Updating Latest Firmware...")
                                               : QString());
  EnableButtons(false);
  const std::string path = file_->text().toStdString();
  if (const std::string key = CheckProgramPath(path); !key.empty()) {
    Fail(key.c_str());
    return;
  }
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    Fail("ERROR_MESSAGE70");
    return;
  }
  c_.filePath = path;
  progress_->setValue(0);
  percent_->setText("0%");
  if (running_) {
    Fail("ERROR_MESSAGE104");
    return;
  }
  target_ = CProgramTarget{};
  target_.events = this;
  target_.filePath = path;
  target_.programsFolder = c_.core.folders.programs;
  target_.link = &c_.core.link;
  target_.log = &c_.core.log;
  target_.language = c_.core.settings.languageNumber;
  target_.catalogue = &c_.core.language;
  target_.messages = this;
  target_.clock = &c_.core.services.clock;
  progressSignals_ = 0;
  running_ = true;
  completed_ = false;
  worker_ = std::thread([this] {
    CProgramRunner runner(target_);
    runner.Run();
  });
}

int CUpdateProgram::Show(const std::string& text, unsigned type) {
  // On the run's thread: the box is shown by the page; the run goes on
  // (every box of a run has only an OK button).
  {
    std::lock_guard lock(messagesMutex_);
    messages_.emplace_back(text, type);
  }
  emit RunMessage();
  return RESULT_OK;
}

void CUpdateProgram::DrainMessages() {
  for (;;) {
    std::pair<std::string, unsigned> message;
    {
      std::lock_guard lock(messagesMutex_);
      if (messages_.empty()) {
        return;
      }
      message = std::move(messages_.front());
      messages_.pop_front();
    }
    c_.core.services.messages.Show(message.first, message.second);
  }
}

void CUpdateProgram::SetProgress(int perMille) {
  ++progressSignals_;
  progress_->setValue(perMille);
  percent_->setText(QString::number(perMille / 10) + "%");
  percent_->repaint();
}

void CUpdateProgram::Finish(int result) {
  DrainMessages();
  EnableButtons(true);
  if (!running_) {
    return;
  }
  if (worker_.joinable()) {
    worker_.join();
  }
  running_ = false;
  APP_SETTINGS& settings = c_.core.settings;
  if (result == 0) {
    percent_->setText(Text("BUSY_MESSAGE11"));
    completed_ = true;
    settings.startPage = settings.autoUpdate ? 0 : 1;
    progress_->setValue(0);
    if (auto* host = qobject_cast<QDialog*>(window()); host != nullptr && host != static_cast<QWidget*>(this)) {
      host->done(1);
    }
    settings.autoUpdate = true;
    return;
  }
  if (result == 1) {
    percent_->setText(Text("BUSY_MESSAGE14"));
    status_->setText(Text("BUSY_MESSAGE15"));
  } else if (result < 0) {
    errorText_ = Format(c_.core.Text("ERROR_MESSAGE104"), result);
    c_.core.services.messages.Show(errorText_, MB_ERROR);
  }
  progress_->setValue(0);
}

bool CUpdateProgram::CanLeave() {
  if (running_) {
    return false;
  }
  if (!completed_) {
    c_.core.services.messages.Show(c_.core.Text("STATUS_MESSAGE44"), MB_INFO);
  }
  return true;
}

void CUpdateProgram::OnBrowse() {
  if (c_.noSensor) {
    c_.core.services.messages.Show(c_.core.Text("STATUS_MESSAGE37"), MB_ERROR);
    return;
  }
  std::string chosen;
  if (c_.browse) {
    chosen = c_.browse(this);
  } else {
    const QString filters = QStringLiteral(
        "Combined Encrypted/Packet Program File (*.fp2);;\t\t   Encrypted Program File (*.fep);;\t\t   Packet "
        "Program File (*.pkt)");
    QFileDialog dialog(this, Text("STATUS_MESSAGE38"), FromUtf8(c_.core.folders.programs.string()), filters);
    dialog.setDefaultSuffix("fp2");
    dialog.selectFile("*.fp2");
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    SizeFileDialog(dialog);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
      chosen = dialog.selectedFiles().front().toStdString();
    }
  }
  if (!chosen.empty()) {
    file_->setText(FromUtf8(chosen));
    file_->setCursorPosition(0);
  }
}

void CUpdateProgram::OnSelectProgram() {
  const std::vector<std::string> names =
      ListCompatibleFirmware(c_.core.models, ModelFilePath(c_.core), c_.core.folders.programs);
  const std::string chosen = c_.choose ? c_.choose(this, names) : ChooseFirmwareFile(c_.core, names, this);
  if (!chosen.empty()) {
    file_->setText(FromUtf8(chosen));
    file_->setCursorPosition(0);
  }
}

void CUpdateProgram::keyPressEvent(QKeyEvent* event) {
  // Enter and Escape do not close the page's window.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

bool CUpdateProgram::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
    auto* widget = qobject_cast<QWidget*>(watched);
    const int id = widget != nullptr ? ControlId(widget) : 0;
    if (c_.help != nullptr && id != 0) {
      const bool sensorTopic = id == IDC_PROGRAM || id == IDC_UPDATEBOX || id == IDC_SELECTPROGRAM;
      c_.help->ShowPage(sensorTopic ? "UPDATE_SENSOR.htm" : "UPDATE_PROGRAM.htm");
    }
    // The click then acts as a left click.
    if (auto* button = qobject_cast<QPushButton*>(watched); button != nullptr && button->isEnabled()) {
      button->click();
    }
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tolvane::firmware
