// The live display's decisions, on plain data: the scale of the chosen units,
// a streaming packet in display units ("LOST", "FULL", "EMPTY" for the status
// distances), the activity and relay lamps, the watch for a sensor that stops
// streaming, and the start and stop of the live reader thread.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>

#include "common/Clock.h"
#include "defs/ModelTables.h"
#include "link/UsbLink.h"

namespace tolvane::link {

// Scale and raw height of the display. `valid` is false when the model has no
// usable factor for the units (no units, a factor of 0, not a number): the
// readings are then not converted and show `kNoValueText`.
struct LIVE_SCALE {
  double scale = 0.0;      // raw value = scale x value in units
  double rawHeight = 0.0;  // sensor height x scale, in raw units
  bool valid = false;
};

inline constexpr char kNoValueText[] = "-----.-";

// The scale of units `unitsIndex` of the model and the raw height of a sensor
// height given in those units. A negative sensor height (none set) counts as 0.
LIVE_SCALE LiveScale(const MODEL_DEFINITION& model, int unitsIndex, double sensorHeight);

// The unit names of the model in list order (the units drop-down).
std::vector<std::string> LiveUnitNames(const MODEL_DEFINITION& model);

// A value in display units as the big digits show it ("%#07.1f"), or
// `kNoValueText` when it cannot be shown (not finite, or wider than the field
// allows: the digits hold at most 9 characters).
std::string LiveValueText(double value);

// One streaming packet in display units.
struct LIVE_READING {
  int check = 6;  // 6 when the zero-sum check held, -6 when it did not
  std::array<std::uint8_t, 6> bytes{};
  unsigned distance = 0;        // raw distance D
  std::optional<double> level;  // in units; none for LOST/FULL/EMPTY or no scale
  std::optional<double> distanceUnits;
  std::string levelText;
  std::string distanceText;
  std::array<bool, 4> relays{};
};

// "LOST", "FULL", "EMPTY" for the status distances 0, 1, 2, else nullptr.
const char* LiveStatusWord(unsigned distance);

LIVE_READING DecodeLivePacket(int check, const std::array<std::uint8_t, 6>& packet, const LIVE_SCALE& scale);

// The six bytes, each "%02X ".
std::string PacketBytesText(const std::array<std::uint8_t, 6>& packet);

// A lamp: on and off colours, a state, and a flash of a fixed time.
enum LED_COLOUR : int { LED_GREY = 0, LED_RED = 1, LED_GREEN = 2, LED_BLUE = 3, LED_YELLOW = 4 };

class CLedState {
 public:
  CLedState() = default;
  CLedState(int onColour, int offColour) : on_(onColour), off_(offColour) {}
  // True when the state changed (the picture must change).
  bool SetState(bool on);
  bool Toggle() { return SetState(!state_); }
  // A flash of a lamp that is off switches it on: true, start the one-shot
  // timer. A flash while the lamp is on does nothing: false.
  bool Flash();
  // The flash's timer fired: the lamp goes off.
  void FlashEnded() { SetState(false); }
  bool On() const { return state_; }
  int Colour() const { return state_ ? on_ : off_; }

 private:
  int on_ = LED_RED;
  int off_ = LED_GREY;
  bool state_ = false;
};

// What the page does with one packet message.
struct LIVE_UPDATE {
  bool ignored = true;  // the reader is not started: nothing changes
  bool flash = false;   // flash the activity lamp for `flashMs`
  int flashMs = 100;
  bool checkError = false;                // raw-bytes mode, failed check: the status line says so
  std::optional<std::string> statusText;  // new text of the status line (the packet's bytes)
  bool values = false;                    // the digits and lamps below change
  LIVE_READING reading;
};

// The state of the page while it is shown: started reader, units, scale, the
// raw-bytes mode, and when the last packet came.
class CLiveDisplayState {
 public:
  explicit CLiveDisplayState(const MODEL_DEFINITION& model) : model_(model) {}

  // Activation: the units index of the configuration and its sensor height.
  void Activate(int unitsIndex, double sensorHeight, IClock::time_point now);
  // A units change keeps the raw height taken at activation.
  void SelectUnits(int unitsIndex);
  void SetReaderStarted(bool started) { readerStarted_ = started; }
  bool ReaderStarted() const { return readerStarted_; }
  void SetRawBytesMode(bool on) { rawBytes_ = on; }

  LIVE_UPDATE OnPacket(int check, const std::array<std::uint8_t, 6>& packet, IClock::time_point now);

  // What the page's watch timer shows: nothing new, the silence text, or the
  // unplugged adapter (the page then stops the reader and closes the link).
  enum class Watch { Fine, Silent, Unplugged };
  Watch Check(IClock::time_point now, bool adapterGone) const;

  // True once no packet came for `kSilenceLimit` while the reader runs (the
  // page then says so); false again with the next packet.
  bool Silent(IClock::time_point now) const;
  static constexpr std::chrono::milliseconds kSilenceLimit{3000};

  int UnitsIndex() const { return unitsIndex_; }
  const LIVE_SCALE& Scale() const { return scale_; }

 private:
  const MODEL_DEFINITION& model_;
  int unitsIndex_ = 0;
  LIVE_SCALE scale_{};
  bool readerStarted_ = false;
  bool rawBytes_ = false;
  IClock::time_point lastPacket_{};
};

// The live reader thread as the page starts and stops it: start on a new
// thread; stop by asking, waiting 100 ms, then checking every 100 ms until it
// has ended, then a pause of 500 ms before the thread is let go.
class CLiveReaderThread {
 public:
  CLiveReaderThread(CUsbLink& link, IClock& clock) : link_(link), clock_(clock) {}
  ~CLiveReaderThread() { Stop(); }
  CLiveReaderThread(const CLiveReaderThread&) = delete;
  CLiveReaderThread& operator=(const CLiveReaderThread&) = delete;

  // False when it is already started.
  bool Start(ILiveSink& sink);
  void Stop();
  bool Started() const { return thread_.joinable(); }

 private:
  CUsbLink& link_;
  IClock& clock_;
  std::thread thread_;
  std::atomic<bool> ended_{false};
};

}  // namespace tolvane::link
