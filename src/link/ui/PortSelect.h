// The adapter selection dialog ("Select Device"): one drop-down list of the
// adapters found; picking an entry closes the dialog with OK at once.
#pragma once

#include <QDialog>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "link/UsbLink.h"

class QComboBox;

namespace tolvane::link {

class CPortSelect : public QDialog {
  Q_OBJECT

 public:
  // Language text of a key in the owner's current language.
  using Lookup = std::function<std::string(std::string_view key)>;

  static constexpr int kDialogId = 129;
  static constexpr int kListId = 1001;

  CPortSelect(const std::vector<PORTID>& ports, Lookup lookup, QWidget* parent = nullptr);

  // The current choice: the first entry until the user picks one; null with
  // an empty list.
  const PORTID* Choice() const;
  int ChoiceIndex() const { return choice_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void OnActivated(int index);

  const std::vector<PORTID>& ports_;
  QComboBox* list_ = nullptr;
  int choice_ = -1;
};

}  // namespace tolvane::link
