#include "shell/ui/BusyWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QThread>
#include <QVBoxLayout>
#include <QWindow>

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

namespace {

// How long a window that was just shown may take to be mapped by the window
// manager before the first paint is given up on for this step.
constexpr int kExposeWaitMs = 300;

}  // namespace

void CBusyWindow::SetMessage(const std::string& text) {
  message_->setText(FromUtf8(text));
  PaintThrough();
}

void CBusyWindow::SetProgress(int percent) {
  progress_->setValue(std::clamp(percent, 0, 100));
  PaintThrough();
}

void CBusyWindow::SetBlocking(bool blocking) {
  const bool visible = isVisible();
  if (visible) {
    hide();  // modality changes only while hidden
  }
  setWindowModality(blocking ? Qt::ApplicationModal : Qt::NonModal);
  if (visible) {
    show();
  }
}

void CBusyWindow::PaintThrough() {
  if (!isVisible() || QThread::currentThread() != thread()) {
    return;
  }
  // A window just shown is on screen only once the window manager has
  // mapped it; until then a paint goes nowhere.
  QWindow* handle = windowHandle();
  if (handle != nullptr && !handle->isExposed()) {
    QElapsedTimer waited;
    waited.start();
    while (!handle->isExposed() && waited.elapsed() < kExposeWaitMs) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
  }
  repaint();
  // The windows under this one repaint too (no blank frames while the work
  // goes on); a modal busy window keeps the user's input away from them.
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void CBusyWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  CentreOn(this, parentWidget());
  PlaceWithoutOwner(this);
}

void CBusyWindow::closeEvent(QCloseEvent* event) {
  // The operation ends it, not the user.
  event->ignore();
}

int CBusyWindow::Progress() const { return progress_->value(); }

QString CBusyWindow::Message() const { return message_->text(); }

}  // namespace tolvane
