#pragma once

#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QtGlobal>

namespace ondrel {

// Width of the filled part of a horizontal bar: round((value - min) / (max - min) x width),
// halves to even (116.5 → 116).
int progressFillWidth(qint32 value, qint32 min, qint32 max, int width);
// Top of the filled part of a vertical bar, which fills from the bottom.
int progressFillTop(qint32 value, qint32 min, qint32 max, int height);

// The caption for a caption code: 0 none, 1 the value, 2-4 value / span and 5-7
// (value - min) / span as "0%", "0.0%", "0.00%", 99 the custom text; other codes none.
QString progressCaption(int code, qint32 value, qint32 min, qint32 max, const QString& custom);

// Top-left of a caption of `text` pixels centred on a bar of `bar` pixels.
QPoint progressCaptionPos(QSize bar, QSize text);

// The firmware window's bar: 233 x 25 pixels, green segments inside a grey frame.
QImage firmwareBarPicture();

} // namespace ondrel
