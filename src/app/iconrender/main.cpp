// Build tool: renders the program's SVG icon to the PNG sizes desktops look for.
// usage: ondrel-iconrender <icon.svg> <out-folder> <size>...
// writes <out-folder>/<size>x<size>/apps/<icon name>.png for every size.
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s <icon.svg> <out-folder> <size>...\n", argv[0]);
    return 2;
  }
  const QString svg = QString::fromLocal8Bit(argv[1]);
  QSvgRenderer renderer(svg);
  if (!renderer.isValid()) {
    std::fprintf(stderr, "%s: not a usable SVG file\n", argv[1]);
    return 1;
  }
  const QString name = QFileInfo(svg).completeBaseName();
  for (int i = 3; i < argc; ++i) {
    const int size = QString::fromLocal8Bit(argv[i]).toInt();
    if (size <= 0 || size > 1024) {
      std::fprintf(stderr, "%s: not a size\n", argv[i]);
      return 2;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    const QString folder =
        QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[2])).arg(size);
    const QString out = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!QDir().mkpath(folder) || !image.save(out, "PNG")) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(out));
      return 1;
    }
  }
  return 0;
}
