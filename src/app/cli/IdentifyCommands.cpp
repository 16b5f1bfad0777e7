// Commands that identify the connected unit and show its memory.
#include <cstdio>
#include <memory>
#include <set>
#include <string>

#include "app/cli/CliCore.h"
#include "app/cli/Commands.h"
#include "link/PageText.h"

namespace tolvane::cli {
namespace {

std::string JsonText(const std::string& s) {
  std::string out = "\"";
  for (const char c : s) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          out += Format("\\u%04x", static_cast<unsigned>(c));
        } else {
          out.push_back(c);
        }
    }
  }
  return out + "\"";
}

int RunIdentify(const std::string& adapter, bool json, bool demonstration, bool verbose) {
  CliCore cli(verbose);
  if (const int rc = cli.Start(); rc != 0) {
    return rc;
  }
  if (!demonstration) {
    if (const int rc = cli.SelectAdapter(adapter); rc != 0) {
      return rc;
    }
  }
  CProgramCore& core = cli.core();
  IDENTIFY_RESULT result;
  const int loaded = core.IdentifyUnit(demonstration, nullptr, result);
  if (loaded == 0 && !result.modelMissing) {
    return 1;  // the read error has been printed
  }
  const CONFIG_RECORD& r = core.record;
  const std::string revision = Format("%04X", r.softwareRevision);
  if (json) {
    std::printf(
        "{\"serial\": %d, \"firmwareName\": %s, \"softwareRevision\": %s, \"hardwareSerial\": %d, "
        "\"hardwareModel\": %s, \"modelFile\": %s, \"unitDescription\": %s}\n",
        r.factorySerial, JsonText(r.firmwareName).c_str(), JsonText(revision).c_str(), r.serialNumber,
        JsonText(r.modelName).c_str(), JsonText(loaded ? r.modelFileName : "").c_str(),
        JsonText(loaded ? r.unitDescription : "").c_str());
  } else {
    std::printf("Serial number:     %d\n", r.factorySerial);
    std::printf("Firmware name:     %s\n", r.firmwareName.c_str());
    std::printf("Software revision: %s\n", revision.c_str());
    std::printf("Hardware serial:   %d\n", r.serialNumber);
    std::printf("Hardware model:    %s\n", r.modelName.c_str());
    std::printf("Model file:        %s\n", loaded ? r.modelFileName.c_str() : "(none)");
    std::printf("Unit description:  %s\n", loaded ? r.unitDescription.c_str() : "");
  }
  if (result.modelMissing) {
    std::fprintf(stderr, "error: %s%s\n", core.Text("ERROR_MESSAGE117").c_str(),
                 Format(core.Text("ERROR_MESSAGE119"), result.hardwareType, result.modelName).c_str());
    return 3;
  }
  return 0;
}

int RunDump(const std::string& adapter, const std::string& page, bool hex) {
  static const std::set<std::string> kPages{"customer", "factory", "history", "ocm", "info"};
  if (kPages.count(page) == 0) {
    std::fprintf(stderr, "error: unknown page \"%s\" (customer, factory, history, ocm or info)\n", page.c_str());
    return 2;
  }
  if (page != "info") {
    return RunPages(adapter, page, hex);
  }
  CliCore cli;
  if (int rc = cli.Start(); rc != 0 || (rc = cli.SelectAdapter(adapter)) != 0) {
    return rc;
  }
  link::CUnitMemory& memory = cli.core().memory;
  if (const int rc = memory.ReadInfoMemory(memory.Info()); rc != 0) {
    std::fprintf(stderr, "error: Error reading info memory (%d)\n", rc);
    return 1;
  }
  PrintViewerText(hex ? link::FormatPageHex(memory.Info()) : link::FormatPageWords(memory.Info()));
  return 0;
}

}  // namespace

CommandRunner AddIdentifyCommands(CLI::App& app) {
  struct Options {
    std::string adapter;
    bool json = false;
    bool demo = false;
    bool verbose = false;
    std::string page;
    bool hex = false;
  };
  auto o = std::make_shared<Options>();
  auto* identify = app.add_subcommand("identify", "Connect, read the unit's memory and identify it and its model");
  identify->add_option("--adapter", o->adapter, "Adapter description (when there are several)");
  identify->add_flag("--json", o->json, "Print the identity as JSON");
  identify->add_flag("--demo", o->demo, "Identify the demonstration unit (no adapter needed)");
  identify->add_flag("-v,--verbose", o->verbose, "Print each step");

  auto* dump = app.add_subcommand("dump", "Print a memory page of the unit");
  dump->add_option("page", o->page, "customer, factory, history, ocm or info")->required();
  dump->add_flag("--hex", o->hex, "Hex dump instead of words");
  dump->add_option("--adapter", o->adapter, "Adapter description (when there are several)");

  return [identify, dump, o]() -> std::optional<int> {
    if (identify->parsed()) {
      return RunIdentify(o->adapter, o->json, o->demo, o->verbose);
    }
    if (dump->parsed()) {
      return RunDump(o->adapter, o->page, o->hex);
    }
    return std::nullopt;
  };
}

}  // namespace tolvane::cli
