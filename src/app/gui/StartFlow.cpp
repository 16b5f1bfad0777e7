#include "app/gui/StartFlow.h"

#include "common/CheckedFormat.h"

namespace tolvane {

AdapterOutcome ClassifyAdapters(int found) {
  if (found < 0) {
    return AdapterOutcome::Unsupported;
  }
  if (found == 0) {
    return AdapterOutcome::NoAdapter;
  }
  return found == 1 ? AdapterOutcome::One : AdapterOutcome::Choose;
}

std::string NoAdapterText(const TextLookup& text, const std::string& programId) {
  return Format(text("IDC_START_STATUS2"), programId);
}

std::string ConnectingText(const TextLookup& text, const std::string& description) {
  return Format(text("IDC_START_STATUS4"), description);
}

std::string ConnectFailedText(const TextLookup& text, int code) { return Format(text("IDC_START_STATUS3"), code); }

std::string ModelMissingText(const TextLookup& text, const IDENTIFY_RESULT& result) {
  return text("ERROR_MESSAGE117") + Format(text("ERROR_MESSAGE119"), result.hardwareType, result.modelName);
}

ATTEMPT_DECISION AfterIdentification(int identified, const IDENTIFY_RESULT& result, bool kestrineMode,
                                     const TextLookup& text, IMessageBox& messages, IMessageBox& question) {
  ATTEMPT_DECISION decision;
  if (identified == 1) {
    decision.openForms = true;
    return decision;
  }
  if (result.modelMissing) {
    messages.Show(ModelMissingText(text, result), kModelMissingType);
    // The start dialog has ended; at most the main window still opens.
    decision.endDialog = true;
  }
  if (kestrineMode && question.Show(kExitQuestion, MB_YESNO) == RESULT_NO) {
    decision.openForms = true;
  }
  return decision;
}

std::string MainFormCaption(const std::string& title, bool demonstration, const std::string& demonstrationText) {
  if (!demonstration) {
    return title;
  }
  return title + Format(" - %s", demonstrationText);
}

std::vector<FORM_PAGE> MainFormPages(bool demoTab) {
  std::vector<FORM_PAGE> pages{{kConfigurationPage, "IDD_GENERICFORM"}, {kUpdatesPage, "IDD_UPDATEPROGRAM"}};
  if (demoTab) {
    pages.push_back({kLiveDisplayPage, "IDD_BIGDISPLAY"});
  }
  return pages;
}

int DecideStartPage(APP_SETTINGS& settings, bool demonstration, const std::function<int()>& offerNewerFirmware) {
  const int stored = settings.startPage;
  if (!demonstration && !settings.autoUpdate && offerNewerFirmware && offerNewerFirmware() == 1) {
    settings.autoUpdate = true;
    settings.startPage = 1;
    return 1;
  }
  settings.autoUpdate = false;
  settings.startPage = 0;
  return stored;
}

}  // namespace tolvane
