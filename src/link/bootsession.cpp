#include "link/bootsession.h"

#include "data/support/errorlog.h"

namespace ondrel {

namespace {

QString hex(quint32 value) {
  return QStringLiteral("0x") + QString::number(value, 16).toUpper().rightJustified(4, u'0');
}

QByteArray twoBytes(quint8 first, quint8 second) {
  QByteArray out;
  out.append(char(first));
  out.append(char(second));
  return out;
}

quint8 byteAt(const QByteArray& bytes, qsizetype i) {
  return static_cast<quint8>(bytes.at(i));
}

QString describeReply(const QByteArray& reply) {
  return QString::fromLatin1(reply.left(16).toHex(' ').toUpper()) +
         QLatin1String(reply.size() > 16 ? " ..." : "");
}

// The Get reply has no length the program may rely on; it needs more than 8 bytes, and its end
// is the loader's closing acknowledge. A reply that never closes is taken when the reply time
// runs out.
constexpr qsizetype kGetReplyMin = 9;

} // namespace

quint32 programBase(int deviceType) {
  return deviceType == 26 ? 0x8C00 : 0x9000;
}

bool hasAltVersionAddress(int deviceType) {
  return deviceType == 25 || deviceType == 26;
}

QByteArray commandBytes(quint8 command) {
  return twoBytes(command, quint8(~command));
}

QByteArray addressBytes(quint32 address) {
  QByteArray out;
  quint8 sum = 0;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const auto b = static_cast<quint8>(address >> shift);
    out.append(char(b));
    sum ^= b;
  }
  out.append(char(sum));
  return out;
}

QByteArray readCountBytes(int count) {
  Q_ASSERT(count >= 1 && count <= 256);
  const auto n = static_cast<quint8>(count - 1);
  return twoBytes(n, quint8(~n));
}

QByteArray writeBlockBytes(const QByteArray& data) {
  Q_ASSERT(!data.isEmpty() && data.size() <= 256);
  const auto n = static_cast<quint8>(data.size() - 1);
  QByteArray out;
  out.reserve(data.size() + 2);
  out.append(char(n));
  quint8 sum = n;
  for (const char c : data) {
    out.append(c);
    sum ^= static_cast<quint8>(c) ^ kLoaderKey;
  }
  out.append(char(sum));
  return out;
}

std::optional<int> decodeLoaderVersion(quint8 high, quint8 low) {
  const int h = high ^ kLoaderKey;
  if (h >= 128)
    return std::nullopt;
  return h * 256 + (low ^ kLoaderKey);
}

QString imageProblem(qsizetype length, int deviceType) {
  if (length <= 0)
    return QStringLiteral("The image is empty");
  const quint32 base = programBase(deviceType);
  if (quint64(base) + quint64(length) > kLoaderMemoryEnd)
    return QStringLiteral("An image of %1 bytes from %2 runs past %3")
        .arg(length)
        .arg(hex(base), hex(kLoaderMemoryEnd));
  return {};
}

BootSession::BootSession(BootLink& link) : m_link(link) {}

// ---- jobs ---------------------------------------------------------------------------------------

void BootSession::Identify() {
  if (busy())
    return;
  m_job = Job::Identify;
  m_identifiedType.reset();
  if (m_synced) {
    GetInfo();
    return;
  }
  m_syncTries = 0;
  SyncBootloader();
}

bool BootSession::Update(const QByteArray& image) {
  if (busy())
    return false;
  if (!m_identifiedType) {
    ErrLog(QStringLiteral("ErrUPD"), QStringLiteral("No device has been identified"));
    return false;
  }
  const QString problem = imageProblem(image.size(), *m_identifiedType);
  if (!problem.isEmpty()) {
    ErrLog(QStringLiteral("ErrUPD"), problem);
    return false;
  }
  m_image = image;
  m_offset = 0;
  m_job = Job::Update;
  GetInfo();
  return true;
}

void BootSession::pauseOver() {
  if (m_job == Job::Identify && m_step == Step::Pause)
    SyncBootloader();
}

void BootSession::finishIdentify(IdentifyResult result) {
  m_job = Job::None;
  if (result == IdentifyResult::Identified)
    m_identifiedType = m_deviceType;
  if (identifyFinished)
    identifyFinished(result);
}

void BootSession::finishUpdate(bool ok) {
  m_job = Job::None;
  m_image.clear();
  if (updateFinished)
    updateFinished(ok);
}

// ---- operations ---------------------------------------------------------------------------------

void BootSession::SyncBootloader() {
  ++m_syncTries;
  begin(Step::Sync, "ErrCO", QStringLiteral("Synchronisation, try %1").arg(m_syncTries),
        {{QByteArray(1, char(kLoaderSync))}});
}

void BootSession::GetInfo() {
  begin(Step::Get, "ErrGT", QStringLiteral("Get"), {{commandBytes(0x00), Expect::GetReply}});
}

void BootSession::ReadMemory(quint32 address, int count, Step step) {
  begin(step, "ErrRM", QStringLiteral("Read Memory at %1 (%2 bytes)").arg(hex(address)).arg(count),
        {{commandBytes(0x11)},
         {addressBytes(address)},
         {readCountBytes(count), Expect::Count, count + 1}});
}

void BootSession::WriteMemory(quint32 address, const QByteArray& data) {
  begin(Step::Write, "ErrWM",
        QStringLiteral("Write Memory at %1 (%2 bytes)").arg(hex(address)).arg(data.size()),
        {{commandBytes(0x31)}, {addressBytes(address)}, {writeBlockBytes(data)}});
}

void BootSession::EraseAll() {
  begin(Step::Erase, "ErrEE", QStringLiteral("Erase"),
        {{commandBytes(0x43)}, {twoBytes(0xFF, 0x00)}});
}

void BootSession::GoCommand() {
  const quint32 address = programBase(m_deviceType);
  begin(Step::Go, "ErrGO", QStringLiteral("Go %1").arg(hex(address)),
        {{commandBytes(0x21)}, {addressBytes(address)}});
}

void BootSession::begin(Step step, const char* tag, QString what, QList<Exchange> exchanges) {
  m_step = step;
  m_tag = tag;
  m_what = std::move(what);
  m_exchanges = std::move(exchanges);
  m_exchange = 0;
  send();
}

void BootSession::send() {
  // Whatever arrived before this write answers nothing of it.
  m_reply.clear();
  if (!m_link.write(m_exchanges.at(m_exchange).bytes)) {
    operationFailed(QStringLiteral("the bytes could not be written"));
    return;
  }
  m_waiting = true;
  m_link.startReplyTimer();
}

bool BootSession::replyComplete() const {
  const Exchange& e = m_exchanges.at(m_exchange);
  switch (e.expect) {
  case Expect::Ack:
    return !m_reply.isEmpty();
  case Expect::Count:
    return m_reply.size() >= e.count;
  case Expect::GetReply:
    return m_reply.size() >= kGetReplyMin && byteAt(m_reply, m_reply.size() - 1) == kLoaderAck;
  }
  return false;
}

void BootSession::feed(const QByteArray& bytes) {
  if (!m_waiting)
    return;
  m_reply += bytes;
  if (replyComplete())
    exchangeDone(false);
}

void BootSession::replyTimedOut() {
  if (m_waiting)
    exchangeDone(true);
}

void BootSession::exchangeDone(bool timedOut) {
  m_waiting = false;
  m_link.stopReplyTimer();
  const Exchange& e = m_exchanges.at(m_exchange);
  const qsizetype need = e.expect == Expect::Count      ? e.count
                         : e.expect == Expect::GetReply ? kGetReplyMin
                                                        : 1;
  if (m_reply.isEmpty() && timedOut) {
    operationFailed(QStringLiteral("no reply within %1 ms").arg(kLoaderReplyMs));
    return;
  }
  // Every byte the operation looks at must be there; a short reply is a failure, never a read
  // past its end.
  if (m_reply.size() < need) {
    operationFailed(QStringLiteral("a reply of %1 bytes (%2), %3 needed")
                        .arg(m_reply.size())
                        .arg(describeReply(m_reply))
                        .arg(need));
    return;
  }
  if (byteAt(m_reply, 0) != kLoaderAck) {
    operationFailed(QStringLiteral("refused (%1)").arg(describeReply(m_reply)));
    return;
  }
  if (e.expect == Expect::GetReply && (m_reply.at(5) != 'Q' || m_reply.at(7) != 'J')) {
    operationFailed(QStringLiteral("no QJ marker (%1)").arg(describeReply(m_reply)));
    return;
  }
  if (++m_exchange < m_exchanges.size()) {
    send();
    return;
  }
  const QByteArray reply = e.expect == Expect::Count ? m_reply.mid(1, e.count - 1) : m_reply;
  m_reply.clear();
  operationDone(reply);
}

void BootSession::operationFailed(const QString& why) {
  m_waiting = false;
  ErrLog(QLatin1String(m_tag), m_what + QStringLiteral(": ") + why);
  switch (m_step) {
  case Step::Sync:
    if (m_syncTries < kLoaderSyncTries) {
      m_step = Step::Pause;
      m_link.startPause();
    } else {
      finishIdentify(IdentifyResult::NoSync);
    }
    return;
  case Step::Get:
  case Step::Version:
  case Step::VersionAlt:
    infoFailed(QStringLiteral("The firmware version could not be read"));
    return;
  case Step::Pause:
  case Step::Erase:
  case Step::Write:
  case Step::ReadBack:
  case Step::Go:
    finishUpdate(false);
    return;
  }
}

void BootSession::operationDone(const QByteArray& reply) {
  switch (m_step) {
  case Step::Sync:
    m_synced = true;
    GetInfo();
    return;
  case Step::Get:
    m_deviceType = byteAt(reply, 3);
    ReadMemory(kVersionAddress, 2, Step::Version);
    return;
  case Step::Version:
  case Step::VersionAlt:
    versionRead(reply);
    return;
  case Step::Erase:
    m_offset = 0;
    writeNextBlock();
    return;
  case Step::Write:
    ReadMemory(programBase(m_deviceType) + quint32(m_offset),
               int(qMin<qsizetype>(kLoaderBlock, m_image.size() - m_offset)), Step::ReadBack);
    return;
  case Step::ReadBack:
    blockReadBack(reply);
    return;
  case Step::Go:
    finishUpdate(true);
    return;
  case Step::Pause:
    return;
  }
}

// ---- GetInfo ------------------------------------------------------------------------------------

void BootSession::versionRead(const QByteArray& data) {
  const std::optional<int> version = decodeLoaderVersion(byteAt(data, 0), byteAt(data, 1));
  if (!version) {
    infoFailed(QStringLiteral("Version bytes %1 at %2 are no version")
                   .arg(QString::fromLatin1(data.toHex(' ').toUpper()),
                        hex(m_step == Step::Version ? kVersionAddress : kVersionAddressAlt)));
    return;
  }
  m_loaderVersion = *version;
  if (m_step == Step::Version && m_loaderVersion == 0 && hasAltVersionAddress(m_deviceType)) {
    ReadMemory(kVersionAddressAlt, 2, Step::VersionAlt);
    return;
  }
  infoDone();
}

void BootSession::infoFailed(const QString& why) {
  // A failed Get has logged under this tag already.
  if (m_step != Step::Get)
    ErrLog(QStringLiteral("ErrGT"), why);
  if (m_job == Job::Identify)
    finishIdentify(IdentifyResult::NoInfo);
  else
    finishUpdate(false);
}

void BootSession::infoDone() {
  if (m_job == Job::Identify) {
    finishIdentify(IdentifyResult::Identified);
    return;
  }
  // Another device on the cable since Identify would get an image that is not its own.
  if (m_deviceType != m_identifiedType) {
    ErrLog(QStringLiteral("ErrUPD"),
           QStringLiteral("Device type %1 answers, but Identify found type %2; nothing erased")
               .arg(m_deviceType)
               .arg(*m_identifiedType));
    finishUpdate(false);
    return;
  }
  EraseAll();
}

// ---- the blocks ---------------------------------------------------------------------------------

void BootSession::writeNextBlock() {
  const qsizetype n = qMin<qsizetype>(kLoaderBlock, m_image.size() - m_offset);
  WriteMemory(programBase(m_deviceType) + quint32(m_offset), m_image.mid(m_offset, n));
}

void BootSession::blockReadBack(const QByteArray& data) {
  // The loader's read encoding is not known, so a difference is not a failure; it is kept in
  // the log for whoever looks into a device that does not start.
  const QByteArray written = m_image.mid(m_offset, data.size());
  if (data != written) {
    qsizetype at = 0;
    while (at < data.size() && data.at(at) == written.at(at))
      ++at;
    ErrLog(QStringLiteral("ErrUPD"),
           QStringLiteral("Block at %1 (%2 bytes) reads back differently from what was written, "
                          "first at byte %3")
               .arg(hex(programBase(m_deviceType) + quint32(m_offset)))
               .arg(data.size())
               .arg(at));
  }
  m_offset += int(data.size());
  if (progressed)
    progressed(m_offset);
  if (m_offset < m_image.size())
    writeNextBlock();
  else
    GoCommand();
}

} // namespace ondrel
