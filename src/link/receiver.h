#pragma once

#include "link/frame.h"

#include <QByteArray>

#include <array>
#include <functional>

namespace ondrel {

// What report handling wants done with the rest of the bytes read in the same tick.
enum class ReportAction {
  Continue,
  DropRest, // e.g. a report with model code 0: the rest of the tick's bytes are discarded
};

// Receives each intact report body, in arrival order, on the caller's thread.
using ReportHandler = std::function<ReportAction(const RecBody& body)>;

// What one block did, for the caller's side effects (the receive indicator).
struct ReceiveOutcome {
  bool sawStart = false;  // a start byte arrived: flash the receive indicator
  int reportsHandled = 0; // bodies handed to the handler
  bool abandoned = false; // the rest of the block was discarded (bad frame, handler asked or threw)
};

// Receive state of one device slot: cuts the byte stream into report bodies. It survives between
// reads, so a report split over two ticks is assembled.
struct ReceiveState {
  bool InFrame = false;
  qint16 RxCount = 0; // 1 right after the start byte; the next body byte goes to RxCount - 1
  qint16 RxLen = static_cast<qint16>(kRecBodySize); // largest body length accepted
  std::array<quint8, kRecBodySize + 1> RxBuf{};     // only 0..16 are used

  // Checks the last body: a full 17 bytes whose XOR is 0 modulo 240.
  bool ChkRec() const;

  // Feeds one block read from the port through the state machine, handing each intact body to
  // `handler` before the next byte is looked at. A failed checksum discards the rest of the
  // block; a handler that throws is logged under "ErrComm" and also ends the block. A frame with
  // more than 17 body bytes is dropped at the 18th; its end byte then checks the first 17.
  ReceiveOutcome ReceiveBytes(const QByteArray& block, const ReportHandler& handler);

  // Forgets any partial frame (a new Connect).
  void reset() { *this = ReceiveState(); }

private:
  qint16 m_bodyLength = 0;        // body bytes of the frame the last end byte closed
  bool m_droppedOverlong = false; // the frame was dropped at its 18th byte; no start since
};

} // namespace ondrel
