#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;

namespace ondrel {

// The notice window: fades in to 200/255 opaque, and fades out and unloads itself after a click
// on it. A request to close it while it is shown starts the fade-out instead.
class frmMsg : public QWidget {
  Q_OBJECT

public:
  explicit frmMsg(QWidget* owner);

  // Shows `text` and starts fading in from fully transparent.
  void showMessage(const QString& text);
  QString message() const;
  int opacity() const { return m_opacity; }
  bool fadingIn() const { return tmrIn.isActive(); }
  bool fadingOut() const { return tmrOut.isActive(); }

  // One step of each fade (what their 25 ms timers run).
  void fadeInTick();
  void fadeOutTick();
  // The click: the fade-in stops and the fade-out starts.
  void startFadeOut();

protected:
  void closeEvent(QCloseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void applyOpacity();

  QLabel* lblMsg;
  QTimer tmrIn, tmrOut;
  int m_opacity = 0;
  bool m_unloading = false;
};

} // namespace ondrel
