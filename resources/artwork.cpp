#include "resources/artwork.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <algorithm>

namespace kelvor {
namespace {

QImage BlankImage(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

}  // namespace

QImage DrawAppIcon(int size) {
  QImage image = BlankImage(size);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, false);
  const double cell = size / 4.0;
  const QColor grass(88, 168, 72), water(64, 128, 208), sand(224, 200, 120);
  const QColor tiles[4][4] = {{grass, grass, water, water},
                              {grass, sand, sand, water},
                              {sand, sand, grass, grass},
                              {water, sand, grass, grass}};
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      p.fillRect(QRectF(column * cell, row * cell, cell, cell), tiles[row][column]);
    }
  }
  QPen gridPen(QColor(255, 255, 0));
  gridPen.setWidthF(std::max(1.0, size / 32.0));
  p.setPen(gridPen);
  for (int i = 1; i < 4; ++i) {
    p.drawLine(QPointF(i * cell, 0), QPointF(i * cell, size));
    p.drawLine(QPointF(0, i * cell), QPointF(size, i * cell));
  }
  QPen framePen(QColor(255, 0, 0));
  framePen.setWidthF(std::max(2.0, size / 16.0));
  p.setPen(framePen);
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(cell, cell, cell, cell));
  p.setPen(QPen(Qt::black, std::max(1.0, size / 32.0)));
  p.drawRect(QRectF(0.5, 0.5, size - 1.0, size - 1.0));
  return image;
}

QIcon AppIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64, 128}) icon.addPixmap(QPixmap::fromImage(DrawAppIcon(size)));
  return icon;
}

QImage DrawFillCursorImage() {
  QImage image = BlankImage(CursorSize);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, true);
  // The bucket body, tipped so its mouth faces left.
  QPolygonF bucket;
  bucket << QPointF(12, 6) << QPointF(28, 10) << QPointF(26, 26) << QPointF(10, 22);
  p.setPen(QPen(Qt::black, 1.5));
  p.setBrush(Qt::white);
  p.drawPolygon(bucket);
  // The rim at the mouth, with paint in it.
  p.setBrush(QColor(0, 255, 255));
  p.drawEllipse(QPointF(11, 14), 3.0, 8.0);
  // Paint running out to the hot spot.
  QPainterPath drip;
  drip.moveTo(10, 12);
  drip.cubicTo(6, 12, 4, 13, 4, 15);
  drip.cubicTo(4, 17, 6, 18, 9, 18);
  p.setBrush(QColor(0, 255, 255));
  p.drawPath(drip);
  // The handle.
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(16, 2, 14, 14), 0, 180 * 16);
  return image;
}

QCursor FillCursor() {
  return QCursor(QPixmap::fromImage(DrawFillCursorImage()), 4, 15);
}

QImage DrawLineCursorImage() {
  QImage image = BlankImage(CursorSize);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, true);
  // Drawn along the diagonal from the point (8, 27) up to the upper right.
  p.translate(8, 27);
  p.rotate(-45);
  const QPen outline(Qt::black, 1.2);
  p.setPen(outline);
  // Sharpened wood, white.
  QPolygonF tip;
  tip << QPointF(0, 0) << QPointF(7, -3.5) << QPointF(7, 3.5);
  p.setBrush(Qt::white);
  p.drawPolygon(tip);
  // The lead at the very point, blue.
  QPolygonF lead;
  lead << QPointF(0, 0) << QPointF(2.5, -1.2) << QPointF(2.5, 1.2);
  p.setBrush(QColor(0, 0, 255));
  p.drawPolygon(lead);
  // The shaft, cyan with a blue stripe.
  p.setBrush(QColor(0, 255, 255));
  p.drawRect(QRectF(7, -3.5, 17, 7));
  p.setPen(QPen(QColor(0, 0, 255), 2));
  p.drawLine(QPointF(7.5, 0), QPointF(23.5, 0));
  // The eraser end, white.
  p.setPen(outline);
  p.setBrush(Qt::white);
  p.drawRect(QRectF(24, -3.5, 4, 7));
  return image;
}

QCursor LineCursor() {
  return QCursor(QPixmap::fromImage(DrawLineCursorImage()), 8, 27);
}

}  // namespace kelvor
