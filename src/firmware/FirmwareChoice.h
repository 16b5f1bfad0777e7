// Which program files suit the connected unit, and whether a newer one is to
// be offered: the decisions of Select Program and of the newer-firmware
// search, shared by the Updates page and the command-line program.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "defs/ModelFile.h"

namespace tolvane::firmware {

// The file names of the program files folder whose first record is a "PID"
// naming one of the model file's PROGRAMNAME entries, in name order. Files
// that cannot be read, are shorter than a record header or whose PID body is
// cut are skipped; they do not end the listing. A protected model file is
// deciphered in memory by the model reader.
std::vector<std::string> ListCompatibleFirmware(const CModelFile& models, const std::filesystem::path& modelFile,
                                                const std::filesystem::path& programsFolder);

// The current version a revision stands for: above 99 it counts tenths.
double CurrentVersion(std::uint32_t softwareRevision);

struct FIRMWARE_OFFER {
  bool noFiles = false;       // "No firmware files found!"
  bool ask = false;           // ask the user
  const char* question = "";  // STATUS_MESSAGE51 or STATUS_MESSAGE52
  std::string newest;         // name of the newest file the search takes ("" when none)
  double newestVersion = 0.0;
  double currentVersion = 0.0;
};

// The search: skips names whose version text holds "old" or has 6 or more
// characters, keeps the largest version (the first of equal ones), and asks
// when it is newer than the unit's or the unit's is below 40.
FIRMWARE_OFFER DecideFirmwareOffer(std::uint32_t softwareRevision, const std::vector<std::string>& names);

// "%2.1f" of the revision divided by 10, as Select Program shows it.
std::string CurrentVersionText(std::uint32_t softwareRevision);

}  // namespace tolvane::firmware
