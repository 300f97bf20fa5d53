#pragma once

#include "link/modeltable.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace ondrel {

// The recording file of a running channel ("<RecPath>.bak"): a short header and one line per
// accepted sample, TAB-separated, CR LF line ends. It lets an interrupted test be continued.

inline constexpr char kRecordingTitleLine[] = "-----------Ondrel Tester Software------------";
inline constexpr char kDataTitleLine[] = "-----------Ondrel Tester Software-----------";
// The 41-character banner that names the maker's site in both file kinds.
inline constexpr char kBannerLine[] = "-------------www.ondrel.com--------------";

// Column headings: "Time(S)", "Cur(A)" (or "Cur(mA)" for models that head currents in mA, without
// temperature), "Vol(V)" and, with temperature shown, "Temp(C)".
QStringList columnHeadings(bool withTemperature, const ModelCaps& caps);

// Base path (no extension) of a channel's recording: "<folder>/ondrel-<device>-<port>-<s>-<c>".
QString recordingBasePath(const QString& folder, const QString& deviceName, const QString& port,
                          int slot, int channel);

// Header lines 1 to 6.
QStringList recordingHeader(const QString& device, const QString& mode, const QString& beginVolt,
                            bool withTemperature, const ModelCaps& caps);

// One sample line: TestSec, current ("00.00" with CurDiv 100 else "0.000"), voltage "0.000",
// and the temperature "0.0" when shown.
QString recordingLine(qint32 testSec, float cur, float volt, std::optional<float> temp, int curDiv);

// Creates "<basePath>.bak" anew with the header; appends one line. Both open, write and close
// the file in the one call and throw Failure when the file cannot be written completely.
void createRecordingFile(const QString& basePath, const QStringList& header);
void appendRecordingLine(const QString& basePath, const QString& line);

} // namespace ondrel
