#include "shell/ui/DialogSupport.h"

#include <QApplication>
#include <QScreen>
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

CKitDialog::CKitDialog(QWidget* parent) : QDialog(parent, kModalDialogFlags) {}

void CKitDialog::accept() { done(RESULT_OK); }

void CKitDialog::reject() { done(RESULT_CANCEL); }

}  // namespace tolvane
