#include "test/reportstep.h"

#include "data/support/errorlog.h"
#include "data/support/failure.h"
#include "data/support/langtext.h"
#include "data/support/numberformat.h"
#include "link/reportdecode.h"
#include "test/singletest.h"

#include <QStringBuilder>

namespace ondrel {
namespace {

// The parameter echo b9..b14 of a non-info report becomes the channel's parameters.
void takeParams(ChannelData& d, const RecBody& body) {
  const ParamEchoValues p = decodeParams(body);
  d.SetRaw = p.SetRaw;
  d.LimitRaw = p.LimitRaw;
  d.TimeRaw = p.TimeRaw;
}

QStringList shownModes(const QStringList& modes) {
  QStringList shown;
  shown.reserve(modes.size());
  for (const QString& mode : modes)
    shown << LangText(mode);
  return shown;
}

// Curves hold a value as the readout shows it: rounded to the picture.
float curveValue(float value, QStringView picture) {
  return static_cast<float>(formattedValue(value, picture));
}

} // namespace

void addCurvePoint(SlotModel& m, int c, const Sample& point, bool scaleFromValues) {
  const float values[3] = {point.volt, point.cur, point.third};
  for (int a = 0; a < 3; ++a) {
    if (m.axes.unset(a)) {
      if (scaleFromValues) {
        m.axes.max[a] = m.axes.min[a] = values[a];
      } else {
        m.axes.max[a] = m.ranges.maxY[a];
        m.axes.min[a] = m.ranges.minY[a];
      }
    }
    widenAxis(m.axes, a, values[a]);
  }
  ChannelModel& ch = m.at(c);
  ch.data.VoltSum += point.volt;
  Sample s = point;
  s.volt = curveValue(point.volt, u"0.000");
  s.cur = curveValue(point.cur, curveCurrentPicture(m.params));
  s.third = curveValue(point.third, u"0.0");
  ch.series.append(s);
}

void fitAxes(SlotModel& m) {
  GraphRanges& r = m.ranges;
  r.maxX = static_cast<float>(fitMaxX(r.maxX, m.CurveEnd));
  const auto [vMin, vMax] = fitVoltageRange(m.axes.min[0], m.axes.max[0]);
  const auto [cMin, cMax] = fitCurrentRange(m.axes.min[1], m.axes.max[1], m.params.caps);
  r.minY[0] = static_cast<float>(vMin);
  r.maxY[0] = static_cast<float>(vMax);
  r.minY[1] = static_cast<float>(cMin);
  r.maxY[1] = static_cast<float>(cMax);
  r.minY[2] = m.axes.min[2];
  r.maxY[2] = m.axes.max[2];
}

bool showChannelParams(SlotModel& m, int c) {
  if (m.params.ModelCode == 0)
    return false;
  ChannelModel& ch = m.at(c);
  const ChannelData& d = ch.data;
  ch.view.params =
      showParams(m.params, m.Dev2S, m.modes, {d.ModeNo, d.SetRaw, d.LimitRaw, d.TimeRaw});
  m.modeText = ch.view.params.tMode;
  showCapEnergy(m, c);
  return true;
}

void showCapEnergy(SlotModel& m, int c) {
  logFailures(QStringLiteral("ErrCap"), [&] {
    ChannelModel& ch = m.at(c);
    ch.row.capacity = capacityText(ch.data.Cap, m.params.caps);
    ch.row.energy = energyText(ch.data.Energy, m.params.caps);
  });
}

void clearChannelSeries(SlotModel& m, int c) {
  m.clearSeries(c);
  if (!m.Dev2S)
    m.clearSeries(1);
}

void prepareTest(SlotModel& m, int c, const TestStart& start) {
  ChannelData& d = m.at(c).data;
  if (!start.stepRunning) {
    clearChannelSeries(m, c);
    if (startResetsAxes(m.Dev2S, m.at(0).series.size(), m.at(1).series.size())) {
      m.axes = startAxes(m.params, d.ModeNo, start.scaleFromValues, d.Volt, start.limit, start.set);
      m.CurveEnd = 0;
    }
    d.CurveSec = 0;
  }
  d.TestSec = 0;
  d.Energy = 0.0f;
  d.VoltSum = 0.0;
  d.Cap = 0.0f;
  d.CapTick = 0;
  d.CapOffset = 0.0f;
  d.CapOffsetPending = false;
  d.StartPoint = m.at(c).series.size();
}

QString modeColumn(const SlotModel& m, int c) {
  const ParamView& v = m.at(c).view.params;
  return QString(m.modeText % u"  " % v.tSval % v.lSvalt % u"  " % v.tSlmt % v.lSlmtt);
}

void showTestRow(SlotModel& m, int c, const QString& beginVolt) {
  ResultRow& row = m.at(c).row;
  row.beginVolt = beginVolt + QLatin1Char('V');
  row.cutoffVolt.clear();
  row.mode = modeColumn(m, c);
}

void ReportStep::emitEffect(SlotEffect e) {
  // A slot applies each effect as it comes and needs no list of them: one report is then one
  // allocation less for every effect.
  if (m_sink)
    m_sink(e);
  else if (m_effects)
    m_effects->push_back(std::move(e));
}

void ReportStep::emitFlag(SlotEffect::Kind kind, int c, bool flag) {
  SlotEffect e(kind, c);
  e.flag = flag;
  emitEffect(std::move(e));
}

ReportStep::Result ReportStep::take(const RecBody& body, const ReportInputs& in) {
  Result result;
  m_in = in;
  m_effects = &result.effects;
  struct Done {
    std::vector<SlotEffect>*& effects;
    ~Done() { effects = nullptr; }
  } done{m_effects};
  const ReportFields f = reportFields(body);
  if (f.channel > 1) {
    // No such channel: a damaged report that passed its checksum.
    result.action = ReportAction::DropRest;
    return result;
  }
  const int c = f.channel;
  ChannelData& d = m.at(c).data;

  emitEffect(SlotEffect::Kind::Heard, c);

  if (m.connecting()) {
    if (!m.params.caps.usbMeter)
      d.takeDeviceCapacity(decodeCapacity(body));
    d.ModeNo = static_cast<qint16>(f.mode);
    if (f.info != 0) {
      m.params.FwVersion = reportFirmwareVersion(body);
      ++m.InfoCount;
    } else {
      takeParams(d, body);
    }
    if (IdentifyDevice(c, body) == ReportAction::DropRest) {
      result.action = ReportAction::DropRest;
      return result;
    }
    if (!m.connecting())
      showConnected(c, f.running());
  }

  if (f.info == 1) {
    ApplyInfoReport(c, body);
    ++m.InfoCount;
    adoptPendingTests();
  }

  d.Cur = decodeCurrent(body, m.params);
  if (hasMeterCurrent(m.params))
    d.MeterCur = decodeMeterCurrent(body);
  d.Volt = decodeVoltage(body);

  if (!d.ChnRunning) {
    const float x = decodeResistanceDrop(body);
    if (x != d.Cap && x > 0.0f) {
      SlotEffect e(SlotEffect::Kind::ResistanceDrop, c);
      e.value = x;
      emitEffect(std::move(e));
    }
  }

  if (d.ChnRunning && !m.params.caps.usbMeter)
    d.takeDeviceCapacity(decodeCapacity(body));

  d.Temp = decodeTemperature(body, m.Dev2S, m.params.caps);
  if (m.params.caps.usbMeter) {
    d.DPlus = decodeDPlus(body);
    d.DMinus = decodeDMinus(body);
  }

  bool endMessage = false;
  bool finished = false;
  if (!f.running()) {
    UpdateChannel(c);
    if (d.ChnRunning) {
      finishTest(c, endMessage);
      finished = true;
    }
  } else {
    if (!d.ChnRunning && !adoptTest(c, f, body)) {
      UpdateChannel(c);
      return result;
    }
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
    if (m_in.shownChannel == c)
      emitEffect(SlotEffect::Kind::ButtonsRunning, c);
    emitFlag(SlotEffect::Kind::CalibButtons, c, !m.at(m_in.shownChannel).data.ChnRunning);
    m.changeClocks(c, ClockChange::TestStarts);
    emitEffect(SlotEffect::Kind::ClocksChanged, c);
    UpdateChannel(c);
  }

  if (finished) {
    const bool notice = endMessage && !m_in.autoRunning && !m_in.stepRunning;
    SlotEffect e(SlotEffect::Kind::Finished, c);
    if (notice)
      e.text = QStringLiteral("STOP");
    emitEffect(std::move(e));
  }
  return result;
}

void ReportStep::ShowParams(int c) {
  if (showChannelParams(m, c))
    emitEffect(SlotEffect::Kind::ParamsDue, c);
}

void ReportStep::finishTest(int c, bool& endMessage) {
  ChannelModel& ch = m.at(c);
  ChannelData& d = ch.data;
  ch.row.cutoffVolt = ch.view.voltText + QLatin1Char('V');
  endMessage = !m.Dev2S;

  emitEffect(SlotEffect::Kind::RecordingEndDue, c);
  if (!d.RecPath.isEmpty() && m_in.saveAtEnd)
    emitEffect(SlotEffect::Kind::DataFileDue, c);
  d.RecPath.clear();

  // An automatic test goes on drawing between its rows.
  m.changeClocks(c, ClockChange::Ends, m_in.autoRunning);
  emitEffect(SlotEffect::Kind::ClocksChanged, c);
  if (!m_in.autoRunning)
    d.StartPoint = 0;
  d.ChnRunning = false;
  emitEffect(SlotEffect::Kind::TestEnded, c);
  if (m_in.shownChannel == c)
    emitEffect(SlotEffect::Kind::ButtonsIdle, c);
  // The calibration buttons follow the panel's channel, whichever channel reported.
  emitFlag(SlotEffect::Kind::CalibButtons, c, !m.at(m_in.shownChannel).data.ChnRunning);
}

void ReportStep::showConnected(int c, bool reportRunning) {
  // Nothing else says when Start first becomes usable: an idle channel shows its idle buttons at
  // once, so a Disconnect and a new Connect never leave Start disabled. A running report goes on
  // to adopt the test, which shows the running buttons.
  const int shown = m_in.shownChannel;
  const bool running = shown == c ? reportRunning : m.at(shown).data.ChnRunning;
  if (!running)
    emitEffect(SlotEffect::Kind::ButtonsIdle, c);
}

bool ReportStep::adoptTest(int c, const ReportFields& f, const RecBody& body) {
  const bool begunHere = m.at(c).begunHere();
  // An info report has the device's ranges where the test's parameters would be: a test this
  // program did not begin waits for the next report, so that the panel, the recording and a
  // continue command carry the device's own parameters, not zeros or an older test's.
  if (f.info != 0 && !begunHere)
    return false;
  ChannelData& d = m.at(c).data;
  d.ModeNo = static_cast<qint16>(f.mode);
  if (f.info != 0) {
    takeInfoRanges(m.params, body);
    ++m.InfoCount;
    // An info report carries no parameters: the next reports' echo shows them, or the boxes
    // would read 0 and an Adjust would send that.
    d.ParamEcho = 1;
  } else {
    takeParams(d, body);
  }
  ShowParams(c);
  if (begunHere)
    return true;
  // The recording is found by the device's name: a model named by its first info report waits.
  if (m.nameFinal())
    emitEffect(SlotEffect::Kind::TestAdopted, c);
  else
    m.at(c).adoptPending = true;
  return true;
}

void ReportStep::adoptPendingTests() {
  if (!m.nameFinal())
    return;
  for (int c = 0; c < 2; ++c) {
    ChannelModel& ch = m.at(c);
    if (!ch.adoptPending)
      continue;
    ch.adoptPending = false;
    if (ch.data.ChnRunning && !ch.begunHere())
      emitEffect(SlotEffect::Kind::TestAdopted, c);
  }
}

ReportAction ReportStep::IdentifyDevice(int c, const RecBody& body) {
  Identification id = identifyReport(body, m.params);
  if (id.ignored) {
    // A report without a model still says so: the slot has no identified device.
    if (reportModelCode(body) == 0) {
      m.params.ModelCode = 0;
      m.params.caps = modelCaps(0);
    }
    return ReportAction::DropRest;
  }
  if (id.modes)
    m.twoChannelLaidOut = id.rebuildTwoChannelLegends;
  // Either channel of a two-channel model may report first; connecting on channel 1 before
  // channel 0 has laid out the slot would leave it without modes, tabs and second-channel curves.
  const bool connected = id.connected && (!id.Dev2S || m.twoChannelLaidOut);
  if (connected) {
    m.link = LinkState::Identified;
    emitEffect(SlotEffect::Kind::Connected, c);
  }
  m.Dev2S = id.Dev2S;
  if (id.modes)
    m.modes = shownModes(*id.modes);
  m.params = id.params;
  if (id.name)
    m.setDeviceName(*id.name);
  SlotEffect e(SlotEffect::Kind::Identified, c);
  e.id = std::move(id);
  emitEffect(std::move(e));
  ShowParams(c);
  return ReportAction::Continue;
}

void ReportStep::ApplyInfoReport(int c, const RecBody& body) {
  const InfoReport info = infoReport(body, m.params, m.modes);
  m.params = info.params;
  if (info.modes) {
    m.modes = shownModes(*info.modes);
    const int mode = m.at(c).data.ModeNo;
    if (mode >= 0 && mode < m.modes.size())
      m.modeText = m.modes.at(mode);
    emitEffect(SlotEffect::Kind::ModesDue, c);
  }
  if (info.name && *info.name != m.at(0).row.device) {
    m.setDeviceName(*info.name);
    SlotEffect e(SlotEffect::Kind::NameDue, c);
    e.text = *info.name;
    emitEffect(std::move(e));
    // A test started before the name was known records under the old name: it follows.
    for (int channel = 0; channel < 2; ++channel)
      if (!m.at(channel).data.RecPath.isEmpty())
        emitEffect(SlotEffect::Kind::RecordingRenamed, channel);
  }
}

float ReportStep::ThirdValue(int c) const {
  const ChannelData& d = m.at(c).data;
  return m_in.temperatureData && m.params.HasTemp ? d.Temp : d.Pwr;
}

void ReportStep::UpdateChannel(int c) {
  ChannelModel& ch = m.at(c);
  ChannelData& d = ch.data;
  if (!sampleAccepted(d, m.params)) {
    emitEffect(SlotEffect::Kind::SampleRejected, c);
    return;
  }
  try {
    ch.view.voltText = Format(d.Volt, voltagePicture(d.Volt, m.params));
    ch.view.curText = Format(d.Cur, currentPicture(d.Cur, m.params));
    d.Pwr = d.Cur * d.Volt;
    emitEffect(SlotEffect::Kind::SampleShown, c);

    if (d.ChnRunning) {
      ch.row.mode = modeColumn(m, c);
      const double average = averageVoltage(d, ch.series.size());
      if (average >= 0.0)
        ch.row.avgVolt = Format(average, u"0.00") + QLatin1Char('V');
      if (m.params.caps.usbMeter)
        integrateMeterCapacity(d);
      if (average >= 0.0)
        growEnergy(d, average);
      emitEffect(SlotEffect::Kind::ResultRowDue, c);
    }

    if (ch.curveClock) {
      int added = 0;
      const float ah = curveValue(d.Cap, u"0.000");
      const float wh = curveValue(d.Energy, u"0.000");
      if (ch.series.empty() && d.ChnRunning) {
        // The test's first point at second 0 carries its begin voltage.
        const float begin = ch.beginVoltage().value_or(d.Volt);
        addCurvePoint(m, c, {m_in.ms, 0, begin, d.Cur, ThirdValue(c), ah, wh},
                      m_in.scaleFromValues);
        fitAxes(m);
        ++added;
      }
      addCurvePoint(m, c, {m_in.ms, d.CurveSec, d.Volt, d.Cur, ThirdValue(c), ah, wh},
                    m_in.scaleFromValues);
      fitAxes(m);
      ++added;
      SlotEffect e(SlotEffect::Kind::PointsAdded, c);
      e.count = added;
      emitEffect(std::move(e));
      if (!d.RecPath.isEmpty() && d.ChnRunning)
        emitEffect(SlotEffect::Kind::RecordingLineDue, c);
    }

    showCapEnergy(m, c);
    emitEffect(SlotEffect::Kind::CapEnergyDue, c);
    emitEffect(SlotEffect::Kind::ChannelUpdated, c);
  } catch (...) {
    SlotEffect e(SlotEffect::Kind::UpdateFailed, c);
    e.text = describeCurrentException();
    emitEffect(std::move(e));
  }
}

} // namespace ondrel
