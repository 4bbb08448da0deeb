#include "office/render/metafile/dib.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QtEndian>
#include <algorithm>
#include <cstdlib>

namespace office::render::metafile {
namespace {

constexpr std::int64_t kMaxDibPixels = 16'000'000;
// Pixel data shorter than this share of what the header needs is refused
// rather than padded: a few bytes must not make a bitmap of millions of
// pixels. Run-length data holds at most this many pixels per byte.
constexpr std::size_t kMinStoredShare = 2;
constexpr std::int64_t kMaxRlePixelsPerByte = 128;
constexpr std::size_t kSlackBytes = 4096;
constexpr std::uint32_t kCoreHeader = 12;
enum Compression { BiRgb = 0, BiRle8 = 1, BiRle4 = 2, BiBitfields = 3, BiJpeg = 4, BiPng = 5 };

struct DibLayout {
  std::uint32_t headerSize = 0;
  std::int64_t width = 0, height = 0;
  int bitCount = 0;
  std::uint32_t compression = BiRgb;
  std::size_t tableBytes = 0;  // colour table (and masks) after the header
  std::size_t bitsBytes = 0;   // bytes of bits an uncompressed bitmap needs
};

std::uint32_t le32(const std::uint8_t *p) { return qFromLittleEndian<quint32>(p); }
std::uint16_t le16(const std::uint8_t *p) { return qFromLittleEndian<quint16>(p); }

bool readLayout(const std::uint8_t *info, std::size_t size, DibLayout &d) {
  if (size < 4) return false;
  d.headerSize = le32(info);
  if (d.headerSize < kCoreHeader || d.headerSize > size ||
      (d.headerSize > kCoreHeader && d.headerSize < 40))
    return false;
  std::uint32_t colorsUsed = 0;
  int entryBytes = 4;
  if (d.headerSize == kCoreHeader) {
    d.width = le16(info + 4);
    d.height = std::int16_t(le16(info + 6));
    d.bitCount = le16(info + 10);
    entryBytes = 3;
  } else {
    d.width = std::int32_t(le32(info + 4));
    d.height = std::int32_t(le32(info + 8));
    d.bitCount = le16(info + 14);
    d.compression = le32(info + 16);
    colorsUsed = le32(info + 32);
  }
  std::int64_t pixels = d.width * (d.height < 0 ? -d.height : d.height);
  if (d.width <= 0 || d.height == 0 || pixels > kMaxDibPixels) return false;
  switch (d.bitCount) {
    case 0:
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      break;
    default:
      return false;
  }
  std::uint32_t maxColors = d.bitCount >= 1 && d.bitCount <= 8 ? (1u << d.bitCount) : 0;
  std::uint32_t colors = colorsUsed == 0 ? maxColors : std::min<std::uint32_t>(colorsUsed, 4096);
  if (d.bitCount > 8 && colorsUsed == 0) colors = 0;
  d.tableBytes = std::size_t(colors) * entryBytes;
  if (d.compression == BiBitfields && d.headerSize == 40) d.tableBytes += 12;
  std::int64_t stride = ((d.width * d.bitCount + 31) / 32) * 4;
  d.bitsBytes = std::size_t(stride * (d.height < 0 ? -d.height : d.height));
  return true;
}

// A BMP file: 14-byte file header, the DIB header and table, then the bits.
bool bitsPlausible(const DibLayout &d, std::size_t bitsSize) {
  const std::int64_t pixels = d.width * (d.height < 0 ? -d.height : d.height);
  if (d.compression == BiRle8 || d.compression == BiRle4)
    return pixels <= kMaxRlePixelsPerByte * std::int64_t(bitsSize) + std::int64_t(kSlackBytes);
  return bitsSize * kMinStoredShare + kSlackBytes >= d.bitsBytes;
}

QImage decodeAsBmp(const DibLayout &d, const std::uint8_t *info, std::size_t infoSize,
                   const std::uint8_t *bits, std::size_t bitsSize) {
  if (!bitsPlausible(d, bitsSize)) return {};
  std::size_t headerAndTable = std::min(infoSize, std::size_t(d.headerSize) + d.tableBytes);
  std::size_t tablePad = std::size_t(d.headerSize) + d.tableBytes - headerAndTable;
  bool compressed = d.compression == BiRle8 || d.compression == BiRle4;
  std::size_t bitsLength = compressed ? bitsSize : std::max(bitsSize, d.bitsBytes);
  std::size_t offBits = 14 + headerAndTable + tablePad;
  QByteArray bmp(qsizetype(offBits + bitsLength), '\0');
  auto *out = reinterpret_cast<std::uint8_t *>(bmp.data());
  out[0] = 'B';
  out[1] = 'M';
  qToLittleEndian(quint32(bmp.size()), out + 2);
  qToLittleEndian(quint32(offBits), out + 10);
  std::copy(info, info + headerAndTable, out + 14);
  std::copy(bits, bits + std::min(bitsSize, bitsLength), out + offBits);
  if (compressed && d.headerSize >= 40) qToLittleEndian(quint32(bitsSize), out + 14 + 20);
  QBuffer buffer(&bmp);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "bmp");
  reader.setAutoDetectImageFormat(false);  // no probing of every image plugin
  return reader.read();
}

// 32-bit rows, bottom-up unless the height is negative, with premultiplied alpha.
QImage decodeWithAlpha(const DibLayout &d, const std::uint8_t *bits, std::size_t bitsSize) {
  int height = int(d.height < 0 ? -d.height : d.height);
  QImage image(int(d.width), height, QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) return {};
  image.fill(Qt::transparent);
  std::size_t stride = std::size_t(d.width) * 4;
  for (int row = 0; row < height; ++row) {
    std::size_t at = std::size_t(row) * stride;
    if (at + stride > bitsSize) break;
    int y = d.height < 0 ? row : height - 1 - row;
    auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
    for (std::int64_t x = 0; x < d.width; ++x) {
      const std::uint8_t *p = bits + at + std::size_t(x) * 4;
      int a = p[3];
      line[x] = qRgba(std::min<int>(p[2], a), std::min<int>(p[1], a), std::min<int>(p[0], a), a);
    }
  }
  return image;
}

// A JPEG or PNG carried as a DIB's bits, decoded by Qt with the format named.
QImage decodeEmbedded(const std::uint8_t *bits, std::size_t bitsSize, const char *format) {
  QByteArray bytes = QByteArray::fromRawData(
      reinterpret_cast<const char *>(bits), qsizetype(std::min<std::size_t>(bitsSize, 0x7FFFFFFF)));
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, format);
  reader.setAutoDetectImageFormat(false);
  const QSize size = reader.size();
  if (!size.isValid() || qint64(size.width()) * size.height() > kMaxDibPixels) return {};
  return reader.read();
}

}  // namespace

QImage dibToImage(const std::uint8_t *info, std::size_t infoSize, const std::uint8_t *bits,
                  std::size_t bitsSize, bool withAlpha) {
  DibLayout d;
  if (!info || !readLayout(info, infoSize, d)) return {};
  if (withAlpha && d.bitCount == 32 && (d.compression == BiRgb || d.compression == BiBitfields))
    return bitsPlausible(d, bitsSize) ? decodeWithAlpha(d, bits, bitsSize) : QImage();
  if (d.compression == BiJpeg || d.compression == BiPng)
    return decodeEmbedded(bits, bitsSize, d.compression == BiJpeg ? "jpeg" : "png");
  if (d.bitCount == 0) return {};
  return decodeAsBmp(d, info, infoSize, bits, bitsSize);
}

qint64 dibPixelCount(const std::uint8_t *info, std::size_t infoSize) {
  if (!info || infoSize < 4) return 0;
  const std::uint32_t headerSize = le32(info);
  if (headerSize == kCoreHeader && infoSize >= kCoreHeader)
    return qint64(le16(info + 4)) * std::abs(std::int16_t(le16(info + 6)));
  if (headerSize < 40 || infoSize < 40) return 0;
  const std::int64_t width = std::int32_t(le32(info + 4));
  const std::int64_t height = std::int32_t(le32(info + 8));
  return width > 0 ? width * (height < 0 ? -height : height) : 0;
}

QImage packedDibToImage(const std::uint8_t *dib, std::size_t size) {
  DibLayout d;
  if (!dib || !readLayout(dib, size, d)) return {};
  std::size_t infoSize = std::min(size, std::size_t(d.headerSize) + d.tableBytes);
  return dibToImage(dib, infoSize, dib + infoSize, size - infoSize);
}

}  // namespace office::render::metafile
