#include "link/receiver.h"

#include "data/support/errorlog.h"
#include "data/support/failure.h"

namespace ondrel {

bool ReceiveState::ChkRec() const {
  // A short body would be checked against the stale tail of the previous one; it is never intact.
  if (m_bodyLength != RxLen || RxLen != static_cast<qint16>(kRecBodySize))
    return false;
  RecBody body;
  std::copy_n(RxBuf.begin(), kRecBodySize, body.begin());
  return ondrel::ChkRec(body);
}

ReceiveOutcome ReceiveState::ReceiveBytes(const QByteArray& block, const ReportHandler& handler) {
  ReceiveOutcome outcome;
  try {
    for (const char ch : block) {
      const auto c = static_cast<quint8>(ch);
      if (c == kFrameStart) {
        // A start byte in the middle of a frame simply restarts it.
        outcome.sawStart = true;
        InFrame = true;
        RxCount = 1;
        RxLen = static_cast<qint16>(kRecBodySize);
        continue;
      }
      if (c != kFrameEnd) {
        if (!InFrame)
          continue;
        if (RxCount > RxLen || RxCount < 1 || RxCount > static_cast<qint16>(RxBuf.size())) {
          // An 18th body byte: the frame is overlong and dropped.
          InFrame = false;
          RxCount = 0;
          continue;
        }
        RxBuf[RxCount - 1] = c;
        ++RxCount;
        continue;
      }
      // End byte. One that closes no frame (no start since the last end, or the frame was just
      // dropped as overlong) is ignored: re-checking the buffer would hand the previous report
      // to report handling a second time.
      const bool closesFrame = InFrame;
      m_bodyLength = closesFrame ? static_cast<qint16>(RxCount - 1) : 0;
      InFrame = false;
      RxCount = 0;
      if (!closesFrame)
        continue;
      if (!ChkRec()) {
        outcome.abandoned = true;
        return outcome;
      }
      RecBody body;
      std::copy_n(RxBuf.begin(), kRecBodySize, body.begin());
      ++outcome.reportsHandled;
      if (handler && handler(body) == ReportAction::DropRest) {
        outcome.abandoned = true;
        return outcome;
      }
    }
  } catch (...) {
    ErrLog(QStringLiteral("ErrComm"), describeCurrentException());
    outcome.abandoned = true;
  }
  return outcome;
}

} // namespace ondrel
