#include "shell/ProgramCore.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "common/CheckedFormat.h"
#include "common/FileSystem.h"

namespace tolvane {
namespace {

// Leading decimal number of a text, as "%d" reads it; 0 when there is none.
int LeadingInt(std::string_view text, std::size_t& pos) {
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) {
    ++pos;
  }
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data() + pos, text.data() + text.size(), value);
  if (ec != std::errc()) {
    return 0;
  }
  pos = static_cast<std::size_t>(end - text.data());
  return value;
}

// The leading decimal digits of a text (blanks before them skipped), as an
// unsigned 32-bit number; 0 when there are none, the largest when too many.
std::uint32_t DecimalRevision(std::string_view text) {
  std::size_t pos = text.find_first_not_of(" \t");
  std::uint64_t value = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    value = std::min<std::uint64_t>(value * 10 + static_cast<std::uint64_t>(text[pos] - '0'), 0xFFFFFFFFu);
  }
  return static_cast<std::uint32_t>(value);
}

}  // namespace

std::string FormatTitle(const std::string& programId, const std::string& version) {
  int numbers[3] = {0, 0, 0};
  std::size_t pos = 0;
  for (int i = 0; i < 3; ++i) {
    const std::size_t before = pos;
    numbers[i] = LeadingInt(version, pos);
    // Like a scan, the first number that cannot be read ends the reading.
    if (pos == before || pos >= version.size() || version[pos] != '.') {
      break;
    }
    ++pos;
  }
  return Format("%s %d.%d.%d", programId, numbers[0], numbers[1], numbers[2]);
}

CProgramCore::CProgramCore(FOLDERS f, PROGRAM_SERVICES s)
    : folders(std::move(f)),
      services(std::move(s)),
      log(folders.logs, services.now),
      language(folders.models, &services.messages, folders.installedModels),
      models(folders.models, tables, settings, language, record, services.help, &services.busy,
             folders.installedModels, &services.messages),
      store(
          services.registry, tables.program.corporateId, tables.program.programName, settings, folders.models,
          [this](const std::filesystem::path& file, APP_SETTINGS&) { return models.ParseModelFile(file) == 0; },
          &services.messages),
      link(services.bridge, services.clock),
      memory(link, language, settings, services.errors, services.messages) {}

CProgramCore::~CProgramCore() { StopWorker(); }

CProgramCore::StartResult CProgramCore::Start(int& settingsCode) {
  settingsCode = 0;
  log.Open();
  if (models.LoadCorporateModel() != 1) {
    return StartResult::NoCorporateModel;
  }
  language.Load(settings.languageFile);
  if (store.LoadAll(&settingsCode)) {
    return StartResult::SettingsFailed;
  }
  log.Write("TOLVANE", "Version %s Started", settings.version);
  return StartResult::Ok;
}

void CProgramCore::StartWorker() {
  if (!worker_.joinable()) {
    link.QuitEvent().Reset();
    link.QuitDoneEvent().Reset();
    worker_ = std::thread([this] { link.RunWorker(); });
  }
}

void CProgramCore::StopWorker() {
  if (worker_.joinable()) {
    link.QuitEvent().Set();
    link.QuitDoneEvent().WaitFor(services.clock, std::chrono::milliseconds(1000));
    worker_.join();
  }
}

std::string CProgramCore::Title() const { return FormatTitle(tables.program.programId, settings.version); }

void CProgramCore::Progress(IStartView* view, int progress) {
  services.busy.SetProgress(progress);
  if (view != nullptr) {
    view->SetProgress(progress);
  }
}

void CProgramCore::Step(IStartView* view, const char* key, int progress) {
  const std::string text = Text(key);
  services.busy.SetMessage(text);
  if (view != nullptr) {
    view->SetStatus(text);
  }
  if (progress >= 0) {
    Progress(view, progress);
  }
}

int CProgramCore::IdentifyUnit(bool demonstration, IStartView* view, IDENTIFY_RESULT& result) {
  result = IDENTIFY_RESULT{};
  Step(view, "BUSY_MESSAGE1", 20);
  record.advanced = {};

  auto readError = [this](const char* key, int code) {
    services.messages.Show(Format(Text(key), code), MB_INFO);
    return 0;
  };

  if (demonstration) {
    Step(view, "BUSY_MESSAGE6", -1);
    record.factorySerial = static_cast<std::int32_t>(std::strtol(settings.demoSerial.c_str(), nullptr, 10));
    record.serialNumber = record.factorySerial;
    record.firmwareName = settings.demoModel;
    record.modelName = settings.demoModel;
    // A decimal number, as the serial is ("0120" is 120, shown as 12.0).
    record.softwareRevision = DecimalRevision(settings.demoSoftwareRevision);
    for (auto& page : memory.Pages()) {
      page.fill(0);
    }
  } else {
    Step(view, "BUSY_MESSAGE2", -1);
    struct Bar : link::IProgressBar {
      explicit Bar(IStartView* v) : view(v) {}
      void SetProgress(int percent) override {
        if (view != nullptr) {
          view->SetProgress(percent);
        }
      }
      IStartView* view;
    } bar(view);
    if (const int c = memory.ReadPages(-1, memory.Pages(), &services.busy, 30, 40, 50, &bar); c != 0) {
      return readError("ERROR_MESSAGE1", c);
    }
    Step(view, "BUSY_MESSAGE3", -1);
    if (const int c = link::ParseFactoryIdentity(memory.Page(link::PAGE_FACTORY), record.factorySerial,
                                                 record.firmwareName, record.softwareRevision);
        c != 0) {
      return readError("ERROR_MESSAGE2", c);
    }
    Progress(view, 55);
    Step(view, "BUSY_MESSAGE4", -1);
    if (const int c = memory.ReadInfoMemory(memory.Info()); c != 0) {
      return readError("ERROR_MESSAGE3", c);
    }
    Progress(view, 60);
    Step(view, "BUSY_MESSAGE5", -1);
    record.modelName = "Not Assigned";
    if (const int c = link::ParseInfoIdentity(memory.Info(), record.serialNumber, record.modelName); c != 0) {
      return readError("ERROR_MESSAGE4", c);
    }
  }

  Step(view, "BUSY_MESSAGE7", 65);
  Step(view, "BUSY_MESSAGE8", 70);
  if (services.help != nullptr) {
    services.help->ResetDefaults();
  }
  Progress(view, 80);
  if (models.LoadUnitModel() != 1) {
    result.modelMissing = true;
    result.hardwareType = CModelFile::HardwareType(record.modelName);
    result.modelName = record.firmwareName;
    return 0;
  }
  return 1;
}

}  // namespace tolvane
