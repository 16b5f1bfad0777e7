#include "config/Selection.h"

#include <algorithm>

#include "common/CheckedFormat.h"

namespace tolvane::config {

namespace {

// The first item on which `c` does not match (kMaxItems when it matches on all).
int FirstMismatch(const CONFIGURATION_ENTRY& c, const Selections& selection) {
  for (int j = 0; j < kMaxItems; ++j) {
    const std::int32_t need = c.requiredOption[At(j)];
    const std::int32_t have = selection[At(j)];
    if (need != -1 && have != 0 && have != need) {
      return j;
    }
  }
  return kMaxItems;
}

// The option lists of items 0..9 as the selections stand: item i offers the
// options that the configurations matching items 0..i-1 require for it (all
// of them when one takes any), and always the prompt. Nothing is changed
// while the lists are built.
OPTION_LISTS BuildLists(const MODEL_DEFINITION& model, const Selections& selection) {
  OPTION_LISTS lists;
  const int slots = ConfigurationSlots(model);
  // Configurations still matching items 0..i-1, narrowed item by item.
  std::vector<int> live;
  live.reserve(static_cast<std::size_t>(slots));
  for (int n = 0; n < slots; ++n) {
    if (model.configurations[At(n)].present) {
      live.push_back(n);
    }
  }
  std::array<bool, kMaxOptions> offered{};
  for (int i = 0; i < kMaxItems; ++i) {
    const CONFIG_ITEM& item = model.items[At(i)];
    std::vector<std::int32_t>& list = lists[At(i)];
    list.push_back(0);
    if (item.present) {
      const int options = OptionSlots(item);
      offered.fill(false);
      bool any = false;
      for (const int n : live) {
        const std::int32_t need = model.configurations[At(n)].requiredOption[At(i)];
        if (need == -1) {
          any = true;
          break;
        }
        if (need >= 1 && need < options) {
          offered[At(need)] = true;
        }
      }
      for (std::int32_t j = 1; j < options; ++j) {
        if (any || offered[At(j)]) {
          list.push_back(j);
        }
      }
    }
    const std::int32_t have = selection[At(i)];
    if (have != 0) {
      std::erase_if(live, [&](int n) {
        const std::int32_t need = model.configurations[At(n)].requiredOption[At(i)];
        return need != -1 && need != have;
      });
    }
  }
  return lists;
}

bool UsesRow(const CONFIGURATION_ENTRY& c, int row) { return c.levelWord[At(row)] > 0; }

}  // namespace

int ConfigurationSlots(const MODEL_DEFINITION& model) {
  return std::clamp(std::max(model.configurationCount, model.configurationLast + 1), 0, kMaxConfigurations);
}

int OptionSlots(const CONFIG_ITEM& item) { return std::clamp(item.optionCount, 1, kMaxOptions); }

int AdvancedSlots(const MODEL_DEFINITION& model) {
  return std::clamp(std::max(model.advancedInputCount, model.advancedLast + 1), 0, kMaxAdvanced);
}

const CONFIGURATION_ENTRY* ConfigurationAt(const MODEL_DEFINITION& model, std::int32_t index) {
  if (index < 0 || index >= ConfigurationSlots(model) || !model.configurations[At(index)].present) {
    return nullptr;
  }
  return &model.configurations[At(index)];
}

bool Matches(const CONFIGURATION_ENTRY& c, const Selections& selection, int upTo) {
  return FirstMismatch(c, selection) >= std::min(upTo, kMaxItems);
}

std::string StatusText(const CONFIG_STATUS& status, const CLanguageFile& language, int languageNumber) {
  const std::string text = language.Text(status.key, languageNumber);
  if (std::string_view(status.key) == "IDC_VALIDCFG") {
    return Format("%s #%d", text, status.number);
  }
  return text;
}

OPTION_LISTS OfferOptions(const MODEL_DEFINITION& model, const Selections& selection) {
  return BuildLists(model, selection);
}

OPTION_LISTS FillOptionLists(const MODEL_DEFINITION& model, CONFIG_RECORD& record) {
  OPTION_LISTS lists = BuildLists(model, record.selection);
  // Then every box without a selected entry takes its prompt: a selection
  // its list does not hold (an item the model does not define holds only the
  // prompt).
  for (int i = 0; i < kMaxItems; ++i) {
    const auto& list = lists[At(i)];
    if (std::find(list.begin(), list.end(), record.selection[At(i)]) == list.end()) {
      record.selection[At(i)] = 0;
    }
  }
  return lists;
}

CONFIG_STATUS EvaluateConfiguration(const MODEL_DEFINITION& model, CONFIG_RECORD& record, bool refreshLevels,
                                    OPTION_LISTS* lists) {
  // The selections as they stand are matched first; the lists are filled
  // (and ruled-out choices fall back to the prompt) after that.
  int matching = 0;
  std::int32_t found = -1;
  const int slots = ConfigurationSlots(model);
  for (int n = 0; n < slots; ++n) {
    const CONFIGURATION_ENTRY& c = model.configurations[At(n)];
    if (c.present && Matches(c, record.selection)) {
      ++matching;
      found = n;
    }
  }
  CONFIG_STATUS status;
  record.configIndex = -1;
  record.valid = false;
  if (matching == 0) {
    status.key = "STATUS_MESSAGE6";
  } else if (matching > 1) {
    status.key = "STATUS_MESSAGE8";
  } else {
    bool allChosen = true;
    for (int i = 0; i < kMaxItems; ++i) {
      if (model.items[At(i)].present && record.selection[At(i)] == 0) {
        allChosen = false;
      }
    }
    if (!allChosen) {
      status.key = "STATUS_MESSAGE7";
    } else {
      record.configIndex = found;
      record.valid = true;
      status.key = "IDC_VALIDCFG";
      status.number = model.configurations[At(found)].number;
    }
  }
  if (!record.valid) {
    record.complete = false;
  }
  if (refreshLevels && record.configIndex < 0) {
    // No configuration: the level rows are hidden and emptied.
    record.level.fill(-1.0);
  }
  OPTION_LISTS filled = FillOptionLists(model, record);
  if (lists != nullptr) {
    *lists = std::move(filled);
  }
  return status;
}

int UpdateCompleteness(const MODEL_DEFINITION& model, CONFIG_RECORD& record) {
  bool complete = record.sensorHeight >= 0.0 && record.fillHeight >= 0.0;
  if (const CONFIGURATION_ENTRY* c = ConfigurationAt(model, record.configIndex)) {
    for (int k = 0; k < kLevelRows; ++k) {
      if (UsesRow(*c, k) && !(record.level[At(k)] >= 0.0)) {
        complete = false;
      }
    }
  }
  record.complete = complete;
  return complete ? 0 : -1;
}

BUTTON_STATES ButtonStates(const CONFIG_RECORD& record) {
  BUTTON_STATES b;
  b.drawing = record.valid;
  b.save = b.write = record.valid && record.complete;
  return b;
}

void RejectTypedOption(CONFIG_RECORD& record, int item) {
  if (item >= 0 && item < kMaxItems) {
    record.selection[At(item)] = -1;
  }
  record.valid = false;
  record.complete = false;
  record.configIndex = -1;
}

int SelectSingleRemaining(const MODEL_DEFINITION& model, CONFIG_RECORD& record, int chosen, bool refreshLevels,
                          OPTION_LISTS* lists, CONFIG_STATUS* status) {
  OPTION_LISTS shown = lists != nullptr ? *lists : OfferOptions(model, record.selection);
  int picked = 0;
  for (int j = 0; j < kMaxItems; ++j) {
    if (j == chosen || !model.items[At(j)].present || shown[At(j)].size() != 2) {
      continue;
    }
    if (record.selection[At(j)] != shown[At(j)][1]) {
      record.selection[At(j)] = shown[At(j)][1];
      ++picked;
    }
    const CONFIG_STATUS s = EvaluateConfiguration(model, record, refreshLevels, &shown);
    if (status != nullptr) {
      *status = s;
    }
  }
  if (lists != nullptr) {
    *lists = std::move(shown);
  }
  return picked;
}

void StartSelections(const MODEL_DEFINITION& model, CONFIG_RECORD& record) {
  for (int i = 0; i < kMaxItems; ++i) {
    record.selection[At(i)] = model.items[At(i)].present ? 0 : -1;
  }
  FillOptionLists(model, record);
}

CONFIG_STATUS ResetSelections(const MODEL_DEFINITION& model, CONFIG_RECORD& record) {
  for (int i = 0; i < kMaxItems; ++i) {
    if (model.items[At(i)].present) {
      record.selection[At(i)] = 0;
    }
  }
  for (ADVANCED_SLOT& a : record.advanced) {
    a = ADVANCED_SLOT{};
  }
  return EvaluateConfiguration(model, record, true);
}

bool ChooseOption(const MODEL_DEFINITION& model, CONFIG_RECORD& record, int item, std::int32_t option,
                  CONFIG_STATUS* status) {
  if (item < 0 || item >= kMaxItems || !model.items[At(item)].present) {
    return false;
  }
  OPTION_LISTS lists = OfferOptions(model, record.selection);
  const auto& list = lists[At(item)];
  if (std::find(list.begin(), list.end(), option) == list.end()) {
    return false;
  }
  record.selection[At(item)] = option;
  UpdateCompleteness(model, record);
  CONFIG_STATUS s = EvaluateConfiguration(model, record, true, &lists);
  UpdateCompleteness(model, record);
  // On what the boxes hold after the evaluation; the status line is that of
  // the last evaluation.
  SelectSingleRemaining(model, record, item, true, &lists, &s);
  UpdateCompleteness(model, record);
  if (status != nullptr) {
    *status = s;
  }
  return true;
}

std::int32_t OpenOptionList(const MODEL_DEFINITION& model, CONFIG_RECORD& record, int item) {
  if (item < 0 || item >= kMaxItems || !model.items[At(item)].present) {
    return -1;
  }
  const std::int32_t remembered = record.selection[At(item)];
  record.selection[At(item)] = 0;
  OPTION_LISTS lists;
  EvaluateConfiguration(model, record, false, &lists);
  SelectSingleRemaining(model, record, item, false, &lists);
  return remembered;
}

std::int32_t OptionByText(const MODEL_DEFINITION& model, int item, const std::string& text) {
  if (item < 0 || item >= kMaxItems) {
    return -1;
  }
  const CONFIG_ITEM& it = model.items[At(item)];
  if (text == it.optionText[0]) {
    return 0;
  }
  const int options = OptionSlots(it);
  for (int j = 1; j < options; ++j) {
    if (it.optionText[At(j)] == text) {
      return j;
    }
  }
  return -1;
}

int FindEntryByPrefix(const std::vector<std::string>& texts, int from, std::string_view typed) {
  const int n = static_cast<int>(texts.size());
  if (typed.empty() || n == 0) {
    return -1;
  }
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  const int start = from < 0 || from >= n ? -1 : from;
  for (int step = 1; step <= n; ++step) {
    const int e = (start + step) % n;
    const std::string& t = texts[static_cast<std::size_t>(e)];
    if (t.size() >= typed.size() &&
        std::equal(typed.begin(), typed.end(), t.begin(), [&](char a, char b) { return lower(a) == lower(b); })) {
      return e;
    }
  }
  return -1;
}

}  // namespace tolvane::config
