// The live display's core: packets in display units, the lamps, the watch for
// silence and the reader thread's start and stop on simulated time.
#include <gtest/gtest.h>

#include <cmath>
#include <condition_variable>
#include <limits>

#include "link/LinkRig.h"
#include "link/LiveDisplay.h"

namespace tolvane::link::test {
namespace {

using namespace std::chrono_literals;

using Packet6 = std::array<std::uint8_t, 6>;

Packet6 MakePacket(unsigned distance, std::uint8_t relays, bool valid = true) {
  Packet6 p{0xA5,   0xA5, static_cast<std::uint8_t>(distance & 0xFF), static_cast<std::uint8_t>(distance >> 8),
            relays, 0};
  p[5] = static_cast<std::uint8_t>(0x100 - ByteSum(std::span<const std::uint8_t>(p).subspan(2, 3)));
  if (!valid) {
    p[5] ^= 0x11;
  }
  return p;
}

MODEL_DEFINITION TwoUnits() {
  MODEL_DEFINITION m;
  m.unitNames[0] = "cm";
  m.unitFactors[0] = 100.0;
  m.unitNames[1] = "counts";
  m.unitFactors[1] = 1.0;
  m.unitsCount = 2;
  m.unitConvCount = 2;
  m.unitsLast = 1;
  return m;
}

TEST(LivePacket, ReadingsInDisplayUnits) {
  const MODEL_DEFINITION m = TwoUnits();
  const LIVE_SCALE s = LiveScale(m, 0, 200.0);
  ASSERT_TRUE(s.valid);
  EXPECT_DOUBLE_EQ(s.rawHeight, 20000.0);

  // A5 A5 10 27 01 C8: D = 10000, relay 1 on.
  const Packet6 p{0xA5, 0xA5, 0x10, 0x27, 0x01, 0xC8};
  const LIVE_READING r = DecodeLivePacket(6, p, s);
  EXPECT_EQ(r.distance, 10000u);
  EXPECT_EQ(r.levelText, "00100.0");
  EXPECT_EQ(r.distanceText, "00100.0");
  EXPECT_EQ(r.relays, (std::array<bool, 4>{true, false, false, false}));

  // Relays 2 and 4 from bits 1 and 3; the high nibble is no relay.
  EXPECT_EQ(DecodeLivePacket(6, MakePacket(5000, 0xFA), s).relays, (std::array<bool, 4>{false, true, false, true}));
  // Above the sensor height the level is negative, not wrapped.
  EXPECT_EQ(DecodeLivePacket(6, MakePacket(25000, 0), s).levelText, "-0050.0");
  // A packet that failed its check is shown like any other.
  const LIVE_READING bad = DecodeLivePacket(-6, MakePacket(10000, 1, false), s);
  EXPECT_EQ(bad.check, -6);
  EXPECT_EQ(bad.levelText, "00100.0");
}

TEST(LivePacket, StatusDistancesAreWordsButTheDistanceStaysANumber) {
  const MODEL_DEFINITION m = TwoUnits();
  const LIVE_SCALE s = LiveScale(m, 0, 200.0);
  const char* words[] = {"LOST", "FULL", "EMPTY"};
  for (unsigned d = 0; d < 3; ++d) {
    const LIVE_READING r = DecodeLivePacket(6, MakePacket(d, 0), s);
    EXPECT_EQ(r.levelText, words[d]);
    EXPECT_FALSE(r.level.has_value());
    EXPECT_EQ(r.distanceText, "00000.0");
  }
  EXPECT_EQ(LiveStatusWord(3), nullptr);
  EXPECT_EQ(DecodeLivePacket(6, MakePacket(3, 0), s).levelText, "00200.0");
}

TEST(LivePacket, NoUnitsOrZeroHeightNeverShowInfinity) {
  MODEL_DEFINITION none;  // no units at all
  const LIVE_SCALE s0 = LiveScale(none, 0, 200.0);
  EXPECT_FALSE(s0.valid);
  LIVE_READING r = DecodeLivePacket(6, MakePacket(10000, 0), s0);
  EXPECT_EQ(r.levelText, kNoValueText);
  EXPECT_EQ(r.distanceText, kNoValueText);
  EXPECT_EQ(DecodeLivePacket(6, MakePacket(1, 0), s0).levelText, "FULL");

  MODEL_DEFINITION zero = TwoUnits();
  zero.unitFactors[0] = 0.0;
  EXPECT_FALSE(LiveScale(zero, 0, 200.0).valid);
  EXPECT_FALSE(LiveScale(zero, 5, 200.0).valid);  // index beyond the list
  EXPECT_FALSE(LiveScale(zero, -1, 200.0).valid);

  // Sensor height 0 (or none set, -1): the level is minus the distance.
  const MODEL_DEFINITION m = TwoUnits();
  EXPECT_EQ(DecodeLivePacket(6, MakePacket(10000, 0), LiveScale(m, 0, 0.0)).levelText, "-0100.0");
  EXPECT_EQ(DecodeLivePacket(6, MakePacket(10000, 0), LiveScale(m, 0, -1.0)).levelText, "-0100.0");

  EXPECT_EQ(LiveValueText(std::numeric_limits<double>::infinity()), kNoValueText);
  EXPECT_EQ(LiveValueText(std::nan("")), kNoValueText);
  EXPECT_EQ(LiveValueText(1e300), kNoValueText);
  EXPECT_EQ(LiveValueText(9999999.9), "9999999.9");
  EXPECT_EQ(LiveValueText(-999999.9), "-999999.9");
  // One digit more on the negative side, or rounding up into an eighth digit,
  // would not fit the field.
  EXPECT_EQ(LiveValueText(-1000000.0), kNoValueText);
  EXPECT_EQ(LiveValueText(-9999999.0), kNoValueText);
  EXPECT_EQ(LiveValueText(9999999.96), kNoValueText);
  EXPECT_EQ(LiveValueText(-999999.96), kNoValueText);
  EXPECT_EQ(LiveValueText(0.04), "00000.0");
}

TEST(LivePacket, BytesText) {
  EXPECT_EQ(PacketBytesText(Packet6{0xA5, 0xA5, 0x10, 0x27, 0x01, 0xC8}), "A5 A5 10 27 01 C8 ");
}

TEST(LiveLamp, FlashIgnoredWhileOnStateChangesOnlyOnce) {
  CLedState led(LED_GREEN, LED_GREY);
  EXPECT_EQ(led.Colour(), LED_GREY);
  EXPECT_TRUE(led.Flash());   // first packet: on, start the timer
  EXPECT_FALSE(led.Flash());  // second packet within the flash: ignored
  EXPECT_EQ(led.Colour(), LED_GREEN);
  led.FlashEnded();
  EXPECT_FALSE(led.On());
  EXPECT_TRUE(led.Flash());

  CLedState relay(LED_RED, LED_GREY);
  EXPECT_TRUE(relay.SetState(true));
  EXPECT_FALSE(relay.SetState(true));
  EXPECT_EQ(relay.Colour(), LED_RED);
  EXPECT_TRUE(relay.Toggle());
  EXPECT_EQ(relay.Colour(), LED_GREY);
}

TEST(LiveState, PacketsUnitsRawBytesAndSilence) {
  const MODEL_DEFINITION m = TwoUnits();
  CLiveDisplayState state(m);
  const IClock::time_point t0{};
  state.Activate(0, 200.0, t0);
  const Packet6 p = MakePacket(10000, 1);

  // Before the reader is started, packets change nothing.
  EXPECT_TRUE(state.OnPacket(6, p, t0).ignored);
  state.SetReaderStarted(true);
  LIVE_UPDATE u = state.OnPacket(6, p, t0 + 10ms);
  ASSERT_FALSE(u.ignored);
  EXPECT_TRUE(u.flash);
  EXPECT_EQ(u.flashMs, 100);
  EXPECT_TRUE(u.values);
  EXPECT_FALSE(u.statusText.has_value());
  EXPECT_EQ(u.reading.levelText, "00100.0");

  // Units from factor 100 to factor 1: the raw height of the activation stays.
  state.SelectUnits(1);
  EXPECT_EQ(state.OnPacket(6, p, t0 + 20ms).reading.levelText, "10000.0");
  state.SelectUnits(0);

  // Raw bytes mode: the bytes, or the error for a failed check without new values.
  state.SetRawBytesMode(true);
  u = state.OnPacket(6, p, t0 + 30ms);
  EXPECT_EQ(u.statusText, PacketBytesText(p));
  EXPECT_TRUE(u.values);
  u = state.OnPacket(-6, MakePacket(500, 0, false), t0 + 40ms);
  EXPECT_TRUE(u.checkError);
  EXPECT_TRUE(u.flash);
  EXPECT_FALSE(u.values);

  // Silence: three seconds after the last packet.
  EXPECT_FALSE(state.Silent(t0 + 40ms + 2999ms));
  EXPECT_TRUE(state.Silent(t0 + 40ms + 3000ms));
  state.OnPacket(6, p, t0 + 5s);
  EXPECT_FALSE(state.Silent(t0 + 5s + 1s));
  state.SetReaderStarted(false);
  EXPECT_FALSE(state.Silent(t0 + 60s));
}

class CountingSink : public ILiveSink {
 public:
  void OnStreamPacket(int check, const std::array<std::uint8_t, 6>&) override {
    std::lock_guard lock(m_);
    ++(check == 6 ? good_ : bad_);
    cv_.notify_all();
  }
  bool WaitFor(int n) {
    std::unique_lock lock(m_);
    return cv_.wait_for(lock, 10s, [&] { return good_ >= n; });
  }
  int Good() {
    std::lock_guard lock(m_);
    return good_;
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  int good_ = 0;
  int bad_ = 0;
};

TEST(LiveReaderThread, StopPausesAsTheLinkWorkerDoesAndNeverHangs) {
  LinkRig rig(false);
  sim::SimOptions o;
  o.streaming = true;
  o.packetPeriod = 100ms;
  rig.AddSensor(o);
  ASSERT_EQ(rig.link.OpenLink(), 0);
  CountingSink sink;
  CLiveReaderThread reader(rig.link, rig.clock);

  // A stop asked for at once, before the thread may have run at all, ends it.
  ASSERT_TRUE(reader.Start(sink));
  EXPECT_FALSE(reader.Start(sink));
  {
    ClockThreadScope scope(rig.clock);
    const auto t0 = rig.clock.now();
    reader.Stop();
    EXPECT_GE(rig.MsSince(t0), 600);
  }
  EXPECT_FALSE(reader.Started());
  EXPECT_FALSE(rig.link.ReaderRunning());

  // Started again, it follows the sensor; the stop ends within the reader's window.
  ASSERT_TRUE(reader.Start(sink));
  EXPECT_TRUE(sink.WaitFor(5));
  {
    ClockThreadScope scope(rig.clock);
    const auto t0 = rig.clock.now();
    reader.Stop();
    EXPECT_GE(rig.MsSince(t0), 600);
  }
  const int seen = sink.Good();
  rig.clock.advance(2s);
  EXPECT_EQ(sink.Good(), seen);  // nothing is delivered after the stop
}

TEST(LiveReaderThread, UnpluggedAdapterLeavesNoThreadRunning) {
  LinkRig rig(false);
  sim::SimOptions o;
  o.streaming = true;
  o.faults.unplugAfter = 6 * 4;
  rig.AddSensor(o);
  ASSERT_EQ(rig.link.OpenLink(), 0);
  CountingSink sink;
  CLiveReaderThread reader(rig.link, rig.clock);
  ASSERT_TRUE(reader.Start(sink));
  EXPECT_TRUE(sink.WaitFor(3));
  {
    // Simulated time runs while this thread sleeps: the reader polls the gone adapter.
    ClockThreadScope scope(rig.clock);
    rig.clock.sleep_for(3s);
    reader.Stop();
  }
  EXPECT_FALSE(rig.link.ReaderRunning());
  EXPECT_TRUE(rig.link.AdapterGone());
  const MODEL_DEFINITION m = TwoUnits();
  CLiveDisplayState state(m);
  state.Activate(0, 100.0, rig.clock.now());
  EXPECT_EQ(state.Check(rig.clock.now(), true), CLiveDisplayState::Watch::Fine);  // not reading
  state.SetReaderStarted(true);
  EXPECT_EQ(state.Check(rig.clock.now(), true), CLiveDisplayState::Watch::Unplugged);
  EXPECT_EQ(state.Check(rig.clock.now(), false), CLiveDisplayState::Watch::Fine);
  EXPECT_EQ(state.Check(rig.clock.now() + 4s, false), CLiveDisplayState::Watch::Silent);
}

}  // namespace
}  // namespace tolvane::link::test
