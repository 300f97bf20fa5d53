#include "data/ui/deviceslot.h"

#include "data/datafile.h"
#include "data/recording.h"
#include "data/support/errorlog.h"
#include "data/support/failure.h"
#include "data/support/ini.h"
#include "data/support/langtext.h"
#include "data/support/numberformat.h"
#include "data/support/programfolder.h"
#include "data/ui/frmmain.h"
#include "link/comm.h"
#include "link/commands.h"
#include "link/portnames.h"
#include "link/reportdecode.h"
#include "test/ui/devctrl.h"
#include "widgets/colour.h"
#include "widgets/curvegraph.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListWidget>
#include <QMessageBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace ondrel {
namespace {

const char* const kGridHeadings[] = {"Device", "Mode",     "Begin Volt", "Cutoff Volt", "Capacity",
                                     "Energy", "Avg Volt", "Curve",      "Curve"};

// The parameter echo b9..b14 of a non-info report becomes the channel's parameters.
void takeParams(ChannelData& d, const RecBody& body) {
  const ParamEchoValues p = decodeParams(body);
  d.SetRaw = p.SetRaw;
  d.LimitRaw = p.LimitRaw;
  d.TimeRaw = p.TimeRaw;
}

QTableWidget* makeResultGrid(QWidget* parent) {
  auto* grid = new QTableWidget(3, 9, parent);
  grid->setObjectName(QStringLiteral("gridRun"));
  grid->setAccessibleName(QStringLiteral("gridRun"));
  grid->horizontalHeader()->hide();
  grid->verticalHeader()->hide();
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->setSelectionMode(QAbstractItemView::NoSelection);
  grid->setFocusPolicy(Qt::NoFocus);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 9; ++c) {
      auto* item = new QTableWidgetItem;
      item->setTextAlignment(Qt::AlignCenter);
      grid->setItem(r, c, item);
    }
  for (int c = 0; c < 9; ++c) {
    QTableWidgetItem* h = grid->item(0, c);
    h->setText(c < 7 ? LangText(QString::fromLatin1(kGridHeadings[c]))
                     : QLatin1String(kGridHeadings[c]) + QLatin1Char(c == 7 ? 'V' : 'A'));
    h->setBackground(grid->palette().button());
    if (c >= 7) {
      // The swatch columns are 50 pixels wide: a size smaller keeps "CurveV" whole.
      QFont small = grid->font();
      small.setPointSizeF(small.pointSizeF() * 0.85);
      h->setFont(small);
      h->setToolTip(h->text());
    }
  }
  // Widths in twips of the design, 15 twips to a pixel.
  grid->setColumnWidth(0, 1300 / 15);
  grid->setColumnWidth(7, 750 / 15);
  grid->setColumnWidth(8, 750 / 15);
  grid->horizontalHeader()->setStretchLastSection(false);
  for (int c = 1; c <= 6; ++c)
    grid->horizontalHeader()->setSectionResizeMode(c, QHeaderView::Stretch);
  const int rowHeight = grid->verticalHeader()->defaultSectionSize();
  grid->setFixedHeight(rowHeight * 3 + 2 * grid->frameWidth());
  grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  return grid;
}

} // namespace

DeviceSlot::DeviceSlot(int index, frmMain& window, Comm& comm, QWidget* frameParent)
    : m_index(index), m_window(window), m_comm(comm) {
  frmDev = frameParent;
  panel = new DevCtrl(frmDev);
  graph = new CurveGraph(frmDev);
  graph->setObjectName(QStringLiteral("CurveGraph"));
  graph->setAccessibleName(QStringLiteral("CurveGraph"));
  gridRun = makeResultGrid(frmDev);
  lstInfo = new QListWidget(frmDev);
  lstInfo->setObjectName(QStringLiteral("lstInfo"));
  lstInfo->setAccessibleName(QStringLiteral("lstInfo"));
  lstInfo->setFocusPolicy(Qt::NoFocus);
  for (int i = 0; i < 5; ++i)
    lstInfo->addItem(QString());

  auto* left = new QVBoxLayout;
  left->addWidget(graph, 1);
  left->addWidget(gridRun);
  auto* right = new QVBoxLayout;
  right->addWidget(panel);
  right->addWidget(lstInfo, 1);
  auto* row = new QHBoxLayout(frmDev);
  row->setContentsMargins(2, 2, 2, 2);
  row->addLayout(left, 1);
  row->addLayout(right);
  lstInfo->setMaximumWidth(panel->sizeHint().width());

  // The slot starts with no device: a neutral model so that nothing divides by zero.
  params.MaxCurrent = 10.0f;
  params.MaxVoltage = 60.0f;
  setGridText(1, 0, LangText(QStringLiteral("No Device")));
  panel->setDev2S(false);
  showNoDeviceModes();
  // The disconnected look, as after Disconnect: only the "Single Test" page.
  panel->TabClear();
  panel->TabAdd(1, QStringLiteral("key1"));
  panel->setLedRecv(false);
  // No device, no test to start or stop until identification sets the buttons.
  panel->setRunEnable(false);
  panel->setContEnable(false);
  panel->setSetEnable(false);
  panel->setMonitorEnable(false);
  panel->setStopEnable(false);

  // Graph: five curves of one channel; the third curve is hidden until chosen.
  graph->setCurveCount(5);
  const char* legends[] = {"Voltage", "Current", "Temp"};
  for (int k = 0; k < 3; ++k) {
    graph->setLegendText(k, LangText(QString::fromLatin1(legends[k])));
    graph->setCurveAxesY(k, k);
  }
  const Preferences& prefs = m_window.prefs;
  graph->setCurveLineColor(0, prefs.VCOL[0]);
  graph->setCurveLineColor(1, prefs.CCOL[0]);
  graph->setCurveLineColor(2, prefs.CCOL[0]);
  graph->setLine(prefs.LINE);
  graph->setShowCurve(0, true);
  graph->setShowCurve(1, true);
  graph->setShowCurve(2, false);
  graph->setShowLegend(0, prefs.SLA != 0);
  graph->setShowLegend(1, prefs.SLA != 0);
  panel->setVolColor(prefs.VCOL[0]);
  panel->setCurColor(prefs.CCOL[0]);
  gridRun->item(1, 7)->setBackground(toQColor(prefs.VCOL[0]));
  gridRun->item(1, 8)->setBackground(toQColor(prefs.CCOL[0]));
  graph->ClearAll();

  tmrComm.setInterval(50);
  tmrConn.setInterval(1000);
  tmrRecv.setInterval(500);
  connect(&tmrComm, &QTimer::timeout, this, &DeviceSlot::ReceiveBytes);
  connect(&tmrConn, &QTimer::timeout, this, &DeviceSlot::SendConnect);
  connect(panel, &DevCtrl::ConnClick, this, &DeviceSlot::ConnClick);
  connect(&tmrRecv, &QTimer::timeout, this, [this] {
    panel->setLedRecv(false);
    tmrRecv.stop();
  });
  for (int c = 0; c < 2; ++c) {
    m_second[c].setInterval(1000);
    connect(&m_second[c], &QTimer::timeout, this, [this, c] { secondTick(c); });
  }
  connect(panel, &DevCtrl::CurveTimer, this, &DeviceSlot::CurveTimer);
  connect(panel, &DevCtrl::ShowTimer, this, &DeviceSlot::ShowTimer);

  // Curve redraws are coalesced: a burst of reports shares one picture, and a graph that cannot
  // be seen draws when its tab is shown.
  m_drawTimer.setSingleShot(true);
  m_drawTimer.setInterval(30);
  connect(&m_drawTimer, &QTimer::timeout, this, &DeviceSlot::flushGraph);
}

DeviceSlot::~DeviceSlot() = default;

QString DeviceSlot::gridText(int row, int col) const {
  const QTableWidgetItem* item = gridRun->item(row, col);
  return item ? item->text() : QString();
}

void DeviceSlot::setGridText(int row, int col, const QString& text) {
  if (QTableWidgetItem* item = gridRun->item(row, col))
    item->setText(text);
}

QString DeviceSlot::infoRow(int row) const {
  const QListWidgetItem* item = lstInfo->item(row);
  return item ? item->text() : QString();
}

void DeviceSlot::setInfoRow(int row, const QString& text) {
  if (QListWidgetItem* item = lstInfo->item(row))
    item->setText(text);
}

// ---- receive step ------------------------------------------------------------------------------

void DeviceSlot::ReceiveBytes() {
  const QByteArray bytes = m_comm.ReadPort(m_comm.PortHandle[static_cast<size_t>(m_index)]);
  if (!bytes.isEmpty())
    receive(bytes);
}

ReceiveOutcome DeviceSlot::receive(const QByteArray& bytes) {
  const ReceiveOutcome outcome =
      rx.ReceiveBytes(bytes, [this](const RecBody& body) { return HandleReport(body); });
  if (outcome.sawStart) {
    panel->setLedRecv(true);
    tmrRecv.start();
  }
  return outcome;
}

// ---- report handling ---------------------------------------------------------------------------

ReportAction DeviceSlot::HandleReport(const RecBody& body) {
  const ReportFields f = reportFields(body);
  if (f.channel > 1)
    return ReportAction::DropRest; // no such channel: a damaged report that passed its checksum
  const int c = f.channel;
  ChannelData& d = ch[static_cast<size_t>(c)];

  if (!m_window.calibrationOpen)
    m_window.menuAdj->setEnabled(true);

  if (connecting()) {
    if (!params.caps.usbMeter)
      d.takeDeviceCapacity(decodeCapacity(body));
    d.ModeNo = static_cast<qint16>(f.mode);
    if (f.info != 0) {
      params.FwVersion = reportFirmwareVersion(body);
      ++InfoCount;
    } else {
      takeParams(d, body);
    }
    if (IdentifyDevice(c, body) == ReportAction::DropRest)
      return ReportAction::DropRest;
  }

  if (f.info == 1) {
    ApplyInfoReport(c, body);
    ++InfoCount;
  }

  d.Cur = decodeCurrent(body, params);
  if (hasMeterCurrent(params))
    d.MeterCur = decodeMeterCurrent(body);
  d.Volt = decodeVoltage(body);

  if (!d.ChnRunning && m_window.ResDrop == 0.0f) {
    const float x = decodeResistanceDrop(body);
    if (x != d.Cap && x > 0.0f)
      m_window.ResDrop = x;
  }

  if (d.ChnRunning && !params.caps.usbMeter)
    d.takeDeviceCapacity(decodeCapacity(body));

  d.Temp = decodeTemperature(body, panel->Dev2S(), params.caps);
  if (params.caps.usbMeter) {
    d.DPlus = decodeDPlus(body);
    d.DMinus = decodeDMinus(body);
  }

  bool endMessage = false;
  if (!f.running()) {
    UpdateChannel(c);
    if (d.ChnRunning)
      finishTest(c, endMessage);
  } else {
    if (!d.ChnRunning)
      adoptTest(c, f, body);
    d.ChnRunning = true;
    if (d.ParamEcho > 0) {
      if (f.info == 0) {
        takeParams(d, body);
        ShowParams(c);
        ++d.ParamEcho;
      }
      if (d.ParamEcho == 3)
        d.ParamEcho = 0;
    }
    if (panel->chn().toInt() == c)
      SetRunButtons(c);
    m_window.SetCalibButtons();
    panel->setTmrShowEnable(c, true);
    panel->setTmrCurveEnable(c, true);
    TestClockOn(c);
    SecondTimerStart(c);
    UpdateChannel(c);
  }

  if (endMessage && !AutoRunning && !StepRunning)
    m_window.ShowNotice(QStringLiteral("STOP"));
  return ReportAction::Continue;
}

void DeviceSlot::finishTest(int c, bool& endMessage) {
  ChannelData& d = ch[static_cast<size_t>(c)];
  setGridText(c + 1, 3, panel->tVol(c) + QLatin1Char('V'));
  endMessage = !panel->Dev2S();

  if (!d.RecPath.isEmpty() && m_window.prefs.SAVE) {
    const QString stem = dataFileStem(QDateTime::currentDateTime(), gridText(c + 1, 0), m_index, c);
    const QString folder = programPath(QStringLiteral("Data"));
    if (QFileInfo(folder).isDir())
      WriteDataFile(c, QDir(folder).filePath(stem) + QLatin1Char('.') +
                           (m_window.prefs.CSV ? QStringLiteral("csv") : QStringLiteral("dat")));
  }
  d.RecPath.clear();

  panel->setTmrShowEnable(c, false);
  TestClockOff(c);
  if (!AutoRunning) {
    if (infoRow(c + 3).isEmpty()) {
      panel->setTmrCurveEnable(c, false);
      SecondTimerStop(c);
    }
    d.StartPoint = 0;
  }
  graph->setSize(true);
  d.ChnRunning = false;
  if (panel->chn().toInt() == c)
    SetRunButtons(c);
  m_window.SetCalibButtons(); // for the panel's selected channel, whichever channel reported
}

void DeviceSlot::adoptTest(int c, const ReportFields& f, const RecBody& body) {
  ChannelData& d = ch[static_cast<size_t>(c)];
  d.ModeNo = static_cast<qint16>(f.mode);
  if (f.info != 0) {
    takeInfoRanges(params, body);
    ++InfoCount;
  } else {
    takeParams(d, body);
  }
  ShowParams(c);
  if (gridText(c + 1, 2).isEmpty())
    ContClick(c);
}

ReportAction DeviceSlot::IdentifyDevice(int c, const RecBody& body) {
  const Identification id = identifyReport(body, params);
  if (id.ignored)
    return ReportAction::DropRest;
  if (id.modes)
    m_twoChannelLaidOut = id.rebuildTwoChannelLegends;
  // Either channel of a two-channel model may report first; connecting on channel 1 before
  // channel 0 has laid out the slot would leave it without modes, tabs and second-channel curves.
  const bool connected = id.connected && (!id.Dev2S || m_twoChannelLaidOut);
  if (connected) {
    tmrConn.stop();
    m_window.slotConnected();
  }
  graph->setAxesY1Txt(id.currentAxisCaption);
  panel->setDev2S(id.Dev2S);
  if (id.modes) {
    panel->ModeClr();
    for (const QString& m : *id.modes)
      panel->ModeAdd(LangText(m));
  }
  m_window.menuRes->setVisible(id.resistanceMenu);
  if (id.tabs) {
    panel->TabClear();
    for (int i = 0; i < id.tabs->size(); ++i)
      panel->TabAdd(i + 1, id.tabs->at(i));
  }
  if (id.rebuildTwoChannelLegends)
    SetTwoChannelLayout();
  if (id.showUsbMenu)
    m_window.menuUsb->setVisible(true);
  if (id.showTempMenu)
    m_window.menuTemp->setVisible(true);
  params = id.params;
  if (id.name)
    setGridText(1, 0, *id.name);
  if (id.initAutoPage)
    InitAutoPage();
  ShowParams(c);
  return ReportAction::Continue;
}

void DeviceSlot::ApplyInfoReport(int c, const RecBody& body) {
  QStringList modes;
  for (int i = 0; i < panel->ModeCnt(); ++i)
    modes << panel->ModeTxt(i);
  const InfoReport info = infoReport(body, params, modes);
  params = info.params;
  if (info.modes) {
    panel->ModeClr();
    for (const QString& m : *info.modes)
      panel->ModeAdd(LangText(m));
    const int mode = ch[static_cast<size_t>(c)].ModeNo;
    if (mode >= 0 && mode < panel->ModeCnt())
      panel->setTMode(panel->ModeTxt(mode));
  }
  if (info.name)
    setGridText(1, 0, *info.name);
}

// ---- live update -------------------------------------------------------------------------------

bool DeviceSlot::temperatureShown() const {
  return params.HasTemp && m_window.prefs.TEMP;
}

float DeviceSlot::ThirdValue(int c) const {
  const ChannelData& d = ch[static_cast<size_t>(c)];
  return temperatureShown() ? d.Temp : d.Pwr;
}

void DeviceSlot::UpdateChannel(int c) {
  ChannelData& d = ch[static_cast<size_t>(c)];
  if (!sampleAccepted(d, params)) {
    ErrLog(rejectedSampleTag(m_index, d, params), QString());
    return;
  }
  try {
    panel->setTVol(c, Format(d.Volt, voltagePicture(d.Volt, params)));
    panel->setTCur(c, Format(d.Cur, currentPicture(d.Cur, params)));
    d.Pwr = d.Cur * d.Volt;
    panel->setTPwr(c, Format(d.Pwr, powerPicture(d.Pwr)));

    // The info rows describe the selected slot, whichever slot is being updated.
    const DeviceSlot& sel = m_window.slot(m_window.SelectedSlot());
    if (sel.panel->Dev2S()) {
      setInfoRow(c + 1, runStateRow(QStringLiteral("Channel"), c + 1,
                                    sel.ch[static_cast<size_t>(c)].ChnRunning));
    } else {
      setInfoRow(1, runStateRow(QStringLiteral("Device"), sel.index() + 1, sel.ch[0].ChnRunning));
      if (sel.params.HasTemp)
        setInfoRow(2, temperatureRow(sel.index(), sel.ch[0].Temp));
    }
    if (!sel.StepRunning)
      m_window.setVersionText(versionText(sel.params.FwVersion));

    if (d.ChnRunning) {
      setGridText(c + 1, 1,
                  panel->tMode() + QStringLiteral("  ") + panel->tSval(c) + panel->lSvalt(c) +
                      QStringLiteral("  ") + panel->tSlmt(c) + panel->lSlmtt(c));
      const double average = averageVoltage(d, graph->DpCnt(c * 5));
      if (average >= 0.0)
        setGridText(c + 1, 6, Format(average, u"0.00") + QLatin1Char('V'));
      if (params.caps.usbMeter)
        integrateMeterCapacity(d);
      if (average >= 0.0)
        growEnergy(d, average);
    }

    if (panel->TmrCurveEnable(c)) {
      if (graph->DpCnt(c * 5) == 0 && d.ChnRunning) {
        float begin = d.Volt;
        const QString cell = gridText(c + 1, 2);
        bool numeric = false;
        const float typed = cell.left(cell.size() - 1).toFloat(&numeric);
        if (!cell.isEmpty() && numeric)
          begin = typed;
        FeedCurves(c, 0, begin, d.Cur, ThirdValue(c));
        graph->AddXY(c * 5 + 3, static_cast<float>(d.CurveSec), curveValue(d.Cap, u"0.000"));
        graph->AddXY(c * 5 + 4, static_cast<float>(d.CurveSec), curveValue(d.Energy, u"0.000"));
      }
      FeedCurves(c, d.CurveSec, d.Volt, d.Cur, ThirdValue(c));
      graph->AddXY(c * 5 + 3, static_cast<float>(d.CurveSec), curveValue(d.Cap, u"0.000"));
      graph->AddXY(c * 5 + 4, static_cast<float>(d.CurveSec), curveValue(d.Energy, u"0.000"));
      if (!d.RecPath.isEmpty() && d.ChnRunning) {
        const std::optional<float> temp =
            temperatureShown() ? std::optional<float>(d.Temp) : std::nullopt;
        appendRecordingLine(d.RecPath,
                            recordingLine(d.TestSec, d.Cur, d.Volt, temp, params.CurDiv));
      }
    }

    ShowCapEnergy(c);
    m_window.updateDisplayWindows(*this, c);
  } catch (...) {
    ErrLog(failedUpdateTag(m_index, d), describeCurrentException());
  }
}

void DeviceSlot::ShowCapEnergy(int c) {
  logFailures(QStringLiteral("ErrCap"), [&] {
    const ChannelData& d = ch[static_cast<size_t>(c)];
    setGridText(c + 1, 4, capacityText(d.Cap));
    setGridText(c + 1, 5, energyText(d.Energy));
  });
}

float DeviceSlot::curveValue(float value, QStringView picture) const {
  // Curves hold the value as the readout shows it: rounded to the picture.
  return Format(value, picture).toFloat();
}

void DeviceSlot::addCurvePoints(int c, qint32 x, float volt, float cur, float third) {
  const float values[3] = {volt, cur, third};
  for (int a = 0; a < 3; ++a) {
    if (axes.unset(a)) {
      if (m_window.prefs.SCALE != 0) {
        axes.max[a] = axes.min[a] = values[a];
      } else {
        axes.max[a] = graph->MaxY(a);
        axes.min[a] = graph->MinY(a);
      }
    }
    widenAxis(axes, a, values[a]);
  }
  ch[static_cast<size_t>(c)].VoltSum += volt;
  const float fx = static_cast<float>(x);
  graph->AddXY(c * 5, fx, curveValue(volt, u"0.000"));
  graph->AddXY(c * 5 + 1, fx, curveValue(cur, curveCurrentPicture(params)));
  graph->AddXY(c * 5 + 2, fx, curveValue(third, u"0.0"));
}

void DeviceSlot::FeedCurves(int c, qint32 x, float volt, float cur, float third) {
  logFailures(QStringLiteral("ErrCurve"), [&] {
    addCurvePoints(c, x, volt, cur, third);
    FitAxes();
    scheduleGraphDraw();
  });
}

void DeviceSlot::ReplayPoint(int c, qint32 x, float volt, float cur, float third) {
  logFailures(QStringLiteral("ErrCurve2"), [&] { addCurvePoints(c, x, volt, cur, third); });
}

void DeviceSlot::FitAxes() {
  graph->setMaxX(static_cast<float>(fitMaxX(graph->MaxX(), CurveEnd)));
  const auto [vMin, vMax] = fitVoltageRange(axes.min[0], axes.max[0]);
  const auto [cMin, cMax] = fitCurrentRange(axes.min[1], axes.max[1], params.caps);
  const float fitted[2][2] = {{static_cast<float>(vMin), static_cast<float>(vMax)},
                              {static_cast<float>(cMin), static_cast<float>(cMax)}};
  for (int a = 0; a < 2; ++a) {
    if (graph->MinY(a) != fitted[a][0])
      graph->setMinY(a, fitted[a][0]);
    if (graph->MaxY(a) != fitted[a][1])
      graph->setMaxY(a, fitted[a][1]);
  }
  graph->setMinY(2, axes.min[2]);
  graph->setMaxY(2, axes.max[2]);
}

void DeviceSlot::scheduleGraphDraw() {
  m_drawPending = true;
  if (graph->isVisible() && !m_drawTimer.isActive())
    m_drawTimer.start();
}

void DeviceSlot::flushGraph() {
  m_drawTimer.stop();
  if (!m_drawPending)
    return;
  m_drawPending = false;
  graph->DrawCurve();
}

void DeviceSlot::CurveTimer(int c) {
  const qint32 sec = ch[static_cast<size_t>(c)].CurveSec;
  if (CurveEnd < sec)
    CurveEnd = sec;
}

void DeviceSlot::ShowTimer(int c) {
  logFailures(QStringLiteral("ErrTmrShow"), [&] {
    const qint32 sec = ch[static_cast<size_t>(c)].TestSec;
    panel->setTTime(c, testTimeText(sec));
    if (!panel->Dev2S() && sendsElapsedTime(sec))
      SendTime(c);
  });
}

void DeviceSlot::SetTwoChannelLayout() {
  // Setting the count paints curves 0 and 1 in the graph's own blue and red; channel 1 keeps the
  // colours its grid swatches and panel readouts show.
  const quint32 kept[3] = {graph->CurveLineColor(0), graph->CurveLineColor(1),
                           graph->CurveLineColor(2)};
  graph->setCurveCount(10);
  for (int k = 0; k < 3; ++k)
    graph->setCurveLineColor(k, kept[k]);
  const char* words[] = {"Voltage", "Current", "Temp"};
  for (int k = 0; k < 3; ++k) {
    graph->setLegendText(k, LangText(QString::fromLatin1(words[k]) + QLatin1Char('1')));
    graph->setLegendText(5 + k, LangText(QString::fromLatin1(words[k]) + QLatin1Char('2')));
  }
  const Preferences& prefs = m_window.prefs;
  graph->setCurveLineColor(5, prefs.VCOL[1]);
  graph->setCurveLineColor(6, prefs.CCOL[1]);
  graph->setCurveLineColor(7, graph->CurveLineColor(6));
  for (int k = 0; k < 3; ++k) {
    if (k < 2)
      graph->setCurveAxesY(5 + k, graph->CurveAxesY(k));
    graph->setShowCurve(5 + k, graph->ShowCurve(k));
  }
  graph->setCurveAxesY(7, graph->CurveAxesY(2));
  for (int i : {0, 1, 5, 6})
    graph->setShowLegend(i, prefs.SLA != 0);
  setGridText(2, 0, LangText(QStringLiteral("No Device")));
  gridRun->item(2, 7)->setBackground(toQColor(graph->CurveLineColor(5)));
  gridRun->item(2, 8)->setBackground(toQColor(graph->CurveLineColor(6)));
}

// ---- connection --------------------------------------------------------------------------------

Comm::Handle& DeviceSlot::portHandle() {
  return m_comm.PortHandle[static_cast<size_t>(m_index)];
}

void DeviceSlot::showNoDeviceModes() {
  panel->ModeClr();
  panel->ModeAdd(QStringLiteral("No Device"));
  panel->setTMode(QStringLiteral("No Device"));
  for (int c = 0; c < 2; ++c) {
    panel->setTSval(c, QStringLiteral("00.00"));
    panel->setTSlmt(c, QStringLiteral("00.00"));
    panel->setTStim(c, QStringLiteral("0"));
  }
}

void DeviceSlot::ConnClick() {
  try {
    if (panel->Conn())
      Disconnect();
    else
      Connect();
  } catch (...) {
    ErrLog(QStringLiteral("Conn"), describeCurrentException());
    m_window.MsgBox(QMessageBox::Critical, LangText(QStringLiteral("Wrong Port!")));
  }
}

void DeviceSlot::Connect() {
  if (portHandle() != 0)
    return;
  const QString text = panel->tPort().trimmed();
  const std::optional<int> n = portNumber(text);
  if (!n)
    throw Failure(QStringLiteral("Not a port: \"%1\"").arg(text));

  // A port that does not open is said at once, with the reason; the slot stays disconnected
  // instead of connecting forever without a port.
  portHandle() = m_comm.OpenPort(*n);
  if (portHandle() == 0) {
    const QString reason = describeOpenFailure(*n, m_comm.lastOpenFailure());
    ErrLog(QStringLiteral("Conn"), reason);
    m_window.MsgBox(QMessageBox::Critical, reason);
    return;
  }
  m_comm.SetupPort(portHandle(), 9600, 8, 0, 2); // a pseudo-terminal refuses even parity
  tmrComm.start();
  IniWrite(programPath(QStringLiteral("ondrel.ini")), QStringLiteral("COMM"),
           QStringLiteral("PORT%1").arg(m_index + 1), QString::number(*n));

  for (ChannelData& d : ch) {
    d.Volt = d.Cur = d.MeterCur = d.Cap = d.CapOffset = d.Energy = 0.0f;
    d.CurveSec = 0;
    d.CapOffsetPending = false;
    d.ChnRunning = false;
  }
  ch[0].CapTick = 0;
  params.FwVersion = 0;
  InfoCount = 0;
  rx.reset();
  m_twoChannelLaidOut = false;

  tmrConn.start();
  SendConnect();
  m_window.menuUpdate->setEnabled(false);
  panel->setConn(true);
}

void DeviceSlot::Disconnect() {
  if (panel->StopEnable()) {
    const auto answer =
        m_window.MsgBox(QMessageBox::Information, LangText(QStringLiteral("Stop running?")),
                        QMessageBox::Ok | QMessageBox::Cancel);
    if (answer == QMessageBox::Ok) {
      SendStop(0);
      if (panel->Dev2S()) {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        SendStop(1);
      }
    }
  }
  if (portHandle() == 0)
    return;

  SendDisconnect();
  m_comm.ClosePort(portHandle());
  tmrComm.stop();
  tmrConn.stop();

  for (int row = 1; row <= 4; ++row)
    setInfoRow(row, QString());
  setGridText(1, 0, LangText(QStringLiteral("No Device")));
  if (panel->Dev2S())
    setGridText(2, 0, LangText(QStringLiteral("No Device")));
  for (int row = 1; row <= 2; ++row)
    for (int col = 1; col <= 6; ++col)
      setGridText(row, col, QString());

  panel->setRunEnable(false);
  panel->setContEnable(false);
  panel->setSetEnable(false);
  panel->setMonitorEnable(false);
  panel->setStopEnable(false);
  for (int c = 0; c < 2; ++c) {
    panel->setTmrCurveEnable(c, false);
    panel->setTmrShowEnable(c, false);
    TestClockOff(c);
    SecondTimerStop(c);
  }

  showNoDeviceModes();

  m_window.menuAdj->setEnabled(false);
  m_window.menuRes->setEnabled(false);
  m_window.menuCurve->setEnabled(true);
  m_window.menuUpdate->setEnabled(true);
  // The USB meter window follows the selected slot; it arrives with the small windows.

  panel->setConn(false);
  panel->TabClear();
  panel->TabAdd(1, QStringLiteral("key1"));
}

// ---- device commands ---------------------------------------------------------------------------

void DeviceSlot::writeFrame(const CmdFrame& frame) {
  const Comm::Handle h = portHandle();
  if (h != 0)
    m_comm.WritePort(h, QByteArray(reinterpret_cast<const char*>(frame.data()),
                                   static_cast<qsizetype>(frame.size())));
}

void DeviceSlot::SendConnect() {
  logFailures(QStringLiteral("ErrConn"), [&] { writeFrame(connectFrame()); });
}

void DeviceSlot::SendDisconnect() {
  logFailures(QStringLiteral("ErrDconn"), [&] { writeFrame(disconnectFrame()); });
}

void DeviceSlot::SendStop(int c) {
  logFailures(QStringLiteral("ErrStop"), [&] { writeFrame(stopFrame(c)); });
}

void DeviceSlot::SendTime(int c) {
  logFailures(QStringLiteral("ErrTim"),
              [&] { writeFrame(timeFrame(c, ch.at(static_cast<size_t>(c)).TestSec)); });
}

void DeviceSlot::SendStart(int c, int operation) {
  logFailures(QStringLiteral("ErrStart%1").arg(operation), [&] {
    ChannelData& d = ch.at(static_cast<size_t>(c));
    const StartCommand s = startFrame(
        params, c, d.ModeNo, {panel->tSval(c), panel->tSlmt(c), panel->tStim(c)}, operation);
    d.SetRaw = s.SetRaw;
    d.LimitRaw = s.LimitRaw;
    d.TimeRaw = s.TimeRaw;
    writeFrame(s.frame);
  });
}

void DeviceSlot::RemoteSet(double current) {
  logFailures(QStringLiteral("ErrSet"), [&] {
    const DeviceSlot& sel = m_window.slot(m_window.SelectedSlot());
    const int c = sel.panel->chn().toInt();
    writeFrame(
        remoteSetFrame(c, sel.params.CurDiv, current, ch.at(static_cast<size_t>(c)).LimitRaw));
    panel->setTSval(c, Format(current, u"0.00"));
  });
}

void DeviceSlot::RemoteQC(int code) {
  logFailures(QStringLiteral("ErrQC"), [&] {
    const int c = m_window.slot(m_window.SelectedSlot()).panel->chn().toInt();
    writeFrame(remoteQCFrame(c, code));
  });
}

void DeviceSlot::RemotePE(int code) {
  logFailures(QStringLiteral("ErrPE"), [&] {
    const int c = m_window.slot(m_window.SelectedSlot()).panel->chn().toInt();
    writeFrame(remotePEFrame(c, code));
  });
}

// ---- test clock --------------------------------------------------------------------------------

void DeviceSlot::SecondTimerStart(int c) {
  if (!m_second[c].isActive())
    m_second[c].start();
}

void DeviceSlot::SecondTimerStop(int c) {
  m_second[c].stop();
}

void DeviceSlot::secondTick(int c) {
  ChannelData& d = ch[static_cast<size_t>(c)];
  ++d.CurveSec;
  if (m_counting[c])
    ++d.TestSec;
}

// ---- waiting for their features ----------------------------------------------------------------

void DeviceSlot::ShowParams(int) {
  // Presents the channel's mode and parameters on the panel; arrives with the test modes.
}

void DeviceSlot::ContClick(int channel) {
  // Continuing the interrupted recording arrives with single test control.
  emit continueRequested(channel);
}

void DeviceSlot::InitAutoPage() {
  // Sets up the automatic test page; arrives with the auto test.
}

void DeviceSlot::SetRunButtons(int) {
  // Idle or running button states; arrive with single test control.
}

void DeviceSlot::WriteDataFile(int c, const QString& path) {
  // Failures stay inside the writer: no message, no log line.
  try {
    DataFileContent content;
    static const char* const headings[] = {"Device",   "Mode",   "Begin Volt", "Cutoff Volt",
                                           "Capacity", "Energy", "Avg Volt"};
    for (int col = 0; col < 7; ++col)
      content.resultBlock << QLatin1String(headings[col]) + QLatin1Char(':') + gridText(c + 1, col);
    content.title = graph->TitleText();
    content.withTemperature = temperatureShown();
    content.caps = params.caps;
    content.curDiv = params.CurDiv;
    content.csv = m_window.prefs.CSV;
    const qint32 count = graph->DpCnt(c * 5);
    for (qint32 i = ch[static_cast<size_t>(c)].StartPoint; i < count; ++i)
      content.points.push_back({graph->DpX(c * 5, i), graph->DpY(c * 5 + 1, i),
                                graph->DpY(c * 5, i), graph->DpY(c * 5 + 2, i)});
    writeDataFile(path, dataFileLines(content));
  } catch (...) {
  }
}

} // namespace ondrel
