#pragma once

#include <QImage>
#include <QWidget>

namespace ondrel {

// A progress bar drawn from pictures: the part of the foreground picture that matches the
// value is painted over the background, with an optional caption in the middle. Values out of
// range are rejected with ComponentError (code 380) and change nothing.
class ucProgressBar : public QWidget {
  Q_OBJECT

public:
  explicit ucProgressBar(QWidget* parent = nullptr);

  qint32 Value() const { return m_value; }
  void setValue(qint32 value);
  qint32 Min() const { return m_min; }
  void setMin(qint32 min);
  qint32 Max() const { return m_max; }
  void setMax(qint32 max);
  qint32 Orientation() const { return m_orientation; }
  void setOrientation(qint32 orientation);
  qint32 CaptionFormat() const { return m_captionFormat; }
  void setCaptionFormat(qint32 code);
  QString CaptionCustom() const { return m_captionCustom; }
  void setCaptionCustom(const QString& text);
  QImage BarPictureFore() const { return m_fore; }
  void setBarPictureFore(const QImage& picture);
  QImage BarPictureBack() const { return m_back; }
  // The empty look; the bar takes the picture's size.
  void setBarPictureBack(const QImage& picture);
  quint32 FontColor() const { return m_fontColor; }
  void setFontColor(quint32 colour);
  qint32 MousePointer() const { return m_mousePointer; }
  void setMousePointer(qint32 pointer) { m_mousePointer = pointer; }
  QImage MouseIcon() const { return m_mouseIcon; }
  void setMouseIcon(const QImage& icon);

  // The caption the bar shows now (empty for none).
  QString caption() const;
  // "50 %" style value and caption for assistive tools.
  QString accessibleValueText() const;
  // The bar as it is painted now.
  QImage grabImage();

  void Refresh() { update(); }
  QSize sizeHint() const override;

signals:
  void Click();
  void ArrivedFirst();
  void ArrivedLast();
  void Change();

protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

private:
  void valueChanged();

  qint32 m_value = 0;
  qint32 m_min = 0;
  qint32 m_max = 100;
  qint32 m_lastReported = 0;
  qint32 m_orientation = 0;
  qint32 m_captionFormat = 0;
  QString m_captionCustom;
  QImage m_fore;
  QImage m_back;
  quint32 m_fontColor = 0x80000012;
  qint32 m_mousePointer = 0;
  QImage m_mouseIcon;
};

} // namespace ondrel
