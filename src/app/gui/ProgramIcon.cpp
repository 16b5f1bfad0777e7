#include "app/gui/ProgramIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace tolvane {

QImage DrawProgramIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  // Drawn on a 64 x 64 grid, like the SVG.
  p.scale(size / 64.0, size / 64.0);

  QLinearGradient tile(0, 4, 0, 60);
  tile.setColorAt(0, QColor(0x24, 0x5e, 0xa3));
  tile.setColorAt(1, QColor(0x10, 0x30, 0x5a));
  p.setPen(Qt::NoPen);
  p.setBrush(tile);
  p.drawRoundedRect(QRectF(4, 4, 56, 56), 12, 12);

  // The liquid, then the tank around it.
  QLinearGradient liquid(0, 36, 0, 54);
  liquid.setColorAt(0, QColor(0x4f, 0xd8, 0xcf));
  liquid.setColorAt(1, QColor(0x1f, 0x9e, 0xa8));
  p.setBrush(liquid);
  QPainterPath fill;
  fill.addRoundedRect(QRectF(17.5, 37, 29, 16.5), 2, 2);
  p.drawPath(fill);
  p.setPen(QPen(QColor(0x7a, 0xf0, 0xe6), 1.5));
  p.drawLine(QPointF(18, 37), QPointF(46, 37));

  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0xe8, 0xf1, 0xfb), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawRoundedRect(QRectF(16, 24, 32, 31), 3, 3);

  // The sensor on the tank's roof and its sound going down to the surface.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xf5, 0xb8, 0x3d));
  p.drawRoundedRect(QRectF(26, 15, 12, 10), 2, 2);
  p.setBrush(Qt::NoBrush);
  for (int i = 0; i < 3; ++i) {
    const double r = 4.0 + 3.0 * i;
    QColor wave(0xf5, 0xb8, 0x3d);
    wave.setAlphaF(1.0f - 0.25f * static_cast<float>(i));
    p.setPen(QPen(wave, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(32 - r, 25 - r, 2 * r, 2 * r), 225 * 16, 90 * 16);
  }
  p.end();
  return image;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
    icon.addPixmap(QPixmap::fromImage(DrawProgramIcon(size)));
  }
  return icon;
}

}  // namespace tolvane
