#include "config/ConfigFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <ctime>
#include <limits>
#include <string_view>
#include <system_error>

#include "common/CheckedFormat.h"
#include "common/Encoding.h"
#include "common/FileSystem.h"
#include "common/StdioFileEx.h"
#include "config/ConfigValues.h"
#include "config/Selection.h"

namespace tolvane::config {

namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------- writing

// A value written on one line: CR and LF become spaces.
std::string OneLine(std::string text) {
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return text;
}

std::string OptionText(const CONFIG_ITEM& item, std::int32_t option) {
  if (option < 0 || option >= OptionSlots(item)) {
    return {};
  }
  return item.optionText[At(option)];
}

int LinearUnitCount(const MODEL_DEFINITION& model) { return std::clamp(model.unitsCount, 0, kMaxUnits); }
int VolumeUnitCount(const MODEL_DEFINITION& model) { return std::clamp(model.volumeUnitsCount, 0, kMaxUnits); }

// The units box entry of the record's units and its name; entry -1 and no
// name when the record's index lies outside its list.
std::pair<std::int32_t, std::string> UnitsEntry(const MODEL_DEFINITION& model, const CONFIG_RECORD& record) {
  const std::int32_t u = record.unitsIndex;
  if (record.volumeUnits) {
    if (u >= 0 && u < VolumeUnitCount(model)) {
      return {LinearUnitCount(model) + u, model.volumeUnitNames[At(u)]};
    }
  } else if (u >= 0 && u < LinearUnitCount(model)) {
    return {u, model.unitNames[At(u)]};
  }
  return {-1, {}};
}

// ---------------------------------------------------------------- reading

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Trims the space character (only it) at both ends.
std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') {
    s.remove_prefix(1);
  }
  while (!s.empty() && s.back() == ' ') {
    s.remove_suffix(1);
  }
  return s;
}

// What "%d" reads at the start of `s` (white space skipped, optional sign,
// digits). `digits` is false when there are none. `fits` is false when the
// digits do not fit 32 bits.
struct SCANNED_INT {
  bool digits = false;
  bool fits = true;
  std::int32_t value = 0;
};
SCANNED_INT ScanInt(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && IsSpace(s[i])) {
    ++i;
  }
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  SCANNED_INT out;
  std::int64_t v = 0;
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  while (i < s.size() && IsDigit(s[i])) {
    out.digits = true;
    if (v <= kLimit) {
      v = v * 10 + (s[i] - '0');
    }
    ++i;
  }
  if (negative) {
    v = -v;
  }
  if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max()) {
    out.fits = false;
    return out;
  }
  out.value = static_cast<std::int32_t>(v);
  return out;
}

// An integer value: an optional sign and the leading digits, 0 when there
// are none; none when it does not fit 32 bits.
std::optional<std::int32_t> LeadingInt(std::string_view s) {
  const SCANNED_INT scanned = ScanInt(s);
  if (!scanned.fits) {
    return std::nullopt;
  }
  return scanned.value;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) {
    return false;
  }
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const char a = static_cast<char>(s[i] >= 'A' && s[i] <= 'Z' ? s[i] - 'A' + 'a' : s[i]);
    if (a != prefix[i]) {
      return false;
    }
  }
  return true;
}

// A decimal value: the leading decimal number (digits, a point, digits, an
// exponent), 0 when there is none; none when the text is not finite ("nan",
// "inf") or the number does not fit a double.
std::optional<double> LeadingDecimal(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && IsSpace(s[i])) {
    ++i;
  }
  const std::size_t start = i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    ++i;
  }
  const std::string_view rest = s.substr(i);
  if (StartsWithNoCase(rest, "nan") || StartsWithNoCase(rest, "inf")) {
    return std::nullopt;
  }
  const std::size_t mantissa = i;
  bool digits = false;
  while (i < s.size() && IsDigit(s[i])) {
    digits = true;
    ++i;
  }
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) {
      digits = true;
      ++i;
    }
  }
  if (!digits) {
    return 0.0;
  }
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
      ++j;
    }
    if (j < s.size() && IsDigit(s[j])) {
      while (j < s.size() && IsDigit(s[j])) {
        ++j;
      }
      i = j;
    }
  }
  // from_chars takes no "+" and does not depend on the locale.
  const bool negative = s[start] == '-';
  double value = 0.0;
  if (std::from_chars(s.data() + mantissa, s.data() + i, value).ec != std::errc() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

// The index of a line, as "%*[^[][%d][%d]" reads it: the number after the
// first "[", when at least one character stands before that "[". 0 when
// there is none; none when it does not fit 32 bits.
std::optional<std::int32_t> LineIndex(std::string_view line) {
  const std::size_t open = line.find('[');
  if (open == std::string_view::npos || open == 0) {
    return 0;
  }
  const SCANNED_INT scanned = ScanInt(line.substr(open + 1));
  if (!scanned.fits) {
    return std::nullopt;
  }
  return scanned.digits ? scanned.value : 0;
}

std::string CutAtDash(std::string_view s) { return std::string(s.substr(0, s.find('-'))); }

bool InRange(std::optional<std::int32_t> index, int count) { return index && *index >= 0 && *index < count; }

// A height or level as the form keeps it after showing the value with
// "%2.1f" and snapping it: the nearest value the page can represent, or
// without a factor (or for a value not set) the number the box shows.
double ShownValue(std::optional<double> factor, std::optional<double> read) {
  if (!read) {
    return -1.0;  // not a finite number: not set
  }
  if (const std::optional<double> snapped = SnapToCounts(factor, *read)) {
    return *snapped;
  }
  const std::string shown = FormatValue(*read);
  double value = *read;
  std::from_chars(shown.data(), shown.data() + shown.size(), value);
  return value;
}

// One line of a configuration file taken apart: the text before the first
// apostrophe, trimmed; the key before the first "[" or "="; the first
// bracketed index; the value after the first "=" (the whole line without one).
struct FILE_LINE {
  std::string_view key;
  std::optional<std::int32_t> index;
  std::string_view value;
};
std::optional<FILE_LINE> SplitLine(std::string_view text) {
  text = TrimSpaces(text.substr(0, text.find('\'')));
  if (text.empty()) {
    return std::nullopt;
  }
  const std::size_t eq = text.find('=');
  return FILE_LINE{TrimSpaces(text.substr(0, text.find_first_of("[="))), LineIndex(text),
                   eq == std::string_view::npos ? text : TrimSpaces(text.substr(eq + 1))};
}

// The text-file reader opens only a regular file (a folder reads as nothing,
// a device or a pipe might never end). No message box for the encoding
// check: a file too short for a byte-order mark is read as 8-bit text.
bool OpenForReading(const fs::path& path, CStdioFileEx& file) { return file.Open(path, CStdioFileEx::modeRead); }

struct Reader {
  const MODEL_DEFINITION& model;
  CONFIG_RECORD& record;
  CONFIG_NONLINEAR& nonLinear;

  // False when the line ends the reading (another model).
  bool Line(std::string_view text) {
    const std::optional<FILE_LINE> line = SplitLine(text);
    if (!line) {
      return true;
    }
    // Plain references: a lambda below uses the key.
    const std::string_view key = line->key;
    const std::optional<std::int32_t> index = line->index;
    const std::string_view value = line->value;

    auto has = [&](std::string_view word) { return key.find(word) != std::string_view::npos; };
    if (has("MODEL")) {
      const std::string mine = CutAtDash(value);
      const int types = std::clamp(model.unitTypeCount, 0, kMaxUnitTypes);
      for (int t = 0; t < types; ++t) {
        if (CutAtDash(model.unitTypes[At(t)]) == mine) {
          return true;
        }
      }
      return false;
    }
    if (has("SERIAL")) {
      if (const auto n = LeadingInt(value)) {
        record.factorySerial = *n;
      }
    } else if (has("FIRMWARE")) {
      record.firmwareName = std::string(value);
    } else if (has("TANK DESCRIPTION")) {
      record.tankDescription = std::string(value);
    } else if (has("CONFIG")) {
      const auto n = LeadingInt(value);
      if (InRange(index, kMaxItems) && n) {
        record.selection[At(*index)] = *n;
        EvaluateConfiguration(model, record, true);
      }
    } else if (has("ADVANCED")) {
      const auto v = LeadingDecimal(value);
      if (InRange(index, kMaxAdvanced) && v) {
        record.advanced[At(*index)] = ADVANCED_SLOT{true, *v};
      }
    } else if (has("UNITS")) {
      Units(LeadingInt(value));
    } else if (has("SENSORHEIGHT")) {
      record.sensorHeight = ShownValue(HeightFactor(model, record), LeadingDecimal(value));
    } else if (has("FILLHEIGHT")) {
      record.fillHeight = ShownValue(HeightFactor(model, record), LeadingDecimal(value));
    } else if (has("LEVEL")) {
      if (InRange(index, kLevelRows)) {
        record.level[At(*index)] = ShownValue(LevelFactor(model, record), LeadingDecimal(value));
      }
    } else if (key == "NONLINEAR") {
      nonLinear.on = value == "TRUE";
    } else if (key == "NLTYPE") {
      const auto n = LeadingInt(value);
      if (n && *n >= std::numeric_limits<std::int16_t>::min() && *n <= std::numeric_limits<std::int16_t>::max()) {
        nonLinear.structureType = *n;
      }
    } else if (key == "D") {
      const auto v = LeadingDecimal(value);
      if (InRange(index, kDimensionCount) && v && std::fabs(*v) <= std::numeric_limits<float>::max()) {
        nonLinear.page.dimensions[At(*index)] = static_cast<float>(*v);
      }
    }
    return true;
  }

  // The units box selects entry `entry`: a linear unit, or after them a
  // volume unit. Nothing is converted; an entry outside the box is ignored.
  void Units(std::optional<std::int32_t> entry) {
    if (!entry || *entry < 0) {
      return;
    }
    const int linear = LinearUnitCount(model);
    if (*entry < linear) {
      record.volumeUnits = false;
      record.unitsIndex = *entry;
      record.lastLinearUnits = *entry;
    } else if (*entry - linear < VolumeUnitCount(model)) {
      record.volumeUnits = true;
      record.unitsIndex = *entry - linear;
    }
  }
};

// ---------------------------------------------------------------- comparing

std::string Shown(double v) { return v < 0.0 ? std::string("(not set)") : FormatValue(v); }

// The notes as the page keeps them: 64 bytes of Windows-1252, to the first zero.
std::string NotesAsKept(const std::string& notes) {
  std::string bytes = Utf8ToCp1252(notes);
  bytes.resize(std::min(bytes.size(), kNotesBytes));
  bytes.resize(std::min(bytes.size(), bytes.find('\0')));
  return Cp1252ToUtf8(bytes);
}

std::string AdvancedShown(const ADVANCED_ENTRY& entry, const ADVANCED_SLOT& slot) {
  if (!slot.present) {
    return "off";
  }
  if (entry.valueWord < 0 || !(slot.value >= 0.0)) {
    return "on";
  }
  return Format("%.0f", std::trunc(slot.value));
}

std::string UnitsShown(const MODEL_DEFINITION& model, const CONFIG_RECORD& record) {
  const auto [entry, name] = UnitsEntry(model, record);
  return entry < 0 ? Format("(unit %d)", record.unitsIndex) : name;
}

}  // namespace

std::string ConfigFileText(const MODEL_DEFINITION& model, const CONFIG_RECORD& r, const CONFIG_NONLINEAR& nl) {
  std::string t;
  t += "'Configuration File for:\n";
  t += Format("  MODEL = %s\n", OneLine(r.modelName));
  t += Format("  SERIAL = %d\n", r.serialNumber);
  t += Format("  FIRMWARE = %s\n", OneLine(r.firmwareName));
  t += Format("  SW REV = %d\n", r.softwareRevision);
  t += Format("  UNIT DESCRIPTION = %s\n", OneLine(r.unitDescription));
  t += Format("  TANK DESCRIPTION = %s\n", OneLine(r.tankDescription));
  t += Format("  MDL FILE NAME = %s\n", OneLine(r.modelFileName));
  t += Format("  MDL FILE REVISION = %s\n", OneLine(r.modelFileRevision));

  t += "\n'Configuration Settings -\n";
  for (int i = 0; i < kMaxItems; ++i) {
    const CONFIG_ITEM& item = model.items[At(i)];
    if (!item.present) {
      continue;
    }
    const std::int32_t s = r.selection[At(i)];
    t += Format("  CONFIG[%d] = %d\t\t' %s = %s\n", i, s, OneLine(item.label), OneLine(OptionText(item, s)));
  }
  const CONFIGURATION_ENTRY* matched = ConfigurationAt(model, r.configIndex);
  t += Format("  'Configuration Number = %d\n", matched != nullptr ? matched->number : 0);

  t += "\n'Advanced Entries -\n";
  const int advanced = AdvancedSlots(model);
  for (int a = 0; a < advanced; ++a) {
    const ADVANCED_SLOT& slot = r.advanced[At(a)];
    if (slot.present) {
      t += Format("  ADVANCED[%d] = %3.1f\n", a, slot.value);
    }
  }

  t += "\n'Unit Setting -\n";
  const auto [entry, name] = UnitsEntry(model, r);
  t += Format("  UNITS = %d\t\t' %s\n", entry < 0 ? r.unitsIndex : entry, OneLine(name));

  t += "\n'Levels -\n";
  t += Format("  SENSORHEIGHT = %2.1f\n", r.sensorHeight);
  t += Format("  FILLHEIGHT = %2.1f\n", r.fillHeight);
  if (matched != nullptr) {
    for (int k = kLevelRows - 1; k >= 0; --k) {
      if (matched->levelWord[At(k)] > 0) {
        t += Format("  LEVEL[%d] = %2.1f\t' %s\n", k, r.level[At(k)], OneLine(matched->levelLabel[At(k)]));
      }
    }
  }

  t += "\n'Nonlinear settings -\n";
  if (!nl.on) {
    t += "  NONLINEAR = FALSE\n";
  } else {
    t += "  NONLINEAR = TRUE\n";
    t += Format("  NLTYPE = %d\n", nl.structureType);
    for (int j = 0; j < kDimensionCount; ++j) {
      const float d = nl.page.dimensions[At(j)];
      if (d > 0.0f) {
        t += Format("  D[%d] = %2.1f\n", j, static_cast<double>(d));
      }
    }
  }
  t += "\n'End of File\n";
  return t;
}

bool WriteConfigFile(const fs::path& path, const MODEL_DEFINITION& model, const CONFIG_RECORD& record,
                     const CONFIG_NONLINEAR& nonLinear) {
  CStdioFileEx file;
  if (!file.Open(path, CStdioFileEx::modeCreate | CStdioFileEx::modeWrite | CStdioFileEx::modeWriteUnicode)) {
    return false;
  }
  file.WriteString(ConfigFileText(model, record, nonLinear));
  return file.Close();
}

int ReadConfigFile(const fs::path& path, const MODEL_DEFINITION& model, CONFIG_RECORD& record,
                   CONFIG_NONLINEAR& nonLinear, IMessageBox& messages, const CLanguageFile& language,
                   int languageNumber) {
  CStdioFileEx file(nullptr);
  if (!OpenForReading(path, file)) {
    return READ_CONFIG_CANNOT_OPEN;
  }

  // Into a copy, taken over only when the whole file has been read.
  CONFIG_RECORD read = record;
  CONFIG_NONLINEAR readNonLinear = nonLinear;
  read.valid = false;
  read.complete = false;
  for (ADVANCED_SLOT& slot : read.advanced) {
    slot.present = false;
  }
  readNonLinear.on = false;
  readNonLinear.structureType = -1;
  readNonLinear.page.dimensions.fill(0.0f);

  Reader reader{model, read, readNonLinear};
  std::string line;
  while (file.ReadString(line)) {
    if (!reader.Line(line)) {
      file.Close();
      messages.Show(language.Text("ERROR_MESSAGE54", languageNumber), MB_ERROR);
      return READ_CONFIG_OTHER_MODEL;
    }
  }
  file.Close();
  UpdateCompleteness(model, read);
  record = std::move(read);
  nonLinear = std::move(readNonLinear);
  return READ_CONFIG_OK;
}

int ReadCompleteConfigFile(const fs::path& path, const MODEL_DEFINITION& model, CONFIG_RECORD& record,
                           CONFIG_NONLINEAR& nonLinear, IMessageBox& messages, const CLanguageFile& language,
                           int languageNumber) {
  CONFIG_RECORD blank = record;
  StartSelections(model, blank);
  blank.configIndex = -1;
  blank.valid = blank.complete = false;
  blank.sensorHeight = blank.fillHeight = -1.0;
  blank.level.fill(-1.0);
  CONFIG_NONLINEAR blankNonLinear = nonLinear;
  const int read = ReadConfigFile(path, model, blank, blankNonLinear, messages, language, languageNumber);
  if (read != READ_CONFIG_OK) {
    return read;
  }
  EvaluateConfiguration(model, blank, false);
  UpdateCompleteness(model, blank);
  if (!blank.valid || !blank.complete) {
    return READ_CONFIG_INCOMPLETE;
  }
  record = std::move(blank);
  nonLinear = std::move(blankNonLinear);
  return READ_CONFIG_OK;
}

std::optional<std::int32_t> FileTankShape(const fs::path& path) {
  CStdioFileEx file(nullptr);
  if (!OpenForReading(path, file)) {
    return std::nullopt;
  }
  bool on = false;
  std::optional<std::int32_t> type;
  std::string text;
  while (file.ReadString(text)) {
    const std::optional<FILE_LINE> line = SplitLine(text);
    if (!line) {
      continue;
    }
    if (line->key == "NONLINEAR") {
      on = line->value == "TRUE";
    } else if (line->key == "NLTYPE") {
      const auto n = LeadingInt(line->value);
      if (n && *n >= 0 && *n <= std::numeric_limits<std::int16_t>::max()) {
        type = *n;
      }
    }
  }
  file.Close();
  return on ? type : std::nullopt;
}

bool ReadHeightsFromFile(const fs::path& path, const MODEL_DEFINITION& model, CONFIG_RECORD& record) {
  CStdioFileEx file(nullptr);
  if (!OpenForReading(path, file)) {
    return false;
  }
  std::string text;
  while (file.ReadString(text)) {
    const std::optional<FILE_LINE> line = SplitLine(text);
    if (!line) {
      continue;
    }
    if (line->key.find("SENSORHEIGHT") != std::string_view::npos) {
      record.sensorHeight = ShownValue(HeightFactor(model, record), LeadingDecimal(line->value));
    } else if (line->key.find("FILLHEIGHT") != std::string_view::npos) {
      record.fillHeight = ShownValue(HeightFactor(model, record), LeadingDecimal(line->value));
    }
  }
  file.Close();
  return true;
}

int NextFileNumber(const fs::path& proposed) {
  const std::string file = proposed.filename().string();
  const std::string base = file.substr(0, file.find_first_of("[."));
  const std::size_t dot = file.rfind('.');
  const std::string extension = dot == std::string::npos ? std::string() : file.substr(dot + 1);
  const std::string head = base + "[";
  const std::string tail = "]." + extension;

  fs::path folder = proposed.parent_path();
  if (folder.empty()) {
    folder = ".";
  }
  bool any = false;
  std::int64_t largest = std::numeric_limits<std::int64_t>::min();
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() < head.size() + tail.size() || name.compare(0, head.size(), head) != 0 ||
        name.compare(name.size() - tail.size(), tail.size(), tail) != 0) {
      continue;
    }
    any = true;
    // "%*[^[][%d].": a number after the first "[", with something before it.
    const std::size_t open = name.find('[');
    if (open == 0) {
      continue;
    }
    const SCANNED_INT n = ScanInt(std::string_view(name).substr(open + 1));
    if (n.digits && n.fits) {
      largest = std::max<std::int64_t>(largest, n.value);
    }
  }
  if (!any) {
    return 0;
  }
  const std::int64_t next = largest == std::numeric_limits<std::int64_t>::min() ? 1 : largest + 1;
  return static_cast<int>(std::clamp<std::int64_t>(next, 1, std::numeric_limits<std::int32_t>::max()));
}

std::string ProposedSaveName(const std::string& boxText, const fs::path& configsFolder) {
  std::string name(TrimSpaces(boxText));
  if (name.empty()) {
    name = "Config.txt";
  }
  if (name.size() < 4 || name.compare(name.size() - 4, 4, ".txt") != 0) {
    name += ".txt";
  }
  if (!IsSafeLeafName(name)) {
    return {};
  }
  const int n = NextFileNumber(configsFolder / name);
  return name.substr(0, name.find_first_of("[.")) + Format("[%d].txt", n);
}

std::string WithTxtExtension(const std::string& name) {
  return name.find(".txt") == std::string::npos ? name + ".txt" : name;
}

std::optional<fs::path> ConfigFilePath(const fs::path& folder, const std::string& name) {
  if (!IsSafeLeafName(name)) {
    return std::nullopt;
  }
  return folder / name;
}

std::string FileDateText(const fs::path& path, const CLanguageFile& language, int languageNumber) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) {
      return {};
    }
    return language.Text("ERROR_MESSAGE76", languageNumber);
  }
  std::tm local{};
  const std::time_t when = st.st_mtime;
  if (::localtime_r(&when, &local) == nullptr) {
    return language.Text("ERROR_MESSAGE76", languageNumber);
  }
  return Format(language.Text("STATUS_MESSAGE39", languageNumber), local.tm_mon + 1, local.tm_mday,
                local.tm_year + 1900, local.tm_hour, local.tm_min);
}

std::vector<CONFIG_DIFFERENCE> DiffConfigurations(const MODEL_DEFINITION& model, const CONFIG_RECORD& file,
                                                  const CONFIG_NONLINEAR& fileNl, const CONFIG_RECORD& unit,
                                                  const CONFIG_NONLINEAR& unitNl) {
  std::vector<CONFIG_DIFFERENCE> out;
  auto compare = [&out](std::string field, std::string a, std::string b) {
    if (a != b) {
      out.push_back(CONFIG_DIFFERENCE{std::move(field), std::move(a), std::move(b)});
    }
  };

  for (int i = 0; i < kMaxItems; ++i) {
    const CONFIG_ITEM& item = model.items[At(i)];
    if (item.present) {
      compare(item.label, OptionText(item, file.selection[At(i)]), OptionText(item, unit.selection[At(i)]));
    }
  }
  compare("Units", UnitsShown(model, file), UnitsShown(model, unit));
  compare("Sensor height", Shown(file.sensorHeight), Shown(unit.sensorHeight));
  compare("Fill height", Shown(file.fillHeight), Shown(unit.fillHeight));

  const CONFIGURATION_ENTRY* fc = ConfigurationAt(model, file.configIndex);
  const CONFIGURATION_ENTRY* uc = ConfigurationAt(model, unit.configIndex);
  for (int k = kLevelRows - 1; k >= 0; --k) {
    const bool fileUses = fc != nullptr && fc->levelWord[At(k)] > 0;
    const bool unitUses = uc != nullptr && uc->levelWord[At(k)] > 0;
    if (!fileUses && !unitUses) {
      continue;
    }
    std::string label(TrimSpaces(fileUses ? fc->levelLabel[At(k)] : uc->levelLabel[At(k)]));
    if (label.empty()) {
      label = Format("Level %d", k + 1);
    }
    compare(label, fileUses ? Shown(file.level[At(k)]) : "(unused)", unitUses ? Shown(unit.level[At(k)]) : "(unused)");
  }

  const int advanced = AdvancedSlots(model);
  for (int a = 0; a < advanced; ++a) {
    const ADVANCED_ENTRY& entry = model.advanced[At(a)];
    const std::string label = entry.label.empty() ? Format("Advanced entry %d", a + 1) : entry.label;
    compare(label, AdvancedShown(entry, file.advanced[At(a)]), AdvancedShown(entry, unit.advanced[At(a)]));
  }

  compare("Notes", NotesAsKept(file.tankDescription), NotesAsKept(unit.tankDescription));

  compare("Non-linear", fileNl.on ? "on" : "off", unitNl.on ? "on" : "off");
  if (fileNl.on && unitNl.on) {
    compare("Structure type", Format("%d", fileNl.structureType), Format("%d", unitNl.structureType));
  }
  if (fileNl.on || unitNl.on) {
    for (int j = 0; j < kDimensionCount; ++j) {
      compare(Format("D[%d]", j), FormatValue(static_cast<double>(fileNl.page.dimensions[At(j)])),
              FormatValue(static_cast<double>(unitNl.page.dimensions[At(j)])));
    }
  }
  return out;
}

}  // namespace tolvane::config
