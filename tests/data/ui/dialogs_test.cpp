#include "data/ui/dialogs.h"
#include "widgets/colour.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

using namespace ondrel;

namespace {

// Closes every modal dialog that appears, after `delayMs`, and counts them.
class DialogCloser {
public:
  explicit DialogCloser(int delayMs) {
    m_timer.setInterval(1);
    QObject::connect(&m_timer, &QTimer::timeout, [this, delayMs] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!dialog) {
        m_current = nullptr;
        return;
      }
      if (dialog != m_current) {
        m_current = dialog;
        m_seen.restart();
        ++m_count;
      }
      if (m_seen.elapsed() >= delayMs)
        dialog->reject();
    });
    m_timer.start();
  }
  int count() const { return m_count; }

private:
  QTimer m_timer;
  QDialog* m_current = nullptr;
  QElapsedTimer m_seen;
  int m_count = 0;
};

const QString kFilter = QStringLiteral("csv file(*.csv)|*.csv|data file(*.dat)|*.dat");

TEST(FileDialog, CancelGivesEmptyText) {
  DialogCloser closer(50);
  EXPECT_EQ(FileDialog(nullptr, true, QStringLiteral("Save Data"), kFilter,
                       QStringLiteral("test.csv"), QStringLiteral("csv"), QString()),
            QString());
  EXPECT_EQ(closer.count(), 1);
}

TEST(FileDialog, AnInstantRefusalIsAskedAgainWithoutAName) {
  const struct {
    qint64 firstElapsed;
    QString firstPath;
    QStringList expectedNames;
    QString expectedPath;
  } cases[] = {
      {5, QString(), {QStringLiteral("bad:name"), QString()}, QStringLiteral("/tmp/b.csv")},
      {500, QString(), {QStringLiteral("bad:name")}, QString()}, // the user cancelled
      {5, QStringLiteral("/tmp/a.csv"), {QStringLiteral("bad:name")}, QStringLiteral("/tmp/a.csv")},
  };
  for (const auto& c : cases) {
    QStringList names;
    const QString path = FileDialogWith(
        [&](const QString& proposed) {
          names << proposed;
          return names.size() == 1 ? FileDialogAnswer{c.firstPath, c.firstElapsed}
                                   : FileDialogAnswer{QStringLiteral("/tmp/b.csv"), 900};
        },
        QStringLiteral("bad:name"));
    EXPECT_EQ(names, c.expectedNames);
    EXPECT_EQ(path, c.expectedPath);
  }
}

TEST(FileDialog, OverlongNameGivesEmptyTextWithoutDialog) {
  DialogCloser closer(0);
  EXPECT_EQ(FileDialog(nullptr, false, QStringLiteral("Open"), kFilter,
                       QString(261, QLatin1Char('a')), QString(), QString()),
            QString());
  EXPECT_EQ(closer.count(), 0);
}

TEST(ChooseColour, CancelGivesMinusOne) {
  DialogCloser closer(10);
  EXPECT_EQ(ChooseColour(), -1);
  EXPECT_EQ(closer.count(), 1);
  EXPECT_EQ(QColorDialog::customColor(0), QColor(Qt::black));
}

TEST(Tray, NoNotificationAreaMeansFalse) {
  QWidget window;
  // The offscreen platform has no notification area.
  EXPECT_FALSE(TrayIconAdd(&window, QStringLiteral("Ondrel"), QIcon(), 1, [] {}));
  EXPECT_FALSE(TrayIconRemove(&window, 1));
}

TEST(Colour, RedLivesInTheLowByte) {
  const std::pair<quint32, QColor> cases[] = {{255u, QColor(255, 0, 0)},
                                              {0xFF0000u, QColor(0, 0, 255)},
                                              {0x00FF00u, QColor(0, 255, 0)},
                                              {0x123456u, QColor(0x56, 0x34, 0x12)}};
  for (const auto& [value, colour] : cases) {
    EXPECT_EQ(toQColor(value), colour) << value;
    EXPECT_EQ(fromQColor(colour), value);
  }
  QPalette pal;
  pal.setColor(QPalette::Button, QColor(1, 2, 3));
  pal.setColor(QPalette::ButtonText, QColor(4, 5, 6));
  EXPECT_EQ(toQColor(0x8000000Fu, pal), QColor(1, 2, 3));
  EXPECT_EQ(toQColor(0x80000012u, pal), QColor(4, 5, 6));
}

} // namespace
