#include "link/TtyBridge.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "common/FileSystem.h"

namespace tolvane::link {

namespace fs = std::filesystem;

namespace {

// The first line of a sysfs attribute; false when it cannot be read. Only a
// regular file is read (sysfs gives every attribute a size of one page), so
// that a pipe below a device root from the environment is not waited on.
bool ReadAttribute(const fs::path& file, std::string& value) {
  constexpr std::size_t kAttributePage = 4096;
  std::string bytes;
  if (ReadFileBounded(file, kAttributePage, bytes) != ReadResult::Ok) {
    return false;
  }
  // Attributes are short; take no more than a line of 255 bytes.
  std::string line = bytes.substr(0, std::min(bytes.find('\n'), std::size_t{255}));
  while (!line.empty() && (line.back() == '\0' || line.back() == '\n' || line.back() == '\r')) {
    line.pop_back();
  }
  value = line;
  return true;
}

speed_t SpeedOf(std::uint32_t baud, bool& ok) {
  ok = true;
  switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: ok = false; return B9600;
  }
}

bool ModemLineIgnorable(int err) { return err == ENOTTY || err == EINVAL; }

}  // namespace

fs::path DeviceRootFromEnvironment() {
  const char* root = std::getenv("TOLVANE_DEVICE_ROOT");
  return (root != nullptr && *root != '\0') ? fs::path(root) : fs::path("/");
}

std::vector<TtyAdapter> ListTtyAdapters(const fs::path& root) {
  std::vector<TtyAdapter> found;
  std::error_code ec;
  const fs::path classDir = root / "sys/class/tty";
  for (fs::directory_iterator it(classDir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const fs::path device = it->path() / "device";
    std::error_code ec2;
    if (!fs::exists(device, ec2)) {
      continue;
    }
    fs::path dir = fs::canonical(device, ec2);
    if (ec2) {
      continue;
    }
    // Walk up from the serial port to the USB device that carries the ids.
    for (int level = 0; level < 4 && !dir.empty(); ++level) {
      TtyAdapter a;
      if (ReadAttribute(dir / "idVendor", a.vendorId) && ReadAttribute(dir / "idProduct", a.productId)) {
        a.name = name;
        a.hasProduct = ReadAttribute(dir / "product", a.product);
        a.hasSerial = ReadAttribute(dir / "serial", a.serial);
        a.node = root / "dev" / name;
        found.push_back(std::move(a));
        break;
      }
      if (dir == dir.parent_path()) {
        break;
      }
      dir = dir.parent_path();
    }
  }
  std::sort(found.begin(), found.end(), [](const TtyAdapter& a, const TtyAdapter& b) { return a.name < b.name; });
  return found;
}

TtyBridge::TtyBridge(fs::path root) : root_(std::move(root)) {}

TtyBridge::~TtyBridge() {
  std::lock_guard lock(mutex_);
  for (const BridgeHandle fd : open_) {
    ::close(fd);
  }
}

bool TtyBridge::Available() const {
  std::error_code ec;
  return fs::is_directory(root_ / "sys/class/tty", ec);
}

int TtyBridge::GetDeviceCount(std::uint32_t& count) {
  if (!Available()) {
    return kBridgeSystemError;
  }
  auto list = ListTtyAdapters(root_);
  std::lock_guard lock(mutex_);
  adapters_ = std::move(list);
  count = static_cast<std::uint32_t>(adapters_.size());
  return kBridgeOk;
}

int TtyBridge::GetProductString(std::uint32_t index, std::string& text, int option) {
  std::lock_guard lock(mutex_);
  if (index >= adapters_.size()) {
    return kBridgeDeviceNotFound;
  }
  const TtyAdapter& a = adapters_[index];
  switch (option) {
    case kProductVendorId: text = a.vendorId; return kBridgeOk;
    case kProductProductId: text = a.productId; return kBridgeOk;
    case kProductDescription:
      if (!a.hasProduct) {
        return kBridgeDeviceNotFound;
      }
      text = a.product;
      return kBridgeOk;
    case kProductSerial:
      if (!a.hasSerial) {
        return kBridgeDeviceNotFound;
      }
      text = a.serial;
      return kBridgeOk;
    default: return kBridgeInvalidParameter;
  }
}

int TtyBridge::Open(std::uint32_t index, BridgeHandle& handle) {
  fs::path node;
  {
    std::lock_guard lock(mutex_);
    if (index >= adapters_.size()) {
      return kBridgeDeviceNotFound;
    }
    node = adapters_[index].node;
  }
  const int fd = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return kBridgeDeviceNotFound;
  }
  termios tio{};
  if (!::isatty(fd) || ::tcgetattr(fd, &tio) != 0) {
    ::close(fd);
    return kBridgeDeviceNotFound;
  }
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
  // With VMIN 0 an empty read would look like end of file; reads stay
  // non-blocking and waits go through poll().
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  ::cfsetispeed(&tio, B9600);
  ::cfsetospeed(&tio, B9600);
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
    ::close(fd);
    return kBridgeDeviceNotFound;
  }
  std::lock_guard lock(mutex_);
  open_.push_back(fd);
  handle = fd;
  return kBridgeOk;
}

bool TtyBridge::Known(BridgeHandle handle) const {
  std::lock_guard lock(mutex_);
  return std::find(open_.begin(), open_.end(), handle) != open_.end();
}

int TtyBridge::Close(BridgeHandle handle) {
  std::lock_guard lock(mutex_);
  const auto it = std::find(open_.begin(), open_.end(), handle);
  if (it == open_.end()) {
    return kBridgeInvalidHandle;
  }
  open_.erase(it);
  ::close(handle);
  return kBridgeOk;
}

int TtyBridge::Read(BridgeHandle handle, std::uint8_t* buffer, std::size_t count, std::size_t& read) {
  read = 0;
  if (!Known(handle)) {
    return kBridgeInvalidHandle;
  }
  if (count == 0) {
    return kBridgeOk;
  }
  pollfd p{handle, POLLIN, 0};
  int ready = 0;
  do {
    ready = ::poll(&p, 1, readTimeoutMs_.load());
  } while (ready < 0 && errno == EINTR);
  if (ready < 0) {
    return kBridgeReadError;
  }
  if (ready == 0) {
    return kBridgeOk;  // read time-out: nothing arrived
  }
  const ssize_t n = ::read(handle, buffer, count);
  const int err = errno;
  if (n > 0) {
    read = static_cast<std::size_t>(n);
    return kBridgeOk;
  }
  if (n < 0 && (err == EAGAIN || err == EINTR)) {
    return kBridgeOk;
  }
  // End of file or EIO on a tty: the adapter went away.
  return (p.revents & (POLLHUP | POLLERR)) != 0 || n == 0 || err == EIO ? kBridgeDeviceGone : kBridgeReadError;
}

int TtyBridge::Write(BridgeHandle handle, const std::uint8_t* buffer, std::size_t count, std::size_t& written) {
  written = 0;
  if (!Known(handle)) {
    return kBridgeInvalidHandle;
  }
  while (written < count) {
    const ssize_t n = ::write(handle, buffer + written, count - written);
    if (n > 0) {
      written += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0 && errno == EAGAIN) {
      pollfd p{handle, POLLOUT, 0};
      const int ready = ::poll(&p, 1, writeTimeoutMs_.load());
      if (ready > 0 && (p.revents & POLLOUT) != 0) {
        continue;
      }
      if (ready > 0 && (p.revents & (POLLHUP | POLLERR)) != 0) {
        return kBridgeDeviceGone;
      }
      return kBridgeOk;  // write time-out: the caller sees the short count
    }
    return errno == EIO || errno == ENXIO ? kBridgeDeviceGone : kBridgeWriteError;
  }
  return kBridgeOk;
}

int TtyBridge::CheckRxQueue(BridgeHandle handle, std::uint32_t& bytesWaiting, std::uint32_t& queueStatus) {
  bytesWaiting = 0;
  queueStatus = 0;
  if (!Known(handle)) {
    return kBridgeInvalidHandle;
  }
  int n = 0;
  if (::ioctl(handle, FIONREAD, &n) != 0) {
    return errno == EIO ? kBridgeDeviceGone : kBridgeReadError;
  }
  if (n <= 0) {
    pollfd p{handle, POLLIN, 0};
    if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
      return kBridgeDeviceGone;
    }
    return kBridgeOk;
  }
  bytesWaiting = static_cast<std::uint32_t>(n);
  queueStatus = kQueueReady;
  return kBridgeOk;
}

int TtyBridge::FlushBuffers(BridgeHandle handle, bool transmit, bool receive) {
  if (!Known(handle)) {
    return kBridgeInvalidHandle;
  }
  const int which = transmit && receive ? TCIOFLUSH : transmit ? TCOFLUSH : TCIFLUSH;
  if ((transmit || receive) && ::tcflush(handle, which) != 0) {
    return kBridgeSystemError;
  }
  return kBridgeOk;
}

int TtyBridge::SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) {
  readTimeoutMs_.store(static_cast<int>(std::min<std::uint32_t>(readMs, 60000)));
  writeTimeoutMs_.store(static_cast<int>(std::min<std::uint32_t>(writeMs, 60000)));
  return kBridgeOk;
}

int TtyBridge::SetBaudRate(BridgeHandle handle, std::uint32_t baud) {
  if (!Known(handle)) {
    return kBridgeInvalidHandle;
  }
  bool ok = false;
  const speed_t speed = SpeedOf(baud, ok);
  termios tio{};
  if (!ok || ::tcgetattr(handle, &tio) != 0) {
    return kBridgeInvalidParameter;
  }
  ::cfsetispeed(&tio, speed);
  ::cfsetospeed(&tio, speed);
  return ::tcsetattr(handle, TCSANOW, &tio) == 0 ? kBridgeOk : kBridgeSystemError;
}

int TtyBridge::SetLineControl(BridgeHandle handle, std::uint16_t lineControl) {
  if (!Known(handle)) {
    return kBridgeInvalidHandle;
  }
  const unsigned bits = (lineControl >> 8) & 0xFFu;
  const unsigned parity = (lineControl >> 4) & 0x0Fu;
  const unsigned stop = lineControl & 0x0Fu;
  termios tio{};
  if (bits < 5 || bits > 8 || parity > 2 || (stop != 0 && stop != 2) || ::tcgetattr(handle, &tio) != 0) {
    return kBridgeInvalidParameter;
  }
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
  tio.c_cflag |= bits == 5 ? CS5 : bits == 6 ? CS6 : bits == 7 ? CS7 : CS8;
  if (parity == 1) {
    tio.c_cflag |= PARENB | PARODD;
  } else if (parity == 2) {
    tio.c_cflag |= PARENB;
  }
  if (stop == 2) {
    tio.c_cflag |= CSTOPB;
  }
  return ::tcsetattr(handle, TCSANOW, &tio) == 0 ? kBridgeOk : kBridgeSystemError;
}

int TtyBridge::SetFlowControl(BridgeHandle handle, std::uint8_t ctsMask, std::uint8_t rtsMask, std::uint8_t dtrMask,
                              std::uint8_t /*dsrMask*/, std::uint8_t /*dcdMask*/, bool xonXoff) {
  if (!Known(handle)) {
    return kBridgeInvalidHandle;
  }
  termios tio{};
  if (::tcgetattr(handle, &tio) != 0) {
    return kBridgeSystemError;
  }
  if (ctsMask == 1) {
    tio.c_cflag |= CRTSCTS;
  } else {
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
  }
  if (xonXoff) {
    tio.c_iflag |= IXON | IXOFF;
  } else {
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  }
  if (::tcsetattr(handle, TCSANOW, &tio) != 0) {
    return kBridgeSystemError;
  }
  // Output lines: 1 holds the line active, 0 inactive. A pseudo-terminal has no
  // modem lines and answers ENOTTY; that is not a failure.
  int set = 0;
  int clear = 0;
  (rtsMask == 1 ? set : clear) |= TIOCM_RTS;
  (dtrMask == 1 ? set : clear) |= TIOCM_DTR;
  if (set != 0 && ::ioctl(handle, TIOCMBIS, &set) != 0 && !ModemLineIgnorable(errno)) {
    return kBridgeSystemError;
  }
  if (clear != 0 && ::ioctl(handle, TIOCMBIC, &clear) != 0 && !ModemLineIgnorable(errno)) {
    return kBridgeSystemError;
  }
  return kBridgeOk;
}

void TtyBridge::WaitForData(BridgeHandle handle, std::chrono::milliseconds timeout) {
  if (!Known(handle)) {
    return;
  }
  pollfd p{handle, POLLIN, 0};
  ::poll(&p, 1, static_cast<int>(std::max<std::chrono::milliseconds::rep>(timeout.count(), 0)));
}

}  // namespace tolvane::link
