// The live display page (dialog 110): the level and the distance in large
// digits, the relay and activity lamps, the units list, and the live reader
// that feeds them while the page is shown. The decisions are the core's
// (link/LiveDisplay.h); this page binds them to its controls.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <array>
#include <chrono>
#include <functional>
#include <memory>

#include "link/LiveDisplay.h"
#include "link/ui/Led.h"
#include "shell/ProgramCore.h"

namespace tolvane {

class CLiveTrend;

// What the page measures of itself: packets shown and how long the longest
// one waited between the reader and the page.
struct LIVE_PAGE_STATS {
  long long packets = 0;
  long long checkErrors = 0;
  std::chrono::microseconds maxDelay{0};
};

class CBigDisplay : public QWidget, private link::ILiveSink {
  Q_OBJECT

 public:
  // `help` opens the page's help topic (DEMO.htm).
  CBigDisplay(CProgramCore& core, bool demonstration, std::function<void()> help, QWidget* parent = nullptr);
  ~CBigDisplay() override;

  // Activation and deactivation as the forms host shows and leaves the page.
  void Activate();
  void Deactivate();
  // The page's OK and Cancel: the reader stopped and the link closed.
  void OkOrCancel();

  bool ReaderStarted() const { return state_.ReaderStarted(); }
  const LIVE_PAGE_STATS& Stats() const { return stats_; }
  CLiveTrend* Trend() const { return trend_; }
  // The watch timer's check (tests run it on simulated time).
  void CheckReadings();
  // A packet as the reader's message delivers it, on the window's thread.
  void HandlePacket(int check, const std::array<std::uint8_t, 6>& packet);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void OnStreamPacket(int check, const std::array<std::uint8_t, 6>& packet) override;
  void UnitsChanged(int index);
  void StopReading();
  QString Text(const char* key) const;

  CProgramCore& core_;
  bool demonstration_;
  std::function<void()> help_;
  link::CLiveDisplayState state_;
  link::CLiveReaderThread reader_;
  LIVE_PAGE_STATS stats_;
  bool active_ = false;
  bool silentShown_ = false;

  QLabel* level_;
  QLabel* distance_;
  std::array<CLed*, 4> relays_{};
  CLed* activity_;
  QLabel* status_;
  QComboBox* units_;
  std::array<QLabel*, 4> relayLabels_{};
  QLabel* measuredText_;
  QLabel* activityText_;
  QLabel* disclaimer_;
  QLabel* distanceText_;
  CLiveTrend* trend_ = nullptr;
  QTimer watch_;
};

}  // namespace tolvane
