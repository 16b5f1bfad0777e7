// How fast model files are read: a model whose CONFIG lines expand to the full
// thousand configurations (goal: under 20 ms), and the catalogue's search for
// a unit over a folder of 50 model files, half of them protected (goal: under
// 200 ms).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "BenchSupport.h"
#include "common/FileSystem.h"
#include "defs/FileCipher.h"
#include "defs/ModelFile.h"

namespace {

namespace fs = std::filesystem;

// A model with ten items and CONFIG lines that expand to 1000 configurations.
std::string FullModel(const std::string& unitType) {
  std::string t = "' benchmark model\nREVISION = 1.00\n";
  t += "UNITTYPE[1] = " + unitType + "\nUNITTYPE[2] = " + unitType + "-LVL\nUNITDESCRIPTION[2] = Bench unit\n";
  for (int i = 1; i <= 10; ++i) {
    t += "CFGLABEL[" + std::to_string(i) + "] = " + std::to_string(7 + i) + "|Item " + std::to_string(i) + "\n";
    for (int j = 1; j <= 5; ++j) {
      t += "CFGITEM[" + std::to_string(i) + "][" + std::to_string(j) + "] = " + std::to_string(j - 1) + "|Option " +
           std::to_string(j) + "\n";
    }
  }
  // 5 x 5 x 5 x 2 = 250 per line, four lines: 1000.
  for (int n = 1; n <= 4; ++n) {
    t += "CONFIG = " + std::to_string(n) + "|" + std::to_string(n) +
         "|1:5|1:5|1:5|1,2|-1|-1|-1|-1|-1|20|Lo Span|21|Lo Alarm|22|Pump Off|23|Pump On|24|Hi Alarm|25|Hi Span|0|"
         "W.pdf\n";
  }
  t += "UNITS[1] = Inches\nUNITCONV[1] = 25.4\nUNITS[2] = Meters\nUNITCONV[2] = 1000\n";
  for (int r = 1; r <= 20; ++r) {
    t += "ADVINPUT[" + std::to_string(r) + "] = 30|" + std::to_string(r % 16 + 1) + "|Entry|" + std::to_string(40 + r) +
         "|1|s\nADVTEXT[" + std::to_string(r) + "] = Help text of the entry.\n";
  }
  return t;
}

struct Session {
  explicit Session(const fs::path& folder)
      : tables(std::make_unique<tolvane::MODEL_TABLES>()),
        language(folder, nullptr),
        parser(folder, *tables, settings, language, record) {}
  std::unique_ptr<tolvane::MODEL_TABLES> tables;
  tolvane::APP_SETTINGS settings;
  tolvane::CLanguageFile language;
  tolvane::CONFIG_RECORD record;
  tolvane::CModelFile parser;
};

using tolvane::bench::Folder;

void BM_ParseThousandConfigurations(benchmark::State& state) {
  Folder folder;
  tolvane::WriteFileReplacing(folder.path() / "QRModel_Full.txt", FullModel("QRB"));
  Session s(folder.path());
  for (auto _ : state) {
    s.parser.ResetModel();
    s.parser.ParseModelFile(folder.path() / "QRModel_Full.txt");
    if (s.tables->model.configurationCount != 1000) {
      state.SkipWithError("the model did not expand to 1000 configurations");
      break;
    }
  }
  state.counters["configurations"] = s.tables->model.configurationCount;
}
BENCHMARK(BM_ParseThousandConfigurations)->Unit(benchmark::kMillisecond);

void BM_FindUnitModelAmongFifty(benchmark::State& state) {
  Folder folder;
  tolvane::WriteFileReplacing(folder.path() / "Corporate_Model", "MODELID = QRModel_\n");
  for (int i = 0; i < 50; ++i) {
    const std::string type = "QRB" + std::to_string(i);
    const std::string text = FullModel(type);
    if (i % 2 == 0) {
      tolvane::WriteFileReplacing(folder.path() / ("QRModel_" + type + ".txt"), text);
    } else {
      tolvane::WriteFileReplacing(folder.path() / ("QRModel_" + type + ".fmf"),
                                  tolvane::EncipherBytes(text, tolvane::ModelFileKey()));
    }
  }
  Session s(folder.path());
  s.parser.LoadCorporateModel();
  // A unit whose model is protected, so the search reads every plain file first.
  s.record.modelName = "QRB49-4W";
  s.record.firmwareName = "QRB49-LVL";
  for (auto _ : state) {
    if (s.parser.LoadUnitModel() != 1) {
      state.SkipWithError("the unit's model was not found");
      break;
    }
  }
}
BENCHMARK(BM_FindUnitModelAmongFifty)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
