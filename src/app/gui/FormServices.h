// What the main window needs from the pages it hosts: a factory that makes
// each page, the updates page's newer-firmware offer, and the help viewer.
#pragma once

#include <QWidget>

#include "shell/ProgramCore.h"

namespace tolvane {

class IPageFactory {
 public:
  virtual ~IPageFactory() = default;
  // Makes the page with the template id `pageId` (configuration, updates,
  // live display) for the loaded unit or the demonstration unit. `start`, the
  // start dialog, also shows the progress of a page's start.
  virtual QWidget* CreatePage(int pageId, CProgramCore& core, bool demonstration, IStartView* start,
                              QWidget* parent) = 0;
  // The updates page's offer of newer firmware for the unit: 1 when the user
  // accepted it, else 0.
  virtual int OfferNewerFirmware(CProgramCore& core) = 0;
};

class IHelpHook {
 public:
  virtual ~IHelpHook() = default;
  // The Help button of the main window, with the template id of the active page.
  virtual void ShowHelp(int pageId) = 0;
};

// Pages that show which unit and which model are loaded, until the real
// pages take their place. Offers no firmware.
class CUnitSummaryPages final : public IPageFactory {
 public:
  QWidget* CreatePage(int pageId, CProgramCore& core, bool demonstration, IStartView* start, QWidget* parent) override;
  int OfferNewerFirmware(CProgramCore&) override { return 0; }
};

// No help viewer yet.
class CNoHelp final : public IHelpHook {
 public:
  void ShowHelp(int) override {}
};

}  // namespace tolvane
