// Renders the scalable icon to a square PNG of the given size, for the
// fixed-size entries of the icon theme: iconrender IN.svg OUT.png SIZE

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[]) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: iconrender IN.svg OUT.png SIZE\n");
    return 2;
  }
  const int size = std::atoi(argv[3]);
  QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
  if (!svg.isValid() || size < 1 || size > 1024) {
    std::fprintf(stderr, "iconrender: cannot render %s at %s pixels\n", argv[1], argv[3]);
    return 1;
  }
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  svg.render(&painter);
  painter.end();
  if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::fprintf(stderr, "iconrender: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
