#include "shell/ui/DialogSupport.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLayout>
#include <QScreen>
#include <QTreeView>
#include <QVariant>

#include <algorithm>

#include "common/Messages.h"

namespace tolvane {

int ControlId(const QWidget* widget) {
  bool ok = false;
  const int id = widget->property(kControlIdProperty).toInt(&ok);
  return ok ? id : 0;
}

QWidget* FindControl(QWidget* root, int id) {
  if (root == nullptr) {
    return nullptr;
  }
  if (ControlId(root) == id) {
    return root;
  }
  const auto children = root->findChildren<QWidget*>();
  for (QWidget* child : children) {
    if (ControlId(child) == id) {
      return child;
    }
  }
  return nullptr;
}

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString LanguageText(const CLanguageFile& language, const APP_SETTINGS& settings, std::string_view key) {
  return FromUtf8(language.Text(key, settings.languageNumber));
}

QString LanguageTextOr(const CLanguageFile& language, const APP_SETTINGS& settings, std::string_view key,
                       const char* fallback) {
  return FromUtf8(language.TextOr(key, settings.languageNumber, fallback));
}

QString SaveFileName(QWidget* parent, const QString& title, const QString& suggested, const QString& filter) {
  QFileDialog dialog(parent, title, suggested, filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  SizeFileDialog(dialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return {};
  }
  return dialog.selectedFiles().front();
}

void SizeFileDialog(QFileDialog& dialog) {
  const QFontMetrics metrics = dialog.fontMetrics();
  const int ch = metrics.averageCharWidth();
  // The detail view's columns: name, size, type and date, each with room
  // for what it shows ("plain text document", a date and time).
  if (auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
    QHeaderView* header = view->header();
    const int widths[] = {ch * 40, ch * 11, ch * 24, ch * 30};
    for (int column = 0; column < header->count() && column < 4; ++column) {
      header->resizeSection(column, widths[column]);
    }
  }
  QSize size(ch * 142, metrics.lineSpacing() * 30);
  size = size.expandedTo(dialog.sizeHint());
  const QWidget* owner = dialog.parentWidget();
  if (QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen()) {
    size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
  }
  dialog.resize(size);
}

int RuleLineHeight(const QFontMetrics& metrics) {
  return std::max(metrics.size(Qt::TextSingleLine, QStringLiteral("Test")).height() - 3, metrics.lineSpacing());
}

QWidget* WorkingWindow(const QWidget* self) {
  auto usable = [self](QWidget* w) {
    return w != nullptr && w != self && w->isVisible() && (self == nullptr || !self->isAncestorOf(w));
  };
  if (QWidget* modal = QApplication::activeModalWidget(); usable(modal)) {
    return modal;
  }
  if (QWidget* active = QApplication::activeWindow(); usable(active)) {
    return active;
  }
  return nullptr;
}

WorkingWindowScope::WorkingWindowScope(QWidget* window) : window_(window), owner_(window->parentWidget()) {
  QWidget* working = WorkingWindow(window);
  if (working == nullptr || working == owner_ || window->isVisible()) {
    return;
  }
  window->setParent(working, window->windowFlags());
  moved_ = true;
}

WorkingWindowScope::~WorkingWindowScope() {
  if (moved_) {
    window_->setParent(owner_, window_->windowFlags());
  }
}

void CentreOn(QWidget* window, const QWidget* owner) {
  if (owner == nullptr || !owner->isVisible()) {
    return;
  }
  const QRect frame = owner->window()->frameGeometry();
  QRect mine = window->frameGeometry();
  mine.moveCenter(frame.center());
  if (const QScreen* screen = owner->window()->screen()) {
    const QRect area = screen->availableGeometry();
    mine.moveLeft(std::clamp(mine.left(), area.left(), std::max(area.left(), area.right() - mine.width())));
    mine.moveTop(std::clamp(mine.top(), area.top(), std::max(area.top(), area.bottom() - mine.height())));
  }
  window->move(mine.topLeft());
}

void PlaceWithoutOwner(QWidget* window) {
  const QWidget* owner = window->parentWidget() != nullptr ? window->parentWidget()->window() : nullptr;
  if (owner != nullptr && owner->isVisible()) {
    return;
  }
  if (const QWidget* working = WorkingWindow(window)) {
    CentreOn(window, working);
    return;
  }
  const QScreen* screen = window->screen() != nullptr ? window->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) {
    return;
  }
  const QRect area = screen->availableGeometry();
  QRect mine = window->frameGeometry();
  mine.moveCenter(area.center());
  mine.moveLeft(std::max(mine.left(), area.left()));
  mine.moveTop(std::max(mine.top(), area.top()));
  window->move(mine.topLeft());
}

int TitleBarWidth(const QWidget* window, const QString& title) {
  // Desktops draw titles in a bold font a little larger than the text's.
  QFont font = window->font();
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() * 1.1);
  const QFontMetrics fm(font);
  // The desktop shows the application's name after the window's own title.
  QString shown = title;
  const QString program = QGuiApplication::applicationDisplayName();
  if (!program.isEmpty() && title != program) {
    shown += QStringLiteral(" \u2014 ") + program;
  }
  // The window menu's icon, minimise, maximise and close boxes, and margins.
  const int buttons = fm.height() * 8;
  return fm.horizontalAdvance(shown) + buttons;
}

QImage ScaledForDevice(const QImage& picture, qreal ratio) {
  if (picture.isNull() || ratio <= 1.0) {
    return picture;
  }
  const QSize pixels(qRound(picture.width() * ratio), qRound(picture.height() * ratio));
  QImage scaled = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                      .scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  scaled.setDevicePixelRatio(ratio);
  return scaled;
}

CKitDialog::CKitDialog(QWidget* parent) : QDialog(parent, kModalDialogFlags) {}

void CKitDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // A position of its own (a kept placement, an explicit move) stays.
  // As wide as its title: the title bar does not cut it.
  const int titled = TitleBarWidth(this, windowTitle());
  if (width() < titled) {
    if (layout() != nullptr && layout()->sizeConstraint() == QLayout::SetFixedSize) {
      // A fixed-size layout would take the width back at its next
      // activation: it keeps only its least size from now on.
      layout()->setSizeConstraint(QLayout::SetMinimumSize);
      setFixedWidth(titled);
    } else {
      setMinimumWidth(titled);
      resize(titled, height());
    }
    if (testAttribute(Qt::WA_Moved)) {
      return;  // a position of its own
    }
    // Centred again at its new width.
    CentreOn(this, parentWidget());
  }
  if (!testAttribute(Qt::WA_Moved)) {
    PlaceWithoutOwner(this);
    setAttribute(Qt::WA_Moved, false);
  }
}

void CKitDialog::accept() { done(RESULT_OK); }

void CKitDialog::reject() { done(RESULT_CANCEL); }

}  // namespace tolvane
