#include "data/parameterfile.h"
#include "data/recording.h"
#include "data/ui/datacommands.h"
#include "support/connectedwindow.h"
#include "support/filesizelimit.h"
#include "support/printers.h"
#include "widgets/curvegraph.h"

#include <QDir>
#include <QFile>
#include <QRadioButton>
#include <QRegularExpression>

#include <optional>

using namespace ondrel;
using ondrel::testing::ConnectedWindow;
using ondrel::testing::FileSizeLimit;

namespace {

class ParameterFiles : public ConnectedWindow {
protected:
  void save(const QString& typed) {
    dialogAnswer = home.file(typed);
    trigger("menuSavePara");
  }
  void openFile(const QString& name) {
    dialogAnswer = home.file(name);
    trigger("menuOpenPara");
  }
  // The panel's channel c as the user left it.
  void setPanel(const QString& title, const QString& sval, const QString& slmt, const QString& time,
                int c = 0) {
    slot().graph().setTitleText(title);
    panel().setTSval(c, sval);
    panel().setTSlmt(c, slmt);
    panel().setTTime(c, time);
  }
  QStringList panelState(int c = 0) {
    return {slot().graph().TitleText(), panel().tSval(c), panel().tSlmt(c), panel().tTime(c)};
  }
  QByteArray cfg(const QByteArray& body, const QByteArray& device = "KL-F2") {
    return "---------Ondrel Tester Software--------\r\nD:" + device + "\r\n" + body;
  }
};

TEST_F(ParameterFiles, TheEntriesAreForAConnectedIdleSlot) {
  const auto enabled = [&] {
    return std::pair{window->action(QStringLiteral("menuOpenPara"))->isEnabled(),
                     window->action(QStringLiteral("menuSavePara"))->isEnabled()};
  };
  EXPECT_EQ(enabled(), std::pair(true, true));
  emit panel().RunClick(0);
  EXPECT_EQ(enabled(), std::pair(false, false));
  feed(running(12, 4000, 100));
  // The command keeps to it too, whatever another slot made of the menu.
  SaveParameter(*window);
  EXPECT_TRUE(dialogs.isEmpty());
  feed(idle(12, 3000));
  EXPECT_EQ(enabled(), std::pair(true, true));
  emit panel().ConnClick();
  EXPECT_EQ(enabled(), std::pair(false, false));
  OpenParameter(*window);
  EXPECT_TRUE(dialogs.isEmpty());

  frmMain fresh(std::make_unique<MemoryPorts>());
  EXPECT_FALSE(fresh.action(QStringLiteral("menuOpenPara"))->isEnabled());
  EXPECT_FALSE(fresh.action(QStringLiteral("menuSavePara"))->isEnabled());
}

TEST_F(ParameterFiles, SavedAndOpenedOnTheSameModelTheTestIsSetUpAgain) {
  setPanel(QStringLiteral("Cell 7"), QStringLiteral("1.25"), QStringLiteral("3.00"),
           QStringLiteral("00:12:34"));
  save(QStringLiteral("setup"));
  ASSERT_EQ(dialogs.size(), 1);
  EXPECT_TRUE(dialogs[0].save);
  EXPECT_EQ(dialogs[0].title, QStringLiteral("Save Parameter--Device1"));
  EXPECT_EQ(dialogs[0].filter, QStringLiteral("config file(*.cfg)|*.cfg"));
  EXPECT_EQ(dialogs[0].defaultExt, QStringLiteral("cfg"));
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}(-\\d{1,2}){5}-KL-F2$"))
                  .match(dialogs[0].name)
                  .hasMatch())
      << dialogs[0].name.toStdString();
  EXPECT_EQ(home.read(QStringLiteral("setup.cfg")),
            QByteArray("---------Ondrel Tester Software--------\r\nD:KL-F2\r\nT:Cell 7\r\n"
                       "S:1.25\r\nL:3.00\r\nM:00:12:34\r\n") +
                kBannerLine + "\r\n");

  setPanel(QStringLiteral("other"), QStringLiteral("2.00"), QStringLiteral("2.50"),
           QStringLiteral("01:00:00"));
  dialogs.clear();
  openFile(QStringLiteral("setup.cfg"));
  ASSERT_EQ(dialogs.size(), 1);
  EXPECT_FALSE(dialogs[0].save);
  EXPECT_EQ(dialogs[0].title, QStringLiteral("Open Parameter"));
  EXPECT_EQ(dialogs[0].filter, QStringLiteral("config file(*.cfg)|*.cfg"));
  // The time readout's hh:mm:ss is no number: the readout stays as it was.
  EXPECT_EQ(panelState(), (QStringList{QStringLiteral("Cell 7"), QStringLiteral("1.25"),
                                       QStringLiteral("3.00"), QStringLiteral("01:00:00")}));
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ParameterFiles, NamesGetTheirExtensionAndOnlyCfgFilesAreOpened) {
  const struct {
    const char *typed, *written;
  } cases[] = {{"a", "a.cfg"}, {"b.cfg", "b.cfg"}, {"c.CFG", "c.CFG.cfg"}};
  for (const auto& c : cases) {
    save(QLatin1String(c.typed));
    EXPECT_TRUE(QFile::exists(home.file(QLatin1String(c.written)))) << c.written;
  }
  // A file whose name does not end in "cfg", even in capitals, is not read.
  setPanel(QStringLiteral("kept"), QStringLiteral("2.00"), QStringLiteral("2.50"),
           QStringLiteral("00:00:00"));
  const QStringList before = panelState();
  for (const char* name : {"setup.txt", "setup.CFG"}) {
    home.write(QLatin1String(name), cfg("T:new\r\nS:1.00\r\n"));
    openFile(QLatin1String(name));
    EXPECT_EQ(panelState(), before) << name;
  }
}

TEST_F(ParameterFiles, TheSecondChannelOfATwoChannelDevice) {
  open(17);
  panel().findChild<QRadioButton*>(QStringLiteral("optChn1"))->setChecked(true);
  setPanel(QStringLiteral("pair"), QStringLiteral("0.40"), QStringLiteral("2.80"),
           QStringLiteral("00:00:05"), 1);
  save(QStringLiteral("second"));
  ASSERT_EQ(dialogs.size(), 1);
  EXPECT_EQ(dialogs[0].title, QStringLiteral("Save Parameter--Device1-Channel2"));
  EXPECT_TRUE(dialogs[0].name.endsWith(QStringLiteral("-KL-03-2")))
      << dialogs[0].name.toStdString();
  EXPECT_TRUE(home.read(QStringLiteral("second.cfg")).contains("\r\nS:0.40\r\nL:2.80\r\n"));

  home.write(QStringLiteral("back.cfg"), cfg("S:0.30\r\nL:2.70\r\nM:77\r\n", "KL-03"));
  const QStringList first = panelState(0);
  openFile(QStringLiteral("back.cfg"));
  EXPECT_EQ(panel().tSval(1), QStringLiteral("0.30"));
  EXPECT_EQ(panel().tSlmt(1), QStringLiteral("2.70"));
  EXPECT_EQ(panel().tTime(1), QStringLiteral("77"));
  EXPECT_EQ(panelState(0), first);
}

TEST_F(ParameterFiles, WhatTheChecksOfTypedValuesRefuseIsNotAppliedAndSaid) {
  setPanel(QStringLiteral("before"), QStringLiteral("1.00"), QStringLiteral("3.00"),
           QStringLiteral("00:00:00"));
  // Saved in a power mode: 150 W. In "D-CC" on this 10 A load it would be 150 A.
  home.write(QStringLiteral("power.cfg"), cfg("T:power\r\nS:150\r\nL:2.80\r\n"));
  openFile(QStringLiteral("power.cfg"));
  EXPECT_EQ(panelState().mid(0, 3),
            (QStringList{QStringLiteral("power"), QStringLiteral("1.00"), QStringLiteral("2.80")}));
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains(QStringLiteral("Line 4 \"S:150\": Setting value out of range!")))
      << messages[0].toStdString();
  // The same line in the power mode is a power, and within its range.
  channel(0).ModeNo = 1;
  messages.clear();
  openFile(QStringLiteral("power.cfg"));
  EXPECT_EQ(panel().tSval(0), QStringLiteral("150"));
  EXPECT_TRUE(messages.isEmpty());

  // Negative, beyond the voltage range, a box the mode does not use, and junk.
  channel(0).ModeNo = 0;
  panel().setTSval(0, QStringLiteral("1.00"));
  panel().setSlmtEnable(0, true);
  DeviceSlotProbe::model(slot()).at(0).view.params.SlmtEnable = true;
  home.write(QStringLiteral("bad.cfg"),
             cfg(QByteArray("S:-1\r\nL:150\r\nS:abc\r\n\x00\xff\x01\r\nS:") +
                 QByteArray(5000, '9') + "\r\nL:2.5"));
  messages.clear();
  openFile(QStringLiteral("bad.cfg"));
  EXPECT_EQ(panel().tSval(0), QStringLiteral("1.00"));
  EXPECT_EQ(panel().tSlmt(0), QStringLiteral("2.5"));
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains(QStringLiteral("Line 3 \"S:-1\"")));
  EXPECT_TRUE(messages[0].contains(QStringLiteral("Line 4 \"L:150\"")));
  EXPECT_FALSE(messages[0].contains(QStringLiteral("abc")));

  panel().setSlmtEnable(0, false);
  DeviceSlotProbe::model(slot()).at(0).view.params.SlmtEnable = false;
  home.write(QStringLiteral("locked.cfg"), cfg("L:2.00\r\n"));
  messages.clear();
  openFile(QStringLiteral("locked.cfg"));
  EXPECT_EQ(panel().tSlmt(0), QStringLiteral("2.5"));
  EXPECT_EQ(messages.size(), 1);
}

TEST_F(ParameterFiles, AFileOfAnotherModelChangesNothing) {
  setPanel(QStringLiteral("kept"), QStringLiteral("2.00"), QStringLiteral("2.50"),
           QStringLiteral("00:00:00"));
  const QStringList before = panelState();
  for (const QByteArray& bytes :
       {cfg("T:x\r\nS:1.00\r\nL:1.00\r\n", "KL-F3"), QByteArray("T:x\r\nS:1.00\r\n"), QByteArray(),
        QByteArray("\xff\xfe\x00\x01", 4)}) {
    home.write(QStringLiteral("other.cfg"), bytes);
    openFile(QStringLiteral("other.cfg"));
    EXPECT_EQ(panelState(), before) << bytes.toHex().toStdString();
  }
  EXPECT_TRUE(messages.isEmpty());
  // A file that cannot be read is logged.
  openFile(QStringLiteral("missing.cfg"));
  EXPECT_TRUE(home.mainLog().contains(QStringLiteral("ErrOpenCfg")));
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ParameterFiles, AFileThatCannotBeWrittenIsSaidAndThePreviousOneStays) {
  home.write(QStringLiteral("setup.cfg"), "earlier");
  slot().graph().setTitleText(QString(20000, QLatin1Char('x')));
  {
    FileSizeLimit full(8192);
    save(QStringLiteral("setup.cfg"));
  }
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains(QStringLiteral("setup.cfg")));
  EXPECT_EQ(home.read(QStringLiteral("setup.cfg")), QByteArray("earlier"));
  EXPECT_TRUE(home.mainLog().contains(QStringLiteral("ErrSaveCfg")));
  EXPECT_EQ(QDir(home.path()).entryList({QStringLiteral("setup*")}, QDir::Files | QDir::Hidden),
            QStringList{QStringLiteral("setup.cfg")});
}

} // namespace
