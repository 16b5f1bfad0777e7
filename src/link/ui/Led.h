// A lamp of the live page: a 27x27 picture in one of five colours, on or off,
// that can flash for a while on a one-shot timer.
#pragma once

#include <QLabel>
#include <QTimer>

#include "link/LiveDisplay.h"

namespace tolvane {

class CLed : public QLabel {
  Q_OBJECT

 public:
  explicit CLed(QWidget* parent = nullptr);

  // Takes the control's place: its id, colours, and off.
  void Attach(int controlId, int onColour, int offColour);
  void SetState(bool on);
  void Toggle();
  void Flash(int milliseconds);
  bool On() const { return state_.On(); }
  int Colour() const { return state_.Colour(); }
  bool Flashing() const { return timer_.isActive(); }
  // The flash's timer (tests fire it without waiting).
  void FlashTimerFired();

  // The lamp picture of a colour number, light grey drawn in the button face.
  static QPixmap Picture(int colour, const QColor& face);

 private:
  void Show();

  link::CLedState state_;
  QTimer timer_;
};

}  // namespace tolvane
