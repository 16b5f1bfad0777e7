#include "app/cli/CliCore.h"

#include <cstdio>

namespace tolvane::cli {
namespace {

void SayNoCorporateModel(const FOLDERS& folders) {
  if (folders.installedModels.empty()) {
    std::fprintf(stderr, "error: Corporate model file not found in %s\n", folders.models.c_str());
  } else {
    std::fprintf(stderr, "error: Corporate model file not found in %s nor in %s\n", folders.models.c_str(),
                 folders.installedModels.c_str());
  }
}

}  // namespace

void CConsoleErrors::Show(const std::string& message, const std::string& detail) {
  std::fprintf(stderr, "error: %s\n", message.c_str());
  if (!detail.empty()) {
    std::fprintf(stderr, "       %s\n", detail.c_str());
  }
}

void CConsoleBusy::SetMessage(const std::string& text) {
  if (verbose_ && !text.empty()) {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
}

CliCore::CliCore(bool verbose, int answer)
    : bridge_(link::DeviceRootFromEnvironment()),
      messages_(answer),
      busy_(verbose),
      folders_(ProgramFolders()),
      registry_(folders_.settings) {
  core_ = std::make_unique<CProgramCore>(
      folders_, PROGRAM_SERVICES{messages_, errors_, busy_, bridge_, clock_, registry_, SystemLocalTime()});
}

CliCore::~CliCore() {
  core_->link.CloseLink();
  core_->StopWorker();
}

int CliCore::LoadCorporateModel() {
  if (core_->models.LoadCorporateModel() != 1) {
    SayNoCorporateModel(folders_);
    return 2;
  }
  return 0;
}

int CliCore::Start() {
  int code = 0;
  switch (core_->Start(code)) {
    case CProgramCore::StartResult::NoCorporateModel:
      SayNoCorporateModel(folders_);
      return 2;
    case CProgramCore::StartResult::SettingsFailed:
      errors_.Show(Format(core_->Text("ERROR_MESSAGE16"), code), core_->Text("ERROR_MESSAGE17"));
      return 2;
    case CProgramCore::StartResult::Ok:
      break;
  }
  core_->StartWorker();
  return 0;
}

int CliCore::StartWithUnit(const std::string& adapter) {
  if (const int rc = Start(); rc != 0) {
    return rc;
  }
  if (const int rc = SelectAdapter(adapter); rc != 0) {
    return rc;
  }
  IDENTIFY_RESULT result;
  if (core_->IdentifyUnit(false, nullptr, result) != 1) {
    if (result.modelMissing) {
      std::fprintf(stderr, "error: %s%s\n", core_->Text("ERROR_MESSAGE117").c_str(),
                   Format(core_->Text("ERROR_MESSAGE119"), result.hardwareType, result.modelName).c_str());
      return 3;
    }
    return 1;  // the read error has been printed
  }
  return 0;
}

int DecodeUnit(CProgramCore& core, CONFIG_RECORD& record, config::NONLINEAR_PAGE& nl, config::CONFIG_STATUS& status,
               const config::IVolumeLevels* volume) {
  const MODEL_DEFINITION& model = core.tables.model;
  config::StartSelections(model, record);
  const int decoded = config::DecodeFromPage(model, record, nl, core.memory.Page(link::PAGE_CUSTOMER), volume);
  status = config::EvaluateConfiguration(model, record, false);
  config::UpdateCompleteness(model, record);
  return decoded;
}

int SelectAdapter(link::CUsbLink& link, const std::string& wanted) {
  std::vector<std::string> found;
  const int n = link.FindAdapters(found, link::kAdapterVendorId, link::kAdapterProductId);
  if (n < 0) {
    std::fprintf(stderr, "error: USB serial adapters cannot be found on this system (no %s)\n",
                 (link::DeviceRootFromEnvironment() / "sys/class/tty").c_str());
    return 2;
  }
  if (n == 0) {
    std::fprintf(stderr, "error: no sensor adapter found\n");
    return 1;
  }
  if (!wanted.empty()) {
    for (const auto& d : found) {
      if (d == wanted) {
        link.SetSelectedDescription(d);
        return 0;
      }
    }
    std::fprintf(stderr, "error: no adapter with the description \"%s\"\n", wanted.c_str());
    return 1;
  }
  if (n > 1) {
    std::fprintf(stderr, "error: %d adapters found; choose one with --adapter:\n", n);
    for (const auto& d : found) {
      std::fprintf(stderr, "  %s\n", d.c_str());
    }
    return 1;
  }
  link.SetSelectedDescription(found.front());
  return 0;
}

}  // namespace tolvane::cli
