// How fast the configuration form answers a choice: with a model of 1000
// configurations and 10 items of 100 options each, one choice in an item box
// runs the matching, the option offering for all ten boxes, the
// single-remaining-options rule and the completeness (goal: under 5 ms per
// choice).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>

#include "config/Selection.h"

namespace {

using namespace tolvane;
using namespace tolvane::config;

std::unique_ptr<MODEL_DEFINITION> LargeModel() {
  auto m = std::make_unique<MODEL_DEFINITION>();
  for (std::size_t i = 0; i < kMaxItems; ++i) {
    CONFIG_ITEM& item = m->items[i];
    item.present = true;
    item.wordIndex = static_cast<std::int32_t>(8 + i);
    item.label = "Item " + std::to_string(i + 1);
    item.optionCode[0] = -1;
    item.optionText[0] = "<Select>";
    for (std::size_t j = 1; j < kMaxOptions; ++j) {
      item.optionCode[j] = static_cast<std::int32_t>(j - 1);
      item.optionText[j] = "Option " + std::to_string(j);
    }
    item.optionCount = kMaxOptions;
    item.optionLast = kMaxOptions - 1;
  }
  m->itemCount = kMaxItems;
  m->itemLast = kMaxItems - 1;
  // Each configuration needs a fixed option of the first items and leaves
  // some of the later ones open (-1), so that the boxes keep offering many
  // options deep into the choice.
  std::mt19937 random(4711);
  std::uniform_int_distribution<std::int32_t> option(1, kMaxOptions - 1);
  for (std::size_t n = 0; n < kMaxConfigurations; ++n) {
    CONFIGURATION_ENTRY& c = m->configurations[n];
    c.present = true;
    c.number = static_cast<std::int32_t>(n + 1);
    for (std::size_t i = 0; i < kMaxItems; ++i) {
      c.requiredOption[i] = (i >= 6 && random() % 3 == 0) ? -1 : option(random);
    }
    c.levelWord = {20, 21, 22, 23, 24, 25};
  }
  m->configurationCount = kMaxConfigurations;
  m->configurationLast = kMaxConfigurations - 1;
  return m;
}

// One choice after another down the ten boxes, towards configuration `target`.
void BM_ChoiceInAnItemBox(benchmark::State& state) {
  const auto model = LargeModel();
  CONFIG_RECORD record;
  StartSelections(*model, record);
  std::size_t target = 0;
  int item = 0;
  std::int64_t choices = 0;
  for (auto _ : state) {
    const CONFIGURATION_ENTRY& c = model->configurations[target];
    const std::int32_t need = c.requiredOption[static_cast<std::size_t>(item)];
    CONFIG_STATUS status;
    const bool accepted = ChooseOption(*model, record, item, need == -1 ? 1 : need, &status);
    benchmark::DoNotOptimize(accepted);
    ++choices;
    if (++item == kMaxItems) {
      state.PauseTiming();
      if (!record.valid) {
        state.SkipWithError("the chosen options did not give a valid configuration");
        break;
      }
      ResetSelections(*model, record);
      target = (target + 337) % kMaxConfigurations;
      item = 0;
      state.ResumeTiming();
    }
  }
  // Time per choice (the goal: under 5 ms).
  state.counters["per_choice"] =
      benchmark::Counter(static_cast<double>(choices), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ChoiceInAnItemBox)->Unit(benchmark::kMillisecond);

// The option lists alone, with half of the items chosen.
void BM_OfferOptions(benchmark::State& state) {
  const auto model = LargeModel();
  Selections s{};
  for (std::size_t i = 0; i < 5; ++i) {
    s[i] = model->configurations[0].requiredOption[i];
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(OfferOptions(*model, s));
  }
}
BENCHMARK(BM_OfferOptions)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
