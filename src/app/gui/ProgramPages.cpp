#include "app/gui/ProgramPages.h"

#include "app/gui/StartFlow.h"
#include "firmware/ui/UpdateProgram.h"
#include "link/ui/BigDisplay.h"
#include "shell/ui/HelpViewer.h"

namespace tolvane {

CProgramPages::CProgramPages(const CHelpTopicTable& table, IDocumentOpener& opener, config::IUploadQueue& upload,
                             IHelpViewer* viewer)
    : table_(table), viewer_(viewer), opener_(opener), upload_(upload) {}

CProgramPages::~CProgramPages() = default;

QWidget* CProgramPages::CreatePage(int pageId, CProgramCore& core, bool demonstration, IStartView* start,
                                   QWidget* parent) {
  if (pageId == kUpdatesPage) {
    return new firmware::CUpdateProgram(
        firmware::UPDATE_PAGE_CONTEXT{core, demonstration, firmwareFile_, updateNetwork_, help_.get(), {}, {}}, parent);
  }
  if (pageId == kLiveDisplayPage) {
    return new CBigDisplay(
        core, demonstration, [this] { ShowHelp(kLiveDisplayPage); }, parent);
  }
  if (pageId != kConfigurationPage) {
    return summaries_.CreatePage(pageId, core, demonstration, start, parent);
  }
  IHelpViewer* viewer = viewer_;
  if (viewer == nullptr) {
    if (ownViewer_ == nullptr) {
      ownViewer_ = std::make_unique<CHelpViewerService>(core.language, core.settings, core.services.messages);
    }
    viewer = ownViewer_.get();
  }
  help_ = std::make_unique<CContextHelp>(table_, *viewer, core.services.messages, core.language, core.settings,
                                         core.folders.help, core.tables);
  files_ = std::make_unique<CConfigFileDialogs>(core.language, core.settings);
  auto* form = new CGenericForm(
      GENERIC_FORM_SERVICES{core, demonstration, *help_, opener_, upload_, *files_, start, nullptr, &testAids_},
      parent);
  files_->SetParent(form);
  return form;
}

int CProgramPages::OfferNewerFirmware(CProgramCore& core) {
  return firmware::OfferNewerFirmware(core, firmwareFile_, [&core](const std::vector<std::string>& names) {
    return firmware::ChooseFirmwareFile(core, names, nullptr);
  });
}

void CProgramPages::ShowHelp(int pageId) {
  if (help_ == nullptr) {
    return;
  }
  switch (pageId) {
    case kLiveDisplayPage:
      help_->ShowPage("DEMO.htm");
      break;
    case kUpdatesPage:
      help_->ShowPage("UPDATE_PROGRAM.htm");
      break;
    default:
      help_->ShowPage("GETTING_STARTED.htm");
      break;
  }
}

}  // namespace tolvane
