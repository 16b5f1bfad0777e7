#include "app/gui/StartFlow.h"

#include <algorithm>
#include <array>
#include <charconv>

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

MAIN_STATUS_TEXTS MainStatusTexts(const TextLookup& text, const MAIN_STATUS& status) {
  MAIN_STATUS_TEXTS texts;
  texts.adapter = status.adapter.empty() || status.adapterGone ? text("STATUSBAR_NOADAPTER")
                                                               : Format(text("STATUSBAR_ADAPTER"), status.adapter);
  if (status.demonstration) {
    texts.unit = text("STATUSBAR_DEMO");
  } else if (status.modelName.empty()) {
    texts.unit = text("STATUSBAR_NOUNIT");
  } else {
    texts.unit = Format(text("STATUSBAR_UNIT"), status.modelName, status.serialNumber);
  }
  texts.file = status.fileName.empty() ? text("STATUSBAR_NOFILE") : Format(text("STATUSBAR_FILE"), status.fileName);
  if (status.unsaved && status.configured) {
    texts.file = Format(text("STATUSBAR_UNSAVED"), texts.file);
  }
  return texts;
}

std::string FormatPlacement(const WINDOW_PLACEMENT& placement) {
  return Format("%d,%d,%d,%d", placement.x, placement.y, placement.width, placement.height);
}

std::optional<WINDOW_PLACEMENT> ParsePlacement(const std::string& value) {
  std::array<int, 4> numbers{};
  std::size_t at = 0;
  for (std::size_t n = 0; n < numbers.size(); ++n) {
    if (n > 0) {
      if (at >= value.size() || value[at] != ',') {
        return std::nullopt;
      }
      ++at;
    }
    const char* first = value.data() + at;
    const char* last = value.data() + value.size();
    const auto [end, ec] = std::from_chars(first, last, numbers[n]);
    if (ec != std::errc() || end == first) {
      return std::nullopt;
    }
    at = static_cast<std::size_t>(end - value.data());
  }
  if (at != value.size() || numbers[2] <= 0 || numbers[3] <= 0) {
    return std::nullopt;
  }
  return WINDOW_PLACEMENT{numbers[0], numbers[1], numbers[2], numbers[3]};
}

WINDOW_PLACEMENT FitPlacement(WINDOW_PLACEMENT placement, const SCREEN_AREA& area, int minimumWidth,
                              int minimumHeight) {
  if (area.width <= 0 || area.height <= 0) {
    return placement;
  }
  placement.width = std::clamp(placement.width, std::min(minimumWidth, area.width), area.width);
  placement.height = std::clamp(placement.height, std::min(minimumHeight, area.height), area.height);
  placement.x = std::clamp(placement.x, area.x, area.x + area.width - placement.width);
  placement.y = std::clamp(placement.y, area.y, area.y + area.height - placement.height);
  return placement;
}

}  // namespace tolvane
