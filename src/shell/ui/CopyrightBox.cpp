#include "shell/ui/CopyrightBox.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <string>

#include "common/StdioFileEx.h"

namespace tolvane {

CCopyrightBox::CCopyrightBox(const CLanguageFile& language, const APP_SETTINGS& settings,
                             const std::filesystem::path& programFolder, QWidget* parent,
                             std::chrono::milliseconds closeAfter)
    : CKitDialog(parent),
      line1_(WithControlId(new QLabel(this), IDC_LINE1)),
      line2_(WithControlId(new QLabel(this), IDC_LINE2)),
      body_(WithControlId(new QLabel(this), IDC_BODY)),
      ok_(WithControlId(new QPushButton(this), IDC_OKBUTTON)),
      timer_(new QTimer(this)) {
  WithControlId(this, IDD);
  setModal(true);
  setWindowTitle(LanguageText(language, settings, "IDD_COPYRIGHTBOX"));
  ok_->setText(LanguageText(language, settings, "IDOK"));
  FillText(language, settings, programFolder);

  QFont heading = line1_->font();
  heading.setBold(true);
  line1_->setFont(heading);
  for (QLabel* label : {line1_, line2_, body_}) {
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setMaximumWidth(fontMetrics().averageCharWidth() * 80);
  }
  // As wide as the heading, within reason.
  const int headingWidth = QFontMetrics(heading).horizontalAdvance(line1_->text()) + 4;
  line1_->setMinimumWidth(
      std::clamp(headingWidth, fontMetrics().averageCharWidth() * 56, fontMetrics().averageCharWidth() * 80));
  body_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  ok_->setMinimumWidth(fontMetrics().averageCharWidth() * 12);
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &CCopyrightBox::accept);

  timer_->setSingleShot(true);
  timer_->setInterval(closeAfter);
  connect(timer_, &QTimer::timeout, this, &CCopyrightBox::accept);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok_);
  buttons->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(20, 18, 20, 14);
  layout->setSpacing(6);
  layout->addWidget(line1_);
  layout->addWidget(line2_);
  layout->addSpacing(8);
  layout->addWidget(body_);
  layout->addSpacing(10);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CCopyrightBox::FillText(const CLanguageFile& language, const APP_SETTINGS& settings,
                             const std::filesystem::path& programFolder) {
  CStdioFileEx file;
  if (!file.Open(programFolder / "copyright.txt", CStdioFileEx::modeRead)) {
    line1_->setText(LanguageText(language, settings, "IDC_COPYRIGHT1"));
    line2_->setText(LanguageText(language, settings, "IDC_COPYRIGHT2"));
    body_->setText(LanguageText(language, settings, "IDC_COPYRIGHT3"));
    return;
  }
  std::string line;
  if (file.ReadString(line)) {
    line1_->setText(FromUtf8(line));
  }
  if (file.ReadString(line)) {
    line2_->setText(FromUtf8(line));
  }
  std::string body;
  while (file.ReadString(line)) {
    body += line;
    body += '\n';
  }
  body_->setText(FromUtf8(body));
  body_->setVisible(!body.empty());
}

bool CCopyrightBox::IsTimerRunning() const { return timer_->isActive(); }

void CCopyrightBox::showEvent(QShowEvent* event) {
  CKitDialog::showEvent(event);
  timer_->start();
}

void CCopyrightBox::keyPressEvent(QKeyEvent* event) {
  timer_->stop();
  CKitDialog::keyPressEvent(event);
}

void CCopyrightBox::accept() {
  timer_->stop();
  CKitDialog::accept();
}

void CCopyrightBox::reject() {
  timer_->stop();
  CKitDialog::reject();
}

}  // namespace tolvane
