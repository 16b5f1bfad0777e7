#include "link/ui/Led.h"

#include <QPainter>
#include <QRadialGradient>

#include "shell/ui/DialogSupport.h"

namespace tolvane {

namespace {
constexpr int kLampSize = 27;

QColor LampColour(int colour) {
  switch (colour) {
    case link::LED_RED:
      return QColor(224, 32, 32);
    case link::LED_GREEN:
      return QColor(32, 192, 48);
    case link::LED_BLUE:
      return QColor(40, 80, 230);
    case link::LED_YELLOW:
      return QColor(240, 210, 30);
    default:
      return QColor(128, 128, 128);
  }
}
}  // namespace

CLed::CLed(QWidget* parent) : QLabel(parent) {
  setFixedSize(kLampSize, kLampSize);
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &CLed::FlashTimerFired);
  Show();
}

QPixmap CLed::Picture(int colour, const QColor& face) {
  QPixmap pixmap(kLampSize, kLampSize);
  pixmap.fill(face);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor c = LampColour(colour);
  // The light grey rim of the lamp is the button face; a dark ring holds the glass.
  p.setPen(QPen(QColor(64, 64, 64), 1.5));
  QRadialGradient glow(QPointF(10, 9), 14);
  glow.setColorAt(0, c.lighter(170));
  glow.setColorAt(1, c.darker(130));
  p.setBrush(glow);
  p.drawEllipse(QRectF(3, 3, kLampSize - 6, kLampSize - 6));
  return pixmap;
}

void CLed::Attach(int controlId, int onColour, int offColour) {
  WithControlId(this, controlId);
  timer_.stop();
  state_ = link::CLedState(onColour, offColour);
  Show();
}

void CLed::SetState(bool on) {
  if (state_.SetState(on)) {
    Show();
  }
}

void CLed::Toggle() {
  state_.Toggle();
  Show();
}

void CLed::Flash(int milliseconds) {
  if (state_.Flash()) {
    Show();
    timer_.start(milliseconds);
  }
}

void CLed::FlashTimerFired() {
  timer_.stop();
  state_.FlashEnded();
  Show();
}

void CLed::Show() {
  setPixmap(Picture(state_.Colour(), palette().color(QPalette::Button)));
  setProperty("ledColour", state_.Colour());
}

}  // namespace tolvane
