// tolvane-sim: a simulated level sensor behind a simulated USB adapter. It
// speaks the sensor's wire protocol on a pseudo-terminal and registers the
// adapter below a device root, where tolvane and tolvane-cli find it when
// TOLVANE_DEVICE_ROOT points there.
#include <poll.h>
#include <unistd.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "app/sim/SimDevice.h"
#include "link/sim/SimSensor.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;  // set by the signal handler only

extern "C" void OnStopSignal(int) { g_stop = 1; }

using tolvane::link::sim::Time;

std::uint32_t ParseNumber(const std::string& text) { return static_cast<std::uint32_t>(std::stoul(text, nullptr, 0)); }

}  // namespace

int main(int argc, char** argv) {
  namespace sim = tolvane::link::sim;
  CLI::App app{"tolvane-sim: a simulated level sensor on a pseudo-terminal, found like a USB adapter."};
  app.name("tolvane-sim");  // the usage line names the program, not the path it was started by
  app.set_version_flag("--version", std::string("tolvane-sim ") + TOLVANE_VERSION);

  std::string root;
  if (const char* env = std::getenv("TOLVANE_DEVICE_ROOT")) {
    root = env;
  }
  std::string identityKey = "qr27";
  std::optional<std::string> model, firmware, revision, serial, hardwareSerial;
  std::string name;
  tolvane::simapp::UsbAttributes usb;
  bool streaming = false;
  bool pace = false;
  unsigned periodMs = 100;
  std::string statusFor;
  std::string stateFile;
  sim::SimFaults faults;

  app.add_option("--device-root", root,
                 "Folder that holds the adapter's sys/ and dev/ entries "
                 "(default $TOLVANE_DEVICE_ROOT)");
  app.add_option("--identity", identityKey, "Shipped identity: qr25, qr27 (default) or qr30")
      ->check(CLI::IsMember({"qr25", "qr27", "qr30"}));
  app.add_option("--model", model, "Hardware model text (information memory)");
  app.add_option("--firmware", firmware, "Firmware name (Factory page)");
  app.add_option("--revision", revision, "Software revision, e.g. 0x0203");
  app.add_option("--serial", serial, "Serial number (Factory page)");
  app.add_option("--hw-serial", hardwareSerial, "Hardware serial (information memory; default the serial)");
  app.add_option("--name", name, "tty name (default the first free ttySIM<n>)");
  app.add_option("--product", usb.product, "USB product description");
  app.add_option("--usb-serial", usb.serial, "USB serial string");
  app.add_flag("--streaming", streaming, "Start streaming measurement packets instead of in command mode");
  app.add_flag("--pace", pace, "Keep the true line rate of 9600 baud in both directions");
  app.add_option("--period", periodMs, "Streaming packet period in milliseconds")->check(CLI::Range(1u, 10000u));
  app.add_option("--state", stateFile,
                 "State file that keeps the pages and the information memory; "
                 "an existing file wins over the identity options");
  app.add_option("--drop-every", faults.dropEvery, "Fault: drop every Nth byte sent");
  app.add_option("--corrupt-every", faults.corruptEvery, "Fault: invert every Nth byte sent");
  app.add_option("--status", faults.statusByte, "Fault: acknowledge with this status byte")->check(CLI::Range(0, 255));
  app.add_option("--status-for", statusFor, "Fault: only for this command code, e.g. 0x31");
  app.add_flag("--no-ready", faults.noReady, "Fault: never send a ready frame");
  app.add_flag("--silent", faults.silent, "Fault: send nothing at all");
  app.add_option("--unplug-after", faults.unplugAfter, "Fault: unplug after this many bytes sent");
  app.add_flag("--never-wake", faults.neverWake, "Fault: ignore the wake-up packets");
  unsigned eraseMs = 1000;
  unsigned flashUs = 2000;
  app.add_option("--erase-time", eraseMs, "Milliseconds an erase of the program flash (0x17) takes")
      ->check(CLI::Range(0u, 60000u));
  app.add_option("--flash-time", flashUs, "Microseconds flashing one firmware data packet (0x24) takes")
      ->check(CLI::Range(0u, 1000000u));
  app.add_option("--erase-failures", faults.eraseFailures, "Fault: refuse this many erases before one succeeds")
      ->check(CLI::Range(0, 1000));
  app.add_option("--no-ready-after-packet", faults.noReadyAfterPacket,
                 "Fault: no ready frame from this firmware data packet on");
  app.add_option("--unplug-after-packet", faults.unplugAfterPacket,
                 "Fault: unplug once this firmware data packet is acknowledged");
  app.add_flag("--crc-mismatch", faults.crcMismatch, "Fault: refuse every CRC check (0x28)");
  CLI11_PARSE(app, argc, argv);

  if (root.empty()) {
    std::fprintf(stderr, "tolvane-sim: give --device-root or set TOLVANE_DEVICE_ROOT\n");
    return 2;
  }
  sim::SimOptions options;
  options.identity = *sim::ShippedIdentity(identityKey);
  try {
    if (model) options.identity.hardwareModel = *model;
    if (firmware) options.identity.firmwareName = *firmware;
    if (revision) options.identity.softwareRevision = static_cast<std::uint16_t>(ParseNumber(*revision));
    if (serial) {
      options.identity.serial = ParseNumber(*serial);
      options.identity.hardwareSerial = options.identity.serial;
    }
    if (hardwareSerial) options.identity.hardwareSerial = ParseNumber(*hardwareSerial);
    if (!statusFor.empty()) faults.statusCommand = static_cast<int>(ParseNumber(statusFor) & 0xFFu);
  } catch (const std::exception&) {
    std::fprintf(stderr, "tolvane-sim: a number option is not a number\n");
    return 2;
  }
  options.faults = faults;
  options.streaming = streaming;
  options.pace = pace;
  options.packetPeriod = std::chrono::milliseconds(periodMs);
  options.eraseTime = std::chrono::milliseconds(eraseMs);
  options.flashTime = std::chrono::microseconds(flashUs);

  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
  std::signal(SIGHUP, OnStopSignal);
  std::signal(SIGPIPE, SIG_IGN);

  try {
    tolvane::simapp::CPseudoTerminal pty;
    if (name.empty()) {
      name = tolvane::simapp::FreeTtyName(root);
    }
    tolvane::simapp::CAdapterEntry entry(root, name, usb, pty.slavePath());

    sim::CSimSensor sensor(options, std::chrono::steady_clock::now());
    if (!stateFile.empty()) {
      if (!sensor.LoadState(stateFile) && !sensor.SaveState(stateFile)) {
        std::fprintf(stderr, "tolvane-sim: cannot write the state file %s\n", stateFile.c_str());
        return 1;
      }
      sensor.SetStateFile(stateFile);
    }
    std::printf("tolvane-sim: %s serial %u, firmware %s rev 0x%04X, on %s as %s (%s)\n",
                options.identity.hardwareModel.c_str(), options.identity.serial, options.identity.firmwareName.c_str(),
                options.identity.softwareRevision, pty.slavePath().c_str(), entry.node().c_str(),
                streaming ? "streaming" : "command mode");
    std::fflush(stdout);

    std::array<std::uint8_t, 512> buffer{};
    while (g_stop == 0) {
      const Time now = std::chrono::steady_clock::now();
      sensor.AdvanceTo(now);
      for (std::size_t n; (n = sensor.Take(now, buffer.data(), buffer.size())) > 0;) {
        // Nobody reading and the line's buffer full: the bytes are lost, as on a wire.
        const ssize_t w = ::write(pty.master(), buffer.data(), n);
        (void)w;
      }
      if (sensor.Unplugged(now)) {
        std::printf("tolvane-sim: unplugged after %llu bytes\n", static_cast<unsigned long long>(sensor.BytesSent()));
        std::fflush(stdout);
        entry.Remove();
        pty.Close();
        return 0;
      }
      // Sleep until the next byte is due, at most 50 ms, or until the host writes.
      auto wait = std::chrono::nanoseconds(std::chrono::milliseconds(50));
      if (const auto next = sensor.NextEvent()) {
        wait = std::clamp<std::chrono::nanoseconds>(*next - now, std::chrono::nanoseconds(0), wait);
      }
      const timespec ts{static_cast<time_t>(wait.count() / 1000000000), static_cast<long>(wait.count() % 1000000000)};
      pollfd p{pty.master(), POLLIN, 0};
      const int ready = ::ppoll(&p, 1, &ts, nullptr);
      if (ready > 0 && (p.revents & POLLIN) != 0) {
        const ssize_t n = ::read(pty.master(), buffer.data(), buffer.size());
        if (n > 0) {
          sensor.HostBytes(buffer.data(), static_cast<std::size_t>(n), std::chrono::steady_clock::now());
        }
      } else if (ready < 0 && errno != EINTR) {
        break;
      }
    }
    std::printf("tolvane-sim: stopped\n");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tolvane-sim: %s\n", e.what());
    return 1;
  }
  return 0;
}
