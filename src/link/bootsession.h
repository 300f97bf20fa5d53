#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <optional>

namespace ondrel {

// A device started in its boot loader speaks the framing of the STM32 serial boot loader: 0x7F
// to synchronise, 0x79 to acknowledge, a command byte followed by its complement, XOR
// checksums. Its replies, addresses and key byte are the device's own.
inline constexpr quint8 kLoaderSync = 0x7F;
inline constexpr quint8 kLoaderAck = 0x79;
inline constexpr quint8 kLoaderKey = 0x3C;
inline constexpr int kLoaderReplyMs = 2000; // how long any reply may take
inline constexpr int kLoaderPauseMs = 200;  // between two synchronisation tries
inline constexpr int kLoaderSyncTries = 3;
inline constexpr int kLoaderBlock = 128;             // bytes per Write Memory
inline constexpr quint32 kLoaderMemoryEnd = 0x10000; // the loader addresses 64 KB

// Where a device type's program starts, which is also where Go starts it.
quint32 programBase(int deviceType);
// Where the loader keeps the firmware version: 0x4002, and for the types that may read 0 there,
// 0x1002 as a second place.
inline constexpr quint32 kVersionAddress = 0x4002;
inline constexpr quint32 kVersionAddressAlt = 0x1002;
bool hasAltVersionAddress(int deviceType);

// The bytes of one exchange.
QByteArray commandBytes(quint8 command);  // the command and its complement
QByteArray addressBytes(quint32 address); // four bytes, most significant first, and their XOR
QByteArray readCountBytes(int count);     // count - 1 and its complement; count 1..256
// count - 1, the data, and the checksum (count - 1) XOR each data byte XOR the key; 1..256 bytes.
QByteArray writeBlockBytes(const QByteArray& data);
// The version (302 = 3.02) from the two bytes at the version address, each XOR the key; nullopt
// when the high byte decodes to 128 or more.
std::optional<int> decodeLoaderVersion(quint8 high, quint8 low);

// Why an image cannot be written to a device of this type (nothing to write, or it would run
// past the loader's 64 KB); empty when it can.
QString imageProblem(qsizetype length, int deviceType);

// What the session needs of the line: the window gives it a serial port and two timers.
class BootLink {
public:
  virtual ~BootLink() = default;
  // One write; false when the bytes did not all go out.
  virtual bool write(const QByteArray& bytes) = 0;
  // The reply time (kLoaderReplyMs) starts again from now, or stops; when it runs out the
  // session is told through replyTimedOut().
  virtual void startReplyTimer() = 0;
  virtual void stopReplyTimer() = 0;
  // The pause before the next synchronisation try; its end is told through pauseOver().
  virtual void startPause() = 0;
};

// The boot-loader conversation without a port, a window or a clock: it writes through its link,
// is fed what the line received and is told when a reply time or pause has run out. Every
// operation logs its own tag on failure ("ErrCO" synchronisation, "ErrGT" Get, "ErrRM" Read
// Memory, "ErrWM" Write Memory, "ErrEE" erase, "ErrGO" Go; "ErrUPD" for what the update itself
// refuses) and reports failure to its job.
class BootSession {
public:
  enum class IdentifyResult {
    Identified, // DeviceType() and LoaderVersion() are known
    NoSync,     // no synchronisation after kLoaderSyncTries tries
    NoInfo,     // synchronised, but the Get or the version read failed
  };

  explicit BootSession(BootLink& link);
  BootSession(const BootSession&) = delete;
  BootSession& operator=(const BootSession&) = delete;

  // Synchronises (unless already synchronised) and reads the device type and firmware version;
  // ends with identifyFinished. Ignored while busy.
  void Identify();
  // Writes `image` to the identified device: Get again (the same device type must answer),
  // erase, 128-byte blocks each written and read back, Go; ends with updateFinished. Answers
  // false, having logged why and sent nothing, when there is no identified device, the session
  // is busy, or the image does not fit (imageProblem).
  bool Update(const QByteArray& image);

  // A job runs: a reply or a pause is awaited.
  bool busy() const { return m_job != Job::None; }
  bool Synced() const { return m_synced; }
  // From the last Get and version read.
  int DeviceType() const { return m_deviceType; }
  int LoaderVersion() const { return m_loaderVersion; }
  // The device type of the last successful Identify; nullopt before one.
  std::optional<int> identifiedType() const { return m_identifiedType; }

  // Bytes the line received. Bytes that answer nothing awaited are dropped.
  void feed(const QByteArray& bytes);
  void replyTimedOut();
  void pauseOver();

  std::function<void(IdentifyResult)> identifyFinished;
  std::function<void(bool ok)> updateFinished;
  // The image bytes written and read back so far, after each block.
  std::function<void(int sent)> progressed;

private:
  enum class Job { None, Identify, Update };
  enum class Step { Sync, Pause, Get, Version, VersionAlt, Erase, Write, ReadBack, Go };
  enum class Expect { Ack, Count, GetReply };
  struct Exchange {
    QByteArray bytes;
    Expect expect = Expect::Ack;
    int count = 1; // Expect::Count: bytes the reply must have
  };

  // Operations: each is a few exchanges, logged under its tag when one fails.
  void SyncBootloader();
  void GetInfo();
  void ReadMemory(quint32 address, int count, Step step);
  void WriteMemory(quint32 address, const QByteArray& data);
  void EraseAll();
  void GoCommand();
  void begin(Step step, const char* tag, QString what, QList<Exchange> exchanges);
  void send();
  bool replyComplete() const;
  void exchangeDone(bool timedOut);
  void operationDone(const QByteArray& reply);
  void operationFailed(const QString& why);

  void versionRead(const QByteArray& data);
  void infoDone();
  void infoFailed(const QString& why);
  void writeNextBlock();
  void blockReadBack(const QByteArray& data);
  void finishIdentify(IdentifyResult result);
  void finishUpdate(bool ok);

  BootLink& m_link;
  Job m_job = Job::None;
  Step m_step = Step::Sync;
  const char* m_tag = "";
  QString m_what; // the operation, as the log names it
  QList<Exchange> m_exchanges;
  qsizetype m_exchange = 0;
  bool m_waiting = false;
  QByteArray m_reply;

  bool m_synced = false;
  int m_syncTries = 0;
  int m_deviceType = 0;
  int m_loaderVersion = 0;
  std::optional<int> m_identifiedType;
  QByteArray m_image;
  int m_offset = 0; // of the block being written
};

} // namespace ondrel
