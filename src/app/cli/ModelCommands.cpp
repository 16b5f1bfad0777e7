// tolvane-cli model ...: inspect model files (plain or protected), find the
// model the catalogue picks for a unit, and protect or unprotect model files.
#include <cstdio>
#include <memory>
#include <string>

#include "app/cli/CliCommon.h"
#include "app/cli/Commands.h"
#include "common/FileSystem.h"
#include "defs/FileCipher.h"
#include "defs/ModelFile.h"

namespace tolvane::cli {
namespace {

// The model parser with tables of its own, as the program owns them.
struct ModelSession {
  // `installed`: the installed models under `folder` (the program's models folder).
  explicit ModelSession(const std::filesystem::path& folder, const std::filesystem::path& installed = {})
      : tables(std::make_unique<MODEL_TABLES>()),
        language(ProgramFolders().models, nullptr, ProgramFolders().installedModels),
        parser(folder, *tables, settings, language, record, nullptr, nullptr, installed) {
    parser.ResetModel();
  }
  std::unique_ptr<MODEL_TABLES> tables;
  APP_SETTINGS settings;
  CLanguageFile language;
  CONFIG_RECORD record;
  CModelFile parser;
};

void Line(const char* name, const std::string& value) {
  if (!value.empty()) {
    std::printf("  %-20s %s\n", name, value.c_str());
  }
}

void PrintProgram(const MODEL_TABLES& t, const APP_SETTINGS& s) {
  const PROGRAM_INFO& p = t.program;
  if (p.programId.empty() && p.programName.empty() && p.modelId.empty() && s.languageFile.empty()) {
    return;
  }
  std::printf("Program\n");
  Line("PROGRAMID", p.programId);
  Line("PROGRAMNAME", p.programName);
  Line("MODELID", p.modelId);
  Line("INSTALLERID", p.installerId);
  Line("CORPORATEID", p.corporateId);
  Line("MAINHELP", p.mainHelp);
  Line("SERVER", p.server);
  Line("SUBDIR", p.subDir);
  Line("LANGUAGE_FILE", s.languageFile);
  std::printf("  %-20s %d\n", "LANGUAGE_NUMBER", s.languageNumber);
  std::printf("  %-20s %s\n", "REGISTRY_FILE", s.registryFile.empty() ? "(settings store)" : s.registryFile.c_str());
}

void PrintItems(const MODEL_DEFINITION& m) {
  if (m.itemCount == 0) {
    return;
  }
  std::printf("Items (%d)\n", m.itemCount);
  for (std::size_t i = 0; i < m.items.size(); ++i) {
    const CONFIG_ITEM& item = m.items[i];
    if (!item.present) {
      continue;
    }
    std::printf("  %zu. %s  (word %d)\n", i + 1, item.label.c_str(), item.wordIndex);
    for (int j = 1; j < item.optionCount && j < kMaxOptions; ++j) {
      const auto s = static_cast<std::size_t>(j);
      std::printf("       %2d  code %-5d %s\n", j, item.optionCode[s], item.optionText[s].c_str());
    }
  }
}

void PrintConfigurations(const MODEL_DEFINITION& m) {
  if (m.configurationCount == 0) {
    return;
  }
  std::printf("Configurations (%d)\n", m.configurationCount);
  for (int n = 0; n <= m.configurationLast && n < kMaxConfigurations; ++n) {
    const CONFIGURATION_ENTRY& c = m.configurations[static_cast<std::size_t>(n)];
    if (!c.present) {
      continue;
    }
    std::string options;
    for (std::size_t i = 0; i < kMaxItems; ++i) {
      if (m.items[i].present) {
        options += (options.empty() ? "" : " ") +
                   (c.requiredOption[i] < 0 ? std::string("*") : std::to_string(c.requiredOption[i]));
      }
    }
    std::string levels;
    for (std::size_t k = 0; k < kLevelRows; ++k) {
      if (c.levelWord[k] > 0) {
        levels += (levels.empty() ? "" : ", ") + c.levelLabel[k] + " @" + std::to_string(c.levelWord[k]);
      }
    }
    std::printf("  #%-4d [%s]  %s  image %d  %s\n", c.number, options.c_str(), levels.c_str(), c.imageNumber,
                c.drawingFile.c_str());
  }
}

void PrintDefinition(const MODEL_TABLES& t, const CONFIG_RECORD& r) {
  const MODEL_DEFINITION& m = t.model;
  if (m.unitTypeCount > 0 || !r.modelFileRevision.empty()) {
    std::printf("Model\n");
    Line("REVISION", r.modelFileRevision);
    for (int i = 0; i < m.unitTypeCount; ++i) {
      Line("UNITTYPE", m.unitTypes[static_cast<std::size_t>(i)]);
    }
    Line("HELPFILE", t.helpFile);
    Line("DEFAULTFILE", m.defaultFile);
    Line("UNITRANGE", m.unitRange);
    if (m.maxSensorHeight > 0.0) {
      std::printf("  %-20s %g\n  %-20s %g\n", "MAXSENSORHEIGHT", m.maxSensorHeight, "MINRANGE", m.minRange);
    }
  }
  PrintItems(m);
  PrintConfigurations(m);
  if (m.unitsCount > 0) {
    std::printf("Units (%d)\n", m.unitsCount);
    for (int u = 0; u <= m.unitsLast && u < kMaxUnits; ++u) {
      const auto s = static_cast<std::size_t>(u);
      std::printf("  %-14s %g counts\n", m.unitNames[s].c_str(), m.unitFactors[s]);
    }
  }
  if (m.fixedWriteCount > 0) {
    std::printf("Fixed words (%d)\n", m.fixedWriteCount);
    for (int i = 0; i < m.fixedWriteCount; ++i) {
      const FIXED_WRITE& d = m.fixedWrites[static_cast<std::size_t>(i)];
      std::printf("  word %-4d = %d\n", d.word, d.value);
    }
  }
  if (m.advancedInputCount > 0) {
    std::printf("Advanced entries (%d)\n", m.advancedInputCount);
    for (int i = 0; i <= m.advancedLast && i < kMaxAdvanced; ++i) {
      const ADVANCED_ENTRY& a = m.advanced[static_cast<std::size_t>(i)];
      if (a.label.empty()) {
        continue;
      }
      std::printf("  %-34s flag %d.%d  ", a.label.c_str(), a.flagWord, a.flagBit);
      if (a.valueWord < 0) {
        std::printf("on/off\n");
      } else {
        std::printf("value word %d  kind %d %s\n", a.valueWord, a.kind, a.secondText.c_str());
      }
    }
  }
  const IMAGE_SET& img = t.images;
  if (!img.logoImage.empty() || img.tankImageCount > 0 || !img.overlayImage.empty()) {
    std::printf("Pictures\n");
    Line("LOGOIMAGE", img.logoImage);
    for (int i = 0; i < img.tankImageCount && i < kMaxTankImages; ++i) {
      Line("TANKIMAGE", img.tankImages[static_cast<std::size_t>(i)]);
    }
    Line("IMAGE", img.overlayImage);
    for (int i = 0; i <= img.overlayLast && i < kMaxOverlays; ++i) {
      const auto s = static_cast<std::size_t>(i);
      std::printf("  %-20s %d,%d %s\n", "OVERLAY", img.overlayPosition[s].x, img.overlayPosition[s].y,
                  img.overlayText[s].c_str());
    }
  }
  if (m.nonLinearCount > 0 || !m.clsid.empty() || m.structureTypeCount > 0) {
    std::printf("Non-linear\n");
    Line("NLBUTTON", m.nonLinearButton);
    for (int i = 0; i < m.nonLinearCount && i < kMaxNonLinearFiles; ++i) {
      Line("NONLINEAR", m.nonLinearFiles[static_cast<std::size_t>(i)]);
    }
    Line("CLSID", m.clsid);
    Line("IID", m.iid);
    for (int i = 0; i < m.structureTypeCount && i < kMaxStructureTypes; ++i) {
      std::printf("  %-20s %d\n", "NLTYPE", m.structureTypes[static_cast<std::size_t>(i)]);
    }
    for (int i = 0; i < m.definedTypeCount && i < kMaxStructureTypes; ++i) {
      const auto s = static_cast<std::size_t>(i);
      std::printf("  %-20s %d (selection code %d)\n", "NLTYPEID", m.definedTypes[s], m.selectIds[s]);
    }
    for (int i = 0; i < m.volumeUnitsCount && i < kMaxUnits; ++i) {
      const auto s = static_cast<std::size_t>(i);
      std::printf("  %-20s %s %g\n", "NLUNITS", m.volumeUnitNames[s].c_str(), m.volumeFactors[s]);
    }
  }
  const STRUCTURE_PAGE& p = t.structurePage;
  if (p.pictureCount > 0) {
    std::printf("Structure page \"%s\"\n", p.tabTitle.c_str());
    for (int i = 0; i < p.pictureCount; ++i) {
      const auto s = static_cast<std::size_t>(i);
      std::printf("  %-30s %s\n", p.pictureCaptions[s].c_str(), p.pictureFiles[s].c_str());
    }
  }
  const DIMENSION_LAYOUT& d = t.dimensions;
  if (d.windowCount > 0) {
    std::printf("Dimension form \"%s\" (%s)\n", d.title.c_str(), d.mainImage.c_str());
    for (std::size_t i = 0; i < d.windowLabel.size(); ++i) {
      if (!d.windowLabel[i].empty()) {
        std::printf("  D[%zu] %-30s at %d,%d\n", i, d.windowLabel[i].c_str(), d.windowPosition[i].x,
                    d.windowPosition[i].y);
      }
    }
    for (int i = 0; i < d.dimUnitCount && i < kMaxUnits; ++i) {
      const auto s = static_cast<std::size_t>(i);
      std::printf("  %-20s %s %g\n", "DIMUNITS", d.dimUnitNames[s].c_str(), d.dimFactors[s]);
    }
  }
}

int ShowModel(const std::string& file) {
  const std::filesystem::path path(file);
  ModelSession session(path.parent_path());
  session.language.Load(LanguageFileName());
  if (session.parser.LoadModel(path, 0) != 1) {
    std::fprintf(stderr, "error: no model file %s\n", file.c_str());
    return 1;
  }
  PrintProgram(*session.tables, session.settings);
  PrintDefinition(*session.tables, session.record);
  const PARSE_STATS& s = session.parser.LastParseStats();
  std::printf("Lines: %d entries, %d applied, %d ignored, %d unknown\n", s.entries, s.applied, s.ignored, s.unknown);
  return 0;
}

int FindModel(const std::string& hardwareModel, const std::string& firmwareName) {
  ModelSession session(ProgramFolders().models, ProgramFolders().installedModels);
  if (session.parser.LoadCorporateModel() != 1) {
    std::fprintf(stderr, "error: Corporate model file not found in %s\n", ProgramFolders().models.c_str());
    return 2;
  }
  session.language.Load(session.settings.languageFile.empty() ? LanguageFileName() : session.settings.languageFile);
  session.record.modelName = hardwareModel;
  session.record.firmwareName = firmwareName;
  if (session.parser.LoadUnitModel() != 1) {
    std::fprintf(stderr, "error: no model file lists %s and %s\n", CModelFile::HardwareType(hardwareModel).c_str(),
                 firmwareName.c_str());
    return 1;
  }
  std::printf("%s\n%s\n", session.record.modelFileName.c_str(), session.record.unitDescription.c_str());
  return 0;
}

int Encrypt(const std::string& in, const std::string& out) {
  std::string plain;
  if (ReadFileBounded(in, kMaxProtectedFileBytes, plain) != ReadResult::Ok) {
    std::fprintf(stderr, "error: cannot read %s\n", in.c_str());
    return 1;
  }
  if (!WriteFileReplacing(out, EncipherBytes(plain, ModelFileKey()))) {
    std::fprintf(stderr, "error: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}

int Decrypt(const std::string& in, const std::string& out) {
  std::string plain;
  if (!DecipherFileToMemory(in, ModelFileKey(), plain)) {
    std::fprintf(stderr, "error: cannot read %s\n", in.c_str());
    return 1;
  }
  // The zero bytes that filled the last block are no part of the text.
  while (!plain.empty() && plain.back() == '\0') {
    plain.pop_back();
  }
  if (!WriteFileReplacing(out, plain)) {
    std::fprintf(stderr, "error: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

CommandRunner AddModelCommands(CLI::App& app) {
  struct Options {
    std::string file, hardware, firmware, in, out;
  };
  auto opts = std::make_shared<Options>();
  auto* model = app.add_subcommand("model", "Inspect, find and protect model files");
  model->require_subcommand(1);
  auto* show = model->add_subcommand("show", "Print the tables of a model file (plain or protected)");
  show->add_option("file", opts->file, "The model file")->required();
  auto* find = model->add_subcommand("find", "The model file the catalogue picks for a unit");
  find->add_option("hwmodel", opts->hardware, "Hardware model of the unit, e.g. QR27-4W")->required();
  find->add_option("firmwarename", opts->firmware, "Firmware name of the unit, e.g. QR27-LVL")->required();
  auto* encrypt = model->add_subcommand("encrypt", "Make a protected model file (.fmf) from a plain one");
  encrypt->add_option("in", opts->in, "Plain model file")->required();
  encrypt->add_option("out", opts->out, "Protected file to write")->required();
  auto* decrypt = model->add_subcommand("decrypt", "Write the plain text of a protected model file");
  decrypt->add_option("in", opts->in, "Protected model file")->required();
  decrypt->add_option("out", opts->out, "Plain file to write")->required();

  return [=]() -> std::optional<int> {
    if (show->parsed()) {
      return ShowModel(opts->file);
    }
    if (find->parsed()) {
      return FindModel(opts->hardware, opts->firmware);
    }
    if (encrypt->parsed()) {
      return Encrypt(opts->in, opts->out);
    }
    if (decrypt->parsed()) {
      return Decrypt(opts->in, opts->out);
    }
    return std::nullopt;
  };
}

}  // namespace tolvane::cli
