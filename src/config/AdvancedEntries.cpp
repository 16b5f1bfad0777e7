#include "config/AdvancedEntries.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

#include "common/FileSystem.h"
#include "config/ConfigValues.h"
#include "config/Selection.h"

namespace tolvane::config {

namespace {
std::string Upper(std::string_view text) {
  std::string u(text);
  for (char& c : u) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return u;
}
constexpr std::size_t kMaxNoticeBytes = 64 * 1024;
}  // namespace

bool AdvancedNumberAccepted(std::string_view typed) {
  const std::string t = Upper(typed);
  if (t.empty()) {
    return true;
  }
  if (std::string_view("0123456789.XABCDEF").find(t.back()) == std::string_view::npos) {
    return false;
  }
  const bool hex = t.rfind("0X", 0) == 0;
  const auto xs = std::count(t.begin(), t.end(), 'X');
  const auto points = std::count(t.begin(), t.end(), '.');
  if (xs > 0 && !hex) {
    return false;
  }
  if (xs > 1 || points > 1) {
    return false;
  }
  if (xs > 0 && points > 0) {
    return false;
  }
  if (!hex && t.find_first_of("ABCDEF") != std::string::npos) {
    return false;
  }
  // Only the last character is checked above; a text pasted whole must hold
  // nothing else either.
  return t.find_first_not_of("0123456789.XABCDEF") == std::string::npos;
}

NUMBER_EDIT FilterAdvancedNumber(std::string_view text, int caret) {
  NUMBER_EDIT e{std::string(text), std::clamp(caret, 0, static_cast<int>(text.size())), false};
  if (AdvancedNumberAccepted(e.text)) {
    return e;
  }
  e.beep = true;
  if (e.caret > 0) {
    e.text.erase(static_cast<std::size_t>(e.caret - 1), 1);
    --e.caret;
  }
  // A pasted text may still be malformed: refuse it whole.
  if (!AdvancedNumberAccepted(e.text)) {
    e.text.clear();
    e.caret = 0;
  }
  return e;
}

double ReadAdvancedNumber(std::string_view typed) {
  const std::string t = Upper(typed);
  if (t.empty()) {
    return -1.0;
  }
  if (const auto x = t.find("0X"); x != std::string::npos) {
    double v = 0.0;
    for (const char c : t.substr(x + 2)) {
      const auto d = std::string_view("0123456789ABCDEF").find(c);
      if (d == std::string_view::npos) {
        break;
      }
      v = v * 16.0 + static_cast<double>(d);
    }
    return std::isfinite(v) ? v : std::numeric_limits<double>::max();
  }
  double v = 0.0;
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  if (ec == std::errc::result_out_of_range) {
    return std::numeric_limits<double>::max();
  }
  if (ec != std::errc() || end == t.data()) {
    return 0.0;  // "." alone
  }
  return v;
}

std::string AdvancedHelpText(std::string_view raw) {
  std::string out;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\\' && i + 1 < raw.size() && raw[i + 1] == 'n') {
      out += '\n';
      ++i;
    } else if (raw[i] == '%' && i + 1 < raw.size() && raw[i + 1] == '%') {
      out += '%';
      ++i;
    } else {
      out += raw[i];
    }
  }
  return out;
}

int AdvancedHelpLines(std::string_view raw) {
  if (raw.empty()) {
    return 0;
  }
  const std::string shown = AdvancedHelpText(raw);
  return static_cast<int>(std::count(shown.begin(), shown.end(), '\n')) + 1;
}

std::string AdvancedUnitsText(const ADVANCED_ENTRY& entry, const std::string& currentUnits,
                              const std::string& lengthUnits) {
  switch (entry.kind) {
    case 1:
      return entry.secondText;
    case 2:
      return lengthUnits;
    default:
      return currentUnits;
  }
}

ADVANCED_LAYOUT LayoutAdvanced(const MODEL_DEFINITION& model, int lineHeight, int buttonHeight) {
  ADVANCED_LAYOUT l;
  int y = 10;
  const int count = std::min(AdvancedSlots(model), kAdvancedRows);
  for (int r = 0; r < count; ++r) {
    const ADVANCED_ENTRY& e = model.advanced[static_cast<std::size_t>(r)];
    ADVANCED_ROW row;
    row.entry = r;
    if (const int lines = AdvancedHelpLines(e.helpText); lines > 0) {
      row.helpTop = y;
      row.helpBottom = y + lines * lineHeight;
      y = row.helpBottom + 10;
    }
    row.rowTop = y;
    row.rowBottom = y + 15;
    row.hasNumber = e.valueWord >= 0;
    y += 25;
    l.rows.push_back(row);
  }
  l.buttonsTop = y;
  y += buttonHeight + 10;
  l.contentHeight = y;
  l.clientHeight = y > 700 ? 500 : y;
  return l;
}

ADVANCED_SCROLL AdvancedScroll(int contentHeight, int clientHeight) {
  ADVANCED_SCROLL s;
  const int over = contentHeight - clientHeight;
  if (over <= 0) {
    return s;
  }
  s.maximum = static_cast<int>(1.1 * over);
  s.page = s.maximum / 10;
  s.lineStep = std::max(over / 100, 1);
  s.pageStep = std::max(over / 10, 1);
  return s;
}

std::array<ADVANCED_SLOT, kMaxAdvanced> AdvancedWorkingCopy(const MODEL_DEFINITION& model, const CONFIG_RECORD& record,
                                                            double factor) {
  std::array<ADVANCED_SLOT, kMaxAdvanced> copy = record.advanced;
  for (std::size_t r = 0; r < copy.size(); ++r) {
    if (model.advanced[r].kind == 2 && copy[r].value >= 0.0 && factor > 0.0) {
      copy[r].value = FromCounts(factor, static_cast<std::int64_t>(copy[r].value));
    }
  }
  return copy;
}

void ApplyAdvancedWorkingCopy(const MODEL_DEFINITION& model, const std::array<ADVANCED_SLOT, kMaxAdvanced>& copy,
                              double factor, CONFIG_RECORD& record) {
  for (std::size_t r = 0; r < copy.size(); ++r) {
    ADVANCED_SLOT slot = copy[r];
    if (model.advanced[r].kind == 2 && slot.value >= 0.0 && factor > 0.0) {
      slot.value = static_cast<double>(ToCounts(factor, slot.value));
    }
    record.advanced[r] = slot;
  }
}

bool AdvancedMarker(const MODEL_DEFINITION& model, const CONFIG_RECORD& record) {
  const int count = AdvancedSlots(model);
  for (int r = 0; r < count; ++r) {
    if (record.advanced[static_cast<std::size_t>(r)].present) {
      return true;
    }
  }
  return false;
}

std::optional<std::string> AdvancedNotice(const std::filesystem::path& programFolder) {
  std::string bytes;
  if (ReadFileBounded(programFolder / "advancednotice.txt", kMaxNoticeBytes, bytes) != ReadResult::Ok) {
    return std::nullopt;
  }
  std::string text;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string::npos) {
      end = bytes.size();
    }
    std::string line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    text += line + "\n";
    start = end + 1;
  }
  return text;
}

}  // namespace tolvane::config
