#include "data/ui/frmmain.h"

#include "data/telemetry/mqttconfig.h"
#include "data/ui/windowtelemetry.h"

#include "data/liveupdate.h"
#include "data/slotlayout.h"
#include "data/support/errorlog.h"
#include "data/support/failure.h"
#include "data/support/ini.h"
#include "data/support/langtext.h"
#include "data/support/numberformat.h"
#include "data/support/pendingevents.h"
#include "data/support/programfolder.h"
#include "data/support/version.h"
#include "data/ui/datacommands.h"
#include "data/ui/deviceslot.h"
#include "data/ui/dialogs.h"
#include "data/ui/frmabout.h"
#include "data/ui/frmdata.h"
#include "data/ui/frmhistory.h"
#include "data/ui/frmmsg.h"
#include "data/ui/readoutwindows.h"
#include "data/ui/rescalcommands.h"
#include "data/ui/settingscommands.h"
#include "data/ui/settingsdialogs.h"
#include "data/ui/windowcommands.h"
#include "history/historywriter.h"
#include "link/portaccess.h"
#include "link/ui/frmupdate.h"
#include "test/ui/devctrl.h"
#include "test/ui/frmusb.h"
#include "widgets/curvegraph.h"

#include <QAction>
#include <QCloseEvent>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMenuBar>
#include <QScreen>
#include <QStackedWidget>
#include <QLabel>
#include <QStatusBar>
#include <QTabBar>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

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
  askText = [this](const QString& prompt, const QString& text) {
    return QInputDialog::getText(this, LangText(QStringLiteral("Prompt")), prompt,
                                 QLineEdit::Normal, text);
  };
  chooseColour = [this] { return ChooseColour(this); };
  tellNotice = [this](const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, this);
    box.exec();
  };
  addTrayIcon = [this](const QString& tip, std::function<void()> onClick) {
    return TrayIconAdd(this, tip, windowIcon(), 1, std::move(onClick));
  };
  openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  chooseCurveType = [this] { return askCurveType(this); };
  chooseFolder = [this](const QString& title) {
    return QFileDialog::getExistingDirectory(this, title, programPath(QStringLiteral("Data")));
  };

  // Caption with the version.
  setWindowTitle(caption());
  m_telemetry = new WindowTelemetry(this);
  m_mqttStatus = new QLabel(this);
  m_mqttStatus->setObjectName(QStringLiteral("lblMqtt"));
  m_mqttStatus->hide();
  statusBar()->addPermanentWidget(m_mqttStatus);
  connect(m_telemetry, &WindowTelemetry::statusChanged, this, [this](const QString& text) {
    m_mqttStatus->setText(text);
    m_mqttStatus->setAccessibleName(text);
    m_mqttStatus->setVisible(!text.isEmpty());
  });
  buildMenus();
  buildToolbar();

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  tabDev = new QTabBar(central);
  tabDev->setObjectName(QStringLiteral("tabDev"));
  tabDev->setAccessibleName(LangText(QStringLiteral("Devices")));
  tabDev->setExpanding(false);
  m_frames = new QStackedWidget(central);
  layout->addWidget(tabDev);
  layout->addWidget(m_frames, 1);
  setCentralWidget(central);
  connect(tabDev, &QTabBar::currentChanged, this, &frmMain::selectSlot);

  // Slot 0 with the "No Device" look and the model defaults; the slot count and the
  // selected slot follow from it.
  addSlot();

  // A first run: the settings file and the folders for data files and logs.
  m_settingsFile = programPath(QStringLiteral("ondrel.ini"));
  if (!QFile::exists(m_settingsFile)) {
    QFile f(m_settingsFile);
    if (f.open(QIODevice::WriteOnly))
      f.write(QByteArray(kSettingsFileComment) + "\r\n");
  }
  for (const char* folder : {"Data", "Log"})
    QDir().mkpath(programPath(QLatin1String(folder)));

  // The settings, then slot 0's ports and the one it used last time.
  ReadSettings();
  selectSavedPort(slot(0));
  // Once the window is up, not over a half-built one.
  QTimer::singleShot(0, this, [this] { explainPortAccessIfDue(slot(0).lastProbe()); });

  // The test history: rows are written on the writer's own thread; a store that cannot take
  // them is said once in the status bar, and the rows wait.
  {
    HistoryConfig config = readHistoryConfig(programFolder());
    if (!config.problem.isEmpty())
      statusBar()->showMessage(LangText(QStringLiteral("Test history: ")) + config.problem);
    m_history = std::make_unique<HistoryWriter>(std::move(config));
    connect(m_history.get(), &HistoryWriter::unavailable, this, [this](const QString& reason) {
      statusBar()->showMessage(
          LangText(QStringLiteral("The test history cannot be written now; its rows are kept: ")) +
          reason);
    });
  }

  // Graph 0 and the panel's colours as the settings say.
  slot(0).applyLook(m_prefs, m_ranges);

  // No big readout shown for a minimised window yet.
  m_minimised = false;

  Timer1.setInterval(1000);
  connect(&Timer1, &QTimer::timeout, this, &frmMain::showClock);
  Timer1.start();
  showClock();

  placeOnScreen();
}

frmMain::~frmMain() {
  // The trigger window holds its slot: it goes before the slots do.
  delete m_usbWin.data();
}

QString frmMain::caption() {
  return QLatin1String(kProductTitle) + QStringLiteral(" V") + QLatin1String(kVersionText);
}

void frmMain::buildMenus() {
  // Every title and entry has a mnemonic ("Sa&ve Data"); withoutMnemonic gives the caption's
  // words wherever a text is compared or shown outside the menu.
  auto make = [this](QMenu* menu, const char* name, const char* text) {
    QAction* a = menu->addAction(QString::fromUtf8(text));
    a->setObjectName(QLatin1String(name));
    return a;
  };
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->setObjectName(QStringLiteral("menuFile"));
  menuOpenPara = make(file, "menuOpenPara", "&Open Parameter");
  menuSavePara = make(file, "menuSavePara", "&Save Parameter");
  file->addSeparator();
  menuOpenData = make(file, "menuOpenData", "Open &Data");
  menuSaveData = make(file, "menuSaveData", "Sa&ve Data");
  menuSaveCurve = make(file, "menuSaveCurve", "Save &Curve");
  menuSavePic = make(file, "menuSavePic", "Save &Picture");
  menuExport = make(file, "menuExport", "&Export Data…");
  file->addSeparator();
  menuHistory = make(file, "menuHistory", "Test &History");
  menuImport = make(file, "menuImport", "I&mport Data Folder…");
  connect(menuHistory, &QAction::triggered, this, [this] { showHistory(); });
  connect(menuImport, &QAction::triggered, this, [this] {
    if (frmHistory* h = showHistory())
      h->importFolder();
  });
  file->addSeparator();
  menuExit = make(file, "menuExit", "E&xit");
  connect(menuOpenPara, &QAction::triggered, this,
          [this] { logFailures(QStringLiteral("ErrOpenCfg"), [this] { OpenParameter(*this); }); });
  connect(menuSavePara, &QAction::triggered, this,
          [this] { logFailures(QStringLiteral("ErrSaveCfg"), [this] { SaveParameter(*this); }); });
  connect(menuOpenData, &QAction::triggered, this, &frmMain::OpenData);
  connect(menuSaveData, &QAction::triggered, this, [this] {
    logFailures(QStringLiteral("ErrSaveData"), [this] { SaveDataCommand(*this); });
  });
  connect(menuSaveCurve, &QAction::triggered, this, [this] {
    logFailures(QStringLiteral("ErrSavePic"), [this] { SaveGraphPicture(*this, false); });
  });
  connect(menuSavePic, &QAction::triggered, this, [this] {
    logFailures(QStringLiteral("ErrSavePic"), [this] { SaveGraphPicture(*this, true); });
  });
  connect(menuExport, &QAction::triggered, this, [this] {
    logFailures(QStringLiteral("ErrExport"), [this] { ExportDataCommand(*this); });
  });
  connect(menuExit, &QAction::triggered, this, &QWidget::close);

  QMenu* system = menuBar()->addMenu(QStringLiteral("&System"));
  system->setObjectName(QStringLiteral("menuSystem"));
  menuAddDev = make(system, "menuAddDev", "&Add Device");
  menuAdj = make(system, "menuAdj", "Parameter &Calibration");
  menuUpdate = make(system, "menuUpdate", "&Firmware Update");
  connect(menuAddDev, &QAction::triggered, this, &frmMain::addSlot);
  connect(menuUpdate, &QAction::triggered, this, &frmMain::FirmwareUpdate);
  connect(menuAdj, &QAction::triggered, this, [this] { ParameterCalibration(*this); });

  QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
  tools->setObjectName(QStringLiteral("menuTools"));
  menuClear = make(tools, "menuClear", "&Clear Curve");
  connect(menuClear, &QAction::triggered, this, [this] { ClearCurve(*this); });
  menuSearch = make(tools, "menuSearch", "&Search Comm Port");
  connect(menuSearch, &QAction::triggered, this, &frmMain::SearchCommPort);
  menuRes = make(tools, "menuRes", "&Resistance Test");
  menuUsb = make(tools, "menuUsb", "&Quick Charger Test");
  connect(menuUsb, &QAction::triggered, this, &frmMain::showUsbWindow);
  connect(menuRes, &QAction::triggered, this, [this] { ResistanceTest(*this); });
  menuMatch = make(tools, "menuMatch", "&Match Cells");
  connect(menuMatch, &QAction::triggered, this, [this] {
    if (frmHistory* h = showHistory())
      h->matchSelected();
  });

  QMenu* setting = menuBar()->addMenu(QStringLiteral("S&etting"));
  setting->setObjectName(QStringLiteral("menuSetting"));
  menuTitle = make(setting, "menuTitle", "Curve &Title");
  connect(menuTitle, &QAction::triggered, this, [this] { EditCurveTitle(*this); });
  menuCurve = make(setting, "menuCurve", "&Coordinate Settings");
  menuDisp = make(setting, "menuDisp", "&Display Setting");
  menuTemp = make(setting, "menuTemp", "Te&mprature Data");
  menuTemp->setCheckable(true);
  menuSoft = make(setting, "menuSoft", "&Software Setting");
  connect(menuCurve, &QAction::triggered, this, [this] { CoordinateSettings(*this); });
  connect(menuDisp, &QAction::triggered, this, [this] { DisplaySetting(*this); });
  // The tick is the preference's: the action's own toggling is undone by TemperatureData.
  connect(menuTemp, &QAction::triggered, this, [this] { TemperatureData(*this); });
  connect(menuSoft, &QAction::triggered, this, [this] { SoftwareSetting(*this); });
  menuNet = make(setting, "menuNet", "&Network Setting");
  connect(menuNet, &QAction::triggered, this, [this] { NetworkSetting(*this); });

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  help->setObjectName(QStringLiteral("menuHelpMenu"));
  menuHelp = make(help, "menuHelp", "&Help");
  menuAbout = make(help, "menuAbout", "&About");
  connect(menuHelp, &QAction::triggered, this, &frmMain::OpenHelp);
  connect(menuAbout, &QAction::triggered, this, &frmMain::ShowAbout);

  // The platform's usual keys for the common entries; Ctrl+Q closes as the close button does.
  menuOpenData->setShortcut(QKeySequence::Open);
  menuSaveData->setShortcut(QKeySequence::Save);
  menuSavePic->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  menuAddDev->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
  menuSearch->setShortcut(QKeySequence(Qt::Key_F5));
  menuHelp->setShortcut(QKeySequence(Qt::Key_F1));
  menuExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

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
    const QString key = QLatin1String(b.key);
    connect(a, &QAction::triggered, this,
            [this, key] { toolbarAction(key, [this, key] { toolbarCommand(key); }); });
  }
}

void frmMain::toolbarCommand(const QString& key) {
  // The entries whose windows live elsewhere are reached through their menu entries, so a button
  // does what its menu entry does.
  if (key == QLatin1String("opendat"))
    menuOpenData->trigger();
  else if (key == QLatin1String("savedat"))
    SaveDataCommand(*this);
  else if (key == QLatin1String("savepic"))
    SaveGraphPicture(*this, true);
  else if (key == QLatin1String("setting"))
    menuDisp->trigger();
  else if (key == QLatin1String("about"))
    menuAbout->trigger();
  else if (key == QLatin1String("com"))
    SearchCommPort();
}

void frmMain::toolbarAction(const QString& key, const std::function<void()>& action) {
  logFailures(QStringLiteral("ErrTlb(") + key + QLatin1Char(')'), action);
}

QMessageBox::StandardButton frmMain::MsgBox(QMessageBox::Icon icon, const QString& text,
                                            QMessageBox::StandardButtons buttons) {
  return ask ? ask(icon, text, buttons) : QMessageBox::NoButton;
}

MessageAsker frmMain::msgBoxAsker() {
  return [this](QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons) {
    return MsgBox(icon, text, buttons);
  };
}

void frmMain::SearchCommPort() {
  DeviceSlot& s = slot(m_selectedSlot);
  if (!s.SearchPorts())
    return;
  // One box: the note on permissions says more than "finished" when it is due.
  if (!explainPortAccessIfDue(s.lastProbe()))
    MsgBox(QMessageBox::Information, LangText(QStringLiteral("Search comm port finished")));
}

bool frmMain::explainPortAccessIfDue(const ProbeSummary& probe) {
  PortAccessContext context;
  context.alreadyShown = m_portNoticeShown || portAccessNoticeShown(m_settingsFile);
  context.testRunning = std::any_of(m_slots.begin(), m_slots.end(),
                                    [](const auto& s) { return s->anyChannelRunning(); });
  context.portOpen = std::any_of(m_comm.PortHandle.begin(), m_comm.PortHandle.end(),
                                 [](Comm::Handle h) { return h != 0; });
  if (!portAccessNoticeDue(probe, context))
    return false;
  m_portNoticeShown = true;
  notePortAccessNoticeShown(m_settingsFile);
  if (tellNotice)
    tellNotice(LangText(portAccessNoticeTitle()), portAccessNoticeText(probe.group));
  return true;
}

void frmMain::SendCalibration(int point, int value) {
  DeviceSlot& s = slot(m_selectedSlot);
  s.SendCalibration(s.panelChannel(), point, value);
}

void frmMain::SendResistanceTest(const QString& currentText) {
  DeviceSlot& s = slot(m_selectedSlot);
  s.SendResistanceTest(s.panelChannel(), currentText);
}

frmUSB* frmMain::usbWindow() const {
  return m_usbWin;
}

bool frmMain::isUsbMeterSlot(int index) const {
  const DeviceSlot& s = slot(index);
  return s.params().ModelCode != 0 && s.params().caps.usbMeter;
}

QString frmMain::slotCaption(int index) const {
  const DeviceSlot& s = slot(index);
  QString text = QStringLiteral("Device%1").arg(index + 1);
  const QString model = s.state().at(0).row.device.trimmed();
  if (!model.isEmpty())
    text += QLatin1Char(' ') + model;
  if (!s.state().port.isEmpty())
    text += QStringLiteral(" (") + s.state().port + QLatin1Char(')');
  return text;
}

void frmMain::showUsbWindow() {
  // The trigger requests are set-value frames: on anything but a USB meter they would change a
  // running test, so the window only ever drives a meter.
  int target = m_selectedSlot;
  if (!isUsbMeterSlot(target)) {
    int meter = -1;
    for (int i = 0; i < slotCount(); ++i)
      if (isUsbMeterSlot(i) && slot(i).portOpen()) {
        meter = i;
        break;
      }
    if (meter < 0) {
      MsgBox(QMessageBox::Information,
             LangText(QStringLiteral("The quick charge test needs a connected USB meter. "
                                     "The selected device is not one.")));
      return;
    }
    if (MsgBox(QMessageBox::Question,
               LangText(QStringLiteral("The selected device is not a USB meter. "
                                       "Open the quick charge test for %1?"))
                   .arg(slotCaption(meter)),
               QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
      return;
    selectSlot(meter);
    target = meter;
  }
  if (m_usbWin && m_usbSlot != target) {
    // Open for another meter: that window closes, a new one binds to this slot.
    frmUSB* old = m_usbWin;
    m_usbWin.clear();
    old->close();
  }
  if (!m_usbWin) {
    DeviceSlot& s = slot(target);
    m_usbSlot = target;
    m_usbWin = new frmUSB(s, this);
    frmUSB* w = m_usbWin;
    w->setWindowTitle(QStringLiteral("USB Quick Charge - ") + slotCaption(target));
    connect(&s, &DeviceSlot::connectionChanged, w, [w](bool open) {
      if (!open)
        w->deviceDisconnected();
    });
    // A closed window deletes itself a moment later: the menu makes a new one meanwhile.
    connect(w, &frmUSB::closed, this, [this, w] {
      if (m_usbWin == w)
        m_usbWin.clear();
    });
  }
  m_usbWin->show();
  m_usbWin->raise();
  m_usbWin->activateWindow();
}

void frmMain::showModelMenus() {
  menuUsb->setVisible(isUsbMeterSlot(m_selectedSlot));
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
  m_slots.push_back(std::make_unique<DeviceSlot>(n, m_comm, m_prefs, msgBoxAsker(), frame));
  DeviceSlot& added = *m_slots.back();
  added.setFileChooser([this](bool save, const QString& title, const QString& filter,
                              const QString& name, const QString& defaultExt) {
    return chooseFile(save, title, filter, name, defaultExt);
  });
  connectSlot(added);
  m_frames->addWidget(frame);
  tabDev->addTab(QStringLiteral("Device%1").arg(n + 1));
  tabDev->setTabData(n, QStringLiteral("dev%1").arg(n + 1));
  menuAddDev->setEnabled(slotCount() < kMaxSlots);

  // Slot 0 is probed once the settings are read (start-up); an added slot looks like slot 0's
  // graph and panel and is probed at once.
  if (n > 0) {
    added.copyLook(slot(0), m_prefs, m_ranges);
    selectSavedPort(added);
    explainPortAccessIfDue(added.lastProbe());
  }
}

void frmMain::selectSavedPort(DeviceSlot& s) {
  s.SearchPorts();
  const SettingsKey key = settings::port(s.index());
  const QString text = readSetting(m_settingsFile, key);
  bool numeric = false;
  const int last = text.toInt(&numeric);
  if (numeric)
    s.selectPort(last);
  else
    ErrLog(QStringLiteral("ErrIni"), QStringLiteral("COMM/%1: \"%2\" is no port number")
                                         .arg(QLatin1String(key.key), text.left(40)));
}

void frmMain::ReadSettings() {
  // Every preference in one pass over the settings file, each key by its rule (the saved port is
  // read by its own key when slot 0 selects it).
  IniDocument ini;
  QFile f(m_settingsFile);
  if (f.open(QIODevice::ReadOnly))
    ini = IniDocument::fromText(QString::fromLocal8Bit(f.readAll()));
  const StartupSettings s = readStartupSettings(ini);
  for (const QString& problem : s.problems)
    ErrLog(QStringLiteral("ErrIni"), problem + QStringLiteral(" unusable, default taken"));
  setLanguageSetting(s.LANG);
  m_prefs = s.prefs;
  m_ranges = s.ranges;
  menuTemp->setChecked(m_prefs.TEMP);
  QStringList mqttProblems;
  m_telemetry->setConfig(readMqttConfig(ini, &mqttProblems));
  for (const QString& problem : mqttProblems)
    ErrLog(QStringLiteral("ErrIni"), problem + QStringLiteral(" unusable, default taken"));
}

void frmMain::setTemperatureTicked(bool on) {
  m_prefs.TEMP = on;
  menuTemp->setChecked(on);
}

void frmMain::placeOnScreen() {
  // The design's size where the screen allows it, never more than the screen, centred.
  QSize size(1180, 760);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect free = screen->availableGeometry();
    size = size.boundedTo(free.size() - QSize(16, 48));
    resize(size);
    move(free.center() - rect().center());
  } else {
    resize(size);
  }
}

void frmMain::OpenHelp() {
  const QString guide = findUserGuide(QCoreApplication::applicationDirPath());
  if (guide.isEmpty()) {
    ErrLog(
        QStringLiteral("ErrHelp"),
        QStringLiteral("no user guide in ") +
            userGuideCandidates(QCoreApplication::applicationDirPath()).join(QStringLiteral(", ")));
    MsgBox(QMessageBox::Critical,
           LangText(QStringLiteral("The user guide was not found beside the program.")));
    return;
  }
  if (!openUrl || !openUrl(QUrl::fromLocalFile(guide))) {
    ErrLog(QStringLiteral("ErrHelp"), QStringLiteral("no browser opened ") + guide);
    MsgBox(QMessageBox::Critical,
           LangText(QStringLiteral("The user guide could not be opened in a browser: ")) +
               QDir::toNativeSeparators(guide));
  }
}

frmData* frmMain::dataViewer() const {
  return m_viewer;
}

frmHistory* frmMain::historyWindow() const {
  return m_historyWin;
}

frmHistory* frmMain::showHistory() {
  if (m_closing)
    return nullptr;
  if (m_historyWin) {
    m_historyWin->show();
    m_historyWin->raise();
    m_historyWin->activateWindow();
    return m_historyWin;
  }
  const HistoryConfig config = readHistoryConfig(programFolder());
  HistoryServices services;
  services.chooseFile = [this](bool save, const QString& title, const QString& filter,
                               const QString& name, const QString& ext) {
    return chooseFile ? chooseFile(save, title, filter, name, ext) : QString();
  };
  services.chooseFolder = [this](const QString& title) {
    return chooseFolder ? chooseFolder(title) : QString();
  };
  services.ask = msgBoxAsker();
  services.openInViewer = [this](const QStringList& files) { openDataFiles(files); };
  services.csv = [this] { return m_prefs.CSV; };
  // With a lab store, the local file is what can be shown while the lab server does not answer:
  // the rows kept there unsent are in it.
  m_historyWin = new frmHistory(
      config.lab ? *config.lab : localStore(programFolder()),
      config.lab ? std::optional<StoreTarget>(localStore(programFolder())) : std::nullopt,
      config.lab ? LangText(QStringLiteral("Lab store: ")) + config.lab->describe() : QString(),
      std::move(services), this);
  m_historyWin->setWindowFlag(Qt::Window);
  m_historyWin->show();
  return m_historyWin;
}

void frmMain::openDataFiles(const QStringList& files) {
  OpenData();
  if (!m_viewer)
    return;
  for (const QString& f : files)
    if (m_viewer)
      m_viewer->LoadFile(f);
}

void frmMain::OpenData() {
  if (m_viewer && m_viewer->isVisible()) {
    m_viewer->raise();
    m_viewer->activateWindow();
    return;
  }
  // One question at a time: a second "Open Data" while it waits would make a second viewer and
  // lose the first.
  if (m_askingCurveType)
    return;
  bool volCap = false;
  if (const auto choose = chooseCurveType) {
    const QPointer<frmMain> alive(this);
    m_askingCurveType = true;
    volCap = choose();
    // The window may have been closed meanwhile: no viewer after shutdown.
    if (!alive)
      return;
    m_askingCurveType = false;
    if (m_closing)
      return;
  }
  // The viewer uses the window's dialogs as they are when it asks, so tests answer for both.
  ViewerServices services;
  services.chooseFile = [this](bool save, const QString& title, const QString& filter,
                               const QString& name, const QString& ext) {
    return chooseFile ? chooseFile(save, title, filter, name, ext) : QString();
  };
  services.askText = [this](const QString& prompt, const QString& text) {
    return askText ? askText(prompt, text) : QString();
  };
  services.chooseColour = [this] { return chooseColour ? chooseColour() : qint64(-1); };
  services.ask = msgBoxAsker();
  services.tellCoordinateError = [this](const QString& text) {
    if (tellCoordinateError)
      tellCoordinateError(text);
    else
      tellCoordinateProblem(m_viewer, text);
  };
  m_viewer = new frmData(this, volCap, slot(0).graph(), std::move(services));
  m_viewer->show();
}

frmAbout* frmMain::aboutWindow() const {
  return m_about;
}

void frmMain::ShowAbout() {
  if (!m_about) {
    m_about = new frmAbout(this, [this] { OpenHelp(); });
  }
  m_about->show();
  m_about->raise();
  m_about->activateWindow();
}

void frmMain::connectSlot(DeviceSlot& s) {
  m_telemetry->attach(s);
  connect(&s, &DeviceSlot::testRecorded, this, [this](const TestRecord& row) {
    if (m_history)
      m_history->add(row);
  });
  connect(&s, &DeviceSlot::deviceHeard, this, [this] {
    if (!m_calibrationOpen)
      menuAdj->setEnabled(true);
  });
  connect(&s, &DeviceSlot::identified, this, [this, &s](const SlotMenus& menus) {
    menuRes->setVisible(menus.resistanceMenu);
    // Said before the slot takes its new model: the menus carry what it will be.
    if (s.index() == m_selectedSlot)
      menuUsb->setVisible(menus.showUsbMenu);
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
    if (!open) {
      if (m_meter && m_meterSlot == s.index())
        m_meter->hide();
      menuAdj->setEnabled(false);
      menuRes->setEnabled(false);
      m_runMenus[size_t(s.index())] = RunMenus{};
    }
    refreshRunMenus();
  });
  // Any slot's run state may have changed; the entries describe the selected slot.
  connect(&s, &DeviceSlot::mainMenusDue, this, [this, &s](bool enabled, bool parameterFiles) {
    m_runMenus[size_t(s.index())] = RunMenus{enabled, parameterFiles};
    refreshRunMenus();
  });
  connect(&s, &DeviceSlot::swatchPressed, this, [this, &s](int c, Curve curve) {
    logFailures(QStringLiteral("ErrCol"), [&] { ChangeCurveColour(*this, s.index(), c, curve); });
  });
  connect(&s.graph(), &CurveGraph::DblClick, this,
          [this, &s] { EditCurveTitle(*this, s.index()); });
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
    refreshRunMenus();
    if (!notice.isEmpty())
      ShowNotice(notice);
  });
  connect(&s, &DeviceSlot::sampleShown, this, [this, &s](int c) { showInfoRows(s, c); });
  connect(&s, &DeviceSlot::channelUpdated, this, [this, &s](int c) { updateDisplayWindows(s, c); });
}

void frmMain::refreshRunMenus() {
  const RunMenus said = m_runMenus[size_t(m_selectedSlot)];
  const bool idle = said.enabled;
  for (QAction* a : {menuOpenData, menuSaveData, menuClear, menuCurve, menuSoft})
    a->setEnabled(idle);
  menuRes->setEnabled(idle && said.parameterFiles);
  menuOpenPara->setEnabled(idle && said.parameterFiles);
  menuSavePara->setEnabled(idle && said.parameterFiles);
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
  menuUpdate->setEnabled(!slot(index).connected() && !m_updateOpen);
  if (tabDev->currentIndex() != index)
    tabDev->setCurrentIndex(index);
  slot(index).flushGraph();
  refreshRunMenus();
  showModelMenus();
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
  if (!m_msg)
    m_msg = new frmMsg(this);
  m_msg->showMessage(LangText(text));
}

void frmMain::closeEvent(QCloseEvent* event) {
  if (m_closing) {
    event->accept();
    return;
  }
  if (MsgBox(QMessageBox::Information, LangText(QStringLiteral("Close software?")),
             QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok) {
    event->ignore();
    return;
  }
  m_closing = true;
  shutDown();
  event->accept();
}

void frmMain::shutDown() {
  Timer1.stop();
  for (const auto& s : m_slots)
    s->stopClocks();
  const bool running = std::any_of(m_slots.begin(), m_slots.end(),
                                   [](const auto& s) { return s->anyChannelRunning(); });
  if (running && MsgBox(QMessageBox::Information, LangText(QStringLiteral("Stop running?")),
                        QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok) {
    for (const auto& s : m_slots)
      s->stopRunningChannels();
  }
  for (const auto& s : m_slots)
    s->closeLink();
  // The program's other windows are children of this one.
  for (QWidget* w : findChildren<QWidget*>())
    if (w->isWindow() && w->isVisible())
      w->close();
}

void frmMain::FirmwareUpdate() {
  DeviceSlot& s = slot(m_selectedSlot);
  if (m_updateOpen || s.connected())
    return;
  std::unique_ptr<frmUpdate> window;
  try {
    window = std::make_unique<frmUpdate>(m_selectedSlot, s.panel().tPort(), m_comm.ports(),
                                         msgBoxAsker(), this);
  } catch (...) {
    ErrLog(QStringLiteral("ErrUpdate"), describeCurrentException());
    MsgBox(QMessageBox::Critical, LangText(QStringLiteral("Wrong Port!")));
    return;
  }
  m_updateOpen = true;
  tabDev->setEnabled(false);
  menuUpdate->setEnabled(false);
  showAndWaitUntil(window.get(), &frmUpdate::closed);
  m_updateOpen = false;
  tabDev->setEnabled(true);
  menuUpdate->setEnabled(!slot(m_selectedSlot).connected());
}

void frmMain::updateDisplayWindows(DeviceSlot& s, int c) {
  if (m_disp && m_disp->isVisible()) {
    const DeviceSlot& sel = slot(m_selectedSlot);
    m_disp->setTitle(sel.state().at(0).row.device);
    m_disp->setReadout(frmDisp::Cur, sel.panel().tCur(0));
    m_disp->setReadout(frmDisp::Vol, sel.panel().tVol(0));
    m_disp->setReadout(frmDisp::Pwr, sel.panel().tPwr(0));
    m_disp->setReadout(frmDisp::Cap, bigReadoutText(sel.ch(0).Cap));
    m_disp->setReadout(frmDisp::Energy, bigReadoutText(sel.ch(0).Energy));
  }

  // The meter window shows one USB meter, the one whose reports loaded it: another tester's
  // reports would otherwise hide and show it in turn.
  if (m_meter && m_meterSlot != s.index())
    return;
  const ModelParams& p = s.params();
  const int fromFw = p.caps.meterWindowFromFw;
  if (fromFw == 0 || p.FwVersion < fromFw) {
    if (m_meter)
      m_meter->hide();
    return;
  }
  const ChannelData& d = s.ch(c);
  if (d.ModeNo != 1) {
    delete m_meter;
    m_meter = nullptr;
    return;
  }
  if (s.infoReportCount() <= 1 && (!m_meter || !m_meter->isVisible()))
    return;
  if (!m_meter) {
    m_meter = new frmMeter(this);
    m_meter->chooseColour = chooseColour;
    m_meterSlot = s.index();
  }
  // Hidden (a disconnect, another model for a while): the meter's reports show it again, except
  // while the minimised main window keeps it out of sight.
  if (!m_meter->isVisible() && !(m_minimised && m_meterHiddenByMinimise))
    m_meter->show();
  m_meter->setReadout(frmMeter::Cur, Format(d.MeterCur, u"0.0000"));
  m_meter->setReadout(frmMeter::Vol, Format(d.Volt, u"00.000"));
  m_meter->setReadout(frmMeter::Pwr, Format(d.Volt * d.MeterCur, u"00.000"));
  m_meter->setReadout(frmMeter::DPlus, dataLineText(d.DPlus, UsbWinOpen()));
  m_meter->setReadout(frmMeter::DMinus, dataLineText(d.DMinus, UsbWinOpen()));
}

void frmMain::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange)
    return;
  if (isMinimized() && !m_minimised)
    windowMinimised();
  else if (!isMinimized() && m_minimised)
    windowRestored();
}

void frmMain::windowMinimised() {
  m_minimised = true;
  const DeviceSlot& sel = slot(m_selectedSlot);
  // A meter window that is loaded but hidden does not take the big readout's place.
  const bool meterShown = m_meter && m_meter->isVisible();
  m_meterHiddenByMinimise = false;
  if (sel.connected() && !meterShown && m_prefs.DISP) {
    if (!m_disp) {
      m_disp = new frmDisp(this);
      m_disp->chooseColour = chooseColour;
    }
    m_disp->setReadoutColour(frmDisp::Cur, sel.panel().CurColor());
    m_disp->setReadoutColour(frmDisp::Vol, sel.panel().VolColor());
    m_disp->setReadoutColour(frmDisp::Pwr, sel.panel().PwrColor());
    m_disp->setTitle(sel.state().at(0).row.device);
    m_disp->show();
  }
  if (!m_prefs.DISP && meterShown) {
    m_meter->hide();
    m_meterHiddenByMinimise = true;
  }
  // Without a notification area the window stays in the task bar: hidden, nothing would bring
  // it back.
  if (m_prefs.HIDE && addTrayIcon && addTrayIcon(windowTitle(), [this] { trayIconClicked(); })) {
    m_trayShown = true;
    QTimer::singleShot(0, this, &QWidget::hide);
  }
}

void frmMain::windowRestored() {
  m_minimised = false;
  if (m_disp)
    m_disp->hide();
  if (m_meter && m_meterHiddenByMinimise)
    m_meter->show();
  m_meterHiddenByMinimise = false;
}

void frmMain::trayIconClicked() {
  if (m_trayShown) {
    TrayIconRemove(this, 1);
    m_trayShown = false;
  }
  showNormal();
  activateWindow();
  windowRestored();
}

} // namespace ondrel
