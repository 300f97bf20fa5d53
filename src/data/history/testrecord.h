#pragma once

#include "test/slotmodel.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace ondrel {

// One test of the catalogue: a row of the table `tests`. Numbers the test did not produce are
// empty (NULL), not zero, so that sums and ranges leave them out.
struct TestRecord {
  qint64 id = 0;   // the catalogue's own number; 0 before it is stored
  QString uid;     // unique per test, so a row sent twice (a queue flushed again) is stored once
  QString kind;    // "test", "auto", "program", "resistance"
  QString startedUtc, endedUtc; // ISO 8601, UTC
  QString host, port;
  int slot = 0, channel = 0;
  QString model, firmware, mode;
  std::optional<double> setValue, limitValue, timeValue;
  QString label;
  std::optional<double> beginV, endV, avgV, capacityAh, energyWh, maxTempC, resistanceMohm;
  QString endReason; // "device", "stopped", "link lost"; empty for an imported file
  QString dataFile, recordingFile;
  QString dataHash; // SHA-256 of the data file's bytes, for files taken in by the import
  bool unsent = false; // kept locally while the lab store is away

  friend bool operator==(const TestRecord&, const TestRecord&) = default;
};

namespace kind {
inline const QString Test = QStringLiteral("test");
inline const QString Auto = QStringLiteral("auto");
inline const QString Program = QStringLiteral("program");
inline const QString Resistance = QStringLiteral("resistance");
} // namespace kind
namespace endreason {
inline const QString Device = QStringLiteral("device");
inline const QString Stopped = QStringLiteral("stopped");
inline const QString LinkLost = QStringLiteral("link lost");
} // namespace endreason

// A result or box text as a number in the catalogue's units: "3.700V" → 3.7, "950.5mAh" →
// 0.9505 (Ah), "1.00" → 1; anything else (an empty box, "--") → nothing.
std::optional<double> resultNumber(QString text);

// A time as the catalogue keeps it: "2026-12-10T19:14:15Z".
QString isoUtc(const QDateTime& t);
// A new unique key.
QString newTestUid();

// What the caller knows of a test's end beyond the slot model.
struct TestEnd {
  QString kind = kind::Test;
  QString endReason = endreason::Device;
  QDateTime ended;
  QString label; // the graph's title, or the runner's --label
  QString dataFile, recordingFile;
  int slot = 0;
};

// The row of channel c's test as the model holds it at its end: parameters, result row, sums
// and the series (average voltage, highest temperature when the third value is one).
TestRecord recordOfChannel(const SlotModel& m, int c, const TestEnd& end,
                           bool thirdIsTemperature);

// The row of a resistance test on channel c: `mohm` measured with `currentA`.
TestRecord resistanceRecord(const SlotModel& m, int c, double mohm, double currentA, int slot,
                            const QDateTime& when);

// A record as one JSON object (the side file's lines, `history --json`) and back; a line that
// is not a record answers nothing.
QJsonObject toJson(const TestRecord& r);
std::optional<TestRecord> recordFromJson(const QJsonObject& o);

} // namespace ondrel
