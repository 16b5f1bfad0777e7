// Tank geometry: how close the component's 16-bit strapping table comes to
// the closed-form volume of each shipped shape (three sizes each, every table
// point, largest error as a share of the full volume; goal at most 0.05 %),
// how long one calculation takes without its busy-window pause (goal under
// 1 ms), and a units change of six levels shown in volume units (goal under
// 5 ms).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>

#include "common/Clock.h"
#include "config/UnitsChange.h"
#include "defs/LanguageFile.h"
#include "geometry/NonLinearData.h"
#include "geometry/TankShapes.h"

namespace {

using namespace tolvane;
using namespace tolvane::geometry;

constexpr double kPi = std::numbers::pi;

class Quiet : public IMessageBox {
 public:
  int Show(const std::string& text, unsigned) override {
    std::fprintf(stderr, "message: %s\n", text.c_str());
    return RESULT_OK;
  }
};

struct Rig {
  CComponentLoader loader{TOLVANE_BENCH_COMPONENTS_DIR};
  CNoBusyWindows busy;
  Quiet messages;
  CLanguageFile language{std::filesystem::path(TOLVANE_SOURCE_DATA) / "Models", nullptr};
  RealClock clock;
  CALCULATE_CONTEXT Context() { return {loader, busy, messages, language, 0, clock, false}; }
};

// Closed-form volumes written out for the bench, in the units of `d` (factor 1).
double Segment(double r, double h) { return r * r * std::acos((r - h) / r) - (r - h) * std::sqrt(h * (2 * r - h)); }
double Cap(double r, double h) { return kPi * h * h * (3 * r - h) / 3; }
double Exact(std::uint8_t shape, const std::array<double, 9>& d, double h) {
  switch (shape) {
    case SHAPE_HORIZONTAL_FLAT:
      h = std::min(h, d[0]);
      return d[1] * Segment(d[0] / 2, h);
    case SHAPE_HORIZONTAL_DISHED:
      h = std::min(h, d[0]);
      return d[1] * Segment(d[0] / 2, h) + d[2] / (d[0] / 2) * Cap(d[0] / 2, h);
    case SHAPE_VERTICAL_CONE: {
      h = std::min(h, d[1]);
      const double R = d[0] / 2, r0 = d[3] / 2, c = d[2];
      const double hc = std::min(h, c), r = r0 + (R - r0) * hc / c;
      return kPi * hc * (r0 * r0 + r0 * r + r * r) / 3 + kPi * R * R * std::max(0.0, h - c);
    }
    case SHAPE_SPHERE:
      return Cap(d[0] / 2, std::min(h, d[0]));
    case SHAPE_RECTANGULAR_SLOPED: {
      h = std::min(h, d[2]);
      const double a = d[0] * d[1];
      return h <= d[3] ? a * h * h / (2 * d[3]) : a * d[3] / 2 + a * (h - d[3]);
    }
    default:
      return 0;
  }
}

void PrintAccuracy() {
  Rig rig;
  struct Case {
    std::uint8_t shape;
    std::array<double, 9> dims;
  };
  const Case cases[] = {
      {SHAPE_HORIZONTAL_FLAT, {300, 1000}},
      {SHAPE_HORIZONTAL_FLAT, {1500, 6000}},
      {SHAPE_HORIZONTAL_FLAT, {3000, 12000}},
      {SHAPE_HORIZONTAL_DISHED, {300, 1000, 50}},
      {SHAPE_HORIZONTAL_DISHED, {1500, 6000, 375}},
      {SHAPE_HORIZONTAL_DISHED, {3000, 12000, 1500}},
      {SHAPE_VERTICAL_CONE, {300, 600, 100, 20}},
      {SHAPE_VERTICAL_CONE, {1500, 3000, 800, 100}},
      {SHAPE_VERTICAL_CONE, {3000, 6000, 3000, 0}},
      {SHAPE_SPHERE, {300}},
      {SHAPE_SPHERE, {1500}},
      {SHAPE_SPHERE, {6000}},
      {SHAPE_RECTANGULAR_SLOPED, {500, 300, 400, 50}},
      {SHAPE_RECTANGULAR_SLOPED, {3000, 2000, 2000, 500}},
      {SHAPE_RECTANGULAR_SLOPED, {8000, 4000, 5000, 0}},
  };
  std::printf("%-34s %-26s %7s %12s\n", "shape", "dimensions (level units)", "points", "max error %");
  double worst = 0;
  for (const Case& c : cases) {
    CNonLinearData d;
    d.clsid = "3F6A2C81-7B4E-4D19-A5C3-91E08B7D2F40";
    d.iid = "3F6A2C81-7B4E-4D19-A5C3-91E08B7D2F41";
    d.selectionCode = c.shape;
    d.dimensionFactor = 1.0;
    d.dimensions = c.dims;
    if (d.Calculate(rig.Context()) != CALC_OK) {
      std::printf("calculation failed for shape %d\n", c.shape);
      continue;
    }
    const double full = Exact(c.shape, c.dims, 1e12);
    double err = 0;
    for (int i = 0; i < d.pointCount; ++i) {
      const double table = d.RawToVolume(d.table[static_cast<std::size_t>(i)], false);
      err = std::max(err, std::fabs(table - Exact(c.shape, c.dims, i * d.step)) / full);
    }
    worst = std::max(worst, err);
    char dims[64];
    std::snprintf(dims, sizeof dims, "%g,%g,%g,%g", c.dims[0], c.dims[1], c.dims[2], c.dims[3]);
    std::printf("%-34s %-26s %7d %12.5f\n", ShapeName(c.shape).c_str(), dims, d.pointCount, err * 100);
  }
  std::printf("largest error of any table point: %.5f %% of the full volume (goal: at most 0.05 %%)\n\n", worst * 100);
}

void BM_Calculate(benchmark::State& state) {
  Rig rig;
  CNonLinearData d;
  d.clsid = "3F6A2C81-7B4E-4D19-A5C3-91E08B7D2F40";
  d.iid = "3F6A2C81-7B4E-4D19-A5C3-91E08B7D2F41";
  d.selectionCode = SHAPE_HORIZONTAL_DISHED;
  d.dimensionFactor = 25.4;
  d.dimensions = {48, 120, 12, 6};
  for (auto _ : state) {
    benchmark::DoNotOptimize(d.Calculate(rig.Context()));
  }
}
BENCHMARK(BM_Calculate)->Unit(benchmark::kMicrosecond);

void BM_UnitsChangeSixVolumeLevels(benchmark::State& state) {
  Rig rig;
  CNonLinearData d;
  d.clsid = "3F6A2C81-7B4E-4D19-A5C3-91E08B7D2F40";
  d.iid = "3F6A2C81-7B4E-4D19-A5C3-91E08B7D2F41";
  d.selectionCode = SHAPE_HORIZONTAL_DISHED;
  d.dimensionFactor = 25.4;
  d.baseFactor = 25.4;
  d.dimensions = {48, 120, 12, 6};
  if (d.Calculate(rig.Context()) != CALC_OK) {
    state.SkipWithError("calculation failed");
    return;
  }
  auto model = std::make_unique<MODEL_DEFINITION>();
  model->unitsCount = model->unitConvCount = 1;
  model->unitNames[0] = "Millimeters";
  model->unitFactors[0] = 1.0;
  model->volumeUnitsCount = model->volumeConvCount = 2;
  model->volumeUnitNames = {"Gallons", "Liters"};
  model->volumeFactors = {231.0, 61.0237};
  model->configurationCount = 1;
  model->configurationLast = 0;
  model->configurations[0].present = true;
  model->configurations[0].number = 1;
  model->configurations[0].requiredOption.fill(-1);
  model->configurations[0].levelWord = {10, 11, 12, 13, 14, 15};
  CONFIG_RECORD record;
  record.configIndex = 0;
  record.level = {100, 200, 300, 400, 500, 600};
  CVolumeLevels volume(d, *model);
  int entry = 1;
  for (auto _ : state) {
    if (!config::ChangeUnits(*model, record, entry, &volume)) {
      state.SkipWithError("units change refused");
      return;
    }
    entry = entry == 1 ? 2 : entry == 2 ? 0 : 1;
  }
}
BENCHMARK(BM_UnitsChangeSixVolumeLevels)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  PrintAccuracy();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
