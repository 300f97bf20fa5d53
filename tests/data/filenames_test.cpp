#include "data/datafile.h"
#include "data/filenames.h"
#include "data/recording.h"
#include "support/printers.h"

#include <QDir>

#include <gtest/gtest.h>

#include <string_view>

using namespace ondrel;
using namespace std::literals;

namespace {

// Names as a device, a grid cell or a recording's header may hand them over.
const struct {
  std::u16string_view name;
  std::u16string_view safe;
} kNames[] = {
    {u"KL-F2", u"KL-F2"},
    {u"KC-10 (2)", u"KC-10 (2)"},
    {u"电子负载", u"电子负载"},
    {u"../../etc/x", u".._.._etc_x"},
    {u"a/b\\c:d*e?f\"g<h>i|j", u"a_b_c_d_e_f_g_h_i_j"},
    {u"tab\there\r\nnul\0del\x7f"
     u"c1\x85"sv,
     u"tab_here__nul_del_c1_"},
    {u"100%1", u"100%1"},
    {u"", u"_"},
    {u".", u"_"},
    {u"..", u"__"},
    {u"...", u"___"},
    {u".x", u".x"},
};

QString text(std::u16string_view s) {
  return QString::fromUtf16(s.data(), qsizetype(s.size()));
}

TEST(FileNames, UnsafeCharactersAndNamesAreReplaced) {
  for (const auto& c : kNames)
    EXPECT_EQ(fileNameSafe(text(c.name)), text(c.safe)) << text(c.name).toStdString();
}

TEST(FileNames, RecordingAndDataFileNamesStayInTheirFolder) {
  const QString folder = QStringLiteral("/prog");
  const QDateTime when(QDate(2024, 3, 7), QTime(9, 5, 2));
  for (const auto& c : kNames) {
    const QString safe = text(c.safe);
    const QString base = recordingBasePath(folder, text(c.name), QStringLiteral("COM3"), 1, 0);
    EXPECT_EQ(base, folder + QStringLiteral("/ondrel-") + safe + QStringLiteral("-COM3-2-1"))
        << text(c.name).toStdString();
    EXPECT_EQ(QFileInfo(base).path(), folder);
    EXPECT_EQ(dataFileStem(when, text(c.name), 1, 0),
              QStringLiteral("2024-3-7-9-5-2-") + safe + QStringLiteral("-2-1"));
  }
  EXPECT_EQ(recordingBasePath(folder, QStringLiteral("KL-F2"), QStringLiteral("a/b"), 0, 1),
            QStringLiteral("/prog/ondrel-KL-F2-a_b-1-2"));
}

} // namespace
