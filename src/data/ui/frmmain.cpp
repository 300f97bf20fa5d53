#include "data/ui/frmmain.h"

#include "data/liveupdate.h"
#include "data/slotlayout.h"
#include "data/support/errorlog.h"
#include "data/support/failure.h"
#include "data/support/ini.h"
#include "data/support/langtext.h"
#include "data/support/pendingevents.h"
#include "data/support/programfolder.h"
#include "data/support/version.h"
#include "data/ui/datacommands.h"
#include "data/ui/deviceslot.h"
#include "data/ui/dialogs.h"
#include "data/ui/rescalcommands.h"
#include "link/ui/frmupdate.h"
#include "test/ui/devctrl.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabBar>
#include <QToolBar>
#include <QVBoxLayout>

namespace ondrel {

frmMain::frmMain(std::unique_ptr<PortProvider> ports, QWidget* parent)
    : QMainWindow(parent), m_comm(std::move(ports)) {
  setObjectName(QStringLiteral("frmMain"));
  ask = [this](QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, LangText(QStringLiteral("Prompt")), text, buttons, this);
    return static_cast<QMessageBox::StandardButton>(box.exec());
  };
  chooseFile = [this](bool save, const QString& title, const QString& filter, const QString& name,
                      const QString& defaultExt) {
    return FileDialog(this, save, title, filter, name, defaultExt, QString());
  };

  // A first run: the settings file and the folders for data files and logs.
  const QString ini = programPath(QStringLiteral("ondrel.ini"));
  if (!QFile::exists(ini)) {
    QFile f(ini);
    if (f.open(QIODevice::WriteOnly))
      f.write(";--------Ondrel Config File----------\r\n");
  }
  for (const char* folder : {"Data", "Log"})
    QDir().mkpath(programPath(QLatin1String(folder)));

  setWindowTitle(caption());
  buildMenus();
  buildToolbar();

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(4, 0, 4, 4);
  layout->setSpacing(0);
  tabDev = new QTabBar(central);
  tabDev->setObjectName(QStringLiteral("tabDev"));
  tabDev->setAccessibleName(QStringLiteral("tabDev"));
  tabDev->setExpanding(false);
  m_frames = new QStackedWidget(central);
  layout->addWidget(tabDev);
  layout->addWidget(m_frames, 1);
  setCentralWidget(central);
  connect(tabDev, &QTabBar::currentChanged, this, &frmMain::selectSlot);

  addSlot();

  Timer1.setInterval(1000);
  connect(&Timer1, &QTimer::timeout, this, &frmMain::showClock);
  Timer1.start();
  showClock();

  resize(1180, 760);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

frmMain::~frmMain() = default;

QString frmMain::caption() {
  return QLatin1String(kProductTitle) + QStringLiteral(" V") + QLatin1String(kVersionText);
}

void frmMain::buildMenus() {
  auto make = [this](QMenu* menu, const char* name, const char* text) {
    QAction* a = menu->addAction(QString::fromUtf8(text));
    a->setObjectName(QLatin1String(name));
    return a;
  };
  QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
  file->setObjectName(QStringLiteral("menuFile"));
  menuOpenPara = make(file, "menuOpenPara", "Open Parameter");
  menuSavePara = make(file, "menuSavePara", "Save Parameter");
  file->addSeparator();
  menuOpenData = make(file, "menuOpenData", "Open Data");
  menuSaveData = make(file, "menuSaveData", "Save Data");
  menuSaveCurve = make(file, "menuSaveCurve", "Save Curve");
  menuSavePic = make(file, "menuSavePic", "Save Picture");
  file->addSeparator();
  menuExit = make(file, "menuExit", "Exit");
  connect(menuOpenPara, &QAction::triggered, this,
          [this] { logFailures(QStringLiteral("ErrOpenCfg"), [this] { OpenParameter(*this); }); });
  connect(menuSavePara, &QAction::triggered, this,
          [this] { logFailures(QStringLiteral("ErrSaveCfg"), [this] { SaveParameter(*this); }); });
  connect(menuSaveData, &QAction::triggered, this, [this] {
    logFailures(QStringLiteral("ErrSaveData"), [this] { SaveDataCommand(*this); });
  });
  connect(menuExit, &QAction::triggered, this, &QWidget::close);

  QMenu* system = menuBar()->addMenu(QStringLiteral("System"));
  system->setObjectName(QStringLiteral("menuSystem"));
  menuAddDev = make(system, "menuAddDev", "Add Device");
  menuAdj = make(system, "menuAdj", "Parameter Calibration");
  menuUpdate = make(system, "menuUpdate", "Firmware Update");
  connect(menuAddDev, &QAction::triggered, this, &frmMain::addSlot);
  connect(menuUpdate, &QAction::triggered, this, &frmMain::FirmwareUpdate);
  connect(menuAdj, &QAction::triggered, this, [this] { ParameterCalibration(*this); });

  QMenu* tools = menuBar()->addMenu(QStringLiteral("Tools"));
  tools->setObjectName(QStringLiteral("menuTools"));
  menuClear = make(tools, "menuClear", "Clear Curve");
  menuSearch = make(tools, "menuSearch", "Search Comm Port");
  connect(menuSearch, &QAction::triggered, this, &frmMain::SearchCommPort);
  menuRes = make(tools, "menuRes", "Resistance Test");
  menuUsb = make(tools, "menuUsb", "Quick Charger Test");
  connect(menuRes, &QAction::triggered, this, [this] { ResistanceTest(*this); });

  QMenu* setting = menuBar()->addMenu(QStringLiteral("Setting"));
  setting->setObjectName(QStringLiteral("menuSetting"));
  menuTitle = make(setting, "menuTitle", "Curve Title");
  menuCurve = make(setting, "menuCurve", "Coordinate Settings");
  menuDisp = make(setting, "menuDisp", "Display Setting");
  menuTemp = make(setting, "menuTemp", "Temprature Data");
  menuTemp->setCheckable(true);
  menuSoft = make(setting, "menuSoft", "Software Setting");

  QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
  help->setObjectName(QStringLiteral("menuHelpMenu"));
  menuHelp = make(help, "menuHelp", "Help");
  menuAbout = make(help, "menuAbout", "About");

  // At start: nothing to open or calibrate yet; model-specific entries appear on identification.
  for (QAction* a : {menuOpenPara, menuSavePara, menuAdj, menuRes})
    a->setEnabled(false);
  for (QAction* a : {menuRes, menuUsb, menuTemp})
    a->setVisible(false);
}

void frmMain::buildToolbar() {
  m_toolbar = addToolBar(QStringLiteral("Tools"));
  m_toolbar->setObjectName(QStringLiteral("tlbMain"));
  m_toolbar->setMovable(false);
  const struct {
    const char *key, *caption;
  } buttons[] = {{"opendat", "Open Data"},    {"savedat", "Save Data"},
                 {"savepic", "Save Picture"}, {"setting", "Display Setting"},
                 {"about", "About"},          {"com", "Search Comm Port"}};
  for (const auto& b : buttons) {
    QAction* a = m_toolbar->addAction(QString::fromLatin1(b.caption));
    a->setObjectName(QLatin1String(b.key));
    if (qstrcmp(b.key, "com") == 0)
      connect(a, &QAction::triggered, this,
              [this] { toolbarAction(QStringLiteral("com"), [this] { SearchCommPort(); }); });
    if (qstrcmp(b.key, "savedat") == 0)
      connect(a, &QAction::triggered, this, [this] {
        toolbarAction(QStringLiteral("savedat"), [this] { SaveDataCommand(*this); });
      });
  }
}

void frmMain::toolbarAction(const QString& key, const std::function<void()>& action) {
  logFailures(QStringLiteral("ErrTlb(") + key + QLatin1Char(')'), action);
}

QMessageBox::StandardButton frmMain::MsgBox(QMessageBox::Icon icon, const QString& text,
                                            QMessageBox::StandardButtons buttons) {
  return ask ? ask(icon, text, buttons) : QMessageBox::NoButton;
}

void frmMain::SearchCommPort() {
  if (slot(m_selectedSlot).SearchPorts())
    MsgBox(QMessageBox::Information, LangText(QStringLiteral("Search comm port finished")));
}

void frmMain::SendCalibration(int point, int value) {
  DeviceSlot& s = slot(m_selectedSlot);
  s.SendCalibration(s.panelChannel(), point, value);
}

void frmMain::SendResistanceTest(const QString& currentText) {
  DeviceSlot& s = slot(m_selectedSlot);
  s.SendResistanceTest(s.panelChannel(), currentText);
}

void frmMain::setSlotTabsEnabled(bool on) {
  tabDev->setEnabled(on);
}

void frmMain::setCalibrationOpen(bool open) {
  m_calibrationOpen = open;
  if (open)
    menuAdj->setEnabled(false);
}

QAction* frmMain::action(const QString& name) const {
  return findChild<QAction*>(name);
}

void frmMain::addSlot() {
  if (slotCount() >= kMaxSlots)
    return;
  const int n = slotCount();
  auto* frame = new QWidget(m_frames);
  frame->setObjectName(QStringLiteral("frmDev(%1)").arg(n));
  auto asker = [this](QMessageBox::Icon icon, const QString& text,
                      QMessageBox::StandardButtons buttons) { return MsgBox(icon, text, buttons); };
  m_slots.push_back(std::make_unique<DeviceSlot>(n, m_comm, m_prefs, asker, frame));
  DeviceSlot& added = *m_slots.back();
  connectSlot(added);
  m_frames->addWidget(frame);
  tabDev->addTab(QStringLiteral("Device%1").arg(n + 1));
  tabDev->setTabData(n, QStringLiteral("dev%1").arg(n + 1));
  menuAddDev->setEnabled(slotCount() < kMaxSlots);

  // The slot's ports, and the one it used last time when it is there.
  added.SearchPorts();
  bool numeric = false;
  const int last = IniRead(programPath(QStringLiteral("ondrel.ini")), QStringLiteral("COMM"),
                           QStringLiteral("PORT%1").arg(n + 1), QStringLiteral("2"))
                       .toInt(&numeric);
  if (numeric)
    added.selectPort(last);
}

void frmMain::connectSlot(DeviceSlot& s) {
  connect(&s, &DeviceSlot::deviceHeard, this, [this] {
    if (!m_calibrationOpen)
      menuAdj->setEnabled(true);
  });
  connect(&s, &DeviceSlot::identified, this, [this](const SlotMenus& menus) {
    menuRes->setVisible(menus.resistanceMenu);
    if (menus.showUsbMenu)
      menuUsb->setVisible(true);
    if (menus.showTempMenu)
      menuTemp->setVisible(true);
  });
  connect(&s, &DeviceSlot::deviceConnected, this, [this] {
    if (slotCount() < kMaxSlots)
      menuAddDev->setEnabled(true);
  });
  connect(&s, &DeviceSlot::connectionChanged, this, [this, &s](bool open) {
    // The update talks to the selected slot's port, so it follows that slot only.
    if (s.index() == m_selectedSlot)
      menuUpdate->setEnabled(!open && !m_updateOpen);
    if (open)
      return;
    menuAdj->setEnabled(false);
    menuRes->setEnabled(false);
    menuOpenPara->setEnabled(false);
    menuSavePara->setEnabled(false);
    menuCurve->setEnabled(true);
  });
  connect(&s, &DeviceSlot::mainMenusDue, this, [this](bool enabled, bool parameterFiles) {
    for (QAction* a : {menuOpenData, menuSaveData, menuClear, menuCurve, menuRes, menuSoft})
      a->setEnabled(enabled);
    menuOpenPara->setEnabled(parameterFiles);
    menuSavePara->setEnabled(parameterFiles);
  });
  connect(&s, &DeviceSlot::recordingProblem, this, [this, &s](int c, const QString& reason) {
    // Not a modal box: it would block the running test's reports.
    statusBar()->showMessage(LangText(QStringLiteral("Device%1 channel %2 is not being recorded: ")
                                          .arg(s.index() + 1)
                                          .arg(c + 1)) +
                             reason);
  });
  // Queued: the box waits until the report that ended the test has been handled, so the reports
  // behind it are not handled inside that one.
  connect(
      &s, &DeviceSlot::dataFileNotWritten, this,
      [this, &s](int c, const QString& reason, const QString& recording) {
        QString text = LangText(QStringLiteral("Device%1 channel %2: the data file of the finished "
                                               "test could not be written.")
                                    .arg(s.index() + 1)
                                    .arg(c + 1)) +
                       QLatin1Char('\n') + reason;
        if (!recording.isEmpty())
          text += QLatin1Char('\n') +
                  LangText(QStringLiteral("Its data are kept in the recording ")) +
                  QDir::toNativeSeparators(recording);
        MsgBox(QMessageBox::Critical, text);
      },
      Qt::QueuedConnection);
  connect(&s, &DeviceSlot::testFinished, this, [this](int, const QString& notice) {
    if (!notice.isEmpty())
      ShowNotice(notice);
  });
  connect(&s, &DeviceSlot::sampleShown, this, [this, &s](int c) { showInfoRows(s, c); });
  connect(&s, &DeviceSlot::channelUpdated, this, [this, &s](int c) { updateDisplayWindows(s, c); });
}

void frmMain::showInfoRows(DeviceSlot& s, int c) {
  const DeviceSlot& sel = slot(m_selectedSlot);
  if (sel.dev2S()) {
    s.setInfoRow(c + infoRunState1,
                 runStateRow(QStringLiteral("Channel"), c + 1, sel.ch(c).ChnRunning));
  } else {
    s.setInfoRow(infoRunState1,
                 runStateRow(QStringLiteral("Device"), sel.index() + 1, sel.ch(0).ChnRunning));
    if (sel.params().HasTemp)
      s.setInfoRow(infoRunState2, temperatureRow(sel.index(), sel.ch(0).Temp));
  }
  if (!sel.StepRunning())
    m_versionText = ondrel::versionText(sel.params().FwVersion);
}

void frmMain::selectSlot(int index) {
  if (index < 0 || index >= slotCount())
    return;
  m_selectedSlot = index;
  m_frames->setCurrentIndex(index);
  menuUpdate->setEnabled(!slot(index).panel().Conn() && !m_updateOpen);
  if (tabDev->currentIndex() != index)
    tabDev->setCurrentIndex(index);
  slot(index).flushGraph();
}

void frmMain::showClock() {
  const QDateTime now = QDateTime::currentDateTime();
  slot(m_selectedSlot)
      .setInfoRow(infoClock, QLatin1Char(' ') +
                                 now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
                                 QStringLiteral("  ") + m_versionText);
}

void frmMain::ShowNotice(const QString& text) {
  if (!m_prefs.MSG)
    return;
  // The fading notice window arrives with the small windows; until then the status bar says it.
  statusBar()->showMessage(LangText(text), 5000);
}

void frmMain::FirmwareUpdate() {
  DeviceSlot& s = slot(m_selectedSlot);
  if (m_updateOpen || s.panel().Conn())
    return;
  std::unique_ptr<frmUpdate> window;
  try {
    window = std::make_unique<frmUpdate>(
        m_selectedSlot, s.panel().tPort(), m_comm.ports(),
        [this](QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons) {
          return MsgBox(icon, text, buttons);
        },
        this);
  } catch (...) {
    ErrLog(QStringLiteral("ErrUpdate"), describeCurrentException());
    MsgBox(QMessageBox::Critical, LangText(QStringLiteral("Wrong Port!")));
    return;
  }
  bool closed = false;
  connect(window.get(), &frmUpdate::closed, this, [&closed] { closed = true; });
  m_updateOpen = true;
  tabDev->setEnabled(false);
  menuUpdate->setEnabled(false);
  window->show();
  waitUntilClosed([&closed] { return closed; });
  m_updateOpen = false;
  tabDev->setEnabled(true);
  menuUpdate->setEnabled(!slot(m_selectedSlot).panel().Conn());
}

void frmMain::updateDisplayWindows(DeviceSlot&, int) {
  // The big readout and USB meter windows arrive with the small windows.
}

} // namespace ondrel
