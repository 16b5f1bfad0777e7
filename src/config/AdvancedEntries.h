// The advanced entries' dialog decisions on plain data: the number filter,
// reading a number box, the help and units texts, the run-time layout of the
// rows and its scroll steps, the notice, and the working copy of the slots
// the dialog edits (kind 2 values shown in the current length units).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "defs/ConfigRecord.h"
#include "defs/ModelTables.h"

namespace tolvane::config {

// The dialog has rows for 30 entries (check boxes 100..129); a 31st slot of
// the record is kept but not shown.
inline constexpr int kAdvancedRows = 30;

// Whether the text of a number box (as typed, any case) may stand.
bool AdvancedNumberAccepted(std::string_view text);

struct NUMBER_EDIT {
  std::string text;
  int caret = 0;
  bool beep = false;  // the text was refused: 500 Hz for 100 ms
};
// A change of a number box: a refused text loses the character before the caret.
NUMBER_EDIT FilterAdvancedNumber(std::string_view text, int caret);

// The value of a number box: -1 when empty, hexadecimal after "0X", else
// decimal. Texts the filter lets through always read; a number too large to
// hold reads as the largest double, which the page refuses as out of range.
double ReadAdvancedNumber(std::string_view text);

// The help text as shown: the two characters backslash and n break the line,
// "%%" is a percent sign. Its line count: line breaks + 1, 0 when empty.
std::string AdvancedHelpText(std::string_view raw);
int AdvancedHelpLines(std::string_view raw);

// The units text of an entry: kind 1 its second text, kind 2 the current
// length units, any other kind the current units.
std::string AdvancedUnitsText(const ADVANCED_ENTRY& entry, const std::string& currentUnits,
                              const std::string& lengthUnits);

struct ADVANCED_ROW {
  int entry = 0;
  int helpTop = -1, helpBottom = -1;  // no help text: -1
  int rowTop = 0, rowBottom = 0;      // the check box row; the number box 2 above, 3 below
  bool hasNumber = false;
};

struct ADVANCED_LAYOUT {
  std::vector<ADVANCED_ROW> rows;
  int buttonsTop = 0;     // Update at x 100, Cancel at x 300
  int contentHeight = 0;  // the full content height
  int clientHeight = 0;   // the window's client height: the content, or 500 above 700
};

// Lays out the model's entries: `lineHeight` is the height of "Test" in the
// dialog's font minus 3, `buttonHeight` the height of the buttons.
ADVANCED_LAYOUT LayoutAdvanced(const MODEL_DEFINITION& model, int lineHeight, int buttonHeight);

struct ADVANCED_SCROLL {
  int maximum = 0;   // 1.1 x (full - client), 0 when the client is tall enough
  int page = 0;      // a tenth of the range
  int lineStep = 0;  // a hundredth of (full - client), at least 1 when scrolling
  int pageStep = 0;  // a tenth of (full - client)
};
ADVANCED_SCROLL AdvancedScroll(int contentHeight, int clientHeight);

// The dialog's copy of the slots: kind 2 values from counts into the current
// units (`factor`); values of -1 (none) stay -1.
std::array<ADVANCED_SLOT, kMaxAdvanced> AdvancedWorkingCopy(const MODEL_DEFINITION& model, const CONFIG_RECORD& record,
                                                            double factor);
// Back into the record after Update: kind 2 values to whole counts.
void ApplyAdvancedWorkingCopy(const MODEL_DEFINITION& model, const std::array<ADVANCED_SLOT, kMaxAdvanced>& copy,
                              double factor, CONFIG_RECORD& record);

// True when any slot of the model's entries is present (the button's frame).
bool AdvancedMarker(const MODEL_DEFINITION& model, const CONFIG_RECORD& record);

// The notice before the dialog: the lines of "advancednotice.txt" in
// `programFolder`, each followed by a line feed; none when the file is
// missing, not a regular file, too large or unreadable.
std::optional<std::string> AdvancedNotice(const std::filesystem::path& programFolder);

}  // namespace tolvane::config
