#include "link/ui/LiveTrend.h"

#include <QChart>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>

#include "common/CheckedFormat.h"
#include "common/FileSystem.h"
#include "shell/ui/DialogSupport.h"

namespace tolvane {

namespace {
constexpr int kRefreshMs = 250;
constexpr std::size_t kMaxChartPoints = 1200;
// The relays sit below the level's range, one band each.
constexpr double kRelayBand = 1.0;
// The level's axis reaches this many spans of the shown levels below their
// lowest and above their highest reading: the level takes the upper part of
// the chart, and the relay bands the room below it.
constexpr double kSpansBelow = 1.6;
constexpr double kSpansAbove = 0.1;
// The relays' axis: its four bands end below the level's lowest reading,
// with a gap of a tenth of a span.
constexpr double kRelayAxisTop = 4 * kRelayBand * (kSpansBelow + 1.0 + kSpansAbove) / (kSpansBelow - 0.1);

// A legend entry: a square in the series' colour and its name, never cut.
QLabel* LegendEntry(const QString& name, const QColor& colour, int index, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(QStringLiteral("legend%1").arg(index));
  label->setTextFormat(Qt::RichText);
  label->setText(
      QStringLiteral("<span style=\"color:%1\">&#9632;</span>&nbsp;%2").arg(colour.name(), name.toHtmlEscaped()));
  label->setMinimumWidth(label->sizeHint().width());
  return label;
}
}  // namespace

CLiveTrend::CLiveTrend(const CLanguageFile& language, const APP_SETTINGS& settings, IMessageBox& messages,
                       QWidget* parent)
    : QWidget(parent), language_(language), settings_(settings), messages_(messages) {
  setObjectName(QStringLiteral("liveTrend"));
  auto* chart = new QChart;
  // The chart's own legend cuts its names to fit one row ("Relai..." four
  // times on a narrow page): the legend is a grid of whole names below it.
  chart->legend()->hide();
  chart->setMargins(QMargins(4, 4, 4, 4));
  auto* legend = new QGridLayout;
  legend->setHorizontalSpacing(fontMetrics().averageCharWidth() * 2);
  legend->setVerticalSpacing(2);
  const QColor levelColour(0, 0, 255);
  level_ = new QLineSeries(chart);
  level_->setName(LanguageText(language_, settings_, "IDC_MEASURED_TXT"));
  level_->setPen(QPen(levelColour, 2));
  legend->addWidget(LegendEntry(level_->name(), levelColour, 0, this), 0, 0);
  chart->addSeries(level_);
  x_ = new QValueAxis(chart);
  x_->setLabelFormat(QStringLiteral("%.0f s"));
  y_ = new QValueAxis(chart);
  y_->setLabelFormat(QStringLiteral("%.1f"));
  chart->addAxis(x_, Qt::AlignBottom);
  chart->addAxis(y_, Qt::AlignLeft);
  level_->attachAxis(x_);
  level_->attachAxis(y_);
  // The relays on an axis of their own: bands 0..4 below the level.
  auto* r = new QValueAxis(chart);
  r->setRange(0, kRelayAxisTop);
  r->setVisible(false);
  chart->addAxis(r, Qt::AlignRight);
  const QColor colours[4] = {QColor(200, 30, 30), QColor(220, 120, 0), QColor(150, 0, 150), QColor(0, 140, 110)};
  for (int i = 0; i < 4; ++i) {
    auto* s = new QLineSeries(chart);
    s->setName(LanguageText(language_, settings_, "IDC_RELAY") + QStringLiteral(" %1").arg(i + 1));
    s->setPen(QPen(colours[i], 1.5));
    legend->addWidget(LegendEntry(s->name(), colours[i], i + 1, this), (i + 1) / 3, (i + 1) % 3);
    chart->addSeries(s);
    s->attachAxis(x_);
    s->attachAxis(r);
    relays_[static_cast<std::size_t>(i)] = s;
  }
  view_ = new QChartView(chart, this);
  view_->setRenderHint(QPainter::Antialiasing, false);
  view_->setMinimumSize(360, 240);

  pause_ = WithControlId(new QPushButton(LanguageText(language_, settings_, "LIVE_MESSAGE3"), this), 1160);
  pause_->setCheckable(true);
  pause_->setAutoDefault(false);
  export_ = WithControlId(new QPushButton(LanguageText(language_, settings_, "LIVE_MESSAGE4"), this), 1161);
  export_->setAutoDefault(false);
  pause_->setToolTip(LanguageText(language_, settings_, "TIP_PAUSECHART"));
  export_->setToolTip(LanguageText(language_, settings_, "TIP_EXPORTREADINGS"));
  connect(pause_, &QPushButton::toggled, this, &CLiveTrend::SetPaused);
  connect(export_, &QPushButton::clicked, this, &CLiveTrend::Export);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(pause_);
  buttons->addWidget(export_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_, 1);
  layout->addLayout(legend);
  layout->addLayout(buttons);

  refresh_.setInterval(kRefreshMs);
  connect(&refresh_, &QTimer::timeout, this, &CLiveTrend::Refresh);
  refresh_.start();
}

void CLiveTrend::Add(IClock::time_point at, const link::LIVE_READING& reading) {
  if (!start_) {
    start_ = at;
  }
  lastT_ = std::chrono::duration<double>(at - *start_).count();
  history_.Add(link::MakeTrendPoint(lastT_, reading));
  dirty_ = true;
}

void CLiveTrend::SetUnits(const QString& units) {
  // Points of other units would not fit the new axis: the history starts again.
  if (units != units_) {
    units_ = units;
    history_.Clear();
    start_.reset();
    dirty_ = true;
  }
  y_->setTitleText(units);
}

void CLiveTrend::SetPaused(bool paused) {
  paused_ = paused;
  if (pause_->isChecked() != paused) {
    pause_->setChecked(paused);
  }
  if (!paused) {
    Refresh();
  }
}

void CLiveTrend::Refresh() {
  if (paused_ || !dirty_) {
    return;
  }
  dirty_ = false;
  ++redraws_;
  const double to = lastT_;
  const double from = std::max(0.0, to - kWindowSeconds);
  const auto levels = link::TrendLevels(history_, from, to, kMaxChartPoints);
  QList<QPointF> points;
  points.reserve(static_cast<qsizetype>(levels.size()));
  double lo = std::numeric_limits<double>::max();
  double hi = std::numeric_limits<double>::lowest();
  for (const link::TREND_XY& p : levels) {
    points.append(QPointF(p.x, p.y));
    lo = std::min(lo, p.y);
    hi = std::max(hi, p.y);
  }
  level_->replace(points);
  for (int i = 0; i < 4; ++i) {
    QList<QPointF> steps;
    for (const link::TREND_XY& p : link::TrendRelaySteps(history_, i, from, to, (3 - i) * kRelayBand)) {
      steps.append(QPointF(p.x, p.y));
    }
    relays_[static_cast<std::size_t>(i)]->replace(steps);
  }
  x_->setRange(from, std::max(from + 10.0, to));
  if (points.isEmpty()) {
    y_->setRange(0, 1);
  } else {
    // The level takes the upper part of the chart, above the relay bands.
    const double span = std::max(hi - lo, 1.0);
    y_->setRange(lo - span * kSpansBelow, hi + span * kSpansAbove);
  }
}

int CLiveTrend::LevelPointsShown() const { return static_cast<int>(level_->count()); }

bool CLiveTrend::ExportTo(const std::string& file) const {
  return WriteFileReplacing(file, link::TrendCsvText(history_, units_.toStdString()));
}

void CLiveTrend::Export() {
  const QString file =
      SaveFileName(this, FromUtf8(WithoutAccessKeys(language_.Text("LIVE_MESSAGE4", settings_.languageNumber))),
                   QString(), QStringLiteral("CSV (*.csv)"));
  if (file.isEmpty()) {
    return;
  }
  if (!ExportTo(file.toStdString())) {
    messages_.Show(Format(language_.Text("LIVE_MESSAGE5", settings_.languageNumber), file.toStdString()), 0x10);
  }
}

}  // namespace tolvane
