#include "link/firmwareimages.h"

#include "data/support/failure.h"
#include "data/support/programfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace ondrel {

const QList<NamedImage>& namedImages() {
  static const QList<NamedImage> images = {
      {QStringLiteral("KL-10"), 262},     {QStringLiteral("KC-11"), 51},
      {QStringLiteral("KC-16"), 101},     {QStringLiteral("KL-26"), 191},
      {QStringLiteral("KL-24"), 201},     {QStringLiteral("KL-28"), 231},
      {QStringLiteral("KL-22"), 252},     {QStringLiteral("KL-29"), 271},
      {QStringLiteral("KC-17"), 283},     {QStringLiteral("KC-18"), 284},
      {QStringLiteral("KC-15"), 391},     {QStringLiteral("KC-14"), 6, true},
      {QStringLiteral("KC-03"), 9, true}, {QStringLiteral("KC-07"), 36, true},
  };
  return images;
}

std::optional<QString> offeredImage(int deviceType, int version) {
  const auto name = [](const char* n) { return std::optional<QString>(QLatin1String(n)); };
  switch (deviceType) {
  case 5:
    return version != 0 ? name("KC-11") : std::nullopt;
  case 6:
    return name("KC-14");
  case 9:
    return name("KC-03");
  case 10:
    return version != 0 ? name("KC-16") : std::nullopt;
  case 19:
    return version != 0 ? name("KL-26") : std::nullopt;
  case 20:
    return version == 310 ? name("KL-24") : std::nullopt;
  case 25:
    return version == 315 ? name("KL-22") : std::nullopt;
  case 26:
    return version == 320 ? name("KL-10") : std::nullopt;
  case 28:
    if (version == 306)
      return name("KC-17");
    return version == 307 ? name("KC-18") : std::nullopt;
  case 36:
    return name("KC-07");
  default:
    return std::nullopt;
  }
}

int imageId(const QString& typeText, int deviceType) {
  for (const NamedImage& image : namedImages())
    if (!image.byDeviceType && image.name == typeText)
      return image.id;
  return deviceType;
}

QString firmwareFolder() {
  return programPath(QStringLiteral("Firmware"));
}

QString firmwareImagePath(int id) {
  return QDir(firmwareFolder()).filePath(QString::number(id) + QStringLiteral(".bin"));
}

bool firmwareImagePresent(int id) {
  return QFileInfo(firmwareImagePath(id)).isFile();
}

QByteArray readFirmwareImage(int id) {
  const QString path = firmwareImagePath(id);
  QFile f(path);
  if (!f.exists())
    throw Failure(QStringLiteral("No firmware image %1").arg(QDir::toNativeSeparators(path)));
  if (!f.open(QIODevice::ReadOnly))
    throw Failure(QStringLiteral("Firmware image %1 cannot be read: %2")
                      .arg(QDir::toNativeSeparators(path), f.errorString()));
  const QByteArray bytes = f.readAll();
  if (f.error() != QFileDevice::NoError)
    throw Failure(QStringLiteral("Firmware image %1 cannot be read: %2")
                      .arg(QDir::toNativeSeparators(path), f.errorString()));
  return bytes;
}

} // namespace ondrel
