// How fast the configuration form answers a choice in an item box, with its
// windows (offscreen): a model of 1000 configurations and 10 items of 100
// options each; one close-up runs the check of the chosen entry, the
// matching, the refill of all ten boxes, the level rows, the tank picture
// and the button states (goal: under 30 ms).
#include <QApplication>
#include <QComboBox>

#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <cstdio>
#include <memory>
#include <random>

#include "config/Selection.h"
#include "config/ui/GenericForm.h"
#include "link/sim/SimBridge.h"
#include "shell/ui/DialogSupport.h"

namespace {

using namespace tolvane;

void LargeModel(MODEL_DEFINITION& m) {
  for (std::size_t i = 0; i < kMaxItems; ++i) {
    CONFIG_ITEM& item = m.items[i];
    item.present = true;
    item.wordIndex = static_cast<std::int32_t>(8 + i);
    item.label = "Item " + std::to_string(i + 1);
    item.optionCode[0] = -1;
    for (std::size_t j = 1; j < kMaxOptions; ++j) {
      item.optionCode[j] = static_cast<std::int32_t>(j - 1);
      item.optionText[j] = "Option " + std::to_string(j);
    }
    item.optionCount = kMaxOptions;
    item.optionLast = kMaxOptions - 1;
  }
  m.itemCount = kMaxItems;
  m.itemLast = kMaxItems - 1;
  std::mt19937 random(4711);
  std::uniform_int_distribution<std::int32_t> option(1, kMaxOptions - 1);
  for (std::size_t n = 0; n < kMaxConfigurations; ++n) {
    CONFIGURATION_ENTRY& c = m.configurations[n];
    c.present = true;
    c.number = static_cast<std::int32_t>(n + 1);
    for (std::size_t i = 0; i < kMaxItems; ++i) {
      c.requiredOption[i] = (i >= 6 && random() % 3 == 0) ? -1 : option(random);
    }
    c.levelWord = {20, 21, 22, 23, 24, 25};
    c.levelLabel = {"Lo Span", "Lo Alarm", "Pump Off", "Pump On", "Hi Alarm", "Hi Span"};
  }
  m.configurationCount = kMaxConfigurations;
  m.configurationLast = kMaxConfigurations - 1;
}

// The program's core on the demonstration unit, with the shipped data and
// dialogs that answer nothing.
struct DemoProgram {
  class Quiet : public IMessageBox,
                public IErrorDetail,
                public IBusyWindow,
                public IContextHelp,
                public IDocumentOpener,
                public IConfigFileDialogs,
                public IOptionsPrompt {
   public:
    int Show(const std::string&, unsigned) override { return RESULT_NO; }
    void Show(const std::string&, const std::string&) override {}
    void SetMessage(const std::string&) override {}
    void SetProgress(int) override {}
    void ShowControlHelp(int) override {}
    void ShowPage(const std::string&) override {}
    bool Open(const std::filesystem::path&) override { return true; }
    std::filesystem::path ChooseFile(const std::filesystem::path&, const std::string&) override { return {}; }
    bool ConfirmName(std::string&) override { return false; }
    void Print(const std::filesystem::path&) override {}
    int Show(const std::string&, bool, bool&) override { return RESULT_OK; }
  };

  DemoProgram() {
    char pattern[] = "/tmp/tolvane-bench-XXXXXX";
    dir = mkdtemp(pattern);
    const std::filesystem::path data(TOLVANE_SOURCE_DATA);
    folders.models = data / "Models";
    folders.configs = dir / "Configs";
    folders.logs = dir;
    folders.program = dir;
    folders.bitmaps = data / "Bitmaps";
    folders.settings = dir / "Settings";
    registry = std::make_unique<CUserRegistry>(folders.settings);
    registry->CreateKey({"Software", "Kestrine", "Tolvane", "01"});
    core = std::make_unique<CProgramCore>(
        folders, PROGRAM_SERVICES{quiet, quiet, quiet, bridge, clock, *registry, [] { return std::tm{}; }});
    int code = 0;
    core->Start(code);
    IDENTIFY_RESULT result;
    core->IdentifyUnit(true, nullptr, result);
  }
  ~DemoProgram() {
    core.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  std::filesystem::path dir;
  FOLDERS folders;
  SimulatedClock clock;
  link::sim::CSimBridge bridge{clock};
  std::unique_ptr<CUserRegistry> registry;
  Quiet quiet;
  config::CNoUpload upload;
  std::unique_ptr<CProgramCore> core;
};

void BM_CloseUpOfAnItemBox(benchmark::State& state) {
  DemoProgram program;
  LargeModel(program.core->tables.model);
  CGenericForm form(GENERIC_FORM_SERVICES{*program.core, true, program.quiet, program.quiet, program.upload,
                                          program.quiet, nullptr, &program.quiet},
                    nullptr);
  form.resize(1100, 640);
  form.Start();
  // Towards one configuration: each choice takes the option it needs.
  const CONFIGURATION_ENTRY& target = program.core->tables.model.configurations[417];
  int item = 0;
  for (auto _ : state) {
    state.PauseTiming();
    if (item == 0) {
      form.OnClearScreen();
    }
    auto* box = FindControlAs<QComboBox>(&form, CGenericForm::kItemBoxes[static_cast<std::size_t>(item)]);
    const std::int32_t wanted = std::max(1, target.requiredOption[static_cast<std::size_t>(item)]);
    const auto& entries = form.Entries(item);
    const auto at = std::find(entries.begin(), entries.end(), wanted);
    state.ResumeTiming();
    form.OnItemDropDown(item);
    box->setCurrentIndex(at == entries.end() ? 0 : static_cast<int>(at - entries.begin()));
    form.OnItemCloseUp(item);
    item = (item + 1) % kMaxItems;
  }
}
BENCHMARK(BM_CloseUpOfAnItemBox)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
