#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace ondrel {

// The program carries no firmware of its own: images are files in the folder "Firmware" of the
// program folder, one per image id, named id + ".bin" (262.bin).

// An image the type list may name. Most names have an id of their own; the rest stand for the
// image of their device type (id = the type).
struct NamedImage {
  QString name;
  int id = 0;
  bool byDeviceType = false;
};
const QList<NamedImage>& namedImages();

// What "Identify" offers for a device type and firmware version; nullopt when the device's
// firmware is the latest.
std::optional<QString> offeredImage(int deviceType, int version);

// The image id for the type box's text: a name with an id of its own gives that id, any other
// text the device type.
int imageId(const QString& typeText, int deviceType);

QString firmwareFolder();
QString firmwareImagePath(int id);
bool firmwareImagePresent(int id);
// The image file's bytes; throws Failure naming the file when it is missing or unreadable.
QByteArray readFirmwareImage(int id);

} // namespace ondrel
