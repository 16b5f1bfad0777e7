// The software directory as the maker's server sends it: decoded, scanned
// for the newest installer, and the winning name checked as a file name.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/SoftwareDirectory.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  const std::string decoded = tolvane::net::DecodeDirectoryBody(body);
  const auto found = tolvane::net::ScanDirectory(decoded, "TolvaneSetup*.deb", 5, 0);
  if (found.outcome != 0) {
    // The winner is a line of the body and newer than the running version.
    if (decoded.find(found.fileName) == std::string::npos || found.newMajor < 5) {
      __builtin_trap();
    }
    if (tolvane::net::IsSafeInstallerName(found.fileName) &&
        (found.fileName.find('/') != std::string::npos || found.fileName.find("..") != std::string::npos)) {
      __builtin_trap();
    }
    (void)tolvane::net::IsOlderCopy("TolvaneSetupver1p0.deb", found.fileName);
  }
  int major = 0;
  int minor = 0;
  (void)tolvane::net::ReadInstallerVersion(body, major, minor);
  (void)tolvane::net::ReadVersionNumbers(body, 4);
  return 0;
}
