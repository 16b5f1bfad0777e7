// The live page's trend chart: the level and the four relays over the last
// minutes. Readings are kept in a bounded history as they come; the chart is
// redrawn from it a few times a second (never once per packet), so it keeps
// up with the sensor's packet rate. Pause freezes the chart while readings go
// on being recorded; Export writes what the history holds as CSV.
#pragma once

#include <QChartView>
#include <QLineSeries>
#include <QPushButton>
#include <QTimer>
#include <QValueAxis>
#include <QWidget>

#include <optional>

#include "common/Clock.h"
#include "common/Messages.h"
#include "defs/AppSettings.h"
#include "defs/LanguageFile.h"
#include "link/LiveTrend.h"

namespace tolvane {

class CLiveTrend : public QWidget {
  Q_OBJECT

 public:
  CLiveTrend(const CLanguageFile& language, const APP_SETTINGS& settings, IMessageBox& messages,
             QWidget* parent = nullptr);

  void Add(IClock::time_point at, const link::LIVE_READING& reading);
  void SetUnits(const QString& units);
  void SetPaused(bool paused);
  bool Paused() const { return paused_; }
  // Redraws the chart from the history (the refresh timer calls it).
  void Refresh();
  // Writes the history to `file`; false when it cannot be written.
  bool ExportTo(const std::string& file) const;

  const link::CTrendHistory& History() const { return history_; }
  long long Redraws() const { return redraws_; }
  int LevelPointsShown() const;
  static constexpr double kWindowSeconds = 180.0;

 private:
  void Export();

  const CLanguageFile& language_;
  const APP_SETTINGS& settings_;
  IMessageBox& messages_;
  link::CTrendHistory history_;
  std::optional<IClock::time_point> start_;
  double lastT_ = 0.0;
  bool dirty_ = false;
  bool paused_ = false;
  long long redraws_ = 0;
  QString units_;

  QChartView* view_;
  QLineSeries* level_;
  std::array<QLineSeries*, 4> relays_{};
  QValueAxis* x_;
  QValueAxis* y_;
  QPushButton* pause_;
  QPushButton* export_;
  QTimer refresh_;
};

}  // namespace tolvane
