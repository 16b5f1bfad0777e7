#include "config/ui/GenericForm.h"
#include "geometry/ui/TankDialogs.h"

#include "config/AdvancedEntries.h"
#include "config/ui/AdvancedForm.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <optional>

#include "common/CheckedFormat.h"
#include "common/FileSystem.h"
#include "common/StdioFileEx.h"
#include "config/ConfigValues.h"
#include "config/PageMapping.h"
#include "config/UnitsChange.h"
#include "config/ValueChecks.h"
#include "config/ui/SetFileName.h"
#include "config/ui/TankPicture.h"
#include "geometry/Structures.h"
#include "shell/ui/BusyWindow.h"
#include "shell/ui/DialogSupport.h"
#include "shell/ui/SetOptions.h"

namespace tolvane {
namespace {

using namespace tolvane::config;

std::string Trimmed(const std::string& s) {
  const auto b = s.find_first_not_of(' ');
  if (b == std::string::npos) {
    return {};
  }
  return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

std::string ToUtf8(const QString& s) { return s.toUtf8().toStdString(); }

// A thrown message of the form start: the log and the error-detail dialog take it.
struct StartFailure {
  std::string message;
};

// The form's busy window for one operation: it opens with the first message
// or progress and closes when the operation is over (or earlier on request).
// A failing start never leaves it open.
class ScopedBusy final : public IBusyWindow {
 public:
  ScopedBusy(const CLanguageFile& language, const APP_SETTINGS& settings, QWidget* owner, IStartView* start)
      : language_(language), settings_(settings), owner_(owner), start_(start) {}
  ~ScopedBusy() override { Close(); }
  ScopedBusy(const ScopedBusy&) = delete;
  ScopedBusy& operator=(const ScopedBusy&) = delete;

  void SetMessage(const std::string& text) override {
    if (Open()) {
      window_->SetMessage(text);
    }
    if (start_ != nullptr) {
      start_->SetStatus(text);
    }
  }
  void SetProgress(int progress) override {
    if (Open()) {
      window_->SetProgress(progress);
    }
    if (start_ != nullptr) {
      start_->SetProgress(progress);
    }
  }
  void Step(const std::string& message, int progress) {
    SetMessage(message);
    SetProgress(progress);
  }
  void Progress(int progress) { SetProgress(progress); }
  // Closed for good: later messages of the operation go nowhere.
  void Close() {
    delete window_;
    window_ = nullptr;
    closed_ = true;
  }

 private:
  bool Open() {
    if (window_ == nullptr && !closed_) {
      window_ = new CBusyWindow(language_, settings_, owner_);
      window_->SetBlocking(true);
      window_->show();
      window_->raise();
    }
    return window_ != nullptr;
  }

  const CLanguageFile& language_;
  const APP_SETTINGS& settings_;
  QWidget* owner_;
  IStartView* start_;
  CBusyWindow* window_ = nullptr;
  bool closed_ = false;
};

}  // namespace

// What the write procedure shows on the form.
class CFormWriteView final : public IWriteView {
 public:
  CFormWriteView(CGenericForm& form, ScopedBusy& busy) : form_(form), busy_(busy) {}
  void ShowValues() override { form_.ShowValues(); }
  void ClearFileName() override {
    form_.fileName_->clear();
    form_.fileDate_->clear();
  }
  void SetWritePushed(bool pushed) override {
    form_.write_->setCheckable(pushed);
    form_.write_->setChecked(pushed);
    // Drawn as it now is, not as it was when the mouse last passed.
    form_.write_->setDown(false);
    form_.write_->update();
  }
  void ShowIdentity() override { form_.ShowIdentity(); }
  void ShowDecoded() override { form_.AfterRecordChanged(); }
  bool NextUnit() override {
    const std::string ask = form_.Text("STATUS_MESSAGE23");
    if (form_.core_.services.messages.Show(ask, MB_YESNO) != RESULT_YES) {
      return false;
    }
    form_.core_.services.messages.Show(form_.Text("STATUS_MESSAGE24"), MB_PLAIN);
    return true;
  }
  void CloseBusy() override { busy_.Close(); }

 private:
  CGenericForm& form_;
  ScopedBusy& busy_;
};

// --- the desktop's dialogs -------------------------------------------------

std::filesystem::path CConfigFileDialogs::ChooseFile(const std::filesystem::path& folder, const std::string& title) {
  QFileDialog dialog(parent_, FromUtf8(title), QString::fromStdString(folder.string()),
                     QStringLiteral("Text Files (*.txt)"));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(QStringLiteral("txt"));
  dialog.setOption(QFileDialog::ReadOnly, false);
  SizeFileDialog(dialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return {};
  }
  return std::filesystem::path(dialog.selectedFiles().front().toStdString());
}

bool CConfigFileDialogs::ConfirmName(std::string& name) {
  CSetFileName dialog(name, language_, settings_, parent_);
  return dialog.exec() == QDialog::Accepted;
}

void CConfigFileDialogs::Print(const std::filesystem::path& file) {
  CStdioFileEx in;
  std::string text;
  if (in.Open(file, CStdioFileEx::modeRead)) {
    std::string line;
    while (in.ReadString(line)) {
      text += line;
      text += '\n';
    }
  }
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(QString::fromStdString(file.filename().string()));
  QPrintDialog dialog(&printer, parent_);
  if (dialog.exec() != QDialog::Accepted) {
    return;
  }
  QTextDocument document;
  document.setDefaultFont(QFont(QStringLiteral("DejaVu Sans Mono"), 10));
  document.setPlainText(FromUtf8(text));
  document.print(&printer);
}

// --- item boxes ------------------------------------------------------------

CItemCombo::CItemCombo(QWidget* parent) : QComboBox(parent) {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  setCompleter(nullptr);
  setMaxVisibleItems(20);
}

void CItemCombo::showPopup() {
  emit dropDown();
  listOpen_ = true;
  QComboBox::showPopup();
}

void CItemCombo::hidePopup() {
  QComboBox::hidePopup();
  listOpen_ = false;
  // The choice is in place only after the list has closed.
  QTimer::singleShot(0, this, [this] { emit closeUp(); });
}

// --- the form --------------------------------------------------------------

CGenericForm::CGenericForm(GENERIC_FORM_SERVICES services, QWidget* parent)
    : QWidget(parent), s_(services), core_(services.core), model_(core_.tables.model), record_(core_.record) {
  WithControlId(this, IDD);
  formTank_ = MakeFormTank(core_);
  pictures_ = std::make_unique<CTankPictureComposer>(core_.tables.images, core_.folders.bitmaps,
                                                     core_.services.messages, core_.language,
                                                     core_.settings.languageNumber, palette().color(QPalette::Window));
  if (s_.notice == nullptr) {
    // The upload notice with its "do not show again" box.
    s_.notice = new CSetOptions(core_.language, core_.settings, this);
  }
  Build();
  demoTimer_ = new QTimer(this);
  demoTimer_->setSingleShot(true);
  connect(demoTimer_, &QTimer::timeout, this, &CGenericForm::OnDemonstrationTimer);
}

CGenericForm::~CGenericForm() = default;

std::string CGenericForm::Text(const char* key) const { return core_.Text(key); }

const QImage& CGenericForm::TankPicture() const { return tank_->Picture(); }

QWidget* CGenericForm::ControlAt(int id) const { return FindControl(const_cast<CGenericForm*>(this), id); }

void CGenericForm::Build() {
  auto label = [this](int id, QWidget* parent) {
    auto* l = WithControlId(new QLabel(parent), id);
    l->setTextFormat(Qt::PlainText);
    return l;
  };
  auto button = [this](int id) {
    auto* b = WithControlId(new QPushButton(this), id);
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, [this, id] {
      switch (id) {
        case IDC_WRITETARGET:
          OnWriteToUnit();
          break;
        case IDC_VIEWDRAWING:
          OnWiringDiagram();
          break;
        case IDC_DEFAULTCFG:
          OnFactoryConfig();
          break;
        case IDC_RESET:
          OnClearScreen();
          break;
        case IDC_ADVANCED:
          if (RunAdvancedButton(
                  model_, record_, core_.folders.program, core_.services.messages, core_.language, core_.settings,
                  [this] { s_.help.ShowControlHelp(IDC_ADVANCED); }, this)) {
            advancedMarker_->SetMarker(config::AdvancedMarker(model_, record_));
          }
          break;
        case IDC_OPENFILE:
          OnOpenConfigFile();
          break;
        case IDC_SAVEFILE:
          OnSaveConfigFile();
          break;
        case IDC_PRINTFILE:
          OnPrintConfigFile();
          break;
        case IDC_TESTCONFIGS:
          OnTestConfigs();
          break;
        case IDC_VIEWTANKS:
          OnViewTanks();
          break;
        case IDC_NONLINEAR:
          OnNonLinear();
          break;
        default:
          break;
      }
    });
    return b;
  };

  // Identity of the unit, beside the logo.
  logo_ = WithControlId(new CPictureBox(this), IDC_LOGO);
  description_ = label(IDC_MODELDESCRIPTION, this);
  QFont bold = description_->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.15);
  description_->setFont(bold);
  identity_ = label(IDC_PNSN, this);
  hardware_ = label(IDC_HW_MODEL, this);
  revision_ = label(IDC_SW_REVISION, this);
  auto* identityBox = new QVBoxLayout;
  identityBox->setSpacing(2);
  identityBox->addWidget(description_);
  identityBox->addWidget(identity_);
  auto* identityLine = new QHBoxLayout;
  identityLine->addWidget(hardware_);
  identityLine->addSpacing(24);
  identityLine->addWidget(revision_);
  identityLine->addStretch(1);
  identityBox->addLayout(identityLine);
  auto* head = new QHBoxLayout;
  head->addWidget(logo_);
  head->addSpacing(12);
  head->addLayout(identityBox, 1);

  // The configuration: item labels and boxes, the status line, the notes.
  configGroup_ = WithControlId(new QGroupBox(this), IDC_CONFIGWINDOW);
  auto* itemsGrid = new QGridLayout;
  itemsGrid->setHorizontalSpacing(10);
  itemsGrid->setVerticalSpacing(5);
  for (int i = 0; i < kMaxItems; ++i) {
    itemLabels_[At(i)] = label(kItemLabels[At(i)], configGroup_);
    items_[At(i)] = WithControlId(new CItemCombo(configGroup_), kItemBoxes[At(i)]);
    items_[At(i)]->setMinimumContentsLength(22);
    items_[At(i)]->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    itemsGrid->addWidget(itemLabels_[At(i)], i, 0);
    itemsGrid->addWidget(items_[At(i)], i, 1);
    connect(items_[At(i)], &CItemCombo::dropDown, this, [this, i] {
      if (!filling_) {
        OnItemDropDown(i);
      }
    });
    connect(items_[At(i)], &CItemCombo::closeUp, this, [this, i] {
      if (!filling_) {
        OnItemCloseUp(i);
      }
    });
    // A choice made without the list (arrow keys, the mouse wheel) counts as
    // one made in the list: otherwise the box would show an option the
    // record does not hold, and that option would not be written.
    connect(items_[At(i)], qOverload<int>(&QComboBox::activated), this, [this, i](int) {
      if (!filling_ && !items_[At(i)]->ListOpen()) {
        OnItemCloseUp(i);
      }
    });
    connect(items_[At(i)]->lineEdit(), &QLineEdit::textEdited, this, [this, i](const QString& typed) {
      if (!filling_) {
        OnItemEditChange(i, typed);
      }
    });
    items_[At(i)]->lineEdit()->installEventFilter(this);
  }
  itemsGrid->setColumnStretch(1, 1);
  status_ = label(IDC_STATUSLINE, configGroup_);
  QFont statusFont = status_->font();
  statusFont.setBold(true);
  status_->setFont(statusFont);
  // The status line takes the width the boxes give it and wraps within two
  // lines: its text never sets the column's width.
  status_->setWordWrap(true);
  status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  status_->setFixedHeight(status_->fontMetrics().lineSpacing() * 2 + 8);
  status_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  auto* notesLabel = label(IDC_DSLABEL, configGroup_);
  notes_ = WithControlId(new QPlainTextEdit(configGroup_), IDC_NOTES);
  notesLabel->setBuddy(notes_);
  notes_->setTabChangesFocus(true);
  notes_->setFixedHeight(notes_->fontMetrics().lineSpacing() * 3 + 12);
  auto* configBox = new QVBoxLayout(configGroup_);
  configBox->addLayout(itemsGrid);
  configBox->addWidget(status_);
  configBox->addStretch(1);
  configBox->addWidget(notesLabel);
  configBox->addWidget(notes_);

  // Tank levels: units, heights, level rows (highest first), the picture.
  tankGroup_ = WithControlId(new QGroupBox(this), IDC_TANKWINDOW);
  auto* levelsGrid = new QGridLayout;
  levelsGrid_ = levelsGrid;
  levelsGrid->setHorizontalSpacing(10);
  levelsGrid->setVerticalSpacing(5);
  units_ = WithControlId(new QComboBox(tankGroup_), IDC_UNITS);
  sensorHeight_ = WithControlId(new QLineEdit(tankGroup_), IDC_SENSORHEIGHT);
  fillHeight_ = WithControlId(new QLineEdit(tankGroup_), IDC_FILLHEIGHT);
  int row = 0;
  // Each label's access key moves the focus to its box.
  auto buddy = [&](int id, QWidget* box) {
    QLabel* l = label(id, tankGroup_);
    l->setBuddy(box);
    levelsGrid->addWidget(l, row, 0);
    levelsGrid->addWidget(box, row++, 1);
  };
  buddy(IDC_UNITLABEL, units_);
  buddy(IDC_SHLABEL, sensorHeight_);
  buddy(IDC_FHLABEL, fillHeight_);
  levelsGrid->setRowMinimumHeight(row++, 8);
  for (int k = kLevelRows - 1; k >= 0; --k) {
    levelLabels_[At(k)] = label(kLevelLabels[At(k)], tankGroup_);
    levels_[At(k)] = WithControlId(new QLineEdit(tankGroup_), kLevelBoxes[At(k)]);
    levelsGrid->addWidget(levelLabels_[At(k)], row, 0);
    levelsGrid->addWidget(levels_[At(k)], row++, 1);
  }
  levelsGrid->setRowStretch(row, 1);
  for (QLineEdit* box :
       {sensorHeight_, fillHeight_, levels_[0], levels_[1], levels_[2], levels_[3], levels_[4], levels_[5]}) {
    box->setMaximumWidth(box->fontMetrics().averageCharWidth() * 12);
    box->setAlignment(Qt::AlignRight);
    box->installEventFilter(this);
  }
  connect(units_, qOverload<int>(&QComboBox::activated), this, &CGenericForm::OnUnitsChange);
  tank_ = WithControlId(new CPictureBox(tankGroup_), IDC_TANKPICTURE);
  auto* tankBox = new QHBoxLayout(tankGroup_);
  tankBox->addLayout(levelsGrid);
  tankBox->addSpacing(8);
  tankBox->addWidget(tank_, 1);

  auto* middle = new QHBoxLayout;
  middle->addWidget(configGroup_, 5);
  middle->addWidget(tankGroup_, 6);

  // The configuration file: its name, its date, and the file commands.
  fileName_ = WithControlId(new QLineEdit(this), IDC_FILENAME);
  fileName_->installEventFilter(this);
  fileDate_ = label(IDC_FILEDATE, this);
  // The file's date comes and goes: its room is kept (FixColumnWidths), so
  // that the row and the columns above it stay as they are.
  fileDate_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
  fileName_->setMinimumWidth(fileName_->fontMetrics().averageCharWidth() * 28);
  open_ = button(IDC_OPENFILE);
  save_ = button(IDC_SAVEFILE);
  print_ = button(IDC_PRINTFILE);
  factory_ = button(IDC_DEFAULTCFG);
  reset_ = button(IDC_RESET);
  auto* fileRow = new QHBoxLayout;
  QLabel* fileLabel = label(IDC_CFLABEL, this);
  fileLabel->setBuddy(fileName_);
  fileRow->addWidget(fileLabel);
  fileRow->addWidget(fileName_, 1);
  fileRow->addWidget(fileDate_);
  fileRow->addSpacing(12);
  fileRow->addWidget(open_);
  fileRow->addWidget(save_);
  fileRow->addWidget(print_);

  // The unit commands.
  write_ = button(IDC_WRITETARGET);
  QFont writeFont = write_->font();
  writeFont.setBold(true);
  write_->setFont(writeFont);
  write_->setMinimumHeight(write_->sizeHint().height() + 8);
  drawing_ = button(IDC_VIEWDRAWING);
  advanced_ = button(IDC_ADVANCED);
  nonLinearButton_ = button(IDC_NONLINEAR);
  testConfigs_ = button(IDC_TESTCONFIGS);
  viewTanks_ = button(IDC_VIEWTANKS);
  viewCounter_ = label(IDC_VIEWCOUNTER, this);
  advancedMarker_ = new CAdvancedMarker(advanced_, this);
  auto* commands = new QHBoxLayout;
  commands->addWidget(factory_);
  commands->addWidget(reset_);
  commands->addWidget(advancedMarker_);
  commands->addWidget(nonLinearButton_);
  commands->addWidget(testConfigs_);
  commands->addWidget(viewTanks_);
  commands->addWidget(viewCounter_);
  commands->addStretch(1);
  commands->addWidget(drawing_);
  commands->addWidget(write_);

  // The form scrolls where the screen is smaller than the form (large
  // scale factors); otherwise the scroll area is not to be seen.
  content_ = new QWidget(this);
  content_->setObjectName(QStringLiteral("formContent"));
  auto* layout = new QVBoxLayout(content_);
  layout->setContentsMargins(12, 10, 12, 10);
  layout->setSpacing(8);
  layout->addLayout(head);
  layout->addLayout(middle, 1);
  layout->addLayout(fileRow);
  layout->addLayout(commands);
  scroll_ = new QScrollArea(this);
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setWidgetResizable(true);
  scroll_->setFocusPolicy(Qt::NoFocus);
  scroll_->setWidget(content_);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(scroll_);

  // The commands' keys, while the form is on screen.
  for (const auto& [target, sequence] : CommandKeys()) {
    auto* shortcut = new QShortcut(sequence, this);
    shortcut->setContext(Qt::WindowShortcut);
    QPushButton* pressed = target;
    connect(shortcut, &QShortcut::activated, this, [pressed] {
      if (pressed->isVisible() && pressed->isEnabled()) {
        pressed->click();
      }
    });
  }

  // Every control reports right clicks and F1 for help, and Enter and Escape.
  // Only the form's own: a dialog the form owns (the upload notice) is a
  // window of its own, whose Enter presses its default button.
  for (QWidget* child : findChildren<QWidget*>()) {
    if (child->window() == window()) {
      child->installEventFilter(this);
    }
  }
}

QKeySequence CGenericForm::OpenKey() { return QKeySequence(QKeySequence::Open); }
QKeySequence CGenericForm::SaveKey() { return QKeySequence(QKeySequence::Save); }
QKeySequence CGenericForm::PrintKey() { return QKeySequence(QKeySequence::Print); }
QKeySequence CGenericForm::WriteKey() { return QKeySequence(Qt::Key_F9); }

std::array<std::pair<QPushButton*, QKeySequence>, 4> CGenericForm::CommandKeys() const {
  return {{{open_, OpenKey()}, {save_, SaveKey()}, {print_, PrintKey()}, {write_, WriteKey()}}};
}

QSize CGenericForm::sizeHint() const {
  // The whole form, as if there were no scroll area.
  return content_->sizeHint();
}

QSize CGenericForm::minimumSizeHint() const {
  // Smaller than that it scrolls.
  const QFontMetrics fm = fontMetrics();
  return {fm.averageCharWidth() * 40, fm.lineSpacing() * 12};
}

std::string CGenericForm::FileInUse() const {
  return record_.fileName.empty() ? std::string() : std::filesystem::path(record_.fileName).filename().string();
}

void CGenericForm::SetUnsaved(bool unsaved) {
  unsaved_ = unsaved;
  NotifyFileState();
}

void CGenericForm::NotifyFileState() {
  const std::string file = FileInUse();
  if (notifiedOnce_ && file == notifiedFile_ && unsaved_ == notifiedUnsaved_ && Configured() == notifiedConfigured_) {
    return;
  }
  notifiedOnce_ = true;
  notifiedFile_ = file;
  notifiedUnsaved_ = unsaved_;
  notifiedConfigured_ = Configured();
  emit fileStateChanged();
}

void CGenericForm::SetHints() {
  const std::pair<QPushButton*, const char*> tips[] = {
      {write_, "TIP_WRITETARGET"},       {drawing_, "TIP_VIEWDRAWING"}, {advanced_, "TIP_ADVANCED"},
      {factory_, "TIP_DEFAULTCFG"},      {reset_, "TIP_RESET"},         {open_, "TIP_OPENFILE"},
      {save_, "TIP_SAVEFILE"},           {print_, "TIP_PRINTFILE"},     {nonLinearButton_, "TIP_NONLINEAR"},
      {testConfigs_, "TIP_TESTCONFIGS"}, {viewTanks_, "TIP_VIEWTANKS"},
  };
  for (const auto& [button, key] : tips) {
    QString tip = FromUtf8(Text(key));
    for (const auto& [keyed, sequence] : CommandKeys()) {
      if (keyed == button) {
        tip += QStringLiteral(" (%1)").arg(sequence.toString(QKeySequence::NativeText));
      }
    }
    button->setToolTip(tip);
  }
}

namespace {

// The width a combo box needs to show `text` whole in its field.
int ComboWidthFor(const QComboBox* box, const QString& text) {
  QStyleOptionComboBox option;
  option.initFrom(box);
  option.editable = box->isEditable();
  option.frame = box->hasFrame();
  const QFontMetrics fm = box->fontMetrics();
  // A little room on both sides of the text, as the box's own size hint leaves.
  const QSize contents(fm.horizontalAdvance(text) + fm.averageCharWidth() * 2, fm.height());
  return box->style()->sizeFromContents(QStyle::CT_ComboBox, &option, contents, box).width();
}

}  // namespace

void CGenericForm::FixColumnWidths() {
  // The first entry of every list, in both languages.
  const QString select[] = {FromUtf8(core_.language.Text("SELECTSTR", 0)),
                            FromUtf8(core_.language.Text("SELECTSTR", 1))};
  for (int i = 0; i < kMaxItems; ++i) {
    const CONFIG_ITEM& item = model_.items[At(i)];
    CItemCombo* box = items_[At(i)];
    int width = 0;
    for (const QString& text : select) {
      width = std::max(width, ComboWidthFor(box, text));
    }
    for (int o = 0; item.present && o < OptionSlots(item); ++o) {
      width = std::max(width, ComboWidthFor(box, FromUtf8(item.optionText[At(o)])));
    }
    box->setMinimumWidth(width);
  }
  int unitsWidth = 0;
  for (int e = 0; e < UnitsEntryCount(model_); ++e) {
    unitsWidth = std::max(unitsWidth, ComboWidthFor(units_, FromUtf8(UnitsEntryName(model_, e))));
  }
  units_->setMinimumWidth(unitsWidth);

  // The level labels' column: the longest label of any configuration and the
  // labels of the units and the heights.
  int labels = 0;
  // Measured as a label shows them (the label's own margins included).
  QLabel probe;
  probe.setFont(levelLabels_[0]->font());
  probe.setTextFormat(Qt::PlainText);
  for (int c = 0; c < model_.configurationCount && c < kMaxConfigurations; ++c) {
    for (int k = 0; k < kLevelRows; ++k) {
      probe.setText(FromUtf8(Trimmed(model_.configurations[At(c)].levelLabel[At(k)])));
      labels = std::max(labels, probe.sizeHint().width());
    }
  }
  for (const int id : {IDC_UNITLABEL, IDC_SHLABEL, IDC_FHLABEL}) {
    if (auto* l = qobject_cast<QLabel*>(ControlAt(id))) {
      labels = std::max(labels, l->sizeHint().width());
    }
  }
  levelsGrid_->setColumnMinimumWidth(0, labels);

  // The file date's room: the widest date.
  probe.setFont(fileDate_->font());
  probe.setText(FromUtf8(Format(Text("STATUS_MESSAGE39"), 12, 28, 2088, 23, 58)));
  fileDate_->setFixedWidth(probe.sizeHint().width());
}

void CGenericForm::SetCaptions() {
  const std::pair<int, const char*> captions[] = {
      {IDC_CONFIGWINDOW, "IDC_CONFIGWINDOW"}, {IDC_TANKWINDOW, "IDC_TANKWINDOW"},
      {IDC_UNITLABEL, "IDC_UNITLABEL"},       {IDC_SHLABEL, "IDC_SHLABEL"},
      {IDC_FHLABEL, "IDC_FHLABEL"},           {IDC_CFLABEL, "IDC_CFLABEL"},
      {IDC_DSLABEL, "IDC_DSLABEL"},           {IDC_WRITETARGET, "IDC_WRITETARGET"},
      {IDC_VIEWDRAWING, "IDC_VIEWDRAWING"},   {IDC_ADVANCED, "IDC_ADVANCED"},
      {IDC_DEFAULTCFG, "IDC_DEFAULTCFG"},     {IDC_RESET, "IDC_RESET"},
      {IDC_OPENFILE, "IDC_OPENFILE"},         {IDC_SAVEFILE, "IDC_SAVEFILE"},
      {IDC_PRINTFILE, "IDC_PRINTFILE"},       {IDC_NONLINEAR, "IDC_NONLINEAR"},
      {IDC_TESTCONFIGS, "IDC_TESTCONFIGS"},   {IDC_VIEWTANKS, "IDC_VIEWTANKS"},
  };
  for (const auto& [id, key] : captions) {
    QWidget* w = ControlAt(id);
    const QString text = FromUtf8(Text(key));
    if (auto* l = qobject_cast<QLabel*>(w)) {
      l->setText(text);
    } else if (auto* b = qobject_cast<QPushButton*>(w)) {
      b->setText(text);
    } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
      g->setTitle(text);
    }
  }
  SetHints();
}

void CGenericForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!started_) {
    // After the page is on screen, so the busy window shows over it.
    QTimer::singleShot(0, this, [this] {
      if (!Start()) {
        if (QWidget* sheet = window(); sheet != this) {
          QMetaObject::invokeMethod(sheet, "reject", Qt::QueuedConnection);
        }
      }
    });
  }
}

bool CGenericForm::Start() {
  if (started_) {
    return !startFailed_;
  }
  started_ = true;
  ScopedBusy busy(core_.language, core_.settings, this, s_.startView);
  try {
    busy.Step(Text("BUSY_MESSAGE9"), 0);
    contact_ = {};
    testConfigs_->hide();
    viewTanks_->hide();
    viewCounter_->hide();
    busy.Progress(10);

    ShowIdentity();
    busy.Progress(30);

    record_.fileName.clear();
    record_.valid = record_.complete = record_.volumeUnits = false;
    UpdateButtons();
    busy.Progress(40);

    logo_->SetPicture(pictures_->Logo());
    busy.Progress(50);

    SetCaptions();
    for (int i = 0; i < kMaxItems; ++i) {
      const CONFIG_ITEM& item = model_.items[At(i)];
      itemLabels_[At(i)]->setVisible(item.present);
      items_[At(i)]->setVisible(item.present);
      items_[At(i)]->setEnabled(item.present);
      if (item.present) {
        itemLabels_[At(i)]->setText(FromUtf8(item.label));
      }
    }
    StartSelections(model_, record_);
    FillBoxes(OfferOptions(model_, record_.selection));
    filling_ = true;
    units_->clear();
    for (int e = 0; e < UnitsEntryCount(model_); ++e) {
      units_->addItem(FromUtf8(UnitsEntryName(model_, e)));
    }
    units_->setCurrentIndex(units_->count() > 0 ? 0 : -1);
    filling_ = false;
    FixColumnWidths();
    record_.unitsIndex = 0;
    record_.lastLinearUnits = 0;

    busy.Step(Text("BUSY_MESSAGE10"), 60);
    if (!s_.demonstration) {
      const int decoded = DecodeFromPage(model_, record_, nonLinear_.page, core_.memory.Page(link::PAGE_CUSTOMER));
      if (decoded != 0) {
        throw StartFailure{Format(Text("ERROR_MESSAGE6"), decoded)};
      }
      notes_->setPlainText(FromUtf8(record_.tankDescription));
      core_.log.Write("INITDIALOG", "Test unit read:");
      core_.log.WriteText(ConfigFileText(model_, record_, nonLinear_));
    }

    busy.Progress(70);
    Evaluate(true);
    ShowValues();
    SetUnsaved(false);
    busy.Progress(80);
    fileDate_->clear();
    items_[0]->setFocus();
    uploadNotice_ = true;
    busy.Progress(90);
    // The tank shape the unit keeps is calculated again; none: off-values.
    RecalculateNonLinear();

    for (int u = 0; u < model_.unitsCount && u < kMaxUnits; ++u) {
      if (model_.unitNames[At(u)] == core_.settings.prefUnits) {
        units_->setCurrentIndex(u);
        OnUnitsChange(u);
      }
    }

    if (model_.nonLinearButton.empty()) {
      nonLinearButton_->hide();
    } else {
      nonLinearButton_->setText(FromUtf8(model_.nonLinearButton));
    }
    busy.Step(Text("BUSY_MESSAGE11"), 100);
    core_.services.clock.sleep_for(std::chrono::milliseconds(100));
    busy.Close();
    if (s_.demonstration) {
      demoTimer_->start(300);
    }
    UpdateCompleteness(true);
    SetUnsaved(false);
    // The captions and labels are known now: the window grows to show them,
    // once the layouts have taken them in.
    QTimer::singleShot(0, this, [this] {
      QWidget* sheet = window();
      // A size the user gave the window in an earlier run stays (the form
      // scrolls in it where it is too small).
      if (sheet == this || sheet->property(kKeptPlacementProperty).toBool()) {
        return;
      }
      // The page lies in the sheet's page area, which may be smaller than it.
      const QSize shown = parentWidget() != nullptr ? parentWidget()->size() : size();
      const QSize missing = (sizeHint().expandedTo(minimumSizeHint()) - shown).expandedTo(QSize(0, 0));
      QSize grown = sheet->size() + missing;
      // Never past the screen: the form scrolls there instead.
      if (const QScreen* screen = sheet->screen()) {
        const QRect area = screen->availableGeometry();
        const QRect inner = area.marginsRemoved(kFrameRoom);
        grown = grown.boundedTo(inner.size());
        // Grown about its centre.
        QRect placed(QPoint(0, 0), grown);
        placed.moveCenter(sheet->geometry().center());
        placed.moveLeft(std::clamp(placed.left(), inner.left(), std::max(inner.left(), inner.right() - grown.width())));
        placed.moveTop(std::clamp(placed.top(), inner.top(), std::max(inner.top(), inner.bottom() - grown.height())));
        sheet->move(placed.topLeft());
      }
      sheet->resize(grown);
    });
    return true;
  } catch (const StartFailure& failure) {
    busy.Close();
    startFailed_ = true;
    core_.log.Write("INITDIALOG", "%s", failure.message);
    if (s_.startView != nullptr) {
      s_.startView->SetStatus(failure.message);
    }
    core_.services.errors.Show(failure.message, Format(Text("ERROR_MESSAGE8"), core_.tables.program.corporateId));
    return false;
  }
}

void CGenericForm::ShowIdentity() {
  description_->setText(FromUtf8(record_.unitDescription));
  identity_->setText(FromUtf8(Format(Text("IDC_PNSN"), record_.modelName, record_.serialNumber)));
  revision_->setText(FromUtf8(SoftwareRevisionText(Text("IDC_SW_REVISION"), record_.softwareRevision)));
  hardware_->setText(FromUtf8(Format(Text("IDC_HW_MODEL"), record_.firmwareName)));
}

void CGenericForm::ShowStatus(const CONFIG_STATUS& status) {
  status_->setText(FromUtf8(StatusText(status, core_.language, core_.settings.languageNumber)));
  const bool valid = status.number != 0 && record_.valid;
  status_->setStyleSheet(valid ? QStringLiteral("color: #1b6e20;") : QStringLiteral("color: #a04000;"));
}

void CGenericForm::FillBoxes(const OPTION_LISTS& lists) {
  filling_ = true;
  for (int i = 0; i < kMaxItems; ++i) {
    CItemCombo* box = items_[At(i)];
    if (!box->isEnabled()) {
      continue;
    }
    const CONFIG_ITEM& item = model_.items[At(i)];
    auto& entries = entries_[At(i)];
    if (entries != lists[At(i)] || box->count() != static_cast<int>(entries.size())) {
      entries = lists[At(i)];
      box->setUpdatesEnabled(false);
      box->clear();
      for (const std::int32_t option : entries) {
        box->addItem(option >= 0 && option < OptionSlots(item) ? FromUtf8(item.optionText[At(option)]) : QString());
      }
      box->setUpdatesEnabled(true);
    }
    const auto found = std::find(entries.begin(), entries.end(), record_.selection[At(i)]);
    box->setCurrentIndex(found == entries.end() ? -1 : static_cast<int>(found - entries.begin()));
  }
  filling_ = false;
  for (int i = 0; i < kMaxItems; ++i) {
    if (items_[At(i)]->isEnabled() && items_[At(i)]->currentIndex() < 0) {
      CheckSelection(i);
    }
  }
}

void CGenericForm::Evaluate(bool refresh) {
  OPTION_LISTS lists;
  const CONFIG_STATUS status = EvaluateConfiguration(model_, record_, refresh, &lists);
  if (refresh) {
    UpdateButtons();
    ShowLevels();
  }
  ShowStatus(status);
  FillBoxes(lists);
}

bool CGenericForm::CheckSelection(int item) {
  CItemCombo* box = items_[At(item)];
  if (box->count() == 0) {
    return false;
  }
  if (box->currentIndex() < 0) {
    filling_ = true;
    box->setCurrentIndex(0);
    filling_ = false;
  }
  const std::int32_t option = OptionByText(model_, item, ToUtf8(box->currentText()));
  record_.selection[At(item)] = option;
  if (option < 0) {
    core_.services.errors.Show(Text("ERROR_MESSAGE9"),
                               Format(Text("ERROR_MESSAGE10"), core_.tables.program.corporateId));
    return true;
  }
  return false;
}

void CGenericForm::SingleRemaining(int item, bool refresh) {
  if (SelectSingleRemaining(model_, record_, item, refresh) > 0) {
    Evaluate(refresh);
  }
}

void CGenericForm::OnItemCloseUp(int item) {
  if (CheckSelection(item)) {
    // Nothing was taken: the record holds no configuration now, and the
    // buttons say so.
    RejectTypedOption(record_, item);
    ShowButtonStates();
    return;
  }
  UpdateCompleteness(false);
  Evaluate(true);
  UpdateCompleteness(false);
  SingleRemaining(item, true);
  UpdateCompleteness(true);
  // On to the next item box, after the last to the units.
  QWidget* next = units_;
  for (int j = item + 1; j < kMaxItems; ++j) {
    if (items_[At(j)]->isVisible() || !isVisible()) {
      if (items_[At(j)]->isEnabled()) {
        next = items_[At(j)];
        break;
      }
    }
  }
  next->setFocus();
}

void CGenericForm::OnItemDropDown(int item) {
  const std::int32_t remembered = OpenOptionList(model_, record_, item);
  Evaluate(false);
  if (remembered >= 0 && remembered < OptionSlots(model_.items[At(item)])) {
    CItemCombo* box = items_[At(item)];
    const int entry = box->findText(FromUtf8(model_.items[At(item)].optionText[At(remembered)]), Qt::MatchExactly);
    if (entry >= 0) {
      filling_ = true;
      box->setCurrentIndex(entry);
      filling_ = false;
    }
  }
}

void CGenericForm::OnItemEditChange(int item, const QString& typed) {
  CItemCombo* box = items_[At(item)];
  const std::int32_t current = record_.selection[At(item)];
  const CONFIG_ITEM& it = model_.items[At(item)];
  const std::string currentText =
      current >= 0 && current < OptionSlots(it) ? it.optionText[At(current)] : std::string();
  OnItemDropDown(item);
  std::vector<std::string> texts;
  texts.reserve(static_cast<std::size_t>(box->count()));
  for (int e = 0; e < box->count(); ++e) {
    texts.push_back(ToUtf8(box->itemText(e)));
  }
  const auto from = std::find(texts.begin(), texts.end(), currentText);
  const int start = from == texts.end() ? -1 : static_cast<int>(from - texts.begin());
  const int match = FindEntryByPrefix(texts, start, ToUtf8(typed));
  filling_ = true;
  if (match < 0) {
    // Nothing begins with it: the remembered option stays in the record,
    // the typed text stays in the box, and closing the list reports it.
    filling_ = false;
    record_.selection[At(item)] = current;
    Evaluate(false);
    config::UpdateCompleteness(model_, record_);
    ShowButtonStates();
    filling_ = true;
    box->setEditText(typed);
    filling_ = false;
    return;
  }
  box->setCurrentIndex(match);
  // The rest of the entry stays selected, so typing on replaces it.
  box->lineEdit()->setSelection(static_cast<int>(typed.size()), static_cast<int>(box->lineEdit()->text().size()));
  filling_ = false;
  if (!CheckSelection(item)) {
    Evaluate(true);
    SingleRemaining(item, true);
    UpdateCompleteness(true);
  }
}

void CGenericForm::OnUnitsChange(int entry) {
  const int old = record_.volumeUnits ? record_.unitsIndex + model_.unitsCount : record_.unitsIndex;
  if (!ChangeUnits(model_, record_, entry, formTank_ ? formTank_->Volume() : nullptr)) {
    // Volume units need the tank curve of a shape; without one the units stay.
    if (formTank_ && formTank_->Data().On()) {
      core_.services.messages.Show(Text("TANK_MESSAGE3"), MB_ERROR);
    }
    filling_ = true;
    units_->setCurrentIndex(old);
    filling_ = false;
    return;
  }
  ShowValues();
  UpdateCompleteness(true);
  if (const auto name = PreferredUnitsToStore(model_, record_, core_.settings.prefUnits)) {
    core_.settings.prefUnits = *name;
    // A failed write is not reported: the units stay selected.
    core_.store.WriteString("PREF_UNITS", *name);
  }
}

void CGenericForm::StoreValue(int field) {
  QLineEdit* box = field == 7 ? sensorHeight_ : field == 6 ? fillHeight_ : levels_[At(std::clamp(field, 0, 5))];
  const double v = ReadBoxNumber(ToUtf8(box->text()));
  if (field == 7) {
    record_.sensorHeight = v;
  } else if (field == 6) {
    record_.fillHeight = v;
  } else {
    record_.level[At(field)] = v;
  }
  UpdateCompleteness(true);
}

void CGenericForm::UpdateCompleteness(bool updateButtons) {
  config::UpdateCompleteness(model_, record_);
  if (updateButtons) {
    UpdateButtons();
  }
}

void CGenericForm::ShowButtonStates() {
  const BUTTON_STATES b = ButtonStates(record_);
  save_->setEnabled(b.save);
  write_->setEnabled(b.write);
  drawing_->setEnabled(b.drawing);
  NotifyFileState();
}

void CGenericForm::UpdateButtons() {
  ShowButtonStates();
  if (record_.valid && record_.complete) {
    SetUnsaved(true);
  }
}

void CGenericForm::ShowLevels() {
  const CONFIGURATION_ENTRY* c = ConfigurationAt(model_, record_.configIndex);
  for (int k = 0; k < kLevelRows; ++k) {
    QLabel* l = levelLabels_[At(k)];
    QLineEdit* box = levels_[At(k)];
    if (c == nullptr) {
      l->hide();
      box->hide();
      box->setEnabled(false);
      box->clear();
      record_.level[At(k)] = -1.0;
      continue;
    }
    const std::string text = Trimmed(c->levelLabel[At(k)]);
    l->setText(FromUtf8(text));
    l->setVisible(!text.empty());
    box->setVisible(!text.empty());
    box->setEnabled(true);
  }
  ShowTankPicture();
}

void CGenericForm::ShowTankPicture() {
  const CONFIGURATION_ENTRY* c = ConfigurationAt(model_, record_.configIndex);
  std::array<bool, kLevelRows> enabled{};
  for (int k = 0; k < kLevelRows; ++k) {
    enabled[At(k)] = levels_[At(k)]->isEnabled();
  }
  const CONFIGURATION_ENTRY* shown = c != nullptr ? c : ConfigurationAt(model_, 0);
  tank_->SetPicture(pictures_->ShowTankPicture(c != nullptr ? c->imageNumber : 0, shown, enabled));
}

void CGenericForm::ShowValue(QLineEdit* box, double value) {
  box->setText(value < 0.0 ? QString() : FromUtf8(FormatValue(value)));
}

void CGenericForm::ShowValues() {
  advancedMarker_->SetMarker(config::AdvancedMarker(model_, record_));
  ShowValue(sensorHeight_, record_.sensorHeight);
  ShowValue(fillHeight_, record_.fillHeight);
  const CONFIGURATION_ENTRY* c = ConfigurationAt(model_, record_.configIndex);
  for (int k = 0; k < kLevelRows; ++k) {
    if (c != nullptr && levels_[At(k)]->isEnabled()) {
      ShowValue(levels_[At(k)], record_.level[At(k)]);
    }
  }
}

void CGenericForm::SelectUnitsEntry() {
  const int entry = record_.volumeUnits ? record_.unitsIndex + model_.unitsCount : record_.unitsIndex;
  filling_ = true;
  units_->setCurrentIndex(entry >= 0 && entry < units_->count() ? entry : -1);
  filling_ = false;
}

void CGenericForm::AfterRecordChanged() {
  notes_->setPlainText(FromUtf8(record_.tankDescription));
  Evaluate(true);
  SelectUnitsEntry();
  ShowValues();
  ShowIdentity();
  UpdateCompleteness(true);
}

void CGenericForm::ResetSelections() {
  config::ResetSelections(model_, record_);
  Evaluate(true);
  fileName_->clear();
  sensorHeight_->setEnabled(true);
  fillHeight_->setEnabled(true);
}

void CGenericForm::ApplyDefaultHeights() {
  // A missing default file changes nothing more.
  if (const auto path = ConfigFilePath(core_.folders.configs, model_.defaultFile)) {
    ReadHeightsFromFile(*path, model_, record_);
  }
  ShowValues();
}

void CGenericForm::OnClearScreen() {
  ResetSelections();
  nonLinear_.on = false;
  ApplyDefaultHeights();
  UpdateCompleteness(true);
}

void CGenericForm::OnWriteToUnit() {
  ScopedBusy busy(core_.language, core_.settings, this, nullptr);
  // The form's boxes are what is written: the last box edited may not have
  // lost its focus yet.
  record_.tankDescription = ToUtf8(notes_->toPlainText());
  write_->setEnabled(false);
  CFormWriteView view(*this, busy);
  WRITE_CONTEXT context{model_,
                        record_,
                        nonLinear_,
                        core_.memory,
                        core_.log,
                        core_.language,
                        core_.settings,
                        core_.services.messages,
                        core_.services.errors,
                        busy,
                        s_.notice,
                        s_.upload,
                        s_.demonstration,
                        &uploadNotice_,
                        formTank_ ? formTank_->Volume() : nullptr};
  WriteToUnit(context, view, writeInProgress_);
  busy.Close();
  // The buttons follow the record, after a failure too.
  ShowButtonStates();
  // The unit or its adapter may be gone now.
  emit fileStateChanged();
}

int CGenericForm::ReadFile(const std::filesystem::path& path) {
  // A file with levels in volume units names a volume unit of its tank
  // shape: that shape's units are loaded before the file is read, and the
  // tables restored when the read fails.
  std::optional<MODEL_TABLES> before;
  if (const std::optional<std::int32_t> shape = config::FileTankShape(path)) {
    before = core_.tables;
    if (!geometry::LoadTankShapeUnits(core_.models, core_.tables, *shape)) {
      before.reset();
    }
  }
  const int rc = ReadConfigFile(path, model_, record_, nonLinear_, core_.services.messages, core_.language,
                                core_.settings.languageNumber);
  if (rc != 0 && before) {
    core_.tables = std::move(*before);
  }
  // A failed read has changed nothing: the form stays as it was.
  if (rc == 0) {
    RecalculateNonLinear();  // the table of the file's tank shape, not the last one's
    AfterRecordChanged();
    SetUnsaved(false);
  }
  return rc;
}

void CGenericForm::OnOpenConfigFile() {
  if (RunServiceCommand(ToUtf8(fileName_->text()))) {
    return;
  }
  try {
    const std::filesystem::path chosen = s_.files.ChooseFile(core_.folders.configs, Text("IDC_CONFIGFILE"));
    if (chosen.empty()) {
      return;
    }
    if (ReadFile(chosen) != 0) {
      throw StartFailure{Text("ERROR_MESSAGE53")};
    }
    fileName_->setText(QString::fromStdString(chosen.filename().string()));
    fullPath_ = chosen;
    record_.fileName = ToUtf8(fileName_->text());
    fileDate_->setText(FromUtf8(FileDateText(chosen, core_.language, core_.settings.languageNumber)));
    core_.services.clock.sleep_for(std::chrono::milliseconds(500));
    core_.log.Write("LOADCONFIG", "Config file '%s' loaded", record_.fileName);
    NotifyFileState();
  } catch (const StartFailure& failure) {
    core_.log.Write("LOADCONFIG", "Error opening config file:  %s", failure.message);
    core_.services.messages.Show(failure.message, MB_ERROR);
  }
}

void CGenericForm::OnSaveConfigFile() {
  try {
    if (!record_.valid || !record_.complete) {
      throw StartFailure{Text("ERROR_MESSAGE55")};
    }
    record_.tankDescription = ToUtf8(notes_->toPlainText());
    std::string name = ProposedSaveName(ToUtf8(fileName_->text()), core_.folders.configs);
    if (!s_.files.ConfirmName(name)) {
      return;
    }
    name = WithTxtExtension(name);
    fileName_->setText(FromUtf8(name));
    const std::filesystem::path path = core_.folders.configs / name;
    if (!IsSafeLeafName(name) || !WriteConfigFile(path, model_, record_, nonLinear_)) {
      throw StartFailure{Format(Text("ERROR_MESSAGE57"), 1)};
    }
    record_.fileName = name;
    fullPath_ = path;
    fileDate_->setText(FromUtf8(FileDateText(path, core_.language, core_.settings.languageNumber)));
    const std::string saved = Format(Text("STATUS_MESSAGE42"), name);
    core_.log.Write("SAVECONFIG", "%s", saved);
    core_.services.messages.Show(saved, MB_INFO);
    SetUnsaved(false);
  } catch (const StartFailure& failure) {
    core_.log.Write("SAVECONFIG", "%s", failure.message);
    core_.services.messages.Show(failure.message, MB_ERROR);
  }
}

void CGenericForm::OnFactoryConfig() {
  if (model_.defaultFile.empty()) {
    core_.services.messages.Show(Text("ERROR_MESSAGE60"), MB_ERROR);
    return;
  }
  const std::filesystem::path path = core_.folders.configs / model_.defaultFile;
  if (!IsSafeLeafName(model_.defaultFile) || ReadFile(path) != 0) {
    core_.services.messages.Show(Text("ERROR_MESSAGE61"), MB_ERROR);
    return;
  }
  record_.fileName = path.string();
  fullPath_.clear();
  fileDate_->clear();
  fileName_->clear();
  core_.services.clock.sleep_for(std::chrono::milliseconds(500));
  core_.log.Write("LOADCONFIG", "Default Config file '%s' loaded", model_.defaultFile);
  NotifyFileState();
}

void CGenericForm::OnPrintConfigFile() {
  std::error_code ec;
  const std::filesystem::path path = core_.folders.configs / record_.fileName;
  if (record_.fileName.empty() || !IsSafeLeafName(record_.fileName) || !std::filesystem::is_regular_file(path, ec)) {
    core_.services.messages.Show(core_.language.TextOr("STATUS_MESSAGE54", core_.settings.languageNumber,
                                                       "First open a configuration file to print"),
                                 MB_INFO);
    return;
  }
  s_.files.Print(path);
}

void CGenericForm::OnWiringDiagram() {
  const CONFIGURATION_ENTRY* c = ConfigurationAt(model_, record_.configIndex);
  if (!record_.valid || c == nullptr) {
    core_.services.messages.Show(Text("ERROR_MESSAGE58"), MB_ERROR);
    return;
  }
  const std::string file = Trimmed(c->drawingFile);
  const std::filesystem::path path = core_.folders.drawings / file;
  if (!IsSafeLeafName(file) || !s_.opener.Open(path)) {
    core_.services.messages.Show(Text("ERROR_MESSAGE59"), MB_ERROR);
    core_.log.Write("VIEWDWG", "Error opening drawing file %s", path.string());
  }
}

void CGenericForm::OnDemonstrationTimer() {
  demoTimer_->stop();
  if (!s_.demonstration) {
    return;
  }
  OnFactoryConfig();
  // The demonstration unit's page image, as a write would build it.
  EncodeToPage(model_, record_, nonLinear_.page, core_.memory.Page(link::PAGE_CUSTOMER), core_.memory.Staging());
}

bool CGenericForm::CanLeave() {
  if (!unsaved_) {
    return true;
  }
  return core_.services.messages.Show(Text("STATUS_MESSAGE27"), MB_YESNO) == RESULT_YES;
}

bool CGenericForm::IsButton(QObject* object) const {
  const auto* w = qobject_cast<QWidget*>(object);
  if (w == nullptr) {
    return false;
  }
  switch (ControlId(w)) {
    case IDC_WRITETARGET:
    case IDC_VIEWDRAWING:
    case IDC_ADVANCED:
    case IDC_DEFAULTCFG:
    case IDC_RESET:
    case IDC_OPENFILE:
    case IDC_SAVEFILE:
    case IDC_PRINTFILE:
      return true;
    default:
      return false;
  }
}

bool CGenericForm::eventFilter(QObject* watched, QEvent* event) {
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr) {
    return QWidget::eventFilter(watched, event);
  }
  // The control a child belongs to: the item boxes' edit fields report as the box.
  QWidget* control = widget;
  while (control != nullptr && control != this && ControlId(control) == 0) {
    control = control->parentWidget();
  }
  const int id = control != nullptr && control != this ? ControlId(control) : 0;

  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() == Qt::RightButton && id != 0) {
        s_.help.ShowControlHelp(id);
        // Then the press acts as a left press on the control.
        QMouseEvent left(QEvent::MouseButtonPress, mouse->position(), mouse->scenePosition(), mouse->globalPosition(),
                         Qt::LeftButton, Qt::LeftButton, mouse->modifiers());
        QApplication::sendEvent(watched, &left);
        QMouseEvent release(QEvent::MouseButtonRelease, mouse->position(), mouse->scenePosition(),
                            mouse->globalPosition(), Qt::LeftButton, Qt::NoButton, mouse->modifiers());
        QApplication::sendEvent(watched, &release);
        return true;
      }
      break;
    }
    case QEvent::ContextMenu:
      // The right button is for help; no context menus on the form.
      return true;
    case QEvent::ShortcutOverride:
      // F1 is the control's own help here, not the main window's page help
      // (while the form is the page shown).
      if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1 && isVisible()) {
        event->accept();
        return true;
      }
      break;
    case QEvent::KeyPress: {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_F1 && isVisible()) {
        s_.help.ShowControlHelp(id);
        return true;
      }
      if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        if (id == IDC_FILENAME) {
          OnOpenConfigFile();
          return true;
        }
        if (IsButton(control)) {
          return false;
        }
        focusNextChild();
        return true;
      }
      if (key->key() == Qt::Key_Escape) {
        if (id == IDC_FILENAME) {
          focusNextChild();
        }
        return true;
      }
      break;
    }
    case QEvent::FocusOut: {
      if (watched == sensorHeight_) {
        StoreValue(7);
      } else if (watched == fillHeight_) {
        StoreValue(6);
      } else {
        for (int k = 0; k < kLevelRows; ++k) {
          if (watched == levels_[At(k)]) {
            StoreValue(k);
          }
        }
      }
      if (watched == notes_) {
        record_.tankDescription = ToUtf8(notes_->toPlainText());
      }
      break;
    }
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tolvane
