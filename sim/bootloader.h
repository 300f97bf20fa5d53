#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <cstdint>

namespace ondrel::sim {

constexpr std::uint8_t kBootAck = 0x79;
constexpr std::uint8_t kBootNack = 0x1F;
constexpr std::uint8_t kBootSync = 0x7F;
constexpr std::uint8_t kBootKey = 0x3C;

struct BootConfig {
  int deviceType = 26;
  int version = 320;   // stored at 0x4002 (0x1002 on types 25 and 26), each byte XOR key
  bool silent = false; // never answers anything
  int answerSync = 0;  // answer only from the n-th synchronisation byte on (0: the first)
  int rejectBlock = 0; // refuse the n-th Write Memory block (0: none)
  QString imagePath;   // where the received image goes (empty: kept in memory only)
};

// The device side of the boot-loader protocol: 0x7F synchronisation, then commands as a byte
// and its complement with XOR checksums. It is fed the bytes as they arrive, in any split, and
// answers with the bytes to send back. Writes land in a 64 KB memory and, from the image base
// address on, in the image file.
class BootLoader {
public:
  explicit BootLoader(const BootConfig& config);

  QByteArray feed(const QByteArray& bytes);
  // One JSON record per command heard, taken out by the caller.
  QList<QJsonObject> takeRecords();

  int baseAddress() const { return m_config.deviceType == 26 ? 0x8C00 : 0x9000; }
  int versionAddress() const;
  // The image as written: from the base address to the highest byte written.
  QByteArray image() const;
  QByteArray memory(int address, int length) const;
  bool synced() const { return m_synced; }
  bool started() const { return m_started; } // Go was accepted
  int blocksWritten() const { return m_blocks; }

private:
  enum class State { Unsynced, Command, Address, ReadCount, WriteLength, WriteData, Erase };
  void handleCommand(std::uint8_t command, QByteArray* out);
  bool addressOk(int* address) const;
  void record(const char* what, QJsonObject fields = {});
  void writeImageFile(int address, const QByteArray& data);

  BootConfig m_config;
  QByteArray m_memory;
  QByteArray m_in;
  State m_state = State::Unsynced;
  std::uint8_t m_command = 0;
  int m_address = 0;
  int m_need = 0;
  int m_syncs = 0;
  int m_blocks = 0;
  int m_highest = -1;
  bool m_synced = false;
  bool m_started = false;
  QList<QJsonObject> m_records;
};

} // namespace ondrel::sim
