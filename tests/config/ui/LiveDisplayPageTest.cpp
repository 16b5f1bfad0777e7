// The live display page offscreen, on the simulated sensor and simulated time:
// activation with resume-streaming and the reader, packets in the digits and
// lamps, the raw-bytes mode, silence, an unplugged adapter, the demonstration
// unit, deactivation's pauses, and the trend chart's pause and export.
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QTest>

#include <cmath>

#include <gtest/gtest.h>

#include "config/ui/FormRig.h"
#include "link/ui/BigDisplay.h"
#include "link/ui/LiveTrend.h"

namespace tolvane::test {
namespace {

using namespace std::chrono_literals;
using Packet6 = std::array<std::uint8_t, 6>;

std::string Utf8(const QString& s) { return s.toUtf8().toStdString(); }

Packet6 MakePacket(unsigned distance, std::uint8_t relays, bool valid = true) {
  Packet6 p{0xA5,   0xA5, static_cast<std::uint8_t>(distance & 0xFF), static_cast<std::uint8_t>(distance >> 8),
            relays, 0};
  p[5] = static_cast<std::uint8_t>(0x100 - ((p[2] + p[3] + p[4]) & 0xFF));
  if (!valid) {
    p[5] ^= 0x11;
  }
  return p;
}

struct LiveRig {
  explicit LiveRig(const std::string& key = "qr27") : rig(key) {
    // Centimetres (factor 10) and a sensor height of 2000: raw height 20000.
    rig.core->record.unitsIndex = 3;
    rig.core->record.sensorHeight = 2000.0;
  }
  CBigDisplay& Page() {
    page = std::make_unique<CBigDisplay>(*rig.core, rig.demonstration, [this] { ++helps; });
    return *page;
  }
  // Lets simulated time run and the page take the reader's messages until
  // `n` packets were shown (at most 10 simulated seconds).
  bool RunUntilPackets(long long n) {
    for (int i = 0; i < 400 && page->Stats().packets < n; ++i) {
      rig.clock.sleep_for(25ms);
      QApplication::processEvents();
    }
    return page->Stats().packets >= n;
  }
  QString TextOf(int id) { return FindControlAs<QLabel>(page.get(), id)->text(); }
  CLed* Led(int id) { return FindControlAs<CLed>(page.get(), id); }

  FormRig rig;
  // The test's thread takes part in simulated time: time moves only while it
  // sleeps, so the reader cannot run ahead of the page.
  ClockThreadScope scope{rig.clock};
  std::unique_ptr<CBigDisplay> page;
  int helps = 0;
};

TEST(LiveDisplayPage, FollowsTheStreamingSensorInTheChosenUnits) {
  LiveRig r;
  CBigDisplay& page = r.Page();
  ASSERT_TRUE(r.rig.core->link.IsLinkOpen());
  EXPECT_FALSE(r.rig.sensor->Streaming());
  page.Activate();
  EXPECT_TRUE(page.ReaderStarted());
  // The label texts and the units list.
  EXPECT_EQ(Utf8(r.TextOf(1144)), r.rig.Text("IDC_RELAY") + " 1");
  EXPECT_EQ(Utf8(r.TextOf(1147)), r.rig.Text("IDC_RELAY") + " 4");
  EXPECT_EQ(Utf8(r.TextOf(1148)), r.rig.Text("IDC_MEASURED_TXT"));
  EXPECT_EQ(Utf8(r.TextOf(1149)), r.rig.Text("IDC_ACTIVITY"));
  EXPECT_EQ(Utf8(r.TextOf(1150)), r.rig.Text("IDC_DISCLAIMER"));
  EXPECT_EQ(Utf8(r.TextOf(1151)), r.rig.Text("IDC_DISTANCE_TXT"));
  EXPECT_EQ(r.TextOf(1099), "00000.0");
  auto* units = FindControlAs<QComboBox>(&page, 1132);
  ASSERT_NE(units, nullptr);
  EXPECT_EQ(units->currentText(), "Centimeters");
  for (int id = 1100; id <= 1104; ++id) {
    ASSERT_NE(r.Led(id), nullptr) << id;
    EXPECT_EQ(r.Led(id)->Colour(), link::LED_GREY);
  }

  ASSERT_TRUE(r.RunUntilPackets(5));
  // The simulator streams 800..1200 mm, relay 1 below 900, 2 below 1000, 3 above 1100.
  const double distance = r.TextOf(1114).toDouble();
  const int d = static_cast<int>(std::lround(distance * 10));
  EXPECT_GE(d, 800);
  EXPECT_LE(d, 1200);
  EXPECT_EQ(Utf8(r.TextOf(1099)), link::LiveValueText((20000.0 - d) / 10.0));
  EXPECT_EQ(r.Led(1100)->On(), d < 900);
  EXPECT_EQ(r.Led(1101)->On(), d < 1000);
  EXPECT_EQ(r.Led(1102)->On(), d > 1100);
  EXPECT_FALSE(r.Led(1103)->On());
  // The trend keeps every packet shown.
  EXPECT_EQ(static_cast<long long>(page.Trend()->History().Size()), page.Stats().packets);

  // Leaving the page: the reader stops, the link closes, the pauses of 100 + 500 + 2000 ms.
  const auto t0 = r.rig.clock.now();
  page.Deactivate();
  EXPECT_FALSE(page.ReaderStarted());
  EXPECT_FALSE(r.rig.core->link.IsLinkOpen());
  EXPECT_FALSE(r.rig.core->link.ReaderRunning());
  EXPECT_GE(r.rig.clock.now() - t0, 2600ms);
  EXPECT_TRUE(r.rig.sensor->Streaming());  // the sensor is left streaming
}

TEST(LiveDisplayPage, PacketsLampsUnitsAndRawBytes) {
  LiveRig r;
  r.rig.core->link.CloseLink();  // no resume: the sensor stays quiet
  CBigDisplay& page = r.Page();
  page.Activate();
  ASSERT_TRUE(page.ReaderStarted());

  page.HandlePacket(6, Packet6{0xA5, 0xA5, 0x10, 0x27, 0x01, 0xC8});
  EXPECT_EQ(r.TextOf(1099), "01000.0");
  EXPECT_EQ(r.TextOf(1114), "01000.0");
  EXPECT_TRUE(r.Led(1100)->On());
  EXPECT_FALSE(r.Led(1101)->On());
  EXPECT_TRUE(r.Led(1104)->On());
  EXPECT_TRUE(r.Led(1104)->Flashing());
  page.HandlePacket(6, MakePacket(1, 0x0C));
  EXPECT_EQ(r.TextOf(1099), "FULL");
  EXPECT_EQ(r.TextOf(1114), "00000.1");
  EXPECT_FALSE(r.Led(1100)->On());
  EXPECT_TRUE(r.Led(1102)->On());
  EXPECT_TRUE(r.Led(1103)->On());
  r.Led(1104)->FlashTimerFired();
  EXPECT_FALSE(r.Led(1104)->On());

  // Millimetres: factor 1, the raw height of the activation stays.
  FindControlAs<QComboBox>(&page, 1132)->setCurrentIndex(2);
  page.HandlePacket(6, Packet6{0xA5, 0xA5, 0x10, 0x27, 0x01, 0xC8});
  EXPECT_EQ(r.TextOf(1099), "10000.0");
  // A failed check is shown like any other without the raw-bytes mode.
  page.HandlePacket(-6, MakePacket(15000, 0, false));
  EXPECT_EQ(r.TextOf(1099), "05000.0");
  EXPECT_TRUE(r.TextOf(1108).isEmpty());

  // Enter and Escape are swallowed; a right click asks for help.
  QTest::keyClick(&page, Qt::Key_Escape);
  QTest::mouseClick(&page, Qt::RightButton);
  EXPECT_EQ(r.helps, 1);
  page.OkOrCancel();
  EXPECT_FALSE(page.ReaderStarted());
  EXPECT_FALSE(r.rig.core->link.IsLinkOpen());
  // After the stop, packets change nothing.
  page.HandlePacket(6, MakePacket(3000, 0));
  EXPECT_EQ(r.TextOf(1099), "05000.0");
}

TEST(LiveDisplayPage, RawBytesModeShowsTheBytesOrTheError) {
  LiveRig r;
  r.rig.core->settings.kestrineMode = true;
  r.rig.core->link.CloseLink();
  CBigDisplay& page = r.Page();
  page.Activate();
  page.HandlePacket(6, Packet6{0xA5, 0xA5, 0x10, 0x27, 0x01, 0xC8});
  EXPECT_EQ(r.TextOf(1108), "A5 A5 10 27 01 C8 ");
  EXPECT_EQ(r.TextOf(1099), "01000.0");
  page.HandlePacket(-6, MakePacket(15000, 0, false));
  EXPECT_EQ(Utf8(r.TextOf(1108)), r.rig.Text("ERROR_MESSAGE115"));
  EXPECT_EQ(r.TextOf(1099), "01000.0");  // the readings keep their last values
  EXPECT_EQ(page.Stats().checkErrors, 1);
}

TEST(LiveDisplayPage, SaysWhenNoReadingsArriveAndWhenTheAdapterIsGone) {
  LiveRig r;
  r.rig.core->link.CloseLink();  // the sensor stays in command mode: silence
  CBigDisplay& page = r.Page();
  page.Activate();
  r.rig.clock.sleep_for(2s);
  page.CheckReadings();
  EXPECT_TRUE(r.TextOf(1108).isEmpty());
  r.rig.clock.sleep_for(1500ms);
  page.CheckReadings();
  EXPECT_EQ(Utf8(r.TextOf(1108)), r.rig.Text("LIVE_MESSAGE1"));
  page.HandlePacket(6, MakePacket(3000, 0));
  EXPECT_TRUE(r.TextOf(1108).isEmpty());
  page.Deactivate();

  // Now streaming, and the adapter pulled out after a few packets.
  r.rig.sensor->Faults().unplugAfter = r.rig.sensor->BytesSent() + 200;
  ASSERT_EQ(r.rig.core->link.OpenLink(), 0);
  page.Activate();
  ASSERT_TRUE(page.ReaderStarted());
  EXPECT_TRUE(r.rig.sensor->Streaming());
  ASSERT_TRUE(r.RunUntilPackets(3)) << page.Stats().packets;
  for (int i = 0; i < 40 && page.ReaderStarted(); ++i) {
    r.rig.clock.sleep_for(100ms);
    QApplication::processEvents();
    page.CheckReadings();
  }
  EXPECT_FALSE(page.ReaderStarted());
  EXPECT_FALSE(r.rig.core->link.ReaderRunning());
  EXPECT_EQ(Utf8(r.TextOf(1108)), r.rig.Text("LIVE_MESSAGE2"));
  page.Deactivate();  // the page can be left
}

TEST(LiveDisplayPage, DemonstrationStartsNothing) {
  LiveRig r("");
  CBigDisplay& page = r.Page();
  page.Activate();
  EXPECT_FALSE(page.ReaderStarted());
  EXPECT_EQ(Utf8(r.TextOf(1108)), Format(r.rig.Text("STATUS_MESSAGE28"), r.rig.core->tables.program.programId));
  page.HandlePacket(6, MakePacket(3000, 1));
  EXPECT_EQ(r.TextOf(1099), "00000.0");
}

TEST(LiveDisplayPage, TrendPausesWhileRecordingAndExportsCsv) {
  LiveRig r;
  r.rig.core->link.CloseLink();
  CBigDisplay& page = r.Page();
  page.Activate();
  CLiveTrend& trend = *page.Trend();
  page.HandlePacket(6, MakePacket(10000, 1));
  r.rig.clock.sleep_for(1s);
  page.HandlePacket(6, MakePacket(0, 0));
  trend.Refresh();
  const long long redraws = trend.Redraws();
  EXPECT_EQ(trend.LevelPointsShown(), 1);  // LOST has no level
  FindControlAs<QPushButton>(&trend, 1160)->click();
  EXPECT_TRUE(trend.Paused());
  r.rig.clock.sleep_for(1s);
  page.HandlePacket(6, MakePacket(12000, 2));
  trend.Refresh();
  EXPECT_EQ(trend.Redraws(), redraws);
  EXPECT_EQ(trend.History().Size(), 3u);  // still recorded
  FindControlAs<QPushButton>(&trend, 1160)->click();
  EXPECT_FALSE(trend.Paused());
  EXPECT_EQ(trend.LevelPointsShown(), 2);

  const auto file = r.rig.dir / "readings.csv";
  ASSERT_TRUE(trend.ExportTo(file.string()));
  EXPECT_EQ(ReadBytes(file),
            "time,raw,level (Centimeters),distance (Centimeters),relay 1,relay 2,relay 3,relay 4\n"
            "0.000,10000,1000.0,1000.0,1,0,0,0\n"
            "1.000,0,LOST,0.0,0,0,0,0\n"
            "2.000,12000,800.0,1200.0,0,1,0,0\n");
  EXPECT_FALSE(trend.ExportTo((r.rig.dir / "no-such-folder" / "x.csv").string()));
}

TEST(LiveDisplayPage, TrendLegendNamesAreWholeAndTheRelaysStayBelowTheLevel) {
  FormRig rig("qr27");
  for (const int column : {0, 1}) {
    rig.core->settings.languageNumber = column;
    CLiveTrend trend(rig.core->language, rig.core->settings, rig.messages);
    trend.resize(trend.minimumSizeHint());
    trend.show();
    // A level sweeping between 150 and 170 with every relay switching.
    const auto t0 = rig.clock.now();
    for (int i = 0; i <= 40; ++i) {
      link::LIVE_READING reading;
      reading.level = 150.0 + std::abs(20 - i);
      reading.relays = {i % 2 == 0, i % 3 == 0, i % 4 == 0, i % 5 == 0};
      trend.Add(t0 + std::chrono::milliseconds(250 * i), reading);
    }
    trend.Refresh();
    QApplication::processEvents();

    // Every name whole: the level's and the four relays'.
    const auto names = std::vector<std::string>{
        Utf8(QString::fromStdString(rig.core->language.Text("IDC_MEASURED_TXT", column))),
        rig.core->language.Text("IDC_RELAY", column) + " 1", rig.core->language.Text("IDC_RELAY", column) + " 4"};
    for (int e = 0; e < 5; ++e) {
      auto* label = trend.findChild<QLabel*>(QStringLiteral("legend%1").arg(e));
      ASSERT_NE(label, nullptr) << e;
      EXPECT_TRUE(label->isVisible());
      EXPECT_GE(label->width(), label->sizeHint().width()) << Utf8(label->text()) << " column " << column;
    }
    EXPECT_NE(Utf8(trend.findChild<QLabel*>("legend0")->text()).find(names[0]), std::string::npos);
    EXPECT_NE(Utf8(trend.findChild<QLabel*>("legend1")->text()).find(names[1]), std::string::npos);
    EXPECT_NE(Utf8(trend.findChild<QLabel*>("legend4")->text()).find(names[2]), std::string::npos);
    EXPECT_FALSE(trend.findChild<QChartView*>()->chart()->legend()->isVisible());

    // On screen the top of relay 1's band (the highest) lies below the
    // lowest level drawn (screen y grows downwards).
    QChart* chart = trend.findChild<QChartView*>()->chart();
    const auto series = chart->series();
    ASSERT_EQ(series.size(), 5);
    auto* level = qobject_cast<QLineSeries*>(series[0]);
    auto* relay1 = qobject_cast<QLineSeries*>(series[1]);
    ASSERT_GT(level->count(), 0);
    ASSERT_GT(relay1->count(), 0);
    double lowestLevelY = -1e9;
    for (const QPointF& p : level->points()) {
      lowestLevelY = std::max(lowestLevelY, chart->mapToPosition(p, level).y());
    }
    double highestRelayY = 1e9;
    for (const QPointF& p : relay1->points()) {
      highestRelayY = std::min(highestRelayY, chart->mapToPosition(p, relay1).y());
    }
    EXPECT_GT(highestRelayY, lowestLevelY) << "column " << column;
  }
}

}  // namespace
}  // namespace tolvane::test
