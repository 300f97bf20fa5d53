#pragma once

#include "link/comm.h"

#include <QJsonObject>
#include <QString>

#include <vector>

namespace ondrel::cli {

// A port of the probe's range as `ports` lists it.
struct PortReport {
  int number = 0;
  QString device;  // what the link reaches (device node), empty when nothing
  QString adapter; // the adapter's stable id where the system has one
  bool openable = false;
  QString why;     // why it cannot be opened
};

// Every port COM2..COM20 that has something behind it (a link in the ports folder, or a native
// port), opened and closed once to see whether it can be used now.
std::vector<PortReport> listPorts(Comm& comm, const QString& portsFolder);
QJsonObject portObject(const PortReport& r);
QString portText(const PortReport& r);

} // namespace ondrel::cli
