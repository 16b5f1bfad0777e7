#include "config/ui/FormRig.h"

#include <gtest/gtest.h>

namespace tolvane::test {

FormRig::FormRig(const std::string& key) {
  // The shipped data, with the protected models the build makes beside it.
  const std::filesystem::path data(TOLVANE_SOURCE_DATA);
  std::filesystem::copy(data / "Models", dir / "Models");
  std::filesystem::copy(std::filesystem::path(TOLVANE_PROTECTED_MODELS_DIR), dir / "Models",
                        std::filesystem::copy_options::overwrite_existing | std::filesystem::copy_options::recursive);
  std::filesystem::create_directories(dir / "Configs");
  std::error_code ec;
  std::filesystem::copy(data / "Configs", dir / "Configs", ec);
  folders.models = dir / "Models";
  folders.configs = dir / "Configs";
  folders.logs = dir.path();
  folders.program = data;
  folders.drawings = data / "Drawings";
  folders.help = data / "Help";
  folders.bitmaps = data / "Bitmaps";
  folders.settings = dir / "Settings";
  registry = std::make_unique<CUserRegistry>(folders.settings);
  registry->CreateKey({"Software", "Kestrine", "Tolvane", "01"});

  demonstration = key.empty();
  if (!demonstration) {
    link::sim::SimOptions options;
    options.identity = *link::sim::ShippedIdentity(key);
    sensor = std::make_shared<link::sim::CSimSensor>(options, clock.now());
    link::sim::SimAdapter adapter;
    adapter.peer = sensor;
    bridge.AddAdapter(std::move(adapter));
  }
  core = std::make_unique<CProgramCore>(
      folders, PROGRAM_SERVICES{messages, errors, busy, bridge, clock, *registry, [] { return std::tm{}; }});
  int code = 0;
  EXPECT_EQ(core->Start(code), CProgramCore::StartResult::Ok);
  core->link.SetSelectedDescription("Quenby USB Device");
  core->StartWorker();
  IDENTIFY_RESULT result;
  EXPECT_EQ(core->IdentifyUnit(demonstration, nullptr, result), 1);
}

FormRig::~FormRig() {
  form.reset();
  core->StopWorker();
}

CGenericForm& FormRig::Form(bool start) {
  form = std::make_unique<CGenericForm>(
      GENERIC_FORM_SERVICES{*core, demonstration, help, opener, upload, files, nullptr, &notice}, nullptr);
  form->resize(1100, 640);
  if (start) {
    EXPECT_TRUE(form->Start());
  }
  return *form;
}

}  // namespace tolvane::test
