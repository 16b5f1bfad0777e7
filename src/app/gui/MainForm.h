// The main window: a tabbed sheet with the configuration form, the updates
// page and, when DEMOTAB is on, the live display. It runs modally over the
// start dialog; closing it with OK restarts the identification, any other
// close ends the program.
#pragma once

#include <string>
#include <vector>

#include "app/gui/FormServices.h"
#include "app/gui/StartFlow.h"
#include "shell/ui/DialogSupport.h"

class QLabel;
class QStatusBar;
class QTabWidget;
class QToolButton;

namespace tolvane {

class CMainForm : public CKitDialog {
  Q_OBJECT

 public:
  enum : int { IDC_TABS = 12320, IDC_HELPBUTTON = 9 };

  CMainForm(CProgramCore& core, bool demonstration, const std::string& caption, IPageFactory& pages, IHelpHook& help,
            IStartView* start, QWidget* parent);

  // The page this opening starts on (index in tab order).
  void SetStartPage(int index) { startPage_ = index; }

  int PageCount() const;
  // Template id of the page at `index`, 0 when there is none.
  int PageId(int index) const;
  QString PageCaption(int index) const;
  int ActivePage() const;
  QTabWidget* Tabs() const { return tabs_; }

  // Shows the page at `index` once the page shown now may be left (it is
  // asked first, so its question comes while it is still on screen).
  void RequestPage(int index);

  // The pages end the sheet with OK to have the unit identified again (the
  // updates page does so after a firmware update).
  void CloseWithOk() { accept(); }

  // The status bar: the adapter, the unit (or the demonstration unit), the
  // configuration file in use with its unsaved mark.
  QStatusBar* StatusBar() const { return statusBar_; }
  // Shows the state as it is now (the configuration page reports changes).
  void RefreshStatus();

  void done(int result) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void ShowAbout();
  // The size and position kept from the last run, brought onto the screen.
  void RestorePlacement();
  void StorePlacement();

  CProgramCore& core_;
  IHelpHook& help_;
  std::vector<FORM_PAGE> pages_;
  QTabWidget* tabs_;
  QToolButton* helpButton_;
  QStatusBar* statusBar_;
  QLabel* adapterField_;
  QLabel* unitField_;
  QLabel* fileField_;
  bool demonstration_;
  int startPage_ = 0;
  int current_ = 0;         // the page shown last
  bool returning_ = false;  // going back to a page that refused to be left
  bool opened_ = false;
};

}  // namespace tolvane
