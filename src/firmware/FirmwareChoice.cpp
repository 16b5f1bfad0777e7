#include "firmware/FirmwareChoice.h"

#include <fmt/format.h>
#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>

#include "firmware/ProgramFiles.h"

namespace tolvane::firmware {

namespace {

// The program name of a file's first record, or "" when it has none.
std::string FirstProgramName(const std::filesystem::path& path) {
  std::string pid;
  return ReadFirstPid(path, pid) ? ProgramNameOf(pid) : std::string();
}

}  // namespace

std::vector<std::string> ListCompatibleFirmware(const CModelFile& models, const std::filesystem::path& modelFile,
                                                const std::filesystem::path& programsFolder) {
  std::vector<std::string> all;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(programsFolder, ec), end; !ec && it != end; it.increment(ec)) {
    all.push_back(it->path().filename().string());
  }
  std::sort(all.begin(), all.end());
  std::vector<std::string> names;
  for (const std::string& name : all) {
    const std::string program = FirstProgramName(programsFolder / name);
    if (!program.empty() && models.FindKeyValue(modelFile, "PROGRAMNAME", program, nullptr, true) == 1) {
      names.push_back(name);
    }
  }
  return names;
}

double CurrentVersion(std::uint32_t softwareRevision) {
  double v = softwareRevision;
  return v > 99 ? v / 10 : v;
}

FIRMWARE_OFFER DecideFirmwareOffer(std::uint32_t softwareRevision, const std::vector<std::string>& names) {
  FIRMWARE_OFFER offer;
  offer.currentVersion = CurrentVersion(softwareRevision);
  if (names.empty()) {
    offer.noFiles = true;
    return offer;
  }
  for (const std::string& name : names) {
    const std::string version = VersionText(name);
    if (version.find("old") != std::string::npos || version.size() >= 6) {
      continue;
    }
    const double number = VersionNumber(version);
    if (offer.newest.empty() || number > offer.newestVersion) {
      offer.newest = name;
      offer.newestVersion = number;
    }
  }
  const bool outdated = offer.currentVersion < 40;
  if ((!offer.newest.empty() && offer.newestVersion > offer.currentVersion) || outdated) {
    offer.ask = true;
    offer.question = outdated ? "STATUS_MESSAGE52" : "STATUS_MESSAGE51";
  }
  return offer;
}

std::string CurrentVersionText(std::uint32_t softwareRevision) {
  return fmt::format("{:2.1f}", softwareRevision / 10.0);
}

}  // namespace tolvane::firmware
