#include "link/ui/PortSelect.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

#include "shell/ui/DialogSupport.h"

namespace tolvane::link {

CPortSelect::CPortSelect(const std::vector<PORTID>& ports, Lookup lookup, QWidget* parent)
    : QDialog(parent, kModalDialogFlags), ports_(ports) {
  setProperty("controlId", kDialogId);
  setModal(true);
  setWindowTitle(QString::fromStdString(lookup("IDD_SESSIONOPTS")));

  list_ = new QComboBox(this);
  list_->setProperty("controlId", kListId);
  // Entries are told apart by position: the list keeps the order it is given.
  list_->setInsertPolicy(QComboBox::InsertAtBottom);
  list_->setMinimumContentsLength(24);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  // As wide as its title in either language, so that the title bar does not
  // cut it, and no wider than that or the list.
  const QMargins margins = layout->contentsMargins();
  list_->setMinimumWidth(std::max(list_->minimumSizeHint().width(),
                                  TitleBarWidth(this, windowTitle()) - margins.left() - margins.right()));
  layout->setSizeConstraint(QLayout::SetFixedSize);

  {
    const QSignalBlocker quiet(list_);
    list_->clear();
    for (const auto& port : ports_) {
      list_->addItem(QString::fromStdString(port.label));
    }
    list_->setCurrentIndex(ports_.empty() ? -1 : 0);
  }
  choice_ = ports_.empty() ? -1 : 0;
  // Any pick by the user, the item already shown included, chooses it.
  connect(list_, &QComboBox::activated, this, &CPortSelect::OnActivated);
}

const PORTID* CPortSelect::Choice() const {
  if (choice_ < 0 || static_cast<std::size_t>(choice_) >= ports_.size()) {
    return nullptr;
  }
  return &ports_[static_cast<std::size_t>(choice_)];
}

void CPortSelect::keyPressEvent(QKeyEvent* event) {
  // Enter takes the entry shown, as a pick in the list does.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    OnActivated(list_->currentIndex());
    return;
  }
  QDialog::keyPressEvent(event);
}

void CPortSelect::OnActivated(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= ports_.size()) {
    return;
  }
  choice_ = index;
  accept();
}

}  // namespace tolvane::link
