// The pages the main window hosts in the program: the configuration form,
// and the summary pages that stand for the pages still to come. It also
// answers the main window's Help button and gives the form its context help.
#pragma once

#include <memory>

#include "app/gui/FormServices.h"
#include "config/WriteToUnit.h"
#include "config/ui/GenericForm.h"
#include "firmware/ui/UpdatePageNetwork.h"
#include "shell/ContextHelp.h"

namespace tolvane {

class CProgramPages final : public IPageFactory, public IHelpHook {
 public:
  // `table` is the help-topic table the identification resets and the models
  // fill. Help pages open in the program's help window, or in `viewer` when
  // one is given.
  CProgramPages(const CHelpTopicTable& table, IDocumentOpener& opener, config::IUploadQueue& upload,
                IHelpViewer* viewer = nullptr);
  ~CProgramPages() override;

  QWidget* CreatePage(int pageId, CProgramCore& core, bool demonstration, IStartView* start, QWidget* parent) override;
  int OfferNewerFirmware(CProgramCore& core) override;
  void ShowHelp(int pageId) override;
  // The network side of the Updates page; null leaves its network controls hidden.
  void SetUpdatePageNetwork(firmware::IUpdatePageNetwork* network) { updateNetwork_ = network; }

 private:
  const CHelpTopicTable& table_;
  IHelpViewer* viewer_;
  std::unique_ptr<IHelpViewer> ownViewer_;
  IDocumentOpener& opener_;
  config::IUploadQueue& upload_;
  CUnitSummaryPages summaries_;
  std::unique_ptr<CContextHelp> help_;
  std::unique_ptr<CConfigFileDialogs> files_;
  firmware::IUpdatePageNetwork* updateNetwork_ = nullptr;
  std::string firmwareFile_;            // the Updates page's file, kept between openings
  config::TEST_AID_COUNTERS testAids_;  // the form's test aids count on over the whole run
};

}  // namespace tolvane
