#include "data/settings.h"
#include "data/support/langtext.h"
#include "data/ui/deviceslot.h"
#include "data/ui/frmmain.h"
#include "data/ui/settingscommands.h"
#include "data/ui/settingsdialogs.h"
#include "link/memoryport.h"
#include "support/tempfolder.h"
#include "test/ui/devctrl.h"
#include "widgets/curvegraph.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace ondrel;

namespace {

const QByteArray kComment = QByteArray(kSettingsFileComment) + "\r\n";

class SettingsWindow : public ::testing::Test {
protected:
  ondrel::testing::TempProgramFolder home;
  std::unique_ptr<frmMain> window;
  QStringList told; // messages of the coordinate dialog

  void TearDown() override { setLanguageSetting(0); }

  // The window started on a settings file holding `ini` (none when null).
  void start(const QByteArray& ini = kComment) {
    window.reset();
    if (!ini.isNull())
      home.write(QStringLiteral("ondrel.ini"), ini);
    window = std::make_unique<frmMain>(std::make_unique<MemoryPorts>());
    window->ask = [](QMessageBox::Icon, const QString&, QMessageBox::StandardButtons) {
      return QMessageBox::Ok;
    };
    window->tellCoordinateError = [this](const QString& text) { told << text; };
  }
  QString file() const { return QString::fromLocal8Bit(home.read(QStringLiteral("ondrel.ini"))); }
  QString key(const SettingsKey& k) const {
    return IniDocument::fromText(file()).value(QLatin1String(k.section), QLatin1String(k.key));
  }
  void trigger(const char* name) { window->action(QLatin1String(name))->trigger(); }
  CurveGraph& graph(int s = 0) { return window->slot(s).graph(); }

  // Opens a waiting dialog from its menu entry and runs `script` on it while the window waits;
  // a script that leaves it open gets it cancelled.
  template <typename Dialog>
  void withDialog(const char* menu, const std::function<void(Dialog&)>& script) {
    bool ran = false;
    auto shown = [this]() -> Dialog* {
      for (Dialog* d : window->findChildren<Dialog*>())
        if (d->isVisible())
          return d;
      return nullptr;
    };
    QTimer::singleShot(0, window.get(), [&] {
      Dialog* d = shown();
      ASSERT_TRUE(d);
      ran = true;
      script(*d);
      if ((d = shown()))
        d->close();
    });
    trigger(menu);
    EXPECT_TRUE(ran);
  }
  template <typename T> static T* child(QWidget& w, const char* name) {
    return w.findChild<T*>(QLatin1String(name));
  }
};

TEST_F(SettingsWindow, FreshProgramFolderGetsTheCommentLineAndTheDefaultLook) {
  start(QByteArray()); // no settings file at all
  EXPECT_EQ(file(), QLatin1String(kComment));
  const CurveGraph& g = graph();
  EXPECT_EQ(g.MinY(0), 0.0f);
  EXPECT_EQ(g.MaxY(0), 20.0f);
  EXPECT_EQ(g.MaxY(1), 10.0f);
  EXPECT_EQ(g.MaxX(), 100.0f);
  EXPECT_EQ(g.CurveLineColor(0), 16711680u);
  EXPECT_EQ(g.CurveLineColor(1), 255u);
  EXPECT_EQ(g.GridType1(), 0);
  EXPECT_EQ(g.GridType2(), 2);
  EXPECT_EQ(g.BackColor(), 0xFFFFFFu);
  EXPECT_EQ(g.GridColor(), 8421504u);
  EXPECT_EQ(g.AxesColor(), 0u);
  EXPECT_EQ(g.Line(), 2);
  EXPECT_FALSE(g.ShowLegend(0));
  EXPECT_TRUE(window->prefs().CSV);
}

TEST_F(SettingsWindow, StartUpAppliesTheFileToSlotZeroAndAddedSlots) {
  start(kComment + "[AUTO]\r\nCSV=False\r\nTEMP=True\r\n"
                   "[DATA]\r\nVCOL0=65280\r\nCCOL0=16776960\r\nPCOL=1\r\nTCOL=2\r\nMDOT=1\r\n"
                   "SDOT=0\r\nBCOL=0\r\nGCOL=3\r\nACOL=4\r\nLINE=1\r\nSLA=1\r\nSCALE=0\r\n"
                   "[CURVE]\r\nVY0=5\r\nVY1=5.1\r\nCY0=1\r\nCY1=2\r\nCT0=50\r\nCT1=55\r\n");
  window->action(QStringLiteral("menuAddDev"))->trigger();
  for (int s = 0; s < 2; ++s) {
    SCOPED_TRACE(s);
    const CurveGraph& g = graph(s);
    EXPECT_FLOAT_EQ(g.MinY(0), 5.0f);
    EXPECT_FLOAT_EQ(g.MaxY(0), 5.1f);
    EXPECT_FLOAT_EQ(g.MaxY(1), 2.0f);
    EXPECT_NE(g.MinX(), 50.0f); // 50..55 is too narrow: the graph keeps its own range
    EXPECT_EQ(g.CurveLineColor(0), 65280u);
    EXPECT_EQ(g.CurveLineColor(2), 16776960u); // the current curve's colour
    EXPECT_EQ(g.GridType1(), 2);
    EXPECT_EQ(g.GridType2(), 0);
    EXPECT_EQ(g.BackColor(), 0u);
    EXPECT_EQ(g.GridColor(), 3u);
    EXPECT_EQ(g.AxesColor(), 4u);
    EXPECT_EQ(g.Line(), 1);
    EXPECT_TRUE(g.ShowLegend(0));
    EXPECT_EQ(window->slot(s).panel().PwrColor(), 1u);
    EXPECT_EQ(window->slot(s).panel().TimeColor(), 2u);
    EXPECT_EQ(window->slot(s).panel().VolColor(), 65280u);
  }
  EXPECT_FALSE(window->prefs().CSV);
  EXPECT_EQ(window->prefs().SCALE, 0);
  EXPECT_TRUE(window->action(QStringLiteral("menuTemp"))->isChecked());
}

TEST_F(SettingsWindow, UnusableValuesAreLoggedByKeyAndTheRestKept) {
  start(kComment +
        "junk without equals\r\n[DATA]\r\nVCOL0=-1\r\nCCOL0=65280\r\nBCOL=1e99\r\n"
        "[CURVE]\r\nVY1=abc\r\n[COMM]\r\nPORT1=x\r\n[MINE]\r\nkept=yes\r\n" +
        QByteArray("\0\xff\x80", 3) + "\r\n");
  EXPECT_EQ(graph().CurveLineColor(0), 16711680u);
  EXPECT_EQ(graph().CurveLineColor(1), 65280u);
  EXPECT_EQ(graph().BackColor(), 0xFFFFFFu);
  EXPECT_EQ(graph().MaxY(0), 20.0f);
  const QString log = home.mainLog();
  for (const char* k : {"DATA/VCOL0", "DATA/BCOL", "CURVE/VY1", "COMM/PORT1"})
    EXPECT_TRUE(log.contains(QLatin1String(k))) << k << "\n" << log.toStdString();
  EXPECT_TRUE(log.contains(QStringLiteral("ErrIni")));
  // A write keeps the rest of the file.
  trigger("menuTemp");
  EXPECT_TRUE(file().contains(QStringLiteral("junk without equals")));
  EXPECT_TRUE(file().contains(QStringLiteral("kept=yes")));
  EXPECT_EQ(key(settings::TEMP), QStringLiteral("True"));
}

TEST_F(SettingsWindow, LanguageTwoLeavesTextsUnconverted) {
  start(kComment + "[LANGUAGE]\r\nLANG=2\r\n");
  EXPECT_EQ(languageSetting(), 0);
  start(kComment + "[LANGUAGE]\r\nLANG=1\r\n");
  EXPECT_EQ(languageSetting(), 1);
}

TEST_F(SettingsWindow, TemperatureDataTogglesAndWrites) {
  start(kComment + "; my note\r\n\r\n[OTHER]\r\nx=1\r\n");
  QAction* temp = window->action(QStringLiteral("menuTemp"));
  temp->trigger();
  EXPECT_TRUE(temp->isChecked());
  EXPECT_TRUE(window->prefs().TEMP);
  EXPECT_EQ(key(settings::TEMP), QStringLiteral("True"));
  temp->trigger();
  EXPECT_FALSE(temp->isChecked());
  EXPECT_EQ(key(settings::TEMP), QStringLiteral("False"));
  EXPECT_TRUE(file().startsWith(QLatin1String(kComment) +
                                QStringLiteral("; my note\r\n\r\n[OTHER]\r\nx=1\r\n")));
}

TEST_F(SettingsWindow, SoftwareSettingWritesItsKeysInOrder) {
  start();
  trigger("menuSoft"); // not waited for
  auto* sw = window->findChild<frmSw*>();
  ASSERT_TRUE(sw);
  EXPECT_TRUE(child<QRadioButton>(*sw, "optCsv")->isChecked());
  EXPECT_TRUE(child<QLineEdit>(*sw, "txtPath")
                  ->text()
                  .endsWith(QStringLiteral("Data") + QDir::separator()));
  child<QCheckBox>(*sw, "chkMsg")->setChecked(true);
  child<QCheckBox>(*sw, "chkDisp")->setChecked(true);
  child<QRadioButton>(*sw, "optDat")->setChecked(true);
  EXPECT_FALSE(child<QCheckBox>(*sw, "chkBdf")->isChecked());
  child<QCheckBox>(*sw, "chkBdf")->setChecked(true);
  sw->okClicked();
  EXPECT_TRUE(window->prefs().BDF);
  EXPECT_TRUE(window->prefs().MSG);
  EXPECT_TRUE(window->prefs().DISP);
  EXPECT_FALSE(window->prefs().SAVE);
  EXPECT_FALSE(window->prefs().CSV);
  EXPECT_TRUE(file().contains(QStringLiteral(
      "[AUTO]\r\nMSG=True\r\nSAVE=False\r\nHIDE=False\r\nDISP=True\r\nCSV=False\r\nBDF=True\r\n")))
      << file().toStdString();

  trigger("menuSoft"); // Cancel: nothing changes
  sw = window->findChild<frmSw*>();
  ASSERT_TRUE(sw);
  EXPECT_TRUE(child<QCheckBox>(*sw, "chkMsg")->isChecked());
  child<QCheckBox>(*sw, "chkMsg")->setChecked(false);
  sw->close();
  EXPECT_TRUE(window->prefs().MSG);
}

TEST_F(SettingsWindow, DisplaySettingChangesEverySlotAndShowHidesTheThirdCurve) {
  start();
  window->action(QStringLiteral("menuAddDev"))->trigger();
  qint64 nextColour = 0x112233;
  window->chooseColour = [&] { return nextColour; };
  withDialog<frmShow>("menuDisp", [&](frmShow& d) {
    EXPECT_FALSE(child<QRadioButton>(d, "optTemp")->isEnabled()); // no sensor
    EXPECT_EQ(child<ColourSwatch>(d, "lblY2")->colour(), 8421376u);
    child<QCheckBox>(d, "chkY2")->setChecked(true);
    child<QCheckBox>(d, "chkLabel")->setChecked(true);
    child<QComboBox>(d, "cmbDot")->setCurrentIndex(1);
    child<QComboBox>(d, "cmbLine")->setCurrentIndex(0);
    QTest::mousePress(child<ColourSwatch>(d, "lblGridColor"), Qt::LeftButton);
    d.okClicked();
  });
  for (int s = 0; s < 2; ++s) {
    SCOPED_TRACE(s);
    const CurveGraph& g = graph(s);
    EXPECT_EQ(g.GridColor(), 0x112233u);
    EXPECT_EQ(g.GridType1(), 2);
    EXPECT_EQ(g.Line(), 1);
    EXPECT_TRUE(g.ShowAxesY2());
    EXPECT_TRUE(g.ShowCurve(2));
    EXPECT_TRUE(g.ShowLegend(2));
    EXPECT_TRUE(g.ShowLegend(0));
    EXPECT_EQ(g.LegendText(2), QStringLiteral("Power"));
    EXPECT_EQ(g.AxesY2Txt(), QStringLiteral("[W]"));
    EXPECT_EQ(g.CurveLineColor(2), 8421376u);
  }
  EXPECT_EQ(key(settings::GCOL), QStringLiteral("1122867"));
  EXPECT_EQ(key(settings::MDOT), QStringLiteral("1"));
  EXPECT_EQ(key(settings::SLA), QStringLiteral("1"));
  EXPECT_EQ(key(settings::LINE), QStringLiteral("1"));
  EXPECT_EQ(window->prefs().SLA, 1);

  withDialog<frmShow>("menuDisp", [&](frmShow& d) {
    EXPECT_TRUE(child<QCheckBox>(d, "chkY2")->isChecked()); // loaded from the graph
    EXPECT_EQ(child<ColourSwatch>(d, "lblGridColor")->colour(), 0x112233u);
    child<QCheckBox>(d, "chkY2")->setChecked(false);
    d.okClicked();
  });
  for (int s = 0; s < 2; ++s) {
    EXPECT_FALSE(graph(s).ShowAxesY2());
    EXPECT_FALSE(graph(s).ShowCurve(2));
    EXPECT_FALSE(graph(s).ShowLegend(2));
  }
  // A slot added afterwards looks like the others.
  window->action(QStringLiteral("menuAddDev"))->trigger();
  EXPECT_EQ(graph(2).GridColor(), 0x112233u);
  EXPECT_EQ(graph(2).Line(), 1);
}

// The settings file allows widths up to 20; the dialog's list offers 1 and 2 only.
TEST_F(SettingsWindow, DisplaySettingKeepsAStoredLineWidthOutsideItsList) {
  start(kComment + "[DATA]\r\nLINE=5\r\n");
  ASSERT_EQ(graph().Line(), 5);
  withDialog<frmShow>("menuDisp", [&](frmShow& d) {
    EXPECT_EQ(child<QComboBox>(d, "cmbLine")->currentText(), QStringLiteral("5"));
    d.okClicked();
  });
  EXPECT_EQ(graph().Line(), 5);
  EXPECT_EQ(key(settings::LINE), QStringLiteral("5"));

  // Choosing a listed width still works, and the odd one stays on offer.
  withDialog<frmShow>("menuDisp", [&](frmShow& d) {
    auto* widths = child<QComboBox>(d, "cmbLine");
    EXPECT_GE(widths->findText(QStringLiteral("5")), 0);
    widths->setCurrentIndex(widths->findText(QStringLiteral("2")));
    d.okClicked();
  });
  EXPECT_EQ(graph().Line(), 2);
  EXPECT_EQ(key(settings::LINE), QStringLiteral("2"));
}

TEST_F(SettingsWindow, ShowWithTempTicksTemperatureDataWithoutWritingIt) {
  start();
  DisplayChoice c;
  c.showY2 = true;
  c.y2Temp = true;
  c.line = QStringLiteral("2");
  ApplyDisplaySetting(*window, c);
  EXPECT_TRUE(window->action(QStringLiteral("menuTemp"))->isChecked());
  EXPECT_TRUE(window->prefs().TEMP);
  EXPECT_TRUE(key(settings::TEMP).isNull());
  EXPECT_EQ(graph().LegendText(2), QStringLiteral("Temp"));
  EXPECT_EQ(graph().AxesY2Txt(), QStringLiteral("[C]"));
}

// What one run writes, the next run reads: the X unit of the display dialog, the coordinates.
TEST_F(SettingsWindow, ChoicesSurviveARestart) {
  start();
  withDialog<frmShow>("menuDisp", [&](frmShow& d) {
    EXPECT_TRUE(child<QRadioButton>(d, "optTime")->isChecked());
    child<QRadioButton>(d, "optCap")->setChecked(true);
    child<QCheckBox>(d, "chkWh")->setChecked(true);
    d.okClicked();
  });
  withDialog<frmCurve>("menuCurve", [&](frmCurve& d) {
    child<QLineEdit>(d, "txtVH")->setText(QStringLiteral("4.5"));
    child<QLineEdit>(d, "txtVL")->setText(QStringLiteral("2.5"));
    d.okClicked();
  });
  const Preferences before = window->prefs();
  start(QByteArray()); // the same file
  EXPECT_EQ(window->prefs(), before);
  EXPECT_FLOAT_EQ(graph().MaxY(0), 4.5f);
  withDialog<frmShow>("menuDisp", [&](frmShow& d) {
    EXPECT_TRUE(child<QRadioButton>(d, "optCap")->isChecked());
    EXPECT_TRUE(child<QCheckBox>(d, "chkWh")->isChecked());
  });
}

TEST_F(SettingsWindow, CoordinateSettingsCheckAndApplyToEverySlot) {
  start();
  window->action(QStringLiteral("menuAddDev"))->trigger();
  withDialog<frmCurve>("menuCurve", [&](frmCurve& d) {
    EXPECT_EQ(child<QLineEdit>(d, "txtVH")->text(), QStringLiteral("20.0"));
    EXPECT_EQ(child<QLineEdit>(d, "txtTime2")->text(), QStringLiteral("100"));
    child<QLineEdit>(d, "txtCH")->setText(QStringLiteral("0.05"));
    d.okClicked();
    EXPECT_EQ(told.value(0), QStringLiteral("电流轴范围需大于等于0.1A"));
    EXPECT_TRUE(d.isVisible()); // stays open
    child<QLineEdit>(d, "txtCH")->setText(QStringLiteral("0.1"));
    child<QLineEdit>(d, "txtTime2")->setText(QStringLiteral("9"));
    d.okClicked();
    EXPECT_EQ(told.value(1), QStringLiteral("时间轴范围需大于等于10S"));
    child<QLineEdit>(d, "txtTime2")->setText(QStringLiteral("10"));
    d.okClicked();
  });
  for (int s = 0; s < 2; ++s) {
    EXPECT_FLOAT_EQ(graph(s).MaxY(1), 0.1f);
    EXPECT_FLOAT_EQ(graph(s).MaxX(), 10.0f);
  }
  EXPECT_EQ(key(settings::CY1), QStringLiteral("0.1"));
  EXPECT_EQ(key(settings::CT1), QStringLiteral("10"));
  EXPECT_EQ(key(settings::VY1), QStringLiteral("20.0"));
}

TEST_F(SettingsWindow, LeavingACoordinateBoxWithLettersKeepsTheFocus) {
  start();
  withDialog<frmCurve>("menuCurve", [&](frmCurve& d) {
    d.show();
    d.activateWindow();
    QApplication::setActiveWindow(&d);
    auto* vl = child<QLineEdit>(d, "txtVL");
    auto* vh = child<QLineEdit>(d, "txtVH");
    vl->setFocus(Qt::TabFocusReason);
    vl->setText(QStringLiteral("abc"));
    vh->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(told.value(0), QStringLiteral("设置数据有误！"));
    EXPECT_EQ(QApplication::focusWidget(), vl);
    vl->setText(QStringLiteral("12"));
    vh->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(vl->text(), QStringLiteral("12.0"));
    EXPECT_EQ(QApplication::focusWidget(), vh);
    EXPECT_EQ(told.size(), 1);
  });
}

} // namespace
