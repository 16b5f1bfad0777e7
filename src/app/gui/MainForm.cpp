#include "app/gui/MainForm.h"

#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "app/gui/AboutDlg.h"
#include "app/gui/ProgramIcon.h"
#include "common/CheckedFormat.h"
#include "config/ui/GenericForm.h"

namespace tolvane {
namespace {

QLabel* ValueLabel(const std::string& text, QWidget* parent) {
  auto* label = new QLabel(FromUtf8(text), parent);
  label->setTextFormat(Qt::PlainText);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

}  // namespace

QWidget* CUnitSummaryPages::CreatePage(int pageId, CProgramCore& core, bool demonstration, IStartView*,
                                       QWidget* parent) {
  auto text = [&core](const char* key) { return core.Text(key); };
  const CONFIG_RECORD& record = core.record;

  auto* page = WithControlId(new QWidget(parent), pageId);
  auto* heading = new QLabel(page);
  QFont headingFont = heading->font();
  headingFont.setBold(true);
  headingFont.setPointSizeF(headingFont.pointSizeF() * 1.2);
  heading->setFont(headingFont);
  heading->setTextFormat(Qt::PlainText);
  heading->setText(FromUtf8(record.unitDescription.empty() ? record.modelName : record.unitDescription));

  // The unit's identity, as the Factory page and the information memory give it.
  auto* identity = new QFrame(page);
  identity->setFrameShape(QFrame::StyledPanel);
  auto* rows = new QVBoxLayout(identity);
  rows->setContentsMargins(14, 12, 14, 12);
  rows->setSpacing(6);
  rows->addWidget(ValueLabel(Format(text("IDC_PNSN"), record.modelName, record.serialNumber), identity));
  rows->addWidget(ValueLabel(Format(text("IDC_HW_MODEL"), record.firmwareName), identity));
  rows->addWidget(ValueLabel(text("IDC_SW_REVISION") + Format(": %04X", record.softwareRevision), identity));
  std::string modelFile = record.modelFileName;
  if (!record.modelFileRevision.empty()) {
    modelFile += Format(" (%s)", record.modelFileRevision);
  }
  rows->addWidget(ValueLabel(Format(text("IDC_MODELFILE"), modelFile), identity));

  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(18, 16, 18, 16);
  layout->setSpacing(12);
  layout->addWidget(heading);
  layout->addWidget(identity);
  if (demonstration) {
    auto* note = ValueLabel(text("IDD_MAINFORM_STUBBEDMODE"), page);
    note->setObjectName("demonstration");
    QFont italic = note->font();
    italic.setItalic(true);
    note->setFont(italic);
    layout->addWidget(note);
  }
  layout->addStretch(1);
  return page;
}

CMainForm::CMainForm(CProgramCore& core, bool demonstration, const std::string& caption, IPageFactory& pages,
                     IHelpHook& help, IStartView* start, QWidget* parent)
    : CKitDialog(parent),
      core_(core),
      help_(help),
      pages_(MainFormPages(core.settings.demoTab)),
      tabs_(WithControlId(new QTabWidget(this), IDC_TABS)),
      helpButton_(WithControlId(new QToolButton(this), IDC_HELPBUTTON)),
      statusBar_(new QStatusBar(this)),
      adapterField_(new QLabel(statusBar_)),
      unitField_(new QLabel(statusBar_)),
      fileField_(new QLabel(statusBar_)),
      demonstration_(demonstration) {
  setWindowTitle(FromUtf8(caption));
  setWindowIcon(ProgramIcon());
  // In the task bar, with a minimize box; no context-help button.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);

  for (const FORM_PAGE& page : pages_) {
    QWidget* widget = pages.CreatePage(page.id, core, demonstration, start, tabs_);
    tabs_->addTab(widget, FromUtf8(core.Text(page.captionKey)));
    if (auto* form = qobject_cast<CGenericForm*>(widget)) {
      connect(form, &CGenericForm::fileStateChanged, this, &CMainForm::RefreshStatus);
    }
  }
  // A page with unsaved work may keep the sheet on it: a click on a tab or a
  // key that changes the page asks before the other page shows.
  tabs_->tabBar()->installEventFilter(this);
  tabs_->installEventFilter(this);
  // Any other way the page changes still asks (afterwards).
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
    if (returning_ || index == current_) {
      return;
    }
    auto* leaving = dynamic_cast<IPageLeave*>(tabs_->widget(current_));
    if (leaving != nullptr && !leaving->CanLeave()) {
      returning_ = true;
      tabs_->setCurrentIndex(current_);
      returning_ = false;
      return;
    }
    current_ = index;
  });

  // Help: a click asks the help viewer; the arrow holds the About item.
  helpButton_->setText(FromUtf8(core.Text("IDD_HELP")));
  helpButton_->setPopupMode(QToolButton::MenuButtonPopup);
  helpButton_->setToolButtonStyle(Qt::ToolButtonTextOnly);
  helpButton_->setMinimumWidth(fontMetrics().averageCharWidth() * 12);
  auto* menu = new QMenu(helpButton_);
  menu->addAction(AboutItemText(core.language, core.settings), this, &CMainForm::ShowAbout);
  helpButton_->setMenu(menu);
  connect(helpButton_, &QToolButton::clicked, this, [this] { help_.ShowHelp(PageId(ActivePage())); });
  helpButton_->setToolTip(FromUtf8(core.Text("TIP_HELP")) + QStringLiteral(" (F1)"));
  // F1 opens the help of the page shown; on the configuration form the
  // control with the focus takes F1 itself for its own help page.
  auto* helpKey = new QShortcut(QKeySequence::HelpContents, this);
  helpKey->setContext(Qt::WindowShortcut);
  connect(helpKey, &QShortcut::activated, helpButton_, &QToolButton::click);

  // The sheet's OK and Cancel exist but are hidden: only the pages end it with OK.
  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  box->button(QDialogButtonBox::Ok)->hide();
  box->button(QDialogButtonBox::Cancel)->hide();
  box->button(QDialogButtonBox::Ok)->setAutoDefault(false);
  box->button(QDialogButtonBox::Cancel)->setAutoDefault(false);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(box);
  bottom->addStretch(1);
  bottom->addWidget(helpButton_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->setSpacing(8);
  layout->addWidget(tabs_, 1);
  layout->addLayout(bottom);

  for (QLabel* field : {adapterField_, unitField_, fileField_}) {
    field->setTextFormat(Qt::PlainText);
  }
  fileField_->setObjectName(QStringLiteral("statusFile"));
  unitField_->setObjectName(QStringLiteral("statusUnit"));
  adapterField_->setObjectName(QStringLiteral("statusAdapter"));
  statusBar_->setSizeGripEnabled(true);
  statusBar_->addWidget(unitField_);
  statusBar_->addWidget(fileField_, 1);
  statusBar_->addPermanentWidget(adapterField_);
  layout->addWidget(statusBar_);
  // The status bar runs along the window's lower edge.
  layout->setContentsMargins(10, 10, 10, 0);
  RefreshStatus();

  // Large enough for the largest page as it wants to be shown, but never
  // larger than the screen.
  resize(QSize(fontMetrics().averageCharWidth() * 100, fontMetrics().lineSpacing() * 30).expandedTo(sizeHint()));
  RestorePlacement();
}

void CMainForm::RefreshStatus() {
  MAIN_STATUS status;
  status.demonstration = demonstration_;
  status.adapter = core_.link.SelectedDescription();
  status.adapterGone = core_.link.AdapterGone();
  if (!demonstration_) {
    status.modelName = core_.record.modelName;
    status.serialNumber = core_.record.serialNumber;
  }
  if (auto* form = findChild<CGenericForm*>()) {
    status.fileName = form->FileInUse();
    status.configured = form->Configured();
    status.unsaved = form->Unsaved();
  }
  const MAIN_STATUS_TEXTS texts = MainStatusTexts([this](const char* key) { return core_.Text(key); }, status);
  adapterField_->setText(FromUtf8(texts.adapter));
  unitField_->setText(FromUtf8(texts.unit));
  fileField_->setText(FromUtf8(texts.file));
}

void CMainForm::RestorePlacement() {
  const QScreen* screen = this->screen();
  if (screen == nullptr) {
    return;
  }
  const QRect area = screen->availableGeometry();
  // The window frame of the desktop (its title bar above all) is not part
  // of the placement: leave it room on the screen.
  const QMargins frame = kFrameRoom;
  const SCREEN_AREA inner{area.x() + frame.left(), area.y() + frame.top(), area.width() - frame.left() - frame.right(),
                          area.height() - frame.top() - frame.bottom()};
  std::string value;
  const QSize least = minimumSizeHint();
  if (!core_.store.ReadString(kMainWindowPlacement, value)) {
    if (const auto kept = ParsePlacement(value)) {
      const WINDOW_PLACEMENT fitted = FitPlacement(*kept, inner, least.width(), least.height());
      setGeometry(fitted.x, fitted.y, fitted.width, fitted.height);
      setProperty(kKeptPlacementProperty, true);
      return;
    }
  }
  // First run: the size it wants, within the screen, centred on it.
  const WINDOW_PLACEMENT wanted{0, 0, width(), height()};
  WINDOW_PLACEMENT fitted = FitPlacement(wanted, inner, least.width(), least.height());
  fitted.x = inner.x + (inner.width - fitted.width) / 2;
  fitted.y = inner.y + (inner.height - fitted.height) / 2;
  setGeometry(fitted.x, fitted.y, fitted.width, fitted.height);
}

void CMainForm::StorePlacement() {
  // The placement kept is the one the first page (the configuration form)
  // was worked in: a window that closes on another page (the Updates page
  // ending a firmware update, sized before any form was shown) would leave
  // the next window too small for the form.
  if (!isVisible() || tabs_->currentIndex() != 0) {
    return;
  }
  const QRect shown = isMaximized() || isFullScreen() ? normalGeometry() : geometry();
  // A failed write is not reported: the next run opens at the default size.
  core_.store.WriteString(kMainWindowPlacement,
                          FormatPlacement(WINDOW_PLACEMENT{shown.x(), shown.y(), shown.width(), shown.height()}));
}

void CMainForm::done(int result) {
  StorePlacement();
  CKitDialog::done(result);
}

void CMainForm::RequestPage(int index) {
  if (index < 0 || index >= PageCount() || index == tabs_->currentIndex()) {
    return;
  }
  auto* leaving = dynamic_cast<IPageLeave*>(tabs_->currentWidget());
  if (leaving != nullptr && !leaving->CanLeave()) {
    return;
  }
  returning_ = true;
  tabs_->setCurrentIndex(index);
  returning_ = false;
  current_ = index;
}

bool CMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == tabs_->tabBar() && event->type() == QEvent::MouseButtonPress) {
    auto* press = static_cast<QMouseEvent*>(event);
    if (press->button() == Qt::LeftButton) {
      const int index = tabs_->tabBar()->tabAt(press->position().toPoint());
      if (index >= 0 && index != tabs_->currentIndex()) {
        RequestPage(index);
        return true;
      }
    }
  }
  if ((watched == tabs_->tabBar() || watched == tabs_) && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    const bool ctrl = (key->modifiers() & Qt::ControlModifier) != 0;
    const int count = PageCount();
    const int at = tabs_->currentIndex();
    int target = -1;
    if ((ctrl && key->key() == Qt::Key_Tab) || (ctrl && key->key() == Qt::Key_PageDown) ||
        (watched == tabs_->tabBar() && key->key() == Qt::Key_Right)) {
      target = (at + 1) % count;
    } else if ((ctrl && key->key() == Qt::Key_Backtab) || (ctrl && key->key() == Qt::Key_PageUp) ||
               (watched == tabs_->tabBar() && key->key() == Qt::Key_Left)) {
      target = (at + count - 1) % count;
    }
    if (target >= 0) {
      RequestPage(target);
      return true;
    }
  }
  return CKitDialog::eventFilter(watched, event);
}

int CMainForm::PageCount() const { return tabs_->count(); }

int CMainForm::PageId(int index) const {
  return index >= 0 && index < static_cast<int>(pages_.size()) ? pages_[static_cast<std::size_t>(index)].id : 0;
}

QString CMainForm::PageCaption(int index) const { return tabs_->tabText(index); }

int CMainForm::ActivePage() const { return tabs_->currentIndex(); }

void CMainForm::showEvent(QShowEvent* event) {
  CKitDialog::showEvent(event);
  if (opened_) {
    return;
  }
  opened_ = true;
  tabs_->setCurrentIndex(std::clamp(startPage_, 0, PageCount() - 1));
  // The sheet does not open on the updates page unless a firmware update was
  // accepted for this opening (the updates page then runs it).
  if (ActivePage() == 1 && !core_.settings.autoUpdate) {
    tabs_->setCurrentIndex(0);
  }
}

void CMainForm::keyPressEvent(QKeyEvent* event) {
  // Escape never closes the sheet, whatever page had it first.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  CKitDialog::keyPressEvent(event);
}

void CMainForm::mousePressEvent(QMouseEvent* event) {
  // A right-button press the page left alone goes no further: the pages use
  // the right button for help.
  if (event->button() == Qt::RightButton) {
    event->accept();
    return;
  }
  CKitDialog::mousePressEvent(event);
}

void CMainForm::contextMenuEvent(QContextMenuEvent* event) { event->accept(); }

void CMainForm::ShowAbout() {
  CAboutDlg about(core_.language, core_.settings, core_.tables.program.programId, this);
  about.exec();
}

}  // namespace tolvane
