#include "office/render/bmpwriter.h"

#include "common/error.h"
#include "office/render/raster.h"

namespace office::render {

namespace {

constexpr quint32 kFileHeaderSize = 14;
constexpr quint32 kInfoHeaderSize = 40;

void putLe16(char *&out, quint16 v) {
  *out++ = char(v & 0xFF);
  *out++ = char(v >> 8);
}

void putLe32(char *&out, quint32 v) {
  for (int i = 0; i < 4; ++i) *out++ = char((v >> (8 * i)) & 0xFF);
}

quint32 pixelsPerMeter(int dotsPerMeter) {
  return dotsPerMeter > 0 && dotsPerMeter < 1000000 ? quint32(dotsPerMeter) : 0;
}

}  // namespace

QByteArray encodeBmp24(const QImage &source) {
  checkPixelSize(source.size(), QStringLiteral("picture"));
  const QImage image = flatten(source, Qt::white);
  const quint32 width = quint32(image.width()), height = quint32(image.height());
  const quint32 rowSize = (width * 3 + 3) & ~3u;
  const quint64 imageSize = quint64(rowSize) * height;
  const quint64 fileSize = kFileHeaderSize + kInfoHeaderSize + imageSize;
  if (fileSize > 0x7FFFFFFFULL)
    throw morvane::Error(QStringLiteral("The picture is too large for BMP"));

  QByteArray bytes(qsizetype(fileSize), '\0');
  char *out = bytes.data();
  *out++ = 'B';
  *out++ = 'M';
  putLe32(out, quint32(fileSize));
  putLe32(out, 0);  // reserved
  putLe32(out, kFileHeaderSize + kInfoHeaderSize);
  putLe32(out, kInfoHeaderSize);
  putLe32(out, width);
  putLe32(out, height);  // positive: rows stored bottom-up
  putLe16(out, 1);       // planes
  putLe16(out, 24);      // bits per pixel
  putLe32(out, 0);       // BI_RGB, uncompressed
  putLe32(out, quint32(imageSize));
  putLe32(out, pixelsPerMeter(image.dotsPerMeterX()));
  putLe32(out, pixelsPerMeter(image.dotsPerMeterY()));
  putLe32(out, 0);  // colours used
  putLe32(out, 0);  // important colours

  for (quint32 y = 0; y < height; ++y) {
    const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(int(height - 1 - y)));
    char *row = out + qsizetype(y) * rowSize;
    for (quint32 x = 0; x < width; ++x) {
      *row++ = char(qBlue(line[x]));
      *row++ = char(qGreen(line[x]));
      *row++ = char(qRed(line[x]));
    }
  }
  return bytes;
}

}  // namespace office::render
