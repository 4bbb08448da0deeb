#include "office/render/bmpwriter.h"

#include "common/error.h"
#include "common/lebuffer.h"
#include "office/render/pictureformat.h"
#include "office/render/raster.h"

namespace office::render {

namespace {

constexpr quint32 kInfoHeaderSize = 40;
constexpr quint32 kBiRgb = 0;

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
  const quint32 bitsOffset = quint32(kBmpFileHeaderSize) + kInfoHeaderSize;
  const quint64 fileSize = bitsOffset + imageSize;
  if (fileSize > 0x7FFFFFFFULL)
    throw morvane::Error(QStringLiteral("The picture is too large for BMP"));

  morvane::LeBuffer header;
  header.reserve(bitsOffset);
  header.append(bmpFileHeader(quint32(fileSize), bitsOffset));
  header.u32(kInfoHeaderSize);
  header.u32(width);
  header.u32(height);  // positive: rows stored bottom-up
  header.u16(1);       // planes
  header.u16(24);      // bits per pixel
  header.u32(kBiRgb);  // uncompressed
  header.u32(quint32(imageSize));
  header.u32(pixelsPerMeter(image.dotsPerMeterX()));
  header.u32(pixelsPerMeter(image.dotsPerMeterY()));
  header.u32(0);  // colours used
  header.u32(0);  // important colours

  QByteArray bytes = header.bytes();
  bytes.resize(qsizetype(fileSize), '\0');
  char *out = bytes.data() + bitsOffset;

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
