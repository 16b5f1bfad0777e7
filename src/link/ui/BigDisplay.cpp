#include "link/ui/BigDisplay.h"

#include <QApplication>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMetaObject>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

#include "common/CheckedFormat.h"
#include "link/ui/LiveTrend.h"
#include "shell/ui/DialogSupport.h"

namespace tolvane {

using namespace std::chrono_literals;

namespace {

enum : int {
  IDC_LEVEL = 1099,
  IDC_DISTANCE = 1114,
  IDC_RELAY1 = 1100,
  IDC_ACTIVITYLED = 1104,
  IDC_STATUS = 1108,
  IDC_UNITS = 1132,
  IDC_RELAYLABEL1 = 1144,
  IDC_MEASURED = 1148,
  IDC_ACTIVITYLABEL = 1149,
  IDC_DISCLAIMERTEXT = 1150,
  IDC_DISTANCELABEL = 1151,
};

constexpr int kFlashMs = 100;

// The big digits: Arial bold blue, 70 and 25 points on a screen of 1080 lines
// or more, smaller on a smaller screen.
QLabel* Digits(QWidget* parent, int id, double points) {
  auto* label = WithControlId(new QLabel(QStringLiteral("00000.0"), parent), id);
  double scale = 1.0;
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    scale = std::clamp(screen->availableGeometry().height() / 1080.0, 0.55, 1.0);
  }
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setBold(true);
  font.setPointSizeF(points * scale);
  label->setFont(font);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label->setAutoFillBackground(true);
  QPalette pal = label->palette();
  pal.setColor(QPalette::WindowText, QColor(0, 0, 255));
  pal.setColor(QPalette::Window, pal.color(QPalette::Button));
  label->setPalette(pal);
  // Wide enough for the widest text ("-----.-", "EMPTY", 9 digits).
  label->setMinimumWidth(QFontMetrics(font).horizontalAdvance(QStringLiteral("00000000.0")));
  return label;
}

}  // namespace

CBigDisplay::CBigDisplay(CProgramCore& core, bool demonstration, std::function<void()> help, QWidget* parent)
    : QWidget(parent),
      core_(core),
      demonstration_(demonstration),
      help_(std::move(help)),
      state_(core.tables.model),
      reader_(core.link, core.services.clock) {
  WithControlId(this, 110);
  level_ = Digits(this, IDC_LEVEL, 70.0);
  distance_ = Digits(this, IDC_DISTANCE, 25.0);
  for (int i = 0; i < 4; ++i) {
    relays_[static_cast<std::size_t>(i)] = new CLed(this);
    relayLabels_[static_cast<std::size_t>(i)] = WithControlId(new QLabel(this), IDC_RELAYLABEL1 + i);
  }
  activity_ = new CLed(this);
  status_ = WithControlId(new QLabel(this), IDC_STATUS);
  status_->setTextFormat(Qt::PlainText);
  status_->setWordWrap(true);
  units_ = WithControlId(new QComboBox(this), IDC_UNITS);
  measuredText_ = WithControlId(new QLabel(this), IDC_MEASURED);
  activityText_ = WithControlId(new QLabel(this), IDC_ACTIVITYLABEL);
  disclaimer_ = WithControlId(new QLabel(this), IDC_DISCLAIMERTEXT);
  disclaimer_->setWordWrap(true);
  distanceText_ = WithControlId(new QLabel(this), IDC_DISTANCELABEL);
  for (QLabel* l : {measuredText_, activityText_, disclaimer_, distanceText_}) {
    l->setTextFormat(Qt::PlainText);
  }
  trend_ = new CLiveTrend(core.language, core.settings, core.services.messages, this);

  auto* digits = new QGridLayout;
  digits->addWidget(measuredText_, 0, 0, 1, 2);
  digits->addWidget(level_, 1, 0, 1, 2);
  digits->addWidget(distanceText_, 2, 0);
  digits->addWidget(units_, 2, 1, Qt::AlignRight);
  digits->addWidget(distance_, 3, 0, 1, 2);

  auto* lamps = new QGridLayout;
  for (int i = 0; i < 4; ++i) {
    lamps->addWidget(relays_[static_cast<std::size_t>(i)], i, 0);
    lamps->addWidget(relayLabels_[static_cast<std::size_t>(i)], i, 1);
  }
  lamps->addWidget(activity_, 4, 0);
  lamps->addWidget(activityText_, 4, 1);
  lamps->setRowStretch(5, 1);

  auto* top = new QHBoxLayout;
  top->addLayout(digits, 0);
  top->addSpacing(24);
  top->addLayout(lamps, 0);
  top->addSpacing(12);
  top->addWidget(trend_, 1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 14, 16, 14);
  layout->addLayout(top, 1);
  layout->addWidget(status_);
  layout->addWidget(disclaimer_);

  connect(units_, &QComboBox::currentIndexChanged, this, &CBigDisplay::UnitsChanged);
  watch_.setInterval(500);
  connect(&watch_, &QTimer::timeout, this, &CBigDisplay::CheckReadings);
}

CBigDisplay::~CBigDisplay() {
  watch_.stop();
  reader_.Stop();
  core_.link.SetNotificationSink(nullptr);
}

QString CBigDisplay::Text(const char* key) const { return FromUtf8(core_.Text(key)); }

void CBigDisplay::Activate() {
  if (active_) {
    return;
  }
  active_ = true;
  level_->setText(QStringLiteral("00000.0"));
  distance_->setText(QStringLiteral("00000.0"));
  for (int i = 0; i < 4; ++i) {
    relays_[static_cast<std::size_t>(i)]->Attach(1100 + i, link::LED_RED, link::LED_GREY);
  }
  activity_->Attach(IDC_ACTIVITYLED, link::LED_GREEN, link::LED_GREY);

  {
    const QSignalBlocker block(units_);
    units_->clear();
    for (const std::string& name : link::LiveUnitNames(core_.tables.model)) {
      units_->addItem(FromUtf8(name));
    }
    units_->setCurrentIndex(core_.record.unitsIndex < units_->count() ? core_.record.unitsIndex : -1);
  }
  state_.Activate(core_.record.unitsIndex, core_.record.sensorHeight, core_.services.clock.now());
  state_.SetRawBytesMode(core_.settings.kestrineMode);
  trend_->SetUnits(units_->currentText());
  status_->clear();
  silentShown_ = false;

  if (demonstration_) {
    status_->setText(FromUtf8(Format(core_.Text("STATUS_MESSAGE28"), core_.tables.program.programId)));
  } else {
    link::CUsbLink& link = core_.link;
    if (link.IsLinkOpen()) {
      std::array<std::uint8_t, 8> frame{};
      link.ExecuteCommand(1, link::CMD_RESUME_STREAMING, frame, 200);
    }
    if (link.OpenLink() != 0) {
      core_.services.messages.Show(core_.Text("ERROR_MESSAGE63"), 0x10);
    } else if (!state_.ReaderStarted()) {
      reader_.Start(*this);
      state_.SetReaderStarted(true);
      watch_.start();
    }
  }

  for (int i = 0; i < 4; ++i) {
    relayLabels_[static_cast<std::size_t>(i)]->setText(Text("IDC_RELAY") + QStringLiteral(" %1").arg(i + 1));
  }
  measuredText_->setText(Text("IDC_MEASURED_TXT"));
  activityText_->setText(Text("IDC_ACTIVITY"));
  disclaimer_->setText(Text("IDC_DISCLAIMER"));
  distanceText_->setText(Text("IDC_DISTANCE_TXT"));
}

void CBigDisplay::StopReading() {
  watch_.stop();
  if (state_.ReaderStarted()) {
    reader_.Stop();
    state_.SetReaderStarted(false);
  }
  core_.link.CloseLink();
}

void CBigDisplay::Deactivate() {
  if (!active_) {
    return;
  }
  active_ = false;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  StopReading();
  // The sensor's pause after the link is closed.
  core_.services.clock.sleep_for(2000ms);
  QApplication::restoreOverrideCursor();
}

void CBigDisplay::OkOrCancel() {
  active_ = false;
  StopReading();
}

void CBigDisplay::OnStreamPacket(int check, const std::array<std::uint8_t, 6>& packet) {
  // On the reader's thread: the six bytes travel by value to the window's thread.
  const auto sent = std::chrono::steady_clock::now();
  QMetaObject::invokeMethod(
      this,
      [this, check, packet, sent] {
        const auto delay =
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - sent);
        stats_.maxDelay = std::max(stats_.maxDelay, delay);
        HandlePacket(check, packet);
      },
      Qt::QueuedConnection);
}

void CBigDisplay::HandlePacket(int check, const std::array<std::uint8_t, 6>& packet) {
  const link::LIVE_UPDATE u = state_.OnPacket(check, packet, core_.services.clock.now());
  if (u.ignored) {
    return;
  }
  ++stats_.packets;
  if (u.flash) {
    activity_->Flash(u.flashMs);
  }
  if (silentShown_) {
    status_->clear();
    silentShown_ = false;
  }
  if (u.checkError) {
    ++stats_.checkErrors;
    status_->setText(Text("ERROR_MESSAGE115"));
    return;
  }
  if (u.statusText) {
    status_->setText(FromUtf8(*u.statusText));
  }
  if (!u.values) {
    return;
  }
  level_->setText(FromUtf8(u.reading.levelText));
  distance_->setText(FromUtf8(u.reading.distanceText));
  for (std::size_t i = 0; i < 4; ++i) {
    relays_[i]->SetState(u.reading.relays[i]);
  }
  trend_->Add(core_.services.clock.now(), u.reading);
}

void CBigDisplay::CheckReadings() {
  switch (state_.Check(core_.services.clock.now(), core_.link.AdapterGone())) {
    case link::CLiveDisplayState::Watch::Fine:
      break;
    case link::CLiveDisplayState::Watch::Silent:
      if (!silentShown_) {
        status_->setText(Text("LIVE_MESSAGE1"));
        silentShown_ = true;
      }
      break;
    case link::CLiveDisplayState::Watch::Unplugged:
      StopReading();
      status_->setText(Text("LIVE_MESSAGE2"));
      silentShown_ = false;
      break;
  }
}

void CBigDisplay::UnitsChanged(int index) {
  if (index < 0) {
    return;
  }
  state_.SelectUnits(index);
  trend_->SetUnits(units_->currentText());
}

void CBigDisplay::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) {
    Activate();
  }
}

void CBigDisplay::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (!event->spontaneous()) {
    Deactivate();
  }
}

void CBigDisplay::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      event->accept();
      return;
    case Qt::Key_F1:
      event->accept();
      if (help_) {
        help_();
      }
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

void CBigDisplay::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    event->accept();
    if (help_) {
      help_();
    }
    return;
  }
  QWidget::mousePressEvent(event);
}

void CBigDisplay::contextMenuEvent(QContextMenuEvent* event) { event->accept(); }

}  // namespace tolvane
