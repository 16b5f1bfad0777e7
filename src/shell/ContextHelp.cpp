#include "shell/ContextHelp.h"

#include <unistd.h>

#include <array>
#include <cerrno>

#include "common/CheckedFormat.h"
#include "common/Encoding.h"
#include "common/FileSystem.h"

namespace tolvane {
namespace {

constexpr char kLevels[] = "TANK_LEVELS_GROUP.htm";
constexpr char kConfiguration[] = "CONFIGURATION_GROUP.htm";
constexpr char kFile[] = "CONFIGURATION_FILE.htm";

// A run of control ids from `first` to `last` that share a default topic.
struct DEFAULT_RUN {
  int first;
  int last;
  const char* topic;
};

// The defaults in table order. Control 1032 has two entries; lookups and
// model overrides find the first.
constexpr DEFAULT_RUN kDefaultRuns[] = {
    {1002, 1002, kLevels},
    {1004, 1004, kGettingStartedTopic},
    {1006, 1013, kConfiguration},
    {1030, 1030, kConfiguration},
    {1032, 1032, kConfiguration},
    {1014, 1022, kLevels},
    {1023, 1023, kConfiguration},
    {1024, 1026, kFile},
    {1027, 1027, "WRITE_TO_UNIT.htm"},
    {1028, 1028, "VIEW_DRAWING.htm"},
    {1029, 1029, "DESCRIPTION.htm"},
    {1031, 1031, kGettingStartedTopic},
    {1032, 1032, kGettingStartedTopic},
    {1033, 1041, kConfiguration},
    {1042, 1047, kLevels},
    {1048, 1048, kFile},
    {1061, 1061, "PRINT_CONFIG.htm"},
    {1050, 1050, kGettingStartedTopic},
    {1052, 1052, kConfiguration},
    {1054, 1054, kConfiguration},
    {1055, 1058, kLevels},
    {1059, 1059, kFile},
    {1060, 1060, "DESCRIPTION.htm"},
    {1062, 1062, "ADVANCED.htm"},
};

constexpr int DefaultEntries() {
  int n = 0;
  for (const DEFAULT_RUN& run : kDefaultRuns) {
    n += run.last - run.first + 1;
  }
  return n;
}
static_assert(DefaultEntries() == CHelpTopicTable::kEntries);

constexpr std::size_t kPiece = 1000;

}  // namespace

std::string HelpPath(const std::filesystem::path& folder, const std::string& file, const std::string& topic) {
  return Format("%s/%s::/%s", folder.string(), file, topic);
}

std::pair<std::string, std::string> SplitHelpPath(std::string_view path) {
  const std::size_t at = path.find("::/");
  if (at == std::string_view::npos) {
    return {std::string(path), std::string()};
  }
  return {std::string(path.substr(0, at)), std::string(path.substr(at + 3))};
}

void CHelpTopicTable::ResetDefaults() {
  entries_.clear();
  entries_.reserve(kEntries);
  for (const DEFAULT_RUN& run : kDefaultRuns) {
    for (int id = run.first; id <= run.last; ++id) {
      entries_.push_back({id, run.topic});
    }
  }
}

int CHelpTopicTable::SetTopic(int controlId, const std::string& topic) {
  for (ENTRY& e : entries_) {
    if (e.controlId == controlId) {
      e.topic = topic;
      return 0;
    }
  }
  return -1;
}

int CHelpTopicTable::GetTopic(int controlId, std::string& topic) const {
  for (const ENTRY& e : entries_) {
    if (e.controlId == controlId) {
      topic = e.topic;
      return 0;
    }
  }
  topic = kGettingStartedTopic;
  return -1;
}

bool HelpFileHasTopic(const std::filesystem::path& file, const std::string& topic, IMessageBox& messages,
                      const std::string& openErrorText) {
  CFileHandle in;
  if (OpenRegularFile(file, in) != OpenResult::Ok) {
    messages.Show(openErrorText, MB_ERROR);
    return false;
  }
  // The topic as the low bytes of its characters.
  std::string wanted;
  for (const char32_t c : Utf8ToU32(topic)) {
    wanted.push_back(static_cast<char>(c & 0xFFu));
  }
  if (wanted.empty()) {
    return false;
  }
  std::array<char, kPiece> piece{};
  std::size_t matched = 0;
  for (;;) {
    const ssize_t n = ::read(in.Get(), piece.data(), piece.size());
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      break;
    }
    const auto got = static_cast<std::size_t>(n);
    for (std::size_t i = 0; i < got; ++i) {
      const char byte = piece[i];
      if (byte != wanted[matched] && matched > 0) {
        // A mismatch inside the topic: this same byte may begin it again.
        matched = 0;
      }
      if (byte == wanted[matched]) {
        if (++matched == wanted.size()) {
          return true;
        }
      }
    }
  }
  return false;
}

CContextHelp::CContextHelp(const CHelpTopicTable& table, IHelpViewer& viewer, IMessageBox& messages,
                           const CLanguageFile& language, const APP_SETTINGS& settings,
                           std::filesystem::path helpFolder, const MODEL_TABLES& tables)
    : table_(table),
      viewer_(viewer),
      messages_(messages),
      language_(language),
      settings_(settings),
      folder_(std::move(helpFolder)),
      tables_(tables) {}

std::string CContextHelp::ControlHelpPath(int controlId) {
  std::string topic;
  table_.GetTopic(controlId, topic);
  const std::string& modelFile = tables_.helpFile;
  if (!modelFile.empty()) {
    const std::string missing = language_.Text("ERROR_MESSAGE70", settings_.languageNumber);
    // HELPFILE comes from a model file: only a plain name inside the help
    // folder is looked at; anything else is a file that is not there.
    if (!IsSafeLeafName(modelFile)) {
      messages_.Show(missing, MB_ERROR);
    } else if (HelpFileHasTopic(folder_ / modelFile, topic, messages_, missing)) {
      return HelpPath(folder_, modelFile, topic);
    }
  }
  return HelpPath(folder_, tables_.program.mainHelp, topic);
}

void CContextHelp::ShowControlHelp(int controlId) { viewer_.ShowHelp(ControlHelpPath(controlId)); }

void CContextHelp::ShowPage(const std::string& page) {
  viewer_.ShowHelp(HelpPath(folder_, tables_.program.mainHelp, page));
}

}  // namespace tolvane
