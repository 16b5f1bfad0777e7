#include "config/ui/AdvancedForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>
#include <cstdio>

#include "config/ConfigValues.h"
#include "config/Selection.h"
#include "config/UnitsChange.h"
#include "shell/ui/DialogSupport.h"

namespace tolvane {

namespace {
constexpr int kScrollWidth = 16;
constexpr int kDialogWidth = 420;

QString ValueText(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%3.1f", v);
  return QString::fromLatin1(text);
}
}  // namespace

CAdvancedForm::CAdvancedForm(const MODEL_DEFINITION& model, std::array<ADVANCED_SLOT, kMaxAdvanced>& working,
                             const std::string& currentUnits, const std::string& lengthUnits,
                             const CLanguageFile& language, const APP_SETTINGS& settings, std::function<void()> help,
                             QWidget* parent)
    : QDialog(parent), model_(model), slots_(working), help_(std::move(help)) {
  WithControlId(this, 107);
  content_ = new QWidget(this);
  scroll_ = new QScrollBar(Qt::Vertical, this);

  const int lineHeight = RuleLineHeight(fontMetrics());
  auto* update =
      WithControlId(new QPushButton(LanguageText(language, settings, "IDC_UPDATE"), content_), IDC_UPDATE_BUTTON);
  auto* cancel =
      WithControlId(new QPushButton(LanguageText(language, settings, "IDCANCEL"), content_), IDC_CANCEL_BUTTON);
  const QSize buttonSize = update->sizeHint().expandedTo(cancel->sizeHint()).expandedTo(QSize(75, 23));
  layout_ = config::LayoutAdvanced(model, lineHeight, buttonSize.height());

  // The columns stand where the layout puts them (check box at 20, number
  // at 210, units at 310); where a text of the model is wider than its
  // column, the columns to its right move over and the dialog widens, so
  // that no label, units text or help line is cut.
  int checkWidth = 180;
  int unitsWidth = 90;
  int helpWidth = 390;
  for (const config::ADVANCED_ROW& row : layout_.rows) {
    const ADVANCED_ENTRY& e = model.advanced[static_cast<std::size_t>(row.entry)];
    QCheckBox probe(FromUtf8(e.label));
    probe.setFont(font());
    checkWidth = std::max(checkWidth, probe.sizeHint().width());
    if (row.hasNumber) {
      unitsWidth = std::max(
          unitsWidth,
          fontMetrics().horizontalAdvance(FromUtf8(config::AdvancedUnitsText(e, currentUnits, lengthUnits))) + 4);
    }
    if (row.helpTop >= 0) {
      helpWidth =
          std::max(helpWidth, fontMetrics().size(0, FromUtf8(config::AdvancedHelpText(e.helpText))).width() + 4);
    }
  }
  const int numberX = 20 + checkWidth + 10;
  const int unitsX = numberX + 100;
  const int contentWidth = std::max({kDialogWidth, 10 + helpWidth + 20, unitsX + unitsWidth + 20});

  for (const config::ADVANCED_ROW& row : layout_.rows) {
    const ADVANCED_ENTRY& e = model.advanced[static_cast<std::size_t>(row.entry)];
    const auto r = static_cast<std::size_t>(row.entry);
    if (row.helpTop >= 0) {
      auto* text = WithControlId(new QLabel(FromUtf8(config::AdvancedHelpText(e.helpText)), content_), 250 + row.entry);
      text->setTextFormat(Qt::PlainText);
      text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      text->setGeometry(10, row.helpTop, helpWidth, row.helpBottom - row.helpTop);
    }
    auto* check = WithControlId(new QCheckBox(FromUtf8(e.label), content_), 100 + row.entry);
    check->setGeometry(20, row.rowTop, checkWidth, row.rowBottom - row.rowTop);
    check->installEventFilter(this);
    checks_[r] = check;
    if (row.hasNumber) {
      auto* number = WithControlId(new QLineEdit(content_), 150 + row.entry);
      number->setGeometry(numberX, row.rowTop - 2, 90, row.rowBottom - row.rowTop + 5);
      number->setEnabled(false);
      number->installEventFilter(this);
      numbers_[r] = number;
      auto* units = WithControlId(
          new QLabel(FromUtf8(config::AdvancedUnitsText(e, currentUnits, lengthUnits)), content_), 200 + row.entry);
      units->setTextFormat(Qt::PlainText);
      units->setGeometry(unitsX, row.rowTop, unitsWidth, row.rowBottom - row.rowTop);
      connect(number, &QLineEdit::textEdited, this, [this, row = row.entry] { NumberEdited(row); });
      connect(check, &QCheckBox::toggled, number, &QLineEdit::setEnabled);
    }
  }
  update->setGeometry(100, layout_.buttonsTop, buttonSize.width(), buttonSize.height());
  cancel->setGeometry(300, layout_.buttonsTop, buttonSize.width(), buttonSize.height());
  content_->setGeometry(0, 0, contentWidth, layout_.contentHeight);

  // The present slots: ticked, their numbers shown and enabled.
  for (const config::ADVANCED_ROW& row : layout_.rows) {
    const auto r = static_cast<std::size_t>(row.entry);
    if (slots_[r].present) {
      checks_[r]->setChecked(true);
      if (numbers_[r] != nullptr) {
        numbers_[r]->setText(ValueText(slots_[r].value));
        numbers_[r]->setEnabled(true);
      }
    }
  }
  // The button's caption, without its access key.
  setWindowTitle(FromUtf8(WithoutAccessKeys(language.Text("IDC_ADVANCED", settings.languageNumber))));
  connect(update, &QPushButton::clicked, this, &CAdvancedForm::Update);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(scroll_, &QScrollBar::valueChanged, this, &CAdvancedForm::Scrolled);
  installEventFilter(this);
  content_->installEventFilter(this);
  resize(contentWidth + kScrollWidth, layout_.clientHeight);
}

void CAdvancedForm::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  const config::ADVANCED_SCROLL s = config::AdvancedScroll(layout_.contentHeight, height());
  scroll_->setGeometry(width() - kScrollWidth, 0, kScrollWidth, height());
  scroll_->setRange(0, s.maximum);
  scroll_->setPageStep(std::max(s.page, 1));
  scroll_->setSingleStep(std::max(s.lineStep, 1));
  scroll_->setVisible(s.maximum > 0);
  scroll_->setValue(0);
  content_->move(0, 0);
}

void CAdvancedForm::Scrolled(int value) {
  // Never further than the content reaches.
  const int bottom = std::max(layout_.contentHeight - height(), 0);
  content_->move(0, -std::min(value, bottom));
}

void CAdvancedForm::NumberEdited(int row) {
  QLineEdit* box = numbers_[static_cast<std::size_t>(row)];
  const config::NUMBER_EDIT e = config::FilterAdvancedNumber(box->text().toStdString(), box->cursorPosition());
  if (e.beep) {
    ++beeps_;
    box->setText(QString::fromStdString(e.text));
    box->setCursorPosition(e.caret);
    QApplication::beep();
  }
}

void CAdvancedForm::Update() {
  for (const config::ADVANCED_ROW& row : layout_.rows) {
    const auto r = static_cast<std::size_t>(row.entry);
    slots_[r].present = checks_[r]->isChecked();
    slots_[r].value =
        numbers_[r] != nullptr ? config::ReadAdvancedNumber(numbers_[r]->text().toUpper().toStdString()) : -1.0;
  }
  done(QDialog::Accepted);
}

bool CAdvancedForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::RightButton) {
      if (help_) {
        help_();
      }
      // Then as a left press: the control under the pointer takes it.
      QMouseEvent left(QEvent::MouseButtonPress, mouse->position(), mouse->scenePosition(), mouse->globalPosition(),
                       Qt::LeftButton, Qt::LeftButton, mouse->modifiers());
      QApplication::sendEvent(watched, &left);
      QMouseEvent release(QEvent::MouseButtonRelease, mouse->position(), mouse->scenePosition(),
                          mouse->globalPosition(), Qt::LeftButton, Qt::NoButton, mouse->modifiers());
      QApplication::sendEvent(watched, &release);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void CAdvancedForm::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      focusNextChild();
      event->accept();
      return;
    case Qt::Key_Escape:
      event->accept();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

CAdvancedMarker::CAdvancedMarker(QPushButton* button, QWidget* parent) : QFrame(parent), button_(button) {
  WithControlId(this, 1124);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(button_);
  button_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
  setFrameShape(QFrame::NoFrame);
}

void CAdvancedMarker::SetMarker(bool on) {
  if (on == on_) {
    return;
  }
  on_ = on;
  if (on) {
    setFrameShape(QFrame::Box);
    setLineWidth(2);
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, QColor(255, 140, 0));
    setPalette(pal);
    // The frame's own 2 pixels put the button 2 pixels in from each side.
    layout()->setContentsMargins(0, 0, 0, 0);
  } else {
    setFrameShape(QFrame::NoFrame);
    layout()->setContentsMargins(0, 0, 0, 0);
  }
  setProperty("marked", on);
}

bool RunAdvancedButton(const MODEL_DEFINITION& model, CONFIG_RECORD& record, const std::filesystem::path& programFolder,
                       IMessageBox& messages, const CLanguageFile& language, const APP_SETTINGS& settings,
                       std::function<void()> help, QWidget* parent) {
  auto text = [&](const char* key) { return language.Text(key, settings.languageNumber); };
  if (config::AdvancedSlots(model) == 0) {
    messages.Show(text("ERROR_MESSAGE62"), 0x10);
    return false;
  }
  const std::string notice = config::AdvancedNotice(programFolder).value_or(text("STATUS_MESSAGE26"));
  if (messages.Show(notice, 4) != RESULT_YES) {
    return false;
  }
  const double factor = config::HeightFactor(model, record).value_or(0.0);
  auto copy = config::AdvancedWorkingCopy(model, record, factor);
  const std::string current = config::UnitsEntryName(model, record.unitsIndex);
  const int linear = record.volumeUnits ? record.lastLinearUnits : record.unitsIndex;
  const std::string length = linear >= 0 && linear < kMaxUnits ? model.unitNames[static_cast<std::size_t>(linear)] : "";
  CAdvancedForm dialog(model, copy, current, length, language, settings, std::move(help), parent);
  if (dialog.exec() != QDialog::Accepted) {
    return false;
  }
  config::ApplyAdvancedWorkingCopy(model, copy, factor, record);
  return true;
}

}  // namespace tolvane
