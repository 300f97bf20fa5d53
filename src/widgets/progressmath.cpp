#include "widgets/progressmath.h"

#include "data/support/numberformat.h"

#include <QLinearGradient>
#include <QPainter>

namespace ondrel {

int progressFillWidth(qint32 value, qint32 min, qint32 max, int width) {
  const double r = static_cast<double>(value) - min;
  const double s = static_cast<double>(max) - min;
  return static_cast<int>(roundHalfEven(r / s * width));
}

int progressFillTop(qint32 value, qint32 min, qint32 max, int height) {
  const double r = static_cast<double>(value) - min;
  const double s = static_cast<double>(max) - min;
  return static_cast<int>(roundHalfEven(height - r / s * height));
}

QString progressCaption(int code, qint32 value, qint32 min, qint32 max, const QString& custom) {
  static const char* const pictures[] = {"0%", "0.0%", "0.00%"};
  const double span = static_cast<double>(max) - min;
  switch (code) {
  case 1:
    return QString::number(value);
  case 2:
  case 3:
  case 4:
    return Format(value / span, QString::fromLatin1(pictures[code - 2]));
  case 5:
  case 6:
  case 7:
    return Format((static_cast<double>(value) - min) / span,
                  QString::fromLatin1(pictures[code - 5]));
  case 99:
    return custom;
  default:
    return {};
  }
}

QPoint progressCaptionPos(QSize bar, QSize text) {
  return {static_cast<int>(roundHalfEven(bar.width() - text.width()) / 2),
          static_cast<int>(roundHalfEven(bar.height() - text.height()) / 2)};
}

QImage firmwareBarPicture() {
  QImage image(233, 25, QImage::Format_RGB32);
  image.fill(QColor(0xF0, 0xF0, 0xF0));
  QPainter p(&image);
  // Grey frame: dark outer line, light inner line.
  p.setPen(QColor(0x80, 0x80, 0x80));
  p.drawRect(0, 0, 232, 24);
  p.setPen(QColor(0xC0, 0xC0, 0xC0));
  p.drawRect(1, 1, 230, 22);
  // Green segments, lighter along the middle.
  QLinearGradient green(0, 3, 0, 22);
  green.setColorAt(0, QColor(0x00, 0x9A, 0x1E));
  green.setColorAt(0.45, QColor(0x7C, 0xE8, 0x7F));
  green.setColorAt(1, QColor(0x00, 0x8A, 0x1A));
  for (int x = 3; x + 8 <= 230; x += 10)
    p.fillRect(QRect(x, 3, 8, 19), green);
  return image;
}

} // namespace ondrel
