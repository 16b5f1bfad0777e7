#include "app/gui/OstrelDlg.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "app/gui/AboutDlg.h"
#include "app/gui/MainForm.h"
#include "app/gui/ProgramIcon.h"
#include "common/CheckedFormat.h"
#include "link/ui/PortSelect.h"
#include "shell/GuideProcedure.h"
#include "shell/ui/BusyWindow.h"
#include "shell/ui/CopyrightBox.h"
#include "shell/ui/DialogSupport.h"
#include "shell/ui/ErrorDetail.h"
#include "shell/ui/MessageBox.h"

namespace tolvane {
namespace {

constexpr char kCorporateModelMissing[] =
    "Corporate model file not found!\nUpdate to the latest software version.\nApplication will exit.";

}  // namespace

CGuiMailbox::CGuiMailbox() : gui_(std::this_thread::get_id()) {}

void CGuiMailbox::Post(std::function<void()> call) {
  if (OnGuiThread()) {
    call();
    return;
  }
  std::lock_guard lock(m_);
  if (!closed_) {
    calls_.push_back(std::move(call));
    ++posted_;
  }
}

bool CGuiMailbox::Call(const std::function<void()>& call) {
  if (OnGuiThread()) {
    call();
    return true;
  }
  std::unique_lock lock(m_);
  if (closed_) {
    return false;
  }
  calls_.emplace_back([&call] { call(); });
  const std::uint64_t ticket = ++posted_;
  cv_.wait(lock, [&] { return closed_ || done_ >= ticket; });
  return done_ >= ticket;
}

void CGuiMailbox::Drain() {
  // A call that paints through or opens a box runs the event loop, and with
  // it this drain again: the calls behind it wait for it, in order.
  if (draining_) {
    return;
  }
  draining_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{draining_};
  for (;;) {
    std::function<void()> call;
    {
      std::lock_guard lock(m_);
      if (calls_.empty() || closed_) {
        return;
      }
      call = std::move(calls_.front());
      calls_.pop_front();
    }
    call();
    {
      std::lock_guard lock(m_);
      ++done_;
    }
    cv_.notify_all();
  }
}

void CGuiMailbox::Close() {
  {
    std::lock_guard lock(m_);
    closed_ = true;
    calls_.clear();
  }
  cv_.notify_all();
}

void CGuiThreadBusy::SetMessage(const std::string& text) {
  mailbox_.Post([this, text] {
    if (target_ != nullptr) {
      target_->SetMessage(text);
    }
  });
}

void CGuiThreadBusy::SetProgress(int percent) {
  mailbox_.Post([this, percent] {
    if (target_ != nullptr) {
      target_->SetProgress(percent);
    }
  });
}

void CGuiThreadErrors::Show(const std::string& message, const std::string& detail) {
  // A worker waits until the user has read the message.
  mailbox_.Call([&] {
    if (target_ != nullptr) {
      target_->Show(message, detail);
    }
  });
}

int CGuiThreadMessages::Show(const std::string& text, unsigned type) {
  int result = RESULT_CANCEL;
  mailbox_.Call([&] {
    if (target_ != nullptr) {
      result = target_->Show(text, type);
    }
  });
  return result;
}

int CPlatformQuestion::Show(const std::string& text, unsigned type) {
  const auto buttons = (type & MB_YESNO) != 0 ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok;
  const QMessageBox::Icon icon = (type & MB_YESNO) != 0 ? QMessageBox::Question : QMessageBox::Information;
  QMessageBox box(icon, FromUtf8(caption_), FromUtf8(text), buttons, &parent_);
  box.setTextFormat(Qt::PlainText);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return RESULT_YES;
    case QMessageBox::No:
      return RESULT_NO;
    case QMessageBox::Ok:
      return RESULT_OK;
    default:
      return RESULT_CANCEL;
  }
}

COstrelDlg::COstrelDlg(START_ENVIRONMENT environment, QWidget* parent)
    : QDialog(parent),
      env_(std::move(environment)),
      messageProxy_(mailbox_),
      errorProxy_(mailbox_),
      busyProxy_(mailbox_),
      core_(std::make_unique<CProgramCore>(
          env_.folders, PROGRAM_SERVICES{messageProxy_, errorProxy_, busyProxy_, env_.bridge, env_.clock, env_.registry,
                                         env_.now, env_.helpTable})),
      question_(*this),
      statusFrame_(WithControlId(new QGroupBox(this), IDC_FRAME_STATUS)),
      status_(WithControlId(new QLabel(this), IDC_STATUS)),
      progress_(WithControlId(new QProgressBar(this), IDC_PROGRESS)),
      startupFrame_(WithControlId(new QGroupBox(this), IDC_FRAME_STARTUP)),
      result_(WithControlId(new QLabel(this), IDC_START_STATUS)),
      restart_(WithControlId(new QPushButton(this), IDC_RESTART)),
      sample_(WithControlId(new QPushButton(this), IDC_STUBBEDMODE)),
      about_(WithControlId(new QToolButton(this), IDM_ABOUTBOX)),
      timer_(new QTimer(this)),
      mailTimer_(new QTimer(this)) {
  WithControlId(this, IDD);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  // The dialog kit's windows, on the language and settings of the core.
  messages_ = new CMessageBox(core_->language, core_->settings, this);
  errors_ = new CErrorDetail(core_->language, core_->settings, this);
  busy_ = new CBusyWindow(core_->language, core_->settings, this);
  messageProxy_.SetTarget(messages_);
  errorProxy_.SetTarget(errors_);
  busyProxy_.SetTarget(busy_);

  // The header: the program's icon and its title.
  auto* icon = new QLabel(this);
  icon->setPixmap(ProgramIcon().pixmap(48, 48));
  auto* heading = new QLabel(this);
  heading->setObjectName("heading");
  QFont headingFont = heading->font();
  headingFont.setPointSizeF(headingFont.pointSizeF() * 1.35);
  headingFont.setBold(true);
  heading->setFont(headingFont);
  about_->setText(AboutItemText(core_->language, core_->settings));
  about_->setAutoRaise(true);
  connect(about_, &QToolButton::clicked, this, &COstrelDlg::ShowAbout);

  auto* header = new QHBoxLayout;
  header->setSpacing(12);
  header->addWidget(icon);
  header->addWidget(heading, 1);
  header->addWidget(about_, 0, Qt::AlignTop);

  status_->setTextFormat(Qt::PlainText);
  status_->setMinimumHeight(fontMetrics().lineSpacing());
  progress_->setRange(0, 100);
  progress_->setTextVisible(false);
  progress_->setFixedHeight(fontMetrics().height());
  auto* statusLayout = new QVBoxLayout(statusFrame_);
  statusLayout->setSpacing(8);
  statusLayout->addWidget(status_);
  statusLayout->addWidget(progress_);

  result_->setTextFormat(Qt::PlainText);
  result_->setWordWrap(true);
  result_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  result_->setMinimumHeight(fontMetrics().lineSpacing() * 3);
  const int buttonWidth = fontMetrics().averageCharWidth() * 18;
  restart_->setMinimumWidth(buttonWidth);
  sample_->setMinimumWidth(buttonWidth);
  restart_->setAutoDefault(false);
  sample_->setAutoDefault(false);
  connect(restart_, &QPushButton::clicked, this, &COstrelDlg::StartAttempt);
  connect(sample_, &QPushButton::clicked, this, &COstrelDlg::StartSample);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(restart_);
  buttons->addWidget(sample_);
  auto* startupLayout = new QVBoxLayout(startupFrame_);
  startupLayout->setSpacing(10);
  startupLayout->addWidget(result_, 1);
  startupLayout->addLayout(buttons);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 14, 16, 16);
  layout->setSpacing(12);
  layout->addLayout(header);
  layout->addWidget(statusFrame_);
  layout->addWidget(startupFrame_, 1);
  setMinimumWidth(fontMetrics().averageCharWidth() * 72);

  timer_->setSingleShot(true);
  connect(timer_, &QTimer::timeout, this, &COstrelDlg::OnTimer);
  // What the link work hands over reaches the windows within a few milliseconds.
  mailTimer_->setInterval(5);
  connect(mailTimer_, &QTimer::timeout, this, [this] { mailbox_.Drain(); });
  EnableButtons(false);
}

COstrelDlg::~COstrelDlg() {
  timer_->stop();
  mailTimer_->stop();
  // A message the link work still waits for will not be shown any more.
  mailbox_.Close();
  if (attempt_.joinable()) {
    attempt_.join();
  }
  // The core signals the link worker to quit and waits up to 1000 ms for it.
  core_->StopWorker();
}

int COstrelDlg::Run() {
  // The start window ends the program, not the last window closed: it is
  // out of sight while the main window is open, and between the main window
  // closing with OK and the next start no window may be showing.
  QGuiApplication::setQuitOnLastWindowClosed(false);
  if (!InitDialog()) {
    return endCode_;
  }
  exec();
  return endCode_;
}

bool COstrelDlg::InitDialog() {
  // About box and icons.
  setWindowIcon(ProgramIcon());

  busy_->setWindowTitle(QString());
  busy_->SetProgress(0);
  progress_->setValue(10);
  status_->clear();

  int settingsCode = 0;
  switch (core_->Start(settingsCode)) {
    case CProgramCore::StartResult::NoCorporateModel:
      messages_->Show(kCorporateModelMissing, MB_PLAIN);
      endCode_ = END_NO_CORPORATE_MODEL;
      return false;
    case CProgramCore::StartResult::SettingsFailed:
      SetLabels();
      errors_->Show(Format(Text("ERROR_MESSAGE16"), settingsCode), Text("ERROR_MESSAGE17"));
      endCode_ = END_SETTINGS_FAILED;
      return false;
    case CProgramCore::StartResult::Ok:
      break;
  }
  SetLabels();

  title_ = core_->Title();
  setWindowTitle(FromUtf8(title_));
  findChild<QLabel*>("heading")->setText(FromUtf8(title_));
  messages_->SetCaption(core_->tables.program.programName);
  question_.SetCaption(core_->tables.program.programName);

  if (env_.network.CheckForUpdates(*core_)) {
    return false;  // the installer runs: the program ends
  }
  if (core_->settings.guide) {
    CViewGuide prompt(core_->language, core_->settings, this);
    RunGuideProcedure(prompt, core_->store, env_.opener, errorProxy_, core_->language, core_->settings,
                      env_.folders.help);
  }
  env_.network.SendPendingUploads(*core_);

  core_->settings.autoUpdate = false;
  core_->settings.startPage = 0;
  // A tool window: the main window is the one in the task bar.
  setWindowFlag(Qt::Tool, true);

  core_->StartWorker();
  timer_->start(env_.timerInterval);
  return true;
}

void COstrelDlg::SetLabels() {
  statusFrame_->setTitle(FromUtf8(Text("IDC_FRAME_STATUS")));
  startupFrame_->setTitle(FromUtf8(Text("IDC_FRAME_STARTUP")));
  sample_->setText(FromUtf8(Text("IDC_STUBBEDMODE")));
  restart_->setText(FromUtf8(Text("IDC_RESTART")));
  sample_->setToolTip(FromUtf8(Text("TIP_STUBBEDMODE")));
  restart_->setToolTip(FromUtf8(Text("TIP_RESTART")));
  busy_->setWindowTitle(FromUtf8(Text("IDD_BUSYWINDOW")));
  about_->setText(AboutItemText(core_->language, core_->settings));
  qtTexts_.Apply(core_->settings.languageNumber);
}

void COstrelDlg::OnTimer() {
  timer_->stop();
  if (env_.firstRun) {
    CCopyrightBox box(core_->language, core_->settings, env_.folders.program, this, env_.copyrightInterval);
    box.exec();
    env_.firstRun = false;
  } else {
    show();
  }
  StartAttempt();
}

void COstrelDlg::EnableButtons(bool enable) {
  for (QPushButton* button : {restart_, sample_}) {
    button->setEnabled(enable);
    button->repaint();
  }
}

void COstrelDlg::StartAttempt() {
  if (attempting_ || ended_) {
    return;
  }
  progress_->setValue(10);
  EnableButtons(false);

  std::vector<std::string> found;
  const int count = core_->link.FindAdapters(found, link::kAdapterVendorId, link::kAdapterProductId);
  auto text = [this](const char* key) { return Text(key); };
  switch (ClassifyAdapters(count)) {
    case AdapterOutcome::Unsupported:
      result_->setText(FromUtf8(Text("IDC_START_STATUS1")));
      status_->clear();
      progress_->setValue(0);
      return;  // the buttons stay disabled: nothing can work here
    case AdapterOutcome::NoAdapter:
      result_->setText(FromUtf8(NoAdapterText(text, core_->tables.program.programId)));
      status_->clear();
      progress_->setValue(0);
      EnableButtons(true);
      return;
    case AdapterOutcome::One:
      core_->link.SetSelectedDescription(found.front());
      result_->setText(FromUtf8(ConnectingText(text, found.front())));
      break;
    case AdapterOutcome::Choose: {
      const std::vector<link::PORTID> ports = link::BuildPortList(found);
      link::CPortSelect select(
          ports, [this](std::string_view key) { return Text(std::string(key).c_str()); }, this);
      if (select.exec() == QDialog::Accepted && select.Choice() != nullptr) {
        core_->link.SetSelectedDescription(select.Choice()->description);
        result_->setText(FromUtf8(ConnectingText(text, select.Choice()->description)));
      }
      // Closed without a choice: the description selected before stays.
      break;
    }
  }
  RunIdentification(false, true);
}

void COstrelDlg::StartSample() {
  if (attempting_ || ended_) {
    return;
  }
  progress_->setValue(10);
  EnableButtons(false);
  RunIdentification(true, false);
}

void COstrelDlg::RunIdentification(bool demonstration, bool connectFirst) {
  // The probe of ConnectUnit takes up to about 4 s on a real unit: the link
  // work runs on a thread of its own so that the windows keep painting. The
  // buttons stay disabled until the result is back.
  attempting_ = true;
  mailTimer_->start();
  attempt_ = std::thread([this, demonstration, connectFirst] {
    const int connectResult = connectFirst ? core_->link.ConnectUnit() : 0;
    int identified = 0;
    IDENTIFY_RESULT result;
    if (connectResult == 0) {
      mailbox_.Post([this] {
        busy_->show();
        busy_->raise();
      });
      identified = core_->IdentifyUnit(demonstration, this, result);
    }
    mailbox_.Post([this, demonstration, connectResult, identified, result] {
      FinishAttempt(demonstration, connectResult, identified, result);
    });
  });
}

void COstrelDlg::FinishAttempt(bool demonstration, int connectResult, int identified, const IDENTIFY_RESULT& result) {
  attempt_.join();
  attempting_ = false;
  mailTimer_->stop();
  if (connectResult != 0) {
    result_->setText(FromUtf8(ConnectFailedText([this](const char* key) { return Text(key); }, connectResult)));
    status_->clear();
    progress_->setValue(0);
    EnableButtons(true);
    return;
  }
  const ATTEMPT_DECISION decision = AfterIdentification(
      identified, result, core_->settings.kestrineMode, [this](const char* key) { return Text(key); }, *messages_,
      question_);
  busy_->hide();
  if (decision.openForms) {
    ShowForms(demonstration, decision.endDialog);
  } else if (decision.endDialog) {
    EndDialog(END_NORMAL);
  }
  // Otherwise the attempt has stopped: the buttons stay disabled and only
  // closing the window remains.
}

void COstrelDlg::ShowForms(bool demonstration, bool endAfterwards) {
  const std::string caption = MainFormCaption(title_, demonstration, Text("IDD_MAINFORM_STUBBEDMODE"));
  messages_->SetCaption(core_->tables.program.programName);

  // The main window is the one the user works in: the start window is out
  // of sight until the start sequence runs again (the timer shows it).
  CMainForm form(*core_, demonstration, caption, env_.pages, env_.help, this, this);
  form.SetStartPage(
      DecideStartPage(core_->settings, demonstration, [this] { return env_.pages.OfferNewerFirmware(*core_); }));
  mainForm_ = &form;
  // Once the main window is on screen (never leave the program without a
  // window), and past QDialog's own hide, which would end the start
  // window's run.
  QTimer::singleShot(0, this, [this] {
    if (mainForm_ != nullptr && mainForm_->isVisible()) {
      QWidget::setVisible(false);
    }
  });
  const int result = form.exec();
  mainForm_ = nullptr;

  if (endAfterwards || result != RESULT_OK) {
    EndDialog(END_NORMAL);
    return;
  }
  // OK: the start runs again for the next unit.
  timer_->start(env_.timerInterval);
}

void COstrelDlg::EndDialog(int code) {
  ended_ = true;
  endCode_ = code;
  timer_->stop();
  if (isHidden()) {
    // Out of sight behind the main window: QDialog ends only a shown
    // dialog's run, so it is shown, off the screen, to be ended.
    setAttribute(Qt::WA_DontShowOnScreen, true);
    QWidget::setVisible(true);
  }
  done(code);
}

void COstrelDlg::SetStatus(const std::string& text) {
  mailbox_.Post([this, text] { status_->setText(FromUtf8(text)); });
}

void COstrelDlg::SetProgress(int percent) {
  mailbox_.Post([this, percent] { progress_->setValue(std::clamp(percent, 0, 100)); });
}

void COstrelDlg::ShowAbout() {
  CAboutDlg about(core_->language, core_->settings, core_->tables.program.programId, this);
  about.exec();
}

void COstrelDlg::reject() {
  // Not while the unit is being connected: the link work is under way.
  if (attempting_) {
    return;
  }
  EndDialog(END_NORMAL);
}

void COstrelDlg::closeEvent(QCloseEvent* event) {
  if (attempting_) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void COstrelDlg::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  menu.addAction(AboutItemText(core_->language, core_->settings), this, &COstrelDlg::ShowAbout);
  menu.exec(event->globalPos());
}

}  // namespace tolvane
