// The form's decisions about selections: which configurations of the model
// match the chosen options, what each item box offers, when the record is
// valid and complete, and what a choice in an item box does. Functions on the
// model tables and the record; the form binds them to its controls.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "defs/ConfigRecord.h"
#include "defs/LanguageFile.h"
#include "defs/ModelTables.h"

namespace tolvane::config {

using Selections = std::array<std::int32_t, kMaxItems>;

// Slots of the model's tables that hold entries, bounded by the tables' size.
int ConfigurationSlots(const MODEL_DEFINITION& model);
int OptionSlots(const CONFIG_ITEM& item);
int AdvancedSlots(const MODEL_DEFINITION& model);
// The configuration at `index` when it is a stored one, else null.
const CONFIGURATION_ENTRY* ConfigurationAt(const MODEL_DEFINITION& model, std::int32_t index);

// True when `c` matches the selections on items 0..upTo-1: each required
// option is -1, or the item is at its prompt (0), or the item has it.
bool Matches(const CONFIGURATION_ENTRY& c, const Selections& selection, int upTo = kMaxItems);

// The status line after an evaluation.
struct CONFIG_STATUS {
  const char* key = "STATUS_MESSAGE6";  // STATUS_MESSAGE6, 7, 8 or IDC_VALIDCFG
  std::int32_t number = 0;              // the configuration number with IDC_VALIDCFG
};
// The text of the status line: "%s #%d" for a valid configuration.
std::string StatusText(const CONFIG_STATUS& status, const CLanguageFile& language, int languageNumber);

// Per item, the option indices its box offers, in option order (the prompt,
// 0, first). An item the model does not define offers the prompt only.
using OPTION_LISTS = std::array<std::vector<std::int32_t>, kMaxItems>;
// The lists as the selections stand: item i offers what the configurations
// matching items 0..i-1 require for it. Nothing is changed.
OPTION_LISTS OfferOptions(const MODEL_DEFINITION& model, const Selections& selection);

// Fills the item boxes: all lists are built from the selections as they
// stand, then every item whose selection its list does not hold falls back to
// its prompt (0). So a choice that an earlier item rules out falls back, and
// so does every choice below it (its list was built with the ruled-out
// choice). Returns the lists the boxes now hold.
OPTION_LISTS FillOptionLists(const MODEL_DEFINITION& model, CONFIG_RECORD& record);

// Matches the selections as they stand and recomputes configIndex and valid
// (valid when exactly one configuration matches and every defined item has a
// real option; complete is false otherwise); with `refreshLevels`, no matched
// configuration empties the level rows (every level not set). Then fills the
// option lists (FillOptionLists). The status is that of the selections
// before any fell back. `lists`, when given, receives the option lists.
CONFIG_STATUS EvaluateConfiguration(const MODEL_DEFINITION& model, CONFIG_RECORD& record, bool refreshLevels,
                                    OPTION_LISTS* lists = nullptr);

// complete: heights and every level the matched configuration uses are set.
// 0, or -1 when incomplete.
int UpdateCompleteness(const MODEL_DEFINITION& model, CONFIG_RECORD& record);

struct BUTTON_STATES {
  bool save = false;     // Save Config File
  bool write = false;    // Write to Unit
  bool drawing = false;  // Wiring Diagram
};
BUTTON_STATES ButtonStates(const CONFIG_RECORD& record);

// Text typed into item box `item` that names none of its options was
// confirmed: nothing is chosen there, and the record holds no configuration
// until a real option is chosen (so nothing can be saved or written).
void RejectTypedOption(CONFIG_RECORD& record, int item);

// After a choice in item `chosen`: every other defined item whose box holds
// only the prompt and one option gets that option, and the configuration is
// evaluated again (the boxes are then those of that evaluation). `lists` are
// the lists the boxes hold, from the last evaluation (when null, the lists of
// the selections as they stand); they receive the lists of the last
// evaluation, and `status` its status line, when one ran. Returns the number
// of items whose selection changed this way.
int SelectSingleRemaining(const MODEL_DEFINITION& model, CONFIG_RECORD& record, int chosen, bool refreshLevels,
                          OPTION_LISTS* lists = nullptr, CONFIG_STATUS* status = nullptr);

// Form start: defined items at their prompt, the others -1 until the option
// lists are filled; then the lists are filled.
void StartSelections(const MODEL_DEFINITION& model, CONFIG_RECORD& record);

// Clear Screen's selection part: every defined item back to its prompt, the
// advanced slots emptied, the configuration evaluated.
CONFIG_STATUS ResetSelections(const MODEL_DEFINITION& model, CONFIG_RECORD& record);

// A choice in item box `item` (the list closes on `option`): the option must be
// one the box offers, else false and nothing changes. Then the evaluation, the
// single-remaining-options rule and the completeness, as the form runs them.
bool ChooseOption(const MODEL_DEFINITION& model, CONFIG_RECORD& record, int item, std::int32_t option,
                  CONFIG_STATUS* status = nullptr);

// The list of item `item` opens: the item is taken back to its prompt while
// the list is open, so the items below it offer what they would without it.
// Returns the option that was selected, for the box to show.
std::int32_t OpenOptionList(const MODEL_DEFINITION& model, CONFIG_RECORD& record, int item);

// The option of `item` whose text is `text` (the prompt's text gives 0), or
// -1 when no option has it.
std::int32_t OptionByText(const MODEL_DEFINITION& model, int item, const std::string& text);

// The list box's own prefix search: the first entry after `from` (wrapping
// around, `from` itself last) whose text begins with `typed`, without regard
// to (ASCII) case. -1 when none does; an empty `typed` matches nothing.
int FindEntryByPrefix(const std::vector<std::string>& texts, int from, std::string_view typed);

}  // namespace tolvane::config
