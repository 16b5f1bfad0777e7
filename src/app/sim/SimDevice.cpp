#include "app/sim/SimDevice.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace tolvane::simapp {

namespace fs = std::filesystem;

namespace {

void WriteAttribute(const fs::path& file, const std::string& value) {
  std::ofstream out(file, std::ios::trunc);
  out << value << '\n';
  if (!out) {
    throw std::runtime_error("cannot write " + file.string());
  }
}

fs::path UsbDeviceDir(const fs::path& root, const std::string& name) {
  return root / "sys/devices/tolvane-sim" / ("usb-" + name);
}

}  // namespace

CPseudoTerminal::CPseudoTerminal() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    Close();
    throw std::runtime_error("no pseudo-terminal available");
  }
  const char* name = ::ptsname(master_);
  if (name == nullptr) {
    Close();
    throw std::runtime_error("no pseudo-terminal name");
  }
  slavePath_ = name;
  slave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios tio{};
  if (slave_ < 0 || ::tcgetattr(slave_, &tio) != 0) {
    Close();
    throw std::runtime_error("cannot open " + slavePath_);
  }
  // Raw from the start: no echo of the host's bytes back to the sensor.
  ::cfmakeraw(&tio);
  ::tcsetattr(slave_, TCSANOW, &tio);
  const int flags = ::fcntl(master_, F_GETFL);
  ::fcntl(master_, F_SETFL, flags | O_NONBLOCK);
}

CPseudoTerminal::~CPseudoTerminal() { Close(); }

void CPseudoTerminal::Close() {
  if (slave_ >= 0) {
    ::close(slave_);
    slave_ = -1;
  }
  if (master_ >= 0) {
    ::close(master_);
    master_ = -1;
  }
}

std::string FreeTtyName(const fs::path& root) {
  for (int n = 0;; ++n) {
    const std::string name = "ttySIM" + std::to_string(n);
    std::error_code ec;
    if (!fs::exists(root / "sys/class/tty" / name, ec) && !fs::is_symlink(root / "dev" / name, ec)) {
      return name;
    }
  }
}

CAdapterEntry::CAdapterEntry(fs::path root, std::string name, const UsbAttributes& usb,
                             const std::string& slavePath)
    : root_(std::move(root)), name_(std::move(name)) {
  const fs::path usbDir = UsbDeviceDir(root_, name_);
  const fs::path port = usbDir / ("usb-" + name_ + ":1.0") / name_;
  fs::create_directories(port);
  WriteAttribute(usbDir / "idVendor", usb.vendorId);
  WriteAttribute(usbDir / "idProduct", usb.productId);
  WriteAttribute(usbDir / "product", usb.product);
  WriteAttribute(usbDir / "serial", usb.serial);
  const fs::path classDir = root_ / "sys/class/tty" / name_;
  fs::create_directories(classDir);
  fs::create_directories(root_ / "dev");
  present_ = true;
  fs::create_directory_symlink(fs::path("../../../devices/tolvane-sim") / ("usb-" + name_) /
                                   ("usb-" + name_ + ":1.0") / name_,
                               classDir / "device");
  fs::create_symlink(slavePath, root_ / "dev" / name_);
}

CAdapterEntry::~CAdapterEntry() { Remove(); }

void CAdapterEntry::Remove() {
  if (!present_) {
    return;
  }
  present_ = false;
  std::error_code ec;
  fs::remove(root_ / "dev" / name_, ec);
  fs::remove_all(root_ / "sys/class/tty" / name_, ec);
  fs::remove_all(UsbDeviceDir(root_, name_), ec);
}

}  // namespace tolvane::simapp
