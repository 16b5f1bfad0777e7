// The firmware commands: flash runs the Updates page's programming run on the
// connected unit; firmware list, pack, check and image list the files that
// suit the unit, make combined files and the simulated unit's images, and
// look into a combined file.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>

#include "app/cli/CliCore.h"
#include "app/cli/Commands.h"
#include "app/cli/InterruptGate.h"
#include "common/CheckedFormat.h"
#include "common/FileSystem.h"
#include "firmware/Crc32.h"
#include "firmware/FirmwareChoice.h"
#include "firmware/ProgramFiles.h"
#include "firmware/ProgramRun.h"
#include "link/sim/SimSensor.h"

namespace tolvane::cli {
namespace {

using namespace tolvane::firmware;

// Progress on a terminal as a bar redrawn in place; otherwise one plain line
// per percent step. Log lines are printed as the run writes them.
class ConsoleRunEvents final : public IProgramEvents {
 public:
  explicit ConsoleRunEvents(CInterruptGate& gate) : gate_(gate), terminal_(::isatty(STDOUT_FILENO) == 1) {}
  void OnProgress(int perMille) override {
    const int percent = perMille / 10;
    if (percent == lastPercent_) {
      return;
    }
    lastPercent_ = percent;
    if (terminal_) {
      const int filled = percent / 2;
      std::printf("\r[%s%s] %3d%%", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                  std::string(static_cast<std::size_t>(50 - filled), ' ').c_str(), percent);
      barShown_ = true;
    } else {
      std::printf("%d%%\n", percent);
    }
    std::fflush(stdout);
  }
  void OnFinish(int result) override {
    EndBar();
    result_ = result;
  }
  bool OnSafePoint() override { return gate_.Pending(); }
  void OnLogLine(std::string_view tag, std::string_view text) override {
    EndBar();
    std::printf("%.*s: %.*s\n", static_cast<int>(tag.size()), tag.data(), static_cast<int>(text.size()), text.data());
    std::fflush(stdout);
  }
  int result() const { return result_; }

 private:
  void EndBar() {
    if (barShown_) {
      std::printf("\n");
      barShown_ = false;
      lastPercent_ = -1;
    }
  }
  CInterruptGate& gate_;
  bool terminal_;
  bool barShown_ = false;
  int lastPercent_ = -1;
  int result_ = 1;
};

std::filesystem::path ModelFilePath(const CProgramCore& core) {
  const std::filesystem::path own = core.folders.models / core.record.modelFileName;
  std::error_code ec;
  if (std::filesystem::exists(own, ec) || core.folders.installedModels.empty()) {
    return own;
  }
  return core.folders.installedModels / core.record.modelFileName;
}

int RunFlash(const std::string& file, const std::string& adapter) {
  CInterruptGate gate;
  if (const std::string key = CheckProgramPath(file); !key.empty()) {
    const char* why = key == "ERROR_MESSAGE75"    ? "no file name"
                      : key == "ERROR_MESSAGE102" ? "the file name is too short"
                                                  : "the file name must end in .fp2, .pkt or .fep (lower case)";
    std::fprintf(stderr, "error: %s: %s\n", file.c_str(), why);
    return 2;
  }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) {
    std::fprintf(stderr, "error: %s: no such program file\n", file.c_str());
    return 2;
  }
  CliCore cli;
  if (const int rc = cli.Start(); rc != 0) {
    return rc;
  }
  if (const int rc = cli.SelectAdapter(adapter); rc != 0) {
    return rc;
  }
  CProgramCore& core = cli.core();
  ConsoleRunEvents events(gate);
  CProgramTarget target;
  target.events = &events;
  target.filePath = std::filesystem::absolute(file).string();
  target.programsFolder = core.folders.programs;
  target.link = &core.link;
  target.log = &core.log;
  target.language = core.settings.languageNumber;
  target.catalogue = &core.language;
  target.messages = &core.services.messages;
  target.clock = &core.services.clock;
  std::filesystem::create_directories(target.programsFolder, ec);
  CProgramRunner runner(target);
  const int result = runner.Run();
  if (result == 0) {
    std::printf("Programming succeeded\n");
    return 0;
  }
  if (result == kRunStopped) {
    std::fprintf(stderr, "error: interrupted between two records; the unit needs programming again\n");
    return 130;
  }
  if (result < 0) {
    std::fprintf(stderr, "error: %s\n", Format(core.Text("ERROR_MESSAGE104"), result).c_str());
  }
  return 1;
}

int RunList(const std::string& adapter) {
  CliCore cli;
  if (const int rc = cli.StartWithUnit(adapter); rc != 0) {
    return rc;
  }
  CProgramCore& core = cli.core();
  std::vector<std::string> names = ListCompatibleFirmware(core.models, ModelFilePath(core), core.folders.programs);
  SortProgramNames(names);
  std::printf("Unit: %s, software revision %u (version %s), range %s\n", core.record.modelName.c_str(),
              core.record.softwareRevision, CurrentVersionText(core.record.softwareRevision).c_str(),
              core.tables.model.unitRange.c_str());
  for (const std::string& name : names) {
    std::printf("%s\t%s\n", name.c_str(), ProgramItemText(name).c_str());
  }
  const FIRMWARE_OFFER offer = DecideFirmwareOffer(core.record.softwareRevision, names);
  if (offer.noFiles) {
    std::printf("No firmware files found!\n");
  } else if (offer.ask) {
    std::printf("Offered: %s (%s)\n", (core.folders.programs / offer.newest).string().c_str(), offer.question);
  } else {
    std::printf("Offered: none\n");
  }
  return 0;
}

int RunPack(const std::string& out, const std::string& pid, const std::vector<std::string>& files) {
  if (pid.size() > kMaxPidBody) {
    std::fprintf(stderr, "error: the PID text is longer than %zu bytes\n", kMaxPidBody);
    return 2;
  }
  std::vector<PACK_PART> parts;
  for (const std::string& file : files) {
    const RunKind kind = RunKindOf(std::filesystem::path(file).filename().string());
    if (kind != RunKind::Encrypted && kind != RunKind::Packet) {
      std::fprintf(stderr, "error: %s is neither an encrypted image (.fep) nor a packet file (.pkt)\n", file.c_str());
      return 2;
    }
    std::string bytes;
    const ReadResult r = ReadFileBounded(file, kMaxProgramFile, bytes);
    if (r == ReadResult::TooLarge) {
      std::fprintf(stderr, "error: %s is longer than %zu bytes\n", file.c_str(), kMaxProgramFile);
      return 2;
    }
    if (r != ReadResult::Ok || bytes.empty()) {
      std::fprintf(stderr, "error: %s cannot be read or is empty\n", file.c_str());
      return 2;
    }
    parts.push_back(
        {kind == RunKind::Encrypted ? TAG_FEP : TAG_PKT, std::vector<std::uint8_t>(bytes.begin(), bytes.end())});
  }
  const std::vector<std::uint8_t> packed = PackCombined(pid, parts);
  if (!WriteFileReplacing(out, std::string_view(reinterpret_cast<const char*>(packed.data()), packed.size()))) {
    std::fprintf(stderr, "error: cannot write %s\n", out.c_str());
    return 1;
  }
  std::printf("%s: %zu bytes, %zu records\n", out.c_str(), packed.size(), parts.size() + 2);
  return 0;
}

int RunCheck(const std::string& file) {
  const VERIFY_RESULT v = VerifyCombinedFile(file);
  if (v.fault == VerifyFault::CannotOpen) {
    std::fprintf(stderr, "error: %s cannot be opened\n", file.c_str());
    return 2;
  }
  bool whole = false;
  const std::vector<COMBINED_RECORD> records = ListCombinedRecords(file, whole);
  std::string pid;
  ReadFirstPid(file, pid);
  for (std::size_t i = 0; i < records.size(); ++i) {
    const COMBINED_RECORD& r = records[i];
    std::printf("%-10s offset %8llu  length %10u  %s", TagName(r.tag).c_str(),
                static_cast<unsigned long long>(r.offset), r.length, r.covered ? "covered" : "not covered");
    if (i == 0 && r.tag == TAG_PID) {
      std::printf("  \"%s\" (program %s)", pid.c_str(), ProgramNameOf(pid).c_str());
    }
    std::printf("\n");
  }
  if (!whole) {
    std::printf("The file ends inside a record.\n");
  }
  switch (v.fault) {
    case VerifyFault::Ok:
      std::printf("CRC match! (0x%08X)\n", v.computed);
      return 0;
    case VerifyFault::CrcMismatch:
      std::printf("CRC mismatch! stored 0x%08X, computed 0x%08X: File is invalid! (%d)\n", v.stored, v.computed,
                  v.code);
      return 1;
    case VerifyFault::Truncated:
      std::printf("The file ends before its CRC record: File is invalid! (%d)\n", v.code);
      return 1;
    case VerifyFault::BadCrcLength:
      std::printf("The CRC record is not 4 bytes long: File is invalid! (%d)\n", v.code);
      return 1;
    case VerifyFault::UnknownTag:
      std::printf("A record before the CRC record has an unknown tag (%d)\n", v.code);
      return 1;
    case VerifyFault::CannotOpen:
      break;
  }
  return 2;
}

int RunImage(const std::string& out, const std::string& program, unsigned revision, std::size_t size, unsigned seed,
             const std::string& verifyPacket) {
  const auto image = link::sim::MakeSimImage(program, static_cast<std::uint16_t>(revision), size, seed);
  if (!WriteFileReplacing(out, std::string_view(reinterpret_cast<const char*>(image.data()), image.size()))) {
    std::fprintf(stderr, "error: cannot write %s\n", out.c_str());
    return 1;
  }
  if (!verifyPacket.empty()) {
    // A packet file of one frame: the CRC check (0x28) of the image and its length.
    std::vector<std::uint8_t> frame{0xA5, 9, link::CMD_VERIFY_CRC, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    PutLe32(frame.data() + 3, Crc32Of(image));
    PutLe32(frame.data() + 7, static_cast<std::uint32_t>(image.size()));
    frame[11] = link::ByteSum(std::span<const std::uint8_t>(frame).first(11));
    if (!WriteFileReplacing(verifyPacket,
                            std::string_view(reinterpret_cast<const char*>(frame.data()), frame.size()))) {
      std::fprintf(stderr, "error: cannot write %s\n", verifyPacket.c_str());
      return 1;
    }
  }
  std::printf("%s: %zu bytes, program %s, revision %u\n", out.c_str(), image.size(), program.c_str(), revision);
  return 0;
}

}  // namespace

CommandRunner AddFirmwareCommands(CLI::App& app) {
  struct Options {
    std::string file, adapter, out, pid, program, verifyPacket;
    std::vector<std::string> files;
    unsigned revision = 0;
    std::size_t size = 0;
    unsigned seed = 1;
  };
  auto o = std::make_shared<Options>();
  auto* flash = app.add_subcommand("flash", "Program a firmware file (.fp2, .pkt or .fep) into the connected unit");
  flash->add_option("FILE", o->file, "Program file")->required();
  flash->add_option("--adapter", o->adapter, "Adapter description (when there are several)");

  auto* firmware = app.add_subcommand("firmware", "Firmware files: list, pack, check, image");
  firmware->require_subcommand(1);
  auto* list = firmware->add_subcommand("list",
                                        "The program files that suit the connected unit, newest first, "
                                        "and the one the newer-firmware search offers");
  list->add_option("--adapter", o->adapter, "Adapter description (when there are several)");
  auto* pack = firmware->add_subcommand("pack", "Write a combined file: PID record, the files in order, CRC record");
  pack->add_option("OUT", o->out, "Combined file to write")->required();
  pack->add_option("--pid", o->pid, "Program identification text (at most 100 bytes)")->required();
  pack->add_option("FILE", o->files, "Encrypted images (.fep) and packet files (.pkt)")->required();
  auto* check = firmware->add_subcommand("check", "Verify a combined file's CRC and print its records");
  check->add_option("FILE", o->file, "Combined file")->required();
  auto* image = firmware->add_subcommand("image", "Write a program image for the simulated unit (tolvane-sim)");
  image->add_option("OUT", o->out, "Image file (.fep) to write")->required();
  image->add_option("--program", o->program, "Program name")->required();
  image->add_option("--revision", o->revision, "Software revision the image brings, e.g. 524")
      ->required()
      ->check(CLI::Range(0u, 65535u));
  image->add_option("--size", o->size, "Bytes, 28 to 131071")->required()->check(CLI::Range(28, 131071));
  image->add_option("--seed", o->seed, "Seed of the image's bytes");
  image->add_option("--verify-packet", o->verifyPacket, "Also write a packet file that checks the image's CRC");

  return [=]() -> std::optional<int> {
    if (flash->parsed()) {
      return RunFlash(o->file, o->adapter);
    }
    if (!firmware->parsed()) {
      return std::nullopt;
    }
    if (list->parsed()) {
      return RunList(o->adapter);
    }
    if (pack->parsed()) {
      return RunPack(o->out, o->pid, o->files);
    }
    if (check->parsed()) {
      return RunCheck(o->file);
    }
    return RunImage(o->out, o->program, o->revision, o->size, o->seed, o->verifyPacket);
  };
}

}  // namespace tolvane::cli
