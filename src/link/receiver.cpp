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
        m_droppedOverlong = false;
        InFrame = true;
        RxCount = 1;
        RxLen = static_cast<qint16>(kRecBodySize);
        continue;
      }
      if (c != kFrameEnd) {
        if (!InFrame)
          continue;
        if (RxCount > RxLen || RxCount < 1 || RxCount > static_cast<qint16>(RxBuf.size())) {
          // An 18th body byte: the frame is overlong and dropped. Its first 17 bytes stay in the
          // buffer for its end byte to check.
          m_droppedOverlong = RxCount > RxLen;
          InFrame = false;
          RxCount = 0;
          continue;
        }
        RxBuf[RxCount - 1] = c;
        ++RxCount;
        continue;
      }
      // End byte. It closes the frame in progress, or one just dropped as overlong, whose first
      // 17 bytes were never handed. One that closes no frame (no start since the last end) is
      // ignored: re-checking the buffer would hand the previous report a second time.
      const bool closesFrame = InFrame || m_droppedOverlong;
      m_bodyLength = InFrame             ? static_cast<qint16>(RxCount - 1)
                     : m_droppedOverlong ? static_cast<qint16>(kRecBodySize)
                                         : 0;
      InFrame = false;
      RxCount = 0;
      m_droppedOverlong = false;
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
