#include "bootloader.h"

#include <QFile>

namespace ondrel::sim {

namespace {

constexpr int kMemorySize = 0x10000;

std::uint8_t at(const QByteArray& b, int i) {
  return static_cast<std::uint8_t>(b[i]);
}

} // namespace

BootLoader::BootLoader(const BootConfig& config)
    : m_config(config), m_memory(kMemorySize, char(0xFF)) {
  const auto put = [this](int address, int version) {
    m_memory[address] = char(((version >> 8) & 0xFF) ^ kBootKey);
    m_memory[address + 1] = char((version & 0xFF) ^ kBootKey);
  };
  if (versionAddress() == 0x1002) {
    put(0x4002, 0); // these types read 0 there and look again at 0x1002
    put(0x1002, m_config.version);
  } else {
    put(0x4002, m_config.version);
  }
  if (!m_config.imagePath.isEmpty())
    QFile::remove(m_config.imagePath);
}

int BootLoader::versionAddress() const {
  return m_config.deviceType == 25 || m_config.deviceType == 26 ? 0x1002 : 0x4002;
}

QByteArray BootLoader::image() const {
  if (m_highest < baseAddress())
    return {};
  return m_memory.mid(baseAddress(), m_highest - baseAddress() + 1);
}

QByteArray BootLoader::memory(int address, int length) const {
  return m_memory.mid(address, length);
}

QList<QJsonObject> BootLoader::takeRecords() {
  QList<QJsonObject> r;
  r.swap(m_records);
  return r;
}

void BootLoader::record(const char* what, QJsonObject fields) {
  fields["boot"] = QString::fromLatin1(what);
  m_records.append(fields);
}

bool BootLoader::addressOk(int* address) const {
  const std::uint8_t x = at(m_in, 0) ^ at(m_in, 1) ^ at(m_in, 2) ^ at(m_in, 3);
  *address = (at(m_in, 2) << 8) | at(m_in, 3);
  return x == at(m_in, 4);
}

void BootLoader::writeImageFile(int address, const QByteArray& data) {
  if (m_config.imagePath.isEmpty() || address < baseAddress())
    return;
  QFile f(m_config.imagePath);
  if (!f.open(QIODevice::ReadWrite))
    return;
  f.seek(address - baseAddress());
  f.write(data);
}

void BootLoader::handleCommand(std::uint8_t command, QByteArray* out) {
  m_command = command;
  switch (command) {
  case 0x00: {
    record("get");
    // ACK, count, loader version, the device type at byte 3, markers 'Q' and 'J' at bytes 5
    // and 7, the commands it knows, ACK.
    const char reply[] = {char(kBootAck), 0x0A, 0x31, char(m_config.deviceType),
                          0x00,           'Q',  0x02, 'J',
                          0x11,           0x21, 0x31, 0x43,
                          char(kBootAck)};
    out->append(reply, sizeof reply);
    return;
  }
  case 0x11:
  case 0x31:
  case 0x21:
    out->append(char(kBootAck));
    m_state = State::Address;
    m_need = 5;
    return;
  case 0x43:
    out->append(char(kBootAck));
    m_state = State::Erase;
    m_need = 2;
    return;
  default:
    record("unknown", {{"command", int(command)}});
    out->append(char(kBootNack));
  }
}

QByteArray BootLoader::feed(const QByteArray& bytes) {
  QByteArray out;
  if (m_config.silent)
    return out;
  for (const char ch : bytes) {
    const auto c = static_cast<std::uint8_t>(ch);
    if (m_state == State::Unsynced ||
        (m_state == State::Command && m_in.isEmpty() && c == kBootSync)) {
      if (c != kBootSync)
        continue;
      ++m_syncs;
      const bool answer = m_synced || m_syncs >= m_config.answerSync;
      record("sync", {{"answered", answer}});
      if (answer) {
        m_synced = true;
        m_state = State::Command;
        m_in.clear();
        out.append(char(kBootAck));
      }
      continue;
    }
    m_in.append(ch);
    if (m_state == State::Command) {
      if (m_in.size() < 2)
        continue;
      const std::uint8_t command = at(m_in, 0);
      const bool ok = (command ^ at(m_in, 1)) == 0xFF;
      m_in.clear();
      if (!ok) {
        record("nack", {{"reason", QStringLiteral("complement")}});
        out.append(char(kBootNack));
        continue;
      }
      handleCommand(command, &out);
      continue;
    }
    if (m_in.size() < m_need)
      continue;
    // A complete piece of the current command is in m_in.
    switch (m_state) {
    case State::Address: {
      int address = 0;
      const bool ok = addressOk(&address);
      m_in.clear();
      if (!ok) {
        record("nack", {{"reason", QStringLiteral("address checksum")}});
        out.append(char(kBootNack));
        m_state = State::Command;
        break;
      }
      m_address = address;
      out.append(char(kBootAck));
      if (m_command == 0x11) {
        m_state = State::ReadCount;
        m_need = 2;
      } else if (m_command == 0x31) {
        m_state = State::WriteLength;
        m_need = 1;
      } else {
        record("go", {{"address", address}});
        m_started = true;
        m_state = State::Command;
      }
      break;
    }
    case State::ReadCount: {
      const int n = at(m_in, 0) + 1;
      const bool ok = (at(m_in, 0) ^ at(m_in, 1)) == 0xFF;
      m_in.clear();
      m_state = State::Command;
      record("read", {{"address", m_address}, {"length", n}, {"ok", ok}});
      if (!ok) {
        out.append(char(kBootNack));
        break;
      }
      out.append(char(kBootAck));
      out.append(m_memory.mid(m_address, n).leftJustified(n, char(0xFF)));
      break;
    }
    case State::WriteLength:
      m_state = State::WriteData;
      m_need = 1 + at(m_in, 0) + 1 + 1; // length byte, data, checksum
      break;
    case State::WriteData: {
      const int n = at(m_in, 0) + 1;
      std::uint8_t sum = at(m_in, 0);
      for (int i = 0; i < n; ++i)
        sum ^= at(m_in, 1 + i) ^ kBootKey;
      const QByteArray data = m_in.mid(1, n);
      const bool sumOk = sum == at(m_in, n + 1);
      m_in.clear();
      m_state = State::Command;
      ++m_blocks;
      const bool rejected = m_config.rejectBlock > 0 && m_blocks == m_config.rejectBlock;
      const bool ok = sumOk && !rejected && m_address + n <= kMemorySize;
      record("write", {{"address", m_address}, {"length", n}, {"ok", ok}, {"checksumOk", sumOk}});
      if (!ok) {
        out.append(char(kBootNack));
        break;
      }
      m_memory.replace(m_address, n, data);
      m_highest = std::max(m_highest, m_address + n - 1);
      writeImageFile(m_address, data);
      out.append(char(kBootAck));
      break;
    }
    case State::Erase: {
      if (at(m_in, 0) != 0xFF) {
        // Page erase: n + 1 page numbers and a checksum follow the count byte.
        const int want = 1 + at(m_in, 0) + 1 + 1;
        if (m_need < want) {
          m_need = want;
          break;
        }
      }
      const bool global = at(m_in, 0) == 0xFF;
      const bool ok = !global || at(m_in, 1) == 0x00;
      m_in.clear();
      m_state = State::Command;
      record("erase", {{"global", global}, {"ok", ok}});
      if (ok) {
        m_memory.replace(baseAddress(), kMemorySize - baseAddress(),
                         QByteArray(kMemorySize - baseAddress(), char(0xFF)));
        m_highest = -1;
        if (!m_config.imagePath.isEmpty())
          QFile::resize(m_config.imagePath, 0);
      }
      out.append(char(ok ? kBootAck : kBootNack));
      break;
    }
    case State::Unsynced:
    case State::Command:
      break;
    }
  }
  return out;
}

} // namespace ondrel::sim
