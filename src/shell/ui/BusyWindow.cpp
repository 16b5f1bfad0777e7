#include "shell/ui/BusyWindow.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include <algorithm>

#include "shell/ui/DialogSupport.h"

namespace tolvane {

CBusyWindow::CBusyWindow(const CLanguageFile& language, const APP_SETTINGS& settings, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      message_(WithControlId(new QLabel(this), IDC_MESSAGE)),
      progress_(WithControlId(new QProgressBar(this), IDC_PROGRESS)) {
  WithControlId(this, IDD);
  setWindowTitle(LanguageText(language, settings, "IDD_BUSYWINDOW"));
  setWindowModality(Qt::NonModal);

  message_->setWordWrap(true);
  message_->setTextFormat(Qt::PlainText);
  message_->setMinimumWidth(fontMetrics().averageCharWidth() * 48);
  message_->setMinimumHeight(fontMetrics().lineSpacing() * 2);
  message_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  progress_->setRange(0, 100);
  progress_->setValue(0);
  progress_->setTextVisible(true);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 14, 16, 16);
  layout->setSpacing(10);
  layout->addWidget(message_);
  layout->addWidget(progress_);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CBusyWindow::SetMessage(const std::string& text) {
  message_->setText(FromUtf8(text));
  message_->repaint();
}

void CBusyWindow::SetProgress(int percent) {
  progress_->setValue(std::clamp(percent, 0, 100));
  repaint();
}

int CBusyWindow::Progress() const { return progress_->value(); }

QString CBusyWindow::Message() const { return message_->text(); }

}  // namespace tolvane
