// The simulated sensor's presence on this machine: a pseudo-terminal for its
// serial line, and a sysfs-like entry with the adapter's USB attributes plus a
// device node below a device root, as the tty bridge expects to find them.
#pragma once

#include <filesystem>
#include <string>

namespace tolvane::simapp {

struct UsbAttributes {
  std::string vendorId = "10c4";
  std::string productId = "807f";
  std::string product = "Quenby USB Device";
  std::string serial = "SIM0001";
};

class CPseudoTerminal {
 public:
  CPseudoTerminal();  // throws std::runtime_error when no pty can be had
  ~CPseudoTerminal();
  CPseudoTerminal(const CPseudoTerminal&) = delete;
  CPseudoTerminal& operator=(const CPseudoTerminal&) = delete;
  int master() const { return master_; }
  const std::string& slavePath() const { return slavePath_; }
  void Close();

 private:
  int master_ = -1;
  int slave_ = -1;  // held open so the master never sees a hang-up between hosts
  std::string slavePath_;
};

// The adapter's entries below the device root; removed on destruction.
class CAdapterEntry {
 public:
  CAdapterEntry(std::filesystem::path root, std::string name, const UsbAttributes& usb,
                const std::string& slavePath);
  ~CAdapterEntry();
  CAdapterEntry(const CAdapterEntry&) = delete;
  CAdapterEntry& operator=(const CAdapterEntry&) = delete;
  const std::string& name() const { return name_; }
  std::filesystem::path node() const { return root_ / "dev" / name_; }
  void Remove();

 private:
  std::filesystem::path root_;
  std::string name_;
  bool present_ = false;
};

// The first free name ttySIM<n> below the root.
std::string FreeTtyName(const std::filesystem::path& root);

}  // namespace tolvane::simapp
