#include "link/portaccess.h"

#include "link/memoryport.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace ondrel {
namespace {

struct RecordingPanel : PortListPanel {
  QStringList list;
  void PortClr() override { list.clear(); }
  void PortAdd(const QString& name) override { list << name; }
  void setTPort(const QString&) override {}
};

// The search counts refusals apart from ports that are absent or in use.
TEST(PortAccess, SearchCountsPermissionRefusals) {
  auto provider = std::make_unique<MemoryPorts>();
  MemoryPorts& ports = *provider;
  Comm comm(std::move(provider));
  ports.line(2)->refusedGroup = QStringLiteral("dialout");
  ports.line(3)->refusedGroup = QStringLiteral("dialout");
  ports.line(4)->busy = true;
  ports.line(5)->present = false;
  RecordingPanel panel;
  ProbeSummary s = ProbePorts(comm, panel);
  EXPECT_EQ(s.opened, 0);
  EXPECT_EQ(s.refused, 2);
  EXPECT_EQ(s.group, QStringLiteral("dialout"));
  EXPECT_FALSE(s.inGroup);

  ports.line(6);
  s = ProbePorts(comm, panel);
  EXPECT_EQ(s.opened, 1);
  EXPECT_EQ(panel.list, QStringList{QStringLiteral("COM6")});
}

#ifdef Q_OS_LINUX
TEST(PortAccess, NoticeIsDueOnlyWhenEveryPortIsRefusedAndNothingForbidsIt) {
  ProbeSummary refused;
  refused.refused = 3;
  refused.group = QStringLiteral("dialout");
  refused.inGroup = false;
  struct Case {
    const char* what;
    ProbeSummary probe;
    PortAccessContext context;
    bool due;
  };
  ProbeSummary oneOpened = refused;
  oneOpened.opened = 1;
  ProbeSummary member = refused;
  member.inGroup = true; // refused for another reason (ACLs, a lock): usermod would not help
  ProbeSummary noGroup = refused;
  noGroup.group.clear();
  const Case cases[] = {
      {"all refused, not a member", refused, {}, true},
      {"nothing plugged in", ProbeSummary{}, {}, false},
      {"one port opened", oneOpened, {}, false},
      {"already a member", member, {}, false},
      {"group unknown", noGroup, {}, false},
      {"shown before", refused, {true, false, false}, false},
      {"a test runs", refused, {false, true, false}, false},
      {"a slot holds a port", refused, {false, false, true}, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(portAccessNoticeDue(c.probe, c.context), c.due) << c.what;
}
#endif

TEST(PortAccess, NoticeSaysWhatToRunAndIsRememberedInTheSettingsFile) {
  const QString text = portAccessNoticeText(QStringLiteral("uucp"));
  EXPECT_TRUE(text.contains(QStringLiteral("sudo usermod -aG uucp $USER"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("log in again"))) << text.toStdString();

  QTemporaryDir dir;
  const QString ini = dir.filePath(QStringLiteral("ondrel.ini"));
  EXPECT_FALSE(portAccessNoticeShown(ini));
  notePortAccessNoticeShown(ini);
  EXPECT_TRUE(portAccessNoticeShown(ini));
  QFile f(ini);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray bytes = f.readAll();
  EXPECT_TRUE(bytes.contains("[NOTICES]")) << bytes.constData();
  EXPECT_TRUE(bytes.contains("PortAccess=1")) << bytes.constData();
}

} // namespace
} // namespace ondrel
