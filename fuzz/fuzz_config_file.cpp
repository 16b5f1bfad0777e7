// Arbitrary bytes as a configuration file, read with a shipped model (QR27)
// the way Open reads it. Whatever the bytes, the record must hold only what
// a form and the Customer page can take: finite heights, levels, advanced
// values and dimensions, selections within their items, units within the
// units box. Writing the result and reading it back must not fail either,
// and a second round must give the same text.
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "common/Messages.h"
#include "config/ConfigFile.h"
#include "config/Selection.h"
#include "defs/ModelFile.h"

namespace {

void Check(bool ok) {
  if (!ok) {
    std::abort();
  }
}

class Silent : public tolvane::IMessageBox {
 public:
  int Show(const std::string&, unsigned) override { return tolvane::RESULT_OK; }
};

struct Shipped {
  std::unique_ptr<tolvane::MODEL_TABLES> tables = std::make_unique<tolvane::MODEL_TABLES>();
  tolvane::APP_SETTINGS settings;
  tolvane::CLanguageFile language{std::filesystem::path(TOLVANE_SOURCE_DATA) / "Models", nullptr};
  tolvane::CONFIG_RECORD start;  // the form before a file is opened

  Shipped() {
    const std::filesystem::path models = std::filesystem::path(TOLVANE_SOURCE_DATA) / "Models";
    language.Load("Tolvane_Language.txt");
    start.firmwareName = "QR27-LVL";
    start.modelName = "QR27-4W";
    tolvane::CModelFile parser(models, *tables, settings, language, start);
    parser.ResetModel();
    Check(parser.ParseModelFile(models / "QRModel_QR27.txt") == 0);
    tolvane::config::StartSelections(tables->model, start);
  }
};

void CheckSane(const tolvane::MODEL_DEFINITION& m, const tolvane::CONFIG_RECORD& r,
               const tolvane::config::CONFIG_NONLINEAR& nl) {
  Check(std::isfinite(r.sensorHeight) && std::isfinite(r.fillHeight));
  for (const double v : r.level) {
    Check(std::isfinite(v));
  }
  for (const auto& a : r.advanced) {
    Check(std::isfinite(a.value));
  }
  for (const float d : nl.page.dimensions) {
    Check(std::isfinite(d));
  }
  for (int i = 0; i < tolvane::kMaxItems; ++i) {
    const auto& item = m.items[static_cast<std::size_t>(i)];
    const std::int32_t s = r.selection[static_cast<std::size_t>(i)];
    Check(!item.present || (s >= 0 && s < tolvane::config::OptionSlots(item)));
  }
  Check(r.unitsIndex >= 0 && r.unitsIndex < (r.volumeUnits ? m.volumeUnitsCount : m.unitsCount));
  Check(nl.structureType >= -32768 && nl.structureType <= 32767);
  Check(!r.valid || tolvane::config::ConfigurationAt(m, r.configIndex) != nullptr);
}

// A folder of this process for the files, in memory where there is a tmpfs
// (the writer syncs every file it writes); removed at exit.
struct WorkFolder {
  std::string path = (std::filesystem::is_directory("/dev/shm") ? std::string("/dev/shm") : std::string("/tmp")) +
                     "/tolvane-fuzz-config-" + std::to_string(::getpid());
  WorkFolder() {
    std::filesystem::create_directories(path);
    Check(std::filesystem::is_directory(path));
  }
  ~WorkFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Shipped shipped;
  static const WorkFolder work;
  const std::string& dir = work.path;
  const std::string path = dir + "/in.txt";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    return 0;
  }
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  const tolvane::MODEL_DEFINITION& model = shipped.tables->model;
  Silent box;
  tolvane::CONFIG_RECORD r = shipped.start;
  tolvane::config::CONFIG_NONLINEAR nl;
  const int rc = tolvane::config::ReadConfigFile(path, model, r, nl, box, shipped.language, 0);
  Check(rc == 0 || rc == 2);
  CheckSane(model, r, nl);

  // What was read is written and read back; after one round the text stays
  // the same (the first round may settle text the writer puts on one line).
  tolvane::CONFIG_RECORD once = r;
  tolvane::config::CONFIG_NONLINEAR onceNl;
  Check(tolvane::config::WriteConfigFile(dir + "/out.txt", model, r, nl));
  Check(tolvane::config::ReadConfigFile(dir + "/out.txt", model, once, onceNl, box, shipped.language, 0) == 0);
  CheckSane(model, once, onceNl);
  const std::string text = tolvane::config::ConfigFileText(model, once, onceNl);
  tolvane::CONFIG_RECORD twice = once;
  tolvane::config::CONFIG_NONLINEAR twiceNl;
  Check(tolvane::config::WriteConfigFile(dir + "/out.txt", model, once, onceNl));
  Check(tolvane::config::ReadConfigFile(dir + "/out.txt", model, twice, twiceNl, box, shipped.language, 0) == 0);
  Check(tolvane::config::ConfigFileText(model, twice, twiceNl) == text);
  return 0;
}
