#pragma once

#include "link/comm.h"

#include <QWidget>

#include <array>

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTabBar;
class QTimer;

namespace ondrel {

class LCDisp;
class PanelBox;
class PanelGrid;
class RecvLamp;

// The device panel of one slot: port and connect, live readouts, mode and parameter boxes of one
// or two channels, the test buttons, and the pages of the auto test and of the step program. It
// keeps almost no logic: every user action becomes one of its signals, and the main window reads
// and writes the controls through its properties and methods.
//
// Naming: the panel's members carry the names the rest of the program uses for them.
// - A property P is read by P() and written by setP(value); a property whose name starts with a
//   lower-case letter keeps it in the getter and capitalises it after "set" (tVol / setTVol,
//   lSval / setLSval). Indexed properties take the index first: tSval(chn), setTSval(chn, text),
//   tStepSet(row, col), setTStepSet(row, col, text).
// - Methods (ModeAdd, TabAdd, AutoListAdd, ...) and the 23 events keep their names as they stand;
//   the events are signals, with the channel (0 or 1) where the event has one.
// - (chn) properties address the channel's "2S" control in the two-channel layout and the plain
//   control in the one-channel layout; the mode list and button properties act on the current
//   layout's controls.
// - A channel other than 0 or 1, or a grid cell outside its grid, throws ComponentError 9.
//
// Every control carries its name as objectName; elements of a control array are named with the
// index in brackets ("txtSval2S(1)", "frmDev(2)", "tmrCurve(0)"). Controls without a caption of
// their own (boxes, readouts, lists, grids, the lamp) also carry it as accessible name.
class DevCtrl : public QWidget, public PortListPanel {
  Q_OBJECT

public:
  explicit DevCtrl(QWidget* parent = nullptr);
  ~DevCtrl() override;

  // ---- methods --------------------------------------------------------------------------------
  void ModeAdd(const QString& text); // mode list of the current layout
  void ModeClr();
  void PortAdd(const QString& text) override;
  void PortClr() override;
  // index is the tab's 1-based position; the caption follows from index and key (see TabAdd).
  void TabAdd(int index, const QString& key);
  void TabClear();
  void AutoModeAdd(const QString& text);
  void AutoModeClr();
  void AutoC1Add(const QString& text);
  void AutoC1Clr();
  void AutoC2Add(const QString& text);
  void AutoC2Clr();
  void AutoStepAdd(const QString& text);
  void AutoStepClr();
  void AutoTimeAdd(const QString& text);
  void AutoTimeClr();
  void AutoListClr(); // 11 rows, headings, next auto row := 1
  void AutoListAdd(); // next auto row + 1; past row 10 the grid grows by one row
  void StepListClr(); // 9 rows, headings, next step row := 1
  void StepListAdd(); // next step row + 1; past row 6 the grid grows by one row
  void StepSetClr();  // headings, rows 1 to 10 numbered in column 0
  void StepSetAdd();  // one more row

  // ---- properties -----------------------------------------------------------------------------
  bool Dev2S() const { return m_dev2S; }
  void setDev2S(bool on);
  bool Conn() const { return m_conn; }
  void setConn(bool on);
  bool Run(int chn) const;
  void setRun(int chn, bool on);
  int Test() const; // 1 "key1", 2 "key2", 3 otherwise

  QString tPort() const;
  void setTPort(const QString& text) override;
  int PortCnt() const;
  QString PortList(int i) const;

  QString tMode() const;
  void setTMode(const QString& text);
  int ModeIdx() const;
  int ModeCnt() const;
  QString ModeTxt(int i) const;

  QString tSval(int chn) const;
  void setTSval(int chn, const QString& text);
  QString tSlmt(int chn) const;
  void setTSlmt(int chn, const QString& text);
  QString tStim(int chn) const;
  void setTStim(int chn, const QString& text);
  QString lSval(int chn) const;
  void setLSval(int chn, const QString& text);
  QString lSlmt(int chn) const;
  void setLSlmt(int chn, const QString& text);
  QString lStim(int chn) const;
  void setLStim(int chn, const QString& text);
  QString lSvalt(int chn) const;
  void setLSvalt(int chn, const QString& text);
  QString lSlmtt(int chn) const;
  void setLSlmtt(int chn, const QString& text);
  QString lStimt(int chn) const;
  void setLStimt(int chn, const QString& text);
  bool SvalEnable(int chn) const;
  void setSvalEnable(int chn, bool on);
  bool SlmtEnable(int chn) const;
  void setSlmtEnable(int chn, bool on);
  bool StimEnable(int chn) const;
  void setStimEnable(int chn, bool on);

  // Readouts. A text the seven-segment readout cannot show is logged ("ErrDisp") and not shown.
  QString tVol(int chn) const;
  void setTVol(int chn, const QString& text);
  QString tCur(int chn) const;
  void setTCur(int chn, const QString& text);
  QString tPwr(int chn) const;
  void setTPwr(int chn, const QString& text);
  // "hh:mm:ss". The one-channel readout shows the seconds as its small exponent digits.
  QString tTime(int chn) const;
  void setTTime(int chn, const QString& text);

  bool ConnEnable() const;
  void setConnEnable(bool on);
  bool RunEnable() const;
  void setRunEnable(bool on);
  bool StopEnable() const;
  void setStopEnable(bool on);
  bool ContEnable() const;
  void setContEnable(bool on);
  bool SetEnable() const;
  void setSetEnable(bool on);
  bool MonitorEnable() const;
  void setMonitorEnable(bool on);
  bool ModeEnable() const;
  void setModeEnable(bool on);

  bool TmrCurveEnable(int chn) const;
  void setTmrCurveEnable(int chn, bool on);
  bool TmrShowEnable(int chn) const;
  void setTmrShowEnable(int chn, bool on);
  bool AutoTmrEnable() const;
  void setAutoTmrEnable(bool on);
  bool StepTmrEnable() const;
  void setStepTmrEnable(bool on);

  QString chn() const; // "1" on a two-channel panel with "Chn2" selected, else "0"
  bool AllChn() const;
  bool ChnEnable() const;
  void setChnEnable(bool on);
  bool StepEnable() const;
  void setStepEnable(bool on);

  QString tAutoVol() const;
  void setTAutoVol(const QString& text);
  QString tAutoC1() const;
  void setTAutoC1(const QString& text);
  QString tAutoC2() const;
  void setTAutoC2(const QString& text);
  QString tAutoStep() const;
  void setTAutoStep(const QString& text);
  QString tAutoTime() const;
  void setTAutoTime(const QString& text);
  QString tAutoMode() const;
  void setTAutoMode(const QString& text);
  bool AutoOptSec() const;
  void setAutoOptSec(bool on);
  QString AutoCmd() const;
  void setAutoCmd(const QString& text);
  QString StepCmd() const;
  void setStepCmd(const QString& text);

  // Cell (next auto row, col); writing also numbers the row in column 0.
  QString tAutoList(int col) const;
  void setTAutoList(int col, const QString& text);
  QString tAutoRun(int row, int col) const;
  int AutoRunCnt() const;
  void setTStepList(int col, const QString& text); // cell (next step row, col)
  QString tStepRun(int row, int col) const;        // any cell of `gridStepRun`
  int StepListCnt() const;
  QString tStepSet(int row, int col) const;
  void setTStepSet(int row, int col, const QString& text);
  void setStepColor(int row, quint32 colour); // background of the row's step number

  // Readout colours (colour values): the unit label's text and the readout's lit segments.
  // Written only in the one-channel layout; in the two-channel layout a write does nothing.
  quint32 VolColor() const { return m_volColor; }
  void setVolColor(quint32 colour);
  quint32 CurColor() const { return m_curColor; }
  void setCurColor(quint32 colour);
  quint32 PwrColor() const { return m_pwrColor; }
  void setPwrColor(quint32 colour);
  quint32 TimeColor() const { return m_timeColor; }
  void setTimeColor(quint32 colour);

  bool LedRecv() const;
  void setLedRecv(bool on);
  // Shows a picture file in the logo place; a file that cannot be read is logged ("ErrLogo")
  // and leaves the place empty.
  void setImageLogo(const QString& path);

signals:
  void ConnClick();
  void ModeClick();
  void ContClick(int chn);
  void MonitorClick(int chn);
  void SetClick(int chn);
  void RunClick(int chn);
  void StopClick(int chn);
  void SvalChange(int chn);
  void SlmtChange(int chn);
  void StimChange(int chn);
  void VolAutoChange();
  void CurveTimer(int chn);
  void ShowTimer(int chn);
  void StartAutoClick();
  void StartStepClick();
  void SetStepClick();
  void SaveStepClick();
  void ClearStepClick();
  void OpenStepClick();
  void SaveClick();
  void StepTimer();
  void AutoTimer();
  void AutoRunDblClick();

private:
  using ChannelEvent = void (DevCtrl::*)(int);
  void raiseForSelectedChannels(ChannelEvent event);
  static void checkChannel(int chn);
  void pageForKey(const QString& key);

  QWidget* buildSinglePage();
  QWidget* buildAutoPage();
  QWidget* buildCyclePage();
  QGroupBox* buildComm();
  QGroupBox* buildRun();
  QGroupBox* buildRun2S();
  QGroupBox* buildCtrl();
  QGroupBox* buildCtrl2S();
  void layAutoRunColumns();
  void layStepSetColumns();
  void setReadout(LCDisp* lcd, const QString& text);
  void applyColour(LCDisp* lcd, QLabel* unit, quint32 colour);

  // Controls of the current layout.
  QComboBox* modeList() const;
  PanelBox* svalBox(int chn) const;
  PanelBox* slmtBox(int chn) const;
  PanelBox* stimBox(int chn) const;
  QLabel* svalCaption(int chn) const;
  QLabel* slmtCaption(int chn) const;
  QLabel* stimCaption(int chn) const;
  QLabel* svalUnit(int chn) const;
  QLabel* slmtUnit(int chn) const;
  QLabel* stimUnit(int chn) const;
  QPushButton* runButton() const;
  QPushButton* stopButton() const;
  QPushButton* contButton() const;
  QPushButton* setButton() const;
  QPushButton* monitorButton() const;

  bool m_dev2S = false;
  bool m_conn = false;
  std::array<bool, 2> m_run{};
  int m_autoRow = 1;
  int m_stepRow = 1;
  quint32 m_volColor = 0, m_curColor = 0, m_pwrColor = 0, m_timeColor = 0;

  QTabBar* tabDev = nullptr;
  QStackedWidget* m_pages = nullptr;
  std::array<QWidget*, 3> frmDev{};

  QGroupBox *frmCom = nullptr, *frmRun = nullptr, *frmCtrl = nullptr, *frmRun2S = nullptr,
            *frmCtrl2S = nullptr;
  QComboBox* cmbPort = nullptr;
  QPushButton* cmdConn = nullptr;
  RecvLamp* shpRecv = nullptr;

  LCDisp *lcdVol = nullptr, *lcdCur = nullptr, *lcdPwr = nullptr, *lcdTime = nullptr;
  QLabel *lblVolt = nullptr, *lblCurt = nullptr, *lblPwrt = nullptr, *imgLogo = nullptr;

  QComboBox* cmbMode = nullptr;
  PanelBox *txtSval = nullptr, *txtSlmt = nullptr, *txtStim = nullptr;
  QLabel *lblSval = nullptr, *lblSlmt = nullptr, *lblStim = nullptr;
  QLabel *lblSvalt = nullptr, *lblSlmtt = nullptr, *lblStimt = nullptr;
  QPushButton *cmdRun = nullptr, *cmdStop = nullptr, *cmdCont = nullptr, *cmdSet = nullptr,
              *cmdMonitor = nullptr;

  std::array<QLineEdit*, 2> txtTime2S{}, txtVol2S{}, txtCur2S{}, txtPwr2S{};

  QComboBox* cmbMode2S = nullptr;
  std::array<PanelBox*, 2> txtSval2S{}, txtSlmt2S{}, txtStim2S{};
  std::array<QLabel*, 2> lblSval2S{}, lblSlmt2S{}, lblStim2S{};
  std::array<QLabel*, 2> lblSval2St{}, lblSlmt2St{}, lblStim2St{};
  QRadioButton *optChn0 = nullptr, *optChn1 = nullptr, *optChn2 = nullptr;
  QPushButton *cmdRun2S = nullptr, *cmdStop2S = nullptr, *cmdCont2S = nullptr, *cmdSet2S = nullptr,
              *cmdMonitor2S = nullptr;

  QComboBox *cmbModeAuto = nullptr, *cmbC1Auto = nullptr, *cmbC2Auto = nullptr,
            *cmbStepAuto = nullptr, *cmbTimeAuto = nullptr;
  PanelBox* txtVolAuto = nullptr;
  QRadioButton *optAutoSec = nullptr, *optAutoMin = nullptr;
  QPushButton *cmdStartAuto = nullptr, *cmdSave = nullptr;
  PanelGrid* gridAutoRun = nullptr;

  PanelGrid* gridStepSet = nullptr;
  PanelGrid* gridStepRun = nullptr;
  QPushButton *cmdStartStep = nullptr, *cmdClearStep = nullptr, *cmdSetStep = nullptr,
              *cmdSaveStep = nullptr, *cmdOpenStep = nullptr;

  std::array<QTimer*, 2> tmrCurve{}, tmrShow{};
  QTimer* tmrAuto = nullptr;
  QTimer* tmrStep = nullptr;
};

} // namespace ondrel
