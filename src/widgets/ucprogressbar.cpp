#include "widgets/ucprogressbar.h"

#include "widgets/accessibility.h"
#include "widgets/colour.h"
#include "widgets/componenterror.h"
#include "widgets/progressmath.h"

#include <QEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

namespace ondrel {

ucProgressBar::ucProgressBar(QWidget* parent) : QWidget(parent) {
  installComponentAccessibility();
  resize(233, 25);
}

QSize ucProgressBar::sizeHint() const {
  if (!m_back.isNull())
    return m_back.size();
  return {233, 25};
}

void ucProgressBar::setValue(qint32 value) {
  if (value < m_min || value > m_max)
    throw ComponentError::invalidValue();
  m_value = value;
  update();
  notifyAccessibleValue(this, accessibleValueText());
  if (value != m_lastReported) {
    m_lastReported = value;
    emit Change();
    if (value == m_max)
      emit ArrivedLast();
    if (value == m_min)
      emit ArrivedFirst();
  }
}

void ucProgressBar::setMax(qint32 max) {
  if (m_min >= max)
    throw ComponentError::invalidValue();
  m_max = max;
  update();
}

void ucProgressBar::setMin(qint32 min) {
  if (min >= m_max)
    throw ComponentError::invalidValue();
  m_min = min;
  setValue(min);
}

void ucProgressBar::setOrientation(qint32 orientation) {
  m_orientation = orientation;
  update();
}

void ucProgressBar::setCaptionFormat(qint32 code) {
  m_captionFormat = code;
  update();
  notifyAccessibleValue(this, accessibleValueText());
}

void ucProgressBar::setCaptionCustom(const QString& text) {
  m_captionCustom = text;
  update();
}

void ucProgressBar::setBarPictureFore(const QImage& picture) {
  m_fore = picture;
  update();
}

void ucProgressBar::setBarPictureBack(const QImage& picture) {
  m_back = picture;
  if (!m_back.isNull())
    resize(m_back.size());
  update();
}

void ucProgressBar::setFontColor(quint32 colour) {
  m_fontColor = colour;
  update();
}

void ucProgressBar::setMouseIcon(const QImage& icon) {
  m_mouseIcon = icon;
  if (!icon.isNull())
    setCursor(QCursor(QPixmap::fromImage(icon)));
  else
    unsetCursor();
}

QString ucProgressBar::caption() const {
  return progressCaption(m_captionFormat, m_value, m_min, m_max, m_captionCustom);
}

QString ucProgressBar::accessibleValueText() const {
  const QString percent = progressCaption(5, m_value, m_min, m_max, {});
  const QString c = caption();
  return c.isEmpty() || c == percent ? percent
                                     : percent + QStringLiteral(" (") + c + QLatin1Char(')');
}

QImage ucProgressBar::grabImage() {
  QImage image(size(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  render(&image);
  return image;
}

void ucProgressBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int w = width(), h = height();
  if (!m_back.isNull())
    p.drawImage(QPoint(0, 0), m_back);
  else
    p.fillRect(rect(), palette().color(QPalette::Button));
  if (!m_fore.isNull()) {
    if (m_orientation == 1) {
      const int t = std::clamp(progressFillTop(m_value, m_min, m_max, h), 0, h);
      p.drawImage(QPoint(0, t), m_fore, QRect(0, t, w, h - t));
    } else {
      const int fill = std::clamp(progressFillWidth(m_value, m_min, m_max, w), 0, w);
      p.drawImage(QPoint(0, 0), m_fore, QRect(0, 0, fill, h));
    }
  }
  const QString text = caption();
  if (!text.isEmpty()) {
    const QFontMetrics fm(font());
    const QPoint at = progressCaptionPos(size(), QSize(fm.horizontalAdvance(text), fm.height()));
    p.setPen(toQColor(m_fontColor, palette()));
    p.drawText(at.x(), at.y() + fm.ascent(), text);
  }
}

void ucProgressBar::mouseReleaseEvent(QMouseEvent* event) {
  if (isEnabled() && rect().contains(event->position().toPoint()))
    emit Click();
  QWidget::mouseReleaseEvent(event);
}

void ucProgressBar::resizeEvent(QResizeEvent*) {
  if (!m_back.isNull() && size() != m_back.size())
    resize(m_back.size());
}

void ucProgressBar::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange)
    update();
  QWidget::changeEvent(event);
}

} // namespace ondrel
