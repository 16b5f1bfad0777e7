#include "link/ui/PortSelect.h"

#include <QComboBox>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace tolvane::link {

CPortSelect::CPortSelect(const std::vector<PORTID>& ports, Lookup lookup, QWidget* parent)
    : QDialog(parent), ports_(ports) {
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

void CPortSelect::OnActivated(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= ports_.size()) {
    return;
  }
  choice_ = index;
  accept();
}

}  // namespace tolvane::link
