#include <zlib.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <functional>

#include "common/error.h"
#include "office/render/bmpwriter.h"
#include "office/render/export.h"
#include "office/render/exportcache.h"
#include "office/render/raster.h"
#include "pictbuilder.h"

using namespace office::render;

Q_DECLARE_METATYPE(office::render::Crop)

namespace {

QByteArray readAll(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray encode(const QImage &image, const char *format, bool progressive = false) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  writer.setProgressiveScanWrite(progressive);
  if (!writer.write(image)) qFatal("test image not written");
  return buffer.data();
}

QImage solid(int width, int height, QColor color, QImage::Format format = QImage::Format_RGB32) {
  QImage image(width, height, format);
  image.fill(color);
  return image;
}

quint32 le32(const QByteArray &d, int at) {
  return quint32(quint8(d[at])) | quint32(quint8(d[at + 1])) << 8 |
         quint32(quint8(d[at + 2])) << 16 | quint32(quint8(d[at + 3])) << 24;
}
quint16 le16(const QByteArray &d, int at) {
  return quint16(quint8(d[at]) | quint8(d[at + 1]) << 8);
}

void putLe32(QByteArray &d, quint32 v) {
  for (int i = 0; i < 4; ++i) d.append(char((v >> (8 * i)) & 0xFF));
}
void putLe16(QByteArray &d, quint16 v) {
  d.append(char(v & 0xFF));
  d.append(char(v >> 8));
}

// A bare DIB of width x 2 pixels: palette index / colour i % 2 in the top row
// is red, the other white; the bottom row is all blue (or index 2).
QByteArray makeDib(int bits, int width, quint32 colorsUsed = 0, quint32 compression = 0) {
  QByteArray dib;
  const int height = 2;
  const int rowSize = ((width * bits + 31) / 32) * 4;
  putLe32(dib, 40);
  putLe32(dib, quint32(width));
  putLe32(dib, quint32(height));
  putLe16(dib, 1);
  putLe16(dib, quint16(bits));
  putLe32(dib, compression);
  putLe32(dib, quint32(rowSize * height));
  putLe32(dib, 0);
  putLe32(dib, 0);
  putLe32(dib, colorsUsed);
  putLe32(dib, 0);
  if (compression == 3) {  // masks for 32-bit BI_BITFIELDS
    putLe32(dib, 0x00FF0000);
    putLe32(dib, 0x0000FF00);
    putLe32(dib, 0x000000FF);
  }
  if (bits <= 8) {
    const int entries = colorsUsed ? int(colorsUsed) : 1 << bits;
    const QRgb palette[] = {qRgb(255, 255, 255), qRgb(255, 0, 0), qRgb(0, 0, 255)};
    for (int i = 0; i < entries; ++i) {
      const QRgb c = palette[std::min(i, 2)];
      putLe32(dib, c & 0xFFFFFF);
    }
  }
  auto pixelRow = [&](bool bottom) {
    QByteArray row(rowSize, '\0');
    for (int x = 0; x < width; ++x) {
      const int index = bottom ? (bits == 1 ? 1 : 2) : (x % 2);
      const QRgb color = bottom ? (bits == 1 ? qRgb(255, 0, 0) : qRgb(0, 0, 255))
                                : (x % 2 ? qRgb(255, 0, 0) : qRgb(255, 255, 255));
      if (bits <= 8) {
        const int perByte = 8 / bits;
        row[x / perByte] = char(row[x / perByte] | (index << (8 - bits * (x % perByte + 1))));
      } else {
        const int at = x * bits / 8;
        row[at] = char(qBlue(color));
        row[at + 1] = char(qGreen(color));
        row[at + 2] = char(qRed(color));
      }
    }
    return row;
  };
  dib.append(pixelRow(true));  // rows are stored bottom-up
  dib.append(pixelRow(false));
  return dib;
}

bool near(QRgb a, QRgb b, int tolerance = 12) {
  return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
         std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

QByteArray pngChunk(const char *type, const QByteArray &data) {
  QByteArray chunk;
  const quint32 length = quint32(data.size());
  for (int i = 3; i >= 0; --i) chunk.append(char((length >> (8 * i)) & 0xFF));
  const QByteArray body = QByteArray(type, 4) + data;
  chunk.append(body);
  const quint32 crc =
      quint32(crc32(0, reinterpret_cast<const Bytef *>(body.constData()), uInt(body.size())));
  for (int i = 3; i >= 0; --i) chunk.append(char((crc >> (8 * i)) & 0xFF));
  return chunk;
}

// A PNG whose header claims a huge size: must be refused before decoding.
QByteArray hugePng() {
  QByteArray ihdr;
  for (quint32 v : {100000u, 100000u})
    for (int i = 3; i >= 0; --i) ihdr.append(char((v >> (8 * i)) & 0xFF));
  ihdr.append("\x08\x02\x00\x00\x00", 5);
  return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", ihdr) +
         pngChunk("IDAT", QByteArray(16, '\0')) + pngChunk("IEND", {});
}

// A PNG of 8-bit RGB or RGBA rows given by rowOf(y) (filter byte included
// here), compressed at once; its compressed data is cut to keep bytes when
// keep is not negative.
QByteArray rawPng(int width, int height, bool alpha, const std::function<QByteArray(int)> &rowOf,
                  qsizetype keep = -1) {
  // Deflated row by row, so that a large picture is never held raw.
  z_stream zs{};
  deflateInit(&zs, 9);
  QByteArray packed;
  char chunk[65536];
  for (int y = 0; y <= height; ++y) {
    const QByteArray raw = y < height ? char(0) + rowOf(y) : QByteArray();
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(raw.constData()));
    zs.avail_in = uInt(raw.size());
    const int flush = y < height ? Z_NO_FLUSH : Z_FINISH;
    do {
      zs.next_out = reinterpret_cast<Bytef *>(chunk);
      zs.avail_out = sizeof chunk;
      deflate(&zs, flush);
      packed.append(chunk, qsizetype(sizeof chunk - zs.avail_out));
    } while (zs.avail_out == 0);
  }
  deflateEnd(&zs);
  if (keep >= 0) packed.truncate(keep);
  QByteArray ihdr;
  for (quint32 v : {quint32(width), quint32(height)})
    for (int i = 3; i >= 0; --i) ihdr.append(char((v >> (8 * i)) & 0xFF));
  ihdr.append(char(8)).append(char(alpha ? 6 : 2)).append(QByteArray(3, '\0'));
  return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", ihdr) + pngChunk("IDAT", packed) +
         pngChunk("IEND", {});
}

QByteArray repeated(const QByteArray &pixel, int count) { return pixel.repeated(count); }

// The SOF0 frame's sampling factors of each component, and the JFIF density.
struct JpegLayout {
  QList<int> sampling;
  int densityUnit = -1, xDensity = 0;
};

JpegLayout jpegLayout(const QByteArray &d) {
  JpegLayout layout;
  for (qsizetype at = 2; at + 4 <= d.size();) {
    const quint8 marker = quint8(d[at + 1]);
    const int length = (quint8(d[at + 2]) << 8) | quint8(d[at + 3]);
    if (marker == 0xE0 && d.mid(at + 4, 5) == QByteArray("JFIF\0", 5)) {
      layout.densityUnit = quint8(d[at + 11]);
      layout.xDensity = (quint8(d[at + 12]) << 8) | quint8(d[at + 13]);
    }
    if (marker == 0xC0) {
      for (int c = 0; c < quint8(d[at + 9]); ++c) layout.sampling << quint8(d[at + 11 + 3 * c]);
      break;
    }
    at += 2 + length;
  }
  return layout;
}

double psnr(const QImage &a, const QImage &b) {
  double sum = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      for (int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)}) sum += d * d;
    }
  const double mse = sum / (3.0 * a.width() * a.height());
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

PictureSource picture(BlipFormat format, const QByteArray &data, Crop crop = {}) {
  PictureSource p;
  p.format = format;
  p.data = data;
  p.crop = crop;
  return p;
}

}  // namespace

class ExportTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString out(const char *name) { return dir_.filePath(name); }

 private slots:
  void uncroppedJpegIsWrittenAsStored() {
    // Progressive: a transcode would come out baseline and different.
    const QByteArray stored = encode(solid(33, 17, QColor(10, 200, 30)), "jpg", true);
    exportJpeg(picture(BlipFormat::Jpeg, stored), out("Img0001.Jpg"));
    QCOMPARE(readAll(out("Img0001.Jpg")), stored);
  }

  void cmykJpegIsConvertedToRgb() {
    // 8 x 8 red, CMYK with an Adobe marker (as ImageMagick writes it).
    const QByteArray stored = QByteArray::fromBase64(
        "/9j/7gAOQWRvYmUAZAAAAAAC/9sAQwAGBAUGBQQGBgUGBwcGCAoQCgoJCQoUDg8MEBcUGBgXFBYWGh0lHxobIxwWFi"
        "AsICMmJykqKRkfLTAtKDAlKCko/9sAQwEHBwcKCAoTCgoTKBoWGigoKCgoKCgoKCgoKCgoKCgoKCgoKCgoKCgoKCgo"
        "KCgoKCgoKCgoKCgoKCgoKCgoKCgo/8AAFAgACAAIBAEiAAIRAQMRAQQiAP/EABYAAQEBAAAAAAAAAAAAAAAAAAAHCP"
        "/EABQQAQAAAAAAAAAAAAAAAAAAAAD/xAAVAQEBAAAAAAAAAAAAAAAAAAAGCP/EABQRAQAAAAAAAAAAAAAAAAAAAAD/"
        "2gAOBAEAAhEDEQQAAD8AogBim1qkB//Z");
    exportJpeg(picture(BlipFormat::Jpeg, stored), out("cmyk.jpg"));
    const QByteArray written = readAll(out("cmyk.jpg"));
    QVERIFY(written != stored);
    const QImage image = QImage::fromData(written, "jpg");
    QCOMPARE(image.size(), QSize(8, 8));
    QVERIFY(!image.isGrayscale());
    QVERIFY(near(image.pixel(4, 4), qRgb(255, 0, 0), 40));
  }

  void croppedJpegIsTranscodedAtCroppedSize() {
    const QByteArray stored = encode(solid(200, 100, Qt::red), "jpg");
    exportJpeg(picture(BlipFormat::Jpeg, stored, {0.25, 0.1, 0.25, 0.1}), out("crop.jpg"));
    const QImage image(out("crop.jpg"));
    QCOMPARE(image.size(), QSize(100, 80));
    QVERIFY(readAll(out("crop.jpg")) != stored);
  }

  void pngAlphaBecomesWhite() {
    QImage source = solid(40, 20, Qt::transparent, QImage::Format_ARGB32);
    QPainter(&source).fillRect(0, 0, 20, 20, Qt::red);
    exportJpeg(picture(BlipFormat::Png, encode(source, "png")), out("alpha.jpg"));
    const QByteArray written = readAll(out("alpha.jpg"));
    QVERIFY(written.startsWith("\xFF\xD8\xFF"));
    const QImage image = QImage::fromData(written, "jpg");
    QCOMPARE(image.size(), QSize(40, 20));
    QVERIFY(near(image.pixel(5, 10), qRgb(255, 0, 0), 30));
    QVERIFY(near(image.pixel(35, 10), qRgb(255, 255, 255)));
  }

  void dibOffsets_data() {
    QTest::addColumn<int>("bits");
    QTest::addColumn<quint32>("colorsUsed");
    QTest::addColumn<quint32>("compression");
    QTest::addColumn<quint32>("offset");
    QTest::newRow("1 bpp") << 1 << 0u << 0u << 62u;
    QTest::newRow("4 bpp") << 4 << 0u << 0u << 118u;
    QTest::newRow("8 bpp") << 8 << 0u << 0u << 1078u;
    QTest::newRow("8 bpp, 3 colours used") << 8 << 3u << 0u << 66u;
    QTest::newRow("24 bpp") << 24 << 0u << 0u << 54u;
    QTest::newRow("32 bpp") << 32 << 0u << 0u << 54u;
    QTest::newRow("32 bpp bitfields") << 32 << 0u << 3u << 66u;
  }

  void dibOffsets() {
    QFETCH(int, bits);
    QFETCH(quint32, colorsUsed);
    QFETCH(quint32, compression);
    QFETCH(quint32, offset);
    const int width = 5;
    const QByteArray dib = makeDib(bits, width, colorsUsed, compression);
    const QByteArray header = bmpFileHeaderForDib(dib);
    QCOMPARE(header.size(), 14);
    QCOMPARE(header.left(2), QByteArray("BM"));
    QCOMPARE(le32(header, 2), quint32(14 + dib.size()));
    QCOMPARE(le32(header, 10), offset);

    const QImage image = decodeBitmap(picture(BlipFormat::Dib, dib));
    QCOMPARE(image.size(), QSize(width, 2));
    const QRgb bottom = bits == 1 ? qRgb(255, 0, 0) : qRgb(0, 0, 255);
    for (int x = 0; x < width; ++x) {
      QCOMPARE(QColor(image.pixel(x, 0)), QColor(x % 2 ? qRgb(255, 0, 0) : qRgb(255, 255, 255)));
      QCOMPARE(QColor(image.pixel(x, 1)), QColor(bottom));
    }
  }

  void dibWithCoreHeader() {
    // 12-byte BITMAPCOREHEADER, 1 bpp, 3-byte palette entries: black, red.
    QByteArray dib;
    putLe32(dib, 12);
    putLe16(dib, 3);
    putLe16(dib, 1);
    putLe16(dib, 1);
    putLe16(dib, 1);
    dib.append("\x00\x00\x00\x00\x00\xFF", 6);
    dib.append("\xA0\x00\x00\x00", 4);  // pixels 1 0 1
    QCOMPARE(le32(bmpFileHeaderForDib(dib), 10), 14u + 12u + 6u);
    const QImage image = decodeBitmap(picture(BlipFormat::Dib, dib));
    QCOMPARE(QColor(image.pixel(0, 0)), QColor(Qt::red));
    QCOMPARE(QColor(image.pixel(1, 0)), QColor(Qt::black));
    QCOMPARE(QColor(image.pixel(2, 0)), QColor(Qt::red));
  }

  void dibPaletteIsBoundedByData() {
    QByteArray dib = makeDib(8, 4, 2);
    dib[32] = '\xFF';  // biClrUsed far beyond the data
    dib[33] = '\xFF';
    const QByteArray header = bmpFileHeaderForDib(dib);
    QVERIFY(le32(header, 10) <= quint32(14 + dib.size()));
  }

  void dibDamage_data() {
    QTest::addColumn<QByteArray>("dib");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("short") << QByteArray("\x28\x00", 2);
    QByteArray badSize = makeDib(24, 3);
    badSize[0] = 41;
    QTest::newRow("header size") << badSize;
    QByteArray badBits = makeDib(24, 3);
    badBits[14] = 7;
    QTest::newRow("bit count") << badBits;
    QByteArray huge = makeDib(24, 3);
    huge[4] = '\0';
    huge[5] = '\0';
    huge[6] = '\0';
    huge[7] = '\x7F';  // width 2^31 - 2^24
    QTest::newRow("huge") << huge;
  }

  void dibDamage() {
    QFETCH(QByteArray, dib);
    QVERIFY_THROWS_EXCEPTION(morvane::Error, decodeBitmap(picture(BlipFormat::Dib, dib)));
  }

  void crop_data() {
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("top");
    QTest::addColumn<double>("right");
    QTest::addColumn<double>("bottom");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("redAt");
    QTest::addColumn<QPoint>("whiteAt");
    QTest::newRow("inside") << 0.1 << 0.2 << 0.3 << 0.0 << QSize(60, 40) << QPoint(0, 0)
                            << QPoint(-1, -1);
    QTest::newRow("extends left and bottom")
        << -0.1 << 0.0 << 0.0 << -0.5 << QSize(110, 75) << QPoint(10, 0) << QPoint(5, 70);
    QTest::newRow("mixed") << -0.2 << 0.5 << 0.5 << 0.0 << QSize(70, 25) << QPoint(20, 0)
                           << QPoint(19, 0);
  }

  void crop() {
    QFETCH(double, left);
    QFETCH(double, top);
    QFETCH(double, right);
    QFETCH(double, bottom);
    QFETCH(QSize, size);
    QFETCH(QPoint, redAt);
    QFETCH(QPoint, whiteAt);
    const QImage image = cropImage(solid(100, 50, Qt::red), {left, top, right, bottom});
    QCOMPARE(image.size(), size);
    QCOMPARE(QColor(image.pixel(redAt)), QColor(Qt::red));
    if (whiteAt.x() >= 0) QCOMPARE(QColor(image.pixel(whiteAt)), QColor(Qt::white));
  }

  void cropLeavingNothingFails() {
    QVERIFY_THROWS_EXCEPTION(morvane::Error, cropImage(solid(10, 10, Qt::red), {0.6, 0, 0.6, 0}));
    QVERIFY_THROWS_EXCEPTION(morvane::Error, cropImage(solid(10, 10, Qt::red), {-1e9, 0, 0, 0}));
  }

  void bmpHeaderAndPadding_data() {
    QTest::addColumn<int>("width");
    for (int w : {1, 2, 3, 4, 5, 7}) QTest::newRow(qPrintable(QString::number(w))) << w;
  }

  void bmpHeaderAndPadding() {
    QFETCH(int, width);
    const int height = 3;
    QImage source = solid(width, height, Qt::white);
    source.setPixel(0, 0, qRgb(255, 0, 0));                   // top left
    source.setPixel(width - 1, height - 1, qRgb(0, 0, 255));  // bottom right
    source.setPixel(0, height - 1, qRgb(1, 2, 3));
    const QByteArray bmp = encodeBmp24(source);
    const int rowSize = (width * 3 + 3) / 4 * 4;
    QCOMPARE(bmp.left(2), QByteArray("BM"));
    QCOMPARE(le32(bmp, 2), quint32(bmp.size()));
    QCOMPARE(le32(bmp, 10), 54u);
    QCOMPARE(le32(bmp, 14), 40u);
    QCOMPARE(int(le32(bmp, 18)), width);
    QCOMPARE(int(le32(bmp, 22)), height);  // positive: bottom-up
    QCOMPARE(le16(bmp, 26), quint16(1));
    QCOMPARE(le16(bmp, 28), quint16(24));
    QCOMPARE(le32(bmp, 30), 0u);
    QCOMPARE(int(le32(bmp, 34)), rowSize * height);
    QCOMPARE(bmp.size(), 54 + rowSize * height);
    // First stored row is the bottom one, blue-green-red order.
    QCOMPARE(bmp.mid(54, 3), QByteArray("\x03\x02\x01", 3));
    const QImage back = QImage::fromData(bmp, "bmp");
    QCOMPARE(back.size(), source.size());
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) QCOMPARE(back.pixel(x, y), source.pixel(x, y));
  }

  void bmpExportFlattensAlpha() {
    QImage source = solid(3, 1, Qt::transparent, QImage::Format_ARGB32);
    source.setPixel(1, 0, qRgba(0, 255, 0, 255));
    exportBmp(picture(BlipFormat::Png, encode(source, "png")), out("Graph0001.Bmp"));
    const QByteArray bmp = readAll(out("Graph0001.Bmp"));
    QCOMPARE(le16(bmp, 28), quint16(24));
    QCOMPARE(bmp.mid(54, 12), QByteArray("\xFF\xFF\xFF\x00\xFF\x00\xFF\xFF\xFF\0\0\0", 12));
  }

  void metafileSize_data() {
    QTest::addColumn<QSizeF>("shapeInches");
    QTest::addColumn<Crop>("crop");
    QTest::addColumn<QSize>("pixels");
    QTest::newRow("shape size") << QSizeF(3, 1) << Crop{} << QSize(450, 150);
    QTest::newRow("own size") << QSizeF() << Crop{} << QSize(300, 150);  // 144 x 72 points
    QTest::newRow("cropped shape") << QSizeF(1, 1) << Crop{0.5, 0, 0, 0} << QSize(150, 150);
  }

  void metafileSize() {
    QFETCH(QSizeF, shapeInches);
    QFETCH(Crop, crop);
    QFETCH(QSize, pixels);
    // A PICT filed as WMF, as PowerPoint stores them.
    PictureSource p =
        picture(BlipFormat::Wmf,
                PictBuilder(0, 0, 144, 72).rgbFore(255, 0, 0).paintRect(0, 0, 144, 72).end(), crop);
    p.shapeSizeInches = shapeInches;
    exportJpeg(p, out("meta.jpg"));
    const QImage jpeg(out("meta.jpg"));
    QCOMPARE(jpeg.size(), pixels);
    QVERIFY(near(jpeg.pixel(pixels.width() / 2, pixels.height() / 2), qRgb(255, 0, 0), 30));
    exportBmp(p, out("meta.bmp"));
    const QByteArray bmp = readAll(out("meta.bmp"));
    QCOMPARE(int(le32(bmp, 18)), pixels.width());
    QCOMPARE(le32(bmp, 38), 5906u);  // 150 dpi in pixels per metre
  }

  void damagedInputsThrowAndWriteNothing_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("empty png") << int(BlipFormat::Png) << QByteArray();
    QTest::newRow("truncated png")
        << int(BlipFormat::Png) << encode(solid(50, 50, Qt::red), "png").left(60);
    QTest::newRow("huge png") << int(BlipFormat::Png) << hugePng();
    QTest::newRow("garbage jpeg") << int(BlipFormat::Jpeg) << QByteArray("not a jpeg at all");
    QTest::newRow("garbage tiff") << int(BlipFormat::Tiff) << QByteArray("II*\0garbage", 11);
    QTest::newRow("unknown") << int(BlipFormat::Unknown) << QByteArray("????????");
    QTest::newRow("pict cut short")
        << int(BlipFormat::Pict) << PictBuilder(0, 0, 10, 10).word(0x31).word(0).bytes();
    QTest::newRow("pict empty frame") << int(BlipFormat::Pict) << PictBuilder(0, 0, 0, 10).end();
  }

  void damagedInputsThrowAndWriteNothing() {
    QFETCH(int, format);
    QFETCH(QByteArray, data);
    QTemporaryDir dir;
    const PictureSource p = picture(BlipFormat(format), data);
    QVERIFY_THROWS_EXCEPTION(morvane::Error, exportJpeg(p, dir.filePath("Img0001.Jpg")));
    QVERIFY_THROWS_EXCEPTION(morvane::Error, exportBmp(p, dir.filePath("Graph0001.Bmp")));
    QVERIFY(QDir(dir.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                .isEmpty());
  }

  // A PNG whose compressed data breaks part way: the rows before the damage
  // are kept, the rest shows the background, and the export says why.
  void damagedPngKeepsTheRowsBeforeTheDamage() {
    const auto row = [](int y) {
      return repeated(QByteArray(1, char(255)) + char(y) + char(0), 40);  // red, shading
    };
    const QByteArray whole = rawPng(40, 100, false, row);
    const qsizetype idat = whole.indexOf("IDAT") + 4;
    const qsizetype idatLength = whole.indexOf("IEND") - 8 - idat - 4;
    QByteArray damaged = rawPng(40, 100, false, row, idatLength / 2);
    PictureSource p = picture(BlipFormat::Png, damaged);
    p.background = qRgb(0, 0, 255);
    const ExportResult result = exportJpeg(p, out("damaged.jpg"));
    QVERIFY(!result.damage.isEmpty());
    const QImage image(out("damaged.jpg"));
    QCOMPARE(image.size(), QSize(40, 100));
    QVERIFY(near(image.pixel(20, 3), qRgb(255, 3, 0)));
    QVERIFY(near(image.pixel(20, 97), qRgb(0, 0, 255)));

    // Garbage instead of compressed data: nothing decodes, nothing is written.
    QByteArray garbage = whole;
    for (qsizetype i = idat; i < idat + idatLength; ++i) garbage[i] = char(0xA5 ^ i);
    QVERIFY_THROWS_EXCEPTION(morvane::PictureError,
                             exportJpeg(picture(BlipFormat::Png, garbage), out("none.jpg")));
    QVERIFY(!QFile::exists(out("none.jpg")));
    // A wrong checksum over good data still decodes.
    QByteArray badCrc = whole;
    badCrc[whole.indexOf("IEND") - 5] = char(badCrc[whole.indexOf("IEND") - 5] ^ 0xFF);
    QVERIFY(exportJpeg(picture(BlipFormat::Png, badCrc), out("crc.jpg")).damage.isEmpty());
  }

  // A baseline JPEG cut short: a crop makes it transcoded; the rows before
  // the cut keep the picture, the rest show the background.
  void truncatedJpegKeepsTheRowsBeforeTheCut() {
    QImage busy = solid(64, 256, Qt::black);  // fine detail: the scan data outweighs the tables
    for (int y = 0; y < 256; ++y)
      for (int x = 0; x < 64; ++x) busy.setPixel(x, y, qRgb(0, 140 + ((x ^ y) & 1) * 40, 0));
    const QByteArray whole = encode(busy, "jpg");
    PictureSource p = picture(BlipFormat::Jpeg, whole.left(whole.size() / 2), {0, 0.125, 0, 0});
    p.background = qRgb(0, 0, 255);
    const ExportResult result = exportJpeg(p, out("cut.jpg"));
    QVERIFY(!result.damage.isEmpty());
    const QImage image(out("cut.jpg"));
    QCOMPARE(image.size(), QSize(64, 224));
    QVERIFY(near(image.pixel(32, 4), qRgb(0, 160, 0), 40));
    QVERIFY(near(image.pixel(32, 220), qRgb(0, 0, 255), 20));
  }

  // A white logo on a transparent PNG keeps its shape on a dark slide or on
  // the colour of the shape's fill; an extending crop shows that colour too.
  void transparencyAndExtensionTakeTheBackground_data() {
    QTest::addColumn<QColor>("background");
    QTest::newRow("black slide") << QColor(Qt::black);
    QTest::newRow("shape filled dark green") << QColor(0, 90, 30);
  }

  void transparencyAndExtensionTakeTheBackground() {
    QFETCH(QColor, background);
    QImage logo = solid(40, 40, Qt::transparent, QImage::Format_ARGB32);
    QPainter(&logo).fillRect(10, 10, 20, 20, Qt::white);
    PictureSource p = picture(BlipFormat::Png, encode(logo, "png"), {-0.25, 0, 0, 0});
    p.background = background.rgb();
    exportJpeg(p, out("logo.jpg"));
    QImage image(out("logo.jpg"));
    QCOMPARE(image.size(), QSize(50, 40));
    QVERIFY(near(image.pixel(30, 20), qRgb(255, 255, 255)));
    QVERIFY(near(image.pixel(14, 2), background.rgb()));
    QVERIFY(near(image.pixel(3, 20), background.rgb()));  // the extension
    exportBmp(p, out("logo.bmp"));
    image = QImage(out("logo.bmp"));
    QCOMPARE(image.pixel(3, 20), background.rgb());
    QCOMPARE(image.pixel(30, 20), qRgb(255, 255, 255));
  }

  // Transcoded pictures keep every pixel's colour (4:4:4, no chroma
  // subsampling), carry a fixed density, and stay close to their source.
  void transcodedJpegsKeepColourAndDensity() {
    QImage text = solid(64, 32, Qt::white);
    QPainter painter(&text);
    for (int x = 0; x < 64; x += 4) painter.fillRect(x, 0, 2, 32, QColor(230, 0, 40));
    painter.end();
    exportJpeg(picture(BlipFormat::Png, encode(text, "png")), out("text.jpg"));
    const QByteArray written = readAll(out("text.jpg"));
    const JpegLayout layout = jpegLayout(written);
    QCOMPARE(layout.sampling, QList<int>({0x11, 0x11, 0x11}));
    QCOMPARE(layout.densityUnit, 1);
    QCOMPARE(layout.xDensity, kBitmapOutputDpi);
    QVERIFY(psnr(QImage::fromData(written, "jpg").convertToFormat(QImage::Format_RGB32), text) >
            38);

    PictureSource drawn =
        picture(BlipFormat::Pict,
                PictBuilder(0, 0, 72, 72).rgbFore(0, 0, 255).paintRect(0, 0, 72, 72).end());
    exportJpeg(drawn, out("drawn.jpg"));
    QCOMPARE(jpegLayout(readAll(out("drawn.jpg"))).xDensity, kMetafileDpi);
  }

  // Writing fails: a plain Error naming the output, never a PictureError
  // (which would make the job skip the picture and go on).
  void writeFailureIsNotAPictureError() {
    const QString path = dir_.filePath("missing-folder/Img0001.Jpg");
    const PictureSource p = picture(BlipFormat::Png, encode(solid(4, 4, Qt::red), "png"));
    try {
      exportJpeg(p, path);
      QFAIL("no error");
    } catch (const morvane::PictureError &) {
      QFAIL("a write failure reported as an unreadable picture");
    } catch (const morvane::Error &error) {
      QVERIFY2(error.description().startsWith(QStringLiteral("Cannot write ") + path),
               qPrintable(error.description()));
    }
  }

  // A picture several shapes share is encoded once: the second export of
  // the same picture the same way writes the kept bytes.
  void sharedPicturesAreEncodedOnce() {
    PictureSource p = picture(BlipFormat::Png, encode(solid(30, 20, Qt::red), "png"));
    p.cache = std::make_shared<ExportCache>();
    p.cacheId = 7;
    exportJpeg(p, out("first.jpg"));
    p.data = encode(solid(30, 20, Qt::blue), "png");  // would give other bytes if decoded
    exportJpeg(p, out("second.jpg"));
    QCOMPARE(readAll(out("second.jpg")), readAll(out("first.jpg")));
    p.background = qRgb(0, 0, 0);  // another background is another output
    exportJpeg(p, out("third.jpg"));
    QVERIFY(near(QImage(out("third.jpg")).pixel(5, 5), qRgb(0, 0, 255)));
  }

  // An RGBA picture of 8192 x 8192 (a few hundred kilobytes of PNG) is
  // decoded and encoded row by row.
  void largeTransparentPngIsStreamed() {
    const QByteArray rowPixels = repeated(QByteArray("\xFF\xFF\xFF\x00", 4), 8192);
    const QByteArray png = rawPng(8192, 8192, true, [&](int) { return rowPixels; });
    PictureSource p = picture(BlipFormat::Png, png);
    p.background = qRgb(10, 20, 30);
    QVERIFY(exportJpeg(p, out("huge.jpg")).damage.isEmpty());
    QImageReader reader(out("huge.jpg"));
    QCOMPARE(reader.size(), QSize(8192, 8192));
  }

  void pixelSizeClamp() {
    QCOMPARE(clampPixelSize(QSize(100, 50)), QSize(100, 50));
    const QSize wide = clampPixelSize(QSize(40000, 100));
    QCOMPARE(wide.width(), kMaxPixelEdge);
    const QSize big = clampPixelSize(QSize(16000, 16000));
    QVERIFY(qint64(big.width()) * big.height() <= kMaxPixels);
    QCOMPARE(clampPixelSize(QSize(0, -5)), QSize(1, 1));
  }
};

QTEST_MAIN(ExportTest)
#include "test_render_export.moc"
