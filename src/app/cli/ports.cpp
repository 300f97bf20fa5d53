#include "cli/ports.h"

#include "link/portnames.h"

#include <QDir>
#include <QFileInfo>

namespace ondrel::cli {

std::vector<PortReport> listPorts(Comm& comm, const QString& portsFolder) {
  comm.numberNewAdapters();
  std::vector<PortReport> out;
  for (int n = kFirstProbedPort; n <= kLastProbedPort; ++n) {
    const QString device = portDevice(n, portsFolder);
    const QFileInfo link(device);
#ifndef Q_OS_WIN
    if (!link.isSymLink() && !link.exists())
      continue; // nothing was ever numbered here
#endif
    PortReport r;
    r.number = n;
    const QString target = link.isSymLink() ? link.symLinkTarget() : device;
    r.device = QDir::toNativeSeparators(target);
    if (target.contains(QLatin1String("/serial/by-id/")))
      r.adapter = QFileInfo(target).fileName();
    Comm::Handle h = comm.OpenPort(n);
    if (h != 0) {
      r.openable = true;
      comm.ClosePort(h);
    } else {
      r.why = describeOpenFailure(n, comm.lastOpenFailure());
#ifdef Q_OS_WIN
      if (comm.lastOpenFailure().reason == OpenError::Absent)
        continue;
#endif
    }
    out.push_back(r);
  }
  return out;
}

QJsonObject portObject(const PortReport& r) {
  QJsonObject o;
  o.insert(QStringLiteral("port"), portName(r.number));
  o.insert(QStringLiteral("device"), r.device);
  if (!r.adapter.isEmpty())
    o.insert(QStringLiteral("adapter"), r.adapter);
  o.insert(QStringLiteral("openable"), r.openable);
  if (!r.openable)
    o.insert(QStringLiteral("why"), r.why);
  return o;
}

QString portText(const PortReport& r) {
  QString text = portName(r.number).leftJustified(6) + QLatin1Char(' ') + r.device;
  if (!r.adapter.isEmpty() && !r.device.endsWith(r.adapter))
    text += QStringLiteral(" (") + r.adapter + QLatin1Char(')');
  text += r.openable ? QStringLiteral("  can be opened") : QStringLiteral("  ") + r.why;
  return text;
}

} // namespace ondrel::cli
